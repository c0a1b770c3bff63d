#include "runtime/condition.hpp"

#include <utility>

#include "runtime/messages.hpp"

namespace tgram::runtime {

namespace {

bool showsFileName(StatementKind kind) {
  return kind != StatementKind::Math && kind != StatementKind::None;
}

}  // namespace

RuntimeError::RuntimeError(int number, StatementKind kind,
                           std::string_view fileName, std::string message)
    : number_(number),
      kind_(kind),
      fileName_(showsFileName(kind)
                    ? fileName.substr(0, kReportFileNameMax)
                    : std::string_view{}),
      message_(std::move(message)) {
  if (message_.size() > kMessageLineMax) message_.resize(kMessageLineMax);
}

void raiseRuntimeError(int number, StatementKind kind,
                       std::string_view fileName) {
  throw RuntimeError(number, kind, fileName,
                     std::string(conditionMessage(number)));
}

void raiseRuntimeError(int number, StatementKind kind,
                       std::string_view fileName, std::string message) {
  throw RuntimeError(number, kind, fileName, std::move(message));
}

}  // namespace tgram::runtime
