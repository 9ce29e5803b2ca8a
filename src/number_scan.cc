#include "number_scan.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ascii.h"

namespace {

// Significant digits that a number keeps. Whatever its length, a decimal
// number's nearest double is decided by its first 768 significant digits
// and by whether any digit after them is non-zero, so a value is exact
// while memory stays bounded.
constexpr std::size_t kDigitLimit = 800;

// An exponent is read digit by digit up to here and then stays. Past it a
// number is infinite or zero, unless its digits move the point by nearly as
// many places, and no file holds that many digits.
constexpr long long kExponentCap = 100000000000000000;

// The exponent of 0.DIGITS is clamped to this before conversion: 0.1 times
// ten (or one sixteenth times two) to the power of it is far beyond the
// range of a double, either way.
constexpr long long kExponentClamp = 99999;

// What is kept of a number: its significant digits up to kDigitLimit,
// whether a non-zero one was dropped after them, and where the point
// stands. The value is 0.DIGITS times the base to scale + exponent.
struct Number {
  bool hex = false;
  bool dropped = false;
  bool point = false;
  bool exponentNegative = false;
  bool exponentRead = false;
  bool exponentSign = false;
  // The bytes taken after the number that turned out not to belong to it.
  std::size_t markLength = 0;
  char mark[2] = {};
  std::size_t integerLength = 0;  // bytes of the integer part, zeros included
  std::size_t digitCount = 0;
  long long scale = 0;     // digit places (4 bits each when hex)
  long long exponent = 0;  // decimal, or binary when hex; saturates
  char digits[kDigitLimit];
};

template <bool kHex>
bool isDigitOf(int c) {
  return kHex ? isHexDigit(c) : isDigit(c);
}

// Takes the bytes that match `word`, in any case, as far as they do;
// returns how many.
std::size_t take(Input &in, const char *word) {
  std::size_t matched = 0;
  while (word[matched] != '\0' && toLower(peek(in)) == word[matched]) {
    ++in.next;
    ++matched;
  }
  return matched;
}

// Takes a run of digits of the integer part, or of the fraction. A long
// run goes on through many windows, each read in tight loops.
template <bool kHex>
void takeDigits(Input &in, Number &n, bool integer) {
  do {
    const char *p = in.next;
    const char *const end = in.end;
    const char *const start = p;
    // Zeros before the first significant digit only move the point.
    if (n.digitCount == 0) {
      const char *zeros = p;
      while (p < end && *p == '0') ++p;
      if (!integer) n.scale -= p - zeros;
    }
    while (p < end && n.digitCount < kDigitLimit && isDigitOf<kHex>(*p)) {
      n.digits[n.digitCount++] = *p++;
      if (integer) ++n.scale;
    }
    // Past the kept digits a run is only looked at for a non-zero one.
    const char *run = p;
    while (p < end && *p == '0') ++p;
    if (p < end && isDigitOf<kHex>(*p)) {
      n.dropped = true;
      while (p < end && isDigitOf<kHex>(*p)) ++p;
    }
    if (integer) {
      n.scale += p - run;
      n.integerLength += static_cast<std::size_t>(p - start);
    }
    in.next = p;
  } while (in.next == in.end && refill(in));
}

// Takes the digits, the point and the digits after it, and the exponent,
// as far as they go; returns whether the last byte taken belongs to the
// number.
template <bool kHex>
bool takeRest(Input &in, Number &n, bool afterPoint) {
  if (!afterPoint) {
    takeDigits<kHex>(in, n, true);
    afterPoint = peek(in) == '.';
    if (afterPoint) ++in.next;
  }
  n.point = afterPoint;
  if (afterPoint) takeDigits<kHex>(in, n, false);

  int c = peek(in);
  if (toLower(c) != (kHex ? 'p' : 'e')) return true;
  ++in.next;
  n.mark[n.markLength++] = static_cast<char>(c);
  n.exponentRead = true;
  c = peek(in);
  if (c == '+' || c == '-') {
    n.exponentNegative = c == '-';
    n.exponentSign = true;
    ++in.next;
    n.mark[n.markLength++] = static_cast<char>(c);
    c = peek(in);
  }
  if (!isDigit(c)) return false;
  for (; isDigit(c); c = peek(in)) {
    if (n.exponent < kExponentCap) n.exponent = n.exponent * 10 + (c - '0');
    ++in.next;
  }
  return true;
}

// Reads a number, a new one, from its first digit, or, `afterPoint`, from
// the first digit after its point; returns whether the last byte taken
// belongs to it.
bool takeNumber(Input &in, Number &n, bool afterPoint) {
  if (afterPoint) return takeRest<false>(in, n, true);
  if (peek(in) == '0') {
    // A leading zero, which changes nothing, unless "x" follows it.
    ++in.next;
    n.integerLength = 1;
    if (toLower(peek(in)) == 'x') {
      n.mark[n.markLength++] = *in.next++;
      bool point = peek(in) == '.';
      if (point) n.mark[n.markLength++] = *in.next++;
      if (!isHexDigit(peek(in))) return false;
      n.markLength = 0;
      n.hex = true;
      return takeRest<true>(in, n, point);
    }
  }
  return takeRest<false>(in, n, false);
}

// strtod of a short form of the number: its kept digits as a whole number
// (with a 1 after them for any non-zero digit dropped) and the exponent
// that puts the point back. It rounds to the same double as the whole
// number would.
double convert(const Number &n) {
  if (n.digitCount == 0) return 0.0;
  long long exponent = n.scale * (n.hex ? 4 : 1) +
                       (n.exponentNegative ? -n.exponent : n.exponent);
  if (exponent > kExponentClamp) exponent = kExponentClamp;
  if (exponent < -kExponentClamp) exponent = -kExponentClamp;
  std::size_t digitCount = n.digitCount + (n.dropped ? 1 : 0);
  exponent -= static_cast<long long>(digitCount) * (n.hex ? 4 : 1);
  char text[sizeof "0x" + kDigitLimit + sizeof "1p-9999999"];
  std::size_t length = n.hex ? 2 : 0;
  std::memcpy(text, "0x", length);
  std::memcpy(text + length, n.digits, n.digitCount);
  length += n.digitCount;
  if (n.dropped) text[length++] = '1';
  (void)std::snprintf(text + length, sizeof text - length, "%c%lld",
                      n.hex ? 'p' : 'e', exponent);
  // The locale is never changed, so the point is always the full stop.
  return std::strtod(text, nullptr);
}

// What follows a whole number decides: a letter or a digit would make the
// token a word ("info", "inf5", "-5abc") rather than a number.
bool endsNumber(Input &in) { return !isLetterOrDigit(peek(in)); }

}  // namespace

