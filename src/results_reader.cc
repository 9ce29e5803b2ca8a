#include "results_reader.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "number_scan.h"

namespace {

// White space within a line; the line feed is not among them, as it ends
// the line.
constexpr bool isBlank(int c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool isDigit(int c) { return c >= '0' && c <= '9'; }

const char *find(const Input &in, char c, const char *end) {
  return static_cast<const char *>(
      std::memchr(in.next, c, static_cast<std::size_t>(end - in.next)));
}

// Moves past the line's line feed, or to the end of the file.
void skipLine(Input &in) {
  const char *newline;
  while (!(newline = find(in, '\n', in.end))) {
    if (!refill(in)) return;
  }
  in.next = newline + 1;
}

// Moves from a line's first byte past its first colon and returns true;
// or, when the line has none or begins with it (an empty key), past the
// line and returns false. Most lines of a file carry no value, so both
// searches use memchr rather than a byte loop.
bool takeKey(Input &in) {
  if (peek(in) == ':') {
    skipLine(in);
    return false;
  }
  do {
    const char *newline = find(in, '\n', in.end);
    const char *colon = find(in, ':', newline ? newline : in.end);
    if (colon) {
      in.next = colon + 1;
      return true;
    }
    if (newline) {
      in.next = newline + 1;
      return false;
    }
  } while (refill(in));
  return false;
}

ReadNote &addNote(ReadOutcome &outcome, std::size_t line) {
  ReadNote &note = outcome.notes[outcome.noteCount++];
  note = ReadNote{};
  note.line = line;
  return note;
}

// Reads the value at the input, which begins with a digit. Past the 14th a
// value is only counted.
void readValue(Input &in, std::size_t line, StatVector &results,
               ReadOutcome &outcome) {
  std::size_t &values = outcome.values;
  if (values == 0) outcome.firstLine = line;
  if (values == kStatCount) outcome.fifteenthLine = line;
  if (values < kStatCount) {
    outcome.lastLine = line;
    bool whole;
    results[values] = readNumber(in, &whole);
    // A digit after a comma: most likely a thousands separator or a
    // decimal comma, which the number does not take in.
    if (whole && peek(in) == ',') {
      ++in.next;
      if (isDigit(peek(in))) addNote(outcome, line).position = values;
    }
  }
  ++values;
}

// Reads a token that does not begin with a digit, and notes it when it
// begins with a number all the same; returns whether it did.
bool readSkipped(Input &in, std::size_t line, ReadOutcome &outcome) {
  Kept token = {};
  startKeeping(in, token);
  bool number = readLead(in);
  stopKeeping(in);
  if (!number) return false;
  // The note shows the token up to its limit and whether it goes on past
  // it, not where it ends.
  for (int c; !token.cut && (c = peek(in)) != kEnd && c != '\n' && !isBlank(c);
       ++in.next) {
    keep(token, in.next, in.next + 1);
  }
  ReadNote &note = addNote(outcome, line);
  note.skipped = true;
  note.token = token;
  return true;
}

void readLines(Input &in, StatVector &results, ReadOutcome &outcome) {
  std::size_t skipped = 0;
  for (std::size_t line = 1; peek(in) != kEnd; ++line) {
    if (!takeKey(in)) continue;
    int c;
    while (isBlank(c = peek(in))) ++in.next;
    if (isDigit(c)) {
      readValue(in, line, results, outcome);
    } else if (mayBeginNumber(c) && outcome.values < kStatCount &&
               skipped < kStatCount) {
      if (readSkipped(in, line, outcome)) ++skipped;
    }
    // What follows on the line, the rest of the token included, is never
    // read.
    skipLine(in);
  }
}

FileKind kindOf(const Input &in) {
  const unsigned char *h = in.head;
  if (in.headLength == 0) return FileKind::kEmpty;
  if (in.headLength == 2 &&
      ((h[0] == 0xff && h[1] == 0xfe) || (h[0] == 0xfe && h[1] == 0xff))) {
    return FileKind::kUtf16;
  }
  return FileKind::kText;
}

}  // namespace

ReadOutcome resval(std::FILE *stream, StatVector &results,
                   std::size_t bufferSize) {
  ReadOutcome outcome = {};
  // Large reads straight into our own buffer: the stream's would only add
  // a copy. It is not on the stack, which a low limit may leave small, and
  // it begins a cache line, as the system copies a file into an aligned
  // buffer more than twice as fast.
  (void)std::setvbuf(stream, nullptr, _IONBF, 0);
  void *buffer = nullptr;
  if (posix_memalign(&buffer, 64, bufferSize) == 0) {
    Input in = {};
    in.next = in.end = in.buffer = static_cast<char *>(buffer);
    in.stream = stream;
    in.size = bufferSize;
    readLines(in, results, outcome);
    outcome.kind = kindOf(in);
    outcome.error = in.error;
    std::free(buffer);
  } else {
    outcome.error = ENOMEM;
  }
  // Everything has been read; closing a stream that was only read loses
  // nothing, whatever fclose says.
  (void)std::fclose(stream);
  return outcome;
}
