#include "diagnostics.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// A diagnostic's message, worded a piece at a time; what does not fit is
// cut, and the longest that can come (a link's text or three names, each
// byte escaped) fits.
struct Message {
  char text[4 * PATH_MAX + 1024];
  std::size_t length = 0;
};

// The compiler checks each call's arguments against its format.
// NOLINTNEXTLINE(cert-dcl50-cpp)
[[gnu::format(printf, 2, 3)]] void say(Message &m, const char *format, ...) {
  std::size_t room = sizeof m.text - m.length;
  va_list args;
  va_start(args, format);
  int size = std::vsnprintf(m.text + m.length, room, format, args);
  va_end(args);
  if (size > 0) m.length += std::min(static_cast<std::size_t>(size), room - 1);
}

void sayByte(Message &m, char c) {
  if (m.length < sizeof m.text - 1) m.text[m.length++] = c;
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

// Writes "grade: PATH: MESSAGE", or "grade: PATH:LINE: MESSAGE" where
// there is a line, in one write, so that no other output comes between
// its parts. A diagnostic that cannot be written is dropped: SIGPIPE, for
// a reader of standard error that has gone, is held back while it is
// written and taken back if the write raised it, so that the run goes on
// to write the table.
void warn(const char *path, std::size_t line, const Message &m) {
  char text[sizeof m.text + PATH_MAX + 64];
  char place[24] = "";
  if (line > 0) (void)std::snprintf(place, sizeof place, ":%zu", line);
  int size = std::snprintf(text, sizeof text, "grade: %s%s: %.*s\n", path,
                           place, static_cast<int>(m.length), m.text);
  if (size < 0) return;
  sigset_t pipe;
  sigset_t before;
  (void)sigemptyset(&pipe);
  (void)sigaddset(&pipe, SIGPIPE);
  (void)sigprocmask(SIG_BLOCK, &pipe, &before);
  const char *next = text;
  std::size_t left = std::min(static_cast<std::size_t>(size), sizeof text - 1);
  while (left > 0) {
    ssize_t written = write(STDERR_FILENO, next, left);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno == EPIPE) {
      const timespec now = {0, 0};
      (void)sigtimedwait(&pipe, nullptr, &now);
    }
    if (written <= 0) break;
    next += written;
    left -= static_cast<std::size_t>(written);
  }
  (void)sigprocmask(SIG_SETMASK, &before, nullptr);
}

// What each position of a results vector holds, as a note names it.
const char *const kValueNames[kStatCount] = {
    "the instructions",   "the cycles",           "CPI",
    "the unique PCs",     "the ALU count",        "the LD count",
    "the ST count",       "the CBR count",        "the OTHER count",
    "the ALU percentage", "the LD percentage",    "the ST percentage",
    "the CBR percentage", "the OTHER percentage",
};

const char *reason(int error) {
  return error == kNotRegularFile ? "Not a regular file" : std::strerror(error);
}

// " (a link to TEXT, which WHAT)".
void sayLink(Message &m, const LinkText &link, const char *what) {
  say(m, " (a link to ");
  sayName(m, link.text, link.length);
  say(m, ", which %s)", what);
}

// " (found PATH...)", where what follows the path ends the hint. Outside
// the results folder the place and the first name after it are one name
// as shown: (found "../results "/Lab1.libq.res).
void sayFound(Message &m, const Found &found, const char *after = ")") {
  say(m, " (found ");
  const char *first = found.depth > 0 ? found.folders[0] : found.name;
  if (found.outside) {
    char joined[sizeof(Name) + 8];
    int size = std::snprintf(joined, sizeof joined, "%s/%s", found.base, first);
    sayName(m, joined,
            std::min(static_cast<std::size_t>(std::max(size, 0)),
                     sizeof joined - 1));
  } else {
    say(m, "%s/", found.base);
    sayName(m, first);
  }
  for (std::size_t i = 1; i <= found.depth; ++i) {
    say(m, "/");
    sayName(m, i < found.depth ? found.folders[i] : found.name);
  }
  say(m, "%s", after);
}

// Why a look around stopped short, where nothing was found.
void sayStopped(Message &m, int error) {
  say(m, " (looking for it stopped: %s)", reason(error));
}

// BEFORE"TOKEN"AFTER, the token with its escapes and, where it is cut,
// "..." after it.
void sayToken(Message &m, const char *before, const Kept &token,
              const char *after) {
  say(m, "%s\"", before);
  sayEscaped(m, token.bytes, token.length);
  say(m, "%s\"%s", token.cut ? "..." : "", after);
}

void sayNote(Message &m, const ReadNote &note, const StatVector &results) {
  switch (note.kind) {
    case NoteKind::kSkipped:
      sayToken(m, "skipped ", note.token, ": a value begins with a digit");
      break;
    case NoteKind::kNoColon:
      sayToken(m, "no colon before the number: ", note.token, "");
      break;
    case NoteKind::kMoreNumbers:
      say(m, "more numbers after the value; one is read a line");
      break;
    case NoteKind::kNotANumber:
      sayToken(m, "the value after the first colon is ", note.token,
               ", not a number");
      break;
    case NoteKind::kCarriageReturns:
      say(m,
          "from here its lines end with a carriage return alone; save it with "
          "line feeds");
      break;
    case NoteKind::kKey:
      sayToken(m, "", note.token, " is read as value ");
      say(m, "%zu, %s (values are taken in file order)", note.position + 1,
          kValueNames[note.position]);
      break;
    case NoteKind::kStop: {
      // "18,536,679" reads as 18: graded as read, but the student is told.
      const char *at = note.stop == ','   ? "a comma"
                       : note.stop == '.' ? "a second point"
                       : note.stop == ':' ? "a colon"
                       : note.stop == ' ' ? "a space"
                                          : nullptr;
      if (at) {
        say(m, "number stops at %s", at);
      } else {
        say(m, "number stops at \"%c\"", note.stop);
      }
      say(m, ", read as %g", results[note.position]);
      break;
    }
  }
}

