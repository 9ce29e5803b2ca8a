#include "input.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "ascii.h"

void keep(Kept &kept, const char *from, const char *to) {
  std::size_t size = static_cast<std::size_t>(to - from);
  std::size_t room = Kept::kLimit - kept.length;
  if (size > room) {
    size = room;
    kept.cut = true;
  }
  std::memcpy(kept.bytes + kept.length, from, size);
  kept.length += size;
}

bool refill(Input &in) {
  // A token or a line being kept may go on past the window, which is read
  // over.
  if (in.kept) {
    keep(*in.kept, in.keptFrom, in.end);
    in.keptFrom = in.buffer;
  }
  if (in.line) {
    keep(*in.line, in.lineFrom, in.end);
    in.lineFrom = in.buffer;
  }
  in.newline = nullptr;
  in.next = in.end = in.buffer;
  if (in.ended) return false;
  ssize_t got;
  do {
    got = read(in.fd, in.buffer, in.size);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) {
    in.ended = true;
    if (got < 0) in.error = errno;
    return false;
  }
  auto size = static_cast<std::size_t>(got);
  std::size_t before = in.read;
  in.end = in.buffer + size;
  in.read += size;
  for (std::size_t i = before; i < sizeof in.head && i < in.read; ++i) {
    in.head[i] = static_cast<unsigned char>(in.buffer[i - before]);
  }
  // A window of NUL bytes alone is one whose bytes all equal its first;
  // any other has its last byte that is not NUL near its end.
  if (in.buffer[0] != '\0' ||
      std::memcmp(in.buffer, in.buffer + 1, size - 1) != 0) {
    const char *p = in.end;
    while (p[-1] == '\0') --p;
    in.notNulEnd = offsetOf(in, p);
  }
  if (before < kHeadReach) {
    const char *p = in.buffer + std::min(size, kHeadReach - before);
    while (p > in.buffer && isWhiteSpace(p[-1])) --p;
    if (p > in.buffer) in.textEnd = offsetOf(in, p);
  }
  return true;
}
