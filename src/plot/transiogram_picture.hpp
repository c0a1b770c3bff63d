// The picture of the transiograms: one panel per value column, the
// experimental points as markers and the model as a line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/transiograms.hpp"
#include "plot/pair_table.hpp"

namespace tgram::plot {

// How the panels are arranged. A matrix when the value columns are the M x M
// category pairs (row i = from, column j = to); otherwise a near-square grid
// of the value columns in their order, titled by column number.
struct PanelGrid {
  bool matrix = false;
  std::int32_t columns = 0;
  std::int32_t rows = 0;
};

PanelGrid panelGrid(const model::Transiograms& tables);

// Above this many experimental points in the whole picture, each panel's
// points are drawn as one path of dots (same places, no tooltip per point),
// which keeps a full-size picture small.
inline constexpr std::int64_t kMaxPointsWithTooltips = 20000;

// The whole SVG document. `vertexLags` are the lags of the model line's
// vertices (model::modelVertexLags); `names`, when not empty, label the
// categories of a matrix (one name per category). `pairs`, when given, is the
// pair table matched to `tables`: its counts go into the points' tooltips, a
// point resting on few pairs is hollow, and with `errorBars` each estimated
// point gets a bar of +-2 standard errors, cut at the panel's edges.
std::string drawTransiograms(const model::Transiograms& tables,
                             const std::vector<std::int32_t>& vertexLags,
                             const std::vector<std::string>& names,
                             const PairTable* pairs = nullptr, bool errorBars = false);

}  // namespace tgram::plot
