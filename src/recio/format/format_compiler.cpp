#include "recio/format/format_compiler.hpp"

#include "recio/format/group_repeat.hpp"

#include <cstring>
#include <limits>

namespace tgram::recio {

bool isDataDescriptor(FormatKind kind) {
  return kind <= FormatKind::Remaining;
}

namespace {

// Condition numbers of format faults.
constexpr int kFaultEnFormat = 6971;
constexpr int kFaultEsFormat = 6972;
constexpr int kFaultNumberMissing = 6980;
constexpr int kFaultNoOpening = 6981;
constexpr int kFaultBadNumber = 6982;
constexpr int kFaultCountNotAllowed = 6983;
constexpr int kFaultCountRequired = 6984;
constexpr int kFaultPointMissing = 6987;
constexpr int kFaultEndOfFormat = 6988;
constexpr int kFaultBadCharacter = 6989;
constexpr int kFaultMinAboveWidth = 6990;
constexpr int kFaultNumberTooLarge = 6991;

constexpr int kEndOfText = -1;

// Thrown inside the compiler to stop at the first fault.
struct Fault {
  int number;
};

class FormatCompiler {
 public:
  explicit FormatCompiler(std::string_view source) : src_(source) {
    out_.items.reserve(16);
  }

  CompiledFormat run() {
    try {
      if (peek() != '(') throw Fault{kFaultNoOpening};
      ++pos_;
      while (!finished_) item();
    } catch (const Fault& fault) {
      FormatItem error;
      error.kind = FormatKind::Error;
      error.target = fault.number;
      out_.items.push_back(error);
    }
    return std::move(out_);
  }

 private:
  // --- characters ---------------------------------------------------------

  static bool isBlank(char c) { return c == ' ' || c == '\t'; }
  static int upper(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? u - 'a' + 'A' : u;
  }
  static bool isDigit(int c) { return c >= '0' && c <= '9'; }

  void skipBlanks() {
    while (pos_ < src_.size() && isBlank(src_[pos_])) ++pos_;
  }
  // The next character that is not a blank, upper-cased; not consumed.
  int peek() {
    skipBlanks();
    return pos_ < src_.size() ? upper(src_[pos_]) : kEndOfText;
  }
  // Takes the next character that is not a blank if it is `c`.
  bool accept(int c) {
    if (peek() != c) return false;
    ++pos_;
    return true;
  }

  // --- numbers ------------------------------------------------------------

  // A run of digits (blanks between them ignored), or "^" where `runtime`
  // allows it. Returns false when neither stands here.
  bool number(FormatNumber& out, bool runtime) {
    const int c = peek();
    if (c == '^') {
      if (!runtime) return false;
      ++pos_;
      out.given = true;
      out.ref = runtimeRefs_++;
      out.value = 0;
      return true;
    }
    if (!isDigit(c)) return false;
    std::int64_t value = 0;
    while (isDigit(peek())) {
      value = value * 10 + (src_[pos_++] - '0');
      if (value > std::numeric_limits<std::int32_t>::max()) {
        throw Fault{kFaultNumberTooLarge};
      }
    }
    out.given = true;
    out.ref = -1;
    out.value = static_cast<std::int32_t>(value);
    return true;
  }

  FormatNumber required(int fault) {
    FormatNumber n;
    if (!number(n, true)) throw Fault{fault};
    return n;
  }

  FormatNumber optional() {
    FormatNumber n;
    number(n, true);
    return n;
  }

  // --- items --------------------------------------------------------------

  static FormatItem make(FormatKind kind, FormatNumber repeat = {}) {
    FormatItem item;
    item.kind = kind;
    item.repeat = repeat;
    return item;
  }
  // Items are added only once they are complete: a fault inside one keeps
  // just the items before it.
  FormatItem& add(const FormatItem& item) {
    out_.items.push_back(item);
    return out_.items.back();
  }
  FormatItem& add(FormatKind kind, FormatNumber repeat = {}) {
    return add(make(kind, repeat));
  }

