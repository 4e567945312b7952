// The one file writer: a write that fails or is cut short leaves the old file as it was, the
// temporaries carry one recognisable name, and those a dead process left are removed at the
// next write into their folder.
#include "core/atomic_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "support/text_files.h"

namespace vexa {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::ReadFile;
using testing::WriteFile;

class AtomicFileTest : public ::testing::Test {
 protected:
  AtomicFileTest() {
    char pattern[] = "/tmp/vexa-atomic-XXXXXX";
    dir = ::mkdtemp(pattern) ? pattern : "";
  }
  ~AtomicFileTest() override { fs::remove_all(dir); }

  std::string Path(const std::string& name) const { return dir + "/" + name; }
  // Every entry of the folder, hidden ones included, sorted.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string dir;
};

// This computer's name as the temporaries carry it.
std::string OwnHost() {
  std::string host;
  long pid = 0;
  EXPECT_TRUE(ParseTemporaryFileName(TemporaryFileName("x", 1), &host, &pid));
  return host;
}

// A process id that is no longer alive: a child that has ended and been waited for.
long DeadPid() {
  const pid_t child = ::fork();
  if (child == 0)
    ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

// Runs `write` in a child process limited to files of `limit` bytes; its exit code, or -1
// when it ended on a signal.
template <typename Write>
int WithFileSizeLimit(rlim_t limit, Write write) {
  const pid_t child = ::fork();
  if (child == 0) {
    const rlimit small{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &small);
    ::_exit(write());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(AtomicFileTest, ReplaceWritesNewFilesAndReplacesOldOnesKeepingTheirPermissions) {
  const std::string file = Path("plan.tpl");
  ASSERT_EQ(ReplaceFileAtomically(file, "first\r\n"), 0);
  EXPECT_EQ(ReadFile(file), "first\r\n");
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  ASSERT_EQ(ReplaceFileAtomically(file, "second"), 0);
  EXPECT_EQ(ReadFile(file), "second");
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  ASSERT_EQ(ReplaceFileAtomically(file, ""), 0);
  EXPECT_EQ(ReadFile(file), "");
  // Nothing else is left in the folder.
  EXPECT_THAT(Entries(), ElementsAre("plan.tpl"));

  // A link stays a link: the file it names is replaced.
  WriteFile(Path("target.csv"), "old");
  fs::create_symlink("target.csv", Path("link.csv"));
  ASSERT_EQ(ReplaceFileAtomically(Path("link.csv"), "new"), 0);
  EXPECT_TRUE(fs::is_symlink(Path("link.csv")));
  EXPECT_EQ(ReadFile(Path("target.csv")), "new");

  // A device takes the bytes as they are and stays a device.
  EXPECT_EQ(ReplaceFileAtomically("/dev/null", "bytes"), 0);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST_F(AtomicFileTest, AWriteThatCannotBeDoneSaysWhyAndLeavesTheOldFile) {
  WriteFile(Path("kept.csv"), "good old file\n");
  fs::create_directory(Path("folder"));
  struct Case {
    std::string path;
    int error;
    int create_error;  // CreateFileAtomically's: a folder is a name that is taken
  };
  const Case cases[] = {
      {Path("folder"), EISDIR, EEXIST},
      {Path("folder/"), EISDIR, EISDIR},
      {Path("missing/file.csv"), ENOENT, ENOENT},
      {Path("kept.csv/file.csv"), ENOTDIR, ENOTDIR},
      {"", ENOENT, ENOENT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(ReplaceFileAtomically(c.path, "new"), c.error);
    EXPECT_EQ(CreateFileAtomically(c.path, "new"), c.create_error) << "create";
    EXPECT_EQ(CheckFileWritable(c.path), c.error) << "check";
  }
  EXPECT_EQ(CheckFileWritable(Path("kept.csv")), 0);
  EXPECT_EQ(CheckFileWritable(Path("new.csv")), 0);
  EXPECT_FALSE(fs::exists(Path("new.csv"))) << "the check made the file";

  if (::geteuid() != 0) {
    // A file made read-only is not replaced, nor is anything written into a read-only folder.
    ASSERT_EQ(::chmod(Path("kept.csv").c_str(), 0444), 0);
    EXPECT_EQ(ReplaceFileAtomically(Path("kept.csv"), "new"), EACCES);
    EXPECT_EQ(CheckFileWritable(Path("kept.csv")), EACCES);
    ASSERT_EQ(::chmod(Path("kept.csv").c_str(), 0644), 0);
    ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);
    EXPECT_EQ(ReplaceFileAtomically(Path("kept.csv"), "new"), EACCES);
    EXPECT_EQ(CheckFileWritable(Path("kept.csv")), EACCES);
    ASSERT_EQ(::chmod(dir.c_str(), 0755), 0);
  }
  EXPECT_EQ(ReadFile(Path("kept.csv")), "good old file\n");
  EXPECT_THAT(Entries(), ElementsAre("folder", "kept.csv"));
}

TEST_F(AtomicFileTest, AWriteCutShortByTheFileSizeLimitFailsWithEfbigAndKeepsTheOldFile) {
  const std::string file = Path("big.csv");
  WriteFile(file, "good old file\n");
  const std::string big(64 * 1024, 'x');
  // The program is not ended by SIGXFSZ: the write fails, and says so.
  EXPECT_EQ(WithFileSizeLimit(4096, [&] { return ReplaceFileAtomically(file, big); }), EFBIG);
  EXPECT_EQ(WithFileSizeLimit(4096, [&] { return CreateFileAtomically(Path("new.csv"), big); }),
            EFBIG);
  EXPECT_EQ(ReadFile(file), "good old file\n");
  EXPECT_THAT(Entries(), ElementsAre("big.csv")) << "a temporary was left";
}

TEST_F(AtomicFileTest, CreateNeverReplacesAFile) {
  const std::string file = Path("3130-20061225.xls");
  ASSERT_EQ(CreateFileAtomically(file, "log one"), 0);
  EXPECT_EQ(CreateFileAtomically(file, "log two"), EEXIST);
  EXPECT_EQ(ReadFile(file), "log one");
  EXPECT_THAT(Entries(), ElementsAre("3130-20061225.xls"));
}

TEST(TemporaryFileNames, CarryTheNameHostProcessAndCountAndAreRecognised) {
  const std::string name = TemporaryFileName("big.tpl", 7);
  const std::string tail = "-" + std::to_string(::getpid()) + "-7";
  EXPECT_TRUE(name.starts_with(".big.tpl.vexa-tmp-")) << name;
  EXPECT_TRUE(name.ends_with(tail)) << name;
  std::string host;
  long pid = 0;
  ASSERT_TRUE(ParseTemporaryFileName(name, &host, &pid));
  EXPECT_EQ(pid, ::getpid());
  EXPECT_EQ(name, ".big.tpl.vexa-tmp-" + host + tail);
  EXPECT_FALSE(host.empty());
  EXPECT_EQ(host.find('/'), std::string::npos);

  // A name too long for the folder is shortened; the temporary stays a valid file name.
  const std::string long_name = TemporaryFileName(std::string(300, 'a') + ".csv", 1);
  EXPECT_LE(long_name.size(), 255u);
  EXPECT_TRUE(ParseTemporaryFileName(long_name, nullptr, nullptr));

  struct Case {
    const char* name;
    bool temporary;
    const char* host;
    long pid;
  };
  for (const Case& c :
       {Case{".a.csv.vexa-tmp-bench-3-4242-1", true, "bench-3", 4242},
        Case{".log.vexa-tmp-h-1-2", true, "h", 1},
        Case{"a.csv.vexa-tmp-h-1-2", false, "", 0},  // not hidden
        Case{".a.csv.vexa-tmp-h-1-", false, "", 0}, Case{".a.csv.vexa-tmp-h-x-2", false, "", 0},
        Case{".a.csv.vexa-tmp-1-2", false, "", 0},  // no host
        Case{".vexa-tmp-h-1-2", false, "", 0},      // no name
        Case{"big.tpl.tmp4242-1", false, "", 0}, Case{".log-Ab12Cd", false, "", 0}}) {
    SCOPED_TRACE(c.name);
    std::string parsed_host;
    long parsed_pid = 0;
    EXPECT_EQ(ParseTemporaryFileName(c.name, &parsed_host, &parsed_pid), c.temporary);
    if (c.temporary) {
      EXPECT_EQ(parsed_host, c.host);
      EXPECT_EQ(parsed_pid, c.pid);
    }
  }
}

TEST_F(AtomicFileTest, TheNextWriteRemovesTheTemporariesOfDeadProcessesOnThisComputerOnly) {
  const std::string host = OwnHost();
  const long dead = DeadPid();
  const std::string dead_ours = ".big.tpl.vexa-tmp-" + host + "-" + std::to_string(dead) + "-1";
  const std::string dead_log = ".log.vexa-tmp-" + host + "-" + std::to_string(dead) + "-3";
  const std::string alive_ours =
      ".other.csv.vexa-tmp-" + host + "-" + std::to_string(::getpid()) + "-99";
  const std::string other_computer = ".big.tpl.vexa-tmp-elsewhere-" + std::to_string(dead) + "-1";
  for (const std::string& name :
       {dead_ours, dead_log, alive_ours, other_computer, std::string(".hidden")})
    WriteFile(Path(name), "fragment");

  ASSERT_EQ(ReplaceFileAtomically(Path("big.tpl"), "plan"), 0);
  EXPECT_THAT(Entries(), ElementsAre(".big.tpl.vexa-tmp-elsewhere-" + std::to_string(dead) + "-1",
                                     ".hidden", alive_ours, "big.tpl"));
}

TEST_F(AtomicFileTest, APendingFileIsHiddenUntilItIsPutInPlaceWhole) {
  const std::string log = Path("0930-20061225.xls");
  {
    PendingFile file;
    ASSERT_EQ(file.Create(dir, "log"), 0);
    file.Append("line one\r\n");
    file.Append("line two\r\n");
    EXPECT_EQ(file.size(), 20);
    ASSERT_EQ(Entries().size(), 1u);
    EXPECT_TRUE(Entries()[0].starts_with(".log.vexa-tmp-")) << Entries()[0];
    EXPECT_EQ(file.temporary_path(), Path(Entries()[0]));
    // A name that is taken: the file waits for another.
    WriteFile(log, "an older log");
    EXPECT_EQ(file.Link(log), EEXIST);
    EXPECT_TRUE(file.is_open());
    ASSERT_EQ(file.Truncate(10), 0);
    file.Append("end\r\n");
    ASSERT_EQ(file.Link(Path("0930-20061225-2.xls")), 0);
    EXPECT_FALSE(file.is_open());
  }
  EXPECT_EQ(ReadFile(log), "an older log");
  EXPECT_EQ(ReadFile(Path("0930-20061225-2.xls")), "line one\r\nend\r\n");

  // A trace that goes on: the old file's bytes first; the old file stays until the end.
  const std::string trace = Path("bus.txt");
  WriteFile(trace, "run one\n");
  {
    PendingFile file;
    ASSERT_EQ(file.CreateFor(trace), 0);
    ASSERT_EQ(file.AppendFileContents(trace), 0);
    file.Append("run two\n");
    EXPECT_EQ(ReadFile(trace), "run one\n");
    ASSERT_EQ(file.Replace(), 0);
  }
  EXPECT_EQ(ReadFile(trace), "run one\nrun two\n");

  // One never put in place leaves nothing.
  {
    PendingFile file;
    ASSERT_EQ(file.CreateFor(Path("dropped.txt")), 0);
    file.Append("nothing");
  }
  EXPECT_THAT(Entries(), ElementsAre("0930-20061225-2.xls", "0930-20061225.xls", "bus.txt"));
}

TEST_F(AtomicFileTest, AFailedAppendIsKeptAndReportedWhenTheFileIsPutInPlace) {
  const std::string file = Path("bus.txt");
  WriteFile(file, "good old trace\n");
  const int code = WithFileSizeLimit(4096, [&] {
    PendingFile pending;
    if (pending.CreateFor(file) != 0)
      return 100;
    // Stale: the failure must be the write's own.
    errno = EEXIST;
    for (int i = 0; i < 1000; ++i)
      pending.Append("0.000001 > CALL:CELL:BAND?\n");
    if (pending.error() != EFBIG)
      return 101;
    return pending.Replace();
  });
  EXPECT_EQ(code, EFBIG);
  EXPECT_EQ(ReadFile(file), "good old trace\n");
  EXPECT_THAT(Entries(), ElementsAre("bus.txt"));
}

TEST_F(AtomicFileTest, FoldersAreSynced) {
  EXPECT_EQ(SyncDirectory(dir), 0);
  EXPECT_EQ(SyncDirectory(Path("missing")), ENOENT);
}

}  // namespace
}  // namespace vexa
