// Reads a results file: lines of "key: value", where each line whose value
// begins with a digit fills the next position of the results vector; and
// notes where something was lost: a value misread, a value moved to
// another statistic, or values missing.
#ifndef GRADE_RESULTS_READER_H_
#define GRADE_RESULTS_READER_H_

#include <cstddef>

#include "input.h"
#include "stat_vector.h"

// The kinds of note, each a row of the catalogue that words them.
enum class NoteKind {
  // A value that is not all the number its line shows: the token goes on
  // with a digit after the stop, with hexadecimal digits, or with a scale.
  kStop,
  kStopHex,
  // A value whose key names another statistic than its place; or none,
  // where the next value's key names its place: an extra line.
  kKey,
  kExtra,
  // A line that should have given a value and did not, by what it holds.
  kSkipped,      // a number that does not begin with a digit
  kNoValue,      // nothing after the colon
  kNotANumber,   // a token after the colon that is not a number
  kNumberFirst,  // the number before the colon
  kNoKey,        // the colon first, a number after it
  kNoColon,      // a number and no colon
  // What the bytes are from a line on where the values stop before 14; on
  // the count line, from the file's first line on.
  kUtf16,
  kOnlyNul,
  kCarriageReturns,
  kNotText,
  // The count line's other places.
  kCount,
  kLastOn,
  kFirstAndFifteenth,
  kEmpty,
  kHoldsOnly,
  kGitLfs,
};

struct ReadNote {
  std::size_t line;  // the first is 1; 0 for the count line
  NoteKind kind;
  std::size_t position;  // of the value read, where the note is on one
  Kept shown;            // the bytes it shows
};

// A note can stand on each of the first 14 values for how its number was
// read, and once a file for the keys, for a line, for the bytes and for
// the count of values.
constexpr std::size_t kNoteLimit = kStatCount + 4;

struct ReadOutcome {
  std::size_t values;     // value-carrying lines in the file, past the 14th too
  int error;              // errno of a failed read; 0 when read to the end
  std::size_t bytes;      // bytes read
  std::size_t firstLine;  // line of the first value; 0 when none
  std::size_t lastLine;   // line of the last value stored
  std::size_t fifteenthLine;  // line of the 15th value; 0 when none
  std::size_t noteCount;
  ReadNote notes[kNoteLimit];  // in line order, the count line last
};

// The size of the buffer that the files are read through, one for the run.
constexpr std::size_t kReadBufferSize = 131072;  // 128 KiB

// Reads the file open at `fd` to its end, through `buffer` of `size`
// bytes, storing the first 14 values at positions 0 to 13 of `results` and
// leaving unreached positions as they were; closes `fd`. Any buffer size
// reads the same; the tests try small ones.
ReadOutcome resval(int fd, StatVector &results, char *buffer, std::size_t size);

#endif  // GRADE_RESULTS_READER_H_
