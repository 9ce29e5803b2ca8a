// Fuzzes the results reader. Beyond "no crash", every input must satisfy:
// - the values, their count, their lines and the notes are those of a
//   plain model of the file format and of where something was lost, which
//   reads the text a whole line at a time and each value as strtod reads
//   its token;
// - no value is written outside positions 0 to 13;
// - reading through a buffer of any size yields the same, and so does
//   turning every line feed into a carriage return and a line feed.
// The byte 0xff followed by n and c stands for c repeated (n + 1) * 32
// times, so that short inputs reach tokens of many thousands of digits.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "results_reader.h"
#include "statistics.h"

namespace {

constexpr std::size_t kMaxText = 64 * 1024;
constexpr std::size_t kShown = Kept::kLimit;
constexpr std::size_t kReach = 1024;
constexpr std::size_t kWatched = 64;
constexpr int kNone = -1;

// The vector sits between guards, so that a write past either end of it
// shows as a changed guard rather than passing unseen inside the object.
struct Guarded {
  double before[4];
  StatVector values;
  double after[4];
};

constexpr double kGuard = -12345.0;

struct Read {
  Guarded g;
  ReadOutcome o = {};
};

Read fresh() {
  Read r;
  for (double &d : r.g.before) d = kGuard;
  for (double &d : r.g.after) d = kGuard;
  r.g.values.fill(std::numeric_limits<double>::quiet_NaN());
  return r;
}

void check(bool ok, const char *what) {
  if (!ok) {
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
  }
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlnum(char c) { return std::isalnum(static_cast<unsigned char>(c)); }
bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)); }

Kept kept(const std::string &s, bool cut = false) {
  Kept k = {};
  k.cut = cut || s.size() > kShown;
  k.length = std::min(s.size(), kShown);
  std::memcpy(k.bytes, s.data(), k.length);
  return k;
}

// The length of a word that scales a number at byte i of what is kept,
// which neither a letter nor a digit follows, else 0.
std::size_t scale(const Kept &k, std::size_t i) {
  for (const char *w :
       {"k", "K", "M", "G", "T", "thousand", "million", "billion"}) {
    std::size_t n = std::strlen(w);
    bool same = i + n <= k.length;
    for (std::size_t m = 0; same && m < n; ++m)
      same = n == 1 ? k.bytes[i] == *w : std::tolower(k.bytes[i + m]) == w[m];
    if (same && (i + n < k.length ? !isAlnum(k.bytes[i + n]) : !k.cut))
      return n;
  }
  return 0;
}

// The statistic that the first 32 bytes of a key name by their words.
int named(const std::string &key) {
  auto words = [](const std::string &s, bool cut) {
    std::string w;
    char before = ' ';
    bool in = false;
    for (std::size_t i = 0; i < s.size() && i < kShown; before = s[i++]) {
      char c = s[i];
      if (!isAlnum(c) && c != '%') {
        in = false;
        continue;
      }
      if (!w.empty() && (!in || c == '%' || before == '%' ||
                         (std::islower(before) && std::isupper(c))))
        w += ' ';
      w += static_cast<char>(std::tolower(c));
      in = true;
    }
    if (cut) w += in ? "#" : " #";
    return w + ' ';
  };
  std::string w = words(key, key.size() > kShown);
  for (std::size_t i = 0; i < w.size(); ++i) {
    if (i > 0 && w[i - 1] != ' ') continue;
    for (std::size_t p = 0; p < kStatCount; ++p) {
      for (const char *label : {kStatistics[p].key, kStatistics[p].label}) {
        if (!label) continue;
        std::string l = words(label, false);
        if (w.compare(i, l.size(), l) == 0 && w.compare(i + l.size(), 1, "%"))
          return static_cast<int>(p);
      }
    }
  }
  return kNone;
}

// Whether a token that does not begin with a digit begins with a number
// all the same, as strtod reads one that no letter or digit follows, or
// with up to four bytes that may hide one and then a digit.
bool skipped(const std::string &t) {
  char *end = nullptr;
  std::strtod(t.c_str(), &end);
  auto n = static_cast<std::size_t>(end - t.c_str());
  if (n > 0 && std::strchr("+-.iInN", t[0]) && !isAlnum(t[n])) return true;
  std::size_t i = 0;
  for (; i < 4 && i < t.size(); ++i) {
    auto c = static_cast<unsigned char>(t[i]);
    if (!std::strchr("\"'[]{}()<", c) && c >= 0x20 && c < 0x7f) break;
  }
  return i > 0 && i < t.size() && isDigit(t[i]);
}

