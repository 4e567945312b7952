#include "instrument/run_log.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "core/atomic_file.h"
#include "core/text_format.h"

namespace vexa {

namespace {

// directory/stem.extension for the first try, directory/stem-N.extension for the N-th.
std::string LogName(const std::string& directory, const std::string& stem, int suffix,
                    const std::string& extension) {
  std::string name = directory + "/" + stem;
  if (suffix > 1)
    name += Format("-%d", suffix);
  return name + extension;
}

}  // namespace

UtcTime CurrentUtcTime() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min};
}

std::string LogFileStem(const UtcTime& time) {
  return Format("%.2d%.2d-%d%.2d%.2d", time.hour + 8, time.minute, time.year, time.month, time.day);
}

SavedLog SaveNewLog(const std::string& directory, const std::string& stem,
                    const std::string& extension, std::vector<std::string> lines,
                    const std::string& credit) {
  // An existing directory is no error; any other failure shows when the file is written.
  ::mkdir(directory.c_str(), 0777);
  lines.push_back("");
  lines.push_back(credit);
  SavedLog saved;
  for (int suffix = 1; suffix < 10000; ++suffix) {
    saved.path = LogName(directory, stem, suffix, extension);
    lines[lines.size() - 2] = saved.path;
    saved.error = CreateFileAtomically(saved.path, JoinCrLf(lines));
    if (saved.error != EEXIST)
      return saved;
  }
  saved.path = LogName(directory, stem, 1, extension);
  return saved;
}

std::vector<std::string> LogTrailerLines(const SavedLog& saved, const std::string& credit) {
  std::vector<std::string> lines = {saved.path, credit};
  if (saved.error != 0)
    lines.push_back(LogWriteErrorLine(saved));
  return lines;
}

std::string LogWriteErrorLine(const SavedLog& saved) {
  return "Unable to write to " + saved.path + ": " + std::strerror(saved.error);
}

StreamedLog::StreamedLog(const std::string& directory) : directory_(directory) {
  ::mkdir(directory.c_str(), 0777);
  std::string pattern = directory + "/.log-XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    error_ = errno;
    return;
  }
  ::fchmod(fd, 0644);
  temporary_ = pattern;
  file_ = ::fdopen(fd, "wb");
  if (!file_) {
    error_ = errno;
    ::close(fd);
  }
}

StreamedLog::~StreamedLog() {
  if (file_)
    std::fclose(file_);
  if (!temporary_.empty())
    ::unlink(temporary_.c_str());
}

int StreamedLog::error() const {
  const std::lock_guard lock(mutex_);
  return error_;
}

std::string StreamedLog::ErrorLine() const {
  const std::lock_guard lock(mutex_);
  // The temporary file's name means nothing to the user: the directory is named instead.
  return LogWriteErrorLine({directory_, error_});
}

void StreamedLog::AppendLine(const std::string& line) {
  const std::lock_guard lock(mutex_);
  if (!file_ || error_ != 0)
    return;
  if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() ||
      std::fputs("\r\n", file_) < 0)
    error_ = errno != 0 ? errno : EIO;
}

SavedLog StreamedLog::Finish(const std::string& stem, const std::string& extension,
                             const std::string& credit) {
  const std::lock_guard lock(mutex_);
  SavedLog saved;
  saved.path = directory_ + "/" + stem + extension;
  if (!file_ || error_ != 0 || std::fflush(file_) != 0) {
    saved.error = error_ != 0 ? error_ : errno;
    return saved;
  }
  const long body = std::ftell(file_);
  for (int suffix = 1; suffix < 10000; ++suffix) {
    saved.path = LogName(directory_, stem, suffix, extension);
    // The trailer names the file, so it is written anew for every name tried.
    const std::string trailer = saved.path + "\r\n" + credit + "\r\n";
    if (::ftruncate(::fileno(file_), body) != 0 || std::fseek(file_, body, SEEK_SET) != 0 ||
        std::fwrite(trailer.data(), 1, trailer.size(), file_) != trailer.size() ||
        std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0) {
      saved.error = errno != 0 ? errno : EIO;
      return saved;
    }
    // link() names the complete file only when the name is free; it never replaces a log.
    if (::link(temporary_.c_str(), saved.path.c_str()) == 0) {
      saved.error = 0;
      return saved;
    }
    saved.error = errno;
    if (saved.error != EEXIST)
      return saved;
  }
  return saved;
}

}  // namespace vexa
