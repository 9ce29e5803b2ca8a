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

bool containsIgnoringCase(const char *text, const char *word) {
  std::size_t length = std::strlen(word);
  for (; *text != '\0'; ++text) {
    if (strncasecmp(text, word, length) == 0) return true;
  }
  return false;
}

void copyName(MissingHint::Name &to, const char *name) {
  (void)std::snprintf(to, sizeof to, "%s", name);
}

// Sorts a name into those kept; past the last it drops out.
void keepName(MissingHint &hint, const char *name) {
  std::size_t at = std::min(hint.nameCount, MissingHint::kNameLimit);
  ++hint.nameCount;
  for (; at > 0 && std::strcmp(name, hint.names[at - 1]) < 0; --at) {
    if (at < MissingHint::kNameLimit) {
      copyName(hint.names[at], hint.names[at - 1]);
    }
  }
  if (at < MissingHint::kNameLimit) copyName(hint.names[at], name);
}

// Looks through the folder for a folder that holds `file` (the first in
// byte order) and for names that contain `word`.
void searchFolder(MissingHint &hint, const char *folder, const char *file,
                  const char *word, bool (*isResultsFile)(const char *name)) {
  DIR *listing = opendir(folder);
  if (!listing) return;
  while (const dirent *entry = readdir(listing)) {
    const char *name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    char path[PATH_MAX];
    (void)std::snprintf(path, sizeof path, "%s/%s/%s", folder, name, file);
    if (isRegular(path) &&
        (hint.folder[0] == '\0' || std::strcmp(name, hint.folder) < 0)) {
      copyName(hint.folder, name);
    }
    if (!isResultsFile(name) && containsIgnoringCase(name, word)) {
      keepName(hint, name);
    }
  }
  closedir(listing);
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

MissingHint findMissingHint(const char *folder, const char *file,
                            const char *word,
                            bool (*isResultsFile)(const char *name)) {
  MissingHint hint = {};
  char path[PATH_MAX];
  (void)std::snprintf(path, sizeof path, "%s/%s", folder, file);
  struct stat link;
  if (lstat(path, &link) == 0 && S_ISLNK(link.st_mode)) {
    ssize_t length = readlink(path, hint.link, sizeof hint.link);
    if (length >= 0) {
      hint.kind = MissingHint::Kind::kLink;
      hint.linkLength = static_cast<std::size_t>(length);
      return hint;
    }
  }
  searchFolder(hint, folder, file, word, isResultsFile);
  if (hint.folder[0] != '\0') {
    hint.kind = MissingHint::Kind::kFolder;
  } else if (hint.nameCount > 0) {
    hint.kind = MissingHint::Kind::kNames;
  }
  return hint;
}
