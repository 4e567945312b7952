// Every vexa-cli command that reads a file, on every hostile path: exit status 1 and one line
// on stderr that says why, at once. A command that waited on the FIFO shows as the ctest
// time-out; one that read /dev/zero or a large file whole runs out of the address space it
// is given here (outside the sanitizer builds, whose shadow memory needs more).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/hostile_paths.h"
#include "support/run_process.h"

namespace {

using vexa::testing::HostilePaths;
using vexa::testing::ProcessResult;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr const char* kMemoryLimit = "";
#else
constexpr const char* kMemoryLimit = "ulimit -v 1048576; ";  // 1 GiB of address space
#endif

ProcessResult RunCli(const std::string& command, const std::string& path) {
  return vexa::testing::RunProcess(std::string(kMemoryLimit) + "LC_ALL=C '" + VEXA_CLI_PATH + "' " +
                                   command + " '" + path + "'");
}

enum Kind { kFolder, kFifo, kEndlessDevice, kOversized, kUnderAFile, kUtf16 };
const char* const kKindNames[] = {"folder",    "FIFO without a writer", "link to /dev/zero",
                                  "oversized", "under a file",          "UTF-16"};

std::string MakePath(HostilePaths& paths, Kind kind, const std::string& suffix,
                     std::uintmax_t cap) {
  switch (kind) {
    case kFolder:
      return paths.Folder(suffix);
    case kFifo:
      return paths.Fifo(suffix);
    case kEndlessDevice:
      return paths.EndlessDevice(suffix);
    case kOversized:
      return paths.Oversized(suffix, cap + 1);
    case kUnderAFile:
      return paths.UnderAFile(suffix);
    case kUtf16:
      return paths.Utf16(suffix, "[BAND]\r\nEGSM=1\r\n");
  }
  return {};
}

struct Command {
  const char* command;
  const char* suffix;
  std::uintmax_t cap;
  // The stderr line for each kind, with "{}" standing for the path.
  const char* lines[6];
};

std::string WithPath(std::string line, const std::string& path) {
  const std::size_t at = line.find("{}");
  return line.replace(at, 2, path);
}

TEST(CliHostileFiles, EveryCommandThatReadsAFileRefusesAtOnceWithOneLine) {
  constexpr std::uintmax_t kMiB = std::uintmax_t{1} << 20;
  const Command commands[] = {
      {"rx --lineup",
       ".csv",
       kMiB,
       {"vexa-cli rx: '{}' is a directory", "vexa-cli rx: '{}' is not a regular file",
        "vexa-cli rx: '{}' is not a regular file", "{}: the file is larger than 1 MiB",
        "vexa-cli rx: cannot read '{}': Not a directory",
        "vexa-cli rx: '{}' is UTF-16 text; it must be saved as UTF-8"}},
      {"smith --touchstone",
       ".s1p",
       64 * kMiB,
       {"\"{}\" is a directory", "\"{}\" is not a regular file", "\"{}\" is not a regular file",
        "\"{}\" is larger than 64 MiB", "cannot open \"{}\": Not a directory",
        "\"{}\" is UTF-16 text; it must be saved as UTF-8"}},
      // A plan under a file counts as no file at all (the window opens it as an empty plan);
      // the command line refuses it as missing.
      {"plan show",
       ".tpl",
       kMiB,
       {"Cannot use {}: it is a directory.", "Cannot use {}: it is not a regular file.",
        "Cannot use {}: it is not a regular file.",
        "Cannot use {}: the file is larger than 1024 KiB.",
        "Cannot use {}: the file does not exist.",
        "Cannot use {}: the file is UTF-16 text; it must be saved as UTF-8."}},
      // Saving keeps what the file held, so it reads the file first.
      {"plan save",
       ".tpl",
       kMiB,
       {"Cannot use {}: it is a directory.", "Cannot use {}: it is not a regular file.",
        "Cannot use {}: it is not a regular file.",
        "Cannot use {}: the file is larger than 1024 KiB.", "Unable to write to {}.",
        "Cannot use {}: the file is UTF-16 text; it must be saved as UTF-8."}},
  };
  for (const Command& command : commands) {
    for (const Kind kind : {kFolder, kFifo, kEndlessDevice, kOversized, kUnderAFile, kUtf16}) {
      SCOPED_TRACE(std::string(command.command) + ", " + kKindNames[kind]);
      HostilePaths paths;
      ASSERT_TRUE(paths.ok());
      const std::string path = MakePath(paths, kind, command.suffix, command.cap);
      const ProcessResult run = RunCli(command.command, path);
      EXPECT_EQ(run.exit_code, 1);
      EXPECT_EQ(run.err, WithPath(command.lines[kind], path) + "\n");
    }
  }
}

}  // namespace
