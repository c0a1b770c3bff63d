#include "recio/units/unit_table.hpp"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <utility>

#include "recio/units/unit_output.hpp"
#include "runtime/os.hpp"

namespace tgram::recio {

using runtime::StatementKind;
using runtime::raiseRuntimeError;
namespace os = runtime::os;

namespace {

constexpr std::int32_t kFreeSlot = INT32_MIN;

enum class Status { Old, New, Scratch, Replace, Unknown };
enum class Access { Sequential, Direct, Append };
enum class Form { Formatted, Unformatted, Binary };
enum class Position { AsIs, Rewind, Append };

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// A keyword's value as it is matched: upper-cased, trailing blanks dropped.
std::string keyword(std::string_view value) {
  while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
  std::string out(value);
  for (char& c : out) c = upper(c);
  return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return upper(x) == upper(y); });
}

// Matches an optional keyword against its accepted values; an unrecognised
// value raises `error` before the open itself begins.
template <typename T>
std::optional<T> matchKeyword(std::optional<std::string_view> value,
                              std::initializer_list<std::pair<std::string_view, T>> accepted,
                              int error) {
  if (!value) return std::nullopt;
  const std::string key = keyword(*value);
  for (const auto& [text, result] : accepted) {
    if (key == text) return result;
  }
  raiseRuntimeError(error, StatementKind::None);
}

// The condition for an open that the system refused with `error`.
int openFailureNumber(os::Error error) {
  switch (error) {
    case os::Error::NotFound: return 6416;
    case os::Error::Exists: return 6415;
    case os::Error::TooManyFiles: return 6417;
    case os::Error::BadName: return 6412;
    case os::Error::NoSpace: return 6422;
    case os::Error::NoMemory: return 6700;
    default: return 6414;  // access refused, or any other refusal
  }
}

RecordKind recordKindOf(Access access, Form form) {
  const bool direct = access == Access::Direct;
  switch (form) {
    case Form::Formatted:
      return direct ? RecordKind::DirectFormatted : RecordKind::SequentialFormatted;
    case Form::Binary:
      return direct ? RecordKind::DirectBinary : RecordKind::SequentialBinary;
    case Form::Unformatted: break;
  }
  return direct ? RecordKind::DirectUnformatted : RecordKind::SequentialUnformatted;
}

// A device that a file name can stand for.
struct DeviceName {
  std::string_view name;
  std::string_view opens;  // the device opened; empty for the standard streams
};

constexpr std::string_view kNullDevice = "NUL";

constexpr DeviceName kDevices[] = {
    {"CON", ""},       {"USER", ""},      {"ERR", ""},       {"NUL", kNullDevice},
    {"COM1", "COM1"},  {"AUX", "COM1"},   {"LINE", "COM1"},  {"PRN", "PRN"},
    {"COM2", "COM2"},  {"COM3", "COM3"},  {"COM4", "COM4"},  {"LPT1", "LPT1"},
    {"LPT2", "LPT2"},  {"LPT3", "LPT3"},  {"LPT4", "LPT4"},
};

// The device `name` stands for, if any: the name without its extension must
// be a device name, and a name with an extension beginning with E, L or U
// is always an ordinary file.
const DeviceName* deviceOf(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  const bool hasExtension = dot != std::string_view::npos;
  const std::string_view base = hasExtension ? name.substr(0, dot) : name;
  if (base.size() != 3 && base.size() != 4) return nullptr;
  if (hasExtension) {
    const char first = upper(name.front());
    if (first == 'E' || first == 'L' || first == 'U') return nullptr;
  }
  for (const DeviceName& device : kDevices) {
    if (equalsIgnoringCase(base, device.name)) return &device;
  }
  return nullptr;
}

std::unique_ptr<UnitRecord> consoleRecord(os::Handle handle, bool readsByLine) {
  auto record = std::make_unique<UnitRecord>();
  record->fileName = "CON";
  record->handle = handle;
  record->recordKind = RecordKind::Console;
  record->carriageControl = CarriageControl::FirstCharacter;
  record->isDevice = true;
  record->readsByLine = readsByLine;
  record->allocateBuffer(kDeviceBufferSize);
  return record;
}

// The message of an open refused because the named device does not exist.
constexpr const char* kNoSuchDevice = "no such device on this system";

