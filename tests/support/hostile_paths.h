// Paths that no file reader of the program may hang or grow on: a folder, a FIFO that no one
// writes, a device that never ends (/dev/zero), a file larger than a reader takes, a path
// under a file (which cannot be opened, even by root), UTF-16 text. Each lives in a private
// folder that is removed with the object.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace vexa::testing {

class HostilePaths {
 public:
  HostilePaths() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vexa-hostile-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr)
      root_ = pattern;
  }
  ~HostilePaths() {
    std::error_code ignored;
    if (!root_.empty())
      std::filesystem::remove_all(root_, ignored);
  }
  HostilePaths(const HostilePaths&) = delete;
  HostilePaths& operator=(const HostilePaths&) = delete;

  bool ok() const { return !root_.empty(); }
  const std::filesystem::path& root() const { return root_; }

  // The names end in `suffix` (".csv", ".s1p", ...), so a reader that checks the extension
  // goes on to open them.
  std::string Folder(const std::string& suffix) {
    const std::filesystem::path path = root_ / ("folder" + suffix);
    std::filesystem::create_directories(path);
    return path.string();
  }
  std::string Fifo(const std::string& suffix) {
    const std::filesystem::path path = root_ / ("fifo" + suffix);
    ::mkfifo(path.c_str(), 0600);
    return path.string();
  }
  // A link to /dev/zero: a character device that reads zeros without end.
  std::string EndlessDevice(const std::string& suffix) {
    const std::filesystem::path path = root_ / ("zero" + suffix);
    std::error_code ignored;
    std::filesystem::create_symlink("/dev/zero", path, ignored);
    return path.string();
  }
  // A sparse file of `size` bytes (zeros), so even a large one takes no disk space.
  std::string Oversized(const std::string& suffix, std::uintmax_t size) {
    const std::filesystem::path path = root_ / ("large" + suffix);
    std::ofstream(path, std::ios::binary).close();
    std::filesystem::resize_file(path, size);
    return path.string();
  }
  // "file/inner.csv" where "file" is a regular file: open() fails with ENOTDIR.
  std::string UnderAFile(const std::string& suffix) {
    const std::filesystem::path file = root_ / "file";
    std::ofstream(file, std::ios::binary) << "text\n";
    return (file / ("inner" + suffix)).string();
  }
  // `ascii` saved as UTF-16 little-endian with its byte-order mark.
  std::string Utf16(const std::string& suffix, const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (const char c : ascii) {
      bytes += c;
      bytes += '\0';
    }
    return Plain("utf16" + suffix, bytes);
  }
  std::string Plain(const std::string& name, const std::string& bytes) {
    const std::filesystem::path path = root_ / name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path.string();
  }

 private:
  std::filesystem::path root_;
};

}  // namespace vexa::testing
