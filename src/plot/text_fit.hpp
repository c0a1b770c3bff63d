// Fitting text into the room a picture has for it, without a font at hand:
// widths come from a table of advance widths of a wide sans-serif face, so
// that text measured by it fits in the usual narrower ones too.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tgram::plot {

enum class Weight { Normal, Bold };

// The longest a name is drawn or repeated anywhere in the picture, in
// characters; a longer one is cut there (with "…").
inline constexpr std::size_t kNameCap = 60;

// The width of UTF-8 `text` at font size `size`: printable ASCII from the
// table; other letters of Latin, Greek and Cyrillic script by a bound above
// their widest usual ones; combining marks take no room; everything else
// (CJK, symbols) a full em or more. Bytes that are not UTF-8 count as one
// wide character each.
double textWidth(std::string_view text, double size, Weight weight = Weight::Normal);

// At most `limit` characters of `text`, with "…" in place of the rest.
std::string capCharacters(std::string_view text, std::size_t limit);

// `text` whole when it fits in `room`, else its longest start that fits
// with "…" behind it (at least its first character).
std::string fitText(std::string_view text, double room, double size, Weight weight = Weight::Normal);

// "p(from,to)" fitted into `room`: when it does not fit, the longer name is
// cut first, then both, each keeping its start, so that both categories
// stay readable.
std::string fitPair(std::string_view from, std::string_view to, double room, double size,
                    Weight weight = Weight::Normal);

// `text` broken at blanks into at most `maxLines` lines of `room` each; a
// word longer than a line is cut, and what does not fit on the last line
// is cut from it (with "…").
std::vector<std::string> wrapText(std::string_view text, double room, double size, Weight weight,
                                  std::size_t maxLines);

}  // namespace tgram::plot
