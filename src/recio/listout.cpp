// Minimal stand-in for list-directed output.
#include "recio/listout.hpp"

#include <cmath>
#include <cstdio>
#include <string>

namespace tgram::recio {

void writeListDirected(const CapturedItems& items, RecordSink& sink) {
  sink.pendingBlanks = 1;
  int spaceLeft = 79;
  bool separatorOwed = false;
  char text[64];
  for (const WriteItem& item : items.items()) {
    if (item.kind == ItemKind::Character) {
      std::string_view t = items.text(item);
      if (sink.pendingBlanks != 1) sink.pendingBlanks = 0;
      sink.put(t);
      spaceLeft -= static_cast<int>(t.size());
      separatorOwed = false;
      continue;
    }
    int width = 0;
    if (item.kind == ItemKind::Real4) {
      const double v = item.real4();
      const double a = std::fabs(v);
      if (a >= 1.0 && a < 1e7) std::snprintf(text, sizeof text, "%.6f", v);
      else std::snprintf(text, sizeof text, "%.6E", v);
      width = 15;
    } else {
      std::snprintf(text, sizeof text, "%d", item.integer());
      width = 11;
    }
    if (separatorOwed) ++width;
    separatorOwed = true;
    const int len = static_cast<int>(std::string_view(text).size());
    if (spaceLeft <= width) {
      sink.pendingBlanks = 0;
      sink.endRecord();
      spaceLeft = 79;
    }
    sink.pendingBlanks += width - len;
    sink.put(text);
    spaceLeft -= width;
  }
  sink.endRecord();
}

}  // namespace tgram::recio
