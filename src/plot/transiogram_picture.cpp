#include "plot/transiogram_picture.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "plot/axes.hpp"
#include "model/shortest_text.hpp"
#include "plot/svg_writer.hpp"
#include "plot/text_fit.hpp"

namespace tgram::plot {

namespace {

// Colours and strokes.
constexpr const char* kPointColour = "#1f5fa8";
constexpr const char* kModelColour = "#d95f02";
constexpr const char* kGridColour = "#e3e3e3";
constexpr const char* kFrameColour = "#9a9a9a";
constexpr const char* kPanelFill = "#ffffff";
constexpr const char* kDiagonalFill = "#f7f3e8";
constexpr const char* kTextColour = "#222222";
constexpr const char* kMutedText = "#555555";

constexpr double kMargin = 14.0;
constexpr double kTitleSize = 18.0;
constexpr double kNoteSize = 12.0;
// The base lines of the heading: title, two notes, legend.
constexpr double kTitleLine = kMargin + kTitleSize;
constexpr double kFirstNoteLine = kTitleLine + 6 + kNoteSize;
constexpr double kSecondNoteLine = kFirstNoteLine + 6 + kNoteSize;
constexpr double kLegendLine = kSecondNoteLine + 10 + kNoteSize;

std::string integerText(std::int64_t value) { return std::to_string(value); }

// The sizes that follow from the grid alone.
struct PanelSizes {
  explicit PanelSizes(const PanelGrid& grid) {
    plotWidth = std::round(std::clamp(1500.0 / grid.columns, 90.0, 230.0));
    plotHeight = std::round(plotWidth * 0.68);
    font = std::clamp(plotWidth * 0.052, 7.5, 12.0);
    titleBand = std::round(font * 1.7);
    gapY = std::round(font * 0.9);
    tickLength = std::max(2.0, std::round(font * 0.35));
    lineWidth = std::clamp(plotWidth / 150.0, 0.9, 1.6);
    headerSize = font * 1.1;
    headerLine = std::round(headerSize * 1.2);
  }

  double plotWidth, plotHeight, font, titleBand, gapY, tickLength, lineWidth;
  double headerSize, headerLine;  // of the category headers
};

// The geometry of the whole picture, computed once.
class Layout : public PanelSizes {
 public:
  // `gap` is the room between panel columns, `yLabelWidth` that of the
  // widest probability label; the category headers take `columnHeaderLines`
  // lines above the grid and `rowHeaderLines` lines left of it.
  Layout(const PanelGrid& grid, double gap, double yLabelWidth, std::size_t columnHeaderLines,
         std::size_t rowHeaderLines, double pointRadius, double leastWidth)
      : PanelSizes(grid), gapX(gap), markerRadius(pointRadius) {
    columnHeaderBand = grid.matrix ? std::round(headerLine * columnHeaderLines + font * 0.6) : 0.0;
    rowHeaderBand = grid.matrix ? std::round(headerLine * rowHeaderLines + font * 0.6) : 0.0;
    const double axisTitleBand = std::round(font * 1.8);
    gridLeft = kMargin + rowHeaderBand + axisTitleBand + std::round(yLabelWidth + font * 0.5) + tickLength;
    headerTop = kLegendLine + 16;
    gridTop = headerTop + columnHeaderBand;
    const double gridWidth = grid.columns * plotWidth + (grid.columns - 1) * gapX;
    const double gridHeight = grid.rows * (titleBand + plotHeight) + (grid.rows - 1) * gapY;
    width = std::max({gridLeft + gridWidth + kMargin + 6, 760.0, leastWidth});
    height = gridTop + gridHeight + tickLength + font * 1.4 + axisTitleBand + kMargin;
    gridRight = gridLeft + gridWidth;
    gridBottom = gridTop + gridHeight;
  }

  // The plot area of the panel in grid row `row`, grid column `column`.
  double panelLeft(std::int32_t column) const { return gridLeft + column * (plotWidth + gapX); }
  double panelTop(std::int32_t row) const {
    return gridTop + row * (titleBand + plotHeight + gapY) + titleBand;
  }

