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

const char *find(const char *from, const char *end, char c) {
  return static_cast<const char *>(
      std::memchr(from, c, static_cast<std::size_t>(end - from)));
}

void storeToken(ResultsScan &scan) {
  scan.token[scan.tokenLength] = '\0';
  // strtod takes the longest leading part that reads as a number, so
  // "12abc" gives 12 and "9.176%" gives 9.176. The locale is never changed,
  // so the decimal point is always the full stop.
  (*scan.results)[scan.values] = std::strtod(scan.token, nullptr);
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
          ++p;
        } else if (isBlank(*p)) {
          ++p;
        } else if (!isDigit(*p)) {
          scan.place = LinePlace::kRest;
        } else if (scan.values < kStatCount) {
          scan.place = LinePlace::kToken;
          scan.tokenLength = 0;
        } else {
          // Past the 14th value a line is only counted.
          ++scan.values;
          scan.place = LinePlace::kRest;
        }
        break;
      case LinePlace::kToken:
        for (; p < end && !isBlank(*p) && *p != '\n'; ++p) {
          if (scan.tokenLength < kTokenLimit)
            scan.token[scan.tokenLength++] = *p;
        }
        if (p < end) {
          storeToken(scan);
          scan.place = LinePlace::kRest;
        }
        break;
      case LinePlace::kRest: {
        const char *newline = find(p, end, '\n');
        if (newline) {
          scan.place = LinePlace::kStart;
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
  if (scan.place == LinePlace::kToken) storeToken(scan);
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
  int error = 0;
  if (std::ferror(stream)) error = errno != 0 ? errno : EIO;
  // Everything has been read; closing a stream that was only read loses
  // nothing, whatever fclose says.
  (void)std::fclose(stream);
  return {finishScan(scan), error};
}
