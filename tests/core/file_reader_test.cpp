// The capped file reader: every path that is no ordinary file gets its one-line reason at
// once (a FIFO without a writer would hang an ordinary open, /dev/zero would grow without
// end; either shows here as the ctest time-out), and ordinary files come back byte for byte.
#include "core/file_reader.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "support/hostile_paths.h"

namespace vexa {
namespace {

constexpr std::size_t kCap = std::size_t{1} << 20;

TEST(ReadFileCapped, RefusesEveryHostilePathWithItsReason) {
  testing::HostilePaths paths;
  ASSERT_TRUE(paths.ok());
  struct Case {
    const char* name;
    std::string path;
    FileReadStatus status;
    int error;
    std::string reason;
  };
  const Case cases[] = {
      {"folder", paths.Folder(".csv"), FileReadStatus::kIsDirectory, 0, "is a directory"},
      {"FIFO without a writer", paths.Fifo(".csv"), FileReadStatus::kNotRegularFile, 0,
       "is not a regular file"},
      {"/dev/zero", "/dev/zero", FileReadStatus::kNotRegularFile, 0, "is not a regular file"},
      {"link to /dev/zero", paths.EndlessDevice(".csv"), FileReadStatus::kNotRegularFile, 0,
       "is not a regular file"},
      {"one byte over the cap", paths.Oversized(".csv", kCap + 1), FileReadStatus::kTooLarge, 0,
       "is larger than 1 MiB"},
      {"under a file", paths.UnderAFile(".csv"), FileReadStatus::kCannotOpen, ENOTDIR,
       "cannot be opened: Not a directory"},
      {"missing", (paths.root() / "missing.csv").string(), FileReadStatus::kCannotOpen, ENOENT,
       "cannot be opened: No such file or directory"},
      {"UTF-16", paths.Utf16(".csv", "Stage,Name\r\n"), FileReadStatus::kUtf16, 0,
       "is UTF-16 text; it must be saved as UTF-8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FileReadResult result = ReadFileCapped(c.path, kCap);
    EXPECT_EQ(result.status, c.status);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(result.bytes, "");
    EXPECT_EQ(FileReadReason(result, kCap), c.reason);
    EXPECT_EQ(result.Missing(), c.error == ENOENT || c.error == ENOTDIR);
  }
}

TEST(ReadFileCapped, ReadsOrdinaryFilesWholeUpToTheCap) {
  testing::HostilePaths paths;
  ASSERT_TRUE(paths.ok());
  struct Case {
    const char* name;
    std::string bytes;
    std::size_t cap;
    bool ok;
  };
  const std::string binary("[BAND]\0\x01\xff", 9);  // a zero byte or two is no UTF-16
  const Case cases[] = {
      {"empty", "", 0, true},
      {"text", "Stage,Name\r\n1,LNA\r\n", 64, true},
      {"exactly the cap", std::string(100, 'x'), 100, true},
      {"one byte over", std::string(101, 'x'), 100, false},
      {"binary", binary, 64, true},
      {"UTF-8 with its mark", "\xEF\xBB\xBFStage", 64, true},
      {"several chunks", std::string((std::size_t{64} << 10) * 3 + 7, 'y'), kCap, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = paths.Plain("plain.csv", c.bytes);
    const FileReadResult result = ReadFileCapped(path, c.cap);
    EXPECT_EQ(result.ok(), c.ok);
    EXPECT_EQ(result.status, c.ok ? FileReadStatus::kRead : FileReadStatus::kTooLarge);
    EXPECT_EQ(result.bytes, c.ok ? c.bytes : "");
    EXPECT_EQ(FileReadReason(result, c.cap), c.ok ? "" : "is larger than 100 bytes");
  }
}

// The size that stat() tells is not trusted for the reading: /proc files tell 0 and hold
// more, as a file that grows after the check does. The read still stops past the cap.
TEST(ReadFileCapped, StopsReadingPastTheCapWhateverTheSizeSaid) {
  const FileReadResult small = ReadFileCapped("/proc/self/maps", 16);
  EXPECT_EQ(small.status, FileReadStatus::kTooLarge);
  EXPECT_EQ(small.bytes, "");
  const FileReadResult whole = ReadFileCapped("/proc/self/maps", kCap);
  ASSERT_TRUE(whole.ok()) << FileReadReason(whole, kCap);
  EXPECT_GT(whole.bytes.size(), 16u);
}

TEST(LooksLikeUtf16, TellsUtf16TextFromUtf8AndBinary) {
  const auto utf16le = [](const std::string& ascii) {
    std::string bytes;
    for (const char c : ascii) {
      bytes += c;
      bytes += '\0';
    }
    return bytes;
  };
  const auto utf16be = [](const std::string& ascii) {
    std::string bytes;
    for (const char c : ascii) {
      bytes += '\0';
      bytes += c;
    }
    return bytes;
  };
  struct Case {
    const char* name;
    std::string bytes;
    bool utf16;
  };
  const Case cases[] = {
      {"little-endian mark", "\xFF\xFE", true},
      {"big-endian mark", "\xFE\xFFx", true},
      {"little-endian without a mark", utf16le("[BAND]\r\nEGSM=1\r\n"), true},
      {"big-endian without a mark", utf16be("900 0.5 0\n"), true},
      {"one character", utf16le("a"), true},
      {"mostly Latin with a few other characters", utf16le("Stage,Name") + "\x34\x12\x78\x56",
       true},
      {"empty", "", false},
      {"ASCII", "Stage,Name\r\n", false},
      {"UTF-8 mark", std::string("\xEF\xBB\xBF") + "abc", false},
      {"a zero byte at the end", std::string("[BAND]\r\nEGSM=0\r\n\0", 17), false},
      {"zeros only", std::string(64, '\0'), false},
      {"UTF-32 without a mark", std::string("a\0\0\0b\0\0\0", 8), false},
      {"a few zeros in text", std::string("abc\0def\0ghijklmnop", 18), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LooksLikeUtf16(c.bytes), c.utf16);
  }
}

TEST(ByteSizeText, WholeMebibytesThenKibibytesThenBytes) {
  EXPECT_EQ(ByteSizeText(std::size_t{1} << 20), "1 MiB");
  EXPECT_EQ(ByteSizeText(std::size_t{64} << 20), "64 MiB");
  EXPECT_EQ(ByteSizeText(1024), "1 KiB");
  EXPECT_EQ(ByteSizeText(1536 * 1024), "1536 KiB");
  EXPECT_EQ(ByteSizeText(1536), "1536 bytes");
  EXPECT_EQ(ByteSizeText(1), "1 byte");
  EXPECT_EQ(ByteSizeText(0), "0 bytes");
}

}  // namespace
}  // namespace vexa