  double gapX, markerRadius;
  double columnHeaderBand, rowHeaderBand;
  double gridLeft, gridTop, gridRight, gridBottom, headerTop;
  double width, height;
};

// The smallest radius of a point's marker, however dense the points.
constexpr double kSmallestMarker = 0.7;

class PictureBuilder {
 public:
  PictureBuilder(const model::Transiograms& tables, const std::vector<std::int32_t>& vertexLags,
                 const std::vector<std::string>& names, const PairTable* pairs, bool errorBars)
      : tables_(tables),
        pairs_(pairs),
        errorBars_(pairs != nullptr && errorBars),
        vertexLags_(vertexLags),
        fullNames_(names),
        grid_(panelGrid(tables)),
        sizes_(grid_),
        compact_(static_cast<std::int64_t>(tables.pairCount) * tables.expLagCount >
                 kMaxPointsWithTooltips),
        names_(cappedNames()),
        lags_(spreadLagTicks(lagAxis(highestLag()))),
        probabilities_(valueAxis()),
        dense_(pointSpacing() < 2 * usualMarker()),
        gapX_(panelGap()),
        columnHeaders_(headers("to ", sizes_.plotWidth + gapX_ - sizes_.headerSize * 0.6)),
        rowHeaders_(headers("from ", sizes_.titleBand + sizes_.plotHeight - sizes_.headerSize * 0.6)),
        layout_(grid_, gapX_, widestLabel(), lineCount(columnHeaders_), lineCount(rowHeaders_), markerRadius(),
                legendWidth()),
        svg_(layout_.width, layout_.height, "Transiograms",
             {{"font-family", "sans-serif"}, {"tg:pairs", integerText(tables.pairCount)},
              {"tg:categories", integerText(tables.categoryCount)},
              {"tg:points-as", compact_ ? "path" : "circles"}}) {}

  std::string build() {
    svg_.rect(0, 0, layout_.width, layout_.height, {{"fill", "#ffffff"}});
    if (compact_) definePointMarkers();
    drawHeading();
    drawLegend();
    if (grid_.matrix) drawCategoryHeaders();
    drawAxisTitles();
    svg_.openGroup({{"class", "panels"}, {"font-size", number(layout_.font)}});
    for (std::int32_t f = 0; f < tables_.pairCount; ++f) drawPanel(f);
    svg_.closeGroup();
    return svg_.finish();
  }

 private:
  using Lines = std::vector<std::string>;

  // Categories are counted from 1; a matrix panel's from and to.
  std::int32_t fromOf(std::int32_t f) const { return f / tables_.categoryCount + 1; }
  std::int32_t toOf(std::int32_t f) const { return f % tables_.categoryCount + 1; }
  // A category's name as drawn and repeated: cut to kNameCap characters.
  const std::string& categoryName(std::int32_t category) const {
    return names_[static_cast<std::size_t>(category - 1)];
  }
  std::string pairName(std::int32_t f) const {
    if (!grid_.matrix) return "column " + integerText(f + 1);
    return "p(" + categoryName(fromOf(f)) + "," + categoryName(toOf(f)) + ")";
  }

  std::vector<std::string> cappedNames() const {
    std::vector<std::string> capped;
    if (!grid_.matrix) return capped;
    for (std::int32_t k = 1; k <= tables_.categoryCount; ++k) {
      capped.push_back(fullNames_.empty() ? integerText(k)
                                          : capCharacters(fullNames_[static_cast<std::size_t>(k - 1)], kNameCap));
    }
    return capped;
  }

  // The category headers of a matrix, `lead` and the name in each, broken
  // into lines of `room`.
  std::vector<Lines> headers(const char* lead, double room) const {
    std::vector<Lines> all;
    for (const std::string& name : names_) {
      all.push_back(wrapText(lead + name, room, sizes_.headerSize, Weight::Bold, 2));
    }
    return all;
  }
  static std::size_t lineCount(const std::vector<Lines>& headers) {
    std::size_t most = 1;
    for (const Lines& lines : headers) most = std::max(most, lines.size());
    return most;
  }

  double labelWidth(const std::string& label) const { return textWidth(label, sizes_.font); }

  // Fewer lag ticks while neighbouring labels would come closer than an em.
  AxisRange spreadLagTicks(AxisRange axis) const {
    for (int k = 0; k < 20; ++k) {
      const double pixels = sizes_.plotWidth * axis.step / (axis.high - axis.low);
      double widest = 0;
      for (double tick : axis.ticks()) widest = std::max(widest, labelWidth(axis.label(tick)));
      if (pixels >= widest + sizes_.font) break;
      axis = coarser(axis);
    }
    return axis;
  }

