// The 14 statistics of one benchmark run, in results-file order:
// 0 instructions, 1 cycles, 2 CPI, 3 unique PCs, 4-8 ALU/LD/ST/CBR/OTHER
// counts, 9-13 the same five as percentages of the instructions.
#ifndef GRADE_STAT_VECTOR_H_
#define GRADE_STAT_VECTOR_H_

#include <array>
#include <cstddef>

constexpr std::size_t kStatCount = 14;

using StatVector = std::array<double, kStatCount>;

#endif  // GRADE_STAT_VECTOR_H_
