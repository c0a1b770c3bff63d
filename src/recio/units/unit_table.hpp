// The unit table: connections of unit numbers to files and the console.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recio/units/unit_record.hpp"
#include "runtime/condition.hpp"
#include "runtime/os.hpp"
#include "runtime/termination.hpp"

namespace tgram::recio {

// Unit numbers a program may open lie in kMinUnit..kMaxUnit; two values
// outside name the console in a statement ("*").
inline constexpr std::int32_t kMinUnit = -32767;
inline constexpr std::int32_t kMaxUnit = 32767;
inline constexpr std::int32_t kConsoleInputUnit = -33000;
inline constexpr std::int32_t kConsoleOutputUnit = -34000;
inline constexpr int kUnitSlots = 61;

// The specifiers of an open. Every one is optional; a text specifier is
// matched by its value upper-cased, trailing blanks ignored.
struct OpenSpec {
  std::optional<std::string_view> file;
  std::optional<std::string_view> status;
  std::optional<std::string_view> access;
  std::optional<std::string_view> form;
  std::optional<std::int32_t> recordLength;
  std::optional<std::string_view> blank;
  std::optional<std::string_view> position;
  std::optional<std::string_view> action;
  std::optional<std::string_view> mode;
  std::optional<std::string_view> delimiter;
  std::optional<std::string_view> pad;
  std::optional<std::int32_t> blockSize;
  std::optional<std::string_view> carriageControl;
  std::optional<std::string_view> share;
};

// The process's standard streams, as the console records use them.
struct ConsoleStreams {
  runtime::os::Handle input = runtime::os::standardInput();
  runtime::os::Handle output = runtime::os::standardOutput();
  runtime::os::Handle error = runtime::os::standardError();
  bool inputIsDevice = false;   // standard input is a character device

  // The process's own streams, with their kinds looked up.
  static ConsoleStreams standard();
};

// File names are cut after this many characters.
inline constexpr std::size_t kFileNameMax = 259;

// `text` without the blanks around it, as file names are taken.
inline std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// Where an open with a blank file name gets its name when no command-line
// argument is left: the answer to a prompt on the console, given by the
// console input (input/file_name_prompt.hpp), which the statement
// interface installs.
class FileNameSource {
 public:
  virtual ~FileNameSource() = default;
  // The name for `unit`: not blank, trimmed, at most kFileNameMax
  // characters. Raises when no name can come.
  virtual std::string askFileName(std::int32_t unit) = 0;
};

class UnitTable final : public runtime::ExitParticipant {
 public:
  // `arguments` are the command-line arguments (without the program name);
  // they name units opened with a blank file name.
  explicit UnitTable(ConsoleStreams streams = ConsoleStreams::standard(),
                     std::vector<std::string> arguments = {});
  ~UnitTable() override;
  UnitTable(const UnitTable&) = delete;
  UnitTable& operator=(const UnitTable&) = delete;

  // Connects `unit`. Returns 0, or 6314 (doing nothing) for a unit number
  // outside the range a program may open. Every other failure raises.
  int openUnit(std::int32_t unit, const OpenSpec& specifiers);

  // Disconnects `unit` with status "KEEP" or "DELETE" (absent: "DELETE" for a
  // scratch unit, else "KEEP"). Returns 0, or 6304 (closing nothing) for an
  // unrecognised status. Closing a unit that is not connected does nothing.
  int closeUnit(std::int32_t unit,
                std::optional<std::string_view> status = std::nullopt);

  // Exit processing: closes slots 1..61 in order with their default status,
  // then pays the console's owed line end.
  void closeAllUnits() override;
  bool consoleOutputPending() const override;

  // The unit a write (or read) statement on `unit` works on, connecting it
  // when needed. Raises 6314 for a unit number out of range.
  UnitRecord& unitForWrite(std::int32_t unit) { return unitFor(unit, true); }
  UnitRecord& unitForRead(std::int32_t unit) { return unitFor(unit, false); }

  // Names for opens with a blank file name once the arguments are used up
  // (none: such an open fails with 6501, as at the end of the console
  // input). The table keeps the source.
  void setFileNameSource(std::unique_ptr<FileNameSource> source) { nameSource_ = std::move(source); }

  // The connected unit in the slots, or null.
  UnitRecord* find(std::int32_t unit);
  UnitRecord& consoleOutput() { return *outputConsole_; }
  UnitRecord& consoleInput() { return *inputConsole_; }

 private:
  struct Slot {
    std::int32_t unit;
    std::unique_ptr<UnitRecord> record;
  };

  struct OpenRequest;  // the specifiers of one open, decoded
  static void decodeSpecifiers(const OpenSpec& specifiers, OpenRequest& request);

  static bool isPreconnected(std::int32_t unit) {
    return unit == 0 || unit == 5 || unit == 6;
  }
  Slot* slotOf(std::int32_t unit);
  UnitRecord& unitFor(std::int32_t unit, bool forWrite);
  UnitRecord& connectImplicitly(std::int32_t unit, std::string_view status);
  std::string nameFromUser(std::int32_t unit);
  void closeSlot(Slot& slot, std::optional<bool> keep);
  // Connects `unit` as `request` says; the handle comes from one of the
  // three below.
  void connect(std::int32_t unit, OpenRequest& request);
  void takeStandardStream(UnitRecord& record, const OpenRequest& request);
  static bool openScratchFile(UnitRecord& record, const OpenRequest& request);
  static bool openNamed(UnitRecord& record, const OpenRequest& request);
  [[noreturn]] static void failToOpen(const OpenRequest& request, runtime::os::Error error);
  static bool sameFile(const UnitRecord& record, const OpenRequest& request,
                       const runtime::os::FileId& named);

  ConsoleStreams streams_;
  std::vector<std::string> arguments_;
  std::size_t nextArgument_ = 0;
  std::unique_ptr<FileNameSource> nameSource_;
  std::array<Slot, kUnitSlots> slots_;
  // The console's two directions keep their records apart, so that a write
  // statement never takes up the rest of an input record and a read never
  // finds output in the buffer.
  std::unique_ptr<UnitRecord> inputConsole_;
  std::unique_ptr<UnitRecord> outputConsole_;
};

}  // namespace tgram::recio
