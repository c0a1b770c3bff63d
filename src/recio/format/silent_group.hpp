// Groups that produce nothing: their repetitions run all at once.
//
// A group whose items only position and set modes (found when the format is
// compiled: its opening's `target`) changes nothing but the blanks owed and
// the modes, however often it goes round. Format control, on taking such a
// group's opening, settles every repetition in one step, so that a count of
// billions costs no more than one.
#pragma once

#include "recio/format/format_compiler.hpp"
#include "recio/format/format_state.hpp"

namespace tgram::recio::format_detail {

// With the opening of such a group just taken: owes the blanks and sets the
// modes of all its repetitions and goes on after its closing (true). A ":"
// inside with no item waiting would end advancing in the first repetition:
// such a group is left to the item-by-item way (false, nothing done).
bool settleSilentGroup(ControlState& state, const FormatItem& opening, bool itemWaiting);

}  // namespace tgram::recio::format_detail
