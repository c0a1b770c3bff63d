// The repetitions of a group run without going through its items: the
// speed-up for the usual "^(F7.4,X)" of the model records.
//
// When a group's items from its last data descriptor round to its first one
// only owe blanks (a GroupRoute, found when the format is compiled), each
// further repetition only owes those blanks and takes the first descriptor
// again. Format control asks repeatRoute for that step whenever it stands
// where a route begins; a run of 4-byte reals under a group of one fast
// descriptor goes through writeReal4Run, which puts the fields one after
// another and moves the state once for the run. Both go round through
// ControlState::goneRound, as the interpreter does.
#pragma once

#include "recio/format/format_compiler.hpp"
#include "recio/format/format_state.hpp"
#include "recio/output/items.hpp"

namespace tgram::recio::format_detail {

// Finds the routes of `format`'s groups, marking the item where each begins
// (when the format is compiled).
void findGroupRoutes(CompiledFormat& format);

// At the beginning of a route, with its group going round again: runs the
// route and takes its descriptor (true). False, with nothing done,
// anywhere else.
bool repeatRoute(ControlState& state);

// The 4-byte reals from `item` on, while the group around the descriptor
// just taken goes round a route back to that descriptor, which has the
// fast editing: each is edited and put after the route's blanks. Stops at
// an item of another kind, at `end` or when the group's count runs out;
// returns the first item not written, for the interpreter.
const WriteItem* writeReal4Run(ControlState& state, const WriteItem* item, const WriteItem* end);

}  // namespace tgram::recio::format_detail
