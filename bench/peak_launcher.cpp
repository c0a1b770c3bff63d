// Starts a program and reports its own peak resident memory. A process
// started straight from the benchmark (fork, then exec) is charged with the
// memory the benchmark held at the fork, because the peak of the image it
// leaves behind at exec counts as its own. This launcher is small, so the
// program it starts inherits next to nothing.
//
//   peak_launcher <program> [arguments...]
//
// Standard input, output and error and the current folder pass on to the
// program. The peak in kB is written as decimal text to descriptor 3; the
// exit status is the program's (125 when it could not be started or
// waited for, 126 when it ended by a signal). Plain POSIX calls only, so
// that the launcher itself stays small.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>

int main(int argc, char** argv) {
  if (argc < 2) return 125;
  ::fcntl(3, F_SETFD, FD_CLOEXEC);
  const pid_t pid = ::fork();
  if (pid < 0) return 125;
  if (pid == 0) {
    ::execv(argv[1], argv + 1);
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid) return 125;
  char text[32];
  char* end = text + sizeof text;
  char* at = end;
  long kb = usage.ru_maxrss;
  do {
    *--at = static_cast<char>('0' + kb % 10);
    kb /= 10;
  } while (kb > 0);
  if (::write(3, at, static_cast<std::size_t>(end - at)) < 0) return 125;
  if (WIFSIGNALED(status)) return 126;
  return WEXITSTATUS(status);
}
