#include "look_around.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "diagnostics.h"
#include "stderr_of.h"

using namespace std::string_literals;

namespace {

const ResultsFiles kFiles = {
    {"Lab1.libq.res", "libq"},
    {"Lab1.bzip2.res", "bzip2"},
    {"Lab1.mcf.res", "mcf"},
    {"Lab1.gcc.res", "gcc"},
};

constexpr uid_t kUser = 1000;

// A tree in memory, written a path a line from the folder that holds the
// working folder (work, or `cwd`) and, where it is there, results; a path
// that begins with ../ stands above it. A path that ends with / is a
// folder; "= BYTES" gives a file's bytes, "@UID" an owner other than the
// user's, "-> PATH" makes a link, and a last " !" a folder that cannot be
// listed or a file that cannot be read (" !!": no descriptor is free).
class TreeDisk : public Disk {
 public:
  TreeDisk(const std::string &tree, const std::string &cwd) {
    nodes_.push_back({"", true, "", 0, -1, 0, {}, 0});
    add("top/");
    std::istringstream lines(tree);
    for (std::string line; std::getline(lines, line);) {
      add(line.compare(0, 3, "../") == 0 ? line.substr(3) : "top/" + line);
    }
    add("top/" + cwd + "/");
    cwd_ = walk(0, "top/" + cwd);
  }

  int open(const char *path) override {
    int node = walk(cwd_, path);
    if (node < 0 || !nodes_[node].folder || nodes_[node].error != 0) {
      errno = node < 0               ? ENOENT
              : !nodes_[node].folder ? ENOTDIR
                                     : nodes_[node].error;
      return -1;
    }
    cursors_.push_back({node, 0});
    return static_cast<int>(cursors_.size() - 1);
  }

  const char *next(int folder, Type &type) override {
    auto &[node, at] = cursors_[folder];
    if (at >= nodes_[node].children.size()) return nullptr;
    const Node &child = nodes_[nodes_[node].children[at++]];
    type = child.link >= 0 ? Type::kUnknown
           : child.folder  ? Type::kFolder
                           : Type::kFile;
    return child.name.c_str();
  }
  void close(int) override {}

  bool facts(const char *path, Facts &facts) override {
    int node = walk(cwd_, path);
    if (node < 0) return false;
    facts = {nodes_[node].folder ? Type::kFolder : Type::kFile, 1,
             static_cast<ino_t>(node), nodes_[node].owner};
    return true;
  }

  long head(const char *path, unsigned char *bytes, std::size_t size) override {
    int node = walk(cwd_, path);
    if (node < 0 || nodes_[node].folder || nodes_[node].error != 0) {
      errno = node < 0 ? ENOENT : nodes_[node].error;
      return -1;
    }
    const std::string &b = nodes_[node].bytes;
    std::size_t n = std::min(size, b.size());
    std::memcpy(bytes, b.data(), n);
    return static_cast<long>(n);
  }

 private:
  struct Node {
    std::string name;
    bool folder;
    std::string bytes;
    uid_t owner;
    int link;   // the node a link names
    int error;  // why it cannot be listed or read, or 0
    std::vector<int> children;
    int parent;
  };

  // The node at `path` from `from`, links followed.
  int walk(int from, const std::string &path) {
    int node = from;
    std::istringstream parts(path);
    for (std::string part; node >= 0 && std::getline(parts, part, '/');) {
      if (part == "..") {
        node = nodes_[node].parent;
      } else if (!part.empty() && part != ".") {
        int next = -1;
        for (int c : nodes_[node].children) {
          if (nodes_[c].name == part) next = c;
        }
        node = next;
      }
      for (int hops = 0; node >= 0 && nodes_[node].link >= 0 && hops < 8;
           ++hops) {
        node = nodes_[node].link;
      }
    }
    return node;
  }

  void add(std::string line) {
    Node n = {"", false, "x: 1\n", kUser, -1, 0, {}, 0};
    std::string target;
    for (int error : {EMFILE, EACCES}) {
      const char *mark = error == EMFILE ? " !!" : " !";
      const std::size_t size = std::strlen(mark);
      if (line.size() > size &&
          line.compare(line.size() - size, size, mark) == 0) {
        n.error = error;
        line.resize(line.size() - size);
      }
    }
    if (std::size_t at = line.find(" -> "); at != std::string::npos) {
      target = line.substr(at + 4);
      line.resize(at);
    }
    if (std::size_t at = line.find(" @"); at != std::string::npos) {
      n.owner = static_cast<uid_t>(std::stoul(line.substr(at + 2)));
      line.resize(at);
    }
    if (std::size_t at = line.find(" = "); at != std::string::npos) {
      n.bytes = line.substr(at + 3);
      line.resize(at);
    }
    n.folder = line.back() == '/';
    if (n.folder) line.pop_back();
    std::size_t slash = line.rfind('/');
    std::string parent =
        slash == std::string::npos ? "" : line.substr(0, slash);
    n.name = line.substr(slash == std::string::npos ? 0 : slash + 1);
    n.parent = walk(0, parent);
    if (n.parent < 0) {
      add(parent + "/");
      n.parent = walk(0, parent);
    }
    for (int c : nodes_[n.parent].children) {
      if (nodes_[c].name == n.name) return;
    }
    if (!target.empty()) n.link = walk(0, "top/" + target);
    nodes_.push_back(n);
    nodes_[n.parent].children.push_back(static_cast<int>(nodes_.size() - 1));
  }