// Until a new connection is in its slot, what was opened for it is undone
// when the open fails: its handle is closed and a scratch file deleted.
class PendingConnection {
 public:
  explicit PendingConnection(UnitRecord& record) : record_(&record) {}
  ~PendingConnection() {
    if (record_ == nullptr || !record_->ownsHandle || record_->handle == os::kNoHandle) return;
    os::close(record_->handle);
    record_->handle = os::kNoHandle;
    if (record_->scratch) os::remove(record_->fileName);
  }
  PendingConnection(const PendingConnection&) = delete;
  PendingConnection& operator=(const PendingConnection&) = delete;
  void kept() { record_ = nullptr; }

 private:
  UnitRecord* record_;
};

}  // namespace

ConsoleStreams ConsoleStreams::standard() {
  ConsoleStreams streams;
  streams.inputIsDevice = os::isCharacterDevice(streams.input);
  return streams;
}

// The specifiers of one open, decoded, with their defaults applied.
struct UnitTable::OpenRequest {
  bool fileGiven = false;
  std::string name;           // trimmed file name, extension dropped for devices
  const DeviceName* device = nullptr;
  Status status = Status::Unknown;
  Access access = Access::Sequential;
  Form form = Form::Formatted;
  Position position = Position::AsIs;
  std::optional<Action> action;
  std::int32_t blockSize = kFileBufferSize;
  std::optional<CarriageControl> carriageControl;

  // A formatted device takes console records; a binary one takes its bytes
  // as they are, with no carriage control.
  bool consoleDevice() const { return device != nullptr && form == Form::Formatted; }
  RecordKind recordKind() const {
    return consoleDevice() ? RecordKind::Console : recordKindOf(access, form);
  }
  CarriageControl carriage() const {
    if (carriageControl) return *carriageControl;
    return consoleDevice() ? CarriageControl::FirstCharacter : CarriageControl::List;
  }
};

UnitTable::UnitTable(ConsoleStreams streams, std::vector<std::string> arguments)
    : streams_(streams), arguments_(std::move(arguments)) {
  for (Slot& slot : slots_) slot.unit = kFreeSlot;
  inputConsole_ = consoleRecord(streams_.input, streams_.inputIsDevice);
  outputConsole_ = consoleRecord(streams_.output, false);
}

UnitTable::~UnitTable() {
  // Units still connected here were not closed by exit processing (a table
  // that goes without it): their descriptors are released without writing
  // anything more.
  for (Slot& slot : slots_) {
    if (slot.record && slot.record->ownsHandle && slot.record->handle != os::kNoHandle) {
      os::close(slot.record->handle);
    }
  }
}

UnitTable::Slot* UnitTable::slotOf(std::int32_t unit) {
  if (unit == kFreeSlot) return nullptr;
  for (Slot& slot : slots_) {
    if (slot.unit == unit && slot.record) return &slot;
  }
  return nullptr;
}

UnitRecord* UnitTable::find(std::int32_t unit) {
  Slot* slot = slotOf(unit);
  return slot ? slot->record.get() : nullptr;
}

bool UnitTable::consoleOutputPending() const { return outputConsole_->outputPending; }

