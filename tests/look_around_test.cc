#include "look_around.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const ResultsFiles kFiles = {
    {"Lab1.libq.res", "libq"},
    {"Lab1.bzip2.res", "bzip2"},
    {"Lab1.mcf.res", "mcf"},
    {"Lab1.gcc.res", "gcc"},
};

struct EditsCase {
  std::string a;
  std::string b;
  std::size_t edits;
};

// Each kind of edit at a name's first and last byte, a swap of bytes that
// are not neighbours (two changes), and the bound on a name's length.
const EditsCase kEdits[] = {
    {"lab1.mcf.res", "lab1.mcf.res", 0},
    {"xlab1.mcf.res", "lab1.mcf.res", 1},
    {"lab1.mcf.resx", "lab1.mcf.res", 1},
    {"ab1.mcf.res", "lab1.mcf.res", 1},
    {"lab1.mcf.re", "lab1.mcf.res", 1},
    {"xab1.mcf.res", "lab1.mcf.res", 1},
    {"lab1.mcf.rex", "lab1.mcf.res", 1},
    {"alb1.mcf.res", "lab1.mcf.res", 1},
    {"lab1.mcf.rse", "lab1.mcf.res", 1},
    {"lab1.fcm.res", "lab1.mcf.res", 2},
    {"lab1.mcf.res", "lab1.fcm.res", 2},
    {"xxab1.mcf.res", "lab1.mcf.res", 2},
    {"lab1.mcf", "lab1.mcf.res", kFar},
    {"xab1.mcf.rxx", "lab1.mcf.res", kFar},
    {std::string(30, 'a') + "b", std::string(31, 'a'), 1},
    {std::string(31, 'a') + "b", std::string(32, 'a'), kFar},
    {std::string(31, 'a'), std::string(31, 'a') + "b", kFar},
    {std::string(32, 'a'), std::string(31, 'a'), kFar},
    {"xylab1.mcf.res", "lab1.mcf.res", 2},
};

TEST(LookAroundTest, CountsEditsBetweenNames) {
  for (const EditsCase &c : kEdits) {
    EXPECT_EQ(editsBetween(c.a.c_str(), c.b.c_str()), c.edits)
        << c.a << " against " << c.b;
  }
}

struct MisspeltCase {
  const char *name;
  unsigned files;  // bits: 1 libq, 2 bzip2, 4 mcf, 8 gcc
};

// A name goes to the files it is fewest edits from, or to every file whose
// benchmark's name it holds; case is ignored, A and Z included.
const MisspeltCase kMisspelt[] = {
    {"Lab1.gc.res", 8},   {"Lab1.mc.res", 4},     {"Lab1.mfc.res", 4},
    {"mcf.out", 4},       {"mcf-vs-gcc.txt", 12}, {"Lab1.xyz.res", 0},
    {"BZIP2.txt", 2},     {"LAB1.MC.RE", 4},      {"lab1.libq.re", 1},
    {"Lab1.bzip.res", 2},
};

TEST(LookAroundTest, OffersAMisspeltNameToTheNearestFiles) {
  for (const MisspeltCase &c : kMisspelt) {
    EXPECT_EQ(misspeltFor(c.name, kFiles), c.files) << c.name;
  }
}

}  // namespace
