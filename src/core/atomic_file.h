// The one way the program writes a file: the bytes go to a new temporary file in the target's
// folder, are flushed to disk, and only then take the target's name (rename over it, or link
// to a name that must be free); the folder is then synced, so that a power cut cannot lose a
// file the program reported written. A failure or a crash never leaves a half-written file in
// place of a good one.
//
// Temporaries are named ".NAME.vexa-tmp-HOST-PID-N" (NAME the file they become, HOST this
// computer, PID the writing process, N its count). One left by a crash is removed by the next
// write into its folder, once its process is gone; temporaries of other computers sharing the
// folder are left alone.
//
// Files written while a run goes (the run logs, the bus trace) use PendingFile: they grow
// under a temporary name and get their own name, whole, at the end.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

// Writes `bytes` to `path`, replacing an existing file (whose permissions are kept; a
// symbolic link is followed, so that its target is replaced). Returns 0, or the errno value
// of the step that failed; the old file is then untouched. A path naming a folder gives
// EISDIR. A FIFO or a device (`/dev/stdout`) is written straight, as there is no file to keep.
int ReplaceFileAtomically(const std::string& path, const std::string& bytes);

// Writes `bytes` to `path` only if no file of that name exists; an existing file is never
// replaced, even one created by another process a moment before. Returns 0, EEXIST when the
// name is taken, or the errno value of the step that failed.
int CreateFileAtomically(const std::string& path, const std::string& bytes);

// Whether ReplaceFileAtomically(path, ...) can be expected to work: `path` is no folder and
// its folder takes a new file (tried with a temporary, removed at once). 0 or the errno
// value. For a run that writes its file at the end and should refuse to start otherwise.
int CheckFileWritable(const std::string& path);

// The lines joined with CR LF after every line (the Windows text files the logs and plan files
// are).
std::string JoinCrLf(const std::vector<std::string>& lines);

// The temporary's file name for a file named `name` (no folder), this process's `serial`-th:
// ".NAME.vexa-tmp-HOST-PID-N". A long NAME is shortened so that the whole stays a valid name.
std::string TemporaryFileName(const std::string& name, long serial);

// Whether `file_name` (no folder) is a temporary's name; then its host and process id.
bool ParseTemporaryFileName(const std::string& file_name, std::string* host, long* pid);

// Removes the temporaries in `directory` whose process, on this computer, has ended
// (kill(pid, 0) fails with ESRCH). Failures are ignored: a temporary that stays is harmless.
void RemoveStaleTemporaries(const std::string& directory);

// fsync() of a folder, which makes the names created, renamed or removed in it durable. 0 or
// the errno value; file systems that cannot sync a folder count as done.
int SyncDirectory(const std::string& directory);

// A file written piece by piece under a temporary name in its folder, then given its name
// whole. Not thread-safe: one writer at a time (the run log holds its own lock).
class PendingFile {
 public:
  PendingFile() = default;
  // Closes the file and removes the temporary unless it was put in place.
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Creates the temporary for the file `path`, as ReplaceFileAtomically would: in the folder
  // of `path` (or of its link's target), with the permissions of the file it replaces. A
  // folder gives EISDIR, a file that is not writable its errno value; a FIFO or a device is
  // opened and written straight. 0 or the errno value.
  int CreateFor(const std::string& path);
  // Creates the temporary for a file `name` in `directory` (which must exist), after removing
  // the stale temporaries there. `mode` is the new file's permission bits (before the umask
  // for the default; exactly these when `exact_mode`). 0 or the errno value.
  int Create(const std::string& directory, const std::string& name, unsigned mode = 0666,
             bool exact_mode = false);

  // Adds bytes at the end (buffered). The first failure is kept: later appends do nothing,
  // and Replace or Link report it.
  void Append(std::string_view bytes);
  // 0, or the errno value of the first failed append.
  int error() const { return error_; }
  // The bytes appended so far (the file's size), and a cut back to `size` bytes.
  long size() const { return size_; }
  int Truncate(long size);

  // Copies the whole file `path` into the temporary, as its first bytes (a trace that goes on
  // in a file kept from before). A missing file copies nothing. 0 or the errno value.
  int AppendFileContents(const std::string& path);

  // Flushes and syncs the file, renames it over the file it was created for (replacing it)
  // and syncs the folder. 0 or the errno value; on failure the temporary is removed and the
  // old file untouched.
  int Replace();
  // Flushes and syncs the file and links it as `path` (in the same folder), which must be
  // free: EEXIST when it is taken, and the temporary stays for another name. On success the
  // temporary is removed and the folder synced.
  int Link(const std::string& path);
  // Closes and removes the temporary.
  void Discard();

  bool is_open() const { return file_ != nullptr; }
  const std::string& temporary_path() const { return temporary_; }

 private:
  int FlushAndSync();
  void Close();

  std::string directory_;
  std::string target_;  // the file the temporary becomes
  std::string temporary_;
  bool straight_ = false;  // writing straight to a FIFO or a device: no temporary

  std::FILE* file_ = nullptr;
  long size_ = 0;
  int error_ = 0;
};

}  // namespace vexa