// Every text specifier matched, defaults applied, and the specifiers checked
// against each other.
void UnitTable::decodeSpecifiers(const OpenSpec& specifiers, OpenRequest& r) {
  const auto status = matchKeyword<Status>(
      specifiers.status,
      {{"OLD", Status::Old}, {"NEW", Status::New}, {"SCRATCH", Status::Scratch},
       {"REPLACE", Status::Replace}, {"UNKNOWN", Status::Unknown}},
      6304);
  const auto access = matchKeyword<Access>(
      specifiers.access,
      {{"SEQUENTIAL", Access::Sequential}, {"DIRECT", Access::Direct},
       {"APPEND", Access::Append}},
      6306);
  const auto form = matchKeyword<Form>(
      specifiers.form,
      {{"FORMATTED", Form::Formatted}, {"UNFORMATTED", Form::Unformatted},
       {"BINARY", Form::Binary}},
      6308);
  // Specifiers that change nothing here are still checked.
  matchKeyword<bool>(specifiers.blank, {{"NULL", false}, {"ZERO", true}}, 6307);
  const auto position = matchKeyword<Position>(
      specifiers.position,
      {{"ASIS", Position::AsIs}, {"REWIND", Position::Rewind},
       {"APPEND", Position::Append}},
      6793);
  const std::initializer_list<std::pair<std::string_view, Action>> actions = {
      {"READ", Action::Read}, {"READWRITE", Action::ReadWrite}, {"WRITE", Action::Write}};
  const auto action = matchKeyword<Action>(specifiers.action, actions, 6794);
  const auto mode = matchKeyword<Action>(specifiers.mode, actions, 6305);
  const auto delimiter = matchKeyword<Delimiter>(
      specifiers.delimiter,
      {{"NONE", Delimiter::None}, {"APOSTROPHE", Delimiter::Apostrophe},
       {"QUOTE", Delimiter::Quote}},
      6796);
  const auto pad = matchKeyword<bool>(specifiers.pad, {{"YES", true}, {"NO", false}}, 6798);
  const auto carriage = matchKeyword<CarriageControl>(
      specifiers.carriageControl,
      {{"FORTRAN", CarriageControl::FirstCharacter}, {"LIST", CarriageControl::List}},
      6799);
  matchKeyword<Share>(
      specifiers.share,
      {{"DENYNONE", Share::DenyNone}, {"COMPAT", Share::Compat},
       {"DENYRD", Share::DenyRead}, {"DENYWR", Share::DenyWrite},
       {"DENYRW", Share::DenyReadWrite}},
      6309);

  r.fileGiven = specifiers.file.has_value();
  r.status = status.value_or(r.fileGiven ? Status::Unknown : Status::Scratch);
  r.position = position.value_or(Position::AsIs);
  r.access = r.position == Position::Append ? Access::Append
                                            : access.value_or(Access::Sequential);
  // Appending starts at the end of the file, whichever specifier asks for
  // it: starting at the beginning would cut the old contents off at the
  // first write.
  if (r.access == Access::Append) r.position = Position::Append;
  r.form = form.value_or(r.access == Access::Direct ? Form::Unformatted : Form::Formatted);
  r.action = action ? action : mode;
  r.carriageControl = carriage;

  if (r.status == Status::Scratch && r.fileGiven) raiseRuntimeError(6301, StatementKind::None);
  if (specifiers.recordLength && *specifiers.recordLength <= 0) raiseRuntimeError(6315, StatementKind::None);
  if (r.access == Access::Direct && !specifiers.recordLength) raiseRuntimeError(6311, StatementKind::None);
  if (r.form != Form::Formatted && delimiter) raiseRuntimeError(6795, StatementKind::None);
  if (r.form != Form::Formatted && pad) raiseRuntimeError(6797, StatementKind::None);

  if (specifiers.blockSize && *specifiers.blockSize > 0) {
    const std::int64_t rounded = (static_cast<std::int64_t>(*specifiers.blockSize) + 511) / 512 * 512;
    r.blockSize = static_cast<std::int32_t>(std::min<std::int64_t>(rounded, INT32_MAX / 2));
  }
}

int UnitTable::openUnit(std::int32_t unit, const OpenSpec& specifiers) {
  if (unit < kMinUnit || unit > kMaxUnit) return 6314;
  OpenRequest request;
  decodeSpecifiers(specifiers, request);

  // The file name: trimmed; a blank one comes from the command line or the
  // user; none at all keeps a connected unit's file or makes a scratch file.
  if (request.fileGiven) {
    request.name = std::string(trimBlanks(specifiers.file->substr(0, kFileNameMax)));
    if (request.name.empty()) request.name = nameFromUser(unit);
  } else if (UnitRecord* connected = find(unit)) {
    request.name = connected->fileName;
    request.fileGiven = true;
  } else if (request.status != Status::Old) {
    // No file is named: a new one is made, and it is a scratch file
    // whatever the status (OLD has no file to open and fails below).
    request.status = Status::Scratch;
  }
  if (request.fileGiven) {
    request.device = deviceOf(request.name);
    if (request.device != nullptr) {
      const std::size_t dot = request.name.rfind('.');
      if (dot != std::string::npos) request.name.resize(dot);
      const bool sequential = request.access == Access::Sequential;
      if (!sequential || request.form == Form::Unformatted) {
        raiseRuntimeError(6202, StatementKind::Open, request.name);
      }
      request.status = Status::Old;
    }
  }
  connect(unit, request);
  return 0;
}

namespace {

[[noreturn]] void failOpen(int number, const std::string& name) {
  raiseRuntimeError(number, StatementKind::Open, name);
}

}  // namespace

// The open refused by the system with `error`; a device that does not exist
// says so.
void UnitTable::failToOpen(const OpenRequest& r, os::Error error) {
  if (r.device != nullptr && error == os::Error::NotFound) {
    raiseRuntimeError(openFailureNumber(error), StatementKind::Open, r.name, kNoSuchDevice);
  }
  failOpen(openFailureNumber(error), r.name);
}