  // The gap between panel columns: wide enough that the last lag label of a
  // panel and the first of the next keep one and a half em apart.
  double panelGap() const {
    const std::vector<double> ticks = lags_.ticks();
    double ends = 0;
    if (!ticks.empty() && ticks.back() >= lags_.high - lags_.step * 1e-9) {
      ends = (labelWidth(lags_.label(ticks.front())) + labelWidth(lags_.label(ticks.back()))) / 2;
    }
    return std::max(std::round(sizes_.font * 2.2), std::ceil(ends + sizes_.font * 1.5));
  }

  // Points dense enough that the usual markers of neighbours would touch:
  // their markers get smaller (down to kSmallestMarker) and the model line
  // goes above them, so that neither hides the other.
  bool densePoints() const { return dense_; }
  double usualMarker() const { return std::clamp(sizes_.plotWidth / 90.0, 1.2, 2.6); }
  double markerRadius() const {
    return densePoints() ? std::max(pointSpacing() * 0.45, kSmallestMarker) : usualMarker();
  }
  // The model line over dense points is a little narrower than their
  // markers, which thus still show along it.
  double modelWidth() const {
    return densePoints() ? std::clamp(layout_.markerRadius * 1.2, 0.6, layout_.lineWidth) : layout_.lineWidth;
  }
  // The mean distance between neighbouring points of a panel, across.
  double pointSpacing() const {
    if (tables_.expLagCount < 2) return sizes_.plotWidth;
    const auto lags = tables_.expLag.begin();
    const auto [lowest, highest] = std::minmax_element(lags, lags + tables_.expLagCount);
    return sizes_.plotWidth * (*highest - *lowest) / (lags_.high - lags_.low) / (tables_.expLagCount - 1);
  }

  double highestLag() const {
    double highest = tables_.maxLag;
    for (std::int32_t e = 0; e < tables_.expLagCount; ++e) {
      highest = std::max<double>(highest, tables_.expLag[static_cast<std::size_t>(e)]);
    }
    return highest;
  }

  // Every value drawn: the experimental values and the model's vertices.
  AxisRange valueAxis() const {
    double lowest = 0.0, highest = 1.0;
    for (std::int32_t f = 0; f < tables_.pairCount; ++f) {
      for (std::int32_t e = 0; e < tables_.expLagCount; ++e) {
        lowest = std::min<double>(lowest, tables_.expTgram(f, e));
        highest = std::max<double>(highest, tables_.expTgram(f, e));
      }
      for (std::int32_t h : vertexLags_) {
        lowest = std::min<double>(lowest, tables_.tgramModel(f, h));
        highest = std::max<double>(highest, tables_.tgramModel(f, h));
      }
    }
    return probabilityAxis(lowest, highest);
  }

  double widestLabel() const {
    double widest = 0;
    for (double tick : probabilities_.ticks()) widest = std::max(widest, labelWidth(probabilities_.label(tick)));
    return widest;
  }

  PanelFrame frameOf(std::int32_t f) const {
    const std::int32_t row = f / grid_.columns;
    const std::int32_t column = f % grid_.columns;
    return {layout_.panelLeft(column), layout_.panelTop(row), layout_.plotWidth, layout_.plotHeight,
            lags_, probabilities_};
  }

  void definePointMarkers() {
    const double r = layout_.markerRadius;
    svg_.openDefinitions();
    for (const bool few : {false, true}) {
      if (few && !pairs_) break;
      svg_.openMarker({{"id", few ? "point-few" : "point"},
                       {"markerUnits", "userSpaceOnUse"},
                       {"markerWidth", number(2 * r)},
                       {"markerHeight", number(2 * r)},
                       {"viewBox", "0 0 " + number(2 * r) + " " + number(2 * r)},
                       {"refX", number(r)},
                       {"refY", number(r)}});
      const double stroke = hollowStroke();
      if (few) {
        svg_.circle(r, r, r - stroke / 2, {}, {{"fill", kPanelFill}, {"stroke", kPointColour},
                                               {"stroke-width", number(stroke)}});
      } else {
        svg_.circle(r, r, r, {}, {{"fill", kPointColour}});
      }
      svg_.closeMarker();
    }
    svg_.closeDefinitions();
  }

  // The ring of a hollow point: thin enough to leave a hole in the smallest.
  double hollowStroke() const { return std::clamp(layout_.markerRadius * 0.45, 0.35, 1.0); }

