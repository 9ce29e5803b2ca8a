#include "results_files.h"

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

constexpr int kReadFlags = O_RDONLY | O_NOCTTY | O_CLOEXEC;
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

bool sameFile(const struct stat &a, const struct stat &b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens the file that `file.checked` was opened on for reading: through
// /proc, which opens that very file whatever its path names by now. Where
// /proc is not mounted, by its path, and only if that still names it;
// ESTALE where it does not.
int reopen(const Opened &file, const char *path, int flags) {
  char self[32];
  (void)std::snprintf(self, sizeof self, "/proc/self/fd/%d", file.checked);
  int fd = open(self, flags);
  if (fd >= 0 || errno != ENOENT) return fd;
  fd = open(path, flags);
  struct stat opened;
  if (fd >= 0 && (fstat(fd, &opened) != 0 || opened.st_dev != file.device ||
                  opened.st_ino != file.inode)) {
    (void)close(fd);
    errno = ESTALE;
    return -1;
  }
  return fd;
}

void release(Opened &file) {
  if (file.checked >= 0) (void)close(file.checked);
  file.checked = -1;
}

void copyName(Name &to, const char *name) {
  std::size_t length = strnlen(name, sizeof to - 1);
  std::memcpy(to, name, length);
  to[length] = '\0';
}

// Sorts a name into the first `limit` in byte order; `count` counts all.
void keepName(Name *names, std::size_t limit, std::size_t &count,
              const char *name) {
  std::size_t at = std::min(count, limit);
  ++count;
  for (; at > 0 && std::strcmp(name, names[at - 1]) < 0; --at) {
    if (at < limit) copyName(names[at], names[at - 1]);
  }
  if (at < limit) copyName(names[at], name);
}

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

// The files' names and their benchmarks' names, folded once for all the
// names of a look around.
struct FoldedFiles {
  Folded names[kResultsFileCount];
  Folded benchmarks[kResultsFileCount];
};

FoldedFiles foldFiles(const ResultsFiles &files) {
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
  for (std::size_t i = 0; i < kResultsFileCount; ++i) {
    if (std::strstr(own, files.benchmarks[i].name)) holds |= 1u << i;
    edits[i] = editsBetween(own, files.names[i].name);
  }
  std::size_t fewest = kFar;
  for (std::size_t i = 0; i < kResultsFileCount; ++i) {
    bool may = holds != 0 ? (holds >> i & 1) != 0 : edits[i] < kFar;
    if (may) fewest = std::min(fewest, edits[i]);
  }
  unsigned bits = 0;
  for (std::size_t i = 0; i < kResultsFileCount; ++i) {
    bool may = holds != 0 ? (holds >> i & 1) != 0 : edits[i] < kFar;
    if (may && edits[i] == fewest) bits |= 1u << i;
  }
  return bits;
}

bool beginsWith(const char *name, const char *prefix) {
  return std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

bool endsWith(const char *name, const char *suffix) {
  std::size_t n = std::strlen(name);
  std::size_t m = std::strlen(suffix);
  return n >= m && std::strcmp(name + n - m, suffix) == 0;
}

constexpr const char *kArchiveEndings[] = {".zip",    ".tar", ".tgz", ".tar.gz",
                                           ".tar.xz", ".7z",  ".rar"};

bool isArchive(const char *own) {
  return std::any_of(std::begin(kArchiveEndings), std::end(kArchiveEndings),
                     [&](const char *ending) { return endsWith(own, ending); });
}

// The text of the link at `path`, when it is a link.
bool readLink(const char *path, LinkText &link) {
  struct stat entry;
  if (lstat(path, &entry) != 0 || !S_ISLNK(entry.st_mode)) return false;
  ssize_t length = readlink(path, link.text, sizeof link.text);
  if (length < 0) return false;
  link.length = static_cast<std::size_t>(length);
  return true;
}

// Whether `path` is a link that names itself.
bool linksToItself(const char *path, LinkText &link) {
  if (!readLink(path, link)) return false;
  // A relative link's text is read from the link's own folder.
  const char *slash = std::strrchr(path, '/');
  int folder = link.text[0] == '/' || !slash ? 0 : int(slash - path + 1);
  char named[2 * PATH_MAX];
  (void)std::snprintf(named, sizeof named, "%.*s%.*s", folder, path,
                      static_cast<int>(link.length), link.text);
  struct stat self;
  struct stat target;
  return lstat(path, &self) == 0 && lstat(named, &target) == 0 &&
         sameFile(self, target);
}

// What the shell calls the current folder, where it reached it through a
// link, so that its ".." is not the system's: when PWD names a link to
// this folder, and the results folder stands beside the link.
bool reachedThroughLink(const char *folder, LinkText &shell) {
  const char *pwd = std::getenv("PWD");
  if (!pwd || pwd[0] != '/' || !beginsWith(folder, "../")) return false;
  struct stat link;
  struct stat named;
  struct stat here;
  if (lstat(pwd, &link) != 0 || !S_ISLNK(link.st_mode) ||
      stat(pwd, &named) != 0 || stat(".", &here) != 0 ||
      !sameFile(named, here)) {
    return false;
  }
  // A shell's PWD ends with no slash but in /, which has no parent.
  std::size_t length = std::strlen(pwd);
  std::size_t parent = length;
  while (parent > 0 && pwd[parent - 1] != '/') --parent;
  char beside[2 * PATH_MAX];
  (void)std::snprintf(beside, sizeof beside, "%.*s%s", static_cast<int>(parent),
                      pwd, folder + 3);
  struct stat results;
  if (stat(beside, &results) != 0 || !S_ISDIR(results.st_mode)) return false;
  shell.length = std::min(length, sizeof shell.text);
  std::memcpy(shell.text, pwd, shell.length);
  return true;
}

// How many stat calls a look around may make, for entries whose type the
// listing does not give (links, and file systems that give none), and how
// many folders it looks into at each level under one folder. Folders that
// cannot be listed do not count, so a few more are kept as candidates.
constexpr std::size_t kStatLimit = 256;
constexpr std::size_t kFolderLimit = 32;
constexpr std::size_t kCandidateLimit = 40;
constexpr std::size_t kFileCandidates = 2;
constexpr std::size_t kNamedCandidates = 2;
// Every folder looked into, by device and inode: 1 + 32 + 32 * 32 in the
// results folder, 1 + 32 in each of the three places outside it.
constexpr std::size_t kSeenLimit = 1200;

// An entry of a listing kept for a closer look: its name, its type as the
// listing gives it, and its rank among the others kept, lower first and
// then in byte order.
struct Entry {
  Name name;
  unsigned char type;
  unsigned char rank;
};

template <std::size_t kLimit>
struct Shortlist {
  std::size_t count;
  Entry entries[kLimit];
};

template <std::size_t kLimit>
void offer(Shortlist<kLimit> &list, const char *name, unsigned char type,
           unsigned char rank) {
  std::size_t at = list.count;
  for (; at > 0; --at) {
    const Entry &e = list.entries[at - 1];
    if (rank != e.rank ? rank > e.rank : std::strcmp(name, e.name) >= 0) break;
  }
  if (at == kLimit) return;
  if (list.count < kLimit) ++list.count;
  for (std::size_t i = list.count - 1; i > at; --i) {
    list.entries[i] = list.entries[i - 1];
  }
  copyName(list.entries[at].name, name);
  list.entries[at].type = type;
  list.entries[at].rank = rank;
}

// The type of an entry, a link followed: from the listing where it gives
// one, else from a stat call while the budget lasts; 0 when not known.
mode_t typeOf(std::size_t &budget, int folder, const Entry &entry) {
  if (entry.type != DT_LNK && entry.type != DT_UNKNOWN) {
    return DTTOIF(entry.type);
  }
  if (budget == 0) return 0;
  --budget;
  struct stat file;
  return fstatat(folder, entry.name, &file, 0) == 0 ? file.st_mode & S_IFMT : 0;
}

// Where a look around looks: the path, as shown, that its finds begin
// with; whether it is outside the results folder; the rank of its own
// finds; and how many folders down it looks.
struct Place {
  const char *path;
  bool outside;
  unsigned rank;
  std::size_t depth;
};

// What a listing keeps of a folder: for each file the names that may be
// it, its own (in any case) before those that hold it; the folders, those
// whose name holds "results" first; outside, the entries whose name
// begins with "results", archives first.
struct Listing {
  Shortlist<kFileCandidates> files[kResultsFileCount];
  Shortlist<kCandidateLimit> folders;
  Shortlist<kNamedCandidates> named;
  const Entry *copies[kResultsFileCount];  // the first regular file of each
};

// One look around, on the heap: a listing for each level of folders.
struct Look {
  Survey *survey;
  FoldedFiles files;
  const ResultsFiles *names;
  bool folderMissing;
  bool present[kResultsFileCount];  // in the results folder by its name
  uid_t user;
  std::size_t stats;
  std::size_t seenCount;
  dev_t seenDevices[kSeenLimit];
  ino_t seenInodes[kSeenLimit];
  Listing levels[3];
};

// Notes a folder as looked into; false when it was, by any path, or when
// no more can be noted.
bool see(Look &look, const struct stat &folder) {
  for (std::size_t i = 0; i < look.seenCount; ++i) {
    if (look.seenDevices[i] == folder.st_dev &&
        look.seenInodes[i] == folder.st_ino) {
      return false;
    }
  }
  if (look.seenCount == kSeenLimit) return false;
  look.seenDevices[look.seenCount] = folder.st_dev;
  look.seenInodes[look.seenCount++] = folder.st_ino;
  return true;
}

// Whether a find at `rank` could still tell something: the folder is
// missing, or a file not in the results folder has no find that near.
bool wanted(const Look &look, unsigned rank) {
  if (look.folderMissing) return true;
  for (std::size_t i = 0; i < kResultsFileCount; ++i) {
    const Found &found = look.survey->of[i].found;
    if (!look.present[i] && (!found.base || found.rank >= rank)) return true;
  }
  return false;
}

// Where a listing stands: its place, and the folders that lead to it.
struct Where {
  const Place *place;
  std::size_t depth;
  const char *folders[2];
};

Found foundAt(const Where &where, const Entry &entry) {
  Found found = {};
  found.base = where.place->path;
  found.outside = where.place->outside;
  found.rank = where.place->rank + static_cast<unsigned>(where.depth);
  found.depth = where.depth;
  for (std::size_t i = 0; i < where.depth; ++i) {
    copyName(found.folders[i], where.folders[i]);
  }
  copyName(found.name, entry.name);
  return found;
}

// Nearer by rank; at the same rank, the first in byte order of its
// folders. A listing gives one copy of a file, the first of its names.
bool nearer(const Found &a, const Found &b) {
  if (!b.base) return true;
  if (a.rank != b.rank) return a.rank < b.rank;
  for (std::size_t i = 0; i < a.depth; ++i) {
    int order = std::strcmp(a.folders[i], b.folders[i]);
    if (order != 0) return order < 0;
  }
  return false;
}

void keep(Look &look, Listing &listing, const dirent &entry,
          const Where &where) {
  const char *name = entry.d_name;
  const unsigned char type = entry.d_type;
  const Folded own = fold(name);
  const bool inResults = !where.place->outside && where.depth == 0;
  for (std::size_t i = 0; i < kResultsFileCount; ++i) {
    // A file's own name, where it belongs, is no copy; as a misspelling it
    // goes only to its own file, which is there.
    if (inResults && std::strcmp(name, (*look.names)[i].name) == 0) {
      look.present[i] = true;
      continue;
    }
    const char *file = look.files.names[i].name;
    bool whole = std::strcmp(own.name, file) == 0;
    if (whole || std::strstr(own.name, file)) {
      offer(listing.files[i], name, type, whole ? 0 : 1);
    }
  }
  if (inResults) {
    unsigned bits = misspelt(own.name, look.files);
    for (std::size_t i = 0; i < kResultsFileCount; ++i) {
      if (bits >> i & 1) {
        Survey::Of &of = look.survey->of[i];
        keepName(of.names, Survey::kNameLimit, of.nameCount, name);
      }
    }
  }
  bool mayBeFolder = type == DT_DIR || type == DT_LNK || type == DT_UNKNOWN;
  if (where.depth < where.place->depth && mayBeFolder) {
    offer(listing.folders, name, type,
          std::strstr(own.name, "results") ? 0 : 1);
  }
  if (look.folderMissing && where.place->outside && where.depth == 0 &&
      beginsWith(own.name, "results") && type != DT_DIR) {
    offer(listing.named, name, type, isArchive(own.name) ? 0 : 1);
  }
}

// Opens a folder in `at` to look into it, unless it has been looked into
// by any path, or is outside the results folder and another user's;
// -1 then, or when it cannot be opened.
int enter(Look &look, int at, const char *name, bool outside) {
  int fd = openat(at, name, kFolderFlags);
  if (fd < 0) {
    if (errno == EMFILE || errno == ENFILE) look.survey->error = errno;
    return -1;
  }
  struct stat folder;
  if (fstat(fd, &folder) != 0 || (outside && folder.st_uid != look.user) ||
      !see(look, folder)) {
    (void)close(fd);
    return -1;
  }
  return fd;
}

void lookInto(Look &look, int fd, const Where &where);

// Lists the folder open at fd, which it closes; false when it cannot.
bool listFolder(Look &look, int fd, const Where &where) {
  DIR *listing = fdopendir(fd);
  if (!listing) {
    (void)close(fd);
    return false;
  }
  Listing &kept = look.levels[where.depth];
  for (auto &files : kept.files) files.count = 0;
  kept.folders.count = 0;
  kept.named.count = 0;
  while (const dirent *entry = readdir(listing)) {
    if (std::strcmp(entry->d_name, ".") != 0 &&
        std::strcmp(entry->d_name, "..") != 0) {
      keep(look, kept, *entry, where);
    }
  }
  lookInto(look, dirfd(listing), where);
  closedir(listing);
  return true;
}

// Takes what the listing of the folder open at fd kept: the files, the
// named entries, and then the folders in it, as far as the place looks.
void lookInto(Look &look, int fd, const Where &where) {
  Survey &survey = *look.survey;
  Listing &kept = look.levels[where.depth];
  for (std::size_t i = 0; i < kResultsFileCount; ++i) {
    kept.copies[i] = nullptr;
    const Shortlist<kFileCandidates> &files = kept.files[i];
    for (std::size_t c = 0; c < files.count && !kept.copies[i]; ++c) {
      if (typeOf(look.stats, fd, files.entries[c]) != S_IFREG) continue;
      kept.copies[i] = &files.entries[c];
      Found found = foundAt(where, files.entries[c]);
      if (nearer(found, survey.of[i].found)) survey.of[i].found = found;
    }
  }
  for (std::size_t c = 0; c < kept.named.count && !survey.named.base; ++c) {
    mode_t type = typeOf(look.stats, fd, kept.named.entries[c]);
    if (type == 0 || type == S_IFDIR) continue;
    survey.named = foundAt(where, kept.named.entries[c]);
    survey.archive = kept.named.entries[c].rank == 0;
  }
  std::size_t looked = 0;
  for (std::size_t c = 0; c < kept.folders.count && looked < kFolderLimit;
       ++c) {
    const Entry &folder = kept.folders.entries[c];
    const unsigned rank =
        where.place->rank + static_cast<unsigned>(where.depth) + 1;
    if (!wanted(look, rank)) break;
    if (typeOf(look.stats, fd, folder) != S_IFDIR) continue;
    int inner = enter(look, fd, folder.name, where.place->outside);
    Where in = where;
    in.depth = where.depth + 1;
    in.folders[where.depth] = folder.name;
    if (inner < 0 || !listFolder(look, inner, in)) continue;
    ++looked;
    if (!where.place->outside || folder.rank != 0) continue;
    // A folder outside whose name holds "results", and the first of the
    // files in it.
    if (!survey.resultsLike.base) survey.resultsLike = foundAt(where, folder);
    const Listing &its = look.levels[in.depth];
    for (std::size_t i = 0; i < kResultsFileCount && !survey.holding.base;
         ++i) {
      if (its.copies[i]) survey.holding = foundAt(in, *its.copies[i]);
    }
  }
}

void takeSurvey(const char *folder, const ResultsFiles &files, bool missing,
                Survey &survey) {
  survey.done = true;
  auto *look = static_cast<Look *>(std::calloc(1, sizeof(Look)));
  if (!look) {
    survey.error = ENOMEM;
    return;
  }
  look->survey = &survey;
  look->files = foldFiles(files);
  look->names = &files;
  look->folderMissing = missing;
  look->user = geteuid();
  look->stats = kStatLimit;
  const Place places[] = {
      {folder, false, 0, 2},
      {"..", true, 3, 1},
      {".", true, 5, 1},
      {"../..", true, 7, 1},
  };
  // The places are noted as looked into before any is, so that a link to
  // one of them is never followed and each is shown by its own path; a
  // place that is another, as ../.. is .. in /, is looked into once.
  bool usable[std::size(places)];
  for (std::size_t p = 0; p < std::size(places); ++p) {
    struct stat place;
    usable[p] = stat(places[p].path, &place) == 0 && S_ISDIR(place.st_mode) &&
                see(*look, place);
  }
  for (std::size_t p = 0; p < std::size(places); ++p) {
    const Place &place = places[p];
    if (!usable[p] || !wanted(*look, place.rank)) continue;
    int fd = open(place.path, kFolderFlags);
    struct stat opened;
    if (fd >= 0 && (fstat(fd, &opened) != 0 ||
                    (place.outside && opened.st_uid != look->user))) {
      (void)close(fd);
      continue;
    }
    if (fd < 0 && (errno == EMFILE || errno == ENFILE)) survey.error = errno;
    bool listed = fd >= 0 && listFolder(*look, fd, Where{&place, 0, {}});
    if (p == 0) survey.listed = listed;
  }
  std::free(look);
}

// A copy of a file in the folder at `path`, which stands in its place.
bool findInFolder(const char *path, const ResultsFile &file, Found &found) {
  DIR *listing = opendir(path);
  if (!listing) return false;
  const Folded name = fold(file.name);
  Shortlist<kFileCandidates> copies = {};
  while (const dirent *entry = readdir(listing)) {
    const Folded own = fold(entry->d_name);
    bool whole = std::strcmp(own.name, name.name) == 0;
    if (whole || std::strstr(own.name, name.name)) {
      offer(copies, entry->d_name, entry->d_type, whole ? 0 : 1);
    }
  }
  std::size_t budget = kFileCandidates;
  const Place place = {path, false, 1, 0};
  for (std::size_t c = 0; c < copies.count && !found.base; ++c) {
    if (typeOf(budget, dirfd(listing), copies.entries[c]) == S_IFREG) {
      found = foundAt(Where{&place, 0, {}}, copies.entries[c]);
    }
  }
  closedir(listing);
  return found.base != nullptr;
}

}  // namespace

int checkFolder(const char *folder) {
  // "FOLDER/." fails as a missing folder does, with ENOTDIR for a file and
  // EACCES for a folder that cannot be entered.
  char path[PATH_MAX];
  (void)std::snprintf(path, sizeof path, "%s/.", folder);
  struct stat entered;
  return stat(path, &entered) == 0 ? 0 : errno;
}

Opened openResultsFile(const char *path) {
  Opened file = {-1, 0, 0, 0, -1};
  // A path that names another file each time it is looked at is being
  // replaced; it is looked at again, a few times.
  for (int attempt = 0; attempt < 3; ++attempt) {
    // O_PATH opens nothing: a FIFO's writer is not let through, and no
    // device's driver is called.
    file.checked = open(path, O_PATH | O_CLOEXEC);
    struct stat looked;
    if (file.checked < 0 || fstat(file.checked, &looked) != 0) {
      file.error = errno;
      release(file);
      return file;
    }
    file.device = looked.st_dev;
    file.inode = looked.st_ino;
    if (!S_ISREG(looked.st_mode)) {
      file.error = S_ISDIR(looked.st_mode) ? EISDIR : kNotRegularFile;
      release(file);
      return file;
    }
    // Without waiting: a lease gives EWOULDBLOCK, and the file is kept for
    // waitForLease.
    file.fd = reopen(file, path, kReadFlags | O_NONBLOCK);
    file.error = file.fd >= 0 ? 0 : errno;
    if (file.error == EWOULDBLOCK) {
      file.error = kUnderLease;
      return file;
    }
    release(file);
    if (file.error != ESTALE) return file;
  }
  file.error = EAGAIN;
  return file;
}

void waitForLease(Opened &file, const char *path) {
  file.fd = reopen(file, path, kReadFlags);
  file.error = file.fd >= 0 ? 0 : errno == ESTALE ? EAGAIN : errno;
  release(file);
}

bool emptiedByOutput(const Opened &file) {
  struct stat output;
  int flags = fcntl(STDOUT_FILENO, F_GETFL);
  return fstat(STDOUT_FILENO, &output) == 0 && output.st_dev == file.device &&
         output.st_ino == file.inode && flags >= 0 && (flags & O_APPEND) == 0;
}

std::size_t editsBetween(const char *a, const char *b) {
  constexpr std::size_t kLimit = kFar - 1;
  constexpr std::size_t kLongest = 32;
  const std::size_t n = std::strlen(a);
  const std::size_t m = std::strlen(b);
  if (n >= kLongest || m >= kLongest || n > m + kLimit || m > n + kLimit) {
    return kFar;
  }
  // Edits between the first i bytes of a and the first j of b, in three
  // rows, near the diagonal, the only cells that can stay within two;
  // kFar stands for anything past, and for the cells off the band. A name
  // is given up as soon as a whole row is past two, so that a folder of
  // 200,000 names is looked through in a few milliseconds.
  std::size_t rows[3][kLongest + 2];
  for (std::size_t j = 0; j <= m + 1; ++j) rows[0][j] = std::min(j, kFar);
  for (std::size_t i = 1; i <= n; ++i) {
    std::size_t *row = rows[i % 3];
    const std::size_t *up = rows[(i - 1) % 3];
    const std::size_t *upTwo = rows[(i + 1) % 3];
    std::size_t from = i > kLimit ? i - kLimit : 1;
    std::size_t to = std::min(m, i + kLimit);
    row[from - 1] = std::min(i, kFar);
    row[to + 1] = kFar;
    std::size_t best = row[from - 1];
    for (std::size_t j = from; j <= to; ++j) {
      std::size_t edits = std::min(
          {up[j] + 1, row[j - 1] + 1,
           up[j - 1] + static_cast<std::size_t>(a[i - 1] != b[j - 1])});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && b[j - 1] == a[i - 2]) {
        edits = std::min(edits, upTwo[j - 2] + 1);
      }
      row[j] = std::min(edits, kFar);
      best = std::min(best, row[j]);
    }
    if (best > kLimit) return kFar;
  }
  return rows[n % 3][m];
}

