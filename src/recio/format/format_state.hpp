// The state of format control while it runs a compiled format over the
// items of a write statement, and what its items do to it, shared by the
// interpreter of the format's items (format_control.cpp) and the
// repetitions of groups run without their items (silent_group.cpp,
// group_repeat.cpp).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "recio/format/format_compiler.hpp"
#include "recio/format/format_control.hpp"
#include "recio/output/edit_params.hpp"
#include "recio/output/field_text.hpp"
#include "recio/output/record_sink.hpp"

namespace tgram::recio::format_detail {

// What positioning does to the blanks owed to the record: p -> clamp(p +
// shift, low, high). Moving right adds, moving left subtracts down to 0,
// tabbing to a column sets a value. Effects compose, so that a run of
// positioning items, repeated any number of times, is one effect.
struct BlankEffect {
  static constexpr std::int64_t kMax = RecordSink::kMaxOwed;

  std::int64_t shift = 0;
  std::int64_t low = 0;
  std::int64_t high = kMax;

  static BlankEffect add(std::int64_t n) { return {n, 0, kMax}; }
  static BlankEffect set(std::int64_t n) { return {0, n, n}; }

  std::int64_t apply(std::int64_t p) const { return std::clamp(p + shift, low, high); }

  // This effect followed by `next`.
  BlankEffect then(const BlankEffect& next) const {
    // Owed blanks lie in 0..kMax: a shift beyond that range in either
    // direction acts like one of that size.
    const std::int64_t sum = std::clamp(shift + next.shift, -2 * kMax, 2 * kMax);
    return {sum, std::clamp(low + next.shift, next.low, next.high),
            std::clamp(high + next.shift, next.low, next.high)};
  }

  // This effect `times` times over.
  BlankEffect repeated(std::int64_t times) const {
    BlankEffect result;
    BlankEffect power = *this;
    for (; times > 0; times >>= 1) {
      if (times & 1) result = result.then(power);
      power = power.then(power);
    }
    return result;
  }
};

inline bool isPositioning(FormatKind kind) {
  return kind == FormatKind::Skip || kind == FormatKind::Tab || kind == FormatKind::TabLeft ||
         kind == FormatKind::TabRight;
}

// The sign and scale modes a descriptor is edited in.
struct Modes {
  bool signPlus = false;
  std::int32_t scale = 0;
};

// Sets `modes` as a mode item (S, SS, SP, P) does; false, with nothing
// changed, for any other item.
inline bool applyMode(const FormatItem& item, Modes& modes) {
  switch (item.kind) {
    case FormatKind::SignDefault:
    case FormatKind::SignSuppress:
      modes.signPlus = false;
      return true;
    case FormatKind::SignPlus:
      modes.signPlus = true;
      return true;
    case FormatKind::Scale:
      modes.scale = item.w.value;
      return true;
    default:
      return false;
  }
}

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
  Modes modes;
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

  // What the positioning item `item` (X, T, TL, TR) does to the blanks
  // owed, in the current record.
  BlankEffect positionEffect(const FormatItem& item) const {
    switch (item.kind) {
      case FormatKind::Skip:
        return BlankEffect::add(std::max<std::int64_t>(resolve(item.repeat, 1), 0));
      case FormatKind::TabRight:
        return BlankEffect::add(std::max<std::int64_t>(resolve(item.w, 0), 0));
      case FormatKind::TabLeft:
        return BlankEffect::add(-std::max<std::int64_t>(resolve(item.w, 0), 0));
      default: {  // Tab, to a column counted from 1
        const std::int64_t target = std::max<std::int64_t>(resolve(item.w, 1), 1) - 1;
        return BlankEffect::set(std::clamp<std::int64_t>(target - column, 0, BlankEffect::kMax));
      }
    }
  }

  RepetitionState repetitionState() const {
    return {column, sink.owed(), progress, modes.scale, modes.signPlus};
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
      params = descriptorParams(item, [this](const FormatNumber& n, std::int64_t absent) {
        return resolve(n, absent);
      });
    }
    if (modes.scale != 0 || modes.signPlus) {
      params.scale = modes.scale;
      params.signPlus = modes.signPlus;
      params = withFastMark(params);
    }
  }

  // The group `top` has begun `times` more repetitions, the last of them in
  // the state `lastStart`: that many fewer are left, and where the last
  // began is noted. The interpreter and the routes of group_repeat.hpp go
  // round this way.
  void goneRound(Group& top, std::int64_t times, const RepetitionState& lastStart) {
    top.count -= times;
    top.before = lastStart;
  }
  // The group `top` begins its next repetition, here.
  void nextRepetition(Group& top) { goneRound(top, 1, repetitionState()); }
};

}  // namespace tgram::recio::format_detail
