// Checks of the experimental transiograms as read, for the people who look
// at them: things tgraminterp accepts without a word but which are most
// likely not what was meant (a decimal comma read as two values, rows of
// probabilities that do not sum to 1, lags out of order). They change
// nothing: the picture and the run stay as they are.
#pragma once

#include <string>
#include <vector>

#include "model/transiograms.hpp"

namespace tgram::plot {

// At most this many warnings of one kind are given; a last line counts the
// others.
inline constexpr std::size_t kMaxWarningsOfAKind = 10;

// A row p(i,1..M) may differ from 1 by this much before it is reported.
inline constexpr double kRowSumTolerance = 0.01;

// The warnings about `tables` as read with `trace`, each one line naming
// where it stands in ExpTgrams.txt, in the order of the kinds: values left
// over, lags, values outside 0..1, row sums.
std::vector<std::string> checkInput(const model::Transiograms& tables, const model::InputTrace& trace);

}  // namespace tgram::plot
