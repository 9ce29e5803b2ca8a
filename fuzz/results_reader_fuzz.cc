// Fuzzes the results reader. Beyond "no crash", every input must satisfy:
// - the values, their count, their lines and the notes are those of a
//   plain model of the file format, which takes each value as strtod of the
//   whole token, notes where it stops early, and notes a token that does
//   not begin with a digit when strtod reads a number from it that no
//   letter or digit follows, or when a digit follows up to four bytes that
//   may hide it, notes the first key of the first 14 values that names
//   one of the table's statistics at another's place, and, when the file
//   has fewer than 14 values, the first line that tells why (from the first
//   value on, where it has values): a line without a colon that ends with a
//   number, a value line with more numbers after its token, or a word after
//   the first colon with a number later on the line; or in place of any,
//   the last line, where carriage returns alone begin; and tells the
//   file's kind, a Git LFS pointer without notes;
// - no value is written outside positions 0 to 13;
// - reading through a buffer of any size yields the same, and so does
//   turning every line feed into a carriage return and a line feed.
// The byte 0xff followed by n and c stands for c repeated (n + 1) * 32
// times, so that short inputs reach tokens of many thousands of digits.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "results_reader.h"

namespace {

constexpr std::size_t kMaxText = 64 * 1024;

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

// Where a number stops that the file most likely meant to go on: the
// number's text, and the line's bytes from its end to the line's end.
char stopOf(const std::string &number, const char *a, const char *end) {
  auto at = [&](std::size_t i) { return a + i < end ? a[i] : '\n'; };
  bool point = number.find('.') != std::string::npos;
  if ((at(0) == ',' || at(0) == ':' || (at(0) == '.' && point)) &&
      isDigit(at(1)))
    return at(0);
  if (std::isalpha(static_cast<unsigned char>(at(0))) && isDigit(at(1)))
    return at(0);
  if (std::strchr("MkKG", at(0)) && at(0) != '\0' && !isAlnum(at(1)))
    return at(0);
  bool digits = number.size() >= 1 && number.size() <= 3;
  for (char c : number) digits = digits && isDigit(c);
  std::size_t space = 0;
  for (const char *s : {" ", "\xc2\xa0", "\xe2\x80\xaf"}) {
    if (std::string(a, std::min<std::size_t>(end - a, 3)).rfind(s, 0) == 0)
      space = std::strlen(s);
  }
  if (digits && space && isDigit(at(space)) && isDigit(at(space + 1)) &&
      isDigit(at(space + 2)) && !isDigit(at(space + 3)))
    return ' ';
  return '\0';
}

// Up to four quotes, brackets, braces, parentheses, "<" or bytes outside
// printable ASCII, and then a digit.
bool hidesValue(const std::string &token) {
  std::size_t i = 0;
  for (; i < 4 && i < token.size(); ++i) {
    auto c = static_cast<unsigned char>(token[i]);
    if (!std::strchr("\"'[]{}()<", c) && c >= 0x20 && c < 0x7f) break;
  }
  return i > 0 && i < token.size() && isDigit(token[i]);
}

// The position of the statistic that a key's first bytes name by their
// words, the first label in the key, or -1. A key cut short may go on with
// its last word.
int named(const std::string &head, bool cut) {
  std::string words = " ";
  for (std::size_t i = 0; i < head.size(); ++i) {
    auto c = static_cast<unsigned char>(head[i]);
    if (!std::isalnum(c)) {
      words += ' ';
      continue;
    }
    if (std::isupper(c) && i > 0 &&
        std::islower(static_cast<unsigned char>(head[i - 1])))
      words += ' ';
    words += static_cast<char>(std::tolower(c));
  }
  words += cut ? '#' : ' ';
  std::string single;
  for (char c : words) {
    if (c != ' ' || single.empty() || single.back() != ' ') single += c;
  }
  const std::pair<const char *, int> labels[] = {
      {" cpi ", 2},           {" unique pc ", 3},   {" perc alu op ", 9},
      {" perc ld op ", 10},   {" perc st op ", 11}, {" perc cbr op ", 12},
      {" perc other op ", 13}};
  std::size_t first = std::string::npos;
  int position = -1;
  for (const auto &label : labels) {
    std::size_t at = single.find(label.first);
    if (at < first) {
      first = at;
      position = label.second;
    }
  }
  return position;
}

ReadNote &note(Read &r, std::size_t line) {
  ReadNote &n = r.o.notes[r.o.noteCount++];
  n.line = line;
  return n;
}

// A line that may tell why a file has few values, and how many notes come
// before it.
struct Why {
  ReadNote note;
  std::size_t at;
};

void hold(Why &why, const Read &r, std::size_t line, NoteKind kind) {
  why.note.line = line;
  why.note.kind = kind;
  why.at = r.o.noteCount;
}

// Whether a digit that follows no letter, digit, point or underscore
// stands among the bytes from t, within 1 KiB of it.
bool numberFrom(const std::string &text, std::size_t t, std::size_t stop) {
  char before = ' ';
  for (std::size_t p = t; p < stop && p < t + 1024; ++p) {
    if (isDigit(text[p]) && !isAlnum(before) && before != '.' && before != '_')
      return true;
    before = text[p];
  }
  return false;
}

// The file format read the simple way: a line at a time, each token whole.
Read model(const std::string &text) {
  Read r = fresh();
  std::size_t skipped = 0;
  bool keyNoted = false;
  Why whyNone = {}, why = {}, fromHere = {};
  std::size_t lines = 0;
  for (std::size_t start = 0, line = 1;; ++line) {
    std::size_t stop = text.find('\n', start);
    if (stop == std::string::npos) stop = text.size();
    if (start < text.size()) lines = line;
    const char *colon = static_cast<const char *>(
        std::memchr(text.data() + start, ':', stop - start));
    Why &slot = r.o.values == 0 ? whyNone : why;
    bool watchWhy = r.o.values < kStatCount && slot.note.line == 0;
    if (!colon && watchWhy) {
      std::size_t to = stop;
      while (to > start && isBlank(text[to - 1])) --to;
      std::size_t before = to > start ? to - 1 : start;
      while (before > start && isBlank(text[before - 1])) --before;
      if (to > start &&
          (isDigit(text[to - 1]) || (text[to - 1] == '%' && before > start &&
                                     isDigit(text[before - 1])))) {
        hold(slot, r, line, NoteKind::kNoColon);
        slot.note.token.cut = to - start > Kept::kLimit;
        slot.note.token.length = std::min(to - start, Kept::kLimit);
        std::memcpy(slot.note.token.bytes, text.data() + start,
                    slot.note.token.length);
      }
    }
    if (colon && colon > text.data() + start) {
      std::size_t t = static_cast<std::size_t>(colon - text.data()) + 1;
      while (t < stop && isBlank(text[t])) ++t;
      std::size_t e = t;
      while (e < stop && !isBlank(text[e])) ++e;
      std::string token = text.substr(t, e - t);
      char *after = nullptr;
      double value = std::strtod(token.c_str(), &after);
      std::size_t &count = r.o.values;
      if (t < stop && isDigit(text[t])) {
        auto keyLength =
            static_cast<std::size_t>(colon - (text.data() + start));
        std::string head =
            text.substr(start, std::min<std::size_t>(32, keyLength));
        int position = named(head, keyLength > 32);
        if (count < kStatCount && !keyNoted && position >= 0 &&
            static_cast<std::size_t>(position) != count) {
          keyNoted = true;
          std::size_t from = 0, to = head.size();
          while (to > from && isBlank(head[to - 1])) --to;
          while (from < to && isBlank(head[from])) ++from;
          ReadNote &n = note(r, line);
          n.kind = NoteKind::kKey;
          n.position = count;
          n.token.length = to - from;
          n.token.cut = keyLength > 32;
          std::memcpy(n.token.bytes, head.data() + from, to - from);
        }
        if (count == 0) r.o.firstLine = line;
        if (count < kStatCount) {
          r.o.lastLine = line;
          r.g.values[count] = value;
          std::size_t length = static_cast<std::size_t>(after - token.c_str());
          char at = stopOf(token.substr(0, length), text.data() + t + length,
                           text.data() + stop);
          if (at) {
            ReadNote &n = note(r, line);
            n.kind = NoteKind::kStop;
            n.stop = at;
            n.position = count;
          }
        }
        if (count + 1 < kStatCount) {
          char before = ' ';
          bool more = false, cr = false;
          for (std::size_t p = e; p < stop && p < t + 1024; ++p) {
            more =
                more || (isDigit(text[p]) && !isAlnum(before) && before != '.');
            cr = cr || (before == '\r' && !isBlank(text[p]));
            before = text[p];
          }
          if (more && why.note.line == 0)
            hold(why, r, line, NoteKind::kMoreNumbers);
          if (cr && fromHere.note.line == 0)
            hold(fromHere, r, line, NoteKind::kCarriageReturns);
        }
        if (++count == kStatCount + 1) r.o.fifteenthLine = line;
      } else if (((after != token.c_str() && !isAlnum(*after)) ||
                  hidesValue(token)) &&
                 count < kStatCount && skipped++ < kStatCount) {
        ReadNote &n = note(r, line);
        n.kind = NoteKind::kSkipped;
        n.token.cut = token.size() > Kept::kLimit;
        n.token.length = n.token.cut ? Kept::kLimit : token.size();
        std::memcpy(n.token.bytes, token.data(), n.token.length);
      } else if (watchWhy && t < stop &&
                 !(std::strchr("\"'[]{}()<+-.", text[t]) ||
                   static_cast<unsigned char>(text[t]) < 0x20 ||
                   static_cast<unsigned char>(text[t]) >= 0x7f) &&
                 numberFrom(text, t, stop)) {
        hold(slot, r, line, NoteKind::kNotANumber);
        slot.note.token.cut = token.size() > Kept::kLimit;
        slot.note.token.length = std::min(token.size(), Kept::kLimit);
        std::memcpy(slot.note.token.bytes, token.data(),
                    slot.note.token.length);
      }
    }
    if (stop == text.size()) break;
    start = stop + 1;
  }
  const char *utf16[] = {"\xff\xfe", "\xfe\xff"};
  const char lfs[] = "version https://git-lfs.github.com/";
  r.o.kind = FileKind::kText;
  if (lines == 1 && text.back() != '\n' &&
      text.substr(0, 4096).find('\r') != std::string::npos)
    r.o.kind = FileKind::kCarriageReturns;
  if (text.find_first_not_of('\0') == std::string::npos)
    r.o.kind = FileKind::kOnlyNul;
  for (const char *mark : utf16) {
    if (text.compare(0, 2, mark) == 0) r.o.kind = FileKind::kUtf16;
  }
  if (text.compare(0, sizeof lfs - 1, lfs) == 0) r.o.kind = FileKind::kGitLfs;
  if (text.empty()) r.o.kind = FileKind::kEmpty;
  const Why &tell = fromHere.note.line == lines && lines > 1 ? fromHere
                    : r.o.values == 0                        ? whyNone
                                                             : why;
  if (tell.note.line != 0 && r.o.values < kStatCount &&
      r.o.kind != FileKind::kCarriageReturns) {
    ReadNote *notes = r.o.notes;
    std::copy_backward(notes + tell.at, notes + r.o.noteCount,
                       notes + r.o.noteCount + 1);
    notes[tell.at] = tell.note;
    ++r.o.noteCount;
  }
  if (r.o.kind == FileKind::kGitLfs) r.o.noteCount = 0;
  return r;
}

// Reads the text through a buffer of `size` bytes, an allocation of
// exactly its size, so that a read before or after it is caught by the
// address sanitizer.
Read readThrough(std::string text, std::size_t size) {
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

// Same bits: a NaN matches a NaN, and 0 and -0 differ.
void expectSame(const Read &a, const Read &b, const char *what) {
  for (double d : a.g.before) check(d == kGuard, "written before position 0");
  for (double d : a.g.after) check(d == kGuard, "written past position 13");
  check(std::memcmp(a.g.values.data(), b.g.values.data(),
                    sizeof(double) * kStatCount) == 0,
        what);
  const ReadOutcome &x = a.o;
  const ReadOutcome &y = b.o;
  check(x.values == y.values && x.kind == y.kind &&
            x.firstLine == y.firstLine && x.lastLine == y.lastLine &&
            x.fifteenthLine == y.fifteenthLine && x.noteCount == y.noteCount,
        what);
  for (std::size_t i = 0; i < x.noteCount; ++i) {
    const ReadNote &m = x.notes[i];
    const ReadNote &n = y.notes[i];
    check(m.line == n.line && m.kind == n.kind && m.stop == n.stop &&
              (m.kind == NoteKind::kSkipped || m.position == n.position) &&
              m.token.cut == n.token.cut && m.token.length == n.token.length &&
              std::memcmp(m.token.bytes, n.token.bytes, m.token.length) == 0,
          what);
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
  expectSame(readThrough(crlf, bufferSize), expected, "CRLF against the model");
  return 0;
}
