#include "results_reader.h"

#include <cerrno>
#include <cstring>

namespace {

// White space within a line; the line feed is not among them, as it ends
// the line.
bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

const char *find(const char *from, const char *end, char c) {
  return static_cast<const char *>(
      std::memchr(from, c, static_cast<std::size_t>(end - from)));
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
        if (*p == ',' && endsWhole(scan.number)) {
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
