#include "input.h"

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
  std::size_t got = std::fread(in.buffer, 1, in.size, in.stream);
  in.newline = nullptr;
  in.next = in.buffer;
  in.end = in.buffer + got;
  if (got > 0) {
    std::size_t before = in.read;
    in.read += got;
    for (std::size_t i = before; i < sizeof in.head && i < in.read; ++i) {
      in.head[i] = static_cast<unsigned char>(in.buffer[i - before]);
    }
    in.last = static_cast<unsigned char>(in.end[-1]);
    for (const char *p = in.next; !in.notNul && p < in.end; ++p) {
      in.notNul = *p != '\0';
    }
    if (!in.carriageReturn && before < kCarriageReturnReach) {
      std::size_t reach = std::min(got, kCarriageReturnReach - before);
      in.carriageReturn = std::memchr(in.buffer, '\r', reach) != nullptr;
    }
  }
  if (got == 0 && std::ferror(in.stream) && in.error == 0) {
    in.error = errno != 0 ? errno : EIO;
  }
  return got > 0;
}
