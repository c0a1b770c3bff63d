// The message lines of the reports raised while reading list-directed
// input: the condition's own text, then where the input is wrong.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tgram::recio {

// A place in the input: its line (records counted from 1, each ended by an
// LF) and the column of its byte in that line (from 1; a tab or any other
// byte counts as one).
struct InputPlace {
  std::int64_t line = 1;
  std::int64_t column = 1;
};

// What a read statement reads, as its reports name it ("the counts
// pairCount and expLagCount", "experimental point 3 of 5 (a lag and 4
// values)"), and how many values it takes (0: not said), so that a report
// of an early end can say how many were still missing.
struct ReadDescription {
  std::string subject;
  std::int32_t valueCount = 0;
};

// How far a read statement has come, for the reports of the record layer
// beneath it.
struct ReadProgress {
  const ReadDescription* description = nullptr;
  std::int32_t valuesGiven = 0;  // elements that have received their value (or null)
};

// Bytes of a value's text that a report shows; a longer text is cut there
// and followed by "...".
inline constexpr std::size_t kShownTextMax = 40;

// A value's text as a report shows it, in double quotes: printable ASCII
// as it is, except `"` and `\`, which get a backslash before them; every
// other byte as \xHH. Nothing in the input can thus move the terminal or
// start a line of its own.
std::string quotedText(std::string_view text);

// The message of condition `number` raised for a value: for example
// «invalid real "0.5x" at line 4, column 17». `text` is the value's text as
// far as it was kept; `longerThan`, when not 0, is the length beyond which
// the value was refused.
std::string valueFaultMessage(int number, std::string_view text, std::int32_t longerThan,
                              InputPlace place);

// The message of condition `number` raised by the record layer (a failed
// read, the end of the file) while the statement reads: for example «end
// of file after line 6, reading experimental point 3 of 5 (a lag and 4
// values): 2 values missing». `line` is the line being read; at the end of
// the file, every line has been read and `line` is one past the last.
std::string recordFaultMessage(int number, std::int64_t line, const ReadProgress& progress);

}  // namespace tgram::recio
