#include "statistics.h"

#include <cstring>
#include <string>

#include "ascii.h"

namespace {

// The longest key looked at.
constexpr std::size_t kKeyLimit = 32;

// A key's words, in lower case, a space between them. A "%" is a word of
// its own, and a key cut short ends with "#", as its last word may go on.
struct Words {
  char text[2 * kKeyLimit + 2];
  std::size_t length;
};

constexpr Words wordsOf(const char *bytes, std::size_t size, bool cut) {
  Words words = {};
  bool inWord = false;
  int before = ' ';
  int c = ' ';
  for (std::size_t i = 0; i < size && i < kKeyLimit; before = c, ++i) {
    c = static_cast<unsigned char>(bytes[i]);
    if (!isLetterOrDigit(c) && c != '%') {
      inWord = false;
      continue;
    }
    if (words.length > 0 && (!inWord || c == '%' || before == '%' ||
                             (isLower(before) && isUpper(c)))) {
      words.text[words.length++] = ' ';
    }
    words.text[words.length++] = static_cast<char>(toLower(c));
    inWord = true;
  }
  if (cut) {
    if (!inWord) words.text[words.length++] = ' ';
    words.text[words.length++] = '#';
  }
  return words;
}

// The words of each statistic's key and label.
struct StatisticWords {
  Words of[kStatCount][2];
};

constexpr StatisticWords findStatisticWords() {
  StatisticWords words = {};
  for (std::size_t p = 0; p < kStatCount; ++p) {
    const Statistic &s = kStatistics[p];
    words.of[p][0] =
        wordsOf(s.key, std::char_traits<char>::length(s.key), false);
    if (s.label) {
      words.of[p][1] =
          wordsOf(s.label, std::char_traits<char>::length(s.label), false);
    }
  }
  return words;
}

constexpr StatisticWords kStatisticWords = findStatisticWords();

}  // namespace

int statisticNamed(const char *key, std::size_t length, bool cut) {
  const Words words = wordsOf(key, length, cut);
  const char *text = words.text;
  for (std::size_t i = 0; i < words.length; ++i) {
    if (i > 0 && text[i - 1] != ' ') continue;
    for (std::size_t p = 0; p < kStatCount; ++p) {
      for (const Words &named : kStatisticWords.of[p]) {
        const std::size_t end = i + named.length;
        if (named.text[0] == text[i] && end <= words.length &&
            std::memcmp(text + i, named.text, named.length) == 0 &&
            (end == words.length ||
             (text[end] == ' ' && text[end + 1] != '%'))) {
          return static_cast<int>(p);
        }
      }
    }
  }
  return kNamesNone;
}
