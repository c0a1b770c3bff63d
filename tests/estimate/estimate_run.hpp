// Runs the estimating program in this process, its standard output and
// error captured in files of a scratch folder of their own.
#pragma once

#include <string>
#include <vector>

#include "estimate/estimate_program.hpp"
#include "runtime/os.hpp"
#include "support/process.hpp"

namespace tgram::testing {

struct EstimateRun {
  int status = -1;
  std::string out;
  std::string err;
};

inline EstimateRun runEstimateWith(const std::vector<std::string>& arguments) {
  const ScratchDir streams;
  const std::string outName = (streams / "stdout").string();
  const std::string errName = (streams / "stderr").string();
  namespace os = runtime::os;
  const os::Opened out = os::openFile(outName, os::Access::Write, os::Creation::CreateNew);
  const os::Opened err = os::openFile(errName, os::Access::Write, os::Creation::CreateNew);
  recio::ConsoleStreams console;
  console.input = os::kNoHandle;
  console.output = out.handle;
  console.error = err.handle;
  EstimateRun run;
  run.status = estimate::runEstimate(console, arguments);
  os::close(out.handle);
  os::close(err.handle);
  run.out = readFile(outName);
  run.err = readFile(errName);
  return run;
}

}  // namespace tgram::testing
