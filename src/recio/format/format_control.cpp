#include "recio/format/format_control.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "recio/format/format_state.hpp"
#include "recio/format/group_repeat.hpp"
#include "recio/output/number_edit.hpp"

namespace tgram::recio {

namespace {

// Conditions of item/descriptor mismatches.
constexpr int kCharacterMismatch = 6205;
constexpr int kRealMismatch = 6206;
constexpr int kIntegerMismatch = 6207;
constexpr int kLogicalMismatch = 6208;

constexpr std::int64_t kMaxOwedBlanks = RecordSink::kMaxOwed;

// One value to edit; a complex item gives two, its parts.
struct Value {
  ItemKind kind;
  std::uint64_t bits = 0;
  std::string_view text;
};

int noDescriptorCondition(ItemKind kind) {
  if (kind == ItemKind::Character) return kCharacterMismatch;
  if (isLogicalKind(kind)) return kLogicalMismatch;
  if (isIntegerKind(kind)) return kIntegerMismatch;
  return kRealMismatch;
}

bool acceptsEveryItem(FormatKind d) {
  return d == FormatKind::Character || d == FormatKind::Hex ||
         d == FormatKind::Octal || d == FormatKind::Binary;
}

// The condition raised when `kind` meets descriptor `d`, or 0 when it fits.
int mismatchCondition(ItemKind kind, FormatKind d) {
  if (acceptsEveryItem(d)) return 0;
  if (kind == ItemKind::Character) return kCharacterMismatch;
  if (isLogicalKind(kind)) return d == FormatKind::Logical ? 0 : kLogicalMismatch;
  if (isIntegerKind(kind)) {
    return d == FormatKind::Integer || d == FormatKind::General ? 0 : kIntegerMismatch;
  }
  switch (d) {
    case FormatKind::Fixed:
    case FormatKind::Exponent:
    case FormatKind::Double:
    case FormatKind::General:
    case FormatKind::Engineering:
    case FormatKind::Scientific:
      return 0;
    default:
      return kRealMismatch;
  }
}

std::size_t valueSize(ItemKind kind) {
  switch (kind) {
    case ItemKind::Integer1:
    case ItemKind::Logical1:
      return 1;
    case ItemKind::Integer2:
    case ItemKind::Logical2:
      return 2;
    case ItemKind::Real8:
      return 8;
    default:
      return 4;
  }
}

// What a span of format items that produces nothing does to the blanks
// owed to the record: p -> clamp(p + shift, low, high). Moving right adds,
// moving left subtracts down to 0, tabbing to a column sets a value.
struct BlankEffect {
  std::int64_t shift = 0;
  std::int64_t low = 0;
  std::int64_t high = kMaxOwedBlanks;

  static BlankEffect add(std::int64_t n) { return {n, 0, kMaxOwedBlanks}; }
  static BlankEffect set(std::int64_t n) { return {0, n, n}; }

  std::int64_t apply(std::int64_t p) const { return std::clamp(p + shift, low, high); }

  // This effect followed by `next`.
  BlankEffect then(const BlankEffect& next) const {
    // Owed blanks lie in 0..kMaxOwedBlanks: a shift beyond that range in
    // either direction acts like one of that size.
    const std::int64_t sum = std::clamp(shift + next.shift, -2 * kMaxOwedBlanks, 2 * kMaxOwedBlanks);
    return {sum, std::clamp(low + next.shift, next.low, next.high),
            std::clamp(high + next.shift, next.low, next.high)};
  }

  // This effect `times` times over.
  BlankEffect repeated(std::int64_t times) const {
    BlankEffect result;
    BlankEffect power = *this;
    for (; times > 0; times >>= 1) {
      if (times & 1) result = result.then(power);
      power = power.then(power);
    }
    return result;
  }
};

class FormatControl {
 public:
  FormatControl(const CompiledFormat& format, const RuntimeCounts& counts, RecordSink& sink)
      : s_(format, counts, sink) {
    s_.sink.setOwed(0);
  }