double readNumber(Input &in, NumberShape *shape) {
  Number n;
  shape->whole = takeNumber(in, n, false);
  bool plain = !n.hex && !n.point && !n.exponentRead;
  shape->digitsOnly = plain ? n.integerLength : 0;
  shape->hexDigits = !n.hex && !n.point && !n.exponentSign;
  shape->unreadLength = shape->whole ? 0 : n.markLength;
  std::memcpy(shape->unread, n.mark, sizeof n.mark);
  return convert(n);
}

bool readLead(Input &in) {
  int c = peek(in);
  if (c == '+' || c == '-') {
    ++in.next;
    c = peek(in);
  }
  Number n;
  if (isDigit(c)) return takeNumber(in, n, false) && endsNumber(in);
  if (c == '.') {
    ++in.next;
    return isDigit(peek(in)) && takeNumber(in, n, true) && endsNumber(in);
  }
  if (toLower(c) == 'i') {
    if (take(in, "inf") < 3) return false;
    // "infin" is "inf" followed by a letter.
    std::size_t more = take(in, "inity");
    return (more == 0 || more == 5) && endsNumber(in);
  }
  if (toLower(c) != 'n' || take(in, "nan") < 3) return false;
  if (peek(in) != '(') return endsNumber(in);
  ++in.next;
  while (isLetterOrDigit(c = peek(in)) || c == '_') ++in.next;
  // "nan(" without its ")" reads as "nan", which "(" follows.
  if (c != ')') return true;
  ++in.next;
  return endsNumber(in);
}
