#include "plot/text_fit.hpp"

#include <array>
#include <cstdint>

namespace tgram::plot {

namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

// Advance widths of the printable ASCII characters (space to "~") in
// thousandths of an em, of DejaVu Sans and DejaVu Sans Bold, the usual
// sans-serif face on Linux and wider than those of Windows and macOS.
constexpr std::array<std::uint16_t, 95> kNormalWidths = {
    318, 401, 460, 838, 636, 950, 780, 275, 390, 390, 500, 838, 318, 361, 318, 337,  636, 636, 636, 636,
    636, 636, 636, 636, 636, 636, 337, 337, 838, 838, 838, 531, 1000, 684, 686, 698, 770, 632, 575, 775,
    752, 295, 295, 656, 557, 863, 748, 787, 603, 787, 695, 635, 611, 732, 684, 989,  685, 611, 685, 390,
    337, 390, 838, 500, 500, 613, 635, 550, 635, 615, 352, 635, 634, 278, 278, 579,  278, 974, 634, 612,
    635, 635, 411, 521, 392, 634, 592, 818, 592, 592, 525, 636, 337, 636, 838};
constexpr std::array<std::uint16_t, 95> kBoldWidths = {
    348, 456, 521, 838, 696, 1002, 872, 306, 457, 457, 523, 838, 380, 415, 380, 365, 696, 696, 696, 696,
    696, 696, 696, 696, 696, 696,  400, 400, 838, 838, 838, 580, 1000, 774, 762, 734, 830, 683, 683, 821,
    837, 372, 372, 775, 637, 995,  837, 850, 733, 850, 770, 720, 682, 812, 774, 1103, 771, 724, 725, 457,
    365, 457, 838, 500, 500, 675,  716, 593, 716, 678, 435, 716, 712, 343, 343, 665, 343, 1042, 712, 687,
    716, 716, 493, 595, 478, 712,  652, 924, 645, 652, 582, 712, 365, 712, 838};

// One character of UTF-8 text: its code point and its length in bytes
// (a byte that begins no valid sequence is a character of its own).
struct Character {
  std::uint32_t code;
  std::size_t length;
};

Character characterAt(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || i + length > text.size()) return {0xFFFD, 1};
  std::uint32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0u) != 0x80u) return {0xFFFD, 1};
    code = (code << 6) | (byte(i + k) & 0x3Fu);
  }
  return {code, length};
}

// In thousandths of an em.
double characterWidth(std::uint32_t code, Weight weight) {
  const bool bold = weight == Weight::Bold;
  if (code >= 0x20 && code < 0x7F) return (bold ? kBoldWidths : kNormalWidths)[code - 0x20];
  if (code < 0x20 || (code >= 0x7F && code < 0xA0)) return 0;              // controls
  if (code >= 0x300 && code < 0x370) return 0;                             // combining marks
  if (code < 0x530) return bold ? 1000 : 900;                               // Latin, Greek, Cyrillic
  if (code >= 0x1F000 && code < 0x1FB00) return 1300;                       // emoji
  return bold ? 1100 : 1000;
}

}  // namespace

double textWidth(std::string_view text, double size, Weight weight) {
  double thousandths = 0;
  for (std::size_t i = 0; i < text.size();) {
    const Character c = characterAt(text, i);
    thousandths += characterWidth(c.code, weight);
    i += c.length;
  }
  return thousandths * size / 1000.0;
}

std::string capCharacters(std::string_view text, std::size_t limit) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (characters == limit) return std::string(text.substr(0, i)) + std::string(kEllipsis);
    i += characterAt(text, i).length;
    ++characters;
  }
  return std::string(text);
}

std::string fitText(std::string_view text, double room, double size, Weight weight) {
  if (textWidth(text, size, weight) <= room) return std::string(text);
  const double scale = size / 1000.0;
  double used = characterWidth(0x2026, weight) * scale;
  std::size_t end = 0;
  for (std::size_t i = 0; i < text.size();) {
    const Character c = characterAt(text, i);
    used += characterWidth(c.code, weight) * scale;
    if (used > room && end > 0) break;
    i += c.length;
    end = i;
  }
  // No blank before the "…": the cut shows where the word was.
  while (end > 1 && text[end - 1] == ' ') --end;
  return std::string(text.substr(0, end)) + std::string(kEllipsis);
}

std::string fitPair(std::string_view from, std::string_view to, double room, double size, Weight weight) {
  const auto pair = [](std::string_view a, std::string_view b) {
    return "p(" + std::string(a) + "," + std::string(b) + ")";
  };
  std::string whole = pair(from, to);
  if (textWidth(whole, size, weight) <= room) return whole;
  const double names = room - textWidth("p(,)", size, weight);
  const double fromWidth = textWidth(from, size, weight);
  const double toWidth = textWidth(to, size, weight);
  // A name narrower than half the room keeps it all; the other gets the rest.
  if (fromWidth <= names / 2) return pair(from, fitText(to, names - fromWidth, size, weight));
  if (toWidth <= names / 2) return pair(fitText(from, names - toWidth, size, weight), to);
  return pair(fitText(from, names / 2, size, weight), fitText(to, names / 2, size, weight));
}

std::vector<std::string> wrapText(std::string_view text, double room, double size, Weight weight,
                                  std::size_t maxLines) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size() && lines.size() + 1 < maxLines) {
    if (textWidth(text.substr(start), size, weight) <= room) break;
    // The longest run of whole words from `start` that fits.
    std::size_t end = start;
    for (std::size_t blank = text.find(' ', start); blank != std::string_view::npos;
         blank = text.find(' ', blank + 1)) {
      if (textWidth(text.substr(start, blank - start), size, weight) > room) break;
      end = blank;
    }
    if (end == start) break;  // the first word alone is too long: cut below
    lines.emplace_back(text.substr(start, end - start));
    start = text.find_first_not_of(' ', end);
    if (start == std::string_view::npos) start = text.size();
  }
  if (start < text.size() || lines.empty()) lines.push_back(fitText(text.substr(start), room, size, weight));
  return lines;
}

}  // namespace tgram::plot