  // Edits one value under the next data descriptor.
  void write(const Value& value) {
    if (!advance(true)) fail(noDescriptorCondition(value.kind));
    if (const int condition = mismatchCondition(value.kind, s_.descriptor->kind)) {
      fail(condition);
    }
    edit(value);
  }

  // The 4-byte reals from `item` on that a repeating group takes without
  // going through its items (group_repeat.hpp); returns the first item
  // left to write.
  const WriteItem* writeReal4Run(const WriteItem* item, const WriteItem* end) {
    return format_detail::writeReal4Run(s_, item, end);
  }

  // With no item left: runs what stands before the next stop and ends the
  // last record.
  void finish() {
    advance(false);
    s_.sink.setOwed(0);
    s_.sink.endRecord();
  }

 private:
  [[noreturn]] void fail(int condition) {
    s_.sink.fail(condition);
    std::abort();  // a sink's fail never returns
  }

  // Positions the next character at `target` (columns from 0). Characters
  // already written stay; a position left of them means right after them.
  void moveTo(std::int64_t target) { s_.sink.setOwed(target - s_.column); }

  // Runs format items up to the next data descriptor. With an item waiting
  // it becomes the current descriptor (true); false when advancing stops
  // without one.
  bool advance(bool itemWaiting) {
    if (s_.reuse > 1) {
      --s_.reuse;
      return itemWaiting;
    }
    s_.reuse = 0;
    if (itemWaiting && format_detail::repeatRoute(s_)) return true;
    return runItems(itemWaiting);
  }

  // Runs format items one by one up to the next data descriptor, as
  // advance does.
  bool runItems(bool itemWaiting) {
    const std::size_t itemCount = s_.format.items.size();
    for (;;) {
      if (s_.position >= itemCount) return stop();
      const FormatItem& item = s_.items[s_.position++];
      switch (item.kind) {
        case FormatKind::Literal:
          s_.put(s_.format.literal(item));
          break;
        case FormatKind::Skip:
          s_.sink.owe(s_.resolve(item.repeat, 1));
          break;
        case FormatKind::Tab:
          moveTo(std::max<std::int64_t>(s_.resolve(item.w, 1), 1) - 1);
          break;
        case FormatKind::TabLeft:
          moveTo(s_.column + s_.sink.owed() - std::max<std::int64_t>(s_.resolve(item.w, 0), 0));
          break;
        case FormatKind::TabRight:
          s_.sink.owe(s_.resolve(item.w, 0));
          break;
        case FormatKind::GroupOpen:
          if (s_.depth == kMaxGroupDepth) fail(kGroupsTooDeep);
          if (item.target >= 0 && settleSilentGroup(item, itemWaiting)) break;
          s_.groups[s_.depth++] =
              format_detail::Group{s_.position, s_.resolve(item.repeat, 0), s_.repetitionState()};
          break;
        case FormatKind::GroupClose: {
          if (s_.depth == 0) break;
          format_detail::Group& top = s_.groups[s_.depth - 1];
          // A repetition that changed nothing would be followed by more of
          // the same: the rest are skipped. One that took a descriptor or
          // ended a record changed something.
          if (top.count > 1 && (s_.progress != top.before.progress ||
                                s_.repetitionState() != top.before)) {
            s_.nextRepetition(top);
            s_.position = top.start;
          } else {
            --s_.depth;
          }
          break;
        }
        case FormatKind::NewRecord:
          for (std::int64_t n = s_.resolve(item.repeat, 1); n > 0; --n) s_.endRecord();
          break;
        case FormatKind::Colon:
          if (!itemWaiting) return stop();
          break;
        case FormatKind::SignDefault:
        case FormatKind::SignSuppress:
          s_.signPlus = false;
          break;
        case FormatKind::SignPlus:
          s_.signPlus = true;
          break;
        case FormatKind::Scale:
          s_.scale = item.w.value;
          break;
        case FormatKind::KeepRecord:
        case FormatKind::BlankNull:
        case FormatKind::BlankZero:
          break;
        case FormatKind::End:
          if (!itemWaiting || item.target < 0) return stop();
          s_.endRecord();
          s_.position = static_cast<std::size_t>(item.target);
          break;
        case FormatKind::Error:
          fail(item.target);
        default:  // a data descriptor
          if (!itemWaiting) return stop();
          s_.take(item);
          return true;
      }
    }
  }

