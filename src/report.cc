#include "report.h"

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdio>

#include "statistics.h"

namespace {

constexpr char kHeader[] = "\nStat\t\tlibq\t\tbzip2\t\tmcf\t\tgcc";

// A row of doubles: the position it shows, under the position's label.
struct Row {
  std::size_t position;
  const char *format;
};

constexpr char kPercentFormat[] = "\n%s\t%5.3f\t\t%6.3f\t\t%6.3f\t\t%6.3f\t\t";

const Row kDoubleRows[] = {
    {9, kPercentFormat},  {10, kPercentFormat},
    {11, kPercentFormat}, {12, kPercentFormat},
    {13, kPercentFormat}, {2, "\n%s\t\t%5.3f\t\t%6.3f\t\t%6.3f\t\t%6.3f\t\t"},
};

// The UNIQUE_PC row, "\n%s\t%5d\t\t%6d\t\t%6d\t\t%6d\t", is written a cell
// at a time because a cell whose value has no int form falls back to a double
// format of the same width.
constexpr std::size_t kUniquePcPosition = 3;

// Prints the value truncated toward zero: as an int where it fits one,
// else (infinite, NaN, or beyond int's range) as a double with no decimals,
// so that no conversion is ever undefined.
void printUniquePc(int width, double value) {
  double whole = std::trunc(value);
  if (whole >= INT_MIN && whole <= INT_MAX) {
    std::printf("%*d", width, static_cast<int>(whole));
  } else {
    std::printf("%*.0f", width, whole);
  }
}

}  // namespace

void printStatsTable(const StatVector &libq, const StatVector &bzip2,
                     const StatVector &mcf, const StatVector &gcc) {
  std::printf("%s", kHeader);
  for (const Row &row : kDoubleRows) {
    std::size_t i = row.position;
    std::printf(row.format, kStatistics[i].label, libq[i], bzip2[i], mcf[i],
                gcc[i]);
  }
  std::printf("\n%s\t", kStatistics[kUniquePcPosition].label);
  const struct {
    const char *before;
    const StatVector &column;
    int width;
  } cells[] = {
      {"", libq, 5}, {"\t\t", bzip2, 6}, {"\t\t", mcf, 6}, {"\t\t", gcc, 6}};
  for (const auto &cell : cells) {
    std::printf("%s", cell.before);
    printUniquePc(cell.width, cell.column[kUniquePcPosition]);
  }
  std::putchar('\t');
}
