#include "plot/transiogram_picture.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

#include "plot/axes.hpp"
#include "plot/svg_writer.hpp"

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

// The shortest text that reads back as the same 4-byte real.
std::string realText(float value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

// The shortest text that reads back as the same double.
std::string exactText(double value) {
  char text[40];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

// At most `limit` characters of a UTF-8 text, with "…" when cut.
std::string shortened(const std::string& text, std::size_t limit) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0u) == 0x80u) continue;
    if (++characters > limit) return text.substr(0, i) + "\xE2\x80\xA6";
  }
  return text;
}

// The geometry of the whole picture, computed once.
class Layout {
 public:
  Layout(const PanelGrid& grid, double yLabelChars) {
    plotWidth = std::round(std::clamp(1500.0 / grid.columns, 90.0, 230.0));
    plotHeight = std::round(plotWidth * 0.68);
    font = std::clamp(plotWidth * 0.052, 7.5, 12.0);
    titleBand = std::round(font * 1.7);
    gapX = std::round(font * 2.2);
    gapY = std::round(font * 0.9);
    tickLength = std::max(2.0, std::round(font * 0.35));
    markerRadius = std::clamp(plotWidth / 90.0, 1.2, 2.6);
    lineWidth = std::clamp(plotWidth / 150.0, 0.9, 1.6);

    const double headerBand = grid.matrix ? std::round(font * 1.8) : 0.0;
    const double axisTitleBand = std::round(font * 1.8);
    const double yLabelWidth = std::round(yLabelChars * font * 0.62 + font * 0.5);
    gridLeft = kMargin + headerBand + axisTitleBand + yLabelWidth + tickLength;
    headerTop = kLegendLine + 16;
    gridTop = headerTop + headerBand;
    const double gridWidth = grid.columns * plotWidth + (grid.columns - 1) * gapX;
    const double gridHeight = grid.rows * (titleBand + plotHeight) + (grid.rows - 1) * gapY;
    width = std::max(gridLeft + gridWidth + kMargin + 6, 760.0);
    height = gridTop + gridHeight + tickLength + font * 1.4 + axisTitleBand + kMargin;
    gridRight = gridLeft + gridWidth;
    gridBottom = gridTop + gridHeight;
  }

  // The plot area of the panel in grid row `row`, grid column `column`.
  double panelLeft(std::int32_t column) const { return gridLeft + column * (plotWidth + gapX); }
  double panelTop(std::int32_t row) const {
    return gridTop + row * (titleBand + plotHeight + gapY) + titleBand;
  }

  double plotWidth, plotHeight, font, titleBand, gapX, gapY, tickLength;
  double markerRadius, lineWidth;
  double gridLeft, gridTop, gridRight, gridBottom, headerTop;
  double width, height;
};

class PictureBuilder {
 public:
  PictureBuilder(const model::Transiograms& tables, const std::vector<std::int32_t>& vertexLags,
                 const std::vector<std::string>& names)
      : tables_(tables),
        vertexLags_(vertexLags),
        names_(names),
        grid_(panelGrid(tables)),
        compact_(static_cast<std::int64_t>(tables.pairCount) * tables.expLagCount >
                 kMaxPointsWithTooltips),
        lags_(lagAxis(highestLag())),
        probabilities_(valueAxis()),
        layout_(grid_, longestLabel()),
        svg_(layout_.width, layout_.height, "Transiograms",
             {{"font-family", "sans-serif"}, {"tg:pairs", integerText(tables.pairCount)},
              {"tg:categories", integerText(tables.categoryCount)},
              {"tg:points-as", compact_ ? "path" : "circles"}}) {}

  std::string build() {
    svg_.rect(0, 0, layout_.width, layout_.height, {{"fill", "#ffffff"}});
    if (compact_) definePointMarker();
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
  // Categories are counted from 1; a matrix panel's from and to.
  std::int32_t fromOf(std::int32_t f) const { return f / tables_.categoryCount + 1; }
  std::int32_t toOf(std::int32_t f) const { return f % tables_.categoryCount + 1; }
  std::string categoryName(std::int32_t category) const {
    return names_.empty() ? integerText(category) : names_[static_cast<std::size_t>(category - 1)];
  }
  std::string pairName(std::int32_t f) const {
    if (!grid_.matrix) return "column " + integerText(f + 1);
    return "p(" + categoryName(fromOf(f)) + "," + categoryName(toOf(f)) + ")";
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

  double longestLabel() const {
    std::size_t longest = 1;
    for (double tick : probabilities_.ticks()) longest = std::max(longest, probabilities_.label(tick).size());
    return static_cast<double>(longest);
  }

  PanelFrame frameOf(std::int32_t f) const {
    const std::int32_t row = f / grid_.columns;
    const std::int32_t column = f % grid_.columns;
    return {layout_.panelLeft(column), layout_.panelTop(row), layout_.plotWidth, layout_.plotHeight,
            lags_, probabilities_};
  }

  void definePointMarker() {
    const double r = layout_.markerRadius;
    svg_.openDefinitions();
    svg_.openMarker({{"id", "point"},
                     {"markerUnits", "userSpaceOnUse"},
                     {"markerWidth", number(2 * r)},
                     {"markerHeight", number(2 * r)},
                     {"viewBox", "0 0 " + number(2 * r) + " " + number(2 * r)},
                     {"refX", number(r)},
                     {"refY", number(r)}});
    svg_.circle(r, r, r, {}, {{"fill", kPointColour}});
    svg_.closeMarker();
    svg_.closeDefinitions();
  }

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
      svg_.text(x + 26, y + 4, "same category (i = j)");
    }
    svg_.closeGroup();
  }

