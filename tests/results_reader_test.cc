#include "results_reader.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "diagnostics.h"
#include "stderr_of.h"

using namespace std::string_literals;

namespace {

struct ReaderCase {
  const char *name;
  std::string input;
  std::vector<double> values;  // what positions 0, 1, ... must hold
  // What grade says of the file, as it says it of a file F, without the
  // "grade: F" that begins each line.
  std::string said = "";
};

// The lab's own keys, a line each, with the values of the bzip2 reference
// but for those given.
std::string labLines(std::size_t from, std::size_t to) {
  const char *keys[] = {
      "Total instructions", "Total cycles",   "CPI",
      "Unique PC values",   "ALU operations", "LD operations",
      "ST operations",      "CBR operations", "OTHER operations",
      "PERC_ALU_OP",        "PERC_LD_OP",     "PERC_ST_OP",
      "PERC_CBR_OP",        "PERC_OTHER_OP"};
  std::string lines;
  for (std::size_t i = from; i < to; ++i) {
    lines += keys[i] + ": "s + std::to_string(i + 1) + "\n";
  }
  return lines;
}

const ReaderCase kCases[] = {
    // The file format.
    {"key with spaces, words after the token",
     "Total instructions : 10000000 instructions\n",
     {10000000},
     ": 1 value, expected 14 (the last on line 1)\n"},
    {"lines that yield nothing keep later positions in order",
     "Summary\nx: -5\nx: .5\nx: n/a\nx:\nx\n: 7\n\na:b:5\nx:  \t\ny: 3\n",
     {3},
     ": 1 value, expected 14 (the last on line 11)\n"},
    {"white space around the token; carriage returns",
     "x:\t\v\f\r 7\r\nx: 5\r\n\r\ny: 6\r\n",
     {7, 5, 6},
     ": 3 values, expected 14 (the last on line 4)\n"},
    {"last line needs no line feed; a key of 60 bytes",
     "x: 1\n" + std::string(60, 'k') + ": 2",
     {1, 2},
     ": 2 values, expected 14 (the last on line 2)\n"},
    {"NUL is an ordinary character",
     "x\0: 5\n\0: 6\n:\0 7\nx: \0 8\nx: 9\0 10\n\0\n"s,
     {5, 6, 9},
     ":3: the value after the first colon is \"\\x00\", not a number\n"
     ":5: from here the file is not text\n"
     ": 3 values, expected 14 (the last on line 5)\n"},
    {"only the first 14 values are stored",
     labLines(0, 14) + "o:15\np:16\n",
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14},
     ": 16 values, expected 14 (the first on line 1, the 15th on line 15)\n"},
    {"a complete file in the lab's order has no note",
     labLines(0, 14),
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}},

    // A number that is not all the number the line shows, whatever stands
    // at its stop.
    {"a digit after the stop",
     "a: 10'000'000\nb: 1.8x10^7\nc: 18,536,679\nd: 12:30:01\ne: 1.823,5\n"
     "f: 10.000.000\ng: 18227S96\nh: 0x1Ag5\ni: 18\xc2\xa0"
     "227\nj: 5M5\n",
     {10, 1.8, 18, 12, 1.823, 10, 18227, 26, 18, 5},
     ":1: number stops at \"'\", read as 10\n"
     ":2: number stops at \"x\", read as 1.8\n"
     ":3: number stops at \",\", read as 18\n"
     ":4: number stops at \":\", read as 12\n"
     ":5: number stops at \",\", read as 1.823\n"
     ":6: number stops at \".\", read as 10\n"
     ":7: number stops at \"S\", read as 18227\n"
     ":8: number stops at \"g\", read as 26\n"
     ":9: number stops at \"\\xc2\\xa0\", read as 18\n"
     ":10: number stops at \"M\", read as 5\n"
     ": 10 values, expected 14 (the last on line 10)\n"},
    {"hexadecimal digits, and a scale right after or after a blank",
     "a: 12abc\nb: 7fffe\nc: 3e8a\nd: 10M\ne: 1.5k;\nf: 7G.\ng: 10 million\n"
     "h: 2\tK cycles\ni: 18 227 596\n",
     {12, 7, 3e8, 10, 1.5, 7, 10, 2, 18},
     ":1: number stops at \"a\", read as 12; it may be hexadecimal\n"
     ":2: number stops at \"f\", read as 7; it may be hexadecimal\n"
     ":3: number stops at \"a\", read as 3e+08; it may be hexadecimal\n"
     ":4: number stops at \"M\", read as 10\n"
     ":5: number stops at \"k\", read as 1.5\n"
     ":6: number stops at \"G\", read as 7\n"
     ":7: number stops at \" million\", read as 10\n"
     ":8: number stops at \"\\tK\", read as 2\n"
     ":9: number stops at \" \", read as 18\n"
     ": 9 values, expected 14 (the last on line 9)\n"},
    {"tokens that lost nothing",
     "a: 5ms\nb: 1.823;\nc: 9.176%\nd: 9.176 %\ne: 1e5\nf: 12abcx\n"
     "g: 1e,5\nh: 1.823 100\ni: 1234 567\nj: 18 2275\nk: 5 cycles\n"
     "l: 10Mi\nm: 0x\n",
     {5, 1.823, 9.176, 9.176, 100000, 12, 1, 1.823, 1234, 18, 5, 10, 0},
     ": 13 values, expected 14 (the last on line 13)\n"},
    {"only the first 14 values are looked at",
     labLines(0, 14) + "x: 1,5\n",
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14},
     ": 15 values, expected 14 (the first on line 1, the 15th on line 15)\n"},

    // Keys against places.
    {"a key that names another statistic: the first such line",
     labLines(0, 2) + labLines(3, 4) + labLines(2, 3) + labLines(4, 14),
     {1, 2, 4, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14},
     ":3: \"Unique PC values\" is read as value 3, CPI (values are taken in "
     "file order)\n"},
    {"keys and labels by their words, in any case, split at a change of case",
     "total_instructions: 1\n  UniquePC :\t2\nCycles per instruction (CPI): "
     "3\n",
     {1, 2, 3},
     ":2: \"UniquePC\" is read as value 2, the cycles (values are taken in "
     "file order)\n"
     ": 3 values, expected 14 (the last on line 3)\n"},
    {"words that name no statistic",
     "Total instructions count: 1\nCPIs: 2\ncPI: 3\nUnique PCs: 4\n"
     "ALU operations (%): 5\nPERC_ALU_OPS: 6\n",
     {1, 2, 3, 4, 5, 6},
     ": 6 values, expected 14 (the last on line 6)\n"},
    {"a key is looked at up to 32 bytes, and may go on with a word past them",
     std::string(29, 'x') + " CPIx: 1\n" + std::string(28, 'x') + " CPI: 2\n",
     {1, 2},
     ":2: \"" + std::string(28, 'x') +
         " CPI\" is read as value 2, the cycles (values are taken in file "
         "order)\n"
         ": 2 values, expected 14 (the last on line 2)\n"},
    {"a key cut at 32 bytes is shown with ...",
     "CPI" + std::string(29, ' ') + "x: 1\n",
     {1},
     ":1: \"CPI...\" is read as value 1, the instructions (values are taken "
     "in file order)\n"
     ": 1 value, expected 14 (the last on line 1)\n"},
    {"an extra line: its key names none, the next names its place",
     "Threads: 4,5\n" + labLines(0, 14),
     {4, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13},
     ":1: \"Threads\" is read as value 1, the instructions; its key names no "
     "statistic\n"
     ": 15 values, expected 14 (the first on line 1, the 15th on line 15)\n"},
    {"a key that names none where the next names its own place",
     "Totl instructions: 1,5\n" + labLines(1, 14),
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14},
     ":1: number stops at \",\", read as 1\n"},

    // A line that should have given a value and did not.
    {"its key names a statistic not yet read: what stands after the colon",
     labLines(0, 2) + "CPI:\n" + labLines(3, 14),
     {1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14},
     ":3: no value after the colon\n"
     ":4: \"Unique PC values\" is read as value 3, CPI (values are taken in "
     "file order)\n"
     ": 13 values, expected 14 (the last on line 14)\n"},
    {"a word after the colon, a number later or not",
     labLines(0, 2) + "CPI: TODO\n" + labLines(3, 14),
     {1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14},
     ":3: the value after the first colon is \"TODO\", not a number\n"
     ":4: \"Unique PC values\" is read as value 3, CPI (values are taken in "
     "file order)\n"
     ": 13 values, expected 14 (the last on line 14)\n"},
    {"the number before the colon",
     labLines(0, 2) + "1.823 : CPI\n" + labLines(3, 14),
     {1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14},
     ":3: the number stands before the colon\n"
     ":4: \"Unique PC values\" is read as value 3, CPI (values are taken in "
     "file order)\n"
     ": 13 values, expected 14 (the last on line 14)\n"},
    {"a line among the values that yields nothing and names none",
     labLines(0, 1) + "x: (18227596)\n" + labLines(2, 14),
     {1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14},
     ":2: skipped \"(18227596)\": a value begins with a digit\n"
     ":3: \"CPI\" is read as value 2, the cycles (values are taken in file "
     "order)\n"
     ": 13 values, expected 14 (the last on line 14)\n"},
    {"no colon: a line whose key names a statistic, and a number",
     "# results\nTotal instructions = 10000000\nTotal cycles = 18227596\n",
     {},
     ":2: no colon before the number: \"Total instructions = 10000000\"\n"
     ": 0 values, expected 14\n"},
    {"where no line names a statistic, the first that holds a number",
     "Lab results\n" + std::string(32, 'b') + " 5   \r\n10000000\n",
     {},
     ":2: no colon before the number: \"" + std::string(32, 'b') +
         "...\"\n"
         ": 0 values, expected 14\n"},
    {"grep's file names before the keys",
     "sim/out/mcf.log:Total instructions : 10000000\nsim/out/mcf.log:x\n"
     "sim/out/mcf.log:Total cycles : 18964224\n",
     {},
     ":1: the value after the first colon is \"Total\", not a number\n"
     ": 0 values, expected 14\n"},
    {"the colon first, a number after it",
     "x: 1\n: 7\ny: 3\n",
     {1, 3},
     ":2: no key before the colon\n"
     ": 2 values, expected 14 (the last on line 3)\n"},
    {"a line among the values that accounts for none: the next value's key "
     "names its own place",
     "Threads: 4\nDate: Tue Sep  9 14:02:11\n" + labLines(0, 5),
     {4, 1, 2, 3, 4, 5},
     ":1: \"Threads\" is read as value 1, the instructions; its key names no "
     "statistic\n"
     ": 6 values, expected 14 (the last on line 7)\n"},
    {"where every value has its own key, the count alone tells",
     "Date: Tue Sep  9 14:02:11 2025\n" + labLines(0, 12) +
         "sim: killed at 12:30:01\nStatus: -1\n",
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
     ": 12 values, expected 14 (the last on line 13)\n"},
    {"but for a line whose key names a statistic that no value gave",
     "CPI: see below\n" + labLines(0, 13) + "PERC_OTHER_OP:\n18.2 %\n",
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13},
     ":15: no value after the colon\n"
     ": 13 values, expected 14 (the last on line 14)\n"},
    {"several extra lines: the first",
     "Debug: 1\nDebug: 2\n" + labLines(0, 13),
     {1, 2, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
     ":1: \"Debug\" is read as value 1, the instructions; its key names no "
     "statistic\n"
     ": 15 values, expected 14 (the first on line 1, the 15th on line 15)\n"},
    {"a file of one or two lines that yields nothing is shown whole",
     "Segmentation fault (core dumped)\n",
     {},
     ": 0 values, expected 14 (the file holds only \"Segmentation fault "
     "(core dumped)\")\n"},
    {"two lines, cut at 32 bytes",
     "Total instructions = 10000000\nTotal cycles = 18227596\n",
     {},
     ": 0 values, expected 14 (the file holds only \"Total instructions = "
     "10000000\\nTo...\")\n"},
    {"a file of white space alone",
     "\r\n",
     {},
     ": 0 values, expected 14 (the file holds only \"\\r\\n\")\n"},

    // Where the values stop, what the bytes are.
    {"UTF-16 from a line on",
     labLines(0, 3) + "U\0n\0i\0q\0u\0e\0 \0P\0C\0:\0 \0"
                      "7\0\n\0"s,
     {1, 2, 3},
     ":4: from here the file is UTF-16 text; save it as UTF-8\n"
     ": 3 values, expected 14 (the last on line 3)\n"},
    {"NUL bytes alone after the last value, on its line",
     labLines(0, 2) + "CPI: 1.8" + std::string(40, '\0'),
     {1, 2, 1.8},
     ":3: from here the file holds only NUL bytes\n"
     ": 3 values, expected 14 (the last on line 3)\n"},
    {"lines that end with a carriage return alone, from the last value's line",
     "a: 1\nb: 2 x\nc: 3\rd: 4\re: 5\r",
     {1, 2, 3},
     ":3: from here its lines end with a carriage return alone; save it with "
     "line feeds\n"
     ": 3 values, expected 14 (the last on line 3)\n"},
    {"lines that begin with a carriage return are text lines",
     "\na: 1\n\rb: 2\n\r",
     {1, 2},
     ": 2 values, expected 14 (the last on line 3)\n"},
    {"a whole file of UTF-16",
     "\xff\xfe#\0 \0L\0a\0b\0:\0 \0"
     "1\0\r\0\n\0"s,
     {},
     ": 0 values, expected 14 (the file is UTF-16 text; save it as UTF-8)\n"},
    {"a whole file of NUL bytes",
     "\0\0\0"s,
     {},
     ": 0 values, expected 14 (the file holds only NUL bytes)\n"},
    {"a whole file of lines that end with a carriage return alone",
     "# results\rCPI: 1.823\rUnique PC values: 764\r",
     {1.823},
     ":1: \"# results\\rCPI\" is read as value 1, the instructions (values are "
     "taken in file order)\n"
     ": 1 value, expected 14 (its lines end with a carriage return alone; save "
     "it with line feeds)\n"},
    {"bytes that are not text",
     "\x01\x02\0\x03\x04\x05\nCPI: x\n"s,
     {},
     ": 0 values, expected 14 (the file is not text)\n"},
    {"a Git LFS pointer has no other note",
     "version https://git-lfs.github.com/\noid sha256:4d7a2146\nsize 12345\n",
     {4},
     ": 1 value, expected 14 (the file is a Git LFS pointer; fetch the file "
     "itself, with git lfs pull)\n"},
    {"empty file", "", {}, ": 0 values, expected 14 (the file is empty)\n"},
};

