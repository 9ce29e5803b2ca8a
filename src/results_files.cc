#include "results_files.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr int kOpenFlags = O_RDONLY | O_NOCTTY | O_CLOEXEC;

// A FIFO, a device or a socket.
bool isSpecial(const struct stat &file) {
  return !S_ISREG(file.st_mode) && !S_ISDIR(file.st_mode);
}

bool isRegular(const char *path) {
  struct stat file;
  return stat(path, &file) == 0 && S_ISREG(file.st_mode);
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

// Keeps a name found in place of another when it comes first in byte
// order.
void keepFirst(Name &first, const char *name) {
  if (first[0] == '\0' || std::strcmp(name, first) < 0) copyName(first, name);
}

bool isAt(int folder, const char *name, mode_t type) {
  struct stat entry;
  return fstatat(folder, name, &entry, 0) == 0 &&
         (entry.st_mode & S_IFMT) == type;
}

// Whether an entry of a listing is a folder, or a link to one.
bool isFolder(int folder, const dirent *entry) {
  if (entry->d_type == DT_DIR) return true;
  return (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) &&
         isAt(folder, entry->d_name, S_IFDIR);
}

// Whether a listed name is the file's in any case, and a regular file.
bool isFileInAnyCase(int folder, const char *name, const ResultsFile &file) {
  return strcasecmp(name, file.name) == 0 && isAt(folder, name, S_IFREG);
}

// Calls visit(folder, entry) for each entry of `path` under `at` but . and
// ..; returns false when it cannot be listed.
template <typename Visit>
bool list(int at, const char *path, Visit visit) {
  int fd = openat(at, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  DIR *listing = fdopendir(fd);
  if (!listing) {
    (void)close(fd);
    return false;
  }
  while (const dirent *entry = readdir(listing)) {
    const char *name = entry->d_name;
    if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) {
      visit(dirfd(listing), entry);
    }
  }
  closedir(listing);
  return true;
}

// Folders looked into at each depth: the first in byte order. A folder of
// 200,000 folders costs one listing, not 200,000.
constexpr std::size_t kFolderLimit = 32;

struct Folders {
  std::size_t count;
  Name names[kFolderLimit];
};

void keepFolder(Folders &folders, int folder, const dirent *entry) {
  const char *name = entry->d_name;
  bool full = folders.count >= kFolderLimit;
  if (full && std::strcmp(name, folders.names[kFolderLimit - 1]) >= 0) return;
  if (isFolder(folder, entry)) {
    keepName(folders.names, kFolderLimit, folders.count, name);
  }
}

// Whether two names, in lower case, are at most two edits apart: a
// character inserted, deleted or changed, or two neighbours swapped
// ("lab1.mfc.res"). Only edits near the diagonal can stay within two, and
// a name is given up as soon as a whole row of them is past two, so that
// a folder of 200,000 names is looked through in a few milliseconds.
bool withinTwoEdits(const char *a, const char *b) {
  constexpr std::size_t kLimit = 2;
  constexpr std::size_t kLongest = 32;
  constexpr std::size_t kFar = kLimit + 1;
  std::size_t n = std::strlen(a);
  std::size_t m = std::strlen(b);
  if (m >= kLongest || n > m + kLimit || m > n + kLimit) return false;
  const char *x = a;
  const char *y = b;
  // Edits between the first i bytes of a and the first j of b, in three
  // rows, near the diagonal; kFar stands for anything past the limit, and
  // for the cells off the band.
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
           up[j - 1] + static_cast<std::size_t>(x[i - 1] != y[j - 1])});
      if (i > 1 && j > 1 && x[i - 1] == y[j - 2] && y[j - 1] == x[i - 2]) {
        edits = std::min(edits, upTwo[j - 2] + 1);
      }
      row[j] = std::min(edits, kFar);
      best = std::min(best, row[j]);
    }
    if (best > kLimit) return false;
  }
  return rows[n % 3][m] <= kLimit;
}

using Files = ResultsFile[kResultsFileCount];

// A name with its letters A to Z in lower case.
struct Folded {
  Name name;
};

Folded fold(const char *name) {
  Folded folded;
  std::size_t i = 0;
  for (; name[i] != '\0' && i + 1 < sizeof folded.name; ++i) {
    char c = name[i];
    folded.name[i] =
        c >= 'A' && c <= 'Z' ? static_cast<char>(c + 'a' - 'A') : c;
  }
  folded.name[i] = '\0';
  return folded;
}

