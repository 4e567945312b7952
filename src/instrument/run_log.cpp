#include "instrument/run_log.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "core/atomic_file.h"
#include "core/text_format.h"

namespace vexa {

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
  const std::string base = directory + "/" + stem;
  lines.push_back("");
  lines.push_back(credit);
  SavedLog saved;
  for (int suffix = 1; suffix < 10000; ++suffix) {
    saved.path = base + (suffix == 1 ? "" : "-" + std::to_string(suffix)) + extension;
    lines[lines.size() - 2] = saved.path;
    saved.error = CreateFileAtomically(saved.path, JoinCrLf(lines));
    if (saved.error != EEXIST)
      return saved;
  }
  saved.path = base + extension;
  return saved;
}

std::string LogWriteErrorLine(const SavedLog& saved) {
  return "Unable to write to " + saved.path + ": " + std::strerror(saved.error);
}

}  // namespace vexa
