#include "core/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace vexa {
namespace {

constexpr char kMarker[] = ".vexa-tmp-";
constexpr std::size_t kMaxHostLength = 64;

// This computer's name as temporaries carry it: letters, digits, '.', '_' and '-' only.
const std::string& HostName() {
  static const std::string host = [] {
    char buffer[HOST_NAME_MAX + 1] = {};
    std::string name;
    if (::gethostname(buffer, sizeof buffer - 1) == 0) {
      for (const char* c = buffer; *c && name.size() < kMaxHostLength; ++c) {
        const bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') ||
                           (*c >= '0' && *c <= '9') || *c == '.' || *c == '_' || *c == '-';
        name += plain ? *c : '_';
      }
    }
    return name.empty() ? std::string("host") : name;
  }();
  return host;
}

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// Writing past the file-size limit would end the program with SIGXFSZ; ignored, it is a write
// that fails with EFBIG, which the writer reports like any other failure.
void IgnoreFileSizeSignal() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction current {};
    if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
      ::signal(SIGXFSZ, SIG_IGN);
  });
}

// A path cut into its folder and its file name.
struct Target {
  std::string directory;
  std::string name;
  std::string path;
};

int Split(const std::string& path, Target& target) {
  if (path.empty())
    return ENOENT;
  if (path.back() == '/')
    return EISDIR;
  const std::size_t slash = path.rfind('/');
  target.path = path;
  target.directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  target.name = slash == std::string::npos ? path : path.substr(slash + 1);
  return 0;
}

// The file a replacing write goes to: a symbolic link's target rather than the link.
int ResolveForReplace(const std::string& path, Target& target) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    struct Free {
      void operator()(char* text) const { std::free(text); }
    };
    const std::unique_ptr<char, Free> resolved(::realpath(path.c_str(), nullptr));
    if (resolved)
      return Split(resolved.get(), target);
  }
  return Split(path, target);
}

}  // namespace

std::string TemporaryFileName(const std::string& name, long serial) {
  const std::string tail =
      kMarker + HostName() + "-" + std::to_string(::getpid()) + "-" + std::to_string(serial);
  // NAME_MAX bytes at most: the leading dot, as much of the name as fits, the tail.
  const std::size_t room = NAME_MAX - 1 - tail.size();
  return "." + name.substr(0, room) + tail;
}

bool ParseTemporaryFileName(const std::string& file_name, std::string* host, long* pid) {
  if (file_name.size() < 2 || file_name[0] != '.')
    return false;
  const std::size_t marker = file_name.rfind(kMarker);
  if (marker == std::string::npos || marker == 0)
    return false;
  const std::string rest = file_name.substr(marker + sizeof kMarker - 1);
  const std::size_t serial_dash = rest.rfind('-');
  if (serial_dash == std::string::npos || serial_dash == 0)
    return false;
  const std::size_t pid_dash = rest.rfind('-', serial_dash - 1);
  if (pid_dash == std::string::npos || pid_dash == 0)
    return false;
  const std::string pid_text = rest.substr(pid_dash + 1, serial_dash - pid_dash - 1);
  if (!AllDigits(rest.substr(serial_dash + 1)) || !AllDigits(pid_text) || pid_text.size() > 9)
    return false;
  if (host)
    *host = rest.substr(0, pid_dash);
  if (pid)
    *pid = std::stol(pid_text);
  return true;
}

void RemoveStaleTemporaries(const std::string& directory) {
  struct CloseFolder {
    void operator()(DIR* folder) const { ::closedir(folder); }
  };
  const std::unique_ptr<DIR, CloseFolder> folder(::opendir(directory.c_str()));
  if (!folder)
    return;
  const long self = ::getpid();
  while (const dirent* entry = ::readdir(folder.get())) {
    std::string host;
    long pid = 0;
    if (entry->d_name[0] != '.' || !ParseTemporaryFileName(entry->d_name, &host, &pid))
      continue;
    if (host != HostName() || pid == self || pid <= 0)
      continue;
    if (::kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH)
      ::unlinkat(::dirfd(folder.get()), entry->d_name, 0);
  }
}

int SyncDirectory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return errno;
  int error = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  // Some file systems cannot sync a folder; their names are as durable as they get.
  if (error == EINVAL || error == EROFS || error == ENOTSUP)
    error = 0;
  return error;
}

PendingFile::~PendingFile() {
  Discard();
}

int PendingFile::CreateFor(const std::string& path) {
  Target target;
  if (const int error = ResolveForReplace(path, target); error != 0)
    return error;
  struct stat info {};
  if (::stat(target.path.c_str(), &info) != 0)
    return Create(target.directory, target.name);
  if (S_ISDIR(info.st_mode))
    return EISDIR;
  // A file its owner made read-only stays as it is, as an in-place write would leave it.
  if (::access(target.path.c_str(), W_OK) != 0)
    return errno;
  if (S_ISREG(info.st_mode)) {
    if (const int error = Create(target.directory, target.name, info.st_mode & 07777, true);
        error != 0)
      return error;
    target_ = target.path;
    return 0;
  }
  // A FIFO or a device takes the bytes as they come: there is no file to keep.
  Discard();
  IgnoreFileSizeSignal();
  error_ = 0;
  size_ = 0;
  const int fd = ::open(target.path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0)
    return errno;
  file_ = ::fdopen(fd, "wb");
  if (!file_) {
    const int error = errno;
    ::close(fd);
    return error;
  }
  straight_ = true;
  target_ = target.path;
  return 0;
}

