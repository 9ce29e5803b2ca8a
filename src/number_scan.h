// One number read from the input as strtod reads it, in bounded memory:
// the value of a token that begins with a digit, and whether a token that
// begins otherwise ("-5", ".5", "nan") begins with a number all the same.
#ifndef GRADE_NUMBER_SCAN_H_
#define GRADE_NUMBER_SCAN_H_

#include "input.h"

// What the bytes of a number read were, which tells what may have been
// meant to follow it.
struct NumberShape {
  // The last byte taken belongs to the number: the input is left at what
  // follows it, not after a mark or a sign that turned out not to belong
  // ("1e" and "1e+" read as 1, "0x" and "0x." as 0). Where it does not,
  // those bytes are kept, as what follows the number.
  bool whole;
  std::size_t unreadLength;
  char unread[2];
  std::size_t digitsOnly;  // its length where it is decimal digits alone
  bool hexDigits;          // its bytes are all hexadecimal digits ("3e8")
};

// Reads the number at the input's next byte, a digit: the longest leading
// part of the token that reads as one, however long, rounded to the
// nearest double. The input is left after the bytes taken.
double readNumber(Input &in, NumberShape *shape);

// Whether a token that begins with the byte c may begin with a number that
// is not read as a value: a sign, a point, or the first letter of "inf" or
// "nan".
constexpr bool mayBeginNumber(int c) {
  return c == '+' || c == '-' || c == '.' || c == 'i' || c == 'I' || c == 'n' ||
         c == 'N';
}

// Reads the token at the input's next byte, which is not a digit, as far
// as it decides whether the token begins with a number that strtod reads
// (after an optional sign: digits, a point and a digit, "inf", "infinity",
// "nan" or "nan(...)", in any case) that neither a letter nor a digit
// follows. The input is left at the byte that decided.
bool readLead(Input &in);

#endif  // GRADE_NUMBER_SCAN_H_