// A line that yields nothing, and the note that tells what it holds, in
// a file of three lines with no value, whose first it is.
struct LineCase {
  std::string line;
  std::string note;
};

const LineCase kLines[] = {
    {"x: -5", "skipped \"-5\": a value begins with a digit"},
    {"x: \"10000000\"",
     "skipped \"\\\"10000000\\\"\": a value begins with a digit"},
    {"x: [1.823]", "skipped \"[1.823]\": a value begins with a digit"},
    {"x: \x1b[1;32m10000000\x1b[0m",
     "skipped \"\\x1b[1;32m10000000\\x1b[0m\": a value begins with a digit"},
    {"x: \xc2\xa0"
     "764",
     "skipped \"\\xc2\\xa0764\": a value begins with a digit"},
    {"x: {[(<\"5",
     "the value after the first colon is \"{[(<\\\"5\", not a number"},
    {"x: --5", "the value after the first colon is \"--5\", not a number"},
    {"x: nan(5)x",
     "the value after the first colon is \"nan(5)x\", not a number"},
    {"x: " + std::string(40, 'w') + " 7",
     "the value after the first colon is \"" + std::string(32, 'w') +
         "...\", not a number"},
    {"x: -x", ""},
    {"x: Total_5 v2 .5", ""},
    {"x: TODO", ""},
    {"CPI: TODO", "the value after the first colon is \"TODO\", not a number"},
    {"x:", ""},
    {"CPI:", "no value after the colon"},
    {"10000000 : Total instructions", "the number stands before the colon"},
    {"1.823:", "the number stands before the colon"},
    {": 7", "no key before the colon"},
    {"CPI 1.823", "no colon before the number: \"CPI 1.823\""},
    {"x 5 %  ", "no colon before the number: \"x 5 %\""},
    {"Total instructions", ""},
};

