#include "runtime/termination.hpp"

#include <cstdio>
#include <new>
#include <string>

#include "runtime/messages.hpp"
#include "runtime/os.hpp"

namespace tgram::runtime {

namespace {

using os::writeAll;

constexpr std::string_view kLineEnd = "\r\n";

// More than there are units to close.
constexpr int kMaxExitReports = 1000;

std::string_view labelOf(StatementKind kind) {
  switch (kind) {
    case StatementKind::Close: return ": CLOSE(";
    case StatementKind::Write: return ": WRITE(";
    case StatementKind::Open: return ": OPEN(";
    case StatementKind::Read: return ": READ(";
    case StatementKind::Math: return ": MATH\r\n- ";
    case StatementKind::None: break;
  }
  return "\r\n- ";
}

bool namesFile(StatementKind kind) {
  return kind != StatementKind::Math && kind != StatementKind::None;
}

}  // namespace

int Termination::runProgram(const std::function<void()>& program) {
  int status = 0;
  try {
    program();
  } catch (const ProgramExit& exit) {
    status = exit.status;
  } catch (const RuntimeError& error) {
    writeErrorReport(error);
    status = 1;
  } catch (const std::bad_alloc&) {
    writeErrorReport(RuntimeError(6700, StatementKind::None, {},
                                  std::string(conditionMessage(6700))));
    status = 1;
  }
  return runExitProcessing(status);
}

void Termination::stopProgram() { stopWith("Stop - Program terminated."); }

void Termination::stopProgram(std::string_view text) { stopWith(text); }

void Termination::stopWith(std::string_view line) {
  if (participant_ != nullptr && participant_->consoleOutputPending()) {
    writeAll(stdout_, kLineEnd);
  }
  std::string message(line);
  message += kLineEnd;
  writeAll(stdout_, message);
  exitProgram(0);
}

void Termination::exitProgram(int status) { throw ProgramExit{status}; }

void Termination::writeErrorReport(const RuntimeError& error) const {
  char number[16];
  std::snprintf(number, sizeof number, "%c%04d", error.prefix(),
                error.number());
  // Each piece is one write; a failing write is ignored.
  writeAll(stderr_, kLineEnd);
  writeAll(stderr_, "run-time error ");
  writeAll(stderr_, number);
  writeAll(stderr_, labelOf(error.kind()));
  if (namesFile(error.kind())) {
    writeAll(stderr_, error.fileName());
    writeAll(stderr_, error.message().empty() ? ")\r\n" : ")\r\n- ");
  }
  writeAll(stderr_, error.message());
  writeAll(stderr_, kLineEnd);
}

int Termination::runExitProcessing(int status) {
  if (exitInProgress_) return status;
  exitInProgress_ = true;
  if (participant_ == nullptr) return status;
  // Each raise leaves one unit closed, so the closing ends; the bound only
  // guards against a participant that would raise without end.
  for (int reports = 0; reports < kMaxExitReports; ++reports) {
    try {
      participant_->closeAllUnits();
      break;
    } catch (const RuntimeError& error) {
      writeErrorReport(error);
      if (status == 0) status = 1;
    }
  }
  return status;
}

}  // namespace tgram::runtime
