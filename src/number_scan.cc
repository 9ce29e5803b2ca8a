#include "number_scan.h"

#include <cstdlib>
#include <cstring>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isHexDigit(char c) {
  return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

template <bool kHex>
bool isDigitOf(char c) {
  return kHex ? isHexDigit(c) : isDigit(c);
}

// ASCII only: the locale is never changed.
char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isLetterOrDigit(char c) {
  return isDigit(c) || (lower(c) >= 'a' && lower(c) <= 'z');
}

// An exponent is read digit by digit up to here and then stays. Past it a
// number is infinite or zero, unless its digits move the point by nearly as
// many places, and no file holds that many digits.
constexpr long long kExponentCap = 100000000000000000;

// The exponent of 0.DIGITS is clamped to this before conversion: 0.1 times
// ten (or one sixteenth times two) to the power of it is far beyond the
// range of a double, either way.
constexpr long long kExponentClamp = 99999;

// Takes the run of significand digits at p; returns where it ends.
template <bool kHex>
const char *takeDigits(NumberScan &n, const char *p, const char *end) {
  const bool integer = n.place == NumberPlace::kInteger;
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
  // Past the kept digits a long run is only looked at for a non-zero one.
  const char *run = p;
  bool nonZero = false;
  for (; p < end && isDigitOf<kHex>(*p); ++p) nonZero |= *p != '0';
  n.dropped = n.dropped || nonZero;
  if (integer) n.scale += p - run;
  return p;
}

}  // namespace

void beginNumber(NumberScan &n, char first) {
  n = NumberScan{};
  if (first == '.') {
    n.place = NumberPlace::kFraction;
  } else if (first != '0') {
    n.place = NumberPlace::kInteger;
    n.digits[n.digitCount++] = first;
    n.scale = 1;
  }
}

bool endsWhole(const NumberScan &n) {
  return n.place == NumberPlace::kFirstZero ||
         n.place == NumberPlace::kInteger ||
         n.place == NumberPlace::kFraction || n.place == NumberPlace::kExponent;
}

// Kept out of line: the reader's line loop, which most lines of a large
// file never leave, runs markedly slower when this is inlined into it.
[[gnu::noinline]] const char *scanNumber(NumberScan &n, const char *p,
                                         const char *end) {
  while (p < end) {
    char c = *p;
    switch (n.place) {
      case NumberPlace::kFirstZero:
        if (c == 'x' || c == 'X') {
          n.place = NumberPlace::kHexMark;
          ++p;
        } else {
          n.place = NumberPlace::kInteger;
        }
        break;
      case NumberPlace::kInteger:
      case NumberPlace::kFraction:
        p = n.hex ? takeDigits<true>(n, p, end) : takeDigits<false>(n, p, end);
        if (p == end) return end;
        c = *p;
        if (c == '.' && n.place == NumberPlace::kInteger) {
          n.place = NumberPlace::kFraction;
        } else if (n.hex ? c == 'p' || c == 'P' : c == 'e' || c == 'E') {
          n.place = NumberPlace::kExponentMark;
        } else {
          return p;
        }
        ++p;
        break;
      case NumberPlace::kExponentMark:
        if (c == '+' || c == '-') {
          n.exponentNegative = c == '-';
          n.place = NumberPlace::kExponentSign;
          ++p;
          break;
        }
        [[fallthrough]];
      case NumberPlace::kExponentSign:
        if (!isDigit(c)) return p;
        n.place = NumberPlace::kExponent;
        break;
      case NumberPlace::kExponent:
        for (; p < end && isDigit(*p); ++p) {
          if (n.exponent < kExponentCap)
            n.exponent = n.exponent * 10 + (*p - '0');
        }
        if (p < end) return p;
        break;
      case NumberPlace::kHexMark:
        if (c == '.') {
          n.place = NumberPlace::kHexPoint;
          ++p;
          break;
        }
        [[fallthrough]];
      case NumberPlace::kHexPoint:
        if (!isHexDigit(c)) return p;
        n.hex = true;
        n.place = n.place == NumberPlace::kHexMark ? NumberPlace::kInteger
                                                   : NumberPlace::kFraction;
        break;
    }
  }
  return end;
}

