#include "results_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "ascii.h"
#include "number_scan.h"
#include "statistics.h"

namespace {

// The lines after a value, or after the file's first, that are watched for
// what a missing value became: a results file's statistics stand
// together. Past them, lines are read for their values alone.
constexpr std::size_t kWatchLines = 64;

// Bytes after a token's first that are looked at for what follows it.
constexpr std::size_t kReach = 1024;

// Lines without a colon in a row after which, while none is watched, the
// window's lines up to its next colon are taken at once.
constexpr std::size_t kTakenAtOnceAfter = 4;

// A line's first bytes, up to the limit of kept bytes, and whether it
// goes on past them: a key (the bytes before the colon), or a whole line.
struct Key {
  const char *bytes;
  std::size_t length;
  bool cut;
};

int namedBy(const Key &key) {
  return statisticNamed(key.bytes, key.length, key.cut);
}

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
// two bytes that are not blank, and its length kept up to there.
struct Tail {
  int last;
  int before;
  std::size_t length;
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

// What a line begins with: a key and its colon, the colon, or no colon.
enum class LineStart { kKey, kEmptyKey, kNoColon };

// Moves from a line's first byte past its first colon, or, where it has
// none, past the line; the parts of such a line that a refill reads over
// are added to `tail` where one is asked for. Most lines of a file carry
// no value, so both searches use memchr, and the line feed found is kept
// for skipLine.
LineStart takeKey(Input &in, Tail *tail) {
  in.newline = nullptr;
  if (peek(in) == ':') {
    ++in.next;
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

// A line's first bytes, of the given length, up to the limit: in the
// window, unless a refill has read over them and copied them to `kept`.
Key lineBytes(Input &in, const Kept &kept, std::size_t length) {
  const char *bytes = in.keptFrom;
  if (kept.length > 0) {
    stopKeeping(in);
    bytes = kept.bytes;
  }
  dropKeeping(in);
  return {bytes, std::min(length, Kept::kLimit), length > Kept::kLimit};
}

// What the bytes of a line are, as far as they are looked at: text,
// UTF-16 (from the first NUL on, a NUL beside every other byte), NUL bytes
// or bytes that are not text (which of them, the file's end tells: NUL
// bytes alone from the first on), or lines that end with a carriage return
// alone (text, a carriage return and text on one line).
struct BytesLook {
  bool text;
  bool carriageReturn;  // after text
  bool lineEnds;        // a carriage return that text follows
  std::size_t nulAt;    // the first NUL's place in the file, plus 1; or 0
  std::size_t sinceNul;
  bool alternates;
};

void look(BytesLook &b, int c, std::size_t offset) {
  if (b.nulAt > 0) {
    // Eight bytes tell UTF-16 from other bytes.
    if (b.sinceNul < 8) {
      ++b.sinceNul;
      b.alternates = b.alternates && (c == '\0') == (b.sinceNul % 2 == 0);
    }
  } else if (c == '\0') {
    b.nulAt = offset + 1;
    b.alternates = true;
  } else if (c == '\r') {
    b.carriageReturn = b.carriageReturn || b.text;
  } else if (!isWhiteSpace(c)) {
    b.lineEnds = b.lineEnds || b.carriageReturn;
    b.text = true;
  }
}

// The first line since the last value whose bytes are not text lines.
struct NotText {
  std::size_t line;
  NoteKind kind;  // kOnlyNul until the file's end tells
  std::size_t nulAt;
};

void tellBytes(const BytesLook &b, std::size_t line, NotText &first) {
  if (first.line != 0) return;
  if (b.nulAt > 0) {
    first = {
        line,
        b.alternates && b.sinceNul >= 2 ? NoteKind::kUtf16 : NoteKind::kOnlyNul,
        b.nulAt};
  } else if (b.lineEnds) {
    first = {line, NoteKind::kCarriageReturns, 0};
  }
}

// A line that yields nothing and may tell why values are missing.
struct Lost {
  std::size_t line;
  std::size_t before;  // values read before it
  NoteKind kind;
  Kept shown;
};

// What is known of each of the first 15 values: its line, the statistic
// its key names, the key as a note shows it, and where its number stops
// short of the number its line shows.
struct Value {
  std::size_t line;
  int named;
  Kept key;
  NoteKind stop;  // kStop, kStopHex, or kCount where nothing was lost
  Kept stopShown;
};

// What reading a file carries from line to line.
struct Reading {
  std::size_t line;
  std::size_t sinceValue;  // lines since the last value's
  std::size_t withoutColon;
  Kept kept;  // a key's bytes, or a line's where it has no colon
  Kept head;  // a line's first bytes, whatever it holds
  Value values[kStatCount + 1];
  // For each statistic, the first line that yields nothing although its
  // key names it; the first that holds a number not read, before any value
  // and after the first.
  Lost named[kStatCount];
  Lost before;
  Lost among;
  NotText notText;
};

bool watching(const Reading &r, const ReadOutcome &outcome) {
  return outcome.values < kStatCount && r.sinceValue <= kWatchLines;
}

// The length of a word that scales a number at byte i ("10M", "1.5
// million"), which neither a letter nor a digit follows; else 0.
std::size_t scaleAt(const Kept &k, std::size_t i) {
  constexpr const char *kScales[] = {"k", "K",        "M",       "G",
                                     "T", "thousand", "million", "billion"};
  for (const char *scale : kScales) {
    const std::size_t n = std::strlen(scale);
    const std::size_t end = i + n;
    bool same = end <= k.length;
    for (std::size_t m = 0; same && m < n; ++m) {
      same =
          n == 1 ? k.bytes[i] == *scale : toLower(k.bytes[i + m]) == scale[m];
    }
    if (same && (end < k.length ? !isLetterOrDigit(k.bytes[end]) : !k.cut)) {
      return n;
    }
  }
  return 0;
}

// The bytes of the character at i: one, or a UTF-8 sequence's.
std::size_t characterAt(const Kept &k, std::size_t i) {
  const auto lead = static_cast<unsigned char>(k.bytes[i]);
  const std::size_t n = lead >= 0xf0   ? 4
                        : lead >= 0xe0 ? 3
                        : lead >= 0xc2 ? 2
                                       : 1;
  std::size_t length = 1;
  while (length < n && i + length < k.length &&
         (static_cast<unsigned char>(k.bytes[i + length]) & 0xc0) == 0x80) {
    ++length;
  }
  return length;
}

// What follows a number read, from the first byte that it left: the rest
// of its token, or where the token ends with the number, the blanks and
// the next token, up to the limit; and whether the rest of its token holds
// hexadecimal digits alone.
struct After {
  Kept bytes;
  std::size_t rest;
  bool hex;
};

// Where the number is not all the number its line shows: a digit after
// the character it stops at, hexadecimal digits to its token's end, a
// group of three digits after a space, or a word that scales it. Returns
// kStop or kStopHex with what the note shows, or kCount.
NoteKind lossOf(const NumberShape &shape, const After &a, Kept &shown) {
  const Kept &k = a.bytes;
  std::size_t show = 0;
  NoteKind kind = NoteKind::kStop;
  if (a.rest > 0) {
    const std::size_t stop = characterAt(k, 0);
    const bool digit = stop < k.length && isDigit(k.bytes[stop]);
    kind = shape.hexDigits && a.hex ? NoteKind::kStopHex : kind;
    show = kind == NoteKind::kStopHex || digit ? stop : scaleAt(k, 0);
  } else {
    std::size_t word = 0;
    while (word < k.length && isBlank(k.bytes[word])) ++word;
    // "18 227 596".
    const bool group = shape.digitsOnly >= 1 && shape.digitsOnly <= 3 &&
                       word == 1 && k.bytes[0] == ' ' && k.length >= 4 &&
                       std::all_of(k.bytes + 1, k.bytes + 4, isDigit) &&
                       (k.length == 4 || !isDigit(k.bytes[4]));
    const std::size_t scale = word > 0 ? scaleAt(k, word) : 0;
    show = group ? 1 : scale > 0 ? word + scale : 0;
  }
  if (show == 0) return NoteKind::kCount;
  keep(shown, k.bytes, k.bytes + show);
  return kind;
}

// Reads the rest of a value's line, within kReach of the token's first
// byte, `from`: what follows its number into `a`, and all of it, where
// asked, into `b`.
void readRest(Input &in, std::size_t from, After &a, BytesLook *b) {
  enum { kToken, kBlanks, kNext, kLine } part = kToken;
  for (int c; (c = peek(in)) != kEnd && c != '\n' &&
              offsetOf(in, in.next) < from + kReach;
       ++in.next) {
    if (part == kToken && isBlank(c)) part = a.rest > 0 ? kLine : kBlanks;
    if (part == kBlanks && !isBlank(c)) part = kNext;
    if (part == kNext && (isBlank(c) || a.bytes.cut)) part = kLine;
    if (part == kLine && !b) return;
    if (part == kToken) {
      ++a.rest;
      a.hex = a.hex && isHexDigit(c);
    }
    if (part != kLine) keep(a.bytes, in.next, in.next + 1);
    if (b) look(*b, c, offsetOf(in, in.next));
  }
}

// Reads a value's line from the value's first byte; its key, of
// `keyLength` bytes, is kept for the first 15 values.
void readValueLine(Input &in, Reading &r, std::size_t keyLength,
                   StatVector &results, ReadOutcome &outcome) {
  const std::size_t i = outcome.values++;
  r.sinceValue = 0;
  if (i > kStatCount) {
    dropKeeping(in);
    return;
  }
  Value &v = r.values[i];
  const Key key = lineBytes(in, r.kept, keyLength);
  v = {r.line, namedBy(key), {}, NoteKind::kCount, {}};
  // The key as a note shows it, without the blanks around it.
  std::size_t start = 0;
  std::size_t end = key.length;
  while (start < end && isBlank(key.bytes[start])) ++start;
  while (end > start && isBlank(key.bytes[end - 1])) --end;
  keep(v.key, key.bytes + start, key.bytes + end);
  v.key.cut = key.cut;
  if (i == 0) outcome.firstLine = r.line;
  if (i == kStatCount) {
    outcome.fifteenthLine = r.line;
    return;
  }
  outcome.lastLine = r.line;
  r.notText = {};
  const std::size_t from = offsetOf(in, in.next);
  NumberShape shape;
  results[i] = readNumber(in, &shape);
  After after = {};
  keep(after.bytes, shape.unread, shape.unread + shape.unreadLength);
  after.rest = shape.unreadLength;
  after.hex =
      std::all_of(shape.unread, shape.unread + shape.unreadLength, isHexDigit);
  BytesLook b = {};
  b.text = true;
  const bool looked = outcome.values < kStatCount;
  readRest(in, from, after, looked ? &b : nullptr);
  v.stop = lossOf(shape, after, v.stopShown);
  if (looked) tellBytes(b, r.line, r.notText);
}

// Takes bytes that may hide a value, up to four; returns whether a digit
// follows them: a quote, a bracket, a brace, a parenthesis, "<", or a byte
// outside printable ASCII (of a colour code, or a no-break space).
bool readWrapped(Input &in) {
  auto wraps = [](int c) {
    return (c > 0 && std::strchr("\"'[]{}()<", c) != nullptr) ||
           (c >= 0 && !isWhiteSpace(c) && (c < 0x20 || c >= 0x7f));
  };
  for (int i = 0; i < 4 && wraps(peek(in)); ++i) ++in.next;
  return isDigit(peek(in));
}

// Takes the rest of the token being kept, keeping it up to the limit.
void finishToken(Input &in, Kept &token) {
  if (in.kept) stopKeeping(in);
  for (int c; !token.cut && (c = peek(in)) != kEnd && !isWhiteSpace(c);
       ++in.next) {
    keep(token, in.next, in.next + 1);
  }
}

// Whether a digit begins a number of its own after `before`: not after a
// letter, a digit, a point or an underscore.
bool beginsNumber(int c, int before) {
  return isDigit(c) && !isLetterOrDigit(before) && before != '.' &&
         before != '_';
}

// Whether a number comes on the line from the first byte of the token
// being kept, at `from`, within kReach of it; the token is kept.
bool numberLater(Input &in, Kept &token, std::size_t from) {
  flushKeeping(in);
  int before = ' ';
  for (std::size_t i = 0; i < token.length; ++i) {
    int c = static_cast<unsigned char>(token.bytes[i]);
    if (beginsNumber(c, before)) {
      finishToken(in, token);
      return true;
    }
    before = c;
  }
  bool inToken = true;
  bool later = false;
  for (int c; !later && (c = peek(in)) != kEnd && c != '\n' &&
              offsetOf(in, in.next) < from + kReach;
       before = c) {
    if (inToken && isBlank(c)) {
      stopKeeping(in);
      inToken = false;
    }
    later = beginsNumber(c, before);
    if (!later) ++in.next;
  }
  if (inToken) finishToken(in, token);
  return later;
}

// Whether a key is a number: its first byte that is not blank a digit, and
// no letter in it ("10000000 : Total instructions").
bool isNumber(const Key &key) {
  const char *end = key.bytes + key.length;
  const char *p = std::find_if_not(key.bytes, end, isBlank);
  return p < end && isDigit(*p) && std::none_of(p, end, isLetter);
}

// The slot that a line yielding nothing may take: where its key names a
// statistic, that statistic's; where it names none, the one for its place,
// before the first value or after it. Null where that slot is taken.
Lost *slotFor(Reading &r, int named, const ReadOutcome &outcome) {
  Lost *slot = named != kNamesNone   ? &r.named[named]
               : outcome.values == 0 ? &r.before
                                     : &r.among;
  return slot->line == 0 ? slot : nullptr;
}

// Reads what a line that has a colon and yields nothing holds in place of
// a value, from the first byte after the colon that is not blank, into
// its slot where it may tell why a value is missing: its key names a
// statistic, or it holds a number that was not read.
void readOtherLine(Input &in, Reading &r, LineStart start,
                   std::size_t keyLength, const ReadOutcome &outcome) {
  // The key's bytes may stand in the window, which reading on reads over.
  const Key key = lineBytes(in, r.kept, keyLength);
  const int named = namedBy(key);
  const bool keyNumber = isNumber(key);
  Lost *slot = slotFor(r, named, outcome);
  if (!slot) return;
  const std::size_t from = offsetOf(in, in.next);
  const int c = peek(in);
  Lost lost = {r.line, outcome.values, NoteKind::kNotANumber, {}};
  bool number = true;
  if (c == kEnd || c == '\n') {
    number = keyNumber;
    lost.kind = number ? NoteKind::kNumberFirst : NoteKind::kNoValue;
  } else if (start == LineStart::kEmptyKey && isDigit(c)) {
    lost.kind = NoteKind::kNoKey;
  } else {
    startKeeping(in, lost.shown);
    if (mayBeginNumber(c) ? readLead(in) : readWrapped(in)) {
      finishToken(in, lost.shown);
      lost.kind = NoteKind::kSkipped;
    } else if (keyNumber) {
      lost.kind = NoteKind::kNumberFirst;
    } else {
      number = numberLater(in, lost.shown, from);
    }
    dropKeeping(in);
  }
  if (named != kNamesNone || number) *slot = lost;
}

// Reads a line without a colon, just taken, for a number at its end.
void readLineWithoutColon(Input &in, Reading &r, Tail &tail,
                          const ReadOutcome &outcome) {
  const char *end = in.next;
  if (end > in.keptFrom && end[-1] == '\n') --end;
  addToTail(in, in.keptFrom, end, tail);
  // The line without the white space at its end.
  const Key line = lineBytes(in, r.kept, tail.length);
  // A digit, or a digit and "%" ("9.176 %").
  if (!isDigit(tail.last) && !(tail.last == '%' && isDigit(tail.before))) {
    return;
  }
  Lost *slot = slotFor(r, namedBy(line), outcome);
  if (!slot) return;
  *slot = {r.line, outcome.values, NoteKind::kNoColon, {}};
  keep(slot->shown, line.bytes, line.bytes + line.length);
  slot->shown.cut = line.cut;
}

// Reads a line from its first byte, which is not a line feed, as far as it
// carries a value, or, watched, as far as it tells why one is missing.
void readLine(Input &in, Reading &r, bool watch, StatVector &results,
              ReadOutcome &outcome) {
  startKeeping(in, r.kept);
  Tail tail = {kEnd, kEnd, 0};
  const LineStart start = takeKey(in, watch ? &tail : nullptr);
  r.withoutColon = start == LineStart::kNoColon ? r.withoutColon + 1 : 0;
  if (start == LineStart::kNoColon) {
    if (watch) {
      readLineWithoutColon(in, r, tail, outcome);
    } else {
      dropKeeping(in);
    }
    return;
  }
  const std::size_t keyLength = keptUpTo(in, in.next - 1);
  int c;
  while (isBlank(c = peek(in))) ++in.next;
  if (isDigit(c) && start == LineStart::kKey) {
    in.line = nullptr;
    readValueLine(in, r, keyLength, results, outcome);
  } else if (watch) {
    readOtherLine(in, r, start, keyLength, outcome);
  } else {
    dropKeeping(in);
  }
  // What follows on the line is never read.
  skipLine(in);
}

// Takes a line from its first byte. The first bytes of a watched line that
// carries no value tell, where no line since the last value has, whether
// they are text.
void takeLine(Input &in, Reading &r, StatVector &results,
              ReadOutcome &outcome) {
  const bool watch = watching(r, outcome);
  const std::size_t start = offsetOf(in, in.next);
  if (watch && r.notText.line == 0) startKeepingLine(in, r.head);
  readLine(in, r, watch, results, outcome);
  if (in.line) {
    stopKeepingLine(in);
    // Without the line feed that ends the line.
    std::size_t length = r.head.length;
    if (length > 0 && r.head.bytes[length - 1] == '\n') --length;
    BytesLook b = {};
    for (std::size_t i = 0; i < length; ++i) {
      look(b, static_cast<unsigned char>(r.head.bytes[i]), start + i);
    }
    tellBytes(b, r.line, r.notText);
  }
}

std::size_t countLineFeeds(const char *from, const char *to) {
  std::size_t count = 0;
  for (const char *p = from; p < to; ++p) count += *p == '\n' ? 1 : 0;
  return count;
}

// Takes the whole lines ahead in the window that carry no value, while
// none is watched, in a loop that keeps the window in registers: a line at
// a time, and after kTakenAtOnceAfter lines in a row without a colon, all
// up to the next colon at once. Stops at a line that carries a value, or
// that goes on past the window. Returns how many it took.
std::size_t takeLinesWithoutValue(Input &in, std::size_t &withoutColon) {
  const char *p = in.next;
  const char *const end = in.end;
  std::size_t lines = 0;
  for (;;) {
    if (withoutColon >= kTakenAtOnceAfter) {
      const auto *colon = static_cast<const char *>(
          std::memchr(p, ':', static_cast<std::size_t>(end - p)));
      const auto *last = static_cast<const char *>(memrchr(
          p, '\n', static_cast<std::size_t>((colon ? colon : end) - p)));
      if (last) {
        lines += countLineFeeds(p, last + 1);
        p = last + 1;
      }
      if (!colon) break;
      withoutColon = 0;
    }
    const auto *newline = static_cast<const char *>(
        std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    if (!newline) break;
    const auto *colon = static_cast<const char *>(
        std::memchr(p, ':', static_cast<std::size_t>(newline - p)));
    withoutColon = colon ? 0 : withoutColon + 1;
    if (colon && colon > p) {
      const char *t = colon + 1;
      while (t < newline && isBlank(*t)) ++t;
      if (isDigit(*t)) break;
    }
    p = newline + 1;
    ++lines;
  }
  in.next = p;
  return lines;
}

void readLines(Input &in, Reading &r, StatVector &results,
               ReadOutcome &outcome) {
  r.line = 1;
  r.sinceValue = 1;
  while (peek(in) != kEnd) {
    std::size_t taken =
        watching(r, outcome) ? 0 : takeLinesWithoutValue(in, r.withoutColon);
    if (taken == 0) {
      takeLine(in, r, results, outcome);
      taken = 1;
    }
    r.line += taken;
    r.sinceValue += taken;
  }
}

// How the first line of a Git LFS pointer begins, which a checkout holds
// in place of a file that Git LFS stores elsewhere.
constexpr char kGitLfsPointer[] = "version https://git-lfs.github.com/";

ReadNote &addNote(ReadOutcome &outcome, std::size_t line, NoteKind kind,
                  std::size_t position, const Kept &shown) {
  ReadNote &note = outcome.notes[outcome.noteCount++];
  note = {line, kind, position, shown};
  return note;
}

// The first of the first 14 values whose key does not name its place:
// names another statistic, or names none where the next value's key that
// names one names its place (an extra line, or the first of several);
// kStatCount where none. Sets `named` where a key before it names one.
std::size_t movedAt(const Reading &r, std::size_t values, bool &named) {
  const std::size_t known = std::min(values, kStatCount + 1);
  for (std::size_t i = 0; i < std::min(values, kStatCount); ++i) {
    const int p = r.values[i].named;
    named = named || p != kNamesNone;
    std::size_t next = i + 1;
    while (next < known && r.values[next].named == kNamesNone) ++next;
    if (p != kNamesNone
            ? p != static_cast<int>(i)
            : next < known && r.values[next].named == static_cast<int>(i)) {
      return i;
    }
  }
  return kStatCount;
}

// The line that tells why values are missing, where one does: of the
// lines whose key names a statistic that no value's key names, the first;
// in a file without values where there is none, the first that holds a
// number; and where the keys do not `agree`, the first among the values
// where the next value is read a place too early (its key names a later
// statistic, or none), if that comes first.
const Lost *lostLine(const Reading &r, const ReadOutcome &outcome, bool agree) {
  unsigned given = 0;
  for (std::size_t i = 0; i < std::min(outcome.values, kStatCount + 1); ++i) {
    if (r.values[i].named != kNamesNone) given |= 1u << r.values[i].named;
  }
  const Lost *first = nullptr;
  for (std::size_t p = 0; p < kStatCount; ++p) {
    const Lost &lost = r.named[p];
    if (lost.line != 0 && (given >> p & 1) == 0 &&
        (!first || lost.line < first->line)) {
      first = &lost;
    }
  }
  if (outcome.values == 0) return first ? first : &r.before;
  const int next = r.values[std::min(r.among.before, kStatCount)].named;
  const bool among =
      !agree && r.among.line != 0 && r.among.line < outcome.lastLine &&
      (next == kNamesNone || next > static_cast<int>(r.among.before));
  return among && (!first || r.among.line < first->line) ? &r.among : first;
}

// The notes, from what was read: where values were misread or moved, and
// where the file has fewer than 14, the line that tells why, where the
// bytes stop being text lines, and the count.
void tell(const Input &in, const Reading &r, ReadOutcome &outcome) {
  const std::size_t values = outcome.values;
  const std::size_t lines = r.line - 1;
  const bool lfs =
      in.read >= sizeof kGitLfsPointer - 1 &&
      std::memcmp(in.head, kGitLfsPointer, sizeof kGitLfsPointer - 1) == 0;
  bool named = false;
  const std::size_t moved = movedAt(r, values, named);
  const bool extra = moved < kStatCount && r.values[moved].named == kNamesNone;
  NotText notText = r.notText;
  if (notText.kind == NoteKind::kOnlyNul && in.notNulEnd >= notText.nulAt) {
    notText.kind = NoteKind::kNotText;
  }
  if (values >= kStatCount || lfs) notText.line = 0;
  for (std::size_t i = 0; i < std::min(values, kStatCount) && !lfs; ++i) {
    const Value &v = r.values[i];
    if (i == moved) {
      addNote(outcome, v.line, extra ? NoteKind::kExtra : NoteKind::kKey, i,
              v.key);
    }
    if (v.stop != NoteKind::kCount && !(i == moved && extra)) {
      addNote(outcome, v.line, v.stop, i, v.stopShown);
    }
  }
  // Where every key that names a statistic names its own, none went
  // missing among the values: the file ends early, as its count says,
  // unless a line names a statistic that no value gave.
  const Lost *lost = values < kStatCount && !lfs && !(values == 0 && lines <= 2)
                         ? lostLine(r, outcome, named && moved == kStatCount)
                         : nullptr;
  if (lost && lost->line != 0 &&
      (notText.line == 0 || lost->line < notText.line)) {
    addNote(outcome, lost->line, lost->kind, 0, lost->shown);
  }
  if (notText.line > 1) addNote(outcome, notText.line, notText.kind, 0, {});
  // In line order, each after the notes made before it on its line.
  ReadNote *notes = outcome.notes;
  for (std::size_t i = 1; i < outcome.noteCount; ++i) {
    for (std::size_t j = i; j > 0 && notes[j - 1].line > notes[j].line; --j) {
      std::swap(notes[j - 1], notes[j]);
    }
  }
  if (values == kStatCount) return;
  const NoteKind place = values > kStatCount ? NoteKind::kFirstAndFifteenth
                         : lfs               ? NoteKind::kGitLfs
                         : notText.line == 1 ? notText.kind
                         : values > 0        ? NoteKind::kLastOn
                         : in.read == 0      ? NoteKind::kEmpty
                         : lines <= 2        ? NoteKind::kHoldsOnly
                                             : NoteKind::kCount;
  ReadNote &count = addNote(outcome, 0, place, 0, {});
  if (place == NoteKind::kHoldsOnly) {
    // The whole file, as far as its head holds it, without the white space
    // at its end; a file of white space alone, as it is.
    const std::size_t shown = in.textEnd > 0 ? in.textEnd : in.read;
    const auto *head = reinterpret_cast<const char *>(in.head);
    keep(count.shown, head, head + std::min(shown, Kept::kLimit));
    count.shown.cut = shown > Kept::kLimit || in.read > kHeadReach;
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
  Reading r = {};
  readLines(in, r, results, outcome);
  tell(in, r, outcome);
  outcome.bytes = in.read;
  outcome.error = in.error;
  // Everything has been read; closing a file that was only read loses
  // nothing, whatever close says.
  (void)close(fd);
  return outcome;
}
