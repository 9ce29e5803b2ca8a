#include "look_around.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "ascii.h"

namespace {

// How much the walk may do, whatever the folders hold: folders entered,
// entries read, entries looked at for what they are, files whose first
// bytes are read, and in each folder, folders looked into (those that
// cannot be listed do not count) among the first that may be folders.
constexpr std::size_t kFolderBudget = 128;
constexpr std::size_t kEntryBudget = 65536;
constexpr std::size_t kStatBudget = 128;
constexpr std::size_t kHeadBudget = 32;
constexpr std::size_t kFoldersEach = 40;
constexpr std::size_t kListedEach = 32;

// First bytes enough to tell an archive (a tar's mark stands at 257).
constexpr std::size_t kHeadSize = 512;

// A name in lower case, A to Z only, so that names compare ignoring case.
struct Folded {
  Name name;
};

Folded fold(const char *name) {
  Folded folded;
  std::size_t i = 0;
  for (; name[i] != '\0' && i + 1 < sizeof folded.name; ++i) {
    folded.name[i] = static_cast<char>(toLower(name[i]));
  }
  folded.name[i] = '\0';
  return folded;
}

void copyName(Name &to, const char *name) {
  std::size_t length = strnlen(name, sizeof to - 1);
  std::memcpy(to, name, length);
  to[length] = '\0';
}

// Whether first bytes are an archive's: zip, gzip, bzip2, xz, zstd, 7z,
// rar or tar.
bool isArchive(const unsigned char *bytes, std::size_t size) {
  struct Mark {
    std::size_t at;
    const char *bytes;
    std::size_t size;
  };
  constexpr Mark kMarks[] = {
      {0, "PK\x03\x04", 4},
      {0, "PK\x05\x06", 4},
      {0, "\x1f\x8b", 2},
      {0, "BZh", 3},
      {0,
       "\xfd"
       "7zXZ\0",
       6},
      {0, "\x28\xb5\x2f\xfd", 4},
      {0, "7z\xbc\xaf\x27\x1c", 6},
      {0, "Rar!\x1a\x07", 6},
      {257, "ustar", 5},
  };
  return std::any_of(std::begin(kMarks), std::end(kMarks), [&](const Mark &m) {
    return size >= m.at + m.size &&
           std::memcmp(bytes + m.at, m.bytes, m.size) == 0;
  });
}

// Whether first bytes may be a results file's: text, without a NUL byte,
// and neither an archive nor a PDF.
bool isText(const unsigned char *bytes, std::size_t size) {
  return !std::memchr(bytes, '\0', size) && !isArchive(bytes, size) &&
         !(size >= 5 && std::memcmp(bytes, "%PDF-", 5) == 0);
}

std::size_t editsBetween(const char *a, const char *b, std::size_t cap) {
  const std::size_t n = std::strlen(a);
  const std::size_t m = std::strlen(b);
  if (n > m + cap || m > n + cap || m >= sizeof(Name)) return cap + 1;
  // Edits between the first i bytes of a and the first j of b, three rows
  // at a time; a name is given up once a whole row is past the cap.
  std::size_t rows[3][sizeof(Name) + 1];
  for (std::size_t j = 0; j <= m; ++j) rows[0][j] = j;
  for (std::size_t i = 1; i <= n; ++i) {
    std::size_t *row = rows[i % 3];
    const std::size_t *up = rows[(i - 1) % 3];
    const std::size_t *upTwo = rows[(i + 1) % 3];
    row[0] = i;
    std::size_t best = i;
    for (std::size_t j = 1; j <= m; ++j) {
      row[j] = std::min({up[j] + 1, row[j - 1] + 1,
                         up[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && b[j - 1] == a[i - 2]) {
        row[j] = std::min(row[j], upTwo[j - 2] + 1);
      }
      best = std::min(best, row[j]);
    }
    if (best > cap) return cap + 1;
  }
  return std::min(rows[n % 3][m], cap + 1);
}

// The files' names and their benchmarks' names, folded.
struct FoldedFiles {
  Folded names[kResultsFileCount];
  Folded benchmarks[kResultsFileCount];
};

FoldedFiles foldFiles(const ResultsFile *files) {
  FoldedFiles folded;
  for (std::size_t i = 0; i < kResultsFileCount; ++i) {
    folded.names[i] = fold(files[i].name);
    folded.benchmarks[i] = fold(files[i].benchmark);
  }
  return folded;
}

unsigned misspelt(const char *own, const FoldedFiles &files) {
  unsigned holds = 0;
  std::size_t edits[kResultsFileCount];
  std::size_t fewest = kFar;
  for (std::size_t i = 0; i < kResultsFileCount; ++i) {
    if (std::strstr(own, files.benchmarks[i].name)) holds |= 1u << i;
    edits[i] = std::strlen(own) >= 32
                   ? kFar
                   : editsBetween(own, files.names[i].name, kFar - 1);
  }
  auto may = [&](std::size_t i) {
    return holds != 0 ? (holds >> i & 1) != 0 : edits[i] < kFar;
  };
  for (std::size_t i = 0; i < kResultsFileCount; ++i) {
    if (may(i)) fewest = std::min(fewest, edits[i]);
  }
  unsigned bits = 0;
  for (std::size_t i = 0; i < kResultsFileCount; ++i) {
    if (may(i) && edits[i] == fewest) bits |= 1u << i;
  }
  return bits;
}

// A name kept from a listing for a closer look, with its type as the
// listing gives it, in order: `order` first, then in byte order.
struct Entry {
  Name name;
  Disk::Type type;
  unsigned order;
};

template <std::size_t kLimit>
struct Shortlist {
  std::size_t count;  // all offered, past the limit too
  Entry entries[kLimit];
};

template <std::size_t kLimit>
void offer(Shortlist<kLimit> &list, const char *name, Disk::Type type,
           unsigned order) {
  std::size_t at = std::min(list.count++, kLimit);
  for (; at > 0; --at) {
    const Entry &e = list.entries[at - 1];
    if (order != e.order ? order > e.order : std::strcmp(name, e.name) >= 0) {
      break;
    }
    if (at < kLimit) list.entries[at] = e;
  }
  if (at < kLimit) list.entries[at] = {{}, type, order};
  if (at < kLimit) copyName(list.entries[at].name, name);
}

// What a listing keeps: for each file the names that may be it, its own
// (in any case) before those that hold it; in the results folder, names
// near each file and other names; the folders, those like results first;
// files named like results; files that may be archives, those named as
// archives are first.
struct Listing {
  Shortlist<2> files[kResultsFileCount];
  Shortlist<3> near[kResultsFileCount];
  Shortlist<3> others;
  Shortlist<kFoldersEach> folders;
  Shortlist<2> named;
  Shortlist<8> archives;
};

// A folder to look into: its place, and the folders that lead to it.
struct Step {
  std::size_t place;
  const char *base;
  std::size_t parent;  // the step of the level above it
  std::size_t depth;
  Name names[kDepthLimit];
};

// What the walk carries: the work it may still do, the folders it has
// looked into (by device and inode), and the steps of the next level.
struct Walk {
  Disk *disk;
  const Request *request;
  Survey *survey;
  FoldedFiles files;
  std::size_t folders, entries, stats, heads;
  std::size_t seenCount;
  dev_t seenDevices[kFolderBudget + 4];
  ino_t seenInodes[kFolderBudget + 4];
  std::size_t stepCount;
  std::size_t current;  // the step being listed
  Step steps[2][kFolderBudget];
  std::size_t listed[kFolderBudget];  // the folders listed in each step
  Listing listing;
};

bool spend(Walk &walk, std::size_t &spent, std::size_t budget) {
  if (spent == budget) {
    walk.survey->stopped = kWorkDone;
    return false;
  }
  ++spent;
  return true;
}

// Notes a folder as looked into; false when it was, by any path.
bool see(Walk &walk, const Disk::Facts &folder) {
  for (std::size_t i = 0; i < walk.seenCount; ++i) {
    if (walk.seenDevices[i] == folder.device &&
        walk.seenInodes[i] == folder.inode) {
      return false;
    }
  }
  walk.seenDevices[walk.seenCount] = folder.device;
  walk.seenInodes[walk.seenCount++] = folder.inode;
  return true;
}

// Whether what another person owns, which is never named or looked into:
// neither the one grade runs for nor root.
bool foreign(const Walk &walk, const Disk::Facts &facts) {
  return facts.owner != walk.request->user && facts.owner != 0;
}

// What an entry of the open folder is: from its listing where it says,
// else from a look while the work allows; kUnknown where not known.
Disk::Facts factsOf(Walk &walk, int folder, const Entry &entry) {
  Disk::Facts facts = {entry.type, 0, 0, walk.request->user};
  bool known =
      entry.type == Disk::Type::kFolder || entry.type == Disk::Type::kOther;
  if (!known && (!spend(walk, walk.stats, kStatBudget) ||
                 !walk.disk->facts(folder, entry.name, facts))) {
    facts.type = Disk::Type::kUnknown;
  }
  return facts;
}

// Whether the entry is a file that may be a results file (`archive`:
// that is an archive), and another person's file is none.
bool fileIs(Walk &walk, int folder, const Entry &entry, bool archive) {
  Disk::Facts facts = factsOf(walk, folder, entry);
  if (facts.type != Disk::Type::kFile || foreign(walk, facts) ||
      !spend(walk, walk.heads, kHeadBudget)) {
    return false;
  }
  unsigned char bytes[kHeadSize];
  long size = walk.disk->head(folder, entry.name, bytes, sizeof bytes);
  if (size < 0 && (errno == EMFILE || errno == ENFILE)) {
    walk.survey->stopped = errno;
  }
  if (size < 0) return false;
  auto n = static_cast<std::size_t>(size);
  return archive ? isArchive(bytes, n) : isText(bytes, n);
}

// Nearer by rank; as near, first in byte order of its folders and name.
bool nearer(const Find &a, const Find &b) {
  if (rankOf(a) != rankOf(b)) return rankOf(a) < rankOf(b);
  for (std::size_t i = 0; i <= a.depth; ++i) {
    int order = std::strcmp(a.names[i], b.names[i]);
    if (order != 0) return order < 0;
  }
  return false;
}

// Whether the find's first folder, outside results, holds "results".
bool inResultsLike(const Find &find) {
  return find.place > 0 && find.depth > 0 &&
         std::strstr(fold(find.names[0]).name, "results");
}

// Adds a find; of finds of the same kind, files and folder like results,
// only the nearest `kept` are kept.
void add(Survey &survey, const Find &find, std::size_t kept) {
  std::size_t same = 0;
  Find *farthest = nullptr;
  for (std::size_t i = 0; i < survey.count; ++i) {
    Find &f = survey.finds[i];
    if (f.kind == find.kind && f.files == find.files &&
        inResultsLike(f) == inResultsLike(find)) {
      ++same;
      if (!farthest || nearer(*farthest, f)) farthest = &f;
    }
  }
  if (same < kept && survey.count < Survey::kFindLimit) {
    survey.finds[survey.count++] = find;
  } else if (farthest && nearer(find, *farthest)) {
    *farthest = find;
  }
}

Find findAt(const Step &step, const Entry &entry, Find::Kind kind,
            unsigned files) {
  Find find = {};
  find.kind = kind;
  find.files = files;
  find.place = step.place;
  find.base = step.base;
  find.depth = step.depth;
  for (std::size_t i = 0; i < step.depth; ++i) {
    copyName(find.names[i], step.names[i]);
  }
  copyName(find.names[step.depth], entry.name);
  return find;
}

// Keeps what an entry of a listing may be.
void keep(Walk &walk, const Step &step, const char *name, Disk::Type type) {
  Listing &kept = walk.listing;
  const Folded own = fold(name);
  const bool inResults = step.place == 0 && step.depth == 0;
  const bool outside = step.place > 0;
  unsigned copies = 0;
  for (std::size_t i = 0; i < kResultsFileCount; ++i) {
    // A file's own name, where it belongs, is the file itself, which is
    // neither a copy nor a spelling of any.
    if (inResults && !walk.request->alone &&
        std::strcmp(name, walk.request->files[i].name) == 0) {
      walk.survey->present[i] = true;
      return;
    }
    const char *file = walk.files.names[i].name;
    if (std::strstr(own.name, file)) {
      offer(kept.files[i], name, type, std::strcmp(own.name, file) ? 1 : 0);
      copies |= 1u << i;
    }
  }
  if (inResults && copies == 0 && type != Disk::Type::kFolder) {
    const unsigned bits = misspelt(own.name, walk.files);
    for (std::size_t i = 0; i < kResultsFileCount; ++i) {
      if (bits >> i & 1) offer(kept.near[i], name, type, 0);
    }
    if (bits == 0) offer(kept.others, name, type, 0);
  }
  const bool results = std::strstr(own.name, "results") != nullptr;
  if (step.depth < kDepthLimit && type != Disk::Type::kFile &&
      type != Disk::Type::kOther) {
    offer(kept.folders, name, type, results ? 0 : 1);
  }
  if (outside && step.depth == 0 && walk.request->folderMissing &&
      type != Disk::Type::kFolder) {
    if (std::strncmp(own.name, "results", 7) == 0) {
      offer(kept.named, name, type, 0);
    }
    // Any file may be an archive; those named as one are looked at first.
    const char *dot = std::strrchr(own.name, '.');
    offer(
        kept.archives, name, type,
        dot && std::strstr(".zip.tar.gz.tgz.xz.bz2.zst.7z.rar.", dot) ? 0 : 1);
  }
}

// Takes from the listing of the folder open as `folder` what it kept: the
// nearest candidates of each kind that are what they may be, and the
// folders to look into on the next level.
void take(Walk &walk, int folder, const Step &step) {
  Listing &kept = walk.listing;
  Survey &survey = *walk.survey;
  for (std::size_t i = 0; i < kResultsFileCount; ++i) {
    const auto &files = kept.files[i];
    for (std::size_t c = 0; c < std::min(files.count, std::size(files.entries));
         ++c) {
      if (!fileIs(walk, folder, files.entries[c], false)) continue;
      add(survey, findAt(step, files.entries[c], Find::Kind::kFile, 1u << i),
          1);
      break;
    }
  }
  if (step.place == 0 && step.depth == 0) {
    for (std::size_t i = 0; i < kResultsFileCount; ++i) {
      survey.near[i] = kept.near[i].count;
      for (std::size_t c = 0; c < std::min(kept.near[i].count, std::size_t{3});
           ++c) {
        const Entry &e = kept.near[i].entries[c];
        if (fileIs(walk, folder, e, false)) {
          add(survey, findAt(step, e, Find::Kind::kNear, 1u << i), 3);
        }
      }
    }
    survey.others = kept.others.count;
    for (std::size_t c = 0; c < kept.others.count && kept.others.count <= 3;
         ++c) {
      if (fileIs(walk, folder, kept.others.entries[c], false)) {
        add(survey, findAt(step, kept.others.entries[c], Find::Kind::kOther, 0),
            3);
      }
    }
  }
  for (std::size_t c = 0; c < std::min(kept.named.count, std::size_t{2}); ++c) {
    if (fileIs(walk, folder, kept.named.entries[c], false)) {
      add(survey, findAt(step, kept.named.entries[c], Find::Kind::kNamed, 0),
          1);
      break;
    }
  }
  for (std::size_t c = 0; c < std::min(kept.archives.count, std::size_t{8});
       ++c) {
    if (fileIs(walk, folder, kept.archives.entries[c], true)) {
      add(survey,
          findAt(step, kept.archives.entries[c], Find::Kind::kArchive, 0), 1);
      break;
    }
  }
  const auto &folders = kept.folders;
  for (std::size_t c = 0;
       c < std::min(folders.count, std::size(folders.entries)) &&
       walk.stepCount < kFolderBudget;
       ++c) {
    const Entry &e = folders.entries[c];
    if (factsOf(walk, folder, e).type != Disk::Type::kFolder) continue;
    Step &next = walk.steps[1][walk.stepCount++];
    next = step;
    next.parent = walk.current;
    copyName(next.names[step.depth], e.name);
    next.depth = step.depth + 1;
  }
}

// The path of a step's folder from its place: "a/b/c", or "." for the
// place itself.
void pathOf(const Step &step, char *path, std::size_t size) {
  std::size_t length = 0;
  path[0] = '.';
  path[1] = '\0';
  for (std::size_t i = 0; i < step.depth; ++i) {
    std::size_t n = std::strlen(step.names[i]);
    if (length + n + 2 > size) return;
    if (length > 0) path[length++] = '/';
    std::memcpy(path + length, step.names[i], n + 1);
    length += n;
  }
}

// Lists the folder of a step, from the place open as `place`: false where
// it cannot be, or is one looked into before, or another person's.
bool list(Walk &walk, int place, const Step &step) {
  if (!spend(walk, walk.folders, kFolderBudget)) return false;
  char path[(kDepthLimit + 1) * sizeof(Name)];
  pathOf(step, path, sizeof path);
  const int folder = walk.disk->open(place, path);
  if (folder < 0) {
    if (errno == EMFILE || errno == ENFILE) walk.survey->stopped = errno;
    return false;
  }
  Disk::Facts facts;
  bool usable =
      walk.disk->facts(folder, nullptr, facts) &&
      (step.depth == 0 || (!foreign(walk, facts) && see(walk, facts)));
  if (usable && step.place > 0 && step.depth > 0 &&
      std::strstr(fold(step.names[step.depth - 1]).name, "results")) {
    // A folder like results, which may be the results folder misnamed.
    Step parent = step;
    parent.depth = step.depth - 1;
    Entry entry = {};
    copyName(entry.name, step.names[parent.depth]);
    add(*walk.survey, findAt(parent, entry, Find::Kind::kFolder, 0), 1);
  }
  if (usable) {
    walk.listing = {};
    Disk::Type type;
    while (const char *name = walk.disk->next(folder, type)) {
      if (!spend(walk, walk.entries, kEntryBudget)) break;
      if (step.place == 0 && step.depth == 0) walk.survey->empty = false;
      keep(walk, step, name, type);
    }
    take(walk, folder, step);
  }
  walk.disk->close(folder);
  return usable;
}

// Walks a place, a level at a time, nearest first.
void walkPlace(Walk &walk, std::size_t place, const char *path) {
  const int root = walk.disk->open(-1, path);
  if (root < 0) return;
  walk.stepCount = 0;
  Step first = {};
  first.place = place;
  first.base = path;
  walk.steps[1][walk.stepCount++] = first;
  while (walk.stepCount > 0) {
    std::size_t count = walk.stepCount;
    std::copy(walk.steps[1], walk.steps[1] + count, walk.steps[0]);
    std::size_t listed[kFolderBudget] = {};
    std::copy(walk.listed, walk.listed + count, listed);
    std::fill(walk.listed, walk.listed + count, 0);
    walk.stepCount = 0;
    for (std::size_t s = 0; s < count; ++s) {
      const Step &step = walk.steps[0][s];
      walk.current = s;
      if (listed[step.parent] < kListedEach && list(walk, root, step)) {
        ++listed[step.parent];
        if (place == 0 && step.depth == 0) walk.survey->listed = true;
      }
    }
  }
  walk.disk->close(root);
}

}  // namespace

void lookAround(Disk &disk, const Request &request, Survey &survey) {
  survey = Survey{};
  survey.empty = true;
  auto *walk = static_cast<Walk *>(std::calloc(1, sizeof(Walk)));
  if (!walk) {
    survey.stopped = ENOMEM;
    return;
  }
  walk->disk = &disk;
  walk->request = &request;
  walk->survey = &survey;
  walk->files = foldFiles(request.files);
  const char *places[] = {request.folder, "..", ".", "../.."};
  const std::size_t placeCount = request.alone ? 1 : std::size(places);
  // The places are noted as looked into before any is, so that a link to
  // one of them is never followed and each is shown by its own path; a
  // place that is another, as ../.. is .. in /, is looked into once; a
  // place outside results that another person owns is not.
  bool usable[std::size(places)] = {};
  for (std::size_t p = 0; p < placeCount; ++p) {
    Disk::Facts facts;
    int folder = disk.open(-1, places[p]);
    usable[p] = folder >= 0 && disk.facts(folder, nullptr, facts) &&
                (p == 0 || !foreign(*walk, facts)) && see(*walk, facts);
    if (folder >= 0) disk.close(folder);
    if (folder < 0 && (errno == EMFILE || errno == ENFILE)) {
      survey.stopped = errno;
    }
  }
  for (std::size_t p = 0; p < placeCount; ++p) {
    if (usable[p]) walkPlace(*walk, p, places[p]);
  }
  if (!survey.listed) survey.empty = false;
  std::free(walk);
}

namespace {

// The disk that grade reads: folders as descriptors, listed through
// readdir, and files' first bytes read through the checked open of the
// results files, which never opens a FIFO or a device and never waits.
class RealDisk : public Disk {
 public:
  int open(int at, const char *path) override {
    const int fd = openat(at < 0 ? AT_FDCWD : fds_[at], path,
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    for (int f = 0; f < kOpen; ++f) {
      if (fds_[f] < 0) {
        fds_[f] = fd;
        dirs_[f] = nullptr;
        return f;
      }
    }
    (void)::close(fd);
    errno = EMFILE;
    return -1;
  }

  void close(int folder) override {
    if (dirs_[folder]) {
      closedir(dirs_[folder]);
    } else {
      (void)::close(fds_[folder]);
    }
    fds_[folder] = -1;
  }

  const char *next(int folder, Type &type) override {
    DIR *&dir = dirs_[folder];
    if (!dir && !(dir = fdopendir(fds_[folder]))) return nullptr;
    while (const dirent *entry = readdir(dir)) {
      const char *name = entry->d_name;
      if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
        continue;
      }
      type = entry->d_type == DT_DIR   ? Type::kFolder
             : entry->d_type == DT_REG ? Type::kFile
             : entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN
                 ? Type::kUnknown
                 : Type::kOther;
      return name;
    }
    return nullptr;
  }

  bool facts(int folder, const char *name, Facts &facts) override {
    struct stat file;
    if ((name ? fstatat(fds_[folder], name, &file, 0)
              : fstat(fds_[folder], &file)) != 0) {
      return false;
    }
    facts = {S_ISDIR(file.st_mode)   ? Type::kFolder
             : S_ISREG(file.st_mode) ? Type::kFile
                                     : Type::kOther,
             file.st_dev, file.st_ino, file.st_uid};
    return true;
  }

  long head(int folder, const char *name, unsigned char *bytes,
            std::size_t size) override {
    Opened file = openRegular(fds_[folder], name);
    if (file.checked >= 0) (void)::close(file.checked);
    if (file.fd < 0) {
      errno = file.error;
      return -1;
    }
    ssize_t got;
    do {
      got = read(file.fd, bytes, size);
    } while (got < 0 && errno == EINTR);
    (void)::close(file.fd);
    return got;
  }

 private:
  static constexpr int kOpen = 4;
  int fds_[kOpen] = {-1, -1, -1, -1};
  DIR *dirs_[kOpen] = {};
};

// The nearest find of a kind that may be file `index` (any, where -1) and
// that `accept` accepts.
// The nearest find of a kind that may be file `index`, and that `accept`
// accepts; of any file (`index` -1), the first in the files' order of the
// nearest.
const Find *nearest(const Survey &survey, Find::Kind kind, int index,
                    bool (*accept)(const Find &) = nullptr) {
  const Find *best = nullptr;
  for (int i = index < 0 ? 0 : index;
       i < (index < 0 ? static_cast<int>(kResultsFileCount) : index + 1); ++i) {
    const Find *its = nullptr;
    for (std::size_t f = 0; f < survey.count; ++f) {
      const Find &find = survey.finds[f];
      if (find.kind == kind &&
          ((index < 0 && kind != Find::Kind::kFile) ||
           (find.files >> i & 1) != 0) &&
          (!accept || accept(find)) && (!its || nearer(find, *its))) {
        its = &find;
      }
    }
    if (its && (!best || rankOf(*its) < rankOf(*best))) best = its;
  }
  return best;
}

Hint hintOf(Hint::Kind kind, const Find *found) {
  Hint hint = {};
  hint.kind = kind;
  if (found) hint.found = *found;
  return hint;
}

}  // namespace

void lookAround(const Request &request, Survey &survey) {
  RealDisk disk;
  lookAround(disk, request, survey);
}

Hint folderHint(const Survey &survey) {
  using Kind = Find::Kind;
  const Find *holding = nearest(survey, Kind::kFile, -1, inResultsLike);
  const Find *file = nearest(survey, Kind::kFile, -1);
  const Find *folder = nearest(survey, Kind::kFolder, -1);
  const Find *archive = nearest(survey, Kind::kArchive, -1);
  const Find *named = nearest(survey, Kind::kNamed, -1);
  if (holding) return hintOf(Hint::Kind::kFound, holding);
  // An archive, unless a file or a folder like results is nearer.
  if (archive && (!file || !nearer(*file, *archive)) &&
      (!folder || !nearer(*folder, *archive))) {
    return hintOf(Hint::Kind::kArchive, archive);
  }
  if (file) return hintOf(Hint::Kind::kBelong, file);
  if (folder || named)
    return hintOf(Hint::Kind::kFound, folder ? folder : named);
  Hint hint = hintOf(
      survey.stopped ? Hint::Kind::kStopped : Hint::Kind::kRunBeside, nullptr);
  hint.error = survey.stopped;
  return hint;
}

Hint fileHint(const Survey &survey, const ResultsFiles &files,
              std::size_t index) {
  const int i = static_cast<int>(index);
  if (const Find *copy = nearest(survey, Find::Kind::kFile, i)) {
    return hintOf(Hint::Kind::kFound, copy);
  }
  Hint hint = hintOf(Hint::Kind::kHolds, nullptr);
  // Names near its own, the first three in byte order; or the nearest other
  // name, when results holds few.
  constexpr std::size_t kShown = std::size(hint.names);
  for (std::size_t f = 0; f < survey.count; ++f) {
    const Find &find = survey.finds[f];
    if (find.kind != Find::Kind::kNear || (find.files >> i & 1) == 0) continue;
    std::size_t at = std::min(hint.nameCount++, kShown);
    for (; at > 0 && std::strcmp(find.names[0], hint.names[at - 1]) < 0; --at) {
      if (at < kShown) copyName(hint.names[at], hint.names[at - 1]);
    }
    if (at < kShown) copyName(hint.names[at], find.names[0]);
  }
  if (hint.nameCount > 0) {
    hint.nameCount = std::max(hint.nameCount, survey.near[index]);
    return hint;
  }
  const Folded own = fold(files[index].name);
  std::size_t fewest = sizeof(Name);
  for (std::size_t f = 0; f < survey.count && survey.others <= 3; ++f) {
    const Find &find = survey.finds[f];
    if (find.kind != Find::Kind::kOther) continue;
    std::size_t edits =
        editsBetween(fold(find.names[0]).name, own.name, sizeof(Name));
    if (edits < fewest ||
        (edits == fewest && std::strcmp(find.names[0], hint.names[0]) < 0)) {
      fewest = edits;
      copyName(hint.names[0], find.names[0]);
      hint.nameCount = 1;
    }
  }
  if (hint.nameCount > 0) return hint;
  hint.kind = survey.stopped   ? Hint::Kind::kStopped
              : !survey.listed ? Hint::Kind::kNotListed
                               : Hint::Kind::kNone;
  hint.error = survey.stopped;
  return hint;
}

const char *alsoHeld(const Survey &survey, std::size_t index) {
  const int i = static_cast<int>(index);
  auto inResults = [](const Find &f) { return f.place == 0 && f.depth == 0; };
  const Find *also = nearest(survey, Find::Kind::kFile, i, inResults);
  if (!also) also = nearest(survey, Find::Kind::kNear, i);
  return also ? also->names[0] : nullptr;
}

std::size_t editsBetween(const char *a, const char *b) {
  return std::strlen(a) >= 32 || std::strlen(b) >= 32
             ? kFar
             : editsBetween(a, b, kFar - 1);
}

unsigned misspeltFor(const char *name, const ResultsFiles &files) {
  return misspelt(fold(name).name, foldFiles(files));
}

namespace {

// Fills the hint's link with the text of the link at `at`/`path`, where it
// is one.
bool readLink(int at, const char *path, Hint &hint) {
  struct stat entry;
  if (fstatat(at, path, &entry, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISLNK(entry.st_mode)) {
    return false;
  }
  LinkText &link = hint.link;
  ssize_t length = readlinkat(at, path, link.text, sizeof link.text);
  if (length < 0) return false;
  link.length = std::max(static_cast<std::size_t>(length),
                         static_cast<std::size_t>(entry.st_size));
  return true;
}

}  // namespace

uid_t gradedUser() {
  uid_t user = geteuid();
  const char *sudo = user == 0 ? std::getenv("SUDO_UID") : nullptr;
  char *end = nullptr;
  unsigned long named = sudo ? std::strtoul(sudo, &end, 10) : 0;
  if (sudo && *sudo != '\0' && *end == '\0' && named > 0 &&
      named == static_cast<uid_t>(named)) {
    user = static_cast<uid_t>(named);
  }
  return user;
}

bool workingFolderRemoved(Hint &hint) {
  struct stat here;
  hint.kind = Hint::Kind::kRemoved;
  return stat(".", &here) == 0 && here.st_nlink == 0;
}

bool linkToNothing(const char *path, Hint &hint) {
  hint.kind = Hint::Kind::kLink;
  return readLink(AT_FDCWD, path, hint);
}

bool linkToItself(const char *path, Hint &hint) {
  hint.kind = Hint::Kind::kItself;
  if (!readLink(AT_FDCWD, path, hint) || hint.link.length >= LinkText::kLimit) {
    return false;
  }
  // The text is read from the link's own folder.
  const char *slash = std::strrchr(path, '/');
  char *folder =
      strndup(path, slash ? static_cast<std::size_t>(slash - path) : 0);
  const int at = folder ? open(*folder ? folder : ".", O_PATH | O_CLOEXEC) : -1;
  std::free(folder);
  char text[LinkText::kLimit + 1];
  std::memcpy(text, hint.link.text, hint.link.length);
  text[hint.link.length] = '\0';
  struct stat self;
  struct stat target;
  const bool itself = at >= 0 && lstat(path, &self) == 0 &&
                      fstatat(at, text, &target, AT_SYMLINK_NOFOLLOW) == 0 &&
                      self.st_dev == target.st_dev &&
                      self.st_ino == target.st_ino;
  if (at >= 0) (void)close(at);
  return itself;
}

bool reachedThroughLink(const char *folder, Hint &hint) {
  // The shell's name for this folder, where it reached it through a link,
  // so that its ".." is not the system's.
  hint.kind = Hint::Kind::kThroughLink;
  const char *pwd = std::getenv("PWD");
  if (!pwd || pwd[0] != '/' || std::strncmp(folder, "../", 3) != 0) {
    return false;
  }
  struct stat link;
  struct stat named;
  struct stat here;
  if (lstat(pwd, &link) != 0 || !S_ISLNK(link.st_mode) ||
      stat(pwd, &named) != 0 || stat(".", &here) != 0 ||
      named.st_dev != here.st_dev || named.st_ino != here.st_ino) {
    return false;
  }
  // A shell's PWD ends with no slash but in /, which has no parent.
  const std::size_t length = std::strlen(pwd);
  std::size_t parent = length;
  while (parent > 0 && pwd[parent - 1] != '/') --parent;
  char *above = strndup(pwd, parent);
  const int at = above ? open(above, O_PATH | O_DIRECTORY | O_CLOEXEC) : -1;
  std::free(above);
  struct stat results;
  const bool beside = at >= 0 && fstatat(at, folder + 3, &results, 0) == 0 &&
                      S_ISDIR(results.st_mode);
  if (at >= 0) (void)close(at);
  if (!beside) return false;
  hint.link.length = length;
  std::memcpy(hint.link.text, pwd, std::min(length, LinkText::kLimit));
  return true;
}