int PendingFile::Create(const std::string& directory, const std::string& name, unsigned mode,
                        bool exact_mode) {
  static std::atomic<long> serial = 0;
  Discard();
  IgnoreFileSizeSignal();
  RemoveStaleTemporaries(directory);
  directory_ = directory;
  target_ = directory + "/" + name;
  straight_ = false;
  error_ = 0;
  size_ = 0;
  const auto permissions = static_cast<mode_t>(mode & 07777);
  int fd = -1;
  std::string temporary;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = directory + "/" + TemporaryFileName(name, ++serial);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                exact_mode ? S_IRUSR | S_IWUSR : permissions);
    if (fd < 0 && errno != EEXIST)
      return errno;
  }
  if (fd < 0)
    return EEXIST;
  temporary_ = temporary;
  if (exact_mode && ::fchmod(fd, permissions) != 0) {
    const int error = errno;
    ::close(fd);
    Discard();
    return error;
  }
  file_ = ::fdopen(fd, "wb");
  if (!file_) {
    const int error = errno;
    ::close(fd);
    Discard();
    return error;
  }
  return 0;
}

void PendingFile::Append(std::string_view bytes) {
  if (!file_ || error_ != 0 || bytes.empty())
    return;
  errno = 0;
  const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file_);
  if (written != bytes.size())
    error_ = errno != 0 ? errno : EIO;
  size_ += static_cast<long>(written);
}

int PendingFile::Truncate(long size) {
  if (!file_)
    return EBADF;
  if (error_ != 0)
    return error_;
  errno = 0;
  if (std::fflush(file_) != 0 || ::ftruncate(::fileno(file_), size) != 0 ||
      std::fseek(file_, size, SEEK_SET) != 0) {
    error_ = errno != 0 ? errno : EIO;
    return error_;
  }
  size_ = size;
  return 0;
}

int PendingFile::AppendFileContents(const std::string& path) {
  if (!file_)
    return EBADF;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return errno == ENOENT ? 0 : errno;
  struct stat info {};
  int error = ::fstat(fd, &info) != 0 ? errno : 0;
  if (error == 0 && S_ISREG(info.st_mode)) {
    char buffer[65536];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0)
        error = errno;
      if (n <= 0)
        break;
      Append(std::string_view(buffer, static_cast<std::size_t>(n)));
      if (error_ != 0) {
        error = error_;
        break;
      }
    }
  }
  ::close(fd);
  return error;
}

int PendingFile::FlushAndSync() {
  if (!file_)
    return EBADF;
  if (error_ != 0)
    return error_;
  errno = 0;
  if (std::fflush(file_) != 0) {
    error_ = errno != 0 ? errno : EIO;
    return error_;
  }
  if (::fsync(::fileno(file_)) != 0) {
    error_ = errno;
    return error_;
  }
  return 0;
}

int PendingFile::Replace() {
  int error = straight_ ? 0 : FlushAndSync();
  if (error == 0 && file_) {
    errno = 0;
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0 || error_ != 0)
      error = error_ != 0 ? error_ : errno != 0 ? errno : EIO;
  } else if (error == 0) {
    error = EBADF;
  }
  if (error == 0 && !straight_ && std::rename(temporary_.c_str(), target_.c_str()) != 0)
    error = errno;
  if (error != 0) {
    Discard();
    return error;
  }
  temporary_.clear();
  return straight_ ? 0 : SyncDirectory(directory_);
}

int PendingFile::Link(const std::string& path) {
  if (straight_)
    return EINVAL;
  if (const int error = FlushAndSync(); error != 0)
    return error;
  if (::link(temporary_.c_str(), path.c_str()) != 0) {
    const int error = errno;
    // A file system without hard links (FAT on a USB stick) may still rename without
    // replacing.
    if (error != EPERM && error != ENOTSUP && error != ENOSYS)
      return error;
    if (::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) != 0)
      return errno == EEXIST ? EEXIST : error;
    temporary_.clear();
  }
  Discard();
  return SyncDirectory(directory_);
}

void PendingFile::Close() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
}

void PendingFile::Discard() {
  Close();
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
  straight_ = false;
}

int ReplaceFileAtomically(const std::string& path, const std::string& bytes) {
  PendingFile file;
  if (const int error = file.CreateFor(path); error != 0)
    return error;
  file.Append(bytes);
  return file.Replace();
}

int CreateFileAtomically(const std::string& path, const std::string& bytes) {
  Target target;
  if (const int error = Split(path, target); error != 0)
    return error;
  PendingFile file;
  if (const int error = file.Create(target.directory, target.name); error != 0)
    return error;
  file.Append(bytes);
  return file.Link(target.path);
}

int CheckFileWritable(const std::string& path) {
  // A FIFO is not opened here: that would wait for its reader.
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
    return ::access(path.c_str(), W_OK) == 0 ? 0 : errno;
  PendingFile file;
  return file.CreateFor(path);
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