// The first line since the last value whose bytes are not text lines.
struct NotText {
  std::size_t line, nulAt;
  NoteKind kind;
};

// What the bytes of a line are: the first NUL and whether NULs alternate
// from it, and whether text, a carriage return and text stand on it.
struct Bytes {
  std::size_t nulAt = 0;
  std::size_t since = 0;
  bool alternates = true;
  bool text = false, cr = false, crLine = false;
  void add(const std::string &s, std::size_t offset) {
    for (std::size_t i = 0; i < s.size(); ++i) {
      char c = s[i];
      if (nulAt) {
        if (since < 8)
          alternates = alternates && (c == 0) == (++since % 2 == 0);
      } else if (c == 0) {
        nulAt = offset + i + 1;
      } else if (c == '\r') {
        cr = cr || text;
      } else if (!isBlank(c) && c != '\n') {
        crLine = crLine || cr;
        text = true;
      }
    }
  }
  void tell(std::size_t line, NotText &first) const {
    if (nulAt)
      first = {
          line, nulAt,
          alternates && since >= 2 ? NoteKind::kUtf16 : NoteKind::kOnlyNul};
    else if (crLine)
      first = {line, 0, NoteKind::kCarriageReturns};
  }
};

struct Lost {
  std::size_t line = 0, before = 0;
  NoteKind kind = NoteKind::kCount;
  std::string shown;
};

struct Value {
  std::size_t line = 0;
  int named = kNone;
  Kept key = {};
  NoteKind stop = NoteKind::kCount;
  Kept stopShown = {};
};

// Where the number that strtod reads of a value's token is not all the
// number its line shows, from what follows it: the `rest` of its token, or
// where that is empty, `after` it, the blanks and the next token.
NoteKind loss(const std::string &number, const std::string &rest,
              const std::string &after, Kept &shown) {
  shown = {};
  std::size_t show = 0;
  NoteKind kind = NoteKind::kStop;
  if (!rest.empty()) {
    Kept k = kept(rest);
    auto lead = static_cast<unsigned char>(rest[0]);
    std::size_t n = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc2 ? 2 : 1;
    std::size_t stop = 1;
    while (stop < n && stop < k.length &&
           (static_cast<unsigned char>(rest[stop]) & 0xc0) == 0x80)
      ++stop;
    bool hex = std::all_of(number.begin(), number.end(), isHex) &&
               std::all_of(rest.begin(), rest.end(), isHex);
    if (hex) kind = NoteKind::kStopHex;
    show = hex || (stop < k.length && isDigit(rest[stop])) ? stop : scale(k, 0);
  } else {
    Kept k = kept(after);
    std::size_t word = 0;
    while (word < k.length && isBlank(k.bytes[word])) ++word;
    bool digits = !number.empty() && number.size() <= 3 &&
                  std::all_of(number.begin(), number.end(), isDigit);
    bool group = digits && word == 1 && after[0] == ' ' && k.length >= 4 &&
                 isDigit(after[1]) && isDigit(after[2]) && isDigit(after[3]) &&
                 (k.length == 4 || !isDigit(after[4]));
    std::size_t s = word > 0 ? scale(k, word) : 0;
    show = group ? 1 : s > 0 ? word + s : 0;
  }
  if (show == 0) return NoteKind::kCount;
  shown = kept(rest.empty() ? after.substr(0, show) : rest.substr(0, show));
  return kind;
}

ReadNote note(std::size_t line, NoteKind kind, std::size_t position,
              const Kept &shown) {
  return {line, kind, position, shown};
}