  void item() {
    const int c = peek();
    if (c == kEndOfText) throw Fault{kFaultEndOfFormat};
    if (c == '+' || c == '-') {
      signedScale(c == '-');
    } else {
      FormatNumber count;
      number(count, true);
      itemAfterCount(count);
    }
    // A group's opening is not an item: a "," right after it stands where
    // the group's first item should begin.
    if (out_.items.back().kind != FormatKind::GroupOpen) accept(',');
  }

  void noCount(const FormatNumber& count) {
    if (count.given) throw Fault{kFaultCountNotAllowed};
  }

  void itemAfterCount(const FormatNumber& count) {
    const int c = peek();
    if (c == kEndOfText) throw Fault{kFaultEndOfFormat};
    if (c == '\'' || c == '"') {
      noCount(count);
      literal(static_cast<char>(c));
      return;
    }
    ++pos_;
    switch (c) {
      case '(':
        openGroup(count);
        return;
      case ')':
        noCount(count);
        closeGroup();
        return;
      case 'X':
        add(FormatKind::Skip, count);
        return;
      case 'H':
        hollerith(count);
        return;
      case 'P':
        if (!count.given || count.isRuntime()) throw Fault{kFaultCountRequired};
        scale(count.value);
        return;
      case '/':
        add(FormatKind::NewRecord, count);
        return;
      case ':':
        noCount(count);
        add(FormatKind::Colon);
        return;
      case '$':
      case '\\':
        noCount(count);
        add(FormatKind::KeepRecord);
        return;
      case 'S':
        noCount(count);
        add(accept('S') ? FormatKind::SignSuppress
            : accept('P') ? FormatKind::SignPlus
                          : FormatKind::SignDefault);
        return;
      case 'T':
        noCount(count);
        tab();
        return;
      case 'Q':
        noCount(count);
        add(FormatKind::Remaining);
        return;
      case 'I':
        integer(count);
        return;
      case 'F':
        real(FormatKind::Fixed, count, false, kFaultNumberMissing);
        return;
      case 'D':
        real(FormatKind::Double, count, false, kFaultNumberMissing);
        return;
      case 'G':
        real(FormatKind::General, count, true, kFaultNumberMissing);
        return;
      case 'E':
        if (accept('N')) {
          real(FormatKind::Engineering, count, true, kFaultEnFormat);
        } else if (accept('S')) {
          real(FormatKind::Scientific, count, true, kFaultEsFormat);
        } else {
          real(FormatKind::Exponent, count, true, kFaultNumberMissing);
        }
        return;
      case 'L': {
        FormatItem item = make(FormatKind::Logical, count);
        item.w = required(kFaultNumberMissing);
        add(item);
        return;
      }
      case 'A': {
        FormatItem item = make(FormatKind::Character, count);
        item.w = optional();
        add(item);
        return;
      }
      case 'B':
        if (accept('N')) {
          noCount(count);
          add(FormatKind::BlankNull);
        } else if (accept('Z')) {
          noCount(count);
          add(FormatKind::BlankZero);
        } else {
          bits(FormatKind::Binary, count);
        }
        return;
      case 'Z':
        bits(FormatKind::Hex, count);
        return;
      case 'O':
        bits(FormatKind::Octal, count);
        return;
      default:
        // ",", N, R, and anything else that begins no item.
        throw Fault{kFaultBadCharacter};
    }
  }

  void openGroup(const FormatNumber& count) {
    if (depth_ == kMaxGroupDepth) throw Fault{kGroupsTooDeep};
    if (depth_ == 0) reversionPoint_ = static_cast<std::int32_t>(out_.items.size());
    openings_[depth_++] = out_.items.size();
    add(FormatKind::GroupOpen, count);
  }