// strtod of a short form of the number: its kept digits as a whole number
// (with a 1 after them for any non-zero digit dropped) and the exponent
// that puts the point back. It rounds to the same double as the whole
// number would.
double convert(const NumberScan &n) {
  if (n.digitCount == 0) return 0.0;
  long long exponent = n.scale * (n.hex ? 4 : 1) +
                       (n.exponentNegative ? -n.exponent : n.exponent);
  if (exponent > kExponentClamp) exponent = kExponentClamp;
  if (exponent < -kExponentClamp) exponent = -kExponentClamp;
  std::size_t digitCount = n.digitCount + (n.dropped ? 1 : 0);
  exponent -= static_cast<long long>(digitCount) * (n.hex ? 4 : 1);

  char text[sizeof "0x" + kDigitLimit + sizeof "1p-9999999"];
  std::size_t length = 0;
  if (n.hex) {
    text[length++] = '0';
    text[length++] = 'x';
  }
  std::memcpy(text + length, n.digits, n.digitCount);
  length += n.digitCount;
  if (n.dropped) text[length++] = '1';
  text[length++] = n.hex ? 'p' : 'e';
  if (exponent < 0) text[length++] = '-';
  char reversed[8];
  std::size_t places = 0;
  for (long long rest = exponent < 0 ? -exponent : exponent;
       places == 0 || rest > 0; rest /= 10) {
    reversed[places++] = static_cast<char>('0' + rest % 10);
  }
  while (places > 0) text[length++] = reversed[--places];
  text[length] = '\0';
  // The locale is never changed, so the point is always the full stop.
  return std::strtod(text, nullptr);
}

const char *scanLead(LeadScan &s, NumberScan &number, const char *p,
                     const char *end) {
  // What follows a whole number decides: a letter or a digit would make
  // the token a word ("info", "inf5", "-5abc") rather than a number.
  auto decide = [&s](const char *at, bool whole) {
    s.place = whole && !isLetterOrDigit(*at) ? LeadPlace::kNumberRead
                                             : LeadPlace::kNoNumber;
    return at;
  };
  while (p < end) {
    char c = *p;
    switch (s.place) {
      case LeadPlace::kStart:
        if (c == '+' || c == '-') {
          s.place = LeadPlace::kSign;
          ++p;
          break;
        }
        [[fallthrough]];
      case LeadPlace::kSign:
        if (isDigit(c)) {
          beginNumber(number, c);
          s.place = LeadPlace::kNumber;
        } else if (c == '.') {
          s.place = LeadPlace::kPoint;
        } else if (lower(c) == 'i' || lower(c) == 'n') {
          s.word = lower(c) == 'i' ? "infinity" : "nan";
          s.matched = 1;
          s.place = LeadPlace::kWord;
        } else {
          return decide(p, false);
        }
        ++p;
        break;
      case LeadPlace::kPoint:
        if (!isDigit(c)) return decide(p, false);
        beginNumber(number, '.');
        s.place = LeadPlace::kNumber;
        break;
      case LeadPlace::kNumber:
        p = scanNumber(number, p, end);
        if (p == end) return end;
        return decide(p, endsWhole(number));
      case LeadPlace::kWord:
        if (s.word[s.matched] != '\0' && lower(c) == s.word[s.matched]) {
          ++s.matched;
          ++p;
          if (s.word[s.matched] == '\0' && s.word[0] == 'i') {
            s.place = LeadPlace::kEnded;
          }
        } else if (s.matched == 3 && s.word[0] == 'n' && c == '(') {
          s.place = LeadPlace::kNanChars;
          ++p;
        } else {
          // Only "inf", "infinity" and "nan" are numbers; "infin" is "inf"
          // followed by a letter.
          return decide(p, s.matched == 3);
        }
        break;
      case LeadPlace::kNanChars:
        while (isLetterOrDigit(*p) || *p == '_') {
          if (++p == end) return end;
        }
        // "nan(" without its ")" reads as "nan", which "(" follows.
        if (*p != ')') {
          s.place = LeadPlace::kNumberRead;
          return p;
        }
        s.place = LeadPlace::kEnded;
        ++p;
        break;
      case LeadPlace::kEnded:
        return decide(p, true);
      case LeadPlace::kNumberRead:
      case LeadPlace::kNoNumber:
        return p;
    }
  }
  return end;
}