// The file format and the notes, read the simple way: a line at a time.
Read model(const std::string &text) {
  Read r = fresh();
  std::size_t &count = r.o.values;
  Value values[kStatCount + 1];
  Lost lostNamed[kStatCount], lostBefore, lostAmong;
  NotText notText = {0, 0, NoteKind::kCount};
  std::size_t since = 1, lines = 0;
  for (std::size_t start = 0, line = 1; start < text.size(); ++line) {
    std::size_t stop = std::min(text.find('\n', start), text.size());
    std::string s = text.substr(start, stop - start);
    lines = line;
    bool watch = count < kStatCount && since <= kWatched;
    std::size_t colon = s.find(':');
    std::size_t t = colon == std::string::npos ? s.size() : colon + 1;
    while (t < s.size() && isBlank(s[t])) ++t;
    std::string token = s.substr(t, s.find_first_of(" \t\v\f\r", t) - t);
    std::string key = s.substr(0, std::min(colon, s.size()));
    bool value = colon != std::string::npos && colon > 0 && t < s.size() &&
                 isDigit(s[t]);
    if (value) {
      std::size_t i = count++;
      since = 0;
      if (i <= kStatCount) {
        Value &v = values[i];
        v.line = line;
        v.named = named(key);
        std::string k = key.substr(0, kShown);
        std::size_t a = k.find_first_not_of(" \t\v\f\r");
        std::size_t b = k.find_last_not_of(" \t\v\f\r");
        v.key = kept(a == std::string::npos ? "" : k.substr(a, b + 1 - a),
                     key.size() > kShown);
        if (i == 0) r.o.firstLine = line;
        if (i == kStatCount) r.o.fifteenthLine = line;
      }
      if (i < kStatCount) {
        r.o.lastLine = line;
        notText.line = 0;
        char *end = nullptr;
        r.g.values[i] = std::strtod(token.c_str(), &end);
        std::size_t length = static_cast<std::size_t>(end - token.c_str());
        // The mark that the reader takes after a number where it does not
        // belong to it, which counts as the rest of the token wherever it
        // stands: "x" or "x." after a 0, an exponent's letter and its sign.
        bool hex = length > 2 && std::tolower(token[1]) == 'x';
        std::size_t mark = 0;
        if (length == 1 && token[0] == '0' && std::tolower(token[1]) == 'x') {
          mark = token[2] == '.' ? 2 : 1;
        } else if (std::tolower(token[length]) == (hex ? 'p' : 'e') &&
                   token.find_first_of(hex ? "pP" : "eE") >= length) {
          mark = token[length + 1] == '+' || token[length + 1] == '-' ? 2 : 1;
        }
        std::size_t within = std::max(length + mark, kReach);
        std::string rest = token.substr(length, within - length);
        std::string after;
        if (rest.empty()) {
          std::size_t e = t + token.size();
          std::size_t to = std::min(s.size(), t + kReach);
          std::size_t w = e;
          while (w < to && isBlank(s[w])) ++w;
          while (w < to && !isBlank(s[w])) ++w;
          after = s.substr(e, std::min(w, e + kShown + 1) - e);
        }
        values[i].stop =
            loss(token.substr(0, length), rest, after, values[i].stopShown);
        if (count < kStatCount) {
          Bytes b;
          b.text = true;
          std::size_t from = t + length;
          std::size_t to = std::min(s.size(), t + std::max(kReach, length));
          b.add(s.substr(from, to > from ? to - from : 0), start + from);
          b.tell(line, notText);
        }
      }
    } else if (watch) {
      bool noColon = colon == std::string::npos;
      std::string k = noColon ? s : key;
      std::size_t last = s.find_last_not_of(" \t\v\f\r");
      if (noColon) k = last == std::string::npos ? "" : s.substr(0, last + 1);
      int p = named(k);
      Lost *slot = p != kNone   ? &lostNamed[p]
                   : count == 0 ? &lostBefore
                                : &lostAmong;
      if (slot->line == 0) {
        Lost lost;
        lost.line = line;
        lost.before = count;
        bool number = true;
        std::string kk = k.substr(0, kShown);
        std::size_t a = kk.find_first_not_of(" \t\v\f\r");
        bool keyNumber = a != std::string::npos && isDigit(kk[a]) &&
                         std::none_of(kk.begin(), kk.end(), [](char c) {
                           return std::isalpha(static_cast<unsigned char>(c));
                         });
        if (noColon) {
          char l = last == std::string::npos ? 0 : s[last];
          std::size_t b = last == std::string::npos || last == 0
                              ? std::string::npos
                              : s.find_last_not_of(" \t\v\f\r", last - 1);
          number = isDigit(l) ||
                   (l == '%' && b != std::string::npos && isDigit(s[b]));
          lost.kind = NoteKind::kNoColon;
          lost.shown = k;
        } else if (t == s.size()) {
          number = keyNumber;
          lost.kind = number ? NoteKind::kNumberFirst : NoteKind::kNoValue;
        } else if (colon == 0 && isDigit(s[t])) {
          lost.kind = NoteKind::kNoKey;
        } else if (skipped(token)) {
          lost.kind = NoteKind::kSkipped;
          lost.shown = token;
        } else if (keyNumber) {
          lost.kind = NoteKind::kNumberFirst;
        } else {
          lost.kind = NoteKind::kNotANumber;
          lost.shown = token;
          number = false;
          for (std::size_t q = t; q < s.size() && q < t + kReach; ++q) {
            char before = q == t ? ' ' : s[q - 1];
            number = number || (isDigit(s[q]) && !isAlnum(before) &&
                                before != '.' && before != '_');
          }
        }
        if ((p != kNone && !noColon) || number) *slot = lost;
      }
      if (notText.line == 0) {
        Bytes b;
        b.add(s.substr(0, kShown), start);
        b.tell(line, notText);
      }
    }
    ++since;
    start = stop + 1;
  }

  r.o.bytes = text.size();
  const char lfs[] = "version https://git-lfs.github.com/";
  bool isLfs = text.compare(0, sizeof lfs - 1, lfs) == 0;
  if (notText.kind == NoteKind::kOnlyNul &&
      text.find_first_not_of('\0', notText.nulAt - 1) != std::string::npos)
    notText.kind = NoteKind::kNotText;
  if (count >= kStatCount || isLfs) notText.line = 0;
  std::vector<ReadNote> notes;
  // The first value whose key does not name its place: another, or none
  // where the next key that names one names its place.
  std::size_t moved = kStatCount;
  bool anyNamed = false;
  std::size_t known = std::min(count, kStatCount + 1);
  for (std::size_t i = 0; i < std::min(count, kStatCount); ++i) {
    anyNamed = anyNamed || values[i].named != kNone;
    std::size_t next = i + 1;
    while (next < known && values[next].named == kNone) ++next;
    if (values[i].named != kNone
            ? values[i].named != static_cast<int>(i)
            : next < known && values[next].named == static_cast<int>(i)) {
      moved = i;
      break;
    }
  }
  bool extra = moved < kStatCount && values[moved].named == kNone;
  for (std::size_t i = 0; i < std::min(count, kStatCount) && !isLfs; ++i) {
    const Value &v = values[i];
    if (i == moved)
      notes.push_back(
          note(v.line, extra ? NoteKind::kExtra : NoteKind::kKey, i, v.key));
    if (v.stop != NoteKind::kCount && !(i == moved && extra))
      notes.push_back(note(v.line, v.stop, i, v.stopShown));
  }
  // Why values are missing: the first line whose key names a statistic
  // that no value's key names; in a file without values, else the first
  // that holds a number; where keys disagree, the first among the values
  // before a value read a place too early, if that comes first.
  if (count < kStatCount && !isLfs && !(count == 0 && lines <= 2)) {
    bool agree = anyNamed && moved == kStatCount;
    const Lost *lost = nullptr;
    for (std::size_t p = 0; p < kStatCount; ++p) {
      bool given = false;
      for (std::size_t i = 0; i < known; ++i)
        given = given || values[i].named == static_cast<int>(p);
      if (lostNamed[p].line && !given &&
          (!lost || lostNamed[p].line < lost->line))
        lost = &lostNamed[p];
    }
    int next = values[std::min(lostAmong.before, kStatCount)].named;
    if (count == 0 && !lost) lost = &lostBefore;
    if (count > 0 && !agree && lostAmong.line &&
        lostAmong.line < r.o.lastLine &&
        (next == kNone || next > static_cast<int>(lostAmong.before)) &&
        (!lost || lostAmong.line < lost->line))
      lost = &lostAmong;
    if (lost && lost->line && (!notText.line || lost->line < notText.line))
      notes.push_back(note(lost->line, lost->kind, 0, kept(lost->shown)));
  }
  if (notText.line > 1)
    notes.push_back(note(notText.line, notText.kind, 0, {}));
  std::stable_sort(
      notes.begin(), notes.end(),
      [](const ReadNote &a, const ReadNote &b) { return a.line < b.line; });
  if (count != kStatCount) {
    NoteKind place = count > kStatCount  ? NoteKind::kFirstAndFifteenth
                     : isLfs             ? NoteKind::kGitLfs
                     : notText.line == 1 ? notText.kind
                     : count > 0         ? NoteKind::kLastOn
                     : text.empty()      ? NoteKind::kEmpty
                     : lines <= 2        ? NoteKind::kHoldsOnly
                                         : NoteKind::kCount;
    Kept shown = {};
    if (place == NoteKind::kHoldsOnly) {
      std::size_t last = text.substr(0, 4096).find_last_not_of(" \t\v\f\r\n");
      shown = kept(last == std::string::npos ? text : text.substr(0, last + 1),
                   text.size() > 4096);
    }
    notes.push_back(note(0, place, 0, shown));
  }
  std::copy(notes.begin(), notes.end(), r.o.notes);
  r.o.noteCount = notes.size();
  return r;
}

