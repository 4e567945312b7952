// The log files of the two instrument runs: named by the time the run ended, written whole and
// atomically into their directory ("GSM Log", "Current Log"), never over an older log.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "core/atomic_file.h"
#include "core/memo_sink.h"

namespace vexa {

struct UtcTime {
  int year = 1970;
  int month = 1;  // 1 to 12
  int day = 1;    // 1 to 31
  int hour = 0;   // 0 to 23
  int minute = 0;
};

UtcTime CurrentUtcTime();

// "%.2d%.2d-%d%.2d%.2d" of the UTC hour plus 8 (not wrapped: 08 to 31, the date stays the UTC
// date), the minute, the year, the month and the day: 23:30 UTC on 25 December 2006 gives
// "3130-20061225".
std::string LogFileStem(const UtcTime& time);

struct SavedLog {
  std::string path;  // "GSM Log/3130-20061225.xls" (or "...-2.xls"; see SaveNewLog)
  int error = 0;     // 0, or the errno value of the failed write
};

// Saves a log as a new file in `directory` (created when missing): `lines`, then the file's
// own name as a line, then `credit`, each ending in CR LF. The name is directory/stem.extension;
// when a file of that name exists (two runs ending in the same minute), "-2", "-3", ... goes
// before the extension, so no log is ever replaced. The file appears complete or not at all.
// On failure the path is the name the log should have had.
SavedLog SaveNewLog(const std::string& directory, const std::string& stem,
                    const std::string& extension, std::vector<std::string> lines,
                    const std::string& credit);

// The memo line for a log that could not be written.
std::string LogWriteErrorLine(const SavedLog& saved);

// The memo lines that follow a log's save: its name and `credit` (the log's own last lines),
// then the error line when it could not be written.
std::vector<std::string> LogTrailerLines(const SavedLog& saved, const std::string& credit);

// A log written while the run goes, for runs too long to keep in memory: lines go to a
// temporary file in the directory (".log.vexa-tmp-...", see core/atomic_file.h) as they
// come (CR LF after each), and Finish gives the file its name with the same rules as
// SaveNewLog, synced to disk with its folder. Until then no log of that name exists; a log
// that is never finished (a cancelled or stopped run) is removed when it is destroyed, and
// one left by a crash at the next write into the folder.
class StreamedLog : public MemoSink {
 public:
  // Creates the directory when missing and the temporary file. A run creates its log before
  // it sends its first command and refuses to start when error() is not 0.
  explicit StreamedLog(const std::string& directory);
  ~StreamedLog() override;
  StreamedLog(const StreamedLog&) = delete;
  StreamedLog& operator=(const StreamedLog&) = delete;

  // 0, or the errno value of the first failure: creating the temporary file, or a write.
  int error() const;
  // The memo line that reports error() ("Unable to write to GSM Log: Permission denied").
  std::string ErrorLine() const;

  // Any thread. A write failure is remembered and reported by Finish.
  void AppendLine(const std::string& line) override;
  // Appends the file's own name and `credit` as its last lines and names it
  // directory/stem.extension, or with "-2", "-3", ... before the extension when taken.
  SavedLog Finish(const std::string& stem, const std::string& extension, const std::string& credit);

 private:
  mutable std::mutex mutex_;
  std::string directory_;
  PendingFile file_;
  int create_error_ = 0;
};

}  // namespace vexa
