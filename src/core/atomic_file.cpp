#include "core/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace vexa {
namespace {

// Creates a temporary file beside `path` holding `bytes`, flushed to disk. Returns its name,
// or "" with `error` set.
std::string WriteTemporary(const std::string& path, const std::string& bytes, mode_t mode,
                           int& error) {
  static std::atomic<int> counter = 0;
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) {
      error = errno;
      return "";
    }
  }
  if (fd < 0) {
    error = EEXIST;
    return "";
  }
  if (mode != 0)
    ::fchmod(fd, mode);
  std::size_t written = 0;
  error = 0;
  while (error == 0 && written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      error = n < 0 ? errno : EIO;
    else
      written += static_cast<std::size_t>(n);
  }
  if (error == 0 && ::fsync(fd) != 0)
    error = errno;
  if (::close(fd) != 0 && error == 0)
    error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return "";
  }
  return temporary;
}

}  // namespace

int ReplaceFileAtomically(const std::string& path, const std::string& bytes) {
  // Keep the permissions of the file being replaced.
  struct stat info {};
  const mode_t mode =
      ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? info.st_mode & 07777 : 0;
  int error = 0;
  const std::string temporary = WriteTemporary(path, bytes, mode, error);
  if (temporary.empty())
    return error;
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = errno;
    ::unlink(temporary.c_str());
    return error;
  }
  return 0;
}

int CreateFileAtomically(const std::string& path, const std::string& bytes) {
  int error = 0;
  const std::string temporary = WriteTemporary(path, bytes, 0, error);
  if (temporary.empty())
    return error;
  // link() gives the complete file its name only when the name is free: unlike rename(), it
  // never replaces.
  if (::link(temporary.c_str(), path.c_str()) != 0)
    error = errno;
  ::unlink(temporary.c_str());
  return error;
}

std::string JoinCrLf(const std::vector<std::string>& lines) {
  std::size_t size = 0;
  for (const std::string& line : lines)
    size += line.size() + 2;
  std::string out;
  out.reserve(size);
  for (const std::string& line : lines) {
    out += line;
    out += "\r\n";
  }
  return out;
}

}  // namespace vexa
