// The state of one connection between a unit number and a file or device.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/os.hpp"

namespace tgram::recio {

// How records are stored, derived from access and form at open time.
enum class RecordKind : int {
  Internal = 0,
  Console = 1,  // console or device, formatted sequential
  DirectFormatted = 2,
  SequentialFormatted = 3,  // ordinary text file: CR LF after each record
  DirectBinary = 4,
  SequentialBinary = 5,
  DirectUnformatted = 6,
  SequentialUnformatted = 7,
};

enum class Action : int { Read = 1, ReadWrite = 2, Write = 3 };
enum class CarriageControl : int { FirstCharacter = 0, List = 1 };
enum class Share : int { DenyNone = 0, Compat = 1, DenyRead = 2, DenyWrite = 3, DenyReadWrite = 4 };
enum class Delimiter : int { None = 0, Apostrophe = 1, Quote = 2 };

inline constexpr std::int32_t kFileBufferSize = 1024;
inline constexpr std::int32_t kDeviceBufferSize = 132;

struct UnitRecord {
  std::string fileName;   // as opened, trimmed; "CON" for the console
  runtime::os::Handle handle = runtime::os::kNoHandle;  // the standard streams for the console
  bool ownsHandle = false;  // the handle is closed when the unit is closed
  RecordKind recordKind = RecordKind::SequentialFormatted;

  // The record buffer: bufferSize bytes, then kSpillRoom spare bytes: reading
  // places a missing final line feed behind a short block there, and a
  // write statement's fields may run past the buffer's end into them
  // before the bytes past the end move to the next block. In front of it
  // lie kLineEndRoom bytes, where the console puts the line end owed
  // before a record, so that the line end and the record go out in one
  // write without copying the record.
  static constexpr std::int32_t kLineEndRoom = 8;
  static constexpr std::int32_t kSpillRoom = 32;
  char* buffer = nullptr;
  std::int32_t bufferSize = kFileBufferSize;
  std::int32_t position = 0;    // index of the next character to transfer
  std::int32_t lastIndex = -1;  // last valid character; bufferSize-1 on output
  std::int64_t filePosition = 0;  // file offset just past the buffer's data

  Action action = Action::ReadWrite;
  CarriageControl carriageControl = CarriageControl::List;
  bool scratch = false;
  bool isDevice = false;        // connected to a named device, not a file
  // Reads come from a character device (a terminal): each read returns
  // what is there, a line at a time, so a short read ends a record instead
  // of the file.
  bool readsByLine = false;
  runtime::os::FileId identity;  // of a file, for "same file" tests

  bool outputPending = false;  // last transfer was output; console: line end owed
  bool lineClosed = false;     // console: a close has paid the owed line end
  bool midRecord = false;      // part of the current record is already out
  bool dirty = false;          // the buffer holds output not yet written

  // Reading: the end of the file. `dataEndsWithLf` tells whether the last
  // byte read from the file was a line feed (true before anything is read,
  // so an empty file owes nothing); `endLfSupplied` that the missing final
  // line feed has been given.
  bool dataEndsWithLf = true;
  bool endLfSupplied = false;

  // Reading: where the bytes lie, for reports that say where the input is
  // wrong. `bufferStart` is the file offset of buffer[0]; `line` is the
  // number (from 1) of the record being read, `lineStart` the file offset
  // of its first byte, and `previousLineStart` that of the line before.
  std::int64_t bufferStart = 0;
  std::int64_t line = 1;
  std::int64_t lineStart = 0;
  std::int64_t previousLineStart = 0;

  void allocateBuffer(std::int32_t size) {
    bufferSize = size;
    bufferStorage_ = std::make_unique<char[]>(static_cast<std::size_t>(kLineEndRoom + size + kSpillRoom));
    buffer = bufferStorage_.get() + kLineEndRoom;
    position = 0;
    lastIndex = -1;
  }

 private:
  std::unique_ptr<char[]> bufferStorage_;
};

}  // namespace tgram::recio