  // Items that neither write a character, nor end a record, nor take an
  // item: repeating them can only move the position of the next character.
  // (Even an empty literal writes the blanks owed before it.)
  static bool producesNothing(const FormatItem& item) {
    switch (item.kind) {
      case FormatKind::Skip:
      case FormatKind::Tab:
      case FormatKind::TabLeft:
      case FormatKind::TabRight:
      case FormatKind::Colon:
      case FormatKind::SignDefault:
      case FormatKind::SignSuppress:
      case FormatKind::SignPlus:
      case FormatKind::Scale:
      case FormatKind::BlankNull:
      case FormatKind::BlankZero:
      case FormatKind::KeepRecord:
      case FormatKind::GroupOpen:
      case FormatKind::GroupClose:
        return true;
      default:
        return false;
    }
  }

  void closeGroup() {
    if (depth_ > 0) {
      // A group that produces nothing is marked with its closing item, so
      // that format control settles its repetitions at once instead of
      // running them count times.
      const std::size_t opening = openings_[--depth_];
      bool silent = true;
      for (std::size_t i = opening + 1; i < out_.items.size() && silent; ++i) {
        silent = producesNothing(out_.items[i]);
      }
      out_.items[opening].target = silent ? static_cast<std::int32_t>(out_.items.size()) : -1;
      add(FormatKind::GroupClose);
      return;
    }
    // The closing parenthesis of the format; anything after it is ignored.
    FormatItem& end = add(FormatKind::End);
    end.target = hasDataDescriptorFrom(reversionPoint_) ? reversionPoint_ : -1;
    finished_ = true;
  }

  // Reversion resumes only where a data descriptor follows before the end:
  // a span without one would start new records without ever using an item.
  bool hasDataDescriptorFrom(std::int32_t start) const {
    for (std::size_t i = static_cast<std::size_t>(start); i < out_.items.size(); ++i) {
      if (isDataDescriptor(out_.items[i].kind)) return true;
    }
    return false;
  }

  void addLiteral(std::string_view text) {
    FormatItem& item = add(FormatKind::Literal);
    item.textOffset = static_cast<std::uint32_t>(out_.text.size());
    item.textLength = static_cast<std::uint32_t>(text.size());
    out_.text.append(text);
  }

  // A quoted literal; a doubled delimiter stands for one.
  void literal(char delimiter) {
    ++pos_;
    std::string text;
    for (;;) {
      if (pos_ >= src_.size()) throw Fault{kFaultEndOfFormat};
      const char c = src_[pos_++];
      if (c == delimiter) {
        if (pos_ < src_.size() && src_[pos_] == delimiter) {
          ++pos_;
        } else {
          break;
        }
      }
      text.push_back(c);
    }
    addLiteral(text);
  }

  // nH: the n characters after the H, which must leave the format's
  // closing parenthesis after them.
  void hollerith(const FormatNumber& count) {
    if (!count.given || count.isRuntime()) throw Fault{kFaultCountRequired};
    const auto n = static_cast<std::size_t>(count.value);
    if (src_.size() < pos_ + 1 || n > src_.size() - 1 - pos_) {
      throw Fault{kFaultEndOfFormat};
    }
    addLiteral(src_.substr(pos_, n));
    pos_ += n;
  }

  void scale(std::int32_t k) {
    FormatItem item = make(FormatKind::Scale);
    item.w.given = true;
    item.w.value = k;
    add(item);
  }

  // +kP or -kP.
  void signedScale(bool negative) {
    ++pos_;
    FormatNumber k;
    if (!number(k, false)) throw Fault{kFaultNumberMissing};
    if (!accept('P')) throw Fault{kFaultBadNumber};
    scale(negative ? -k.value : k.value);
  }

  void tab() {
    const FormatKind kind = accept('L')   ? FormatKind::TabLeft
                            : accept('R') ? FormatKind::TabRight
                                          : FormatKind::Tab;
    FormatItem item = make(kind);
    item.w = required(kFaultNumberMissing);
    if (!item.w.isRuntime() && item.w.value == 0) throw Fault{kFaultBadNumber};
    add(item);
  }

