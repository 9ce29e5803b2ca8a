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

constexpr bool isLetterOrDigit(int c) {
  return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A byte that may stand before a value and hide it from the reader: a
// quote, a bracket, a brace, a parenthesis, "<", or a byte outside
// printable ASCII (of a colour code, or a no-break space), but not the
// white space that ends a token.
constexpr bool mayWrapValue(int c) {
  return c == '"' || c == '\'' || c == '[' || c == ']' || c == '{' ||
         c == '}' || c == '(' || c == ')' || c == '<' ||
         (c >= 0 && c != '\n' && !isBlank(c) && (c < 0x20 || c >= 0x7f));
}

// Whether a token's first byte may begin a value that is skipped, looked
// up rather than compared: most lines of a large file reach it with a word.
struct Firsts {
  bool mayBeSkipped[256];
};

constexpr Firsts findFirsts() {
  Firsts firsts = {};
  for (int c = 0; c < 256; ++c) {
    firsts.mayBeSkipped[c] = mayBeginNumber(c) || mayWrapValue(c);
  }
  return firsts;
}

constexpr Firsts kFirsts = findFirsts();

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

// Takes a space, a no-break space or a narrow no-break space (U+202F) in
// UTF-8, as far as its bytes go; returns whether it was one.
bool takeGroupSpace(Input &in) {
  int c = peek(in);
  if (c == ' ') {
    ++in.next;
    return true;
  }
  const char *space = c == 0xc2 ? "\xc2\xa0" : "\xe2\x80\xaf";
  for (; *space != '\0'; ++space) {
    if (peek(in) != static_cast<unsigned char>(*space)) return false;
    ++in.next;
  }
  return true;
}

// Where a number that the file most likely meant to go on stops: ',', '.'
// or ' ' for a comma, a second point or a space before more digits, the
// letter of a unit; or '\0'. What follows the number on its line is read
// only here.
char stopOf(Input &in, const NumberShape &shape) {
  int c = peek(in);
  if (!shape.whole || c == kEnd) return '\0';
  if (c == ',' || (c == '.' && shape.point)) {
    ++in.next;
    return isDigit(peek(in)) ? static_cast<char>(c) : '\0';
  }
  if (c == 'M' || c == 'k' || c == 'K' || c == 'G') {
    ++in.next;
    return isLetterOrDigit(peek(in)) ? '\0' : static_cast<char>(c);
  }
  // A group of three digits after one of one to three: "18 227 596".
  if (shape.digitsOnly < 1 || shape.digitsOnly > 3 || !takeGroupSpace(in)) {
    return '\0';
  }
  for (int i = 0; i < 3; ++i, ++in.next) {
    if (!isDigit(peek(in))) return '\0';
  }
  return isDigit(peek(in)) ? '\0' : ' ';
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
    NumberShape shape;
    results[values] = readNumber(in, &shape);
    if (char stop = stopOf(in, shape)) {
      ReadNote &note = addNote(outcome, line);
      note.stop = stop;
      note.position = values;
    }
  }
  ++values;
}

// Takes the bytes that may hide a value, up to four; returns whether a
// digit follows them.
bool readWrapped(Input &in) {
  for (int i = 0; i < 4 && mayWrapValue(peek(in)); ++i) ++in.next;
  return isDigit(peek(in));
}

// Reads a token that does not begin with a digit, and notes it when it
// begins with a number or a hidden value all the same; returns whether it
// did.
bool readSkipped(Input &in, std::size_t line, ReadOutcome &outcome) {
  Kept token = {};
  startKeeping(in, token);
  bool number = mayBeginNumber(peek(in)) ? readLead(in) : readWrapped(in);
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
    } else if (c != kEnd && kFirsts.mayBeSkipped[c] &&
               outcome.values < kStatCount && skipped < kStatCount) {
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
