#include "core/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace vexa {
namespace {

constexpr std::size_t kChunkBytes = std::size_t{64} << 10;
constexpr std::size_t kUtf16SampleBytes = 4096;

FileReadResult Failed(FileReadStatus status, int error = 0) {
  FileReadResult result;
  result.status = status;
  result.error = error;
  return result;
}

// kRead for a regular file, the refusal for anything else.
FileReadStatus KindOf(const struct stat& info) {
  if (S_ISDIR(info.st_mode))
    return FileReadStatus::kIsDirectory;
  if (!S_ISREG(info.st_mode))
    return FileReadStatus::kNotRegularFile;
  return FileReadStatus::kRead;
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

bool FileReadResult::Missing() const {
  return status == FileReadStatus::kCannotOpen && (error == ENOENT || error == ENOTDIR);
}

FileReadResult ReadFileCapped(const std::string& path, std::size_t max_bytes) {
  // A name that is plainly no regular file is refused without opening it: opening a device
  // can already act on it (a tape rewinds, a serial line raises its modem lines).
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    if (const FileReadStatus kind = KindOf(info); kind != FileReadStatus::kRead)
      return Failed(kind);
  }
  // O_NONBLOCK: the name may have become a FIFO meanwhile, and opening one without a writer
  // would wait for one. What was opened is checked on the descriptor itself.
  const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (file.get() < 0)
    return Failed(FileReadStatus::kCannotOpen, errno);
  if (::fstat(file.get(), &info) != 0)
    return Failed(FileReadStatus::kCannotRead, errno);
  if (const FileReadStatus kind = KindOf(info); kind != FileReadStatus::kRead)
    return Failed(kind);
  if (info.st_size < 0 || static_cast<std::uintmax_t>(info.st_size) > max_bytes)
    return Failed(FileReadStatus::kTooLarge);

  FileReadResult result;
  std::string& bytes = result.bytes;
  // The size told, and one byte to see the end; a file that grows is read on up to one byte
  // past the cap, which is enough to refuse it.
  bytes.reserve(std::min(static_cast<std::size_t>(info.st_size), max_bytes) + 1);
  for (;;) {
    if (bytes.size() > max_bytes)
      return Failed(FileReadStatus::kTooLarge);
    const std::size_t start = bytes.size();
    const std::size_t wanted = std::min(kChunkBytes, max_bytes + 1 - start);
    bytes.resize(start + wanted);
    const ssize_t count = ::read(file.get(), bytes.data() + start, wanted);
    if (count < 0) {
      const int error = errno;
      bytes.resize(start);
      if (error == EINTR)
        continue;
      return Failed(FileReadStatus::kCannotRead, error);
    }
    bytes.resize(start + static_cast<std::size_t>(count));
    if (count == 0)
      break;
  }
  if (LooksLikeUtf16(bytes))
    return Failed(FileReadStatus::kUtf16);
  result.status = FileReadStatus::kRead;
  return result;
}

std::string FileReadReason(const FileReadResult& result, std::size_t max_bytes) {
  switch (result.status) {
    case FileReadStatus::kRead:
      return {};
    case FileReadStatus::kCannotOpen:
      return std::string("cannot be opened: ") + std::strerror(result.error);
    case FileReadStatus::kIsDirectory:
      return "is a directory";
    case FileReadStatus::kNotRegularFile:
      return "is not a regular file";
    case FileReadStatus::kTooLarge:
      return "is larger than " + ByteSizeText(max_bytes);
    case FileReadStatus::kCannotRead:
      return std::string("cannot be read: ") + std::strerror(result.error);
    case FileReadStatus::kUtf16:
      return "is UTF-16 text; it must be saved as UTF-8";
  }
  return "cannot be read";
}

std::string ByteSizeText(std::size_t bytes) {
  constexpr std::size_t kKiB = 1024;
  constexpr std::size_t kMiB = kKiB * kKiB;
  if (bytes != 0 && bytes % kMiB == 0)
    return std::to_string(bytes / kMiB) + " MiB";
  if (bytes != 0 && bytes % kKiB == 0)
    return std::to_string(bytes / kKiB) + " KiB";
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

bool LooksLikeUtf16(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
    return true;
  const std::string_view sample = bytes.substr(0, kUtf16SampleBytes);
  std::size_t zeros[2] = {0, 0};  // at even offsets, at odd offsets
  for (std::size_t i = 0; i < sample.size(); ++i) {
    if (sample[i] == '\0')
      ++zeros[i % 2];
  }
  const std::size_t side = std::max(zeros[0], zeros[1]);
  const std::size_t other = std::min(zeros[0], zeros[1]);
  return side > 0 && side * 4 >= sample.size() && other * 4 <= side;
}

}  // namespace vexa
