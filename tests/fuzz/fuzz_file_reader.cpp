// Fuzz target for the capped file reader (ReadFileCapped) and its UTF-16 test.
//
// Input: the first byte picks the path and the cap, the rest is a file's bytes.
//   byte & 3 == 0: the bytes as a regular file, read with a cap of (their size + (byte >> 2)
//                  - 32), at least 0: below, at and above the size.
//   byte & 3 == 1, 2, 3: a folder, a FIFO without a writer, a path under a file.
// Invariants:
//   - A regular file is read, byte for byte, exactly when it is within the cap and does not
//     look like UTF-16; over the cap it is kTooLarge, else UTF-16 text is kUtf16. Nothing is
//     half-read: a refusal has no bytes. The reason is one line, empty only for a file read.
//   - The folder, the FIFO and the path under a file are refused at once with their status
//     (a wait on the FIFO shows as a time-out).
//   - LooksLikeUtf16 looks at the first 4 KiB only; a byte-order mark is UTF-16, bytes
//     without a zero and without a mark are not; the input's non-zero bytes saved as UTF-16
//     (either byte order) are UTF-16.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/file_reader.h"
#include "fuzz_check.h"

namespace vexa::fuzz {
namespace {

std::string g_folder;  // the scratch folder, removed at exit

std::string Path(const char* name) {
  return g_folder + "/" + name;
}

void RemoveScratch() {
  std::error_code ignored;
  std::filesystem::remove_all(g_folder, ignored);
}

const char* StatusName(FileReadStatus status) {
  switch (status) {
    case FileReadStatus::kRead:
      return "read";
    case FileReadStatus::kCannotOpen:
      return "cannot open";
    case FileReadStatus::kIsDirectory:
      return "directory";
    case FileReadStatus::kNotRegularFile:
      return "not regular";
    case FileReadStatus::kTooLarge:
      return "too large";
    case FileReadStatus::kCannotRead:
      return "cannot read";
    case FileReadStatus::kUtf16:
      return "UTF-16";
  }
  return "?";
}

void CheckRegularFile(std::string_view bytes, std::uint8_t selector) {
  const long wanted_cap = static_cast<long>(bytes.size()) + (selector >> 2) - 32;
  const std::size_t cap = wanted_cap < 0 ? 0 : static_cast<std::size_t>(wanted_cap);
  const std::string path = Path("input.txt");
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
      std::fclose(file) != 0) {
    std::fprintf(stderr, "fuzz_file_reader: cannot write %s\n", path.c_str());
    std::abort();
  }
  const FileReadResult result = ReadFileCapped(path, cap);
  const std::string context = std::to_string(bytes.size()) + " bytes, cap " + std::to_string(cap) +
                              ": " + StatusName(result.status) + " \"" +
                              Escaped(bytes.substr(0, 64)) + "\"";
  FileReadStatus expected = FileReadStatus::kRead;
  if (bytes.size() > cap)
    expected = FileReadStatus::kTooLarge;
  else if (LooksLikeUtf16(bytes))
    expected = FileReadStatus::kUtf16;
  FUZZ_CHECK(result.status == expected, context);
  FUZZ_CHECK(result.error == 0, context);
  if (result.ok())
    FUZZ_CHECK(result.bytes == bytes, context);
  else
    FUZZ_CHECK(result.bytes.empty(), context);
  const std::string reason = FileReadReason(result, cap);
  FUZZ_CHECK(reason.empty() == result.ok() && reason.find('\n') == std::string::npos,
             context + ": " + Escaped(reason));
}

void CheckSpecialPath(int which) {
  struct Case {
    const char* name;
    FileReadStatus status;
    int error;
  };
  static const Case kCases[] = {
      {"folder", FileReadStatus::kIsDirectory, 0},
      {"fifo", FileReadStatus::kNotRegularFile, 0},
      {"file/inner", FileReadStatus::kCannotOpen, ENOTDIR},
  };
  const Case& c = kCases[which - 1];
  const FileReadResult result = ReadFileCapped(Path(c.name), 1 << 20);
  FUZZ_CHECK(
      result.status == c.status && result.error == c.error && result.bytes.empty(),
      std::string(c.name) + ": " + StatusName(result.status) + " " + std::to_string(result.error));
}

std::string AsUtf16(std::string_view text, bool little_endian) {
  std::string out;
  for (const char c : text) {
    if (c == '\0')
      continue;
    out += little_endian ? c : '\0';
    out += little_endian ? '\0' : c;
  }
  return out;
}

void CheckUtf16Test(std::string_view bytes) {
  const std::string context = "\"" + Escaped(bytes.substr(0, 64)) + "\"";
  const bool utf16 = LooksLikeUtf16(bytes);
  if (bytes.size() > 4096)
    FUZZ_CHECK(utf16 == LooksLikeUtf16(bytes.substr(0, 4096)), context);
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
    FUZZ_CHECK(utf16, context);
  else if (bytes.find('\0') == std::string_view::npos)
    FUZZ_CHECK(!utf16, context);
  for (const bool little_endian : {true, false}) {
    const std::string saved = AsUtf16(bytes.substr(0, 2048), little_endian);
    if (!saved.empty())
      FUZZ_CHECK(LooksLikeUtf16(saved),
                 context + (little_endian ? " as UTF-16LE" : " as UTF-16BE"));
  }
}

}  // namespace
}  // namespace vexa::fuzz

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  using vexa::fuzz::g_folder;
  using vexa::fuzz::Path;
  std::string pattern =
      (std::filesystem::temp_directory_path() / "vexa-fuzz-reader-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("fuzz_file_reader: mkdtemp");
    std::abort();
  }
  g_folder = pattern;
  std::atexit(vexa::fuzz::RemoveScratch);
  std::FILE* file = std::fopen(Path("file").c_str(), "wb");
  if (::mkdir(Path("folder").c_str(), 0700) != 0 || ::mkfifo(Path("fifo").c_str(), 0600) != 0 ||
      file == nullptr || std::fclose(file) != 0) {
    std::perror("fuzz_file_reader: scratch folder");
    std::abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const int which = data[0] & 3;
  if (which == 0)
    vexa::fuzz::CheckRegularFile(bytes, data[0]);
  else
    vexa::fuzz::CheckSpecialPath(which);
  vexa::fuzz::CheckUtf16Test(bytes);
  return 0;
}
