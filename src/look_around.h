// The look around: where the results folder or a file is missing, one
// walk, bounded by the work it does, over the places where a student may
// have put the results, and pure functions that choose from what it found
// the hint that a diagnostic words.
#ifndef GRADE_LOOK_AROUND_H_
#define GRADE_LOOK_AROUND_H_

#include <dirent.h>
#include <sys/types.h>

#include <cstddef>

#include "results_files.h"

using Name = char[sizeof(dirent::d_name)];

// What the walk reads of the disk; its tests give it a tree in memory.
class Disk {
 public:
  enum class Type { kUnknown, kOther, kFile, kFolder };
  // What a folder or an entry is, a link followed.
  struct Facts {
    Type type;
    dev_t device;
    ino_t inode;
    uid_t owner;
  };
  virtual ~Disk() = default;
  // Opens the folder at `path` from the working folder (`at` -1) or from
  // the folder open as `at`: a handle, or -1 with errno set.
  virtual int open(int at, const char *path) = 0;
  virtual void close(int folder) = 0;
  // The next name in the open folder, and its type where the listing says
  // it (kUnknown where it does not, as for a link); null at the end.
  virtual const char *next(int folder, Type &type) = 0;
  // What the open folder is (`name` null), or its entry `name`.
  virtual bool facts(int folder, const char *name, Facts &facts) = 0;
  // The first bytes of the regular file `name` in the open folder, read
  // without waiting, up to `size`: how many, or -1.
  virtual long head(int folder, const char *name, unsigned char *bytes,
                    std::size_t size) = 0;
};

// Folders down from a place that the walk may look into.
constexpr std::size_t kDepthLimit = 3;

// What the walk found, in a place (0 the results folder, 1 "..", 2 ".",
// 3 "../..", each as the request names them), in `depth` folders down:
// those folders' names, then its own.
struct Find {
  enum class Kind {
    kFile,     // named as a results file is, in any case, or holding it
    kNear,     // in the results folder, a name near a results file's
    kOther,    // in the results folder, another text file
    kFolder,   // outside it, a folder whose name holds "results"
    kArchive,  // outside it, an archive, told by its first bytes
    kNamed     // outside it, a text file whose name begins with "results"
  };
  Kind kind;
  unsigned files;  // kFile, kNear: the results files it may be, as bits
  std::size_t place;
  const char *base;  // the place's path
  std::size_t depth;
  Name names[kDepthLimit + 1];
};

// Nearer first: by place, then by depth.
inline std::size_t rankOf(const Find &find) {
  return find.place * (kDepthLimit + 1) + find.depth;
}

// What to look for: where the results folder is, whether it is missing
// (or, `alone`, stands in a file's place and is the only place), the files,
// and the one grade runs for, whose files (and root's) alone may be named.
struct Request {
  const char *folder;
  bool folderMissing;
  bool alone;
  const ResultsFile *files;
  uid_t user;
};

// The one grade runs for: the effective user, or under sudo (run as root
// with SUDO_UID set) the user that sudo names.
uid_t gradedUser();

// What one look around found: the nearest finds of each kind (of each
// file, and of those in a folder like results apart), and what it saw of
// the results folder.
struct Survey {
  static constexpr std::size_t kFindLimit = 26;
  std::size_t count;
  Find finds[kFindLimit];
  std::size_t near[kResultsFileCount];  // names near each file, all of them
  std::size_t others;                   // other files in results, all
  bool present[kResultsFileCount];      // in results by its own name
  bool listed;                          // the results folder was listed
  bool empty;                           // it holds nothing at all
  int stopped;  // why the walk stopped short: an errno value, or kWorkDone
};

// The walk stopped short for the work it may do.
constexpr int kWorkDone = -3;

// Walks from the places, nearest first, into `survey`.
void lookAround(Disk &disk, const Request &request, Survey &survey);

// The same on the disk that grade reads.
void lookAround(const Request &request, Survey &survey);

// The text of a symbolic link, up to what a hint shows of it.
struct LinkText {
  static constexpr std::size_t kLimit = 512;
  std::size_t length;  // all of it, past the limit too
  char text[kLimit];
};

// What a diagnostic says of a missing results folder or file: the kind of
// hint, and all that it names.
struct Hint {
  enum class Kind {
    kNone,
    kRemoved,      // the working folder has been removed
    kEmpty,        // the results folder holds nothing at all
    kRunBeside,    // nothing like results is near
    kLink,         // a link to nothing stands in its place
    kItself,       // a link to itself stands in its place
    kThroughLink,  // the shell reached this folder through a link
    kFound,        // a find, as it is: a copy, a folder like results
    kBelong,       // a results file elsewhere: the files belong in results
    kArchive,      // an archive: unpack it into results
    kHolds,        // names in results, near the file's or few
    kNotListed,    // results cannot be listed
    kStopped,      // the look stopped short, having found nothing
    kAlso          // a file that is there: another name results holds
  };
  Kind kind;
  Find found;
  std::size_t nameCount;  // kHolds: the names, past those shown too
  Name names[3];
  LinkText link;
  int error;  // kStopped
};

// What a student most likely meant by a missing results folder: a folder
// like results that holds a results file; the nearest results file, unless
// an archive is nearer; a folder like results; a file named like results;
// or, where nothing was found, whether the look stopped short.
Hint folderHint(const Survey &survey);

// What a student most likely meant by results file `index`, missing: its
// nearest copy; names in results near its own, each offered to the files
// it is fewest edits from; or, where results holds no such name, the
// nearest of the other files it holds when they are few; or whether
// results could not be listed, or the look stopped short.
Hint fileHint(const Survey &survey, const ResultsFiles &files,
              std::size_t index);

// A name in results that holds results file `index`'s own or is near it,
// for a file that is there but empty or unreadable; null where none is.
const char *alsoHeld(const Survey &survey, std::size_t index);

// What the system shows of a missing results folder or file: the working
// folder has been removed; `path` is a link to nothing, or to itself;
// `folder`, beside this folder as the shell reached it through a link (PWD
// names it), exists: each fills `hint` and returns true where it applies.
bool workingFolderRemoved(Hint &hint);
bool linkToNothing(const char *path, Hint &hint);
bool linkToItself(const char *path, Hint &hint);
bool reachedThroughLink(const char *folder, Hint &hint);

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

#endif  // GRADE_LOOK_AROUND_H_