// "N values, expected 14", and where to look.
void sayCount(Message &m, const ReadOutcome &outcome) {
  std::size_t values = outcome.values;
  say(m, "%zu value%s, expected %zu", values, values == 1 ? "" : "s",
      kStatCount);
  if (values > kStatCount) {
    say(m, " (the first on line %zu, the 15th on line %zu)", outcome.firstLine,
        outcome.fifteenthLine);
  } else if (outcome.kind == FileKind::kGitLfs) {
    say(m,
        " (the file is a Git LFS pointer; fetch the file itself, with git lfs "
        "pull)");
  } else if (outcome.kind == FileKind::kCarriageReturns) {
    say(m,
        " (its lines end with a carriage return alone; save it with line "
        "feeds)");
  } else if (values > 0) {
    say(m, " (the last on line %zu)", outcome.lastLine);
  } else if (outcome.kind == FileKind::kEmpty) {
    say(m, " (the file is empty)");
  } else if (outcome.kind == FileKind::kUtf16) {
    say(m, " (the file is UTF-16 text; save it as UTF-8)");
  } else if (outcome.kind == FileKind::kOnlyNul) {
    say(m, " (the file holds only NUL bytes)");
  }
}

}  // namespace

void warnFailure(const char *path, int error) {
  Message m;
  say(m, "%s", reason(error));
  warn(path, 0, m);
}

void warnFolder(const char *folder, int error, const FolderHint &hint) {
  Message m;
  if (hint.kind == FolderHint::Kind::kRemoved) {
    // Nothing about the results folder holds then: every path is gone.
    say(m, "the current folder has been removed (cd into it again)");
    warn(".", 0, m);
    return;
  }
  say(m, "%s", reason(error));
  if (error != ENOENT) {
    warn(folder, 0, m);
    return;
  }
  const Survey &survey = *hint.survey;
  switch (hint.kind) {
    case FolderHint::Kind::kNone:
      // Nothing like results is near, so most likely grade runs from the
      // wrong folder.
      say(m, " (run grade from a folder beside results)");
      break;
    case FolderHint::Kind::kRemoved:
      break;
    case FolderHint::Kind::kLink:
      sayLink(m, hint.link, "does not exist");
      break;
    case FolderHint::Kind::kThroughLink:
      say(m, " (this folder is reached through the link ");
      sayName(m, hint.link.text, hint.link.length);
      say(m, "; results is beside the link, not beside this folder)");
      break;
    case FolderHint::Kind::kHolding:
      sayFound(m, survey.holding);
      break;
    case FolderHint::Kind::kFile: {
      char belong[PATH_MAX + 32];
      (void)std::snprintf(belong, sizeof belong, "; the files belong in %s)",
                          folder);
      sayFound(m, hint.found, belong);
      break;
    }
    case FolderHint::Kind::kFolder:
      sayFound(m, survey.resultsLike);
      break;
    case FolderHint::Kind::kNamed:
      sayFound(m, survey.named, survey.archive ? "; unpack it)" : ")");
      break;
    case FolderHint::Kind::kStopped:
      sayStopped(m, survey.error);
      break;
  }
  warn(folder, 0, m);
}

void warnFile(const char *path, int error, const FileHint &hint) {
  Message m;
  say(m, "%s", reason(error));
  const Survey &survey = *hint.survey;
  const Survey::Of &of = survey.of[hint.index];
  switch (hint.kind) {
    case FileHint::Kind::kNone:
      break;
    case FileHint::Kind::kLink:
      sayLink(m, hint.link, "does not exist");
      break;
    case FileHint::Kind::kItself:
      sayLink(m, hint.link, "is itself");
      break;
    case FileHint::Kind::kFound:
      sayFound(m, hint.found);
      break;
    case FileHint::Kind::kNames:
      say(m, " (results holds ");
      for (std::size_t i = 0; i < of.nameCount && i < Survey::kNameLimit; ++i) {
        if (i > 0) say(m, ", ");
        sayName(m, of.names[i]);
      }
      if (of.nameCount > Survey::kNameLimit) say(m, ", ...");
      say(m, ")");
      break;
    case FileHint::Kind::kNotListed:
      say(m, " (results cannot be listed)");
      break;
    case FileHint::Kind::kStopped:
      sayStopped(m, survey.error);
      break;
  }
  warn(path, 0, m);
}

void warnWaiting(const char *path) {
  Message m;
  say(m, "waiting for another program's lease on the file");
  warn(path, 0, m);
}

void warnRead(const char *path, const ReadOutcome &outcome,
              const StatVector &results, bool emptied) {
  for (std::size_t i = 0; i < outcome.noteCount; ++i) {
    Message m;
    sayNote(m, outcome.notes[i], results);
    warn(path, outcome.notes[i].line, m);
  }
  if (outcome.values == kStatCount) return;
  Message m;
  if (emptied) {
    // As an input that is its output, which the shell emptied.
    say(m, "is standard output, and was emptied by the shell's redirection");
  } else {
    sayCount(m, outcome);
  }
  warn(path, 0, m);
}
