// The state of format control while it runs a compiled format over the
// items of a write statement, shared by the interpreter of the format's
// items (format_control.cpp) and the repetitions of groups run without
// their items (group_repeat.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "recio/format/format_compiler.hpp"
#include "recio/format/format_control.hpp"
#include "recio/output/edit_params.hpp"
#include "recio/output/field_text.hpp"
#include "recio/output/record_sink.hpp"

namespace tgram::recio::format_detail {

// What a repetition of a group can change. Two repetitions that begin in
// the same state do the same, since a group's items are run in order.
struct RepetitionState {
  std::int64_t column;
  std::int64_t owed;
  std::uint64_t progress;
  std::int32_t scale;
  bool signPlus;

  bool operator==(const RepetitionState&) const = default;
};

struct Group {
  std::size_t start;        // the item after the group's opening
  std::int64_t count;       // repetitions left
  RepetitionState before;   // the state when the current repetition began
};

struct ControlState {
  ControlState(const CompiledFormat& compiled, const RuntimeCounts& runtimeCounts,
               RecordSink& recordSink)
      : format(compiled), items(compiled.items.data()), counts(runtimeCounts), sink(recordSink) {}

  const CompiledFormat& format;
  const FormatItem* items;
  const RuntimeCounts& counts;
  RecordSink& sink;

  std::size_t position = 0;  // the next format item
  std::array<Group, kMaxGroupDepth> groups{};
  std::size_t depth = 0;     // groups open
  std::int64_t reuse = 0;    // items the current descriptor still takes, with this one
  std::int32_t scale = 0;
  bool signPlus = false;
  std::int64_t column = 0;     // characters put into the current record
  std::uint64_t progress = 0;  // records ended and descriptors taken
  const FormatItem* descriptor = nullptr;  // the data descriptor taken last
  EditParams params;  // its editing parameters, in the modes it was taken in
  FieldText field;    // the field edited last

  std::int64_t resolve(const FormatNumber& n, std::int64_t absent) const {
    if (!n.given) return absent;
    if (n.isRuntime()) return counts[static_cast<std::size_t>(n.ref)];
    return n.value;
  }

  RepetitionState repetitionState() const {
    return {column, sink.owed(), progress, scale, signPlus};
  }

  // --- putting characters -------------------------------------------------

  void put(std::string_view text) {
    column += sink.owed() + static_cast<std::int64_t>(text.size());
    sink.put(text);
  }
  // The edited field in `width` columns (0: as wide as its text).
  void placeField(std::int32_t width) {
    column += sink.owed() + (width > 0 ? width : field.overflow() ? 1 : field.length());
    sink.putField(field, width);
  }
  void endRecord() {
    sink.setOwed(0);
    sink.endRecord();
    column = 0;
    ++progress;
  }

  // --- advancing ----------------------------------------------------------

  // Takes the data descriptor `item`: its numbers from a "^" are settled
  // now, the others were settled when the format was compiled; the sign
  // and scale modes in force join them.
  void take(const FormatItem& item) {
    reuse = resolve(item.repeat, 0);
    ++progress;
    descriptor = &item;
    if (item.settled) {
      params = item.edit;
    } else {
      params = descriptorParams(item.kind, static_cast<std::int32_t>(resolve(item.w, 0)),
                                static_cast<std::int32_t>(resolve(item.d, 1)),
                                static_cast<std::int32_t>(resolve(item.e, 2)));
    }
    if (scale != 0 || signPlus) {
      params.scale = scale;
      params.signPlus = signPlus;
      params = withFastMark(params);
    }
  }

  // The group `top` begins its next repetition: one fewer left, and the
  // state noted where it begins. The interpreter and the routes of
  // group_repeat.hpp both go round this way.
  void nextRepetition(Group& top) {
    --top.count;
    top.before = repetitionState();
  }
};

}  // namespace tgram::recio::format_detail
