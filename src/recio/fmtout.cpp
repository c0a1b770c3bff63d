// Minimal stand-in for the two formats of the program.
#include "recio/fmtout.hpp"

#include <cmath>
#include <cstdio>
#include <string>

namespace tgram::recio {

void runFormattedWrite(const CompiledFormat& format, const CapturedItems& items,
                       const RuntimeCounts& /*counts*/, RecordSink& sink) {
  char field[64];
  if (format.text.find("'h'") != std::string::npos) {
    sink.pendingBlanks = 1;
    sink.put("h");
    for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
      sink.pendingBlanks = 1;
      const int u = items[i].integer();
      const int v = items[i + 1].integer();
      std::snprintf(field, sizeof field, "p(%s,%s)",
                    u < 10 && u >= 0 ? std::to_string(u).c_str() : "*",
                    v < 10 && v >= 0 ? std::to_string(v).c_str() : "*");
      sink.put(field);
    }
  } else {
    std::snprintf(field, sizeof field, " %3d", items[0].integer());
    sink.put(field);
    for (std::size_t i = 1; i < items.size(); ++i) {
      float value = items[i].real4();
      std::snprintf(field, sizeof field, "%7.4f", static_cast<double>(value));
      std::string text = field;
      if (text == " -0.0000") text = "  0.0000";
      auto p = text.find("0.");
      if (p != std::string::npos && (p == 0 || text[p - 1] == ' ' || text[p - 1] == '-')) text[p] = ' ';
      sink.put(" " + text);
    }
  }
  sink.pendingBlanks = 0;
  sink.endRecord();
}

}  // namespace tgram::recio