  bool stop() {
    s_.sink.setOwed(0);
    return false;
  }

  // --- groups that produce nothing ----------------------------------------

  // Runs all repetitions of a group that produces nothing (its opening was
  // just taken) at once: their only effects are the blanks owed and the
  // sign and scale modes, which a first repetition settles. Counts of
  // billions cost no more than one. A ":" inside with no item waiting ends
  // advancing in the first repetition: such a group is left to the ordinary
  // run (false).
  bool settleSilentGroup(const FormatItem& opening, bool itemWaiting) {
    std::size_t i = s_.position;
    Modes modes{s_.signPlus, s_.scale};
    BlankEffect effect;
    if (!silentGroupEffect(opening, i, itemWaiting, modes, effect)) return false;
    s_.sink.setOwed(effect.apply(s_.sink.owed()));
    s_.signPlus = modes.signPlus;
    s_.scale = modes.scale;
    s_.position = i;
    return true;
  }

  struct Modes {
    bool signPlus;
    std::int32_t scale;
  };

  // The effect of all repetitions of the group opened by `opening`, whose
  // first item is at `i`; leaves `i` after the group's closing item.
  bool silentGroupEffect(const FormatItem& opening, std::size_t& i, bool itemWaiting,
                         Modes& modes, BlankEffect& effect) {
    const auto close = static_cast<std::size_t>(opening.target);
    BlankEffect once;
    while (i < close) {
      const FormatItem& item = s_.items[i++];
      switch (item.kind) {
        case FormatKind::Skip:
          once = once.then(BlankEffect::add(std::max<std::int64_t>(s_.resolve(item.repeat, 1), 0)));
          break;
        case FormatKind::TabRight:
          once = once.then(BlankEffect::add(std::max<std::int64_t>(s_.resolve(item.w, 0), 0)));
          break;
        case FormatKind::TabLeft:
          once = once.then(BlankEffect::add(-std::max<std::int64_t>(s_.resolve(item.w, 0), 0)));
          break;
        case FormatKind::Tab: {
          const std::int64_t target = std::max<std::int64_t>(s_.resolve(item.w, 1), 1) - 1;
          once = once.then(
              BlankEffect::set(std::clamp<std::int64_t>(target - s_.column, 0, kMaxOwedBlanks)));
          break;
        }
        case FormatKind::Colon:
          if (!itemWaiting) return false;
          break;
        case FormatKind::SignDefault:
        case FormatKind::SignSuppress:
          modes.signPlus = false;
          break;
        case FormatKind::SignPlus:
          modes.signPlus = true;
          break;
        case FormatKind::Scale:
          modes.scale = item.w.value;
          break;
        case FormatKind::GroupOpen: {
          BlankEffect inner;
          if (!silentGroupEffect(item, i, itemWaiting, modes, inner)) return false;
          once = once.then(inner);
          break;
        }
        default:  // empty literals, $, BN, BZ
          break;
      }
    }
    ++i;  // the group's closing item
    // A count of 1 or less runs the group once.
    effect = once.repeated(std::max<std::int64_t>(s_.resolve(opening.repeat, 0), 1));
    return true;
  }

  // --- editing ------------------------------------------------------------

