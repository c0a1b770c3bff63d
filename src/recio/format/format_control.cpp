#include "recio/format/format_control.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "recio/output/number_edit.hpp"
#include "recio/output/real4_fast_edit.hpp"

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

// A data descriptor with its numbers settled when it was taken.
struct Descriptor {
  FormatKind kind = FormatKind::End;
  std::int32_t w = 0;
  std::int32_t d = 1;
  std::int32_t e = 2;
  bool dGiven = false;
};

class FormatControl {
 public:
  FormatControl(const CompiledFormat& format, const RuntimeCounts& counts,
                RecordSink& sink)
      : items_(format.items.data()), itemCount_(format.items.size()), format_(format),
        counts_(counts), sink_(sink) {
    sink_.setOwed(0);
  }

  // Edits one value under the next data descriptor.
  void write(const Value& value) {
    if (!advance(true)) fail(noDescriptorCondition(value.kind));
    if (value.kind == ItemKind::Real4 && fastReal4_) {
      // A 4-byte real under a descriptor of the fast editing (which is an F,
      // so it fits the item).
      editReal4(std::bit_cast<float>(static_cast<std::uint32_t>(value.bits)));
      place(field_, current_.w);
      return;
    }
    if (const int condition = mismatchCondition(value.kind, current_.kind)) {
      fail(condition);
    }
    edit(value);
  }

  // Edits the 4-byte reals from `item` on, one after another, while the
  // group around the current descriptor goes round the way last noted and
  // takes it again (the usual "(F7.4,X)" repeated): each repetition only
  // owes the way's blanks and puts the next real, and the group's count,
  // the progress, the column and the state noted at the start of a
  // repetition are brought up to date once for the run. Stops at an item
  // of another kind, at `end` or when the group's count runs out,
  // returning the first item not written; the caller goes on through
  // write.
  const WriteItem* writeReal4Run(const WriteItem* item, const WriteItem* end) {
    if (!canRepeatReal4Step()) return item;
    Group& top = groups_[depth_ - 1];
    // A repetition that begins with blanks owed goes the one-field way;
    // the blanks owed are none after it.
    if (sink_.owed() != 0 && item != end && item->kind == ItemKind::Real4 && top.count > 1) {
      writeReal4Again(*item++, top);
    }
    const std::int32_t width = current_.w;
    const std::int64_t way = std::min(step_.blanksBefore + step_.blanksAfter, kMaxOwedBlanks);
    // Repetitions the group has left beyond the current one (the count of
    // a group whose "^" was 0 or less is below 1).
    const std::int64_t rounds = std::max<std::int64_t>(top.count - 1, 0);
    const WriteItem* const first = item;
    const WriteItem* const last = item + std::min<std::int64_t>(end - item, rounds);
    for (; item != last && item->kind == ItemKind::Real4; ++item) {
      editReal4(item->real4());
      sink_.owe(way);
      sink_.putField(field_, width);
    }
    const std::int64_t written = item - first;
    if (written == 0) return item;
    // The columns of one repetition (the fast editing's width is above 0).
    const std::int64_t span = way + width;
    top.count -= written;
    progress_ += static_cast<std::uint64_t>(written);
    column_ += written * span;
    // As goRound notes it in the last repetition: after the blanks owed
    // before the group goes round, before its field is taken.
    top.before = State{column_ - span, std::min(step_.blanksBefore, kMaxOwedBlanks), progress_ - 1,
                       scale_, signPlus_};
    return item;
  }

  // With no item left: runs what stands before the next stop and ends the
  // last record.
  void finish() {
    advance(false);
    sink_.setOwed(0);
    sink_.endRecord();
  }

 private:
  // What a repetition of a group can change. Two repetitions that begin
  // in the same state do the same, since a group's items are run in order.
  struct State {
    std::int64_t column;
    std::int64_t pendingBlanks;
    std::uint64_t progress;
    std::int32_t scale;
    bool signPlus;

    bool operator==(const State&) const = default;
  };

  struct Group {
    std::size_t start;   // the item after the group's opening
    std::int64_t count;  // repetitions left
    State before;        // the state when the current repetition began
  };

  State state() const { return {column_, sink_.owed(), progress_, scale_, signPlus_}; }

  [[noreturn]] void fail(int condition) {
    sink_.fail(condition);
    std::abort();  // a sink's fail never returns
  }

