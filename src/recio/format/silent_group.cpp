#include "recio/format/silent_group.hpp"

#include <algorithm>

namespace tgram::recio::format_detail {

namespace {

// The effect of all repetitions of the group opened by `opening`, whose
// first item is at `i`, on the blanks owed and on `modes`; leaves `i`
// after the group's closing item. Each item means what it means to the
// item-by-item way (ControlState::positionEffect, applyMode).
bool groupEffect(const ControlState& state, const FormatItem& opening, std::size_t& i,
                 bool itemWaiting, Modes& modes, BlankEffect& effect) {
  const auto close = static_cast<std::size_t>(opening.target);
  BlankEffect once;
  while (i < close) {
    const FormatItem& item = state.items[i++];
    if (isPositioning(item.kind)) {
      once = once.then(state.positionEffect(item));
    } else if (item.kind == FormatKind::GroupOpen) {
      BlankEffect inner;
      if (!groupEffect(state, item, i, itemWaiting, modes, inner)) return false;
      once = once.then(inner);
    } else if (item.kind == FormatKind::Colon) {
      if (!itemWaiting) return false;
    } else {
      applyMode(item, modes);  // or an empty literal, $, BN, BZ: nothing
    }
  }
  ++i;  // the group's closing item
  // A count of 1 or less runs the group once.
  effect = once.repeated(std::max<std::int64_t>(state.resolve(opening.repeat, 0), 1));
  return true;
}

}  // namespace

bool settleSilentGroup(ControlState& state, const FormatItem& opening, bool itemWaiting) {
  std::size_t i = state.position;
  Modes modes = state.modes;
  BlankEffect effect;
  if (!groupEffect(state, opening, i, itemWaiting, modes, effect)) return false;
  state.sink.setOwed(effect.apply(state.sink.owed()));
  state.modes = modes;
  state.position = i;
  return true;
}

}  // namespace tgram::recio::format_detail