  void drawHeading() {
    const double x = kMargin;
    svg_.text(x, kTitleLine, "Transiograms: experimental values and linear models",
              {{"class", "title"}, {"font-size", number(kTitleSize)}, {"font-weight", "bold"},
               {"fill", kTextColour}});
    std::string note;
    if (grid_.matrix) {
      note = integerText(tables_.categoryCount) + " categories; p(i,j) in row i, column j: the probability "
             "of category j at lag h from category i";
    } else {
      note = integerText(tables_.pairCount) + " value columns, which are not the category pairs of " +
             integerText(tables_.categoryCount) + " categories: one panel per column, in order.";
    }
    svg_.text(x, kFirstNoteLine, note, {{"class", "note"}, {"font-size", number(kNoteSize)}, {"fill", kMutedText}});
    std::string lags = integerText(tables_.expLagCount) + " experimental lag" +
                       (tables_.expLagCount == 1 ? "" : "s") + "; model ";
    lags += tables_.maxLag >= 0 ? "for lags 0 to " + integerText(tables_.maxLag) + " (maxLag)"
                                : "empty (maxLag " + integerText(tables_.maxLag) + ")";
    if (compact_) lags += "; points drawn without tooltips (more than " +
                          integerText(kMaxPointsWithTooltips) + " points)";
    svg_.text(x, kSecondNoteLine, lags, {{"class", "note"}, {"font-size", number(kNoteSize)}, {"fill", kMutedText}});
  }

  void drawLegend() {
    const double y = kLegendLine - 4;
    double x = kMargin;
    svg_.openGroup({{"class", "legend"}, {"font-size", number(kNoteSize)}, {"fill", kTextColour}});
    svg_.circle(x + 6, y, 3, {}, {{"fill", kPointColour}});
    svg_.text(x + 14, y + 4, "experimental");
    x += 100;
    svg_.line(x, y, x + 20, y, {{"stroke", kModelColour}, {"stroke-width", "1.6"}});
    svg_.text(x + 26, y + 4, "linear model");
    if (grid_.matrix) {
      x += 115;
      svg_.rect(x, y - 6, 20, 12, {{"fill", kDiagonalFill}, {"stroke", kFrameColour}, {"stroke-width", ".6"}});
      svg_.text(x + 26, y + 4, kDiagonalLegend);
      x += 26 + textWidth(kDiagonalLegend, kNoteSize) + kLegendGap;
    }
    if (pairs_ && pairs_->minPairs) {
      svg_.circle(x + 6, y, 2.6, {}, {{"class", "few"}, {"fill", kPanelFill}, {"stroke", kPointColour},
                                     {"stroke-width", ".9"}});
      svg_.text(x + 14, y + 4, fewPairsLegend());
      x += 14 + textWidth(fewPairsLegend(), kNoteSize) + kLegendGap;
    }
    if (errorBars_) {
      svg_.path("M" + number(x + 6) + " " + number(y - 6) + "V" + number(y + 6) + "M" + number(x + 3) + " " +
                    number(y - 6) + "h6M" + number(x + 3) + " " + number(y + 6) + "h6",
                {{"fill", "none"}, {"stroke", kPointColour}, {"stroke-width", ".9"}});
      svg_.text(x + 14, y + 4, kErrorBarLegend);
    }
    svg_.closeGroup();
  }

  static constexpr double kLegendGap = 24;
  static constexpr const char* kDiagonalLegend = "same category (i = j)";
  static constexpr const char* kErrorBarLegend = "\u00b12 standard errors";
  std::string fewPairsLegend() const {
    return "n_i < " + integerText(2 * *pairs_->minPairs) + " = 2 \u00d7 min pairs";
  }

  // The room the legend takes beyond its fixed entries.
  double legendWidth() const {
    double width = kMargin + 100 + 115 + 26 + textWidth(kDiagonalLegend, kNoteSize) + kLegendGap;
    if (pairs_ && pairs_->minPairs) width += 14 + textWidth(fewPairsLegend(), kNoteSize) + kLegendGap;
    if (errorBars_) width += 14 + textWidth(kErrorBarLegend, kNoteSize);
    return width + kMargin;
  }

