// The results folder and the files in it, on disk: whether the folder can
// be used, opening a file (a regular one only), and where a student may
// have put a folder or a file that is missing.
#ifndef GRADE_RESULTS_FILES_H_
#define GRADE_RESULTS_FILES_H_

#include <dirent.h>
#include <limits.h>

#include <cstddef>
#include <cstdio>

// Where grade looks for the results files: beside the current folder.
constexpr char kResultsFolder[] = "../results";

// A file that grade reads: its name in the results folder, and its
// benchmark's name, which a student's own name for the file likely holds.
struct ResultsFile {
  const char *name;
  const char *benchmark;
};

constexpr std::size_t kResultsFileCount = 4;

// Why `folder` cannot be used, as an errno value: ENOENT when it does not
// exist, ENOTDIR when it is a file, EACCES when it cannot be entered; 0
// when it can. One that can be entered but not listed is used.
int checkFolder(const char *folder);

// The reason for a file that is not opened because it is not a regular
// file; every other reason is an errno value.
constexpr int kNotRegularFile = -1;

// Opens a results file for reading, or returns null with the reason in
// *error. Only a regular file is opened: a FIFO may wait for a writer
// forever, and a device such as /dev/zero never ends.
std::FILE *openResultsFile(const char *path, int *error);

using Name = char[sizeof(dirent::d_name)];

// A file or a folder found where a student may have put it: under `base`
// ("../results", "." or ".."), in up to two folders.
struct Found {
  const char *base;  // null when nothing is found
  std::size_t depth;
  Name folders[2];
  Name name;
};

// The text of a link to nothing.
struct LinkText {
  std::size_t length;
  char text[PATH_MAX];  // not ended by NUL
};

// What a student may have meant by the results folder when it does not
// exist, the first that applies: a link to nothing in its place; a folder
// in .. of its name in another case; an archive of it in ..; one of the
// files in . or .. (the first in the files' order, . before ..).
struct FolderHint {
  enum class Kind { kNone, kLink, kOtherCase, kArchive, kFile };
  Kind kind;
  LinkText link;
  Found found;
};

// Lists . and .. once.
FolderHint findFolderHint(const ResultsFile (&files)[kResultsFileCount]);

// What the folders around the results hold for each of the files, listed
// once a run, the first time one is missing: where a file of its name in
// any case is (in a folder of the results folder, then two folders down,
// then in ., then in ..), and the results folder's names that may be it.
struct Survey {
  static constexpr std::size_t kNameLimit = 3;
  struct Of {
    Found found;
    std::size_t nameCount;   // all found, past the limit too
    Name names[kNameLimit];  // the first in byte order
  };
  bool done;
  bool listed;  // whether the results folder could be listed
  Of of[kResultsFileCount];
};

// What a student may have meant by a missing file, the first that applies:
// a link to nothing in its place; a file of its name found elsewhere;
// names in the results folder that contain its benchmark's name in any
// case, or that contain no benchmark's name and are at most two edits from
// its name; or that the results folder cannot be listed.
struct MissingHint {
  enum class Kind { kNone, kLink, kFound, kNames, kNotListed };
  Kind kind;
  LinkText link;
  const Survey::Of *of;
};

// The hint for files[index], missing; fills `survey` the first time.
MissingHint findMissingHint(const ResultsFile (&files)[kResultsFileCount],
                            std::size_t index, Survey &survey);

#endif  // GRADE_RESULTS_FILES_H_
