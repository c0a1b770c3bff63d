// Format strings, compiled once per formatted statement into a flat list of
// items that format control runs.
//
// Compiling never fails: a faulty string compiles into the items before the
// fault followed by an error item, and the fault is raised only when format
// control reaches that item.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tgram::recio {

// Groups nest at most this deep, in the compiler and in format control; a
// deeper one is fault 6986.
inline constexpr int kMaxGroupDepth = 16;
inline constexpr int kGroupsTooDeep = 6986;

enum class FormatKind : std::uint8_t {
  // Data descriptors: each edits one item.
  Integer,      // Iw[.m]
  Fixed,        // Fw.d
  Exponent,     // Ew.d[Ee]
  Double,       // Dw.d
  General,      // Gw.d[Ee]
  Engineering,  // ENw.d[Ee]
  Scientific,   // ESw.d[Ee]
  Logical,      // Lw
  Character,    // A[w]
  Hex,          // Z[w[.m]]
  Octal,        // O[w[.m]]
  Binary,       // B[w[.m]]
  Remaining,    // Q
  // Control items.
  Literal,      // 'text', "text", nHtext
  Skip,         // nX
  Tab,          // Tn
  TabLeft,      // TLn
  TabRight,     // TRn
  NewRecord,    // n/
  Colon,        // :
  KeepRecord,   // $ or backslash
  SignDefault,  // S
  SignSuppress, // SS
  SignPlus,     // SP
  BlankNull,    // BN
  BlankZero,    // BZ
  Scale,        // kP
  GroupOpen,    // [n](
  GroupClose,   // )
  End,          // the closing ) of the format
  Error,        // a fault: raised when format control reaches it
};

bool isDataDescriptor(FormatKind kind);

// A number of a format item: absent, written in the string, or the value
// of a "^" placeholder (`ref` counts the placeholders of the string from 0).
struct FormatNumber {
  std::int32_t value = 0;
  std::int32_t ref = -1;
  bool given = false;

  bool isRuntime() const { return ref >= 0; }
};

struct FormatItem {
  FormatKind kind = FormatKind::End;
  FormatNumber repeat;
  FormatNumber w;
  FormatNumber d;
  FormatNumber e;
  // Literal: its characters in CompiledFormat::text.
  std::uint32_t textOffset = 0;
  std::uint32_t textLength = 0;
  // End: the item where reversion resumes (-1: none). Error: the condition
  // number. GroupOpen: when nothing in the group can write a character, end
  // a record or take an item (positioning, ":", modes), its closing item, so
  // that format control can settle all its repetitions at once (-1
  // otherwise).
  std::int32_t target = -1;
};

struct CompiledFormat {
  std::vector<FormatItem> items;  // ends in an End or an Error item
  std::string text;               // the characters of all literals

  std::string_view literal(const FormatItem& item) const {
    return std::string_view(text).substr(item.textOffset, item.textLength);
  }
};

// Compiles `length` bytes of `text` (-1: up to the first NUL byte).
CompiledFormat compileFormat(const char* text, std::int32_t length);

// The formats compiled so far, by their text, so that a statement carried
// out many times compiles its format once. A compiled format depends on its
// text alone. It holds a few formats; a new one takes the place of the one
// added longest ago.
class FormatCache {
 public:
  FormatCache() { entries_.reserve(kEntries); }

  // The compiled form of `length` bytes of `text` (-1: up to the first NUL
  // byte). It stays valid until kEntries other texts have been looked up.
  const CompiledFormat& get(const char* text, std::int32_t length);

 private:
  static constexpr std::size_t kEntries = 8;
  struct Entry {
    std::string text;
    CompiledFormat format;
  };
  std::vector<Entry> entries_;
  std::size_t next_ = 0;  // the entry replaced next once all are taken
};

}  // namespace tgram::recio
