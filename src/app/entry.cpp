#include "app/entry.hpp"

#include <memory>
#include <string_view>
#include <utility>

#include "app/command_line.hpp"
#include "model/program.hpp"
#include "recio/record_io.hpp"
#include "runtime/fpenv.hpp"
#include "runtime/os.hpp"
#include "runtime/termination.hpp"

namespace tgram::app {

namespace {

// Like everything the program writes, with CR LF line ends.
constexpr std::string_view kUsage =
    "Usage: tgraminterp [--help | --version]\r\n"
    "\r\n"
    "Reads the experimental transiograms in ExpTgrams.txt in the current\r\n"
    "folder, interpolates them linearly, and writes the transiogram models\r\n"
    "to TgramModels.txt in the same folder, replacing an older one. The run\r\n"
    "is shown on standard output. A missing ExpTgrams.txt is created empty.\r\n"
    "\r\n"
    "Exit status: 0 when the run ends with \"Stop - Program terminated.\";\r\n"
    "1 after a run-time error report on standard error. The reports, and\r\n"
    "what to do about each, are listed in README.md, \"When a run fails\".\r\n"
    "\r\n"
    "  -h, --help   show this text and exit\r\n"
    "  --version    show the program's name and version and exit\r\n";

constexpr std::string_view kVersion = "tgraminterp " TGRAM_VERSION "\r\n";

}  // namespace

int runProcess(const recio::ConsoleStreams& streams, std::vector<std::string> arguments) {
  // Answered before start-up: nothing is opened, created or read.
  switch (commandLineRequest(arguments)) {
    case CommandLineRequest::Help:
      runtime::os::writeAll(streams.output, kUsage);
      return 0;
    case CommandLineRequest::Version:
      runtime::os::writeAll(streams.output, kVersion);
      return 0;
    case CommandLineRequest::Run:
      break;
  }
  runtime::initFloatingPoint();
  recio::UnitTable units(streams, std::move(arguments));
  runtime::Termination termination(streams.output, streams.error);
  termination.registerExitProcessing(&units);
  recio::RecordIo io(units);
  return termination.runProgram([&] {
    auto program = std::make_unique<model::TransiogramProgram>();
    program->run(io, termination);
  });
}

}  // namespace tgram::app
