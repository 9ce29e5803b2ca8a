// The bytes of a file, pulled through a window over a buffer that is
// refilled when the window runs out, so that the code that reads them runs
// straight from a token's first byte to its last.
#ifndef GRADE_INPUT_H_
#define GRADE_INPUT_H_

#include <cstddef>

// The first bytes of a token, kept for a diagnostic to show.
struct Kept {
  static constexpr std::size_t kLimit = 32;
  std::size_t length;
  bool cut;  // the token has more bytes than are kept
  char bytes[kLimit];
};

// Adds bytes to those kept, up to the limit.
void keep(Kept &kept, const char *from, const char *to);

struct Input {
  const char *next;  // the window: bytes read and not yet taken
  const char *end;
  int fd;
  char *buffer;  // what refill reads into
  std::size_t size;
  int error;   // errno of a failed read, else 0
  bool ended;  // a read found the end, or failed: no more are made
  // What refill sees of the file as it reads it: its first bytes (as many
  // as it has read, up to what tells a Git LFS pointer), how many it has
  // read, where its last byte that is not NUL ends, and where, among its
  // first kHeadReach bytes, its last that is not white space ends.
  unsigned char head[36];
  std::size_t read;
  std::size_t notNulEnd;
  std::size_t textEnd;
  // While a token is kept: where it, or its part in the window, begins.
  Kept *kept;
  const char *keptFrom;
  // While a line's first bytes are kept, apart from any token: the same.
  Kept *line;
  const char *lineFrom;
  // The line feed that ends the line being read, where it has been found
  // in the window; null when not.
  const char *newline;
};

// Reads the next bytes of the file into the window. False at the end of
// the file or on a read error, which is kept in `error`.
bool refill(Input &in);

constexpr std::size_t kHeadReach = 4096;

// Where a byte in the window stands in the file.
inline std::size_t offsetOf(const Input &in, const char *p) {
  return in.read - static_cast<std::size_t>(in.end - p);
}

constexpr int kEnd = -1;

// The next byte, as an unsigned char; kEnd at the end of the file.
inline int peek(Input &in) {
  return in.next < in.end || refill(in) ? static_cast<unsigned char>(*in.next)
                                        : kEnd;
}

// Keeps the bytes taken from here on in `kept`, until stopKeeping or
// dropKeeping.
inline void startKeeping(Input &in, Kept &kept) {
  kept.length = 0;
  kept.cut = false;
  in.kept = &kept;
  in.keptFrom = in.next;
}

inline void stopKeeping(Input &in) {
  keep(*in.kept, in.keptFrom, in.next);
  in.kept = nullptr;
}

// Keeps the bytes taken so far, so that all of them are in `kept`.
inline void flushKeeping(Input &in) {
  keep(*in.kept, in.keptFrom, in.next);
  in.keptFrom = in.next;
}

// Stops keeping, and leaves what is kept unfinished.
inline void dropKeeping(Input &in) { in.kept = nullptr; }

// Keeps a line's first bytes, from here up to the limit, until
// stopKeepingLine, whatever tokens are kept meanwhile.
inline void startKeepingLine(Input &in, Kept &line) {
  line.length = 0;
  line.cut = false;
  in.line = &line;
  in.lineFrom = in.next;
}

inline void stopKeepingLine(Input &in) {
  keep(*in.line, in.lineFrom, in.next);
  in.line = nullptr;
}

// How many bytes have been kept up to `p` in the window, or more than the
// limit.
inline std::size_t keptUpTo(const Input &in, const char *p) {
  return in.kept->cut
             ? Kept::kLimit + 1
             : in.kept->length + static_cast<std::size_t>(p - in.keptFrom);
}

#endif  // GRADE_INPUT_H_
