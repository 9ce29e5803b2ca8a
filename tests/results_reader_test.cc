#include "results_reader.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

struct ReaderCase {
  const char *name;
  std::string input;
  std::vector<double> values;  // what positions 0, 1, ... must hold
  std::size_t count;           // value-carrying lines, past the 14th too
  // The notes in order: LINE and where a number stops (",", ".", " " or
  // its unit's letter), "LINE:TOKEN" for a skipped token, with "..."
  // where it is cut, "LINE=KEY@POSITION" for a key at another's place,
  // "LINE;LINE'S TEXT" for a line without a colon, with "..." where it is
  // cut, "LINE+" for more numbers after a value, "LINE?TOKEN" for a word
  // after the first colon with a number later, or "LINE<" where carriage
  // returns alone begin to end the lines.
  std::string notes = "";
  std::vector<std::size_t> lines = {};  // first, last and 15th value's line
  FileKind kind = FileKind::kText;
};

const ReaderCase kCases[] = {
    {"plain, with a key at another's place",
     "CPI: 1.823\n",
     {1.823},
     1,
     "1=CPI@0"},
    {"key with spaces, words after the token",
     "Total cycles : 18227596 cycles\n",
     {18227596},
     1},
    {"no space after the colon", "UNIQUE_PC:764\n", {764}, 1, "1=UNIQUE_PC@0"},
    {"leading part of the token",
     "a: 9.176%\nb: 5e2\nc: 12abc\n",
     {9.176, 500, 12},
     3},
    {"lines that yield nothing keep later positions in order",
     "Summary\nx: -5\nx: .5\nx: n/a\nx:\nx\n: 7\n\na:b:5\nx:  \t\ny: 3\n",
     {3},
     1,
     "2:-5 3:.5"},
    {"white space around the token", "x:\t\v\f\r 7\r\n", {7}, 1},
    {"carriage returns", "x: 5\r\n\r\ny: 6\r\n", {5, 6}, 2},
    {"last line needs no line feed", "x: 1\ny: 2", {1, 2}, 2},
    {"key longer than any fixed buffer",
     std::string(60, 'k') + ": 42\n",
     {42},
     1},
    {"number past column 49 is read whole",
     "Total cycles measured over the whole run of the trace : 18536679",
     {18536679},
     1},
    {"long note yields nothing",
     "Note: see section 3 of the handbook for details of ratio:5\nx: 1\n",
     {1},
     1},
    {"NUL is an ordinary character",
     "x\0: 5\n\0: 6\n:\0 7\nx: \0 8\nx: 9\0 10\n\0\n"s,
     {5, 6, 9},
     3,
     "5+"},
    {"only the first 14 values are stored",
     "a:1\nb:2\nc:3\nd:4\ne:5\nf:6\ng:7\nh:8\ni:9\nj:10\nk:11\nl:12\nm:13\n"
     "n:14\no:15\np:16\n",
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14},
     16,
     "",
     {1, 14, 15}},
    {"numbers that stop at a comma and a digit",
     "a: 18,536,679\nb: 1,854\n\nc: 1.823,5\nd: 5,\ne: 1,x\nf: 1e,5\n"
     "g: 12abc\nh: 9.176%\ni: 0x1A,5\n",
     {18, 1, 1.823, 5, 1, 1, 12, 9.176, 26},
     9,
     "1, 2, 4, 10,"},
    {"no comma or skipped note past the 14th value",
     "a:1\nb:2\nc:3\nd:4\ne:5\nf:6\ng:7\nh:8\ni:9\nj:10\nk:11\nl:12\nm:13\n"
     "n:14,5\nx: -5\no:15,5\n",
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14},
     15,
     "14,"},
    {"tokens that begin with a number but not with a digit",
     "a: -5\nb: +3\nc: .5\nd: -.5e3\ne: nan\nf: -nan\ng: NaN%\nh: inf\n"
     "i: -Infinity\nj: -0x1p3\nk: -379.619%\nl: -1,5 x\nm: nan(x_1)\nn: nan(x",
     {},
     0,
     "1:-5 2:+3 3:.5 4:-.5e3 5:nan 6:-nan 7:NaN% 8:inf 9:-Infinity 10:-0x1p3 "
     "11:-379.619% 12:-1,5 13:nan(x_1) 14:nan(x"},
    {"tokens that do not",
     "a: n/a\nb: N/A\nc: info\nd: nano\ne: x5\nf: ~764\ng: -\nh: .\n"
     "i: --5\nj: e5\nk: -x\nl: inf5\nm: -5abc\nn: infin\no: nan(x_1)x\n"
     "p: -5e\nq: -0x\nr: -",
     {},
     0,
     "6?~764"},
    {"bytes just outside the letters and digits end a number; a token of "
     "exactly the bytes kept",
     "a: -5A\nb: -5Z\nc: -5a\nd: -5z\ne: -5@\nf: -5[\ng: -5`\nh: -5{\n"
     "i: -5/\nj: -5:\nk: -5" +
         std::string(30, '%'),
     {},
     0,
     "5:-5@ 6:-5[ 7:-5` 8:-5{ 9:-5/ 10:-5: 11:-5" + std::string(30, '%')},
    {"numbers that stop early where the file meant them to go on",
     "a: 10.000.000\nb: 1.5.\nc: 18 227 596\nd: 18\xc2\xa0"
     "227\n"
     "e: 18\xe2\x80\xaf"
     "227 x\nf: 1.823 100\ng: 18227596 cycles\nh: 10M\n"
     "i: 1.5k\nj: 5ms\nk: 12abc\nl: 7G.\nm: 18 2275\nn: 1234 567",
     {10, 1.5, 18, 18, 18, 1.823, 18227596, 10, 1.5, 5, 12, 7, 18, 1234},
     14,
     "1. 3  4  5  8M 9k 12G"},
    {"values behind quotes, brackets or bytes outside printable ASCII",
     "a: \"10000000\"\nb: [1.823]\nc: (764)\nd: \x1b[1;32m10000000\n"
     "e: \xc2\xa0"
     "10000000\nf: <5>\ng: {[(\"5\nh: {[(<\"5\ni: \"\nj: \"x5\n"
     "k: (-5)\nl: 5\n",
     {5},
     1,
     "1:\"10000000\" 2:[1.823] 3:(764) 4:\x1b[1;32m10000000 "
     "5:\xc2\xa0"
     "10000000 6:<5> 7:{[(\"5"},
    {"keys against places: only the first that names another's is noted",
     "Total instructions: 1\nTotal cycles: 2\nCycles per instruction (CPI): 3\n"
     "Unique PC values: 4\nALU operations: 5\nPERC_ALU_OPS: 6\nCPIs cPI: 7\n"
     "  UniquePC :\t8\nPERC_LD_OP: 9\n",
     {1, 2, 3, 4, 5, 6, 7, 8, 9},
     9,
     "8=UniquePC@7"},
    {"keys are looked at up to 32 bytes, the 33rd may go on with a word",
     std::string(29, 'x') + "CPIx: 1\n" + std::string(28, 'x') + " CPI: 2\n",
     {1, 2},
     2,
     "2=" + std::string(28, 'x') + " CPI@1"},
    {"a key cut at 32 bytes",
     "CPI" + std::string(29, ' ') + "x: 1\n",
     {1},
     1,
     "1=CPI...@0"},
    {"why a file has few values: the first line without a colon that ends "
     "with a number, in line order with the other notes",
     "CPI: 1,5\nTotal 10000000 x\nnothing\nx%\nCPI,1.823 \r\nx=5 %\nb: 18,2\n",
     {1, 18},
     2,
     "1=CPI@0 1, 5;CPI,1.823 7,"},
    {"a line without a colon, shown up to 32 bytes",
     std::string(29, 'a') + "5 %   \r\n" + std::string(32, 'b') + " 5\n",
     {},
     0,
     "1;" + std::string(29, 'a') + "5 %"},
    {"a line without a colon, cut at 32 bytes",
     std::string(32, 'b') + " 5\n",
     {},
     0,
     "1;" + std::string(32, 'b') + "..."},
    {"no line is noted when the file has 14 values",
     "x 5\na: 917623 (9.176%)\n" + std::string(13, '\n') +
         "b:2\nc:3\nd:4\ne:5\nf:6\ng:7\nh:8\ni:9\nj:10\nk:11\nl:12\n"
         "m:13\nn:14\n",
     {917623, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14},
     14},
    {"more numbers after the value: JSON on one line",
     "{\"instructions\": 10000000, \"cycles\": 18227596}\n",
     {10000000},
     1,
     "1+"},
    {"more numbers after a space that a short number stops at",
     "a: 1 1\n",
     {1},
     1,
     "1+"},
    {"more numbers after a space and a word", "a: 18 x(5\n", {18}, 1, "1+"},
    {"no more numbers: words, units, digits after a letter or a point",
     "a: 5 cycles\nb: 9.176 %\nc: 12abc3 x\nd: 5 v2 r1.5 .5 -x\n",
     {5, 9.176, 12, 5},
     4},
    {"only NUL bytes", "\0\0\0"s, {}, 0, "", {}, FileKind::kOnlyNul},
    {"NUL bytes and a line feed", "\0\n\0"s, {}, 0},
    {"lines that end with a carriage return alone",
     "# results\rCPI: 1.823\rUnique PC values: 764\r",
     {1.823},
     1,
     "1=# results\rCPI@0",
     {1, 1, 0},
     FileKind::kCarriageReturns},
    {"a carriage return and a line feed at the end", "a: 1\r\n", {1}, 1},
    {"a carriage return among the first 4096 bytes",
     std::string(4095, 'x') + "\r: 1",
     {1},
     1,
     "",
     {1, 1, 0},
     FileKind::kCarriageReturns},
    {"a carriage return past the first 4096 bytes",
     std::string(4096, 'x') + "\r: 1",
     {1},
     1},
    {"line numbers after a line whose colon has nothing after it",
     "x:\na: 1,5\nx:\r\nb: -5\nc: 2\n",
     {1, 2},
     2,
     "2, 4:-5",
     {2, 5, 0}},
    {"a line without a colon above the first value tells nothing, one "
     "after it does",
     "Lab 1 run 2\na: 1\nCPI 1.823\n",
     {1},
     1,
     "3;CPI 1.823"},
    {"a title in a file without values",
     "Lab 1 run 2\n",
     {},
     0,
     "1;Lab 1 run 2"},
    {"a word after the first colon, a number later: grep's file names",
     "sim/out/mcf.log:Total instructions : 10000000\nx: y 5\n",
     {},
     0,
     "1?Total"},
    {"a word after the first colon, a number later: a spreadsheet's comma, a "
     "word cut at 32 bytes",
     "Date: Mon 8\na: 1\nTotal instructions:,10000000\nb: " +
         std::string(40, 'w') + " 7\n",
     {1},
     1,
     "3?,10000000"},
    {"no number later: after an underscore, a letter or a point; a sign first",
     "a: Total_5 v2 .5\nb: --5 6\nc: -5 6\nd: " + std::string(33, 'w') + " 7\n",
     {},
     0,
     "3:-5 4?" + std::string(32, 'w') + "..."},
    {"a number that the check for a skipped value took",
     "x: nan(5)x\n",
     {},
     0,
     "1?nan(5)x"},
    {"numbers that stop at a colon or a single letter that a digit follows",
     "a: 12:30:01\nb: 18227S96\nc: 5ms\nd: 1x2\ne: 0x1Ag5\nf: 1e5x\ng: 5M5\n",
     {12, 18227, 5, 1, 26, 100000, 5},
     7,
     "1: 2S 4x 5g 7M"},
    {"carriage returns alone from the last line on",
     "a: 1\nb: 2 x\nc: 3\rd: 4\re: 5\r",
     {1, 2, 3},
     3,
     "3<"},
    {"carriage returns alone on a line that is not the last",
     "a: 1\nc: 3\rd: 4\nz: 9\n",
     {1, 3, 9},
     3,
     "2+"},
    {"a Git LFS pointer has no note",
     "version https://git-lfs.github.com/\noid "
     "sha256:4d7a214614ab2935c943f9e0ff69d22eadbb8f32b1258daaa5e2ca24d17e2393"
     "\nsize 12345\n",
     {4},
     1,
     "",
     {2, 2, 0},
     FileKind::kGitLfs},
    {"empty file", "", {}, 0, "", {}, FileKind::kEmpty},
};