  // Column headers above the grid, their last lines on one base line; row
  // headers left of it, turned, each within its row. A header's tooltip is
  // the category's full name: the one place it is given whole.
  void drawCategoryHeaders() {
    const double size = layout_.headerSize;
    const double step = layout_.headerLine;
    svg_.openGroup({{"class", "category-headers"}, {"font-size", number(size)}, {"fill", kTextColour},
                    {"text-anchor", "middle"}, {"font-weight", "bold"}});
    const auto fullName = [&](std::int32_t k) -> std::string_view {
      return fullNames_.empty() ? std::string_view() : fullNames_[static_cast<std::size_t>(k - 1)];
    };
    for (std::int32_t j = 1; j <= tables_.categoryCount; ++j) {
      const Lines& lines = columnHeaders_[static_cast<std::size_t>(j - 1)];
      const double x = layout_.panelLeft(j - 1) + layout_.plotWidth / 2;
      const double y = layout_.gridTop - layout_.font * 0.5 - step * static_cast<double>(lines.size() - 1);
      svg_.textLines(x, y, lines, step, fullName(j), {{"class", "to"}});
    }
    for (std::int32_t i = 1; i <= tables_.categoryCount; ++i) {
      const Lines& lines = rowHeaders_[static_cast<std::size_t>(i - 1)];
      const double x = kMargin + size;
      const double y = layout_.panelTop(i - 1) + (layout_.plotHeight - layout_.titleBand) / 2;
      svg_.textLines(x, y, lines, step, {},
                     {{"class", "from"}, {"transform", "rotate(-90 " + number(x) + " " + number(y) + ")"}});
    }
    svg_.closeGroup();
  }

  void drawAxisTitles() {
    const double size = layout_.font * 1.05;
    svg_.openGroup({{"class", "axis-titles"}, {"font-size", number(size)}, {"fill", kMutedText},
                    {"text-anchor", "middle"}});
    const double x = (layout_.gridLeft + layout_.gridRight) / 2;
    svg_.text(x, layout_.height - kMargin, "lag h");
    const double left = kMargin + layout_.rowHeaderBand + size;
    const double middle = (layout_.gridTop + layout_.gridBottom) / 2;
    svg_.text(left, middle, "transition probability",
              {{"transform", "rotate(-90 " + number(left) + " " + number(middle) + ")"}});
    svg_.closeGroup();
  }

  // The panel of value column f.
  void drawPanel(std::int32_t f) {
    const PanelFrame frame = frameOf(f);
    const bool diagonal = grid_.matrix && fromOf(f) == toOf(f);
    const std::string id = "panel-" + integerText(f + 1);
    if (grid_.matrix) {
      svg_.openGroup({{"class", diagonal ? "panel diagonal" : "panel"}, {"id", id},
                      {"tg:column", integerText(f + 1)}, {"tg:from", integerText(fromOf(f))},
                      {"tg:to", integerText(toOf(f))}, {"tg:lag-max", model::shortestText(lags_.high)},
                      {"tg:p-min", model::shortestText(probabilities_.low)},
                      {"tg:p-max", model::shortestText(probabilities_.high)}});
    } else {
      svg_.openGroup({{"class", "panel"}, {"id", id}, {"tg:column", integerText(f + 1)},
                      {"tg:lag-max", model::shortestText(lags_.high)},
                      {"tg:p-min", model::shortestText(probabilities_.low)},
                      {"tg:p-max", model::shortestText(probabilities_.high)}});
    }
    svg_.title(pairName(f) + (grid_.matrix ? ": from " + categoryName(fromOf(f)) + " to " +
                                                 categoryName(toOf(f))
                                           : ""));
    svg_.rect(frame.left, frame.top, frame.width, frame.height,
              {{"class", "frame"}, {"fill", diagonal ? kDiagonalFill : kPanelFill},
               {"stroke", kFrameColour}, {"stroke-width", ".6"}});
    drawGrid(frame);
    const double room = frame.width - 2;
    const std::string title = grid_.matrix ? fitPair(categoryName(fromOf(f)), categoryName(toOf(f)), room, layout_.font)
                                           : fitText(pairName(f), room, layout_.font);
    svg_.text(frame.left + 1, frame.top - layout_.font * 0.45, title, {{"class", "panel-title"}, {"fill", kTextColour}});
    drawTicks(f, frame);
    if (densePoints()) {
      drawErrorBars(f, frame);
      drawPoints(f, frame);
      drawModel(f, frame);
    } else {
      drawModel(f, frame);
      drawErrorBars(f, frame);
      drawPoints(f, frame);
    }
    svg_.closeGroup();
  }

