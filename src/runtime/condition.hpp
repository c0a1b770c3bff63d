// Run-time conditions: the numbered failures that end a run.
//
// A condition is raised by throwing a RuntimeError; it never returns to the
// raiser. The process entry catches it, writes the report and runs exit
// processing, so every layer below stays testable in-process.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tgram::runtime {

// The kind of statement on whose behalf a condition is raised; it chooses the
// label of the report's first line.
enum class StatementKind : int {
  Close = 1,
  Write = 2,
  Open = 6,
  Read = 7,
  Math = 15,
  None = 16,
};

// Longest file name a report shows between the parentheses of its label.
inline constexpr std::size_t kReportFileNameMax = 259;
// Longest message line of a report; a longer one is cut there.
inline constexpr std::size_t kMessageLineMax = 999;

class RuntimeError {
 public:
  RuntimeError(int number, StatementKind kind, std::string_view fileName,
               std::string message);

  int number() const { return number_; }
  StatementKind kind() const { return kind_; }
  // "M" for floating-point faults, "F" for everything else.
  char prefix() const { return kind_ == StatementKind::Math ? 'M' : 'F'; }
  const std::string& fileName() const { return fileName_; }
  const std::string& message() const { return message_; }

 private:
  int number_;
  StatementKind kind_;
  std::string fileName_;
  std::string message_;
};

// Raises condition `number` with the catalogue's message line. `fileName` is
// the name of the unit the statement works on (ignored for Math and None).
[[noreturn]] void raiseRuntimeError(int number, StatementKind kind,
                                    std::string_view fileName = {});

// Raises condition `number` with a message line of the raiser's own.
[[noreturn]] void raiseRuntimeError(int number, StatementKind kind,
                                    std::string_view fileName,
                                    std::string message);

}  // namespace tgram::runtime
