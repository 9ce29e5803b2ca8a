// Reads a results file: lines of "key: value", where each line whose value
// begins with a digit fills the next position of the results vector.
#ifndef GRADE_RESULTS_READER_H_
#define GRADE_RESULTS_READER_H_

#include <cstddef>
#include <cstdio>

#include "number_scan.h"
#include "stat_vector.h"

struct ReadOutcome {
  std::size_t values;  // value-carrying lines in the file, past the 14th too
  int error;           // errno of a failed read; 0 when read to the end
  // Per stored value, the line (the first is 1) on which its number stops
  // right before a comma that a digit follows, as in "18,536,679"; 0 if not.
  std::size_t commaLines[kStatCount];
};

// Reads `stream` to its end, storing the first 14 values at positions 0 to
// 13 of `results` and leaving unreached positions as they were; closes
// `stream`.
ReadOutcome resval(std::FILE *stream, StatVector &results);

// Where the scanner stands within the current line.
enum class LinePlace { kStart, kKey, kAfterColon, kNumber, kComma, kRest };

// The scanner behind resval. It takes the file's bytes in pieces of any
// size, so a line may be split anywhere without changing what it yields.
struct ResultsScan {
  StatVector *results;
  std::size_t values = 0;
  std::size_t line = 1;
  std::size_t commaLines[kStatCount] = {};
  LinePlace place = LinePlace::kStart;
  NumberScan number = {};
};

void scanResults(ResultsScan &scan, const char *bytes, std::size_t size);

// Ends the last line (which needs no line feed) and returns the count of
// value-carrying lines.
std::size_t finishScan(ResultsScan &scan);

#endif  // GRADE_RESULTS_READER_H_