unsigned misspeltFor(const char *name, const ResultsFiles &files) {
  return misspelt(fold(name).name, foldFiles(files));
}

FolderHint findFolderHint(const char *folder, const ResultsFiles &files,
                          Survey &survey) {
  FolderHint hint = {};
  hint.survey = &survey;
  struct stat here;
  if (stat(".", &here) == 0 && here.st_nlink == 0) {
    hint.kind = FolderHint::Kind::kRemoved;
  } else if (readLink(folder, hint.link)) {
    hint.kind = FolderHint::Kind::kLink;
  } else if (reachedThroughLink(folder, hint.link)) {
    hint.kind = FolderHint::Kind::kThroughLink;
  } else {
    if (!survey.done) takeSurvey(folder, files, true, survey);
    // The nearest of the files, the first in the files' order where two
    // are as near.
    const Survey::Of *nearest = std::min_element(
        std::begin(survey.of), std::end(survey.of),
        [](const Survey::Of &a, const Survey::Of &b) {
          return a.found.base != nullptr &&
                 (b.found.base == nullptr || a.found.rank < b.found.rank);
        });
    const Found *file = nearest->found.base ? &nearest->found : nullptr;
    hint.kind = survey.holding.base       ? FolderHint::Kind::kHolding
                : file                    ? FolderHint::Kind::kFile
                : survey.resultsLike.base ? FolderHint::Kind::kFolder
                : survey.named.base       ? FolderHint::Kind::kNamed
                : survey.error            ? FolderHint::Kind::kStopped
                                          : FolderHint::Kind::kNone;
    if (file) hint.found = *file;
  }
  return hint;
}

FileHint findFileHint(const char *folder, const char *path,
                      const ResultsFiles &files, std::size_t index, int error,
                      Survey &survey) {
  FileHint hint = {};
  hint.survey = &survey;
  hint.index = index;
  if (error == EISDIR) {
    if (findInFolder(path, files[index], hint.found)) {
      hint.kind = FileHint::Kind::kFound;
    }
  } else if (error == ELOOP) {
    if (linksToItself(path, hint.link)) hint.kind = FileHint::Kind::kItself;
  } else if (error == ENOENT) {
    if (readLink(path, hint.link)) {
      hint.kind = FileHint::Kind::kLink;
      return hint;
    }
    if (!survey.done) takeSurvey(folder, files, false, survey);
    const Survey::Of &of = survey.of[index];
    hint.found = of.found;
    hint.kind = of.found.base      ? FileHint::Kind::kFound
                : of.nameCount > 0 ? FileHint::Kind::kNames
                : survey.error     ? FileHint::Kind::kStopped
                : !survey.listed   ? FileHint::Kind::kNotListed
                                   : FileHint::Kind::kNone;
  }
  return hint;
}