// Whether `record` is connected to what the open `r` names (`named`: the
// identity of the file it names).
bool UnitTable::sameFile(const UnitRecord& record, const OpenRequest& r, const os::FileId& named) {
  if (r.device != nullptr || record.isDevice) {
    return r.device != nullptr && record.isDevice &&
           equalsIgnoringCase(record.fileName, r.device->name);
  }
  if (record.fileName == r.name) return true;
  return os::sameFile(record.identity, named);
}

void UnitTable::connect(std::int32_t unit, OpenRequest& r) {
  const os::FileId named =
      r.fileGiven && r.device == nullptr ? os::identityOfName(r.name) : os::FileId{};
  // The unit's own connection: the same file keeps it with new settings;
  // another one is closed first.
  if (Slot* slot = slotOf(unit)) {
    UnitRecord& record = *slot->record;
    if (r.fileGiven && sameFile(record, r, named)) {
      if (record.recordKind != r.recordKind()) failOpen(6209, r.name);
      record.carriageControl = r.carriage();
      return;
    }
    closeSlot(*slot, std::nullopt);
  }
  // A file is connected to one unit at most (the null device to any).
  if (r.fileGiven && !(r.device != nullptr && r.device->opens == kNullDevice)) {
    for (const Slot& slot : slots_) {
      if (slot.record && sameFile(*slot.record, r, named)) failOpen(6413, r.name);
    }
  }

  auto record = std::make_unique<UnitRecord>();
  PendingConnection pending(*record);
  record->recordKind = r.recordKind();
  record->carriageControl = r.carriage();
  bool created = false;
  if (r.device != nullptr && r.device->opens.empty()) {
    takeStandardStream(*record, r);
  } else if (r.status == Status::Scratch) {
    created = openScratchFile(*record, r);
  } else {
    created = openNamed(*record, r);
  }

  if (record->isDevice) {
    record->readsByLine = os::isCharacterDevice(record->handle);
  } else {
    record->identity = os::identityOf(record->handle);
  }
  record->allocateBuffer(record->isDevice ? kDeviceBufferSize : r.blockSize);
  // A new file has nothing older to discard at its first write.
  record->outputPending = created;
  if (r.position == Position::Append && record->ownsHandle) {
    const os::Position end = os::seekToEnd(record->handle);
    if (end.offset > 0) record->filePosition = end.offset;
  }

  for (Slot& slot : slots_) {
    if (!slot.record) {
      slot.unit = unit;
      slot.record = std::move(record);
      pending.kept();
      return;
    }
  }
  failOpen(6418, r.name);
}

// The standard streams, as the device names CON, USER and ERR give them.
void UnitTable::takeStandardStream(UnitRecord& record, const OpenRequest& r) {
  record.fileName = r.name;
  record.handle = equalsIgnoringCase(r.device->name, "ERR") ? streams_.error : streams_.output;
  record.action = Action::Write;
  record.isDevice = true;
}

// A scratch file of a new name; true, since it is always new.
bool UnitTable::openScratchFile(UnitRecord& record, const OpenRequest& r) {
  os::Scratch scratch = os::createScratchFile("ZZXXXXXX");
  if (scratch.error != os::Error::None) failToOpen(r, scratch.error);
  record.handle = scratch.handle;
  record.ownsHandle = true;
  record.scratch = true;
  record.fileName = std::move(scratch.name);
  record.action = Action::ReadWrite;
  return true;
}

// A named file or device, created as the status says; true when the open
// made a new file.
bool UnitTable::openNamed(UnitRecord& record, const OpenRequest& r) {
  os::Creation creation = os::Creation::Existing;
  switch (r.status) {
    case Status::Old: break;
    case Status::New: creation = os::Creation::CreateNew; break;
    case Status::Replace: {
      const os::Error removed = os::remove(r.name);
      if (removed != os::Error::None && removed != os::Error::NotFound) {
        failOpen(openFailureNumber(removed), r.name);
      }
      creation = os::Creation::CreateNew;
      break;
    }
    case Status::Unknown:
      if (!os::exists(r.name)) creation = os::Creation::CreateIfMissing;
      break;
    case Status::Scratch: break;
  }
  // Read and write unless an action is given; otherwise fall back to
  // reading only, then to writing only.
  std::vector<std::pair<os::Access, Action>> attempts;
  if (r.action) {
    const os::Access mode = *r.action == Action::Read    ? os::Access::Read
                            : *r.action == Action::Write ? os::Access::Write
                                                         : os::Access::ReadWrite;
    attempts.emplace_back(mode, *r.action);
  } else {
    attempts = {{os::Access::ReadWrite, Action::ReadWrite},
                {os::Access::Read, Action::Read},
                {os::Access::Write, Action::Write}};
  }
  os::Opened opened;
  for (const auto& [mode, action] : attempts) {
    opened = r.device != nullptr ? os::openDevice(r.device->opens, mode)
                                 : os::openFile(r.name, mode, creation);
    if (opened.error == os::Error::None) {
      record.action = action;
      break;
    }
  }
  if (opened.error != os::Error::None) failToOpen(r, opened.error);
  record.handle = opened.handle;
  record.ownsHandle = true;
  record.fileName = r.name;
  record.isDevice = r.device != nullptr;
  return creation != os::Creation::Existing;
}

