// grade: grades the Lab 1 results files found in ../results against the
// expected statistics of each benchmark and prints the approximate score.
#include <limits.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "diagnostics.h"
#include "report.h"
#include "results_files.h"
#include "results_reader.h"
#include "scoring.h"
#include "stat_vector.h"

namespace {

struct Benchmark {
  const char *name;
  const char *file;  // in the results folder
  const StatVector &reference;
};

constexpr char kResultsFolder[] = "../results";

// Graded, and shown in the table, in this order.
const Benchmark kBenchmarks[] = {
    {"libq", "Lab1.libq.res", kReferenceLibq},
    {"bzip2", "Lab1.bzip2.res", kReferenceBzip2},
    {"mcf", "Lab1.mcf.res", kReferenceMcf},
    {"gcc", "Lab1.gcc.res", kReferenceGcc},
};
constexpr int kBenchmarkCount = sizeof kBenchmarks / sizeof kBenchmarks[0];

// A statistic that no file gave: never in band, shown as "nan".
constexpr double kUnread = std::numeric_limits<double>::quiet_NaN();

bool isResultsFile(const char *name) {
  for (const Benchmark &b : kBenchmarks) {
    if (std::strcmp(name, b.file) == 0) return true;
  }
  return false;
}

// Fills `results` from the benchmark's file and says what the student
// should hear of it. A file that cannot be read leaves every position
// unread, so the benchmark earns nothing; returns false then.
bool readResults(const Benchmark &b, StatVector &results) {
  char path[PATH_MAX];
  (void)std::snprintf(path, sizeof path, "%s/%s", kResultsFolder, b.file);
  int error;
  std::FILE *stream = openResultsFile(path, &error);
  if (!stream && error == ENOENT) {
    warnMissing(kResultsFolder, b.file,
                findMissingHint(kResultsFolder, b.file, b.name, isResultsFile));
    return false;
  }
  if (!stream) {
    warnFailure(path, error);
    return false;
  }
  ReadOutcome outcome = resval(stream, results);
  if (outcome.error) {
    warnFailure(path, outcome.error);
    results.fill(kUnread);
    return false;
  }
  warnRead(path, outcome, results);
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

  // The results folder's troubles are said once, rather than once for each
  // of the four files.
  int folderError = checkFolder(kResultsFolder);
  if (folderError) {
    warnFolder(kResultsFolder, folderError);
    status = 1;
  }
  for (int i = 0; i < kBenchmarkCount; ++i) {
    results[i].fill(kUnread);
    if (!folderError && !readResults(kBenchmarks[i], results[i])) status = 1;
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
    warnFailure("standard output", errno != 0 ? errno : EIO);
    status = 1;
  }
  return status;
}