  static void checkMinimum(const FormatItem& item) {
    if (item.w.given && item.d.given && !item.w.isRuntime() &&
        !item.d.isRuntime() && item.d.value > item.w.value) {
      throw Fault{kFaultMinAboveWidth};
    }
  }

  void integer(const FormatNumber& count) {
    FormatItem item = make(FormatKind::Integer, count);
    item.w = required(kFaultNumberMissing);
    if (accept('.')) item.d = required(kFaultNumberMissing);
    checkMinimum(item);
    add(item);
  }

  void bits(FormatKind kind, const FormatNumber& count) {
    FormatItem item = make(kind, count);
    item.w = optional();
    if (item.w.given && accept('.')) item.d = required(kFaultNumberMissing);
    checkMinimum(item);
    add(item);
  }

  // Fw.d, Dw.d, and with an optional exponent width Ew.d[Ee], Gw.d[Ee],
  // ENw.d[Ee], ESw.d[Ee]. `missing` is the fault of a missing number.
  void real(FormatKind kind, const FormatNumber& count, bool exponentWidth,
            int missing) {
    FormatItem item = make(kind, count);
    item.w = required(missing);
    if (!accept('.')) throw Fault{kFaultPointMissing};
    item.d = required(missing);
    if (exponentWidth && accept('E')) item.e = required(missing);
    add(item);
  }

  std::string_view src_;
  std::size_t pos_ = 0;
  CompiledFormat out_;
  bool finished_ = false;
  int depth_ = 0;
  std::size_t openings_[kMaxGroupDepth] = {};
  std::int32_t runtimeRefs_ = 0;
  std::int32_t reversionPoint_ = 0;
};

}  // namespace

EditParams descriptorParams(FormatKind kind, std::int32_t w, std::int32_t d, std::int32_t e) {
  EditParams params;
  params.w = w;
  params.d = d;
  params.e = e;
  switch (kind) {
    case FormatKind::Fixed:
      params.form = RealForm::Fixed;
      break;
    case FormatKind::Double:
      params.form = RealForm::Exponent;
      params.exponentLetter = 'D';
      break;
    case FormatKind::General:
      params.form = RealForm::General;
      break;
    case FormatKind::Engineering:
      params.form = RealForm::Engineering;
      break;
    case FormatKind::Scientific:
      params.form = RealForm::Scientific;
      break;
    default:  // E, and descriptors that edit no real
      params.form = RealForm::Exponent;
      break;
  }
  return withFastMark(params);
}

CompiledFormat compileFormat(const char* text, std::int32_t length) {
  const std::size_t n = length < 0 ? std::strlen(text) : static_cast<std::size_t>(length);
  CompiledFormat format = FormatCompiler(std::string_view(text, n)).run();
  // Descriptors whose numbers are written settle their parameters here.
  for (FormatItem& item : format.items) {
    if (!isDataDescriptor(item.kind) || item.w.isRuntime() || item.d.isRuntime() ||
        item.e.isRuntime()) {
      continue;
    }
    item.edit = descriptorParams(item, [](const FormatNumber& n, std::int32_t absent) {
      return n.given ? n.value : absent;
    });
    item.settled = true;
  }
  format_detail::findGroupRoutes(format);
  return format;
}

const CompiledFormat& FormatCache::get(const char* text, std::int32_t length) {
  const std::string_view key(text, length < 0 ? std::strlen(text) : static_cast<std::size_t>(length));
  for (const Entry& entry : entries_) {
    if (entry.text == key) return entry.format;
  }
  Entry fresh{std::string(key), compileFormat(key.data(), static_cast<std::int32_t>(key.size()))};
  if (entries_.size() < kEntries) {
    entries_.push_back(std::move(fresh));
    return entries_.back().format;
  }
  Entry& replaced = entries_[next_];
  next_ = (next_ + 1) % kEntries;
  replaced = std::move(fresh);
  return replaced.format;
}

}  // namespace tgram::recio
