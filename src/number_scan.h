// One number read as strtod reads it, from pieces of any size, in bounded
// memory.
#ifndef GRADE_NUMBER_SCAN_H_
#define GRADE_NUMBER_SCAN_H_

#include <cstddef>

// Significant digits that a number keeps. Whatever its length, a decimal
// number's nearest double is decided by its first 768 significant digits
// and by whether any digit after them is non-zero, so a value is exact
// while memory stays bounded.
constexpr std::size_t kDigitLimit = 800;

// Where the scan stands within a number. The number is the token's longest
// leading part that reads as one, so "1e+" reads as 1 and "0x." as 0: the
// marks and signs have places of their own, in which the number may yet
// end before them.
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

// Starts a number at its first character, a digit.
void beginNumber(NumberScan &n, char first);

// Reads the number on from p. Returns the first character that is not
// part of it, or `end` when the number may go on in the next piece.
const char *scanNumber(NumberScan &n, const char *p, const char *end);

// Whether the number's last character is the last one read, rather than a
// mark or sign that turned out not to belong to it ("1e" reads as 1, and
// the "e" follows it).
bool endsWhole(const NumberScan &n);

// The number's value, rounded to the nearest double.
double convert(const NumberScan &n);

#endif  // GRADE_NUMBER_SCAN_H_
