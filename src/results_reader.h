// Reads a results file: lines of "key: value", where each line whose value
// begins with a digit fills the next position of the results vector.
#ifndef GRADE_RESULTS_READER_H_
#define GRADE_RESULTS_READER_H_

#include <cstddef>

#include "input.h"
#include "stat_vector.h"

// Something on a line of the file that a student should hear of, as the
// manual page tells: a stored number that stops early, where the file most
// likely meant it to go on; a token that does not begin with a digit but
// with a number or a hidden value, which moves every later value up; a key
// that names another place's statistic; and, in a file that ends with
// fewer than 14 values, the one line that tells why.
enum class NoteKind {
  kStop,
  kSkipped,
  kKey,
  kNoColon,         // why: a line without a colon that ends with a number
  kMoreNumbers,     // why: more numbers after a value
  kNotANumber,      // why: a word after the first colon, a number later
  kCarriageReturns  // why: from here on, lines end with carriage returns
};

struct ReadNote {
  std::size_t line;  // the first is 1
  NoteKind kind;
  char stop;  // where a number stops: ',', '.', ':', ' ', or the letter
  std::size_t position;  // the position of the value read
  Kept token;            // a skipped token's first bytes, a key's or a line's
};

// The notes fill in line order. The reader notes numbers that stop early
// on the first 14 values only, skipped tokens only while fewer than 14
// values are stored, at most 14 of them, one key and one line that tells
// why the values are few.
constexpr std::size_t kNoteLimit = 2 * kStatCount + 2;

// What a file that holds no value, or too few, may be instead of text
// lines: nothing, UTF-16 text, NUL bytes alone, lines that end with a
// carriage return and no line feed, or a Git LFS pointer in place of the
// file, which has no other note.
enum class FileKind {
  kText,
  kEmpty,
  kUtf16,
  kOnlyNul,
  kCarriageReturns,
  kGitLfs
};

struct ReadOutcome {
  std::size_t values;  // value-carrying lines in the file, past the 14th too
  int error;           // errno of a failed read; 0 when read to the end
  FileKind kind;
  std::size_t firstLine;      // line of the first value; 0 when none
  std::size_t lastLine;       // line of the last value stored
  std::size_t fifteenthLine;  // line of the 15th value; 0 when none
  std::size_t noteCount;
  ReadNote notes[kNoteLimit];
};

// The size of the buffer that the files are read through, one for the run.
constexpr std::size_t kReadBufferSize = 131072;  // 128 KiB

// Reads the file open at `fd` to its end, through `buffer` of `size`
// bytes, storing the first 14 values at positions 0 to 13 of `results` and
// leaving unreached positions as they were; closes `fd`. Any buffer size
// reads the same; the tests try small ones.
ReadOutcome resval(int fd, StatVector &results, char *buffer, std::size_t size);

#endif  // GRADE_RESULTS_READER_H_
