// How a run ends: STOP, the run-time error report, and exit processing.
#pragma once

#include <functional>
#include <string_view>

#include "runtime/condition.hpp"
#include "runtime/os.hpp"

namespace tgram::runtime {

// Unwinds to the process entry, which runs exit processing and ends the
// process with `status`.
struct ProgramExit {
  int status;
};

// What exit processing needs from the unit layer.
class ExitParticipant {
 public:
  virtual ~ExitParticipant() = default;
  // Closes every connected unit with its default status, in slot order, and
  // then pays the console's owed line end. May raise; the unit whose close
  // raised is then closed, or is closed without a second raise by the next
  // call, so that calling again goes on with the units not yet closed.
  virtual void closeAllUnits() = 0;
  // Whether a console line end is owed on standard output.
  virtual bool consoleOutputPending() const = 0;
};

class Termination {
 public:
  explicit Termination(os::Handle output = os::standardOutput(),
                       os::Handle error = os::standardError())
      : stdout_(output), stderr_(error) {}

  void registerExitProcessing(ExitParticipant* participant) {
    participant_ = participant;
  }
  bool exitInProgress() const { return exitInProgress_; }

  // Runs `program` and ends the run the way it asks: STOP, exitProgram, or a
  // raised condition (reported here). Then runs exit processing and returns
  // the status the process ends with.
  int runProgram(const std::function<void()>& program);

  // STOP without a text: "Stop - Program terminated.", then exit status 0.
  [[noreturn]] void stopProgram();
  // STOP with a text: the text itself, then exit status 0.
  [[noreturn]] void stopProgram(std::string_view text);
  // Ends the run with `status` after exit processing.
  [[noreturn]] void exitProgram(int status);

  // Writes the report of `error` to standard error, each piece one write.
  void writeErrorReport(const RuntimeError& error) const;

  // Exit processing: closes the connected units, every one of them: a
  // condition raised by a close is reported and the closing goes on with the
  // next unit. Returns `status`, or 1 when a close was reported and `status`
  // was 0: a run whose output did not all reach its files has failed.
  int runExitProcessing(int status);

 private:
  [[noreturn]] void stopWith(std::string_view line);

  os::Handle stdout_;
  os::Handle stderr_;
  ExitParticipant* participant_ = nullptr;
  bool exitInProgress_ = false;
};

}  // namespace tgram::runtime
