#include "look_around.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "ascii.h"

namespace {

// How much the walk may do, whatever the folders hold: folders entered,
// entries read, entries looked at for their type, files whose first bytes
// are read; and in each folder, folders listed (those that cannot be do
// not count) among the first that may be folders.
constexpr std::size_t kFolderBudget = 128;
constexpr std::size_t kEntryBudget = 65536;
constexpr std::size_t kStatBudget = 128;
constexpr std::size_t kHeadBudget = 32;
constexpr std::size_t kFoldersEach = 40;
constexpr std::size_t kListedEach = 32;

// A path from the working folder, up to a find's depth.
using Path = char[(kDepthLimit + 2) * sizeof(Name)];

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
  (void)std::snprintf(to, sizeof to, "%s", name);
}

// Whether first bytes are an archive's: zip, gzip, bzip2, xz, zstd, 7z,
// rar or tar (whose mark stands at 257).
bool isArchive(const unsigned char *bytes, std::size_t size) {
  constexpr const char *kMarks[] = {
      "PK\3\4",      "PK\5\6",           "\x1f\x8b",   "BZh",
      "\xfd\x37zXZ", "\x28\xb5\x2f\xfd", "7z\xbc\xaf", "Rar!\x1a"};
  return std::any_of(std::begin(kMarks), std::end(kMarks),
                     [&](const char *mark) {
                       const std::size_t n = std::strlen(mark);
                       return size >= n && std::memcmp(bytes, mark, n) == 0;
                     }) ||
         (size >= 262 && std::memcmp(bytes + 257, "ustar", 5) == 0);
}

