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
constexpr bool isHexDigit(int c) {
  return isDigit(c) || (toLower(c) >= 'a' && toLower(c) <= 'f');
}

// White space within a line; the line feed is not among them, as it ends
// the line.
constexpr bool isBlank(int c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

// White space as the file format has it: the blanks and the line feed.
constexpr bool isWhiteSpace(int c) { return isBlank(c) || c == '\n'; }

#endif  // GRADE_ASCII_H_
