#include "results_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

constexpr int kReadFlags = O_RDONLY | O_NOCTTY | O_CLOEXEC;

void release(Opened &file) {
  if (file.checked >= 0) (void)close(file.checked);
  file.checked = -1;
}

// Opens, without waiting and without following a link, the file that
// `name` names if it is still the one looked at, a regular file; ESTALE
// where it is not. A link in the working folder's paths is resolved first
// to the file's own path, so that only a link swapped in is refused.
int openByName(const Opened &file, int at, const char *name, int flags) {
  flags |= O_NONBLOCK | O_NOFOLLOW;
  int fd = openat(at, name, flags);
  if (fd < 0 && errno == ELOOP && at == AT_FDCWD) {
    char *path = realpath(name, nullptr);
    fd = path ? open(path, flags) : -1;
    std::free(path);
  }
  struct stat opened;
  if (fd >= 0 &&
      (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) ||
       opened.st_dev != file.device || opened.st_ino != file.inode)) {
    (void)close(fd);
    errno = ESTALE;
    return -1;
  }
  return fd;
}

// Opens for reading the file that `file.checked` looks at: through /proc,
// which opens that very file whatever its name names by now; where /proc
// is not mounted, or no descriptor is left for it, by name.
int reopen(Opened &file, int at, const char *name, int flags) {
  char self[32];
  (void)std::snprintf(self, sizeof self, "/proc/self/fd/%d", file.checked);
  int fd = open(self, flags);
  if (fd >= 0 || (errno != ENOENT && errno != EMFILE && errno != ENFILE)) {
    return fd;
  }
  if (errno != ENOENT) release(file);
  return openByName(file, at, name, flags);
}

}  // namespace

int checkFolder(const char *folder) {
  // "FOLDER/." fails as a missing folder does, with ENOTDIR for a file and
  // EACCES for a folder that cannot be entered.
  char path[256];
  if (std::snprintf(path, sizeof path, "%s/.", folder) >=
      static_cast<int>(sizeof path)) {
    return ENAMETOOLONG;
  }
  struct stat entered;
  return stat(path, &entered) == 0 ? 0 : errno;
}

Opened openRegular(int at, const char *name) {
  Opened file = {-1, 0, 0, 0, -1};
  // A name that names another file each time it is looked at is being
  // replaced; it is looked at again, a few times.
  for (int attempt = 0; attempt < 3; ++attempt) {
    // O_PATH opens nothing: a FIFO's writer is not let through, and no
    // device's driver is called.
    file.checked = openat(at, name, O_PATH | O_CLOEXEC);
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
    file.fd = reopen(file, at, name, kReadFlags | O_NONBLOCK);
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

void waitForLease(Opened &file, int at, const char *name) {
  char self[32];
  (void)std::snprintf(self, sizeof self, "/proc/self/fd/%d", file.checked);
  // Through /proc, an open that waits is of that very file. By name it
  // could be of a FIFO swapped in, so the file is tried again, without
  // waiting, until the lease is given up, which the system forces within
  // its lease break time (45 s by default).
  int fd = open(self, kReadFlags);
  if (fd < 0 && errno == ENOENT) {
    const timespec pause = {0, 50000000};
    for (int tries = 0; (fd = openByName(file, at, name, kReadFlags)) < 0 &&
                        errno == EWOULDBLOCK && tries < 1200;
         ++tries) {
      (void)nanosleep(&pause, nullptr);
    }
  }
  file.fd = fd;
  file.error = fd >= 0 ? 0 : errno == ESTALE ? EAGAIN : errno;
  release(file);
}

bool emptiedByOutput(const Opened &file) {
  struct stat output;
  int flags = fcntl(STDOUT_FILENO, F_GETFL);
  return fstat(STDOUT_FILENO, &output) == 0 && output.st_dev == file.device &&
         output.st_ino == file.inode && flags >= 0 && (flags & O_APPEND) == 0;
}
