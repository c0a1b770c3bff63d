#include "recio/format/group_repeat.hpp"

#include <algorithm>

#include "recio/output/number_edit.hpp"

namespace tgram::recio::format_detail {

namespace {

bool owesBlanksOnly(FormatKind kind) {
  return kind == FormatKind::Skip || kind == FormatKind::TabRight;
}

// The blanks the items in [first, last) owe (X and TR items, which only
// add blanks).
std::int64_t blanksOf(const ControlState& state, std::size_t first, std::size_t last) {
  std::int64_t blanks = 0;
  for (std::size_t i = first; i < last; ++i) blanks += state.positionEffect(state.items[i]).shift;
  return blanks;
}

// The route that begins at the current item, when the group around it goes
// round again (a descriptor was taken since its repetition began), or null.
const GroupRoute* routeHere(const ControlState& state) {
  if (state.position >= state.format.items.size()) return nullptr;
  const std::int32_t index = state.items[state.position].route;
  if (index < 0 || state.depth == 0) return nullptr;
  const Group& top = state.groups[state.depth - 1];
  if (top.count <= 1 || state.progress == top.before.progress) return nullptr;
  return &state.format.routes[static_cast<std::size_t>(index)];
}

// The blanks of a route: those owed before the group goes round, and those
// after.
struct RouteBlanks {
  std::int64_t before;
  std::int64_t after;
};

RouteBlanks blanksOf(const ControlState& state, const GroupRoute& route) {
  return {blanksOf(state, route.from, route.close), blanksOf(state, route.opening + 1, route.descriptor)};
}

void goRound(ControlState& state, const RouteBlanks& blanks) {
  Group& top = state.groups[state.depth - 1];
  state.sink.owe(blanks.before);
  state.nextRepetition(top);
  state.sink.owe(blanks.after);
}

}  // namespace

void findGroupRoutes(CompiledFormat& format) {
  std::vector<FormatItem>& items = format.items;
  std::vector<std::size_t> openings;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].kind == FormatKind::GroupOpen) {
      openings.push_back(i);
      continue;
    }
    if (items[i].kind != FormatKind::GroupClose || openings.empty()) continue;
    const std::size_t opening = openings.back();
    openings.pop_back();
    // Back from the closing over blanks to the last descriptor, forward
    // from the opening over blanks to the first one.
    std::size_t last = i;
    while (last > opening + 1 && owesBlanksOnly(items[last - 1].kind)) --last;
    std::size_t first = opening + 1;
    while (first < i && owesBlanksOnly(items[first].kind)) ++first;
    if (last == opening + 1 || !isDataDescriptor(items[last - 1].kind) ||
        first == i || !isDataDescriptor(items[first].kind) || !items[first].settled) {
      continue;
    }
    items[last].route = static_cast<std::int32_t>(format.routes.size());
    format.routes.push_back(GroupRoute{static_cast<std::uint32_t>(last), static_cast<std::uint32_t>(i),
                                       static_cast<std::uint32_t>(opening),
                                       static_cast<std::uint32_t>(first), first == last - 1});
  }
}

bool repeatRoute(ControlState& state) {
  const GroupRoute* route = routeHere(state);
  if (route == nullptr) return false;
  goRound(state, blanksOf(state, *route));
  state.position = route->descriptor + 1;
  state.take(state.items[route->descriptor]);
  return true;
}

const WriteItem* writeReal4Run(ControlState& state, const WriteItem* item, const WriteItem* end) {
  const GroupRoute* route = routeHere(state);
  if (route == nullptr || !route->oneDescriptor || !state.params.real4Fast ||
      state.descriptor != &state.items[route->descriptor] ||
      state.resolve(state.descriptor->repeat, 0) > 1) {
    return item;
  }
  Group& top = state.groups[state.depth - 1];
  const RouteBlanks blanks = blanksOf(state, *route);
  const std::int32_t width = state.params.w;  // 7: the fast editing's F7.4
  // The reals the run takes: at most the repetitions the group has left
  // beyond the current one (the count of a group whose "^" was 0 or less
  // is below 1).
  const std::int64_t rounds = std::max<std::int64_t>(top.count - 1, 0);
  const WriteItem* const limit = item + std::min<std::int64_t>(end - item, rounds);

  // One repetition: the route, the descriptor taken again (which only
  // counts), the field.
  const auto once = [&](const WriteItem& real) {
    goRound(state, blanks);
    ++state.progress;
    editReal(real.real4(), state.params, state.field);
    state.placeField(width);
  };
  if (item != limit && item->kind == ItemKind::Real4 && state.sink.owed() != 0) once(*item++);
  // The others go straight into the sink's write window while it has room,
  // after the route's blanks, with the state moved once for each run of
  // them (the blanks owed are none after a field); a field the window
  // cannot take goes round as above.
  const std::int64_t way = blanks.before + blanks.after;
  const std::int64_t span = way + width;
  while (item != limit && item->kind == ItemKind::Real4) {
    const WriteItem* const first = item;
    state.sink.putFieldRun(way, width, state.field, [&] {
      if (item == limit || item->kind != ItemKind::Real4) return RecordSink::RunStep::Stop;
      editReal(item->real4(), state.params, state.field);
      ++item;
      return RecordSink::RunStep::Field;
    });
    const std::int64_t written = item - first;
    if (written == 0) {
      once(*item++);
      continue;
    }
    state.progress += static_cast<std::uint64_t>(written);
    state.column += written * span;
    // The last repetition began after the blanks owed before the group
    // goes round, before its descriptor was taken.
    state.goneRound(top, written,
                    RepetitionState{state.column - span, blanks.before, state.progress - 1,
                                    state.modes.scale, state.modes.signPlus});
  }
  return item;
}

}  // namespace tgram::recio::format_detail
