#include "diagnostics.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "statistics.h"

namespace {

// A diagnostic, worded a piece at a time after its prefix, "grade: PATH: "
// or "grade: PATH:LINE: ", into one buffer: what does not fit is cut, and
// the longest that can come (three names, or the first 512 bytes of a link's
// text, each byte escaped) fits.
struct Message {
  Message(const char *path, std::size_t line);
  char text[4096];
  std::size_t length = 0;
};

// The compiler checks each call's arguments against its format.
// NOLINTNEXTLINE(cert-dcl50-cpp)
[[gnu::format(printf, 2, 3)]] void say(Message &m, const char *format, ...) {
  // One byte is kept for the line feed that ends the message.
  std::size_t room = sizeof m.text - 1 - m.length;
  va_list args;
  va_start(args, format);
  int size = std::vsnprintf(m.text + m.length, room, format, args);
  va_end(args);
  if (size > 0) m.length += std::min(static_cast<std::size_t>(size), room - 1);
}

Message::Message(const char *path, std::size_t line) {
  say(*this, "grade: %s", path);
  if (line > 0) say(*this, ":%zu", line);
  say(*this, ": ");
}

void sayByte(Message &m, char c) {
  if (m.length < sizeof m.text - 2) m.text[m.length++] = c;
}

bool isShown(unsigned char c) {
  return c >= 0x20 && c < 0x7f && c != '"' && c != '\\';
}

// Adds bytes with C escapes for those that would not show, or would not
// read back: \t, \r, \n, \", \\, and \xHH for every other byte outside
// printable ASCII.
void sayEscaped(Message &m, const char *bytes, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    auto c = static_cast<unsigned char>(bytes[i]);
    const char *escape = c == '\t'   ? "\\t"
                         : c == '\r' ? "\\r"
                         : c == '\n' ? "\\n"
                         : c == '"'  ? "\\\""
                         : c == '\\' ? "\\\\"
                                     : nullptr;
    if (escape) {
      say(m, "%s", escape);
    } else if (isShown(c)) {
      sayByte(m, static_cast<char>(c));
    } else {
      say(m, "\\x%02x", c);
    }
  }
}

// Adds a name from a folder as it is, or, where it holds a byte that would
// not show or begins or ends with a space, in double quotes and escaped.
void sayName(Message &m, const char *bytes, std::size_t size) {
  bool plain = size == 0 || (bytes[0] != ' ' && bytes[size - 1] != ' ');
  for (std::size_t i = 0; plain && i < size; ++i) {
    plain = isShown(static_cast<unsigned char>(bytes[i]));
  }
  if (!plain) sayByte(m, '"');
  sayEscaped(m, bytes, size);
  if (!plain) sayByte(m, '"');
}

void sayName(Message &m, const char *name) {
  sayName(m, name, std::strlen(name));
}

// Writes the message and its line feed in one write, so that no other
// output comes between its parts. A diagnostic that cannot be written is
// dropped: SIGPIPE, for a reader of standard error that has gone, and
// SIGXFSZ, for standard error a file past the size limit, are held back
// while it is written and taken back if the write raised them, so that
// the run goes on to write the table.
void send(Message &m) {
  m.text[m.length++] = '\n';
  sigset_t held;
  sigset_t before;
  (void)sigemptyset(&held);
  (void)sigaddset(&held, SIGPIPE);
  (void)sigaddset(&held, SIGXFSZ);
  (void)sigprocmask(SIG_BLOCK, &held, &before);
  const char *next = m.text;
  std::size_t left = m.length;
  while (left > 0) {
    ssize_t written = write(STDERR_FILENO, next, left);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EPIPE || errno == EFBIG)) {
      const timespec now = {0, 0};
      (void)sigtimedwait(&held, nullptr, &now);
    }
    if (written <= 0) break;
    next += written;
    left -= static_cast<std::size_t>(written);
  }
  (void)sigprocmask(SIG_SETMASK, &before, nullptr);
}

const char *reason(int error) {
  return error == kNotRegularFile ? "Not a regular file"
         : error == kWorkDone     ? "too many folders and files"
         : error == kEmptyFolder  ? "the folder is empty"
                                  : std::strerror(error);
}

// Says a row of a catalogue: its text, with each %c in it said by `fill`.
template <typename Fill>
void sayRow(Message &m, const char *text, Fill fill) {
  for (const char *p = text; *p != '\0'; ++p) {
    if (*p == '%') {
      fill(*++p);
    } else {
      sayByte(m, *p);
    }
  }
}

