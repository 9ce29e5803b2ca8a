#include "results_reader.h"

#include <unistd.h>

#include <cstring>

#include "ascii.h"
#include "number_scan.h"

namespace {

// A byte that may stand before a value and hide it from the reader: a
// quote, a bracket, a brace, a parenthesis, "<", or a byte outside
// printable ASCII (of a colour code, or a no-break space), but not the
// white space that ends a token.
constexpr bool mayWrapValue(int c) {
  return c == '"' || c == '\'' || c == '[' || c == ']' || c == '{' ||
         c == '}' || c == '(' || c == ')' || c == '<' ||
         (c >= 0 && c != '\n' && !isBlank(c) && (c < 0x20 || c >= 0x7f));
}

// What a token's first byte may begin, looked up, as most lines of a large
// file come here with a word: a value that is skipped, or a word.
enum : unsigned char { kMaySkip = 1, kWord = 2 };

struct FirstBytes {
  unsigned char of[256];
};

constexpr FirstBytes findFirstBytes() {
  FirstBytes first = {};
  for (int c = 0; c < 256; ++c) {
    bool wrap = mayWrapValue(c);
    first.of[c] = static_cast<unsigned char>(
        (mayBeginNumber(c) || wrap ? kMaySkip : 0) |
        (!wrap && c != '+' && c != '-' && c != '.' ? kWord : 0));
  }
  return first;
}

constexpr FirstBytes kFirstBytes = findFirstBytes();

const char *find(const Input &in, char c, const char *end) {
  return static_cast<const char *>(
      std::memchr(in.next, c, static_cast<std::size_t>(end - in.next)));
}

// Moves past the line's line feed, or to the end of the file.
void skipLine(Input &in) {
  const char *newline = in.newline;
  while (!newline && !(newline = find(in, '\n', in.end))) {
    if (!refill(in)) return;
  }
  in.next = newline + 1;
}

// The end of a line without a colon, as far as it has been read: its last
// two bytes that are not white space, and where the line stops without
// the white space at its end.
struct Tail {
  int last;
  int before;
  std::size_t length;  // of the line kept up to there
};

// Adds a part of a line, from `from` to `to` in the window, to its tail.
void addToTail(const Input &in, const char *from, const char *to, Tail &tail) {
  const char *p = to;
  while (p > from && isBlank(p[-1])) --p;
  if (p == from) return;
  tail.length = keptUpTo(in, p);
  int last = static_cast<unsigned char>(*--p);
  while (p > from && isBlank(p[-1])) --p;
  tail.before = p > from ? static_cast<unsigned char>(p[-1]) : tail.last;
  tail.last = last;
}

// Whether a line without a colon, just taken, ends with a number: a
// digit, or a digit and "%" ("9.176 %"). Its part in the window is added
// to its tail first.
bool endsWithNumber(const Input &in, Tail &tail) {
  const char *end = in.next;
  if (end > in.keptFrom && end[-1] == '\n') --end;
  addToTail(in, in.keptFrom, end, tail);
  return isDigit(tail.last) || (tail.last == '%' && isDigit(tail.before));
}

// What a line begins with: a key and its colon, an empty key (the colon
// first), or no colon at all.
enum class LineStart { kKey, kEmptyKey, kNoColon };

// Moves from a line's first byte past its first colon; or, when the line
// has none or begins with it, past the line. The parts of a line without a
// colon that a refill reads over are added to `tail`, where one is asked
// for (the line is being kept then); its part in the window is left to the
// caller. Most lines of a file carry no value, so both searches use memchr
// rather than a byte loop, and the line feed found is kept for skipLine.
LineStart takeKey(Input &in, Tail *tail) {
  in.newline = nullptr;
  if (peek(in) == ':') {
    skipLine(in);
    return LineStart::kEmptyKey;
  }
  do {
    const char *newline = find(in, '\n', in.end);
    const char *colon = find(in, ':', newline ? newline : in.end);
    if (colon) {
      in.newline = newline;
      in.next = colon + 1;
      return LineStart::kKey;
    }
    if (newline) {
      in.next = newline + 1;
      return LineStart::kNoColon;
    }
    if (tail) addToTail(in, in.next, in.end, *tail);
  } while (refill(in));
  return LineStart::kNoColon;
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
  const char *space = c == ' ' ? " " : c == 0xc2 ? "\xc2\xa0" : "\xe2\x80\xaf";
  for (; *space != '\0'; ++space) {
    if (peek(in) != static_cast<unsigned char>(*space)) return false;
    ++in.next;
  }
  return true;
}

// Where reading a value leaves the input: still in its token; past the
// space that ends it; or past that space with a digit next, another
// number.
enum class AfterValue { kInToken, kPastSpace, kNumber };

// Where a number that the file most likely meant to go on stops: ',', '.',
// ':' or ' ' for a comma, a second point, a colon or a space before more
// digits, the letter of a unit, a letter before a digit; or '\0'. Tells in
// `after` where it leaves the input when it takes the space.
char stopOf(Input &in, const NumberShape &shape, AfterValue &after) {
  int c = peek(in);
  if (!shape.whole || c == kEnd) return '\0';
  if (c == ',' || c == ':' || (c == '.' && shape.point)) {
    ++in.next;
    return isDigit(peek(in)) ? static_cast<char>(c) : '\0';
  }
  if (isLetter(c)) {
    // "18227S96", as text recognition reads a 5; not "5ms" or "12abc".
    ++in.next;
    int next = peek(in);
    bool unit = c == 'M' || c == 'k' || c == 'K' || c == 'G';
    return isDigit(next) || (unit && !isLetterOrDigit(next))
               ? static_cast<char>(c)
               : '\0';
  }
  // A group of three digits after one of one to three: "18 227 596".
  if (shape.digitsOnly < 1 || shape.digitsOnly > 3 || !takeGroupSpace(in)) {
    return '\0';
  }
  if (c == ' ') {
    after = isDigit(peek(in)) ? AfterValue::kNumber : AfterValue::kPastSpace;
  }
  for (int i = 0; i < 3; ++i, ++in.next) {
    if (!isDigit(peek(in))) return '\0';
  }
  return isDigit(peek(in)) ? '\0' : ' ';
}

// Reads the value at the input, which begins with a digit. Past the 14th a
// value is only counted. Returns where the input is left.
AfterValue readValue(Input &in, std::size_t line, StatVector &results,
                     ReadOutcome &outcome) {
  std::size_t &values = outcome.values;
  AfterValue after = AfterValue::kInToken;
  if (values == 0) outcome.firstLine = line;
  if (values == kStatCount) outcome.fifteenthLine = line;
  if (values < kStatCount) {
    outcome.lastLine = line;
    NumberShape shape;
    results[values] = readNumber(in, &shape);
    if (char stop = stopOf(in, shape, after)) {
      ReadNote &note = addNote(outcome, line);
      note.kind = NoteKind::kStop;
      note.stop = stop;
      note.position = values;
    }
  }
  ++values;
  return after;
}

// Takes the bytes that may hide a value, up to four; returns whether a
// digit follows them.
bool readWrapped(Input &in) {
  for (int i = 0; i < 4 && mayWrapValue(peek(in)); ++i) ++in.next;
  return isDigit(peek(in));
}

// Takes the rest of the token being kept, keeping it up to the limit.
void finishToken(Input &in, Kept &token) {
  if (in.kept) stopKeeping(in);
  for (int c; !token.cut && (c = peek(in)) != kEnd && c != '\n' && !isBlank(c);
       ++in.next) {
    keep(token, in.next, in.next + 1);
  }
}

// The bytes after a token's first that are looked at for another number.
constexpr std::size_t kNumberReach = 1024;

// Whether a digit begins a number of its own after `before`: not after a
// letter, a digit or a point, which make it part of a word or a number;
// `underscore` counts that as a letter too.
bool beginsNumber(int c, int before, bool underscore) {
  return isDigit(c) && !isLetterOrDigit(before) && before != '.' &&
         !(underscore && before == '_');
}

// Whether a number comes later on the line, within kNumberReach of the
// first byte of the token being kept, at `from`. The bytes taken so far
// are all kept but in a long "nan(" payload, where no digit begins a
// number, as the underscore counts as a letter. Keeps the token.
bool numberLater(Input &in, Kept &token, std::size_t from) {
  flushKeeping(in);
  int before = ' ';
  for (std::size_t i = 0; i < token.length; ++i) {
    int c = static_cast<unsigned char>(token.bytes[i]);
    if (beginsNumber(c, before, true)) {
      finishToken(in, token);
      return true;
    }
    before = c;
  }
  bool inToken = true;
  bool later = false;
  for (int c; !later && (c = peek(in)) != kEnd && c != '\n' &&
              offsetOf(in, in.next) < from + kNumberReach;
       before = c) {
    if (inToken && isBlank(c)) {
      stopKeeping(in);
      inToken = false;
    }
    later = beginsNumber(c, before, true);
    if (!later) ++in.next;
  }
  if (inToken) finishToken(in, token);
  return later;
}

// A line's first bytes, up to the limit of kept bytes, and whether it
// goes on past them: a key (the bytes before the colon), or a whole line.
struct Key {
  const char *bytes;
  std::size_t length;
  bool cut;
};

// A statistic of the table that a key may name: its words, lower case,
// one space between them, and the position its value fills.
struct Label {
  const char *words;
  std::size_t position;
};

constexpr Label kLabels[] = {
    {"cpi", 2},
    {"unique pc", 3},
    {"perc alu op", 9},
    {"perc ld op", 10},
    {"perc st op", 11},
    {"perc cbr op", 12},
    {"perc other op", 13},
};

// Whether a key's words split between its bytes i - 1 and i: at anything
// that is not a letter or a digit, and between a lower-case and an
// upper-case letter ("UniquePC").
bool splitsAt(const char *key, std::size_t i) {
  return !isLetterOrDigit(key[i - 1]) || !isLetterOrDigit(key[i]) ||
         (isLower(key[i - 1]) && isUpper(key[i]));
}

// Whether the key's words from its byte `at`, a word's first, begin with
// the label's words, compared ignoring case.
bool holdsAt(const Key &key, std::size_t at, const char *words) {
  const std::size_t end = key.length;
  std::size_t i = at;
  for (; *words != '\0'; ++words) {
    if (*words == ' ') {
      if (i == end || !splitsAt(key.bytes, i)) return false;
      while (i < end && !isLetterOrDigit(key.bytes[i])) ++i;
    } else if (i == end || toLower(key.bytes[i]) != *words ||
               (i > at && words[-1] != ' ' && splitsAt(key.bytes, i))) {
      // Not the letter, or a word ends before it ("cPI").
      return false;
    } else {
      ++i;
    }
  }
  // A key cut at the limit may go on with the word.
  return i == end ? !key.cut : splitsAt(key.bytes, i);
}

// Notes a key when it names one of the table's statistics and its value
// is read at another's place. Returns whether it noted it.
bool noteKey(Key key, std::size_t line, ReadOutcome &outcome) {
  // The first label that the key's words hold, from its first word on.
  const Label *named = nullptr;
  for (std::size_t i = 0; !named && i < key.length; ++i) {
    if (i > 0 && !splitsAt(key.bytes, i)) continue;
    for (const Label &label : kLabels) {
      if (!named && holdsAt(key, i, label.words)) named = &label;
    }
  }
  if (!named || named->position == outcome.values) return false;
  // Shown without the blanks around it.
  std::size_t start = 0;
  while (start < key.length && isBlank(key.bytes[start])) ++start;
  while (key.length > start && isBlank(key.bytes[key.length - 1])) --key.length;
  ReadNote &note = addNote(outcome, line);
  note.kind = NoteKind::kKey;
  note.position = outcome.values;
  keep(note.token, key.bytes + start, key.bytes + key.length);
  note.token.cut = key.cut;
  return true;
}

// The first bytes of a line, of the given length, up to the limit of kept
// bytes: in the window, unless a refill has read over them and copied them
// to `kept`.
Key lineBytes(Input &in, const Kept &kept, std::size_t length) {
  const char *bytes = in.keptFrom;
  if (kept.length > 0) {
    stopKeeping(in);
    bytes = kept.bytes;
  }
  if (length > Kept::kLimit) return {bytes, Kept::kLimit, true};
  return {bytes, length, false};
}

// What follows a value's token on its line, within kNumberReach of the
// token's first byte, `from`: another number ("ALU : 917623 (9.176%)",
// JSON on one line), and a carriage return that text follows, as where
// lines end with carriage returns alone. The input is where reading the
// value has left it.
struct AfterToken {
  bool number;
  bool carriageReturn;
};

AfterToken lookAfterValue(Input &in, std::size_t from, AfterValue after) {
  AfterToken seen = {after == AfterValue::kNumber, false};
  int c;
  auto within = [&] {
    return (c = peek(in)) != kEnd && c != '\n' &&
           offsetOf(in, in.next) < from + kNumberReach;
  };
  while (after == AfterValue::kInToken && within() && !isBlank(c)) ++in.next;
  int before = ' ';
  for (; within() && !(seen.number && seen.carriageReturn); ++in.next) {
    seen.number = seen.number || beginsNumber(c, before, false);
    seen.carriageReturn =
        seen.carriageReturn || (before == '\r' && !isBlank(c));
    before = c;
  }
  return seen;
}

// The first line that may tell why a file ends with fewer than 14 values:
// its note, and how many notes come before it. It is noted only if the
// file does.
struct WhyFew {
  ReadNote note;
  std::size_t at;
};

void holdWhyFew(WhyFew &why, std::size_t line, NoteKind kind,
                const ReadOutcome &outcome) {
  why.note.line = line;
  why.note.kind = kind;
  why.at = outcome.noteCount;
}

// Adds the note held, at its place in line order.
void addWhyFew(ReadOutcome &outcome, const WhyFew &why) {
  for (std::size_t i = outcome.noteCount; i > why.at; --i) {
    outcome.notes[i] = outcome.notes[i - 1];
  }
  outcome.notes[why.at] = why.note;
  ++outcome.noteCount;
}

// How the first line of a Git LFS pointer begins, which a checkout holds
// in place of a file that Git LFS stores elsewhere.
constexpr char kGitLfsPointer[] = "version https://git-lfs.github.com/";

FileKind kindOf(const Input &in, std::size_t lines) {
  const unsigned char *h = in.head;
  constexpr std::size_t kPointer = sizeof kGitLfsPointer - 1;
  if (in.read == 0) return FileKind::kEmpty;
  if (in.read >= kPointer && std::memcmp(h, kGitLfsPointer, kPointer) == 0) {
    return FileKind::kGitLfs;
  }
  if (in.read >= 2 &&
      ((h[0] == 0xff && h[1] == 0xfe) || (h[0] == 0xfe && h[1] == 0xff))) {
    return FileKind::kUtf16;
  }
  if (!in.notNul) return FileKind::kOnlyNul;
  if (lines == 1 && in.last != '\n' && in.carriageReturn) {
    return FileKind::kCarriageReturns;
  }
  return FileKind::kText;
}

// Takes a run of empty lines, which carry nothing, at once; returns how
// many.
std::size_t takeEmptyLines(Input &in) {
  std::size_t count = 0;
  do {
    const char *p = in.next;
    while (p < in.end && *p == '\n') ++p;
    count += static_cast<std::size_t>(p - in.next);
    in.next = p;
  } while (in.next == in.end && refill(in));
  return count;
}

// What reading a file carries from line to line. While fewer than 14
// values are read, it watches: the first bytes of each line are kept, for
// a key or a line that may be noted, from the line's start to the next's
// or to a token that is kept. Why the values are few: a line before the
// first value tells it only in a file that has none, as a title or a
// header above the statistics tells nothing; the last line, where
// carriage returns alone begin to end the lines, tells it in place of any.
struct Reading {
  std::size_t line;
  std::size_t skipped;
  bool keyNoted;
  bool watch;
  Kept kept;
  WhyFew whyNone;
  WhyFew why;
  WhyFew fromHere;
};

// Reads a value's line from the value's first byte; its key, of
// `keyLength` bytes, may be noted.
void readValueLine(Input &in, Reading &r, std::size_t keyLength,
                   StatVector &results, ReadOutcome &outcome) {
  if (r.watch && !r.keyNoted) {
    r.keyNoted = noteKey(lineBytes(in, r.kept, keyLength), r.line, outcome);
  }
  std::size_t from = offsetOf(in, in.next);
  AfterValue after = readValue(in, r.line, results, outcome);
  r.watch = outcome.values < kStatCount;
  if (!r.watch) {
    dropKeeping(in);
    return;
  }
  AfterToken seen = lookAfterValue(in, from, after);
  if (seen.number && r.why.note.line == 0) {
    holdWhyFew(r.why, r.line, NoteKind::kMoreNumbers, outcome);
  }
  if (seen.carriageReturn && r.fromHere.note.line == 0) {
    holdWhyFew(r.fromHere, r.line, NoteKind::kCarriageReturns, outcome);
  }
}

// Reads a line's token that does not begin with a digit. While fewer than
// 14 values are skipped, one that begins with a number or a hidden value
// all the same is a value skipped. Where `slot` is free and it begins as a
// word does (not with a sign, a point or what may hide a value), a number
// later on the line tells in `slot` why values are few.
void readOtherLine(Input &in, Reading &r, WhyFew &slot, bool slotFree,
                   ReadOutcome &outcome) {
  const int c = peek(in);
  const bool maySkip =
      r.skipped < kStatCount && (kFirstBytes.of[c] & kMaySkip) != 0;
  const bool mayTell = slotFree && (kFirstBytes.of[c] & kWord) != 0;
  if (!maySkip && !mayTell) return;
  const std::size_t from = offsetOf(in, in.next);
  Kept token = {};
  startKeeping(in, token);
  if (maySkip && (mayBeginNumber(c) ? readLead(in) : readWrapped(in))) {
    finishToken(in, token);
    ++r.skipped;
    ReadNote &note = addNote(outcome, r.line);
    note.kind = NoteKind::kSkipped;
    note.token = token;
  } else if (mayTell && numberLater(in, token, from)) {
    holdWhyFew(slot, r.line, NoteKind::kNotANumber, outcome);
    slot.note.token = token;
  } else {
    dropKeeping(in);
  }
}

// Reads the file's lines, and tells the file's kind.
void readLines(Input &in, StatVector &results, ReadOutcome &outcome) {
  Reading r = {};
  r.watch = true;
  for (r.line = 1; peek(in) != kEnd; ++r.line) {
    if (*in.next == '\n') {
      r.line += takeEmptyLines(in) - 1;
      continue;
    }
    WhyFew &slot = outcome.values == 0 ? r.whyNone : r.why;
    const bool slotFree = r.watch && slot.note.line == 0;
    if (r.watch) startKeeping(in, r.kept);
    Tail tail;
    tail.last = kEnd;
    LineStart start = takeKey(in, slotFree ? &tail : nullptr);
    if (start != LineStart::kKey) {
      if (slotFree && start == LineStart::kNoColon &&
          endsWithNumber(in, tail)) {
        holdWhyFew(slot, r.line, NoteKind::kNoColon, outcome);
        Key shown = lineBytes(in, r.kept, tail.length);
        keep(slot.note.token, shown.bytes, shown.bytes + shown.length);
        slot.note.token.cut = shown.cut;
      }
      continue;
    }
    std::size_t keyLength =
        r.watch && !r.keyNoted ? keptUpTo(in, in.next - 1) : 0;
    int c;
    while (isBlank(c = peek(in))) ++in.next;
    if (isDigit(c)) {
      readValueLine(in, r, keyLength, results, outcome);
    } else if (c != kEnd && c != '\n' && r.watch) {
      readOtherLine(in, r, slot, slotFree, outcome);
    }
    // What follows on the line, the rest of the token included, is never
    // read.
    skipLine(in);
  }
  dropKeeping(in);
  const std::size_t lines = r.line - 1;
  // A file of lines that end with a carriage return alone is read as one
  // line, and its count says so; no line tells more.
  outcome.kind = kindOf(in, lines);
  if (outcome.values < kStatCount &&
      outcome.kind != FileKind::kCarriageReturns) {
    const WhyFew &tell = r.fromHere.note.line == lines && lines > 1 ? r.fromHere
                         : outcome.values == 0                      ? r.whyNone
                                                                    : r.why;
    if (tell.note.line != 0) addWhyFew(outcome, tell);
  }
}

}  // namespace

ReadOutcome resval(int fd, StatVector &results, char *buffer,
                   std::size_t size) {
  ReadOutcome outcome = {};
  Input in = {};
  in.next = in.end = in.buffer = buffer;
  in.fd = fd;
  in.size = size;
  readLines(in, results, outcome);
  if (outcome.kind == FileKind::kGitLfs) outcome.noteCount = 0;
  outcome.error = in.error;
  // Everything has been read; closing a file that was only read loses
  // nothing, whatever close says.
  (void)close(fd);
  return outcome;
}
