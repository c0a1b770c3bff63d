#include "runtime/messages.hpp"

#include <algorithm>
#include <array>
#include <iterator>

namespace tgram::runtime {

namespace {

struct CatalogueEntry {
  int number;
  std::string_view text;
};

// Sorted by number.
constexpr CatalogueEntry kCatalogue[] = {
    {6100, "integer overflow"},
    {6101, "invalid integer"},
    {6102, "floating-point overflow reading a real value"},
    {6103, "invalid real"},
    {6104, "real value out of range for its item"},
    {6110, "value outside the limits of the program's tables"},
    {6200, "formatted input or output on a unit that does not hold text records"},
    {6202, "device cannot be opened with this form or access"},
    {6205, "character item needs an A edit descriptor"},
    {6206, "real item has no edit descriptor to match it"},
    {6207, "integer item has no edit descriptor to match it"},
    {6208, "logical item needs an L edit descriptor"},
    {6209, "unit already connected to this file with another record kind"},
    {6300, "KEEP illegal for a scratch file"},
    {6301, "SCRATCH illegal for a named file"},
    {6302, "more than one # in a based integer"},
    {6303, "base of a based integer outside 2..36"},
    {6304, "illegal STATUS value"},
    {6305, "illegal MODE value"},
    {6306, "illegal ACCESS value"},
    {6307, "illegal BLANK value"},
    {6308, "illegal FORM value"},
    {6309, "illegal SHARE value"},
    {6311, "RECL required for direct access"},
    {6314, "unit number out of range"},
    {6315, "RECL must be positive"},
    {6404, "cannot delete the file: access denied"},
    {6412, "invalid file name"},
    {6413, "file already connected to another unit"},
    {6414, "access denied"},
    {6415, "file already exists"},
    {6416, "file not found"},
    {6417, "too many open files"},
    {6418, "too many units connected"},
    {6421, "write refused: access denied or file locked"},
    {6422, "no space left on device"},
    {6500, "error reading the file"},
    {6501, "end of file"},
    {6502, "zero, negative or missing repeat count"},
    {6503, "repeat count follows another repeat count"},
    {6504, "quoted or parenthesized value where a number is expected"},
    {6602, "list item too wide for a record"},
    {6700, "out of memory"},
    {6793, "illegal POSITION value"},
    {6794, "illegal ACTION value"},
    {6795, "DELIM illegal for an unformatted file"},
    {6796, "illegal DELIM value"},
    {6797, "PAD illegal for an unformatted file"},
    {6798, "illegal PAD value"},
    {6799, "illegal CARRIAGECONTROL value"},
    {6971, "format: EN edit descriptor is malformed"},
    {6972, "format: ES edit descriptor is malformed"},
    {6980, "format: a required number is missing"},
    {6981, "format: missing opening parenthesis"},
    {6982, "format: invalid number in edit descriptor"},
    {6983, "format: repeat count not allowed here"},
    {6984, "format: H or P without a number before it"},
    {6986, "format: groups nested too deeply"},
    {6987, "format: decimal point missing in edit descriptor"},
    {6988, "format: unexpected end of format"},
    {6989, "format: unexpected character"},
    {6990, "format: minimum digits exceed the field width"},
    {6991, "format: number too large"},
};

static_assert(std::is_sorted(std::begin(kCatalogue), std::end(kCatalogue),
                             [](const CatalogueEntry& a, const CatalogueEntry& b) {
                               return a.number < b.number;
                             }));

}  // namespace

std::string_view conditionMessage(int number) {
  const auto* end = std::end(kCatalogue);
  const auto* it = std::lower_bound(
      std::begin(kCatalogue), end, number,
      [](const CatalogueEntry& entry, int n) { return entry.number < n; });
  return (it != end && it->number == number) ? it->text : std::string_view{};
}

}  // namespace tgram::runtime