  std::int64_t resolve(const FormatNumber& n, std::int64_t absent) const {
    if (!n.given) return absent;
    if (n.isRuntime()) return counts_[static_cast<std::size_t>(n.ref)];
    return n.value;
  }
  std::int32_t resolve32(const FormatNumber& n, std::int32_t absent) const {
    return static_cast<std::int32_t>(resolve(n, absent));
  }

  // --- putting characters -------------------------------------------------

  void owe(std::int64_t blanks) { sink_.owe(blanks); }

  void put(std::string_view text) {
    column_ += sink_.owed() + static_cast<std::int64_t>(text.size());
    sink_.put(text);
  }

  void place(const FieldText& text, std::int32_t width) {
    column_ += sink_.owed() + (width > 0 ? width : text.overflow() ? 1 : text.length());
    sink_.putField(text, width);
  }

  void endRecord() {
    sink_.setOwed(0);
    sink_.endRecord();
    column_ = 0;
    ++progress_;
  }

  // Positions the next character at `target` (columns from 0). Characters
  // already written stay; a position left of them means right after them.
  void moveTo(std::int64_t target) {
    sink_.setOwed(target - column_);
  }

  // --- advancing ----------------------------------------------------------

  // Runs format items up to the next data descriptor. With an item waiting
  // it becomes the current descriptor (true); false when advancing stops
  // without one.
  bool advance(bool itemWaiting) {
    if (reuse_ > 1) {
      --reuse_;
      return itemWaiting;
    }
    reuse_ = 0;
    if (itemWaiting && repeatStep()) return true;
    return runItems(itemWaiting);
  }

  // Runs format items one by one up to the next data descriptor, as
  // advance does, and notes the way it took.
  bool runItems(bool itemWaiting) {
    Step way{position_, depth_};
    for (;;) {
      if (position_ >= itemCount_) return stop();
      const FormatItem& item = items_[position_++];
      way.note(item.kind);
      switch (item.kind) {
        case FormatKind::Literal:
          put(format_.literal(item));
          break;
        case FormatKind::Skip: {
          const std::int64_t blanks = resolve(item.repeat, 1);
          owe(blanks);
          way.owe(blanks);
          break;
        }
        case FormatKind::Tab:
          moveTo(std::max<std::int64_t>(resolve(item.w, 1), 1) - 1);
          break;
        case FormatKind::TabLeft:
          moveTo(column_ + sink_.owed() - std::max<std::int64_t>(resolve(item.w, 0), 0));
          break;
        case FormatKind::TabRight: {
          const std::int64_t blanks = resolve(item.w, 0);
          owe(blanks);
          way.owe(blanks);
          break;
        }
        case FormatKind::GroupOpen:
          if (depth_ == kMaxGroupDepth) fail(kGroupsTooDeep);
          if (item.target >= 0 && settleSilentGroup(item, itemWaiting)) break;
          groups_[depth_++] = Group{position_, resolve(item.repeat, 0), state()};
          break;
        case FormatKind::GroupClose: {
          if (depth_ == 0) break;
          Group& top = groups_[depth_ - 1];
          // A repetition that changed nothing would be followed by more of
          // the same: the rest are skipped. One that took a descriptor or
          // ended a record changed something.
          if (--top.count > 0 && (progress_ != top.before.progress || state() != top.before)) {
            top.before = state();
            position_ = top.start;
            ++way.repetitions;
          } else {
            --depth_;
            way.plain = false;
          }
          break;
        }
        case FormatKind::NewRecord:
          for (std::int64_t n = resolve(item.repeat, 1); n > 0; --n) endRecord();
          break;
        case FormatKind::Colon:
          if (!itemWaiting) return stop();
          break;
        case FormatKind::SignDefault:
        case FormatKind::SignSuppress:
          signPlus_ = false;
          break;
        case FormatKind::SignPlus:
          signPlus_ = true;
          break;
        case FormatKind::Scale:
          scale_ = item.w.value;
          break;
        case FormatKind::KeepRecord:
        case FormatKind::BlankNull:
        case FormatKind::BlankZero:
          break;
        case FormatKind::End:
          if (!itemWaiting || item.target < 0) return stop();
          endRecord();
          position_ = static_cast<std::size_t>(item.target);
          break;
        case FormatKind::Error:
          fail(item.target);
        default:  // a data descriptor
          if (!itemWaiting) return stop();
          take(item);
          if (way.plain && way.repetitions == 1 && taken_ == &item) {
            way.descriptor = position_ - 1;
            step_ = way;
          }
          return true;
      }
    }
  }

