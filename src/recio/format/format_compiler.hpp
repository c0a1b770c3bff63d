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

#include "recio/output/edit_params.hpp"

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
  // A data descriptor without a number from a "^" (`settled`): its editing
  // parameters, settled when the format is compiled, with the fast mark of
  // the 4-byte real editing. A descriptor with a "^" number settles them
  // each time it is taken.
  EditParams edit;
  bool settled = false;
  // The item after the last data descriptor of a group whose repetitions
  // can be run without their items (a GroupRoute): the route's index in
  // CompiledFormat::routes (-1 otherwise).
  std::int32_t route = -1;
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

// The way a group goes round from its last data descriptor back to its
// first one when nothing but blanks lies on the way: X and TR items (with
// counts fixed, or from a "^", which stays fixed through a statement),
// the group's closing, then X and TR items again, and the first
// descriptor, whose numbers are fixed. Format control runs such a
// repetition without going through its items (group_repeat.hpp).
struct GroupRoute {
  std::uint32_t from;        // the item after the group's last descriptor
  std::uint32_t close;       // the group's closing item
  std::uint32_t opening;     // the group's opening item
  std::uint32_t descriptor;  // the group's first descriptor
  bool oneDescriptor;        // the last descriptor is the first one
};

struct CompiledFormat {
  std::vector<FormatItem> items;  // ends in an End or an Error item
  std::string text;               // the characters of all literals
  std::vector<GroupRoute> routes;

  std::string_view literal(const FormatItem& item) const {
    return std::string_view(text).substr(item.textOffset, item.textLength);
  }
};

// The editing parameters of a descriptor of `kind` with its numbers (w 0,
// d 1, e 2 when absent), in the default sign and scale modes.
EditParams descriptorParams(FormatKind kind, std::int32_t w, std::int32_t d, std::int32_t e);
// The same for the descriptor `item`, whose numbers `value(number, absent)`
// gives (`absent` for one not given).
template <typename Value>
EditParams descriptorParams(const FormatItem& item, Value&& value) {
  return descriptorParams(item.kind, static_cast<std::int32_t>(value(item.w, 0)),
                          static_cast<std::int32_t>(value(item.d, 1)),
                          static_cast<std::int32_t>(value(item.e, 2)));
}

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
