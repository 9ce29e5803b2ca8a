// Fuzzes the results reader. Beyond "no crash", every input must satisfy:
// - values go to positions 0 to 13 only, and positions past the count of
//   value-carrying lines stay NaN while those before it hold numbers;
// - feeding the bytes in pieces of any size yields the same values;
// - turning every line feed into a carriage return and a line feed yields
//   the same values;
// - resval on a stream yields what the scanner yields on the bytes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "results_reader.h"

namespace {

// The vector sits between guards, so that a write past either end of it
// shows as a changed guard rather than passing unseen inside the object.
struct Guarded {
  double before[4];
  StatVector values;
  double after[4];
};

constexpr double kGuard = -12345.0;

Guarded fresh() {
  Guarded g;
  for (double &d : g.before) d = kGuard;
  for (double &d : g.after) d = kGuard;
  g.values.fill(std::numeric_limits<double>::quiet_NaN());
  return g;
}

void check(bool ok, const char *what) {
  if (!ok) {
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
  }
}

std::size_t scanInPieces(const char *data, std::size_t size, std::size_t piece,
                         Guarded &g) {
  ResultsScan scan{&g.values};
  for (std::size_t at = 0; at < size; at += piece) {
    scanResults(scan, data + at, piece < size - at ? piece : size - at);
  }
  return finishScan(scan);
}

// Same bits: a NaN matches a NaN, and 0 and -0 differ.
bool sameValues(const StatVector &a, const StatVector &b) {
  return std::memcmp(a.data(), b.data(), sizeof(double) * kStatCount) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes,
                                      std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the piece size; the rest is the file.
  std::size_t piece = bytes[0] % 64 + 1;
  const char *data = reinterpret_cast<const char *>(bytes + 1);
  --size;

  Guarded whole = fresh();
  std::size_t count = scanInPieces(data, size, size ? size : 1, whole);
  for (double d : whole.before) check(d == kGuard, "written before position 0");
  for (double d : whole.after) check(d == kGuard, "written past position 13");
  for (std::size_t i = 0; i < kStatCount; ++i) {
    check(std::isnan(whole.values[i]) == (i >= count),
          "NaN exactly at the positions not reached");
  }

  Guarded pieces = fresh();
  check(scanInPieces(data, size, piece, pieces) == count, "count in pieces");
  check(sameValues(pieces.values, whole.values), "values in pieces");

  std::string crlf;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') crlf += '\r';
    crlf += data[i];
  }
  Guarded dos = fresh();
  check(scanInPieces(crlf.data(), crlf.size(), piece, dos) == count,
        "count with CRLF");
  check(sameValues(dos.values, whole.values), "values with CRLF");

  if (size > 0) {
    std::FILE *stream = fmemopen(const_cast<char *>(data), size, "r");
    if (stream) {
      Guarded read = fresh();
      ReadOutcome outcome = resval(stream, read.values);
      check(outcome.error == 0 && outcome.values == count, "resval count");
      check(sameValues(read.values, whole.values), "resval values");
    }
  }
  return 0;
}
