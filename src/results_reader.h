// Reads a results file: lines of "key: value", where each line whose value
// begins with a digit fills the next position of the results vector.
#ifndef GRADE_RESULTS_READER_H_
#define GRADE_RESULTS_READER_H_

#include <cstddef>
#include <cstdio>

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

// Significant digits that a number keeps. Whatever its length, a decimal
// number's nearest double is decided by its first 768 significant digits
// and by whether any digit after them is non-zero, so a value is exact
// while memory stays bounded.
constexpr std::size_t kDigitLimit = 800;

// Where the reader stands within the number that begins a value token. The
// number is the token's longest leading part that reads as one, so "1e+"
// reads as 1 and "0x." as 0: the marks and signs have places of their own,
// in which the number may yet end before them.
enum class NumberPlace {
  kFirstZero,     // "0", which "x" may turn into the hexadecimal form
  kInteger,       // digits before the point
  kFraction,      // the point and digits after it
  kExponentMark,  // "e" (or "p" in the hexadecimal form)
  kExponentSign,  // its sign
  kExponent,      // its digits
  kHexMark,       // "0x"
  kHexPoint,      // "0x."
};

// What is kept of a number while it is read: its significant digits up to
// kDigitLimit, whether a non-zero one was dropped after them, and where the
// point stands. The value is 0.DIGITS times the base to scale + exponent.
struct NumberScan {
  NumberPlace place = NumberPlace::kFirstZero;
  bool hex = false;
  bool dropped = false;
  bool exponentNegative = false;
  std::size_t digitCount = 0;
  long long scale = 0;     // digit places (4 bits each when hex)
  long long exponent = 0;  // decimal, or binary when hex; saturates
  char digits[kDigitLimit] = {};
};

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
