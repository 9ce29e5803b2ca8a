// The results folder and the files in it, on disk: whether the folder can
// be used, and opening a file, a regular one only, so that nothing can
// make grade wait but a lease on that very file.
#ifndef GRADE_RESULTS_FILES_H_
#define GRADE_RESULTS_FILES_H_

#include <sys/types.h>

#include <cstddef>

// A file that grade reads: its name in the results folder, and its
// benchmark's name, which a student's own name for the file likely holds.
struct ResultsFile {
  const char *name;
  const char *benchmark;
};

constexpr std::size_t kResultsFileCount = 4;
using ResultsFiles = ResultsFile[kResultsFileCount];

// Why `folder` cannot be used, as an errno value: ENOENT when it does not
// exist, ENOTDIR when it is a file, EACCES when it cannot be entered; 0
// when it can. One that can be entered but not listed is used.
int checkFolder(const char *folder);

// Reasons beyond errno values, negative as no errno value is: a path that
// is there but is not a regular file (a FIFO, a device or a socket), and a
// file under another program's lease, which a reader must wait for.
constexpr int kNotRegularFile = -1;
constexpr int kUnderLease = -2;

// A file as opening it left it.
struct Opened {
  int fd;        // open for reading; -1 when not
  int error;     // why not: an errno value, kNotRegularFile or kUnderLease
  dev_t device;  // the file's, where it could be looked at
  ino_t inode;
  int checked;  // while under a lease: the file looked at; else -1
};

// Looks at what `name` in the folder open as `at` (or AT_FDCWD) is
// without opening it, and opens it for reading when it is a regular file.
// It never waits: a FIFO, a device or a socket is never opened, and a file
// under a lease gives kUnderLease.
Opened openRegular(int at, const char *name);

// Opens the file that gave kUnderLease, the very one looked at whatever
// `name` names by now, waiting for the lease to be given up.
void waitForLease(Opened &file, int at, const char *name);

// Whether standard output is the file, emptied by the shell's ">" before
// grade could read it.
bool emptiedByOutput(const Opened &file);

#endif  // GRADE_RESULTS_FILES_H_
