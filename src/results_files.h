// The results folder and the files in it, on disk: whether the folder can
// be used, opening a file (a regular one only), and what the folder holds
// in place of a file that is missing.
#ifndef GRADE_RESULTS_FILES_H_
#define GRADE_RESULTS_FILES_H_

#include <dirent.h>
#include <limits.h>

#include <cstddef>
#include <cstdio>

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

// What a student may have meant by a missing file, the first that applies:
// the text of a link to nothing in its place; a folder in the results
// folder that holds a file of its name; names in the results folder that
// contain a word in any case.
struct MissingHint {
  enum class Kind { kNone, kLink, kFolder, kNames };
  static constexpr std::size_t kNameLimit = 3;
  using Name = char[sizeof(dirent::d_name)];
  Kind kind;
  std::size_t linkLength;
  char link[PATH_MAX];  // not ended by NUL
  Name folder;
  std::size_t nameCount;   // all found, past the limit too
  Name names[kNameLimit];  // the first in byte order
};

// The hint for `file`, missing from `folder`. Names that contain `word`
// are looked for among those for which isResultsFile is false.
MissingHint findMissingHint(const char *folder, const char *file,
                            const char *word,
                            bool (*isResultsFile)(const char *name));

#endif  // GRADE_RESULTS_FILES_H_
