// The main() of a fuzz target in the ordinary test build (any compiler, no libFuzzer): it
// feeds every file named on the command line, and every file in every folder named (in name
// order), through the target's LLVMFuzzerTestOneInput once, each in a buffer of exactly its
// size as libFuzzer passes it. A broken invariant aborts as it does under libFuzzer
// (fuzz_check.h), so the corpus of each target, with the inputs that once found a fault, runs
// as a ctest test.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// Defined by the targets that set something up first; a weak reference is null otherwise.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {

namespace fs = std::filesystem;

// The files to replay; false after a message when a name is neither a file nor a folder.
bool CollectInputs(const char* name, std::vector<fs::path>& inputs) {
  std::error_code error;
  if (fs::is_directory(name, error)) {
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(name, error)) {
      if (entry.is_regular_file())
        files.push_back(entry.path());
    }
    if (error) {
      std::fprintf(stderr, "replay: cannot list %s: %s\n", name, error.message().c_str());
      return false;
    }
    std::sort(files.begin(), files.end());
    inputs.insert(inputs.end(), files.begin(), files.end());
    return true;
  }
  if (fs::is_regular_file(name, error)) {
    inputs.emplace_back(name);
    return true;
  }
  std::fprintf(stderr, "replay: %s is neither a file nor a folder\n", name);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize != nullptr)
    LLVMFuzzerInitialize(&argc, &argv);
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (!CollectInputs(argv[i], inputs))
      return 1;
  }
  // A replay that feeds nothing would pass without checking anything.
  if (inputs.empty()) {
    std::fprintf(stderr, "replay: no inputs (usage: %s CORPUS_FOLDER_OR_FILE...)\n", argv[0]);
    return 1;
  }
  for (const fs::path& input : inputs) {
    std::ifstream file(input, std::ios::binary);
    std::vector<char> bytes;
    char chunk[4096];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0)
      bytes.insert(bytes.end(), chunk, chunk + file.gcount());
    if (!file.eof() || file.bad()) {
      std::fprintf(stderr, "replay: cannot read %s\n", input.c_str());
      return 1;
    }
    // Named before it runs, so that an abort shows which input broke an invariant.
    std::fprintf(stderr, "replay: %s (%zu bytes)\n", input.c_str(), bytes.size());
    std::fflush(stderr);
    const auto data = std::make_unique<std::uint8_t[]>(std::max<std::size_t>(bytes.size(), 1));
    if (!bytes.empty())
      std::memcpy(data.get(), bytes.data(), bytes.size());
    LLVMFuzzerTestOneInput(data.get(), bytes.size());
  }
  std::printf("replay: %zu inputs passed\n", inputs.size());
  return 0;
}