  void edit(const Value& value) {
    const FormatItem& descriptor = *s_.descriptor;
    const EditParams& params = s_.params;
    switch (descriptor.kind) {
      case FormatKind::Character:
        editCharacters(value);
        return;
      case FormatKind::Hex:
        editBitPattern(value, 4);
        return;
      case FormatKind::Octal:
        editBitPattern(value, 3);
        return;
      case FormatKind::Binary:
        editBitPattern(value, 1);
        return;
      case FormatKind::Logical:
        s_.field.clear();
        s_.field.push(static_cast<std::uint32_t>(value.bits) != 0 ? 'T' : 'F');
        s_.placeField(params.w);
        return;
      default:
        break;
    }
    if (isIntegerKind(value.kind)) {
      // Under G an integer is edited as under I.
      const std::int32_t minDigits = descriptor.kind == FormatKind::Integer ? params.d : 1;
      editInteger(static_cast<std::int32_t>(value.bits), minDigits, s_.signPlus, s_.field);
    } else if (value.kind == ItemKind::Real8) {
      editReal(std::bit_cast<double>(value.bits), params, s_.field);
    } else {
      editReal(std::bit_cast<float>(static_cast<std::uint32_t>(value.bits)), params, s_.field);
    }
    s_.placeField(params.w);
  }

  // The value's bytes as they lie in storage, least significant first.
  static std::size_t storageBytes(const Value& value, unsigned char (&out)[8]) {
    const std::size_t size = std::min(valueSize(value.kind), sizeof out);
    for (std::size_t i = 0; i < size; ++i) {
      out[i] = static_cast<unsigned char>(value.bits >> (8 * i));
    }
    return size;
  }

  // A: characters as they are; other items as the bytes of their storage.
  // A shorter field takes the leftmost characters, a wider one is
  // right-justified.
  void editCharacters(const Value& value) {
    unsigned char bytes[8];
    std::string_view text = value.text;
    if (value.kind != ItemKind::Character) {
      const std::size_t n = storageBytes(value, bytes);
      text = std::string_view(reinterpret_cast<const char*>(bytes), n);
    }
    const std::int64_t width = s_.params.w;
    if (width > 0) {
      if (static_cast<std::int64_t>(text.size()) > width) {
        text = text.substr(0, static_cast<std::size_t>(width));
      } else {
        s_.sink.owe(width - static_cast<std::int64_t>(text.size()));
      }
    }
    s_.put(text);
  }

  // Z, O, B: the bit pattern of the value, most significant digit first;
  // characters give the bits of their bytes in order.
  void editBitPattern(const Value& value, int bitsPerDigit) {
    const std::int32_t minDigits = s_.descriptor->d.given ? s_.params.d : 1;
    if (value.kind == ItemKind::Character) {
      editBits(reinterpret_cast<const unsigned char*>(value.text.data()),
               value.text.size(), bitsPerDigit, minDigits, s_.field);
    } else {
      unsigned char little[8];
      unsigned char big[8];
      const std::size_t n = storageBytes(value, little);
      for (std::size_t i = 0; i < n; ++i) big[i] = little[n - 1 - i];
      editBits(big, n, bitsPerDigit, minDigits, s_.field);
    }
    s_.placeField(s_.params.w);
  }

  format_detail::ControlState s_;
};

}  // namespace

void runFormattedWrite(const CompiledFormat& format, const CapturedItems& items,
                       const RuntimeCounts& counts, RecordSink& sink) {
  FormatControl control(format, counts, sink);
  const WriteItem* next = items.items().data();
  const WriteItem* const end = next + items.items().size();
  while (next != end) {
    const WriteItem& item = *next++;
    if (isComplexKind(item.kind)) {
      const ItemKind part = item.kind == ItemKind::Complex8 ? ItemKind::Real4 : ItemKind::Real8;
      control.write(Value{part, item.bits, {}});
      control.write(Value{part, item.bits2, {}});
    } else if (item.kind == ItemKind::Character) {
      control.write(Value{item.kind, 0, items.text(item)});
    } else {
      control.write(Value{item.kind, item.bits, {}});
    }
    next = control.writeReal4Run(next, end);
  }
  control.finish();
}

}  // namespace tgram::recio