// A find's path, from its place: outside the results folder the place and
// the first name after it are one name as shown, "../results "/x.
void sayFound(Message &m, const Find &found) {
  if (found.place > 0) {
    char joined[sizeof(Name) + 8];
    int size = std::snprintf(joined, sizeof joined, "%s/%s", found.base,
                             found.names[0]);
    sayName(m, joined,
            std::min(static_cast<std::size_t>(std::max(size, 0)),
                     sizeof joined - 1));
  } else {
    say(m, "%s/", found.base);
    sayName(m, found.names[0]);
  }
  for (std::size_t i = 1; i <= found.depth; ++i) {
    say(m, "/");
    sayName(m, found.names[i]);
  }
}

// The wording of each kind of hint, a row each in the order of Hint::Kind.
// In a row, %f stands for what was found, %l for a link's text, %n for
// names, %e for the reason the look stopped, and %r for the results
// folder.
struct HintText {
  Hint::Kind kind;
  const char *text;
};

constexpr HintText kHintTexts[] = {
    {Hint::Kind::kNone, ""},
    {Hint::Kind::kRemoved,
     "the current folder has been removed (cd into it again)"},
    {Hint::Kind::kRunBeside, " (run grade from a folder beside results)"},
    {Hint::Kind::kLink, " (a link to %l, which does not exist)"},
    {Hint::Kind::kItself, " (a link to %l, which is itself)"},
    {Hint::Kind::kThroughLink,
     " (this folder is reached through the link %l; results is beside the "
     "link, not beside this folder)"},
    {Hint::Kind::kFound, " (found %f)"},
    {Hint::Kind::kBelong, " (found %f; the files belong in %r)"},
    {Hint::Kind::kArchive, " (found %f, an archive; unpack it into %r)"},
    {Hint::Kind::kUnpack,
     " (found %f, an archive that holds results; unpack it in ..)"},
    {Hint::Kind::kHolds, " (results holds %n)"},
    {Hint::Kind::kNotListed, " (results cannot be listed)"},
    {Hint::Kind::kStopped, " (looking for it stopped: %e)"},
    {Hint::Kind::kAlso, " (results also holds %n)"},
};

constexpr bool inHintOrder() {
  for (std::size_t i = 0; i < std::size(kHintTexts); ++i) {
    if (kHintTexts[i].kind != static_cast<Hint::Kind>(i)) return false;
  }
  return true;
}
static_assert(inHintOrder(), "a row for each kind of hint, in kind order");

void sayHint(Message &m, const Hint &hint, const char *folder) {
  sayRow(m, kHintTexts[static_cast<std::size_t>(hint.kind)].text, [&](char c) {
    constexpr std::size_t kShown = std::size(Hint{}.names);
    switch (c) {
      case 'f':
        sayFound(m, hint.found);
        break;
      case 'l':
        sayName(m, hint.link.text,
                std::min(hint.link.length, LinkText::kLimit));
        if (hint.link.length > LinkText::kLimit) say(m, "...");
        break;
      case 'n':
        for (std::size_t i = 0; i < hint.nameCount && i < kShown; ++i) {
          if (i > 0) say(m, ", ");
          sayName(m, hint.names[i]);
        }
        if (hint.nameCount > kShown) say(m, ", ...");
        break;
      case 'e':
        say(m, "%s", reason(hint.error));
        break;
      default:
        say(m, "%s", folder);
        break;
    }
  });
}

// The bytes a note shows, in double quotes with their escapes, and "..."
// after them where they are cut.
void sayShown(Message &m, const Kept &shown) {
  sayByte(m, '"');
  sayEscaped(m, shown.bytes, shown.length);
  say(m, "%s\"", shown.cut ? "..." : "");
}

// The wording of each kind of note, a row each in the order of NoteKind.
// In a row, %s stands for the bytes the note shows, %v for the value read,
// %n for the value's number, %w for what it is, and %f, %l and %x for the
// lines of the first, last and 15th value. A row that tells what the bytes
// are stands on a line after "from here ", and on the count line for the
// whole file; the count line's places stand in parentheses after it.
struct NoteText {
  NoteKind kind;
  const char *text;
  bool fromHere;
};

