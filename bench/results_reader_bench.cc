// Throughput of resval on results files of four shapes: a normal file, a
// large file of lines that carry no value followed by the 14 values, a large
// file that is one single line, and one whose first value token is 256 MiB
// of digits. Each file is written once, then read from the page cache.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "results_reader.h"

namespace {

constexpr std::size_t kLarge = 64u << 20;

const char kValueLines[] =
    "Total instructions   : 10000000\n"
    "Total cycles         : 18227596 cycles\n"
    "CPI                  : 1.823\n"
    "Unique PC values     : 764\n"
    "ALU operations       : 917623\n"
    "LD operations        : 4975348\n"
    "ST operations        : 1159778\n"
    "CBR operations       : 1046235\n"
    "OTHER operations     : 1901016\n"
    "PERC_ALU_OP          : 9.176 %\n"
    "PERC_LD_OP           : 49.753 %\n"
    "PERC_ST_OP           : 11.598 %\n"
    "PERC_CBR_OP          : 10.462 %\n"
    "PERC_OTHER_OP        : 19.010 %\n";

// Lines a simulator might log that carry no value: no colon, or a word
// after it.
const char kNoValueLines[] =
    "# warming caches, skipping the first 100000 instructions\n"
    "sim: cycle 1204467 retired 652011 instructions so far\n"
    "Trace: traces/bzip2.tr.gz, record 88231 of 10000000\n";

std::string normalFile() {
  return std::string("# Lab 1 results: bzip2\nTrace: traces/bzip2.tr.gz\n\n") +
         kValueLines + "\nStatus: done\n";
}

std::string manyLinesFile() {
  std::string text;
  text.reserve(kLarge + sizeof kValueLines);
  while (text.size() < kLarge) text += kNoValueLines;
  return text + kValueLines;
}

std::string oneLineFile() {
  std::string text(kLarge, 'k');
  text += ": 10000000";
  return text;
}

// "1", then zeros, then the exponent that brings it back to 10000000.
std::string longTokenFile() {
  constexpr std::size_t kZeros = 256u << 20;
  std::string text = "Total instructions : 1";
  text.append(kZeros, '0');
  return text + "e-" + std::to_string(kZeros - 7) + "\n" + kValueLines;
}

alignas(64) char buffer[kReadBufferSize];

void readFile(benchmark::State &state, const std::string &text) {
  char path[] = "/tmp/grade_bench_XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0 || write(fd, text.data(), text.size()) !=
                    static_cast<ssize_t>(text.size())) {
    state.SkipWithError("cannot write the temporary file");
    return;
  }
  close(fd);
  for (auto _ : state) {
    StatVector results;
    results.fill(0);
    ReadOutcome outcome =
        resval(open(path, O_RDONLY), results, buffer, kReadBufferSize);
    benchmark::DoNotOptimize(outcome);
    benchmark::DoNotOptimize(results);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
  unlink(path);
}

void BM_NormalFile(benchmark::State &state) { readFile(state, normalFile()); }
void BM_ManyLinesWithoutValue(benchmark::State &state) {
  readFile(state, manyLinesFile());
}
void BM_OneLine(benchmark::State &state) { readFile(state, oneLineFile()); }
void BM_LongToken(benchmark::State &state) { readFile(state, longTokenFile()); }

BENCHMARK(BM_NormalFile);
BENCHMARK(BM_ManyLinesWithoutValue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneLine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LongToken)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
