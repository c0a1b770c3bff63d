#include "recio/format/format_control.hpp"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <string_view>

#include "recio/format/format_state.hpp"
#include "recio/format/group_repeat.hpp"
#include "recio/format/silent_group.hpp"
#include "recio/output/number_edit.hpp"

namespace tgram::recio {

namespace {

// Conditions of item/descriptor mismatches.
constexpr int kCharacterMismatch = 6205;
constexpr int kRealMismatch = 6206;
constexpr int kIntegerMismatch = 6207;
constexpr int kLogicalMismatch = 6208;

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
    s_.endRecord();
  }

 private:
  [[noreturn]] void fail(int condition) {
    s_.sink.fail(condition);
    std::abort();  // a sink's fail never returns
  }

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
        case FormatKind::Tab:
        case FormatKind::TabLeft:
        case FormatKind::TabRight:
          // Characters already written stay: a position left of them means
          // right after them.
          s_.sink.setOwed(s_.positionEffect(item).apply(s_.sink.owed()));
          break;
        case FormatKind::GroupOpen:
          if (s_.depth == kMaxGroupDepth) fail(kGroupsTooDeep);
          if (item.target >= 0 && format_detail::settleSilentGroup(s_, item, itemWaiting)) break;
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
        case FormatKind::SignPlus:
        case FormatKind::Scale:
          format_detail::applyMode(item, s_.modes);
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
      editInteger(static_cast<std::int32_t>(value.bits), minDigits, s_.modes.signPlus, s_.field);
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