std::string notesOf(const ReadOutcome &outcome) {
  std::string notes;
  for (std::size_t i = 0; i < outcome.noteCount; ++i) {
    const ReadNote &n = outcome.notes[i];
    if (i > 0) notes += ' ';
    notes += std::to_string(n.line);
    std::string token(n.token.bytes, n.token.length);
    notes +=
        n.kind == NoteKind::kSkipped ? ":" + token + (n.token.cut ? "..." : "")
        : n.kind == NoteKind::kKey ? "=" + token + (n.token.cut ? "..." : "") +
                                         "@" + std::to_string(n.position)
        : n.kind == NoteKind::kNoColon
            ? ";" + token + (n.token.cut ? "..." : "")
        : n.kind == NoteKind::kNotANumber
            ? "?" + token + (n.token.cut ? "..." : "")
        : n.kind == NoteKind::kMoreNumbers     ? "+"
        : n.kind == NoteKind::kCarriageReturns ? "<"
                                               : std::string(1, n.stop);
  }
  return notes;
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
      EXPECT_EQ(outcome.values, c.count) << how;
      EXPECT_EQ(notesOf(outcome), c.notes) << how;
      EXPECT_EQ(outcome.kind, c.kind) << how;
      if (!c.lines.empty()) {
        EXPECT_EQ(outcome.firstLine, c.lines[0]) << how;
        EXPECT_EQ(outcome.lastLine, c.lines[1]) << how;
        EXPECT_EQ(outcome.fifteenthLine, c.lines[2]) << how;
      }
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

}  // namespace
