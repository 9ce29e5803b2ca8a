// What grade says on standard error, one line a diagnostic: the program's
// name, the path, the line where there is one, and the message. Bytes from
// files and folders are shown so that what is invisible shows, and no
// control character reaches the terminal: with C escapes, and a name that
// needs them, or begins or ends with a space, in double quotes.
#ifndef GRADE_DIAGNOSTICS_H_
#define GRADE_DIAGNOSTICS_H_

#include "look_around.h"
#include "results_files.h"
#include "results_reader.h"
#include "stat_vector.h"

// A path that cannot be used, with the reason: an errno value, or
// kNotRegularFile.
void warnFailure(const char *path, int error);

// A results folder or file that cannot be used for `error`, at `path`
// (or "." where the working folder is at fault), with a hint at what is
// there; `folder` is the results folder, as a hint may name it.
void warnMissing(const char *path, int error, const Hint &hint,
                 const char *folder);

// That a results file is the same file as another.
void warnSame(const char *path, const char *other);

// That grade waits for another program's lease on a results file.
void warnWaiting(const char *path);

// What a file that was read holds that the student should hear of: the
// reader's notes, the count of values last; `emptied` where the file is
// standard output, which the shell emptied; `also`, for an empty file, a
// name that results also holds, or null.
void warnRead(const char *path, const ReadOutcome &outcome,
              const StatVector &results, bool emptied, const char *also);

#endif  // GRADE_DIAGNOSTICS_H_
