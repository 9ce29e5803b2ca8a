// The results folder and the files in it, on disk: whether the folder can
// be used; opening a file, a regular one only, so that nothing can make
// grade wait but a lease on that very file; and one bounded look around for
// what a student most likely meant where the folder or a file is not there.
#ifndef GRADE_RESULTS_FILES_H_
#define GRADE_RESULTS_FILES_H_

#include <dirent.h>
#include <limits.h>
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
// is there but is not a regular file (a FIFO, a device, a socket), and a
// file under another program's lease, which a reader must wait for.
constexpr int kNotRegularFile = -1;
constexpr int kUnderLease = -2;

// A results file as opening it left it.
struct Opened {
  int fd;        // open for reading; -1 when not
  int error;     // why not: an errno value, kNotRegularFile or kUnderLease
  dev_t device;  // the file's, where it could be looked at
  ino_t inode;
  int checked;  // while under a lease: the file looked at; else -1
};

// Looks at what `path` is without opening it, and opens it for reading
// when it is a regular file. It never waits: a FIFO, a device or a socket
// is never opened, and a file under a lease gives kUnderLease.
Opened openResultsFile(const char *path);

// Opens the file that gave kUnderLease, the very one looked at whatever
// `path` names by now, waiting for the lease to be given up.
void waitForLease(Opened &file, const char *path);

// Whether standard output is the file, emptied by the shell's ">" before
// grade could read it.
bool emptiedByOutput(const Opened &file);

using Name = char[sizeof(dirent::d_name)];

// A file or a folder found where a student may have put it: under `base`
// (the results folder, "..", "." or "../.."), in up to two folders. Finds
// are ranked by their place, nearest first: in the results folder, one and
// two folders down in it; in "..", and in a folder there; in "." and in a
// folder there; in "../..", and in a folder there.
struct Found {
  const char *base;  // null when nothing is found
  bool outside;      // not under the results folder
  unsigned rank;
  std::size_t depth;
  Name folders[2];
  Name name;
};

// The text of a symbolic link.
struct LinkText {
  std::size_t length;
  char text[PATH_MAX];  // not ended by NUL
};

// What one look around found: for each file its nearest copy (its name in
// any case, or a name that holds it: "Lab1.mcf.res.txt") and the names in
// the results folder that it may be misspelt as; outside the results
// folder, a folder whose name holds "results", and one that holds results
// files, and a file whose name begins with "results", each the nearest.
struct Survey {
  static constexpr std::size_t kNameLimit = 3;
  struct Of {
    Found found;
    std::size_t nameCount;   // all found, past the limit too
    Name names[kNameLimit];  // the first in byte order
  };
  bool done;
  bool listed;  // whether the results folder could be listed
  int error;    // why the look stopped short (out of descriptors), or 0
  Of of[kResultsFileCount];
  Found resultsLike;
  Found holding;  // a file in the nearest folder like results that holds one
  Found named;
  bool archive;  // named ends as an archive does: unpack it
};

// What a student may have meant by a missing results folder, the first
// that applies: the current folder has been removed; a link to nothing in
// the folder's place; the shell reached the current folder through a link,
// and results stands beside the link; a folder like results that holds
// results files; a results file elsewhere; a folder like results; an
// archive or other file named like results; and whether the look around
// stopped short.
struct FolderHint {
  enum class Kind {
    kNone,
    kRemoved,
    kLink,
    kThroughLink,
    kHolding,
    kFile,
    kFolder,
    kNamed,
    kStopped
  };
  Kind kind;
  LinkText link;  // kLink; kThroughLink: the shell's path of this folder
  Found found;    // kFile
  const Survey *survey;
};

FolderHint findFolderHint(const char *folder, const ResultsFiles &files,
                          Survey &survey);

// What a student may have meant by a results file that cannot be opened
// for `error`. For a missing one, the first that applies: a link to
// nothing in its place; its nearest copy; names in the results folder that
// it may be misspelt as, each offered for the files it is fewest edits
// from; that the results folder cannot be listed, or the look around
// stopped short. For a folder in its place, a copy in that folder; for a
// loop of links, a link to itself.
struct FileHint {
  enum class Kind {
    kNone,
    kLink,
    kItself,
    kFound,
    kNames,
    kNotListed,
    kStopped
  };
  Kind kind;
  LinkText link;
  Found found;
  const Survey *survey;
  std::size_t index;
};

FileHint findFileHint(const char *folder, const char *path,
                      const ResultsFiles &files, std::size_t index, int error,
                      Survey &survey);

// The edits that turn one name into another, in lower case: a byte
// inserted, deleted or changed, or two neighbours swapped; kFar stands for
// anything past two, as for names of 32 bytes or more.
constexpr std::size_t kFar = 3;
std::size_t editsBetween(const char *a, const char *b);

// Which files a name in the results folder may be misspelt for, as bits
// (1 << index): the files whose benchmark's name it holds, in any case, or
// where it holds none, the files within two edits of its name; of those,
// only the ones fewest edits from it.
unsigned misspeltFor(const char *name, const ResultsFiles &files);

#endif  // GRADE_RESULTS_FILES_H_
