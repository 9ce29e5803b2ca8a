#include "report.h"

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdio>

namespace {

constexpr char kHeader[] = "\nStat\t\tlibq\t\tbzip2\t\tmcf\t\tgcc";

struct Row {
  const char *label;
  std::size_t position;
  const char *format;
};

constexpr char kPercentFormat[] = "\n%s\t%5.3f\t\t%6.3f\t\t%6.3f\t\t%6.3f\t\t";

const Row kDoubleRows[] = {
    {"PERC_ALU_OP", 9, kPercentFormat},
    {"PERC_LD_OP", 10, kPercentFormat},
    {"PERC_ST_OP", 11, kPercentFormat},
    {"PERC_CBR_OP", 12, kPercentFormat},
    {"PERC_OTHER_OP", 13, kPercentFormat},
    {"CPI", 2, "\n%s\t\t%5.3f\t\t%6.3f\t\t%6.3f\t\t%6.3f\t\t"},
};

// The UNIQUE_PC row, "\n%s\t%5d\t\t%6d\t\t%6d\t\t%6d\t", is written a cell
// at a time because a cell whose value has no int form falls back to a double
// format of the same width.
constexpr char kUniquePcLabel[] = "UNIQUE_PC";
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
    std::printf(row.format, row.label, libq[i], bzip2[i], mcf[i], gcc[i]);
  }
  std::printf("\n%s\t", kUniquePcLabel);
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
