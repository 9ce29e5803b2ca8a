#include "input.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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
  // A token being kept may go on past the window, which is read over.
  if (in.kept) {
    keep(*in.kept, in.keptFrom, in.end);
    in.keptFrom = in.buffer;
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
  in.last = static_cast<unsigned char>(in.end[-1]);
  // A window of NUL bytes alone is one whose bytes all equal its first.
  in.notNul = in.notNul || in.buffer[0] != '\0' ||
              std::memcmp(in.buffer, in.buffer + 1, size - 1) != 0;
  if (!in.carriageReturn && before < kCarriageReturnReach) {
    std::size_t reach = std::min(size, kCarriageReturnReach - before);
    in.carriageReturn = std::memchr(in.buffer, '\r', reach) != nullptr;
  }
  return true;
}
