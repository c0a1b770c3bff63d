// A small SVG 1.1 writer: one function per element kind, numbers written in
// one way, text escaped in one place. The document is built in memory.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tgram::plot {

// The namespace of the picture's own attributes (tg:...), which say what an
// element shows: a panel's pair and ranges, for programs that read the
// picture.
inline constexpr std::string_view kDataNamespace = "urn:tgraminterp:tgramplot";

// One attribute, its value already text (escaped when written).
struct Attribute {
  std::string_view name;
  std::string value;
};

// A coordinate or length as written: rounded to a tenth, no trailing ".0".
std::string number(double value);

// A point of a drawn line, in picture coordinates.
struct Point {
  double x;
  double y;
};

// Path data through `points`: a move to the first, then relative lines to
// the others. Each point is rounded to a tenth first and the steps are the
// differences of the rounded points, so no rounding error accumulates.
std::string pathThrough(const std::vector<Point>& points);

// `text` made safe as XML character data or attribute value: markup
// characters become references, bytes that are not valid UTF-8 and
// characters XML does not allow become U+FFFD.
std::string escapeText(std::string_view text);

class SvgWriter {
 public:
  // Starts the document: the XML declaration and the root element of the
  // given size, with `title` as its accessible name.
  SvgWriter(double width, double height, std::string_view title,
            std::initializer_list<Attribute> rootAttributes = {});

  void openGroup(std::initializer_list<Attribute> attributes);
  void closeGroup();
  // Definitions (markers) are written between these two.
  void openDefinitions();
  void closeDefinitions();
  void openMarker(std::initializer_list<Attribute> attributes);
  void closeMarker();

  void rect(double x, double y, double width, double height,
            std::initializer_list<Attribute> attributes = {});
  void line(double x1, double y1, double x2, double y2,
            std::initializer_list<Attribute> attributes = {});
  void path(std::string_view data, std::initializer_list<Attribute> attributes = {});
  // A circle; a non-empty `tooltip` becomes its <title>.
  void circle(double cx, double cy, double r, std::string_view tooltip = {},
              std::initializer_list<Attribute> attributes = {});
  void text(double x, double y, std::string_view content,
            std::initializer_list<Attribute> attributes = {});
  // A text of one or more lines, each a <tspan> `lineStep` below the one
  // before in the text's own frame (so a rotated text's lines stand side by
  // side); a non-empty `tooltip` becomes its <title>, after the lines.
  void textLines(double x, double y, const std::vector<std::string>& lines, double lineStep,
                 std::string_view tooltip, std::initializer_list<Attribute> attributes = {});
  // A <title> for the element just opened (a group).
  void title(std::string_view content);

  // Ends the document and hands it over.
  std::string finish();

 private:
  void openTag(std::string_view name, std::initializer_list<Attribute> attributes);
  // "<text" at x, y with `attributes`, up to its ">".
  void openText(double x, double y, std::initializer_list<Attribute> attributes);
  void attribute(std::string_view name, std::string_view value);

  std::string out_;
};

}  // namespace tgram::plot
