// The look around: where the results folder or a file is missing, one
// walk over the places a student may have put the results, bounded by the
// work it does, and pure functions that choose from what it found the
// hint that a diagnostic words.
#ifndef GRADE_LOOK_AROUND_H_
#define GRADE_LOOK_AROUND_H_

#include <dirent.h>
#include <sys/types.h>

#include <cstddef>

#include "results_files.h"

using Name = char[sizeof(dirent::d_name)];

// What the walk reads of the disk, by paths from the working folder; its
// tests give it a tree in memory.
class Disk {
 public:
  enum class Type { kUnknown, kOther, kFile, kFolder };
  // What a path is, a link followed.
  struct Facts {
    Type type;
    dev_t device;
    ino_t inode;
    uid_t owner;
  };
  // Opens a folder to list it, one at a time: a handle, or -1 with errno
  // set.
  virtual int open(const char *path) = 0;
  // Its next name, with the type its listing says (kUnknown for a link);
  // null at its end.
  virtual const char *next(int folder, Type &type) = 0;
  virtual void close(int folder) = 0;
  virtual bool facts(const char *path, Facts &facts) = 0;
  // Up to `size` first bytes of a regular file, read without waiting: how
  // many, or -1 with errno set.
  virtual long head(const char *path, unsigned char *bytes,
                    std::size_t size) = 0;

 protected:
  // Never deleted through this class, so that no deleting destructor
  // (and no C++ runtime library) is linked.
  ~Disk() = default;
};

// Folders down from a place that the walk looks into.
constexpr std::size_t kDepthLimit = 3;

// What the walk found: its kind, the results files it may be (as bits,
// 1 << index), whether its name is a file's own or holds it, its place (0
// the results folder, 1 "..", 2 ".", 3 "../..", whose path is `base`), and
// the names of the folders down to it, then its own.
struct Find {
  enum class Kind {
    kFile,     // named as a results file, in any case, or holding its name
    kNear,     // in the results folder, a name near a results file's
    kOther,    // in the results folder, another name
    kFolder,   // outside it, a folder whose name holds "results"
    kArchive,  // outside it, an archive, told by its first bytes
    kNamed     // outside it, a file whose name begins with "results"
  };
  Kind kind;
  unsigned files;
  unsigned order;  // 1 for a name that holds a file's; for an archive, 1
                   // where its first name is results/
  std::size_t place;
  const char *base;
  std::size_t depth;
  Name names[kDepthLimit + 1];
};

// Nearer first: by place, then by depth.
inline std::size_t rankOf(const Find &find) {
  return find.place * (kDepthLimit + 1) + find.depth;
}

// What to look for: where the results folder is, whether it is missing
// (one found empty is looked around as missing too; or, `alone`, it stands
// in a file's place and is the only place looked into), the files, and
// the one grade runs for, whose files (and root's) alone are named.
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

// What one look around found: the nearest finds of each kind, of each file
// (apart in a folder like results, which holds it), only what may be a results
// file (text, or an archive where one is meant), nothing of another person's;
// and what it saw of the results folder.
struct Survey {
  static constexpr std::size_t kFindLimit = 26;
  std::size_t count;
  Find finds[kFindLimit];
  std::size_t near[kResultsFileCount];  // names near each file, all of them
  std::size_t others;                   // other names in results, all
  bool present[kResultsFileCount];      // in results by its own name
  bool listed;                          // the results folder was listed
  bool empty;                           // it holds nothing at all
  int stopped;  // why the walk stopped short: an errno value, or kWorkDone
};

// Reasons beyond errno values: the walk stopped short for the work it may
// do; the results folder holds nothing at all.
constexpr int kWorkDone = -3;
constexpr int kEmptyFolder = -4;

// Walks from the places, nearest first, into `survey`: on `disk`, or on
// the disk that grade reads.
void lookAround(Disk &disk, const Request &request, Survey &survey);
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
    kRunBeside,    // nothing like results is near
    kLink,         // a link to nothing stands in its place
    kItself,       // a link to itself stands in its place
    kThroughLink,  // the shell reached this folder through a link
    kFound,        // a find, as it is: a copy, a folder like results
    kBelong,       // a results file elsewhere: the files belong in results
    kArchive,      // an archive: unpack it into results
    kUnpack,       // an archive of results: unpack it beside it
    kHolds,        // names in results, near the file's or few
    kNotListed,    // results cannot be listed
    kStopped,      // the look stopped short, having found nothing
    kAlso          // for a file that is there: a name results also holds
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
// it is fewest edits from, up to three; where there is none, the nearest
// of the other names results holds, when they are three at most; or
// whether results could not be listed, or the look stopped short.
Hint fileHint(const Survey &survey, const ResultsFiles &files,
              std::size_t index);

// A name in results that holds file `index`'s own or is near it, for a
// file that is there but empty or unreadable; null where none is.
const char *alsoHeld(const Survey &survey, std::size_t index);

// What the system shows of a missing results folder or file, each filling
// `hint` where it applies: the working folder has been removed; `path` is
// a link to nothing, or to itself; the shell reached this folder through a
// link (PWD names it), and `folder` stands beside the link.
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