int UnitTable::closeUnit(std::int32_t unit, std::optional<std::string_view> status) {
  std::optional<bool> keep;
  if (status) {
    const std::string key = keyword(*status);
    if (key == "KEEP") {
      keep = true;
    } else if (key == "DELETE") {
      keep = false;
    } else {
      return 6304;
    }
  }
  if (Slot* slot = slotOf(unit)) closeSlot(*slot, keep);
  return 0;
}

void UnitTable::closeSlot(Slot& slot, std::optional<bool> keepGiven) {
  UnitRecord& u = *slot.record;
  const bool keep = keepGiven.value_or(!u.scratch);
  if (u.outputPending) {
    if (u.recordKind == RecordKind::Console) {
      os::writeAll(u.handle, "\r\n");
      u.lineClosed = true;
      u.outputPending = false;
    } else if (keep) {
      flushUnitBuffer(u, StatementKind::Close);
    }
  }
  // Some file systems report a failed write only when the file is closed;
  // a model file that was not stored whole must not pass for a good one.
  const bool wrote = u.outputPending && u.recordKind != RecordKind::Console;
  const os::Error closeError = (u.ownsHandle && u.handle != os::kNoHandle)
                                   ? os::close(u.handle)
                                   : os::Error::None;
  u.handle = os::kNoHandle;
  u.ownsHandle = false;
  if (closeError != os::Error::None && closeError != os::Error::Interrupted && wrote && keep) {
    raiseRuntimeError(writeFailureNumber(closeError), StatementKind::Close, u.fileName);
  }
  if (keep && u.scratch) raiseRuntimeError(6300, StatementKind::Close, u.fileName);
  const bool deleteRefused =
      !keep && !u.isDevice && os::remove(u.fileName) == os::Error::AccessDenied;
  // The handle is closed: whatever is reported now, the unit is free, so
  // that nothing is written to the closed handle later.
  const std::string name = deleteRefused ? u.fileName : std::string();
  slot.record.reset();
  slot.unit = kFreeSlot;
  if (deleteRefused) raiseRuntimeError(6404, StatementKind::Close, name);
}

void UnitTable::closeAllUnits() {
  for (Slot& slot : slots_) {
    if (slot.record) closeSlot(slot, std::nullopt);
  }
  UnitRecord& out = consoleOutput();
  if (out.outputPending && !out.lineClosed) os::writeAll(streams_.output, "\r\n");
}

std::string UnitTable::nameFromUser(std::int32_t unit) {
  while (nextArgument_ < arguments_.size()) {
    const std::string_view argument =
        trimBlanks(std::string_view(arguments_[nextArgument_++]).substr(0, kFileNameMax));
    if (!argument.empty()) return std::string(argument);
  }
  if (nameSource_ == nullptr) raiseRuntimeError(6501, StatementKind::Open, consoleInput().fileName);
  return nameSource_->askFileName(unit);
}

UnitRecord& UnitTable::connectImplicitly(std::int32_t unit, std::string_view status) {
  OpenSpec specifiers;
  specifiers.file = "";
  specifiers.status = status;
  openUnit(unit, specifiers);
  return *find(unit);
}

UnitRecord& UnitTable::unitFor(std::int32_t unit, bool forWrite) {
  UnitRecord& console = forWrite ? consoleOutput() : consoleInput();
  UnitRecord* record = nullptr;
  if (unit == kConsoleOutputUnit || unit == kConsoleInputUnit) {
    record = &console;
  } else if (unit < kMinUnit || unit > kMaxUnit) {
    raiseRuntimeError(6314, forWrite ? StatementKind::Write : StatementKind::Read);
  } else if (UnitRecord* connected = find(unit)) {
    record = connected;
  } else if (isPreconnected(unit)) {
    record = &console;
  } else {
    record = &connectImplicitly(unit, forWrite ? "UNKNOWN" : "OLD");
  }
  return *record;
}

}  // namespace tgram::recio
