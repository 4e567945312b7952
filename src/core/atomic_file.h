// Whole-file writes that never leave a half-written or truncated file behind: the bytes go to
// a new temporary file in the target's directory, are flushed to disk, and only then take the
// target's name. Plan files and run logs are saved this way.
#pragma once

#include <string>
#include <vector>

namespace vexa {

// Writes `bytes` to `path`, replacing an existing file (whose permissions are kept). Returns 0,
// or the errno value of the step that failed; the old file is then untouched.
int ReplaceFileAtomically(const std::string& path, const std::string& bytes);

// Writes `bytes` to `path` only if no file of that name exists; an existing file is never
// replaced, even one created by another process a moment before. Returns 0, EEXIST when the
// name is taken, or the errno value of the step that failed.
int CreateFileAtomically(const std::string& path, const std::string& bytes);

// The lines joined with CR LF after every line (the Windows text files the logs and plan files
// are).
std::string JoinCrLf(const std::vector<std::string>& lines);

}  // namespace vexa