// The files' names and benchmarks' names in lower case, folded once for
// all the names of a folder.
struct FoldedFiles {
  Folded names[kResultsFileCount];
  Folded benchmarks[kResultsFileCount];
};

// Whether a name in the results folder may be one of the files: the
// results folder's own names are left out.
void keepLookalike(Survey &survey, const Files &files,
                   const FoldedFiles &folded, const char *name) {
  for (const ResultsFile &file : files) {
    if (std::strcmp(name, file.name) == 0) return;
  }
  Folded own = fold(name);
  bool holds[kResultsFileCount];
  bool anyBenchmark = false;
  for (std::size_t i = 0; i < kResultsFileCount; ++i) {
    holds[i] = std::strstr(own.name, folded.benchmarks[i].name) != nullptr;
    anyBenchmark = anyBenchmark || holds[i];
  }
  for (std::size_t i = 0; i < kResultsFileCount; ++i) {
    if (holds[i] ||
        (!anyBenchmark && withinTwoEdits(own.name, folded.names[i].name))) {
      Survey::Of &of = survey.of[i];
      keepName(of.names, Survey::kNameLimit, of.nameCount, name);
    }
  }
}

// Files of the expected names in any case in one folder: the first in byte
// order of each.
struct FirstNames {
  Name of[kResultsFileCount];
};

FirstNames filesIn(int at, const char *path, const Files &files,
                   Folders *folders) {
  FirstNames first = {};
  (void)list(at, path, [&](int folder, const dirent *entry) {
    for (std::size_t i = 0; i < kResultsFileCount; ++i) {
      if (isFileInAnyCase(folder, entry->d_name, files[i])) {
        keepFirst(first.of[i], entry->d_name);
      }
    }
    if (folders) keepFolder(*folders, folder, entry);
  });
  return first;
}

// Sets where a file is found, unless it is found already.
void setFound(Found &to, const char *base, const char *name,
              const char *folder = nullptr, const char *inner = nullptr) {
  if (to.base || name[0] == '\0') return;
  to.base = base;
  to.depth = inner ? 2 : folder ? 1 : 0;
  if (folder) copyName(to.folders[0], folder);
  if (inner) copyName(to.folders[1], inner);
  copyName(to.name, name);
}