  // --- the usual way between two descriptors ------------------------------

  // A way from one descriptor to the next that owes blanks by fixed counts
  // (X, TR; the counts of a "^" stay fixed through a statement), goes round
  // the innermost group once, and takes a descriptor whose numbers are
  // settled. From the same place, with the group going round again, it does
  // the same again: repeatStep runs it without going through its items.
  struct Step {
    std::size_t from = kNoStep;  // the position it began at
    std::size_t depth = 0;       // groups open there
    std::int64_t blanksBefore = 0;  // owed before the group goes round
    std::int64_t blanksAfter = 0;   // owed after it, before the descriptor
    std::size_t descriptor = 0;     // the position of the descriptor taken
    int repetitions = 0;            // times a group went round
    bool plain = true;              // nothing else happened

    void note(FormatKind kind) {
      if (kind != FormatKind::Skip && kind != FormatKind::TabRight &&
          kind != FormatKind::GroupClose && !isDataDescriptor(kind)) {
        plain = false;
      }
    }
    void owe(std::int64_t blanks) {
      (repetitions == 0 ? blanksBefore : blanksAfter) += std::max<std::int64_t>(blanks, 0);
    }
  };
  static constexpr std::size_t kNoStep = static_cast<std::size_t>(-1);

  // Runs the way last noted when format control stands where it began and
  // its group goes round again (a descriptor was taken since the group last
  // began, so the repetition changed something).
  bool repeatStep() {
    if (position_ != step_.from || depth_ != step_.depth || depth_ == 0) return false;
    Group& top = groups_[depth_ - 1];
    if (top.count <= 1 || progress_ == top.before.progress) return false;
    goRound(top);
    position_ = step_.descriptor + 1;
    take(items_[step_.descriptor]);
    return true;
  }

  // Owes the blanks of the way last noted, with its group `top` going round
  // once more on the way.
  void goRound(Group& top) {
    owe(step_.blanksBefore);
    --top.count;
    top.before = state();
    owe(step_.blanksAfter);
  }

  // Whether the next write would take the way last noted back to the
  // descriptor just taken, whose numbers are settled and which has the fast
  // editing of 4-byte reals, with nothing but that to do (see
  // writeReal4Run). Standing where the way began right after taking its
  // descriptor means the way leads from that descriptor to itself.
  bool canRepeatReal4Step() const {
    if (!fastReal4_ || position_ != step_.from || depth_ != step_.depth || depth_ == 0) {
      return false;
    }
    const FormatItem& descriptor = items_[step_.descriptor];
    return taken_ == &descriptor && resolve(descriptor.repeat, 0) <= 1 &&
           progress_ != groups_[depth_ - 1].before.progress;
  }

  // One repetition of writeReal4Run: the group `top` goes round and the
  // current descriptor edits `item`.
  void writeReal4Again(const WriteItem& item, Group& top) {
    goRound(top);
    ++progress_;  // all that taking the same descriptor again does
    editReal4(item.real4());
    place(field_, current_.w);
  }

