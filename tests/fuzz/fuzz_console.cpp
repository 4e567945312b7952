// Fuzz target for the instrument console (InstrumentSession::SendConsoleCommand) on a scripted
// driver answer, loaded through the program's own driver loader.
//
// Input (FuzzedDataProvider): flags, the scripted read status (ibsta, iberr, a received count
// that may be anything: the reply's length, near it, 0, or any long), an optional write
// failure, the command's bus bytes (no NUL; '?' appended on request, which makes it a
// query) and, as the rest, the reply bytes. Invariants:
//   - The memo is exactly: "<---<command>", the write error line when the write failed, and
//     for a query the read error line when the read reported ERR, then "--->" and the reply
//     cut at min(count, 1024) - 1 bytes (nothing for a count <= 0) and at its first NUL.
//     After a failed write the descriptor is offline: the read is refused (ERR, EDVR) and the
//     reply is empty. A command longer than 1024 characters gives one refusal line and no bus
//     traffic.
//   - The command goes out as one write of exactly its bytes; a query reads once, for 1024
//     bytes, unless its write failed; anything else does not read.
#include <dlfcn.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/memo_sink.h"
#include "fuzz_check.h"
#include "instrument/bus/gpib_driver.h"
#include "instrument/bus/instrument_session.h"

namespace vexa::fuzz {
namespace {

constexpr std::size_t kCommandLimit = 1024;
constexpr long kReplySize = 1024;
constexpr int kErr = 0x8000;
constexpr int kEdvr = 0;

// The scripted driver's control functions, found in the very library the loader opens.
struct Script {
  void (*set_read)(const void*, std::size_t, int, int, long);
  void (*set_write)(int, int, int);
  void (*reset_record)();
  long (*reads)();
  long (*last_read_count)();
  long (*writes)();
  const void* (*last_write)(std::size_t*);
};
Script g_script;

template <typename Fn>
void Bind(void* library, const char* name, Fn& fn) {
  void* symbol = dlsym(library, name);
  if (!symbol) {
    std::fprintf(stderr, "scripted GPIB driver: no %s\n", name);
    std::abort();
  }
  fn = reinterpret_cast<Fn>(symbol);
}

class Recorder : public MemoSink {
 public:
  void AppendLine(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
};

// The driver's error mnemonics by iberr.
const char* Mnemonic(int iberr) {
  static const char* const kNames[] = {"EDVR", "ECIC", "ENOL", "EADR", "EARG", "ESAC", "EABO",
                                       "ENEB", "EDMA", "",     "EOIP", "ECAP", "EFSO", "",
                                       "EBUS", "ESTB", "ESRQ", "",     "",     "",     "ETAB"};
  if (iberr < 0 || iberr >= static_cast<int>(std::size(kNames)))
    return "";
  return kNames[iberr];
}

std::string ErrorLine(const char* text, int ibsta, int iberr) {
  char line[160];
  std::snprintf(line, sizeof line, "%s ibsta = 0x%x iberr = %d (%s)", text,
                static_cast<unsigned>(ibsta), iberr, Mnemonic(iberr));
  return line;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += "\n    \"" + Escaped(line) + "\"";
  return text;
}

enum CountMode { kReplyLength = 0, kNearReplyLength = 1, kAnyCount = 2, kZeroCount = 3 };

void Run(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const auto flags = input.ConsumeIntegral<std::uint8_t>();
  const bool append_question_mark = (flags & 1) != 0;
  const bool write_fails = (flags & 2) != 0;
  const auto count_mode = static_cast<CountMode>((flags >> 2) & 3);

  const int read_sta = input.ConsumeIntegral<int>();
  const int read_err = input.ConsumeIntegral<std::int8_t>();
  const int write_sta = input.ConsumeIntegral<std::uint16_t>() | kErr;
  const int write_err = input.ConsumeIntegral<std::int8_t>();
  const auto count_delta = input.ConsumeIntegral<std::int8_t>();
  const auto any_count = input.ConsumeIntegral<long>();

  std::string command = input.ConsumeRandomLengthString(kCommandLimit + 64);
  // Bus bytes (Latin-1), anything a command line can produce: every byte but NUL.
  for (char& c : command) {
    if (c == '\0')
      c = '\x01';
  }
  if (append_question_mark)
    command += '?';
  const std::vector<std::uint8_t> reply = input.ConsumeRemainingBytes<std::uint8_t>();

  long count = 0;
  switch (count_mode) {
    case kReplyLength:
      count = static_cast<long>(reply.size());
      break;
    case kNearReplyLength:
      count = static_cast<long>(reply.size()) + count_delta;
      break;
    case kAnyCount:
      count = any_count;
      break;
    case kZeroCount:
      count = 0;
      break;
  }

  g_script.set_read(reply.data(), reply.size(), read_sta, read_err, count);
  g_script.set_write(write_fails ? 1 : 0, write_sta, write_err);
  g_script.reset_record();

  Recorder memo;
  InstrumentSession session(14, 0, AfterFailedClear::kContinue);
  session.SetMemo(&memo);
  (void)session.SendConsoleCommand(command);
  session.SetMemo(nullptr);

  // What the memo must show.
  std::vector<std::string> expected;
  const bool query = !command.empty() && command.back() == '?';
  const bool refused = command.size() > kCommandLimit;
  if (refused) {
    expected.push_back("Command refused: " + std::to_string(command.size()) +
                       " characters, the limit is " + std::to_string(kCommandLimit));
  } else {
    expected.push_back("<---" + command);  // bus bytes, shown as they are
    if (write_fails)
      expected.push_back(ErrorLine("Unable to write to device", write_sta, write_err));
    if (query && write_fails) {
      // The failed write took the descriptor offline; the read is refused without reaching the
      // driver (ERR, EDVR) and the reply buffer stays empty.
      expected.push_back(ErrorLine("Unable to read from device", kErr, kEdvr));
      expected.push_back("--->");
    } else if (query) {
      if ((read_sta & kErr) != 0)
        expected.push_back(ErrorLine("Unable to read from device", read_sta, read_err));
      // The buffer holds what the driver copied (at most 1024 bytes), zeros after it.
      std::string buffer(static_cast<std::size_t>(kReplySize), '\0');
      std::copy_n(reply.begin(), std::min(reply.size(), buffer.size()), buffer.begin());
      const long received = std::clamp(count, 0L, kReplySize);
      std::string shown =
          buffer.substr(0, static_cast<std::size_t>(received > 0 ? received - 1 : 0));
      shown = shown.substr(0, shown.find('\0'));
      expected.push_back("--->" + shown);
    }
  }

  char summary[200];
  std::snprintf(summary, sizeof summary,
                "command of %zu chars (query %d), write fails %d, read ibsta 0x%x iberr %d "
                "ibcntl %ld, reply of %zu bytes",
                command.size(), query ? 1 : 0, write_fails ? 1 : 0, static_cast<unsigned>(read_sta),
                read_err, count, reply.size());
  FUZZ_CHECK(memo.lines == expected, std::string(summary) + "\n  memo:" + Lines(memo.lines) +
                                         "\n  expected:" + Lines(expected));

  // The bus traffic.
  const long writes = g_script.writes();
  FUZZ_CHECK(writes == (refused ? 0 : 1),
             std::string(summary) + ": " + std::to_string(writes) + " writes");
  if (!refused) {
    std::size_t written_size = 0;
    const auto* written = static_cast<const char*>(g_script.last_write(&written_size));
    const std::string sent = written ? std::string(written, written_size) : std::string();
    FUZZ_CHECK(sent == command, std::string(summary) + ": sent \"" + Escaped(sent) + "\"");
  }
  const long reads = g_script.reads();
  FUZZ_CHECK(reads == (query && !refused && !write_fails ? 1 : 0),
             std::string(summary) + ": " + std::to_string(reads) + " reads");
  if (reads == 1) {
    FUZZ_CHECK(g_script.last_read_count() == kReplySize,
               std::string(summary) + ": read for " + std::to_string(g_script.last_read_count()) +
                   " bytes");
  }
}

}  // namespace
}  // namespace vexa::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  using vexa::fuzz::g_script;
  setenv("VEXA_GPIB_LIBRARY", VEXA_SCRIPTED_GPIB_LIBRARY, 1);
  void* library = dlopen(VEXA_SCRIPTED_GPIB_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    std::fprintf(stderr, "cannot load %s: %s\n", VEXA_SCRIPTED_GPIB_LIBRARY, dlerror());
    std::abort();
  }
  vexa::fuzz::Bind(library, "scripted_gpib_set_read", g_script.set_read);
  vexa::fuzz::Bind(library, "scripted_gpib_set_write", g_script.set_write);
  vexa::fuzz::Bind(library, "scripted_gpib_reset_record", g_script.reset_record);
  vexa::fuzz::Bind(library, "scripted_gpib_reads", g_script.reads);
  vexa::fuzz::Bind(library, "scripted_gpib_last_read_count", g_script.last_read_count);
  vexa::fuzz::Bind(library, "scripted_gpib_writes", g_script.writes);
  vexa::fuzz::Bind(library, "scripted_gpib_last_write", g_script.last_write);
  // The program's loader must have picked the scripted driver, with its status functions.
  const std::string note = vexa::gpib::DriverNote();
  const std::string wanted = std::string("GPIB driver: ") + VEXA_SCRIPTED_GPIB_LIBRARY;
  if (note != wanted) {
    std::fprintf(stderr, "driver loader: \"%s\", expected \"%s\"\n", note.c_str(), wanted.c_str());
    std::abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vexa::fuzz::Run(data, size);
  return 0;
}
