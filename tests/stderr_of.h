// What a piece of grade writes to standard error, caught in a file in
// memory, each line without its first `prefix` bytes.
#ifndef GRADE_TESTS_STDERR_OF_H_
#define GRADE_TESTS_STDERR_OF_H_

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

template <class Write>
std::string stderrOf(Write write, std::size_t prefix) {
  int fd = memfd_create("stderr", 0);
  int saved = dup(STDERR_FILENO);
  dup2(fd, STDERR_FILENO);
  write();
  dup2(saved, STDERR_FILENO);
  close(saved);
  std::string text(static_cast<std::size_t>(lseek(fd, 0, SEEK_END)), '\0');
  EXPECT_EQ(pread(fd, text.data(), text.size(), 0),
            static_cast<ssize_t>(text.size()));
  close(fd);
  std::string lines;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at) + 1;
    lines += text.substr(at + prefix, end - at - prefix);
    at = end;
  }
  return lines;
}

#endif  // GRADE_TESTS_STDERR_OF_H_
