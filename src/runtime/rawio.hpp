// Raw byte output on POSIX descriptors, with no translation of any kind.
#pragma once

#include <cerrno>
#include <string_view>

namespace tgram::runtime {

// Writes all of `bytes` to `fd`, retrying interrupted and partial writes.
// Returns 0 on success, otherwise the errno of the failing write.
int writeBytes(int fd, std::string_view bytes);

}  // namespace tgram::runtime
