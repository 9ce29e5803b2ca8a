// grade: grades the Lab 1 results files found in ../results against the
// expected statistics of each benchmark and prints the approximate score.
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>

#include "report.h"
#include "results_reader.h"
#include "scoring.h"
#include "stat_vector.h"

namespace {

struct Benchmark {
  const char *name;  // as the file's name holds it
  const char *path;
  const StatVector &reference;
};

// The folder of the four files below.
constexpr char kResultsFolder[] = "../results";

// Graded, and shown in the table, in this order.
const Benchmark kBenchmarks[] = {
    {"libq", "../results/Lab1.libq.res", kReferenceLibq},
    {"bzip2", "../results/Lab1.bzip2.res", kReferenceBzip2},
    {"mcf", "../results/Lab1.mcf.res", kReferenceMcf},
    {"gcc", "../results/Lab1.gcc.res", kReferenceGcc},
};
constexpr int kBenchmarkCount = sizeof kBenchmarks / sizeof kBenchmarks[0];

const char *fileName(const Benchmark &b) {
  return b.path + sizeof kResultsFolder;
}

void warn(const char *path, const char *reason) {
  // Nothing is left to tell if standard error itself fails.
  (void)std::fprintf(stderr, "grade: %s: %s\n", path, reason);
}

// Writes bytes that come from a file or a folder as a diagnostic shows
// them: a byte outside printable ASCII as "?", so that no control
// character reaches the terminal.
void putShown(const char *bytes, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    auto c = static_cast<unsigned char>(bytes[i]);
    (void)std::fputc(c >= 0x20 && c < 0x7f ? c : '?', stderr);
  }
}

void putShown(const char *text) { putShown(text, std::strlen(text)); }

constexpr double kUnread = std::numeric_limits<double>::quiet_NaN();

// The results folder's troubles are said once, rather than once for each
// of the four files. "../results/." fails as a missing folder does, with
// ENOTDIR for a file and EACCES for a folder that cannot be entered; a
// missing one most likely means grade runs from the wrong folder.
bool findResultsFolder() {
  struct stat folder;
  if (stat("../results/.", &folder) == 0) return true;
  int error = errno;
  (void)std::fprintf(
      stderr, "grade: %s: %s%s\n", kResultsFolder, std::strerror(error),
      error == ENOENT ? " (run grade from a folder beside results)" : "");
  return false;
}

bool containsIgnoringCase(const char *text, const char *word) {
  std::size_t length = std::strlen(word);
  for (; *text != '\0'; ++text) {
    if (strncasecmp(text, word, length) == 0) return true;
  }
  return false;
}

bool isExpectedName(const char *name) {
  return std::any_of(std::begin(kBenchmarks), std::end(kBenchmarks),
                     [name](const Benchmark &b) {
                       return std::strcmp(name, fileName(b)) == 0;
                     });
}

// What the results folder holds that a student may have meant by a
// benchmark's file: the first folder, in byte order, that holds a file of
// its name, and the first names in byte order that contain the
// benchmark's name in any case.
struct Lookalikes {
  static constexpr std::size_t kShown = 3;
  using Name = char[sizeof(dirent::d_name)];
  Name folder = {};
  Name names[kShown] = {};
  std::size_t nameCount = 0;
};

void copyName(Lookalikes::Name &to, const char *name) {
  (void)std::snprintf(to, sizeof to, "%s", name);
}

void keepName(Lookalikes &found, const char *name) {
  // Sorted into the names kept; past the last it drops out.
  std::size_t at = std::min(found.nameCount, Lookalikes::kShown);
  ++found.nameCount;
  for (; at > 0 && std::strcmp(name, found.names[at - 1]) < 0; --at) {
    if (at < Lookalikes::kShown) copyName(found.names[at], found.names[at - 1]);
  }
  if (at < Lookalikes::kShown) copyName(found.names[at], name);
}

Lookalikes findLookalikes(const Benchmark &b) {
  Lookalikes found;
  DIR *folder = opendir(kResultsFolder);
  if (!folder) return found;
  while (const dirent *entry = readdir(folder)) {
    const char *name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    char path[sizeof kResultsFolder + 2 * sizeof(Lookalikes::Name)];
    (void)std::snprintf(path, sizeof path, "%s/%s/%s", kResultsFolder, name,
                        fileName(b));
    struct stat file;
    if (stat(path, &file) == 0 && S_ISREG(file.st_mode) &&
        (found.folder[0] == '\0' || std::strcmp(name, found.folder) < 0)) {
      copyName(found.folder, name);
    }
    if (!isExpectedName(name) && containsIgnoringCase(name, b.name)) {
      keepName(found, name);
    }
  }
  closedir(folder);
  return found;
}

// Writes, for a file that does not exist, a hint at what is there
// instead, the first that applies: the text of a link to nothing, the file
// one folder down, or names like it; or nothing.
void putMissingHint(const Benchmark &b) {
  struct stat link;
  if (lstat(b.path, &link) == 0 && S_ISLNK(link.st_mode)) {
    char target[PATH_MAX];
    ssize_t length = readlink(b.path, target, sizeof target);
    if (length >= 0) {
      (void)std::fputs(" (a link to ", stderr);
      putShown(target, static_cast<std::size_t>(length));
      (void)std::fputs(", which does not exist)", stderr);
      return;
    }
  }
  Lookalikes found = findLookalikes(b);
  if (found.folder[0] != '\0') {
    (void)std::fprintf(stderr, " (found %s/", kResultsFolder);
    putShown(found.folder);
    (void)std::fprintf(stderr, "/%s)", fileName(b));
    return;
  }
  if (found.nameCount == 0) return;
  (void)std::fputs(" (results holds ", stderr);
  for (std::size_t i = 0; i < found.nameCount && i < Lookalikes::kShown; ++i) {
    if (i > 0) (void)std::fputs(", ", stderr);
    putShown(found.names[i]);
  }
  if (found.nameCount > Lookalikes::kShown) (void)std::fputs(", ...", stderr);
  (void)std::fputc(')', stderr);
}