// Reads the text through a buffer of `size` bytes, an allocation of
// exactly its size, so that a read before or after it is caught by the
// address sanitizer.
Read readThrough(const std::string &text, std::size_t size) {
  Read r = fresh();
  int fd = memfd_create("results", 0);
  check(fd >= 0 &&
            write(fd, text.data(), text.size()) ==
                static_cast<ssize_t>(text.size()) &&
            lseek(fd, 0, SEEK_SET) == 0,
        "memfd");
  std::vector<char> buffer(size);
  r.o = resval(fd, r.g.values, buffer.data(), size);
  check(r.o.error == 0, "read error");
  return r;
}

// Whether a kind of note shows bytes, and the value's place.
bool shows(NoteKind k) {
  return k == NoteKind::kStop || k == NoteKind::kStopHex ||
         k == NoteKind::kKey || k == NoteKind::kExtra ||
         k == NoteKind::kSkipped || k == NoteKind::kNotANumber ||
         k == NoteKind::kNoColon || k == NoteKind::kHoldsOnly;
}

// Same bits: a NaN matches a NaN, and 0 and -0 differ.
void expectSame(const Read &a, const Read &b, const char *what) {
  for (double d : a.g.before) check(d == kGuard, "written before position 0");
  for (double d : a.g.after) check(d == kGuard, "written past position 13");
  check(std::memcmp(a.g.values.data(), b.g.values.data(),
                    sizeof(double) * kStatCount) == 0,
        what);
  const ReadOutcome &x = a.o;
  const ReadOutcome &y = b.o;
  check(x.values == y.values && x.bytes == y.bytes &&
            x.firstLine == y.firstLine && x.lastLine == y.lastLine &&
            x.fifteenthLine == y.fifteenthLine && x.noteCount == y.noteCount,
        what);
  for (std::size_t i = 0; i < x.noteCount; ++i) {
    const ReadNote &m = x.notes[i];
    const ReadNote &n = y.notes[i];
    check(m.line == n.line && m.kind == n.kind, what);
    if (m.kind <= NoteKind::kExtra) check(m.position == n.position, what);
    if (shows(m.kind)) {
      check(m.shown.cut == n.shown.cut && m.shown.length == n.shown.length &&
                std::memcmp(m.shown.bytes, n.shown.bytes, m.shown.length) == 0,
            what);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes,
                                      std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the buffer's size; the rest is the file.
  std::size_t bufferSize = bytes[0] % 64 + 1;
  std::string text;
  for (std::size_t i = 1; i < size && text.size() < kMaxText; ++i) {
    if (bytes[i] == 0xff && i + 2 < size) {
      text.append((bytes[i + 1] + 1u) * 32, static_cast<char>(bytes[i + 2]));
      i += 2;
    } else {
      text += static_cast<char>(bytes[i]);
    }
  }

  const Read expected = model(text);
  expectSame(readThrough(text, kReadBufferSize), expected,
             "whole text against the model");
  expectSame(readThrough(text, bufferSize), expected,
             "buffer against the model");

  std::string crlf;
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  Read expectedCrlf = model(crlf);
  expectSame(readThrough(crlf, bufferSize), expectedCrlf,
             "CRLF against the model");
  return 0;
}
