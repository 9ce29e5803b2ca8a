#include "results_reader.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// White space within a line; the line feed is not among them, as it ends
// the line.
bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isHexDigit(char c) {
  return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

template <bool kHex>
bool isDigitOf(char c) {
  return kHex ? isHexDigit(c) : isDigit(c);
}

const char *find(const char *from, const char *end, char c) {
  return static_cast<const char *>(
      std::memchr(from, c, static_cast<std::size_t>(end - from)));
}

// An exponent is read digit by digit up to here and then stays. Past it a
// number is infinite or zero, unless its digits move the point by nearly as
// many places, and no file holds that many digits.
constexpr long long kExponentCap = 100000000000000000;

// The exponent of 0.DIGITS is clamped to this before conversion: 0.1 times
// ten (or one sixteenth times two) to the power of it is far beyond the
// range of a double, either way.
constexpr long long kExponentClamp = 99999;

void beginNumber(NumberScan &n, char first) {
  n = NumberScan{};
  if (first != '0') {
    n.place = NumberPlace::kInteger;
    n.digits[n.digitCount++] = first;
    n.scale = 1;
  }
}

// Whether the number's last character is the one just read, rather than
// a mark or sign that may turn out not to belong to it.
bool isWhole(NumberPlace place) {
  return place == NumberPlace::kFirstZero || place == NumberPlace::kInteger ||
         place == NumberPlace::kFraction || place == NumberPlace::kExponent;
}

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

// Reads the number on from p. Returns the first character that is not
// part of it, or `end` when the number may go on in the next piece.
// Kept out of line: the line loop below, which most lines of a large file
// never leave, runs markedly slower when this is inlined into it.
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

// The number's value: strtod of a short form of it, its kept digits as a
// whole number (with a 1 after them for any non-zero digit dropped) and
// the exponent that puts the point back. It rounds to the same double as
// the whole number would.
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

void storeNumber(ResultsScan &scan) {
  (*scan.results)[scan.values] = convert(scan.number);
  ++scan.values;
}

}  // namespace

void scanResults(ResultsScan &scan, const char *bytes, std::size_t size) {
  const char *p = bytes;
  const char *const end = bytes + size;
  while (p < end) {
    switch (scan.place) {
      case LinePlace::kStart:
      case LinePlace::kKey: {
        // The key runs to the line's first colon; most lines of a file carry
        // no value, so both searches use memchr rather than a byte loop.
        const char *newline = find(p, end, '\n');
        const char *colon = find(p, newline ? newline : end, ':');
        if (colon) {
          bool emptyKey = colon == p && scan.place == LinePlace::kStart;
          scan.place = emptyKey ? LinePlace::kRest : LinePlace::kAfterColon;
          p = colon + 1;
        } else if (newline) {
          scan.place = LinePlace::kStart;
          ++scan.line;
          p = newline + 1;
        } else {
          scan.place = LinePlace::kKey;
          p = end;
        }
        break;
      }
      case LinePlace::kAfterColon:
        if (*p == '\n') {
          scan.place = LinePlace::kStart;
          ++scan.line;
          ++p;
        } else if (isBlank(*p)) {
          ++p;
        } else if (!isDigit(*p)) {
          scan.place = LinePlace::kRest;
        } else if (scan.values < kStatCount) {
          beginNumber(scan.number, *p);
          scan.place = LinePlace::kNumber;
          ++p;
        } else {
          // Past the 14th value a line is only counted.
          ++scan.values;
          scan.place = LinePlace::kRest;
        }
        break;
      case LinePlace::kNumber:
        // What follows the number on its line, the rest of the token
        // included, is never read.
        p = scanNumber(scan.number, p, end);
        if (p == end) break;
        storeNumber(scan);
        scan.place = LinePlace::kRest;
        if (*p == ',' && isWhole(scan.number.place)) {
          scan.place = LinePlace::kComma;
          ++p;
        }
        break;
      case LinePlace::kComma:
        // A digit after the comma: most likely a thousands separator or a
        // decimal comma, which the number does not take in.
        if (isDigit(*p)) scan.commaLines[scan.values - 1] = scan.line;
        scan.place = LinePlace::kRest;
        break;
      case LinePlace::kRest: {
        const char *newline = find(p, end, '\n');
        if (newline) {
          scan.place = LinePlace::kStart;
          ++scan.line;
          p = newline + 1;
        } else {
          p = end;
        }
        break;
      }
    }
  }
}

std::size_t finishScan(ResultsScan &scan) {
  if (scan.place == LinePlace::kNumber) storeNumber(scan);
  scan.place = LinePlace::kStart;
  return scan.values;
}

ReadOutcome resval(std::FILE *stream, StatVector &results) {
  // Large reads straight into our own buffer: the stream's buffer would
  // only add a copy.
  (void)std::setvbuf(stream, nullptr, _IONBF, 0);
  ResultsScan scan{&results};
  char buffer[128 * 1024];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) {
    scanResults(scan, buffer, got);
  }
  // Taken before the last number's conversion, which may set errno.
  int error = 0;
  if (std::ferror(stream)) error = errno != 0 ? errno : EIO;
  ReadOutcome outcome{finishScan(scan), error, {}};
  // Everything has been read; closing a stream that was only read loses
  // nothing, whatever fclose says.
  (void)std::fclose(stream);
  std::memcpy(outcome.commaLines, scan.commaLines, sizeof outcome.commaLines);
  return outcome;
}
