// grade: grades the Lab 1 results files found in ../results against the
// expected statistics of each benchmark and prints the approximate score.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "report.h"
#include "results_reader.h"
#include "scoring.h"
#include "stat_vector.h"

namespace {

struct Benchmark {
  const char *path;
  const StatVector &reference;
};

// The folder of the four files below.
constexpr char kResultsFolder[] = "../results";

// Graded, and shown in the table, in this order.
const Benchmark kBenchmarks[] = {
    {"../results/Lab1.libq.res", kReferenceLibq},
    {"../results/Lab1.bzip2.res", kReferenceBzip2},
    {"../results/Lab1.mcf.res", kReferenceMcf},
    {"../results/Lab1.gcc.res", kReferenceGcc},
};
constexpr int kBenchmarkCount = sizeof kBenchmarks / sizeof kBenchmarks[0];

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

// Opens a benchmark's results file, or says why not. Only a regular file
// is read: a FIFO may wait for a writer forever, and a device such as
// /dev/zero never ends. So the file is opened without waiting, and checked
// before anything is read.
std::FILE *openResults(const Benchmark &b) {
  int fd = open(b.path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    warn(b.path, std::strerror(errno));
    return nullptr;
  }
  struct stat file;
  const char *reason = nullptr;
  if (fstat(fd, &file) != 0) {
    reason = std::strerror(errno);
  } else if (S_ISDIR(file.st_mode)) {
    reason = std::strerror(EISDIR);
  } else if (!S_ISREG(file.st_mode)) {
    reason = "Not a regular file";
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