  std::vector<Node> nodes_;
  std::vector<std::pair<int, std::size_t>> cursors_;
  int cwd_;
};

struct TreeCase {
  const char *name;
  std::string tree;
  // What grade says of the results folder where it is missing, else of
  // each missing file, without the "grade: " that begins each line.
  std::string said;
  const char *cwd = "work";
  unsigned removed = 0;  // files there, but removed before their opening
};

// Folders `prefix`NN from `from` to `to`, each with a README, or none
// that can be listed, and the lines of `more`.
std::string folders(const std::string &prefix, int from, int to,
                    const std::string &more = "", bool listable = true) {
  std::string lines;
  for (int i = from; i < to; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "%02d", i);
    lines += prefix + name + (listable ? "/README\n" : "/ !\n");
  }
  return lines + more;
}

const TreeCase kTrees[] = {
    {"nothing like results", "",
     "../results: No such file or directory (run grade from a folder beside "
     "results)\n"},
    {"a folder of another name that holds results files, the first in the "
     "files' order",
     "Results/Lab1.mcf.res\nResults/Lab1.libq.res\nResults/Lab1.bzip2.res\n",
     "../results: No such file or directory (found "
     "../Results/Lab1.libq.res)\n"},
    {"a folder like results whose name ends with a space",
     "my_results/README\nresults /Lab1.bzip2.res\nresults /Lab1.mcf.res\n"
     "results.zip = archive\n",
     "../results: No such file or directory (found \"../results \"/Lab1.bzip2."
     "res)\n"},
    {"results files beside: the files belong in results",
     "Lab1.gcc.res\nLab1.libq.res\nwork/LAB1.LIBQ.RES\n",
     "../results: No such file or directory (found ../Lab1.libq.res; the files "
     "belong in ../results)\n"},
    {"results files in a folder beside", "data/Lab1.libq.res\nempty/README\n",
     "../results: No such file or directory (found ../data/Lab1.libq.res; the "
     "files belong in ../results)\n"},
    {"an IDE's build folder: results two folders up",
     "results/Lab1.libq.res\nresults/Lab1.gcc.res\nwork/build/README\n",
     "../results: No such file or directory (found ../../results/Lab1.libq."
     "res)\n",
     "work/build"},
    {"a folder like results that holds no file, before a file named like it",
     "Results/README\nresults-20261208T101010Z-001.zip = not yet\n",
     "../results: No such file or directory (found ../Results)\n"},
    {"a file named like results", "results.desktop = [Desktop Entry]\n",
     "../results: No such file or directory (found ../results.desktop)\n"},
    {"an archive of any name, told by its first bytes",
     "notes.txt\nResults.7z.part = not one\n"
     "lab1_submission.tar.gz = \x1f\x8b\x08"s,
     "../results: No such file or directory (found ../lab1_submission.tar.gz, "
     "an archive; unpack it into ../results)\n"},
    {"an archive whose first name is in results/: unpack it beside results",
     "lab1.zip = PK\x03\x04"s + std::string(26, '\0') +
         "results/Lab1.libq.res\n",
     "../results: No such file or directory (found ../lab1.zip, an archive "
     "that holds results; unpack it in ..)\n"},
    {"or a tar whose first name is ./results/",
     "lab1.tar = ./results/"s + std::string(247, '\0') + "ustar\n",
     "../results: No such file or directory (found ../lab1.tar, an archive "
     "that holds results; unpack it in ..)\n"},
    {"a folder like results that holds a file, unless a file is nearer",
     "../old/results/Lab1.libq.res\nwork/Lab1.gcc.res\n",
     "../results: No such file or directory (found ./Lab1.gcc.res; the files "
     "belong in ../results)\n"},
    {"or an archive", "../old/results/Lab1.libq.res\nlab1.zip = PK\x03\x04\n",
     "../results: No such file or directory (found ../lab1.zip, an archive; "
     "unpack it into ../results)\n"},
    {"an archive, unless a file is nearer",
     "old/lab1.zip = PK\x03\x04\nwork/Lab1.mcf.res\n../x.tar.gz = \x1f\x8b\n",
     "../results: No such file or directory (found ./Lab1.mcf.res; the files "
     "belong in ../results)\n"},
    {"copies in results and folders down, before those in . and ..",
     "results/Lab1.mfc.res\nresults/Lab1.mfc.rs\nresults/Lab1.xyz.res\n"
     "results/lab1-mf.res\nresults/lab1.gcc.res\n"
     "results/lab1/results/Lab1.bzip2.res\nresults/lab1/results/Lab1.libq.res\n"
     "results/old/lab1.BZIP2.res\nresults/zzz/.keep\nLAB1.gcc.res\n",
     "../results/Lab1.libq.res: No such file or directory (found "
     "../results/lab1/results/Lab1.libq.res)\n"
     "../results/Lab1.bzip2.res: No such file or directory (found "
     "../results/old/lab1.BZIP2.res)\n"
     "../results/Lab1.mcf.res: No such file or directory (results holds "
     "Lab1.mfc.res, Lab1.mfc.rs, lab1-mf.res)\n"
     "../results/Lab1.gcc.res: No such file or directory (found "
     "../results/lab1.gcc.res)\n"},
    {"copies in .. before ., any case",
     "results/README\nLab1.libq.res\nlab1.MCF.res\nwork/LAB1.GCC.RES\n"
     "work/Lab1.bzip2.res\nwork/Lab1.libq.res\n",
     "../results/Lab1.libq.res: No such file or directory (found "
     "../Lab1.libq.res)\n"
     "../results/Lab1.bzip2.res: No such file or directory (found "
     "./Lab1.bzip2.res)\n"
     "../results/Lab1.mcf.res: No such file or directory (found "
     "../lab1.MCF.res)\n"
     "../results/Lab1.gcc.res: No such file or directory (found "
     "./LAB1.GCC.RES)\n"},
    {"three folders down, and no further",
     "results/Lab1.libq.res\nresults/Lab1.mcf.res\nresults/Lab1.gcc.res\n"
     "backup/run2/out/Lab1.bzip2.res\nbackup/run2/out/old/Lab1.bzip2.res\n"
     "work/a/b/c/d/Lab1.gcc.res\n",
     "../results/Lab1.bzip2.res: No such file or directory (found "
     "../backup/run2/out/Lab1.bzip2.res)\n"},
    {"names near a file's, three in byte order, each to the files it is "
     "fewest edits from; escaped where they need it",
     "results/Lab1.bzip2.res\nresults/libq.txt\nresults/Lab1.gc.res\n"
     "results/mcf.n00\nresults/mcf.n01\nresults/mcf.out\nresults/mcf.zzz\n"
     "results/lab1 mcf\x7f.res\n",
     "../results/Lab1.libq.res: No such file or directory (results holds "
     "libq.txt)\n"
     "../results/Lab1.mcf.res: No such file or directory (results holds "
     "\"lab1 mcf\\x7f.res\", mcf.n00, mcf.n01, ...)\n"
     "../results/Lab1.gcc.res: No such file or directory (results holds "
     "Lab1.gc.res)\n"},
    {"where results holds no name near a file's, the nearest of few others",
     "results/Lab1.libq.res\nresults/Lab1.bzip2.res\nresults/Lab1.gcc.res\n"
     "results/output.txt\nresults/notes\n",
     "../results/Lab1.mcf.res: No such file or directory (results holds "
     "notes)\n"},
    {"but not of many",
     "results/Lab1.libq.res\nresults/Lab1.bzip2.res\nresults/Lab1.gcc.res\n"
     "results/a.txt\nresults/b.txt\nresults/c.txt\nresults/d.txt\n",
     "../results/Lab1.mcf.res: No such file or directory\n"},
    {"only what may be a results file: no image, PDF or archive",
     "results/Lab1.libq.res\nresults/Lab1.mcf.res\n"
     "results/bzip2.jpg = \xff\xd8\xff\xe0\0\x10JFIF\n"
     "results/Lab1.gcc.res.pdf = %PDF-1.4\n"
     "Lab1.gcc.res.zip = PK\x03\x04\n"s,
     "../results/Lab1.bzip2.res: No such file or directory\n"
     "../results/Lab1.gcc.res: No such file or directory\n"},
    {"nothing of another person's, a folder or a file; root's is named",
     "results/Lab1.libq.res\nresults/Lab1.bzip2.res\n"
     "Lab1.mcf.res @1001\nshared/ @0\nshared/Lab1.mcf.res @0\n"
     "other/ @1001\nother/Lab1.gcc.res\nresults/in/ -> other\n",
     "../results/Lab1.mcf.res: No such file or directory (found "
     "../shared/Lab1.mcf.res)\n"
     "../results/Lab1.gcc.res: No such file or directory\n"},
    {"a file that cannot be read is passed over; the look goes on",
     "results/Lab1.libq.res\nresults/Lab1.bzip2.res\nresults/Lab1.gcc.res\n"
     "Lab1.mcf.res !\n",
     "../results/Lab1.mcf.res: No such file or directory\n"},
    {"no descriptor free to list a folder: the look stops short",
     "results/Lab1.libq.res\nresults/Lab1.bzip2.res\nresults/Lab1.gcc.res\n"
     "old/ !!\n",
     "../results/Lab1.mcf.res: No such file or directory (looking for it "
     "stopped: Too many open files)\n"},
    {"no folder twice, whatever links lead there",
     "results/Lab1.libq.res\nresults/Lab1.bzip2.res\nresults/Lab1.gcc.res\n"
     "results/a/b/Lab1.mcf.res\nresults/0 -> results/a\nresults/a/up -> .\n",
     "../results/Lab1.mcf.res: No such file or directory (found "
     "../results/0/b/Lab1.mcf.res)\n"},
    {"32 folders looked into in each, among the first 40 that may be; those "
     "that cannot be listed do not count; those like results first",
     folders("results/f", 0, 7, "", false) + folders("results/f", 7, 50) +
         "results/f37/Lab1.libq.res\nresults/f38/Lab1.bzip2.res\n"
         "results/f40/Lab1.gcc.res\nresults/results/Lab1.gcc.res\n" +
         folders("g", 0, 9, "", false) + folders("g", 9, 50) +
         "g38/Lab1.mcf.res\ng39/Lab1.bzip2.res\n",
     "../results/Lab1.libq.res: No such file or directory (found "
     "../results/f37/Lab1.libq.res)\n"
     "../results/Lab1.bzip2.res: No such file or directory\n"
     "../results/Lab1.mcf.res: No such file or directory (found "
     "../g38/Lab1.mcf.res)\n"
     "../results/Lab1.gcc.res: No such file or directory (found "
     "../results/results/Lab1.gcc.res)\n"},
    {"a name of 255 bytes, folded to its last",
     "results/Lab1.libq.res\nresults/Lab1.bzip2.res\nresults/Lab1.gcc.res\n"
     "results/" +
         std::string(243, 'x') + "Lab1.mcf.RES\n",
     "../results/Lab1.mcf.res: No such file or directory (found ../results/" +
         std::string(243, 'x') + "Lab1.mcf.RES)\n"},
    {"a file removed after the look is not a spelling of itself",
     "results/Lab1.libq.res\nresults/Lab1.bzip2.res\nresults/Lab1.gcc.res\n"
     "results/Lab1.mcf.res\n",
     "../results/Lab1.mcf.res: No such file or directory\n", "work", 4},
    {"the look stops short for the work it may do",
     folders("results/a", 0, 40,
             folders("results/a00/b", 0, 40) + folders("results/a01/b", 0, 40) +
                 folders("results/a02/b", 0, 40)),
     "../results/Lab1.libq.res: No such file or directory (looking for it "
     "stopped: too many folders and files)\n"
     "../results/Lab1.bzip2.res: No such file or directory (looking for it "
     "stopped: too many folders and files)\n"
     "../results/Lab1.mcf.res: No such file or directory (looking for it "
     "stopped: too many folders and files)\n"
     "../results/Lab1.gcc.res: No such file or directory (looking for it "
     "stopped: too many folders and files)\n"},
};

// What grade says, through the diagnostics it uses.
std::string said(const TreeCase &c) {
  TreeDisk disk(c.tree, c.cwd);
  Survey survey;
  Disk::Facts facts;
  const bool missing = !disk.facts("../results", facts);
  lookAround(disk, {"../results", missing, false, kFiles, kUser}, survey);
  return stderrOf(
      [&] {
        if (missing) {
          warnMissing("../results", ENOENT, folderHint(survey), "../results");
        }
        for (std::size_t i = 0; i < kResultsFileCount && !missing; ++i) {
          std::string path = std::string("../results/") + kFiles[i].name;
          if (!survey.present[i] || (c.removed >> i & 1) != 0) {
            warnMissing(path.c_str(), ENOENT, fileHint(survey, kFiles, i),
                        "../results");
          }
        }
      },
      sizeof "grade: " - 1);
}

TEST(LookAroundTest, FindsWhatAStudentMeantInATree) {
  for (const TreeCase &c : kTrees) {
    EXPECT_EQ(said(c), c.said) << c.name;
  }
}

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
