// What each of the 14 positions of a stat vector is, the one description
// that the reader, the diagnostics and the report read: how a note names
// its value, the label under which the table prints it (null where it is
// not printed), and the key that the lab's own results files write for
// it. And which of them a key in a results file names.
#ifndef GRADE_STATISTICS_H_
#define GRADE_STATISTICS_H_

#include <cstddef>

#include "stat_vector.h"

struct Statistic {
  const char *name;
  const char *label;
  const char *key;
};

inline constexpr Statistic kStatistics[kStatCount] = {
    {"the instructions", nullptr, "Total instructions"},
    {"the cycles", nullptr, "Total cycles"},
    {"CPI", "CPI", "CPI"},
    {"the unique PCs", "UNIQUE_PC", "Unique PC values"},
    {"the ALU count", nullptr, "ALU operations"},
    {"the LD count", nullptr, "LD operations"},
    {"the ST count", nullptr, "ST operations"},
    {"the CBR count", nullptr, "CBR operations"},
    {"the OTHER count", nullptr, "OTHER operations"},
    {"the ALU percentage", "PERC_ALU_OP", "PERC_ALU_OP"},
    {"the LD percentage", "PERC_LD_OP", "PERC_LD_OP"},
    {"the ST percentage", "PERC_ST_OP", "PERC_ST_OP"},
    {"the CBR percentage", "PERC_CBR_OP", "PERC_CBR_OP"},
    {"the OTHER percentage", "PERC_OTHER_OP", "PERC_OTHER_OP"},
};

constexpr int kNamesNone = -1;

// The position of the statistic that a key names, the first in the key's
// word order whose key or label it holds word for word, in any case, with
// no "%" after it (a count's share is not the count); kNamesNone where it
// names none. Words split at anything that is not a letter or a digit,
// and between a lower-case and an upper-case letter ("UniquePC"). A key
// `cut` short may go on with its last word.
int statisticNamed(const char *key, std::size_t length, bool cut);

#endif  // GRADE_STATISTICS_H_