// What grade says of the file, through the diagnostics that it uses.
std::string said(const ReadOutcome &outcome, const StatVector &results) {
  return stderrOf([&] { warnRead("F", outcome, results, false, nullptr); },
                  sizeof "grade: F" - 1);
}

// Reads each case through buffers of many sizes, so that a line, a key or
// a number is split at every byte; each buffer is an allocation of exactly
// its size, so that the sanitizer build catches a read before or after it.
TEST(ResultsReaderTest, ReadsFilesThroughBuffersOfAnySize) {
  for (const ReaderCase &c : kCases) {
    for (std::size_t size : {1, 2, 3, 7, 49, 4097, 128 * 1024}) {
      std::string how = c.name + ", buffer of "s + std::to_string(size);
      int fd = memfd_create("results", 0);
      ASSERT_EQ(write(fd, c.input.data(), c.input.size()),
                static_cast<ssize_t>(c.input.size()));
      ASSERT_EQ(lseek(fd, 0, SEEK_SET), 0);
      std::vector<char> buffer(size);
      StatVector results;
      results.fill(std::numeric_limits<double>::quiet_NaN());
      ReadOutcome outcome = resval(fd, results, buffer.data(), size);
      EXPECT_EQ(outcome.error, 0) << how;
      EXPECT_EQ(said(outcome, results), c.said) << how;
      for (std::size_t i = 0; i < kStatCount; ++i) {
        if (i < c.values.size()) {
          EXPECT_EQ(results[i], c.values[i]) << how << ", position " << i;
        } else {
          EXPECT_TRUE(std::isnan(results[i])) << how << ", position " << i;
        }
      }
    }
  }
}

// Each line through a buffer that splits its key from what follows.
TEST(ResultsReaderTest, TellsWhatALineHoldsInPlaceOfAValue) {
  for (const LineCase &c : kLines) {
    for (std::size_t size : {3, 7, 4097}) {
      std::string input = c.line + "\n\n\n";
      int fd = memfd_create("results", 0);
      ASSERT_EQ(write(fd, input.data(), input.size()),
                static_cast<ssize_t>(input.size()));
      ASSERT_EQ(lseek(fd, 0, SEEK_SET), 0);
      std::vector<char> buffer(size);
      StatVector results;
      ReadOutcome outcome = resval(fd, results, buffer.data(), size);
      EXPECT_EQ(said(outcome, results),
                (c.note.empty() ? "" : ":1: " + c.note + "\n") +
                    ": 0 values, expected 14\n")
          << c.line << ", buffer of " << size;
    }
  }
}

}  // namespace
