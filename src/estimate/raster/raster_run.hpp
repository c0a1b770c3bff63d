// tgramest on a raster: the options turned into the grid's settings, the
// raster opened, its pairs counted and described for the pair table.
#pragma once

#include "estimate/options.hpp"
#include "estimate/pair_counts.hpp"
#include "estimate/pair_search.hpp"

namespace tgram::estimate::raster {

// The pair counts of the raster options.input names. Raises an
// EstimateError for a raster that cannot be read or whose classes are at
// fault.
PairCounts countRaster(const EstimateOptions& options, const ProgressReport& progress);

}  // namespace tgram::estimate::raster