  bool stop() {
    sink_.setOwed(0);
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
    std::size_t i = position_;
    Modes modes{signPlus_, scale_};
    BlankEffect effect;
    if (!silentGroupEffect(opening, i, itemWaiting, modes, effect)) return false;
    sink_.setOwed(effect.apply(sink_.owed()));
    signPlus_ = modes.signPlus;
    scale_ = modes.scale;
    position_ = i;
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
      const FormatItem& item = items_[i++];
      switch (item.kind) {
        case FormatKind::Skip:
          once = once.then(BlankEffect::add(std::max<std::int64_t>(resolve(item.repeat, 1), 0)));
          break;
        case FormatKind::TabRight:
          once = once.then(BlankEffect::add(std::max<std::int64_t>(resolve(item.w, 0), 0)));
          break;
        case FormatKind::TabLeft:
          once = once.then(BlankEffect::add(-std::max<std::int64_t>(resolve(item.w, 0), 0)));
          break;
        case FormatKind::Tab: {
          const std::int64_t target = std::max<std::int64_t>(resolve(item.w, 1), 1) - 1;
          once = once.then(BlankEffect::set(std::clamp<std::int64_t>(target - column_, 0, kMaxOwedBlanks)));
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
    effect = once.repeated(std::max<std::int64_t>(resolve(opening.repeat, 0), 1));
    return true;
  }

  // Settles the descriptor's numbers. A descriptor taken again (each
  // repetition of a group takes it anew) keeps what it settled last time
  // unless a number of it comes from a "^".
  void take(const FormatItem& item) {
    reuse_ = resolve(item.repeat, 0);
    ++progress_;
    if (&item == taken_ && realParams_.scale == scale_ && realParams_.signPlus == signPlus_) {
      return;
    }
    // Numbers from a "^" are settled anew each time.
    const bool fixedNumbers = !item.w.isRuntime() && !item.d.isRuntime() && !item.e.isRuntime();
    taken_ = fixedNumbers ? &item : nullptr;
    current_.kind = item.kind;
    current_.w = resolve32(item.w, 0);
    current_.d = resolve32(item.d, 1);
    current_.e = resolve32(item.e, 2);
    current_.dGiven = item.d.given;
    settleRealParams();
  }

  // The editing parameters of a real under the current descriptor.
  void settleRealParams() {
    EditParams& params = realParams_;
    params = EditParams{};
    params.w = current_.w;
    params.d = current_.d;
    params.e = current_.e;
    params.scale = scale_;
    params.signPlus = signPlus_;
    switch (current_.kind) {
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
      default:
        params.form = RealForm::Exponent;
        break;
    }
    fastReal4_ = hasReal4FastForm(params);
  }

  // --- editing ------------------------------------------------------------

  void edit(const Value& value) {
    switch (current_.kind) {
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
        field_.clear();
        field_.push(static_cast<std::uint32_t>(value.bits) != 0 ? 'T' : 'F');
        place(field_, current_.w);
        return;
      default:
        break;
    }
    if (isIntegerKind(value.kind)) {
      // Under G an integer is edited as under I.
      const std::int32_t minDigits = current_.kind == FormatKind::Integer ? current_.d : 1;
      editInteger(static_cast<std::int32_t>(value.bits), minDigits, signPlus_, field_);
      place(field_, current_.w);
      return;
    }
    editRealValue(value);
  }

  void editRealValue(const Value& value) {
    if (value.kind == ItemKind::Real8) {
      editReal(std::bit_cast<double>(value.bits), realParams_, field_);
    } else {
      const float real = std::bit_cast<float>(static_cast<std::uint32_t>(value.bits));
      if (fastReal4_) {
        editReal4(real);
      } else {
        editReal(real, realParams_, field_);
      }
    }
    place(field_, current_.w);
  }

  // A 4-byte real under a descriptor of the fast editing, into field_.
  void editReal4(float real) {
    if (!editReal4Fast(real, realParams_, field_)) editReal(real, realParams_, field_);
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
    const std::int64_t width = current_.w;
    if (width > 0) {
      if (static_cast<std::int64_t>(text.size()) > width) {
        text = text.substr(0, static_cast<std::size_t>(width));
      } else {
        owe(width - static_cast<std::int64_t>(text.size()));
      }
    }
    put(text);
  }

  // Z, O, B: the bit pattern of the value, most significant digit first;
  // characters give the bits of their bytes in order.
  void editBitPattern(const Value& value, int bitsPerDigit) {
    const std::int32_t minDigits = current_.dGiven ? current_.d : 1;
    if (value.kind == ItemKind::Character) {
      editBits(reinterpret_cast<const unsigned char*>(value.text.data()),
               value.text.size(), bitsPerDigit, minDigits, field_);
    } else {
      unsigned char little[8];
      unsigned char big[8];
      const std::size_t n = storageBytes(value, little);
      for (std::size_t i = 0; i < n; ++i) big[i] = little[n - 1 - i];
      editBits(big, n, bitsPerDigit, minDigits, field_);
    }
    place(field_, current_.w);
  }

  const FormatItem* items_;
  std::size_t itemCount_;
  const CompiledFormat& format_;
  const RuntimeCounts& counts_;
  RecordSink& sink_;

  std::size_t position_ = 0;
  std::array<Group, kMaxGroupDepth> groups_{};
  std::size_t depth_ = 0;
  Descriptor current_;
  const FormatItem* taken_ = nullptr;  // the item current_ was settled from, when it
                                       // has no number from a "^"
  EditParams realParams_;
  bool fastReal4_ = false;
  Step step_;
  std::int64_t reuse_ = 0;
  std::int32_t scale_ = 0;
  bool signPlus_ = false;
  std::int64_t column_ = 0;     // characters put into the current record
  std::uint64_t progress_ = 0;  // records ended and descriptors taken
  FieldText field_;
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
