#include "app/entry.hpp"

#include <memory>
#include <utility>

#include "model/program.hpp"
#include "recio/record_io.hpp"
#include "runtime/fpenv.hpp"
#include "runtime/termination.hpp"

namespace tgram::app {

int runProcess(const recio::ConsoleStreams& streams, std::vector<std::string> arguments) {
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
