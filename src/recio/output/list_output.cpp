#include "recio/output/list_output.hpp"

#include <bit>
#include <cstdint>
#include <string_view>

#include "recio/output/number_edit.hpp"

namespace tgram::recio {

namespace {

constexpr int kTooWide = 6602;

// Columns of a record after its first blank.
constexpr std::int64_t kRecordSpace = 79;

// Field widths when no separator is owed; a separator adds one column.
constexpr std::int32_t kIntegerWidth = 11;
constexpr std::int32_t kLogicalWidth = 1;
constexpr EditParams kReal4 = kListDirectedReal4;
constexpr EditParams kReal8 = kListDirectedReal8;
constexpr std::int32_t kReal4Width = kReal4.w;
constexpr std::int32_t kReal8Width = kReal8.w;

float asReal4(std::uint64_t bits) {
  return std::bit_cast<float>(static_cast<std::uint32_t>(bits));
}

class ListWriter {
 public:
  explicit ListWriter(RecordSink& sink) : sink_(sink) {
    sink_.setOwed(1);  // the blank that begins every record
  }

  void write(const CapturedItems& items, const WriteItem& item) {
    if (item.kind == ItemKind::Character) {
      writeCharacters(items.text(item));
      return;
    }
    const std::int32_t width = editValue(item);
    writeValue(width);
  }

  // A run of 4-byte reals from `item` on, after the first value of the
  // statement: each in its separator's column and kReal4Width more,
  // straight into the sink's write window while it has room, records
  // ending between them as in writeValue. Returns the first item not
  // written (of another kind, or one the window had no room for), which
  // write takes.
  const WriteItem* writeReal4Run(const WriteItem* item, const WriteItem* const end) {
    constexpr std::int64_t kSpan = kReal4Width + 1;
    if (!separatorOwed_) return item;
    std::int64_t spaceLeft = spaceLeft_;
    sink_.putFieldRun(1, kReal4Width, field_, [&] {
      if (item == end || item->kind != ItemKind::Real4) return RecordSink::RunStep::Stop;
      if (spaceLeft <= kSpan) {  // the next real begins the next record
        spaceLeft = kRecordSpace;
        return RecordSink::RunStep::EndRecord;
      }
      editReal(item->real4(), kReal4, field_);
      ++item;
      spaceLeft -= kSpan;
      return RecordSink::RunStep::Field;
    });
    spaceLeft_ = spaceLeft;
    return item;
  }

  void finish() { sink_.endRecord(); }

 private:
  // Edits a number or logical into `field_`; returns its field width.
  std::int32_t editValue(const WriteItem& item) {
    if (item.kind == ItemKind::Real4) {  // the usual item first
      editReal(item.real4(), kReal4, field_);
      return kReal4Width;
    }
    if (isIntegerKind(item.kind)) {
      editInteger(item.integer(), 1, false, field_);
      return kIntegerWidth;
    }
    if (isLogicalKind(item.kind)) {
      field_.clear();
      field_.push(item.integer() != 0 ? 'T' : 'F');
      return kLogicalWidth;
    }
    if (item.kind == ItemKind::Real8) {
      editReal(item.real8(), kReal8, field_);
      return kReal8Width;
    }
    // Complex: "(", the real part, ",", the imaginary part, ")".
    const bool single = item.kind == ItemKind::Complex8;
    const EditParams& params = single ? kReal4 : kReal8;
    FieldText part;
    field_.clear();
    const auto appendPart = [&](std::uint64_t bits) {
      if (single) {
        editReal(asReal4(bits), params, part);
      } else {
        editReal(std::bit_cast<double>(bits), params, part);
      }
      field_.append(part.view());
    };
    field_.push('(');
    appendPart(item.bits);
    field_.push(',');
    appendPart(item.bits2);
    field_.push(')');
    return 3 + 2 * params.w;
  }

  // Places the edited number right-justified in its field, on a new record
  // when the field does not fit in this one.
  void writeValue(std::int32_t width) {
    std::int64_t w = width;
    if (separatorOwed_) {
      ++w;
    } else {
      separatorOwed_ = true;
    }
    const std::int64_t length = field_.length();
    // A text wider than its field (only an 8-byte real rounded up to
    // 10^7 with a sign) widens the field rather than overlapping.
    if (length > w) w = length;
    if (w >= kRecordSpace) sink_.fail(kTooWide);
    if (spaceLeft_ <= w) {
      sink_.setOwed(0);
      sink_.endRecord();
      spaceLeft_ = kRecordSpace;
    }
    sink_.putField(field_, static_cast<std::int32_t>(w));
    spaceLeft_ -= w;
  }

  // Characters are written as they are, without separator; a text longer
  // than the space left fills the record and goes on in the next one.
  void writeCharacters(std::string_view text) {
    if (sink_.owed() != 1) sink_.setOwed(0);
    for (;;) {
      const auto length = static_cast<std::int64_t>(text.size());
      if (spaceLeft_ > length) {
        sink_.put(text);
        spaceLeft_ -= length;
        break;
      }
      const auto head = static_cast<std::size_t>(spaceLeft_);
      sink_.put(text.substr(0, head));
      text.remove_prefix(head);
      sink_.endRecord();
      spaceLeft_ = kRecordSpace;
      sink_.setOwed(1);
    }
    separatorOwed_ = false;
  }

  RecordSink& sink_;
  std::int64_t spaceLeft_ = kRecordSpace;
  bool separatorOwed_ = false;
  FieldText field_;
};

}  // namespace

void writeListDirected(const CapturedItems& items, RecordSink& sink) {
  ListWriter writer(sink);
  const WriteItem* item = items.items().data();
  const WriteItem* const end = item + items.items().size();
  while (item != end) {
    const WriteItem* const next = writer.writeReal4Run(item, end);
    if (next == end) break;
    writer.write(items, *next);
    item = next + 1;
  }
  writer.finish();
}

}  // namespace tgram::recio
