#include "plot/svg_writer.hpp"

#include <cmath>
#include <cstdint>

namespace tgram::plot {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Tenths as text: "-12.3", ".5", "-.5", "7".
void appendTenths(std::string& out, long long tenths) {
  if (tenths < 0) {
    out += '-';
    tenths = -tenths;
  }
  const long long whole = tenths / 10;
  const long long tenth = tenths % 10;
  if (whole != 0 || tenth == 0) out += std::to_string(whole);
  if (tenth != 0) {
    out += '.';
    out += static_cast<char>('0' + tenth);
  }
}

long long toTenths(double value) { return std::llround(value * 10.0); }

// The length of the UTF-8 sequence at `text[i]` when it is valid and names a
// character XML allows, else 0.
std::size_t validSequence(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return (lead >= 0x20 || lead == '\t' || lead == '\n' || lead == '\r') ? 1 : 0;
  std::size_t length;
  std::uint32_t code;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07u;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0u) != 0x80u) return 0;
    code = (code << 6) | (byte(i + k) & 0x3Fu);
  }
  const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < smallest[length] || code > 0x10FFFF) return 0;     // overlong or too large
  if (code >= 0xD800 && code <= 0xDFFF) return 0;              // surrogates
  if (code == 0xFFFE || code == 0xFFFF) return 0;              // not characters in XML
  return length;
}

}  // namespace

std::string number(double value) {
  std::string out;
  appendTenths(out, toTenths(value));
  return out;
}

std::string pathThrough(const std::vector<Point>& points) {
  std::string d;
  if (points.empty()) return d;
  long long x = toTenths(points.front().x);
  long long y = toTenths(points.front().y);
  d += 'M';
  appendTenths(d, x);
  d += ' ';
  appendTenths(d, y);
  bool previousHasPoint = false;  // whether the last number written holds a '.'
  const auto append = [&](long long tenths, bool first) {
    std::string text;
    appendTenths(text, tenths);
    // A sign always separates; a leading '.' separates after a number that
    // already holds one.
    const bool needsSpace = !first && text[0] != '-' && !(text[0] == '.' && previousHasPoint);
    if (needsSpace) d += ' ';
    d += text;
    previousHasPoint = text.find('.') != std::string::npos;
  };
  for (std::size_t k = 1; k < points.size(); ++k) {
    const long long nx = toTenths(points[k].x);
    const long long ny = toTenths(points[k].y);
    if (k == 1) d += 'l';
    append(nx - x, k == 1);
    append(ny - y, false);
    x = nx;
    y = ny;
  }
  return d;
}

std::string escapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = validSequence(text, i);
    if (length == 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    if (length == 1) {
      switch (text[i]) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        case '\t': out += "&#9;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        default: out += text[i]; break;
      }
    } else {
      out.append(text, i, length);
    }
    i += length;
  }
  return out;
}

SvgWriter::SvgWriter(double width, double height, std::string_view title,
                     std::initializer_list<Attribute> rootAttributes) {
  out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
  out_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\"";
  attribute("xmlns:tg", kDataNamespace);
  attribute("width", number(width));
  attribute("height", number(height));
  attribute("viewBox", "0 0 " + number(width) + ' ' + number(height));
  for (const Attribute& a : rootAttributes) attribute(a.name, a.value);
  out_ += ">\n";
  this->title(title);
}

void SvgWriter::attribute(std::string_view name, std::string_view value) {
  out_ += ' ';
  out_ += name;
  out_ += "=\"";
  out_ += escapeText(value);
  out_ += '"';
}

void SvgWriter::openTag(std::string_view name, std::initializer_list<Attribute> attributes) {
  out_ += '<';
  out_ += name;
  for (const Attribute& a : attributes) attribute(a.name, a.value);
}

void SvgWriter::openGroup(std::initializer_list<Attribute> attributes) {
  openTag("g", attributes);
  out_ += ">\n";
}

void SvgWriter::closeGroup() { out_ += "</g>\n"; }

void SvgWriter::openDefinitions() { out_ += "<defs>\n"; }

void SvgWriter::closeDefinitions() { out_ += "</defs>\n"; }

void SvgWriter::openMarker(std::initializer_list<Attribute> attributes) {
  openTag("marker", attributes);
  out_ += ">\n";
}

void SvgWriter::closeMarker() { out_ += "</marker>\n"; }

void SvgWriter::rect(double x, double y, double width, double height,
                     std::initializer_list<Attribute> attributes) {
  out_ += "<rect";
  attribute("x", number(x));
  attribute("y", number(y));
  attribute("width", number(width));
  attribute("height", number(height));
  for (const Attribute& a : attributes) attribute(a.name, a.value);
  out_ += "/>\n";
}

void SvgWriter::line(double x1, double y1, double x2, double y2,
                     std::initializer_list<Attribute> attributes) {
  out_ += "<line";
  attribute("x1", number(x1));
  attribute("y1", number(y1));
  attribute("x2", number(x2));
  attribute("y2", number(y2));
  for (const Attribute& a : attributes) attribute(a.name, a.value);
  out_ += "/>\n";
}

void SvgWriter::path(std::string_view data, std::initializer_list<Attribute> attributes) {
  out_ += "<path";
  for (const Attribute& a : attributes) attribute(a.name, a.value);
  attribute("d", data);
  out_ += "/>\n";
}

void SvgWriter::circle(double cx, double cy, double r, std::string_view tooltip,
                       std::initializer_list<Attribute> attributes) {
  out_ += "<circle";
  attribute("cx", number(cx));
  attribute("cy", number(cy));
  attribute("r", number(r));
  for (const Attribute& a : attributes) attribute(a.name, a.value);
  if (tooltip.empty()) {
    out_ += "/>\n";
    return;
  }
  out_ += "><title>";
  out_ += escapeText(tooltip);
  out_ += "</title></circle>\n";
}

void SvgWriter::openText(double x, double y, std::initializer_list<Attribute> attributes) {
  out_ += "<text";
  attribute("x", number(x));
  attribute("y", number(y));
  for (const Attribute& a : attributes) attribute(a.name, a.value);
  out_ += '>';
}

void SvgWriter::text(double x, double y, std::string_view content,
                     std::initializer_list<Attribute> attributes) {
  openText(x, y, attributes);
  out_ += escapeText(content);
  out_ += "</text>\n";
}

void SvgWriter::textLines(double x, double y, const std::vector<std::string>& lines, double lineStep,
                          std::string_view tooltip, std::initializer_list<Attribute> attributes) {
  openText(x, y, attributes);
  if (lines.size() == 1) {
    out_ += escapeText(lines.front());
  } else {
    for (std::size_t k = 0; k < lines.size(); ++k) {
      out_ += "<tspan";
      attribute("x", number(x));
      attribute("y", number(y + lineStep * static_cast<double>(k)));
      out_ += '>';
      out_ += escapeText(lines[k]);
      out_ += "</tspan>";
    }
  }
  if (!tooltip.empty()) {
    out_ += "<title>";
    out_ += escapeText(tooltip);
    out_ += "</title>";
  }
  out_ += "</text>\n";
}

void SvgWriter::title(std::string_view content) {
  out_ += "<title>";
  out_ += escapeText(content);
  out_ += "</title>\n";
}

std::string SvgWriter::finish() {
  out_ += "</svg>\n";
  return std::move(out_);
}

}  // namespace tgram::plot