  void drawCategoryHeaders() {
    const double size = layout_.font * 1.1;
    const std::size_t fit = static_cast<std::size_t>(std::max(4.0, layout_.plotWidth / (size * 0.6)));
    svg_.openGroup({{"class", "category-headers"}, {"font-size", number(size)}, {"fill", kTextColour},
                    {"text-anchor", "middle"}, {"font-weight", "bold"}});
    for (std::int32_t j = 1; j <= tables_.categoryCount; ++j) {
      const double x = layout_.panelLeft(j - 1) + layout_.plotWidth / 2;
      svg_.text(x, layout_.gridTop - size * 0.5, shortened("to " + categoryName(j), fit),
                {{"class", "to"}});
    }
    const std::size_t fitRow = static_cast<std::size_t>(std::max(4.0, layout_.plotHeight / (size * 0.6)));
    for (std::int32_t i = 1; i <= tables_.categoryCount; ++i) {
      const double x = kMargin + size;
      const double y = layout_.panelTop(i - 1) + layout_.plotHeight / 2;
      svg_.text(x, y, shortened("from " + categoryName(i), fitRow),
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
    const double left = kMargin + (grid_.matrix ? std::round(layout_.font * 1.8) : 0.0) + size;
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
                      {"tg:to", integerText(toOf(f))}, {"tg:lag-max", exactText(lags_.high)},
                      {"tg:p-min", exactText(probabilities_.low)},
                      {"tg:p-max", exactText(probabilities_.high)}});
    } else {
      svg_.openGroup({{"class", "panel"}, {"id", id}, {"tg:column", integerText(f + 1)},
                      {"tg:lag-max", exactText(lags_.high)},
                      {"tg:p-min", exactText(probabilities_.low)},
                      {"tg:p-max", exactText(probabilities_.high)}});
    }
    svg_.title(pairName(f) + (grid_.matrix ? ": from " + categoryName(fromOf(f)) + " to " +
                                                 categoryName(toOf(f))
                                           : ""));
    svg_.rect(frame.left, frame.top, frame.width, frame.height,
              {{"class", "frame"}, {"fill", diagonal ? kDiagonalFill : kPanelFill},
               {"stroke", kFrameColour}, {"stroke-width", ".6"}});
    drawGrid(frame);
    const std::size_t fit = static_cast<std::size_t>(std::max(4.0, frame.width / (layout_.font * 0.6)));
    svg_.text(frame.left + 1, frame.top - layout_.font * 0.45, shortened(pairName(f), fit),
              {{"class", "panel-title"}, {"fill", kTextColour}});
    drawTicks(f, frame);
    drawModel(f, frame);
    drawPoints(f, frame);
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
               {"stroke-width", number(layout_.lineWidth)}, {"stroke-linejoin", "round"},
               {"stroke-linecap", "round"}});
  }

  void drawPoints(std::int32_t f, const PanelFrame& frame) {
    if (compact_) {
      std::vector<Point> points;
      points.reserve(static_cast<std::size_t>(tables_.expLagCount));
      for (std::int32_t e = 0; e < tables_.expLagCount; ++e) {
        points.push_back(frame.at(tables_.expLag[static_cast<std::size_t>(e)], tables_.expTgram(f, e)));
      }
      svg_.path(pathThrough(points),
                {{"class", "points"}, {"fill", "none"}, {"stroke", "none"},
                 {"marker-start", "url(#point)"}, {"marker-mid", "url(#point)"},
                 {"marker-end", "url(#point)"}});
      return;
    }
    svg_.openGroup({{"class", "points"}, {"fill", kPointColour}});
    const std::string pair = pairName(f);
    for (std::int32_t e = 0; e < tables_.expLagCount; ++e) {
      const std::int32_t lag = tables_.expLag[static_cast<std::size_t>(e)];
      const float value = tables_.expTgram(f, e);
      const Point p = frame.at(lag, value);
      svg_.circle(p.x, p.y, layout_.markerRadius, pair + " at lag " + integerText(lag) + ": " + realText(value),
                  {{"class", "point"}});
    }
    svg_.closeGroup();
  }

  const model::Transiograms& tables_;
  const std::vector<std::int32_t>& vertexLags_;
  const std::vector<std::string>& names_;
  PanelGrid grid_;
  bool compact_;
  AxisRange lags_;
  AxisRange probabilities_;
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
                             const std::vector<std::string>& names) {
  return PictureBuilder(tables, vertexLags, names).build();
}

}  // namespace tgram::plot
