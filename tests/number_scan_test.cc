#include "number_scan.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The decimal digits of 5 to the power n: with them, D + "e-1075" is
// exactly 2 to the power -1075, halfway between 0 and the least double.
std::string powerOfFive(int n) {
  std::string digits = "1";  // the least significant first
  for (int i = 0; i < n; ++i) {
    int carry = 0;
    for (char &d : digits) {
      int v = (d - '0') * 5 + carry;
      d = static_cast<char>('0' + v % 10);
      carry = v / 10;
    }
    if (carry) digits += static_cast<char>('0' + carry);
  }
  return {digits.rbegin(), digits.rend()};
}

struct NumberCase {
  const char *name;
  std::string tokens;  // separated by white space
  std::vector<double> values;
};

const NumberCase kCases[] = {
    {"plain forms",
     "1.823 18227596 5e2 12abc 9.176%",
     {1.823, 18227596, 500, 12, 9.176}},
    {"hexadecimal and bare 0x", "0x1A 0x 0x1p3", {26, 0, 8}},
    {"hexadecimal digits at the ends of their ranges",
     "0xaf 0XAF 0x09",
     {175, 175, 9}},
    {"too large for a double", "1e400", {kInf}},
    {"incomplete forms read as their longest leading number",
     "1e 1e+ 0x 0x.p1 1.e5 0x1p 0X.8P-1 00x5",
     {1, 1, 0, 0, 100000, 1, 0.25, 0}},
    {"long tokens are read whole",
     "1" + std::string(5000, '0') + "e-4993 0." + std::string(5000, '0') +
         "5e5000 0.25" + std::string(5000, '0') + " 7e-" +
         std::string(5000, '0') + "1",
     {10000000, 0.5, 0.25, 0.7}},
    // 9007199254740993 lies halfway between two doubles; the digits far
    // past it decide the rounding, a zero run rounds to even.
    {"digits far past the kept ones decide a halfway rounding",
     "9007199254740993" + std::string(5000, '0') + "1e-5001 " +
         "9007199254740993" + std::string(5000, '0') + "e-5000 " +
         "0x20000000000001" + std::string(5000, '0') + "1p-20004 " +
         "0x20000000000001" + std::string(5000, '0') + "p-20000",
     {9007199254740994, 9007199254740992, 9007199254740994, 9007199254740992}},
    // 752 digits: a number keeps enough of them to see which side of the
    // halfway point it lies on.
    {"halfway to the least double, with a digit after it",
     powerOfFive(1075) + "e-1075 " + powerOfFive(1075) + "1e-1076",
     {0, 4.9406564584124654e-324}},
    // readLead: 1 where a token that does not begin with a digit begins
    // with a number that neither a letter nor a digit follows.
    {"numbers that do not begin with a digit",
     "-5 +3 .5 -.5e3 nan -nan NaN% inf -Infinity -0x1p3 -379.619% -1,5 "
     "nan(x_1) nan(x -5@ -5[ -5` -5{ -5/ -5:",
     {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
    {"tokens that do not",
     "n/a info nano x5 ~764 - . --5 e5 -x inf5 -5abc infin nan(x_1)x -5e -0x "
     "-5A -5Z -5a -5z",
     {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"exponents past any range",
     "1e99999999999999999999999 1e-99999999999999999999 "
     "0e999999999999999999999 4.9e-324 2e-324",
     {kInf, 0, 0, 4.9e-324, 0}},
};

// Reads a token through a buffer of `size` bytes, an allocation of exactly
// its size, so that the sanitizer build catches a read before or after it:
// with readNumber where it begins with a digit, else with readLead, whose
// answer is then 1 or 0.
double read(std::string token, std::size_t size) {
  int fd = memfd_create("token", 0);
  if (write(fd, token.data(), token.size()) !=
          static_cast<ssize_t>(token.size()) ||
      lseek(fd, 0, SEEK_SET) != 0) {
    ADD_FAILURE() << "cannot write the token";
  }
  std::vector<char> buffer(size);
  Input in = {};
  in.next = in.end = in.buffer = buffer.data();
  in.fd = fd;
  in.size = size;
  NumberShape shape;
  double value = token[0] >= '0' && token[0] <= '9' ? readNumber(in, &shape)
                 : readLead(in)                     ? 1
                                                    : 0;
  close(fd);
  return value;
}

TEST(NumberScanTest, ReadsAsStrtodReadsTheWholeToken) {
  for (const NumberCase &c : kCases) {
    std::istringstream tokens(c.tokens);
    std::string token;
    for (double value : c.values) {
      ASSERT_TRUE(tokens >> token) << c.name;
      for (std::size_t size : {1, 2, 3, 7, 4097}) {
        EXPECT_EQ(read(token, size), value)
            << c.name << ": " << token.substr(0, 40) << ", buffer of " << size;
      }
    }
  }
}

}  // namespace
