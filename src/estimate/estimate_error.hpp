// The conditions of an estimation run: a message for standard error and
// exit status 1; nothing is written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tgram::estimate {

class EstimateError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raises an EstimateError with `message`.
[[noreturn]] void fail(const std::string& message);

// Raises an EstimateError that says where in the input it is wrong:
// «FILE: line 5, column 8: message». Lines and columns count from 1,
// columns in bytes.
[[noreturn]] void failAt(const std::filesystem::path& file, std::int64_t line, std::int64_t column,
                         const std::string& message);

// A piece of the input as the messages show it: in double quotes, cut
// after 40 bytes, with every byte that is not printable ASCII escaped, as
// tgraminterp shows the values of its input.
std::string shown(std::string_view text);

// A file name as the messages show it (escaped like input text, not cut).
std::string shownPath(const std::filesystem::path& file);

}  // namespace tgram::estimate