void takeSurvey(Survey &survey, const Files &files) {
  survey.done = true;
  FoldedFiles folded;
  for (std::size_t i = 0; i < kResultsFileCount; ++i) {
    folded.names[i] = fold(files[i].name);
    folded.benchmarks[i] = fold(files[i].benchmark);
  }
  Folders top = {};
  survey.listed =
      list(AT_FDCWD, kResultsFolder, [&](int folder, const dirent *entry) {
        keepFolder(top, folder, entry);
        keepLookalike(survey, files, folded, entry->d_name);
      });
  // One folder down, in byte order; two folders down where nothing is
  // found one down, as for a zip file unpacked into its own folder.
  Found below[kResultsFileCount] = {};
  Found belowTwo[kResultsFileCount] = {};
  int results = open(kResultsFolder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (std::size_t f = 0; results >= 0 && f < std::min(top.count, kFolderLimit);
       ++f) {
    const char *folder = top.names[f];
    bool lookTwo = false;
    for (std::size_t i = 0; i < kResultsFileCount; ++i) {
      lookTwo =
          lookTwo || (below[i].base == nullptr && belowTwo[i].base == nullptr);
    }
    Folders inner = {};
    FirstNames one =
        filesIn(results, folder, files, lookTwo ? &inner : nullptr);
    for (std::size_t i = 0; i < kResultsFileCount; ++i) {
      setFound(below[i], kResultsFolder, one.of[i], folder);
    }
    int at = inner.count > 0
                 ? openat(results, folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                 : -1;
    for (std::size_t g = 0; at >= 0 && g < std::min(inner.count, kFolderLimit);
         ++g) {
      FirstNames two = filesIn(at, inner.names[g], files, nullptr);
      for (std::size_t i = 0; i < kResultsFileCount; ++i) {
        setFound(belowTwo[i], kResultsFolder, two.of[i], folder,
                 inner.names[g]);
      }
    }
    if (at >= 0) (void)close(at);
  }
  if (results >= 0) (void)close(results);
  FirstNames here = filesIn(AT_FDCWD, ".", files, nullptr);
  FirstNames above = filesIn(AT_FDCWD, "..", files, nullptr);
  for (std::size_t i = 0; i < kResultsFileCount; ++i) {
    Found &to = survey.of[i].found;
    to = below[i].base ? below[i] : belowTwo[i];
    setFound(to, ".", here.of[i]);
    setFound(to, "..", above.of[i]);
  }
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

// Whether a name is the results folder's, with an archive's ending, in any
// case: "results.zip".
bool isArchiveName(const char *name) {
  constexpr std::size_t kStem = sizeof "results" - 1;
  if (strncasecmp(name, "results", kStem) != 0) return false;
  for (const char *ending :
       {".zip", ".tar", ".tgz", ".tar.gz", ".tar.xz", ".7z"}) {
    if (strcasecmp(name + kStem, ending) == 0) return true;
  }
  return false;
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

std::FILE *openResultsFile(const char *path, int *error) {
  // Opened without waiting, so that a FIFO is refused rather than waited
  // on, and checked before anything is read.
  int fd = open(path, kOpenFlags | O_NONBLOCK);
  // A regular file under another process's write lease, as a file server
  // may hold one: wait for the lease to be given up, as any reader does.
  if (fd < 0 && errno == EWOULDBLOCK && isRegular(path)) {
    fd = open(path, kOpenFlags);
  }
  struct stat file;
  if (fd < 0) {
    *error = errno;
    // A socket, or a device without its hardware, cannot even be opened.
    if (*error != ENOENT && stat(path, &file) == 0 && isSpecial(file)) {
      *error = kNotRegularFile;
    }
    return nullptr;
  }
  *error = 0;
  if (fstat(fd, &file) != 0) {
    *error = errno;
  } else if (S_ISDIR(file.st_mode)) {
    *error = EISDIR;
  } else if (isSpecial(file)) {
    *error = kNotRegularFile;
  }
  // O_NONBLOCK changes nothing for a regular file, so it stays.
  std::FILE *stream = *error ? nullptr : fdopen(fd, "r");
  if (!stream) {
    if (*error == 0) *error = errno;
    (void)close(fd);
  }
  return stream;
}

FolderHint findFolderHint(const ResultsFile (&files)[kResultsFileCount]) {
  FolderHint hint = {};
  if (readLink(kResultsFolder, hint.link)) {
    hint.kind = FolderHint::Kind::kLink;
    return hint;
  }
  Name otherCase = {};
  Name archive = {};
  FirstNames here = filesIn(AT_FDCWD, ".", files, nullptr);
  FirstNames above = {};
  (void)list(AT_FDCWD, "..", [&](int folder, const dirent *entry) {
    const char *name = entry->d_name;
    if (strcasecmp(name, "results") == 0 && std::strcmp(name, "results") != 0 &&
        isFolder(folder, entry)) {
      keepFirst(otherCase, name);
    }
    if (isArchiveName(name) && isAt(folder, name, S_IFREG)) {
      keepFirst(archive, name);
    }
    for (std::size_t i = 0; i < kResultsFileCount; ++i) {
      if (isFileInAnyCase(folder, name, files[i])) keepFirst(above.of[i], name);
    }
  });
  setFound(hint.found, "..", otherCase);
  if (hint.found.base) {
    hint.kind = FolderHint::Kind::kOtherCase;
    return hint;
  }
  setFound(hint.found, "..", archive);
  if (hint.found.base) {
    hint.kind = FolderHint::Kind::kArchive;
    return hint;
  }
  for (std::size_t i = 0; i < kResultsFileCount && !hint.found.base; ++i) {
    setFound(hint.found, ".", here.of[i]);
    setFound(hint.found, "..", above.of[i]);
  }
  if (hint.found.base) hint.kind = FolderHint::Kind::kFile;
  return hint;
}

MissingHint findMissingHint(const ResultsFile (&files)[kResultsFileCount],
                            std::size_t index, Survey &survey) {
  MissingHint hint = {};
  char path[PATH_MAX];
  (void)std::snprintf(path, sizeof path, "%s/%s", kResultsFolder,
                      files[index].name);
  if (readLink(path, hint.link)) {
    hint.kind = MissingHint::Kind::kLink;
    return hint;
  }
  if (!survey.done) takeSurvey(survey, files);
  hint.of = &survey.of[index];
  if (hint.of->found.base) {
    hint.kind = MissingHint::Kind::kFound;
  } else if (hint.of->nameCount > 0) {
    hint.kind = MissingHint::Kind::kNames;
  } else if (!survey.listed) {
    hint.kind = MissingHint::Kind::kNotListed;
  }
  return hint;
}