  // Grid lines at the inner ticks.
  void drawGrid(const PanelFrame& frame) {
    std::string d;
    for (double tick : lags_.ticks()) {
      if (tick <= lags_.low || tick >= lags_.high) continue;
      const Point p = frame.at(tick, probabilities_.low);
      d += 'M';
      d += number(p.x) + " " + number(frame.top) + "V" + number(frame.bottom());
    }
    for (double tick : probabilities_.ticks()) {
      if (tick <= probabilities_.low || tick >= probabilities_.high) continue;
      const Point p = frame.at(lags_.low, tick);
      d += 'M';
      d += number(frame.left) + " " + number(p.y) + "H" + number(frame.right());
    }
    if (!d.empty()) svg_.path(d, {{"class", "grid"}, {"fill", "none"}, {"stroke", kGridColour}, {"stroke-width", ".6"}});
  }

  // Tick marks and labels on the outer sides of the grid: the lag ticks
  // under the panels that have no panel below, the probability ticks left
  // of the first grid column.
  void drawTicks(std::int32_t f, const PanelFrame& frame) {
    const bool left = f % grid_.columns == 0;
    const bool bottom = f + grid_.columns >= tables_.pairCount;
    if (!left && !bottom) return;
    const double t = layout_.tickLength;
    std::string marks;
    svg_.openGroup({{"class", "ticks"}, {"fill", kMutedText}});
    if (bottom) {
      for (double tick : lags_.ticks()) {
        const Point p = frame.at(tick, probabilities_.low);
        marks += 'M';
        marks += number(p.x) + " " + number(frame.bottom()) + "v" + number(t);
        svg_.text(p.x, frame.bottom() + t + layout_.font, lags_.label(tick), {{"text-anchor", "middle"}});
      }
    }
    if (left) {
      for (double tick : probabilities_.ticks()) {
        const Point p = frame.at(lags_.low, tick);
        marks += 'M';
        marks += number(frame.left) + " " + number(p.y) + "h-" + number(t);
        svg_.text(frame.left - t - 2, p.y + layout_.font * 0.35, probabilities_.label(tick),
                  {{"text-anchor", "end"}});
      }
    }
    svg_.path(marks, {{"fill", "none"}, {"stroke", kFrameColour}, {"stroke-width", ".6"}});
    svg_.closeGroup();
  }

  void drawModel(std::int32_t f, const PanelFrame& frame) {
    if (vertexLags_.empty()) return;
    std::vector<Point> vertices;
    vertices.reserve(vertexLags_.size());
    for (std::int32_t h : vertexLags_) vertices.push_back(frame.at(h, tables_.tgramModel(f, h)));
    svg_.path(pathThrough(vertices),
              {{"class", "model"}, {"fill", "none"}, {"stroke", kModelColour},
               {"stroke-width", number(modelWidth())}, {"stroke-linejoin", "round"},
               {"stroke-linecap", "round"}});
  }

  // The pair table's counts of point e of column f, when there is a table.
  const PointCounts* countsOf(std::int32_t f, std::int32_t e) const {
    return pairs_ ? &pairs_->at(f, e, tables_.pairCount) : nullptr;
  }
  bool fewPairs(std::int32_t f, std::int32_t e) const {
    const PointCounts* counts = countsOf(f, e);
    return counts && pairs_->fewPairs(*counts);
  }

  // +-2 standard errors around each estimated point, cut at the panel's
  // edges; a cap marks an end that is not cut.
  void drawErrorBars(std::int32_t f, const PanelFrame& frame) {
    if (!errorBars_) return;
    const double cap = std::max(layout_.markerRadius * 1.5, 1.5);
    std::string d;
    for (std::int32_t e = 0; e < tables_.expLagCount; ++e) {
      const PointCounts* counts = countsOf(f, e);
      // A standard error of 0 (p of 0 or 1) has nothing to show.
      if (!counts->estimated || !counts->standardError || *counts->standardError <= 0) continue;
      const double value = tables_.expTgram(f, e);
      const double spread = 2 * *counts->standardError;
      const double low = std::max(value - spread, probabilities_.low);
      const double high = std::min(value + spread, probabilities_.high);
      const double lag = tables_.expLag[static_cast<std::size_t>(e)];
      const Point bottom = frame.at(lag, low);
      const Point top = frame.at(lag, high);
      d += "M" + number(bottom.x) + " " + number(bottom.y) + "V" + number(top.y);
      if (low > probabilities_.low) d += "M" + number(bottom.x - cap) + " " + number(bottom.y) + "h" + number(2 * cap);
      if (high < probabilities_.high) d += "M" + number(top.x - cap) + " " + number(top.y) + "h" + number(2 * cap);
    }
    if (!d.empty()) {
      svg_.path(d, {{"class", "error-bars"}, {"fill", "none"}, {"stroke", kPointColour},
                    {"stroke-width", number(std::clamp(layout_.lineWidth * 0.6, 0.5, 0.9))}});
    }
  }