constexpr char kNotRegular[] = "Not a regular file";

// A FIFO, a device or a socket: never read.
bool isSpecial(const struct stat &file) {
  return !S_ISREG(file.st_mode) && !S_ISDIR(file.st_mode);
}

// Opens a benchmark's results file, or says why not. Only a regular file
// is read: a FIFO may wait for a writer forever, and a device such as
// /dev/zero never ends. So the file is opened without waiting, and checked
// before anything is read.
std::FILE *openResults(const Benchmark &b) {
  struct stat file;
  int fd = open(b.path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    int error = errno;
    if (error == ENOENT) {
      (void)std::fprintf(stderr, "grade: %s: %s", b.path, std::strerror(error));
      putMissingHint(b);
      (void)std::fputc('\n', stderr);
    } else if (stat(b.path, &file) == 0 && isSpecial(file)) {
      // A socket, or a device without its hardware, cannot even be opened.
      warn(b.path, kNotRegular);
    } else {
      warn(b.path, std::strerror(error));
    }
    return nullptr;
  }
  const char *reason = nullptr;
  if (fstat(fd, &file) != 0) {
    reason = std::strerror(errno);
  } else if (S_ISDIR(file.st_mode)) {
    reason = std::strerror(EISDIR);
  } else if (isSpecial(file)) {
    reason = kNotRegular;
  }
  std::FILE *stream = nullptr;
  if (!reason) {
    // O_NONBLOCK changes nothing for a regular file, so it stays.
    stream = fdopen(fd, "r");
    if (!stream) reason = std::strerror(errno);
  }
  if (reason) {
    warn(b.path, reason);
    (void)close(fd);
  }
  return stream;
}

// Says what a read file holds that the student should hear of: values
// that are noted, then a count of values other than 14, with its place.
void warnRead(const char *path, const ReadOutcome &outcome,
              const StatVector &results) {
  for (std::size_t i = 0; i < outcome.noteCount; ++i) {
    const ReadNote &note = outcome.notes[i];
    if (note.skipped) {
      (void)std::fprintf(stderr, "grade: %s:%zu: skipped \"", path, note.line);
      putShown(note.token, note.tokenLength);
      (void)std::fprintf(stderr, "%s\": a value begins with a digit\n",
                         note.tokenCut ? "..." : "");
    } else {
      // "18,536,679" reads as 18: graded as read, but the student is told.
      (void)std::fprintf(stderr,
                         "grade: %s:%zu: number stops at a comma, read as %g\n",
                         path, note.line, results[note.position]);
    }
  }
  std::size_t values = outcome.values;
  if (values == kStatCount) return;
  (void)std::fprintf(stderr, "grade: %s: %zu value%s, expected %zu", path,
                     values, values == 1 ? "" : "s", kStatCount);
  if (values > kStatCount) {
    (void)std::fprintf(stderr, " (the first on line %zu, the 15th on line %zu)",
                       outcome.firstLine, outcome.fifteenthLine);
  } else if (values > 0) {
    (void)std::fprintf(stderr, " (the last on line %zu)", outcome.lastLine);
  } else if (outcome.kind == FileKind::kEmpty) {
    (void)std::fputs(" (the file is empty)", stderr);
  } else if (outcome.kind == FileKind::kUtf16) {
    (void)std::fputs(" (the file is UTF-16 text; save it as UTF-8)", stderr);
  }
  (void)std::fputc('\n', stderr);
}

// Fills `results` from the benchmark's file. A file that cannot be read
// leaves every position NaN, so the benchmark earns nothing; returns false
// then.
bool readResults(const Benchmark &b, StatVector &results) {
  std::FILE *stream = openResults(b);
  if (!stream) return false;
  ReadOutcome outcome = resval(stream, results);
  if (outcome.error) {
    warn(b.path, std::strerror(outcome.error));
    results.fill(kUnread);
    return false;
  }
  warnRead(b.path, outcome, results);
  return true;
}

}  // namespace

// Arguments are accepted and ignored: every run grades the same four files.
int main(int, char **) {
  int status = 0;
  StatVector results[kBenchmarkCount] = {};
  double scores[kBenchmarkCount];
  int totalsMatch = 0;
  int uniquePcMatch = 0;
  int mixMatch = 0;

  // A diagnostic is written in parts; line buffering writes each line
  // whole, at once.
  (void)std::setvbuf(stderr, nullptr, _IOLBF, 0);

  bool folderFound = findResultsFolder();
  if (!folderFound) status = 1;
  for (int i = 0; i < kBenchmarkCount; ++i) {
    results[i].fill(kUnread);
    if (folderFound && !readResults(kBenchmarks[i], results[i])) {
      status = 1;
    }
    compareResults(results[i], kBenchmarks[i].reference, &totalsMatch,
                   &uniquePcMatch, &mixMatch);
    scores[i] = calscore(mixMatch, totalsMatch, uniquePcMatch);
  }

  printStatsTable(results[0], results[1], results[2], results[3]);

  double total = ((scores[0] + scores[1]) + scores[2]) + scores[3];
  std::printf("\nYour approximate score for Lab 1 out of 5 points is: %f\n",
              total);
  std::putchar('\n');

  // A full disk or a closed pipe must not pass for success. Standard output
  // is buffered, so a failed write may show only here.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    warn("standard output", std::strerror(errno != 0 ? errno : EIO));
    status = 1;
  }
  return status;
}
