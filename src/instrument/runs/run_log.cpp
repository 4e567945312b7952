#include "instrument/runs/run_log.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

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
  // An existing directory is no error; any other failure shows when the file is created.
  ::mkdir(directory.c_str(), 0777);
  create_error_ = file_.Create(directory, "log");
}

StreamedLog::~StreamedLog() = default;

int StreamedLog::error() const {
  const std::lock_guard lock(mutex_);
  return create_error_ != 0 ? create_error_ : file_.error();
}

std::string StreamedLog::ErrorLine() const {
  // The temporary file's name means nothing to the user: the directory is named instead.
  return LogWriteErrorLine({directory_, error()});
}

void StreamedLog::AppendLine(const std::string& line) {
  const std::lock_guard lock(mutex_);
  file_.Append(line);
  file_.Append("\r\n");
}

SavedLog StreamedLog::Finish(const std::string& stem, const std::string& extension,
                             const std::string& credit) {
  const std::lock_guard lock(mutex_);
  SavedLog saved;
  saved.path = LogName(directory_, stem, 1, extension);
  if (create_error_ != 0 || file_.error() != 0) {
    saved.error = create_error_ != 0 ? create_error_ : file_.error();
    return saved;
  }
  const long body = file_.size();
  for (int suffix = 1; suffix < 10000; ++suffix) {
    saved.path = LogName(directory_, stem, suffix, extension);
    // The trailer names the file, so it is written anew for every name tried.
    saved.error = file_.Truncate(body);
    if (saved.error != 0)
      return saved;
    file_.Append(saved.path + "\r\n" + credit + "\r\n");
    // Linked, never renamed: a log of that name written meanwhile is never replaced.
    saved.error = file_.Link(saved.path);
    if (saved.error != EEXIST)
      return saved;
  }
  return saved;
}

}  // namespace vexa