// Whether an archive's first name, where a zip or a tar shows it, is in
// a folder results ("./results/" too), which unpacking makes where it is
// unpacked.
bool holdsResults(const unsigned char *bytes, std::size_t size) {
  const bool zip = size >= 30 && std::memcmp(bytes, "PK\3\4", 4) == 0;
  std::size_t at = zip ? 30 : 0;
  if (size >= at + 2 && std::memcmp(bytes + at, "./", 2) == 0) at += 2;
  return (zip || isArchive(bytes, size)) && size >= at + 8 &&
         std::memcmp(bytes + at, "results/", 8) == 0;
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
    edits[i] = ::editsBetween(own, files.names[i].name);
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

// Names kept from a listing for a closer look, with the type the listing
// gives, in order: `order` first, then byte order; `count` counts all.
struct Entry {
  Name name;
  Disk::Type type;
  unsigned order;
};

template <std::size_t kLimit>
struct Shortlist {
  std::size_t count;
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
  if (at == kLimit) return;
  list.entries[at] = {{}, type, order};
  copyName(list.entries[at].name, name);
}

// A folder to look into: its place, the step above it, and the folders
// that lead to it from its place.
struct Step {
  std::size_t place;
  const char *base;
  std::size_t parent;
  std::size_t depth;
  Name names[kDepthLimit];
};

// What the walk carries: the work it may still do, the folders it has
// looked into (by device and inode), the steps of this level and the next
// with the folders listed in each, and what a listing keeps for a closer
// look after it: folders, those like results first; in the results folder,
// names near none of the files; and files that may be archives, those
// named as archives first.
struct Walk {
  Disk *disk;
  const Request *request;
  bool folderMissing;  // or empty
  Survey *survey;
  FoldedFiles files;
  std::size_t folders, entries, stats, heads;
  std::size_t seenCount;
  dev_t seenDevices[kFolderBudget + 4];
  ino_t seenInodes[kFolderBudget + 4];
  std::size_t stepCount, current;
  Step steps[2][kFolderBudget];
  std::size_t listed[2][kFolderBudget];
  Shortlist<kFoldersEach> subfolders;
  Shortlist<3> others;
  Shortlist<8> archives;
};

bool spend(Survey &survey, std::size_t &spent, std::size_t budget) {
  if (spent == budget) {
    survey.stopped = kWorkDone;
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

// Another person's, which is never named or looked into: owned by neither
// the one grade runs for nor root.
bool foreign(const Walk &walk, const Disk::Facts &facts) {
  return facts.owner != walk.request->user && facts.owner != 0;
}

// The path of a step's folder, or of a name in it, from the working folder.
void pathOf(const Step &step, const char *name, Path &path) {
  std::size_t length = static_cast<std::size_t>(
      std::snprintf(path, sizeof path, "%s", step.base));
  for (std::size_t i = 0; i <= step.depth; ++i) {
    const char *part = i < step.depth ? step.names[i] : name;
    if (part && length < sizeof path) {
      length += static_cast<std::size_t>(
          std::snprintf(path + length, sizeof path - length, "/%s", part));
    }
  }
}

// What an entry is: from its listing where it says, else from a look
// while the work allows; kUnknown where not known.
Disk::Facts factsOf(Walk &walk, const Step &step, const Entry &entry) {
  Disk::Facts facts = {entry.type, 0, 0, walk.request->user};
  Path path;
  pathOf(step, entry.name, path);
  if (entry.type != Disk::Type::kFolder && entry.type != Disk::Type::kOther &&
      (!spend(*walk.survey, walk.stats, kStatBudget) ||
       !walk.disk->facts(path, facts))) {
    facts.type = Disk::Type::kUnknown;
  }
  return facts;
}

// Whether an entry is a file that may be a results file, another person's
// being none: text, or, `archive`, an archive (and whether it holds
// results/ first, in `order`).
bool fileIs(Walk &walk, const Step &step, const Entry &entry, bool archive,
            unsigned &order) {
  const Disk::Facts facts = factsOf(walk, step, entry);
  if (facts.type != Disk::Type::kFile || foreign(walk, facts) ||
      !spend(*walk.survey, walk.heads, kHeadBudget)) {
    return false;
  }
  unsigned char bytes[512];
  Path path;
  pathOf(step, entry.name, path);
  const long size = walk.disk->head(path, bytes, sizeof bytes);
  if (size < 0 && (errno == EMFILE || errno == ENFILE)) {
    walk.survey->stopped = errno;
  }
  const auto n = static_cast<std::size_t>(size);
  if (archive && size >= 0) order = holdsResults(bytes, n) ? 1 : 0;
  return size >= 0 &&
         (archive ? isArchive(bytes, n)
                  : !std::memchr(bytes, '\0', n) && !isArchive(bytes, n) &&
                        !(n >= 5 && std::memcmp(bytes, "%PDF-", 5) == 0));
}

// Nearer by rank; as near, a file's own name before one that holds it,
// then first in byte order of its folders and name.
bool nearer(const Find &a, const Find &b) {
  if (rankOf(a) != rankOf(b)) return rankOf(a) < rankOf(b);
  if (a.order != b.order) return a.order < b.order;
  for (std::size_t i = 0; i <= a.depth; ++i) {
    int order = std::strcmp(a.names[i], b.names[i]);
    if (order != 0) return order < 0;
  }
  return false;
}

// Whether the folder that holds the find, outside results, is like
// results: its name holds "results".
bool inResultsLike(const Find &find) {
  return find.place > 0 && find.depth > 0 &&
         std::strstr(fold(find.names[find.depth - 1]).name, "results") !=
             nullptr;
}

// Adds a find of the entry, where it is among the nearest `kept` of its
// kind, files and folder like results, and is what it may be.
void add(Walk &walk, const Step &step, const Entry &entry, Find::Kind kind,
         unsigned files, std::size_t kept) {
  Find find = {kind, files, entry.order, step.place, step.base, step.depth, {}};
  for (std::size_t i = 0; i < step.depth; ++i) {
    copyName(find.names[i], step.names[i]);
  }
  copyName(find.names[step.depth], entry.name);
  Survey &survey = *walk.survey;
  std::size_t same = 0;
  Find *slot =
      survey.count < Survey::kFindLimit ? &survey.finds[survey.count] : nullptr;
  Find *farthest = nullptr;
  for (std::size_t i = 0; i < survey.count; ++i) {
    Find &f = survey.finds[i];
    if (f.kind == kind && f.files == files &&
        inResultsLike(f) == inResultsLike(find)) {
      ++same;
      if (!farthest || nearer(*farthest, f)) farthest = &f;
    }
  }
  if (same == kept)
    slot = farthest && nearer(find, *farthest) ? farthest : nullptr;
  if (!slot ||
      (kind != Find::Kind::kFolder &&
       !fileIs(walk, step, entry, kind == Find::Kind::kArchive, find.order))) {
    return;
  }
  if (slot == &survey.finds[survey.count]) ++survey.count;
  *slot = find;
}

// Keeps what an entry of a listing may be: a copy of a file (its own name
// in results is the file itself, neither a copy nor a spelling), a name
// near a file's or another name in results, a folder to look into, or
// outside results, where the folder is missing, a file named like it or an
// archive.
void keep(Walk &walk, const Step &step, const char *name, Disk::Type type) {
  const Folded own = fold(name);
  const bool inResults = step.place == 0 && step.depth == 0;
  const bool outside = step.place > 0;
  Entry entry = {{}, type, 0};
  copyName(entry.name, name);
  unsigned copies = 0;
  for (std::size_t i = 0; i < kResultsFileCount; ++i) {
    if (inResults && !walk.request->alone &&
        std::strcmp(name, walk.request->files[i].name) == 0) {
      walk.survey->present[i] = true;
      return;
    }
    if (std::strstr(own.name, walk.files.names[i].name)) copies |= 1u << i;
  }
  for (std::size_t i = 0; i < kResultsFileCount; ++i) {
    entry.order = std::strcmp(own.name, walk.files.names[i].name) ? 1 : 0;
    if (copies >> i & 1) add(walk, step, entry, Find::Kind::kFile, 1u << i, 1);
  }
  entry.order = 0;
  if (inResults && copies == 0 && type != Disk::Type::kFolder) {
    const unsigned bits = misspelt(own.name, walk.files);
    for (std::size_t i = 0; i < kResultsFileCount; ++i) {
      walk.survey->near[i] += bits >> i & 1;
      if (bits >> i & 1) add(walk, step, entry, Find::Kind::kNear, 1u << i, 3);
    }
    if (bits == 0) offer(walk.others, name, type, 0);
  }
  if (step.depth < kDepthLimit && type != Disk::Type::kFile &&
      type != Disk::Type::kOther) {
    offer(walk.subfolders, name, type,
          std::strstr(own.name, "results") ? 0 : 1);
  }
  if (outside && step.depth == 0 && walk.folderMissing &&
      type != Disk::Type::kFolder) {
    if (std::strncmp(own.name, "results", 7) == 0) {
      add(walk, step, entry, Find::Kind::kNamed, 0, 1);
    }
    const char *dot = std::strrchr(own.name, '.');
    offer(
        walk.archives, name, type,
        dot && std::strstr(".zip.tar.gz.tgz.xz.bz2.zst.7z.rar.", dot) ? 0 : 1);
  }
}

// Lists the folder of a step: false where it cannot be, or was looked into
// before, or is another person's. What its listing kept is looked at
// after: few other names in results, archives, and folders for the next
// level.
bool list(Walk &walk, const Step &step) {
  Survey &survey = *walk.survey;
  Path path;
  pathOf(step, nullptr, path);
  Disk::Facts facts;
  if (!spend(survey, walk.folders, kFolderBudget) ||
      !walk.disk->facts(path, facts) ||
      (step.depth > 0 && (foreign(walk, facts) || !see(walk, facts)))) {
    return false;
  }
  const int folder = walk.disk->open(path);
  if (folder < 0) {
    if (errno == EMFILE || errno == ENFILE) survey.stopped = errno;
    return false;
  }
  if (step.place > 0 && step.depth > 0 &&
      std::strstr(fold(step.names[step.depth - 1]).name, "results") !=
          nullptr) {
    // A folder like results, which may be the results folder misnamed.
    Step parent = step;
    parent.depth = step.depth - 1;
    Entry entry = {{}, Disk::Type::kFolder, 0};
    copyName(entry.name, step.names[parent.depth]);
    add(walk, parent, entry, Find::Kind::kFolder, 0, 1);
  }
  walk.subfolders.count = walk.others.count = walk.archives.count = 0;
  Disk::Type type;
  while (const char *name = walk.disk->next(folder, type)) {
    if (!spend(survey, walk.entries, kEntryBudget)) break;
    if (step.place == 0 && step.depth == 0) survey.empty = false;
    keep(walk, step, name, type);
  }
  walk.disk->close(folder);
  if (step.place == 0 && step.depth == 0) survey.others = walk.others.count;
  for (std::size_t c = 0; c < walk.others.count && walk.others.count <= 3;
       ++c) {
    add(walk, step, walk.others.entries[c], Find::Kind::kOther, 0, 3);
  }
  for (std::size_t c = 0; c < std::min(walk.archives.count, std::size_t{8});
       ++c) {
    add(walk, step, walk.archives.entries[c], Find::Kind::kArchive, 0, 1);
  }
  for (std::size_t c = 0; c < std::min(walk.subfolders.count, kFoldersEach) &&
                          walk.stepCount < kFolderBudget;
       ++c) {
    const Entry &e = walk.subfolders.entries[c];
    if (factsOf(walk, step, e).type != Disk::Type::kFolder) continue;
    Step &next = walk.steps[1][walk.stepCount++];
    next = step;
    next.parent = walk.current;
    copyName(next.names[step.depth], e.name);
    next.depth = step.depth + 1;
  }
  return true;
}

// Walks a place, a level at a time, nearest first.
void walkPlace(Walk &walk, std::size_t place, const char *base) {
  walk.stepCount = 1;
  walk.steps[1][0] = {place, base, 0, 0, {}};
  walk.listed[1][0] = 0;
  while (walk.stepCount > 0) {
    const std::size_t count = walk.stepCount;
    std::copy(walk.steps[1], walk.steps[1] + count, walk.steps[0]);
    std::copy(walk.listed[1], walk.listed[1] + count, walk.listed[0]);
    std::fill(walk.listed[1], walk.listed[1] + count, 0);
    walk.stepCount = 0;
    for (walk.current = 0; walk.current < count; ++walk.current) {
      const Step &step = walk.steps[0][walk.current];
      std::size_t &listed = walk.listed[0][step.parent];
      if (listed < kListedEach && list(walk, step)) {
        ++listed;
        if (place == 0 && step.depth == 0) walk.survey->listed = true;
      }
    }
  }
}

// The disk that grade reads, by paths; files' first bytes are read through
// the checked open of the results files, which never opens a FIFO or a
// device and never waits.
class RealDisk : public Disk {
 public:
  int open(const char *path) override {
    dir_ = opendir(path);
    return dir_ ? 0 : -1;
  }
  const char *next(int, Type &type) override {
    while (const dirent *entry = readdir(dir_)) {
      const char *name = entry->d_name;
      if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
        continue;
      }
      const auto t = entry->d_type;
      type = t == DT_DIR                      ? Type::kFolder
             : t == DT_REG                    ? Type::kFile
             : t == DT_LNK || t == DT_UNKNOWN ? Type::kUnknown
                                              : Type::kOther;
      return name;
    }
    return nullptr;
  }
  void close(int) override { closedir(dir_); }
  bool facts(const char *path, Facts &facts) override {
    struct stat file;
    if (stat(path, &file) != 0) return false;
    facts = {S_ISDIR(file.st_mode)   ? Type::kFolder
             : S_ISREG(file.st_mode) ? Type::kFile
                                     : Type::kOther,
             file.st_dev, file.st_ino, file.st_uid};
    return true;
  }
  long head(const char *path, unsigned char *bytes, std::size_t size) override {
    Opened file = openRegular(AT_FDCWD, path);
    if (file.checked >= 0) (void)::close(file.checked);
    if (file.fd < 0) {
      errno = file.error;
      return -1;
    }
    ssize_t got;
    while ((got = read(file.fd, bytes, size)) < 0 && errno == EINTR) {
    }
    (void)::close(file.fd);
    return got;
  }

 private:
  DIR *dir_ = nullptr;
};

// The nearest find of a kind that may be file `index`, and that `accept`
// accepts; of any file (`index` -1), the first in the files' order of the
// nearest.
const Find *nearest(const Survey &survey, Find::Kind kind, int index,
                    bool (*accept)(const Find &) = nullptr) {
  const Find *best = nullptr;
  for (int i = std::max(index, 0);
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

Hint hintOf(Hint::Kind kind, const Find *found, int error = 0) {
  Hint hint = {};
  hint.kind = kind;
  if (found) hint.found = *found;
  hint.error = error;
  return hint;
}

// Fills the hint's link with the text of the link at `path`, where it is
// one.
bool readLink(const char *path, Hint &hint, Hint::Kind kind) {
  struct stat entry;
  hint.kind = kind;
  if (lstat(path, &entry) != 0 || !S_ISLNK(entry.st_mode)) return false;
  const ssize_t length = readlink(path, hint.link.text, sizeof hint.link.text);
  hint.link.length =
      std::max(static_cast<std::size_t>(std::max(length, ssize_t{0})),
               static_cast<std::size_t>(entry.st_size));
  return length >= 0;
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
  // The places are noted as looked into before any is, so that a link to
  // one is never followed and each is shown by its own path; a place that
  // is another (../.. is .. in /) is looked into once; one outside results
  // that another person owns is not.
  const char *places[] = {request.folder, "..", ".", "../.."};
  bool usable[std::size(places)] = {};
  for (std::size_t p = 0; p < (request.alone ? 1 : std::size(places)); ++p) {
    Disk::Facts facts;
    usable[p] = disk.facts(places[p], facts) &&
                facts.type == Disk::Type::kFolder &&
                (p == 0 || !foreign(*walk, facts)) && see(*walk, facts);
  }
  // A results folder that holds nothing is looked around as a missing one.
  walk->folderMissing = request.folderMissing;
  for (std::size_t p = 0; p < std::size(places); ++p) {
    if (usable[p]) walkPlace(*walk, p, places[p]);
    walk->folderMissing =
        walk->folderMissing || (survey.listed && survey.empty);
  }
  if (!survey.listed) survey.empty = false;
  std::free(walk);
}

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
  // A folder like results that holds a file, unless a file or an archive
  // is nearer.
  if (holding && !nearer(*file, *holding) &&
      (!archive || !nearer(*archive, *holding))) {
    return hintOf(Hint::Kind::kFound, holding);
  }
  // An archive, unless a file or a folder like results is nearer.
  if (archive && (!file || !nearer(*file, *archive)) &&
      (!folder || !nearer(*folder, *archive))) {
    return hintOf(
        archive->order != 0 ? Hint::Kind::kUnpack : Hint::Kind::kArchive,
        archive);
  }
  if (file) return hintOf(Hint::Kind::kBelong, file);
  if (folder || named)
    return hintOf(Hint::Kind::kFound, folder ? folder : named);
  return hintOf(survey.stopped ? Hint::Kind::kStopped : Hint::Kind::kRunBeside,
                nullptr, survey.stopped);
}

Hint fileHint(const Survey &survey, const ResultsFiles &files,
              std::size_t index) {
  const int i = static_cast<int>(index);
  if (const Find *copy = nearest(survey, Find::Kind::kFile, i)) {
    return hintOf(Hint::Kind::kFound, copy);
  }
  // Names near its own, the first in byte order; or the nearest of few
  // others.
  Hint hint = hintOf(Hint::Kind::kHolds, nullptr);
  const Folded own = fold(files[index].name);
  std::size_t fewest = sizeof(Name) + 1;
  for (std::size_t f = 0; f < survey.count; ++f) {
    const Find &find = survey.finds[f];
    if (find.kind == Find::Kind::kNear && (find.files >> i & 1) != 0) {
      std::size_t at = hint.nameCount++;
      for (; at > 0 && std::strcmp(find.names[0], hint.names[at - 1]) < 0;
           --at) {
        copyName(hint.names[at], hint.names[at - 1]);
      }
      copyName(hint.names[at], find.names[0]);
    }
  }
  if (hint.nameCount > 0) {
    hint.nameCount = std::max(hint.nameCount, survey.near[index]);
    return hint;
  }
  for (std::size_t f = 0; f < survey.count; ++f) {
    const Find &find = survey.finds[f];
    const std::size_t edits =
        editsBetween(fold(find.names[0]).name, own.name, sizeof(Name));
    if (find.kind == Find::Kind::kOther &&
        (edits < fewest ||
         (edits == fewest && std::strcmp(find.names[0], hint.names[0]) < 0))) {
      fewest = edits;
      copyName(hint.names[0], find.names[0]);
      hint.nameCount = 1;
    }
  }
  if (hint.nameCount > 0) return hint;
  return hintOf(survey.stopped   ? Hint::Kind::kStopped
                : !survey.listed ? Hint::Kind::kNotListed
                                 : Hint::Kind::kNone,
                nullptr, survey.stopped);
}

const char *alsoHeld(const Survey &survey, std::size_t index) {
  const int i = static_cast<int>(index);
  const Find *also = nearest(survey, Find::Kind::kFile, i, [](const Find &f) {
    return f.place == 0 && f.depth == 0;
  });
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

uid_t gradedUser() {
  const uid_t user = geteuid();
  const char *sudo = user == 0 ? std::getenv("SUDO_UID") : nullptr;
  char *end = nullptr;
  const unsigned long named = sudo ? std::strtoul(sudo, &end, 10) : 0;
  return sudo && *sudo != '\0' && *end == '\0' && named > 0 &&
                 named == static_cast<uid_t>(named)
             ? static_cast<uid_t>(named)
             : user;
}

bool workingFolderRemoved(Hint &hint) {
  struct stat here;
  hint.kind = Hint::Kind::kRemoved;
  return stat(".", &here) == 0 && here.st_nlink == 0;
}

bool linkToNothing(const char *path, Hint &hint) {
  return readLink(path, hint, Hint::Kind::kLink);
}

bool linkToItself(const char *path, Hint &hint) {
  if (!readLink(path, hint, Hint::Kind::kItself) ||
      hint.link.length >= LinkText::kLimit) {
    return false;
  }
  // The text is read from the link's own folder.
  Path named;
  const char *slash = std::strrchr(path, '/');
  (void)std::snprintf(named, sizeof named, "%.*s%.*s",
                      hint.link.text[0] == '/' || !slash
                          ? 0
                          : static_cast<int>(slash - path + 1),
                      path, static_cast<int>(hint.link.length), hint.link.text);
  struct stat self;
  struct stat target;
  return lstat(path, &self) == 0 && lstat(named, &target) == 0 &&
         self.st_dev == target.st_dev && self.st_ino == target.st_ino;
}

bool reachedThroughLink(const char *folder, Hint &hint) {
  // The shell's name for this folder, where it reached it through a link,
  // so that its ".." is not the system's: PWD, where it is a link to this
  // folder and `folder` stands beside it.
  hint.kind = Hint::Kind::kThroughLink;
  const char *pwd = std::getenv("PWD");
  struct stat link;
  struct stat named;
  struct stat here;
  if (!pwd || pwd[0] != '/' || std::strncmp(folder, "../", 3) != 0 ||
      lstat(pwd, &link) != 0 || !S_ISLNK(link.st_mode) ||
      stat(pwd, &named) != 0 || stat(".", &here) != 0 ||
      named.st_dev != here.st_dev || named.st_ino != here.st_ino) {
    return false;
  }
  const std::size_t length = std::strlen(pwd);
  std::size_t parent = length;
  while (parent > 0 && pwd[parent - 1] != '/') --parent;
  Path beside;
  (void)std::snprintf(beside, sizeof beside, "%.*s%s", static_cast<int>(parent),
                      pwd, folder + 3);
  struct stat results;
  if (length >= sizeof beside || stat(beside, &results) != 0 ||
      !S_ISDIR(results.st_mode)) {
    return false;
  }
  hint.link.length = length;
  std::memcpy(hint.link.text, pwd, std::min(length, LinkText::kLimit));
  return true;
}
