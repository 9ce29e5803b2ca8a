// Reads a results file: lines of "key: value", where each line whose value
// begins with a digit fills the next position of the results vector.
#ifndef GRADE_RESULTS_READER_H_
#define GRADE_RESULTS_READER_H_

#include <cstddef>
#include <cstdio>

#include "number_scan.h"
#include "stat_vector.h"

// The longest part of a skipped token that a note keeps.
constexpr std::size_t kNoteTokenLimit = 32;

// Something on a line of the file that a student should hear of: a stored
// number that stops right before a comma that a digit follows, as in
// "18,536,679"; or a token that begins with a number but not with a digit,
// as "-5" or "nan", which yields no value and so moves every later value up
// one position.
struct ReadNote {
  std::size_t line;      // the first is 1
  bool skipped;          // a skipped token; else a comma
  std::size_t position;  // a comma's: the position of the number read
  std::size_t tokenLength;
  bool tokenCut;  // the token is longer than the bytes kept
  char token[kNoteTokenLimit];
};

// The notes fill in line order. The reader notes commas on the first 14
// values only, and skipped tokens only while fewer than 14 values are
// stored, at most 14 of them.
constexpr std::size_t kNoteLimit = 2 * kStatCount;

enum class FileKind { kText, kEmpty, kUtf16 };

struct ReadOutcome {
  std::size_t values;     // value-carrying lines in the file, past the 14th too
  int error;              // errno of a failed read; 0 when read to the end
  FileKind kind;          // from the file's first bytes: none, or a UTF-16 mark
  std::size_t firstLine;  // line of the first value; 0 when none
  std::size_t lastLine;   // line of the last value stored
  std::size_t fifteenthLine;  // line of the 15th value; 0 when none
  std::size_t noteCount;
  ReadNote notes[kNoteLimit];
};

// Reads `stream` to its end, storing the first 14 values at positions 0 to
// 13 of `results` and leaving unreached positions as they were; closes
// `stream`.
ReadOutcome resval(std::FILE *stream, StatVector &results);

// The scanner behind resval, which takes the file's bytes in pieces of any
// size, so a line may be split anywhere without changing what it yields.

// Where the scanner stands within the current line.
enum class LinePlace {
  kStart,
  kKey,
  kAfterColon,
  kNumber,     // a value
  kComma,      // right after a value's comma
  kLead,       // a token that may begin with a number
  kNoteToken,  // the rest of a token that is noted as skipped
  kRest,
};

struct ResultsScan {
  StatVector *results;
  ReadOutcome *outcome;  // all of it but the error
  std::size_t line = 1;
  std::size_t skippedNotes = 0;
  unsigned char head[2] = {};  // the file's first bytes
  std::size_t headLength = 0;
  LinePlace place = LinePlace::kStart;
  NumberScan number = {};
  LeadScan lead = {};
};

void scanResults(ResultsScan &scan, const char *bytes, std::size_t size);

// Ends the last line, which needs no line feed.
void finishScan(ResultsScan &scan);

#endif  // GRADE_RESULTS_READER_H_