constexpr NoteText kNoteTexts[] = {
    {NoteKind::kStop, "number stops at %s, read as %v", false},
    {NoteKind::kStopHex,
     "number stops at %s, read as %v; it may be hexadecimal", false},
    {NoteKind::kKey,
     "%s is read as value %n, %w (values are taken in file order)", false},
    {NoteKind::kExtra, "%s is read as value %n, %w; its key names no statistic",
     false},
    {NoteKind::kSkipped, "skipped %s: a value begins with a digit", false},
    {NoteKind::kNoValue, "no value after the colon", false},
    {NoteKind::kNotANumber,
     "the value after the first colon is %s, not a number", false},
    {NoteKind::kNumberFirst, "the number stands before the colon", false},
    {NoteKind::kNoKey, "no key before the colon", false},
    {NoteKind::kNoColon, "no colon before the number: %s", false},
    {NoteKind::kUtf16, "the file is UTF-16 text; save it as UTF-8", true},
    {NoteKind::kOnlyNul, "the file holds only NUL bytes", true},
    {NoteKind::kCarriageReturns,
     "its lines end with a carriage return alone; save it with line feeds",
     true},
    {NoteKind::kNotText, "the file is not text", true},
    {NoteKind::kCount, "", false},
    {NoteKind::kLastOn, "the last on line %l", false},
    {NoteKind::kFirstAndFifteenth, "the first on line %f, the 15th on line %x",
     false},
    {NoteKind::kEmpty, "the file is empty", false},
    {NoteKind::kHoldsOnly, "the file holds only %s", false},
    {NoteKind::kGitLfs,
     "the file is a Git LFS pointer; fetch the file itself, with git lfs pull",
     false},
};

constexpr bool inKindOrder() {
  for (std::size_t i = 0; i < std::size(kNoteTexts); ++i) {
    if (kNoteTexts[i].kind != static_cast<NoteKind>(i)) return false;
  }
  return true;
}
static_assert(inKindOrder(), "a row for each kind of note, in kind order");

void sayNote(Message &m, const ReadNote &note, const ReadOutcome &outcome,
             const StatVector &results) {
  const NoteText &row = kNoteTexts[static_cast<std::size_t>(note.kind)];
  if (note.line > 0 && row.fromHere) say(m, "from here ");
  sayRow(m, row.text, [&](char c) {
    switch (c) {
      case 's':
        sayShown(m, note.shown);
        break;
      case 'v':
        say(m, "%g", results[note.position]);
        break;
      case 'n':
        say(m, "%zu", note.position + 1);
        break;
      case 'w':
        say(m, "%s", kStatistics[note.position].name);
        break;
      case 'f':
        say(m, "%zu", outcome.firstLine);
        break;
      case 'l':
        say(m, "%zu", outcome.lastLine);
        break;
      default:
        say(m, "%zu", outcome.fifteenthLine);
        break;
    }
  });
}

// "N values, expected 14", and in parentheses its place, where it has one,
// with a name that results `also` holds.
void sayCount(Message &m, const ReadNote &note, const ReadOutcome &outcome,
              const StatVector &results, const char *also) {
  std::size_t values = outcome.values;
  say(m, "%zu value%s, expected %zu", values, values == 1 ? "" : "s",
      kStatCount);
  if (note.kind == NoteKind::kCount) return;
  say(m, " (");
  sayNote(m, note, outcome, results);
  if (also) {
    say(m, "; results also holds ");
    sayName(m, also);
  }
  say(m, ")");
}

}  // namespace

void warnFailure(const char *path, int error) {
  Message m(path, 0);
  say(m, "%s", reason(error));
  send(m);
}

void warnMissing(const char *path, int error, const Hint &hint,
                 const char *folder) {
  Message m(path, 0);
  if (hint.kind != Hint::Kind::kRemoved) say(m, "%s", reason(error));
  sayHint(m, hint, folder);
  send(m);
}

void warnSame(const char *path, const char *other) {
  Message m(path, 0);
  say(m, "the same file as %s", other);
  send(m);
}

void warnWaiting(const char *path) {
  Message m(path, 0);
  say(m, "waiting for another program's lease on the file");
  send(m);
}

void warnRead(const char *path, const ReadOutcome &outcome,
              const StatVector &results, bool emptied, const char *also) {
  for (std::size_t i = 0; i < outcome.noteCount; ++i) {
    const ReadNote &note = outcome.notes[i];
    Message m(path, note.line);
    if (note.line > 0) {
      sayNote(m, note, outcome, results);
    } else if (emptied) {
      // As an input that is its output, which the shell emptied.
      say(m, "is standard output, and was emptied by the shell's redirection");
    } else {
      sayCount(m, note, outcome, results, also);
    }
    send(m);
  }
}
