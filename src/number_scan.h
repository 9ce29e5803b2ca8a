// One number read as strtod reads it, from pieces of any size, in bounded
// memory: the value of a token that begins with a digit, and whether a
// token that begins otherwise ("-5", ".5", "nan") begins with a number all
// the same.
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

// Starts a number at its first character: a digit, or a point that a digit
// follows.
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

// Where the scan stands within a token that does not begin with a digit.
enum class LeadPlace {
  kStart,
  kSign,      // "+" or "-"
  kPoint,     // a point, which a digit must follow
  kWord,      // letters of "infinity" or "nan", in any case
  kNanChars,  // "nan(", up to its ")"
  kNumber,    // a number, read into the NumberScan given
  kEnded,     // a whole number; what follows decides
  kNumberRead,
  kNoNumber,
};

// Decides whether a token begins with a number that strtod reads (after an
// optional sign: digits, a point and a digit, "inf", "infinity", "nan" or
// "nan(...)", in any case) that neither a letter nor a digit follows.
struct LeadScan {
  LeadPlace place = LeadPlace::kStart;
  const char *word = nullptr;
  std::size_t matched = 0;
};

// Whether a token that begins with c may begin with a number that is not
// read as a value: a sign, a point, or the first letter of "inf" or "nan".
constexpr bool mayBeginNumber(char c) {
  return c == '+' || c == '-' || c == '.' || c == 'i' || c == 'I' || c == 'n' ||
         c == 'N';
}

// Reads the token on from p, until the place is kNumberRead or kNoNumber;
// a number in it is read into `number`. Returns the first character not
// taken, which is the one that decided, or `end` while undecided. The
// token's end decides like any white space.
const char *scanLead(LeadScan &s, NumberScan &number, const char *p,
                     const char *end);

#endif  // GRADE_NUMBER_SCAN_H_
