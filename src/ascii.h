// Classes of ASCII bytes, as results files and names use them: the locale
// is never consulted, and a byte outside ASCII is in none of them.
#ifndef GRADE_ASCII_H_
#define GRADE_ASCII_H_

constexpr bool isDigit(int c) { return c >= '0' && c <= '9'; }
constexpr bool isUpper(int c) { return c >= 'A' && c <= 'Z'; }
constexpr bool isLower(int c) { return c >= 'a' && c <= 'z'; }
constexpr bool isLetter(int c) { return isUpper(c) || isLower(c); }
constexpr bool isLetterOrDigit(int c) { return isLetter(c) || isDigit(c); }
constexpr int toLower(int c) { return isUpper(c) ? c - 'A' + 'a' : c; }

// White space within a line; the line feed is not among them, as it ends
// the line.
constexpr bool isBlank(int c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

#endif  // GRADE_ASCII_H_
