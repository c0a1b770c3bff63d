// The program: reads experimental transiograms, interpolates them linearly
// into transiogram models, and writes the models, showing the run on the
// console.
#pragma once

#include "model/transiograms.hpp"
#include "recio/record_io.hpp"
#include "runtime/termination.hpp"

namespace tgram::model {

class TransiogramProgram : public Transiograms {
 public:
  // The whole run, from the read message to STOP. Never returns.
  [[noreturn]] void run(recio::RecordIo& io, runtime::Termination& termination);

 private:
  void writeModels(recio::RecordIo& io);
};

}  // namespace tgram::model