  void drawPoints(std::int32_t f, const PanelFrame& frame) {
    if (compact_) {
      for (const bool few : {false, true}) {
        std::vector<Point> points;
        for (std::int32_t e = 0; e < tables_.expLagCount; ++e) {
          if (fewPairs(f, e) != few) continue;
          points.push_back(frame.at(tables_.expLag[static_cast<std::size_t>(e)], tables_.expTgram(f, e)));
        }
        if (points.empty()) continue;
        const std::string marker = few ? "url(#point-few)" : "url(#point)";
        svg_.path(pathThrough(points),
                  {{"class", few ? "points few" : "points"}, {"fill", "none"}, {"stroke", "none"},
                   {"marker-start", marker}, {"marker-mid", marker}, {"marker-end", marker}});
      }
      return;
    }
    svg_.openGroup({{"class", "points"}, {"fill", kPointColour}});
    const std::string pair = pairName(f);
    const double stroke = hollowStroke();
    for (std::int32_t e = 0; e < tables_.expLagCount; ++e) {
      const std::int32_t lag = tables_.expLag[static_cast<std::size_t>(e)];
      const float value = tables_.expTgram(f, e);
      const Point p = frame.at(lag, value);
      std::string tooltip = pair + " at lag " + integerText(lag) + ": " + model::shortestText(value);
      if (const PointCounts* counts = countsOf(f, e)) tooltip += countsText(*counts);
      if (fewPairs(f, e)) {
        svg_.circle(p.x, p.y, layout_.markerRadius - stroke / 2, tooltip,
                    {{"class", "point few"}, {"fill", kPanelFill}, {"stroke", kPointColour},
                     {"stroke-width", number(stroke)}});
      } else {
        svg_.circle(p.x, p.y, layout_.markerRadius, tooltip, {{"class", "point"}});
      }
    }
    svg_.closeGroup();
  }

  static std::string countsText(const PointCounts& counts) {
    if (!counts.estimated) return " (not estimated)";
    std::string text = "; n_ij / n_i = " + integerText(counts.pairs) + " / " + integerText(counts.fromPairs);
    if (counts.standardError) text += ", standard error " + model::shortestText(*counts.standardError);
    return text;
  }

  const model::Transiograms& tables_;
  const PairTable* pairs_;
  bool errorBars_;
  const std::vector<std::int32_t>& vertexLags_;
  const std::vector<std::string>& fullNames_;
  PanelGrid grid_;
  PanelSizes sizes_;
  bool compact_;
  std::vector<std::string> names_;
  AxisRange lags_;
  AxisRange probabilities_;
  bool dense_;  // densePoints(), worked out once
  double gapX_;
  std::vector<Lines> columnHeaders_;
  std::vector<Lines> rowHeaders_;
  Layout layout_;
  SvgWriter svg_;
};

}  // namespace

PanelGrid panelGrid(const model::Transiograms& tables) {
  PanelGrid grid;
  const std::int64_t m = tables.categoryCount;
  if (m >= 1 && m * m == tables.pairCount) {
    grid.matrix = true;
    grid.columns = grid.rows = tables.categoryCount;
    return grid;
  }
  grid.columns = static_cast<std::int32_t>(std::ceil(std::sqrt(static_cast<double>(tables.pairCount))));
  grid.rows = (tables.pairCount + grid.columns - 1) / grid.columns;
  return grid;
}

std::string drawTransiograms(const model::Transiograms& tables,
                             const std::vector<std::int32_t>& vertexLags,
                             const std::vector<std::string>& names,
                             const PairTable* pairs, bool errorBars) {
  return PictureBuilder(tables, vertexLags, names, pairs, errorBars).build();
}

}  // namespace tgram::plot
