// Where the model's line bends: the few lags that draw it exactly.
#pragma once

#include <cstdint>
#include <vector>

#include "model/transiograms.hpp"

namespace tgram::model {

// The lags in 0..maxLag, increasing, through whose model values a straight
// line drawn from one to the next passes through the model value of every
// lag in between (up to the rounding of each stored value), for every
// column. Empty when maxLag is negative. Call after interpolate().
//
// With increasing lags from 0 and maxLag at or beyond the last lag, these are
// exactly the experimental lags followed by maxLag (once). Otherwise they
// follow what the interpolation left in the table: lags below the first
// experimental lag hold 0 up to the lag before it; a segment whose lags
// decrease writes nothing; a later segment that overwrites part of an earlier
// one bends the line where it begins and ends; the line stops at maxLag, even
// inside a segment; a single point leaves every value at 0.
std::vector<std::int32_t> modelVertexLags(const Transiograms& tables);

}  // namespace tgram::model
