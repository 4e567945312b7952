// What one message costs the simulator library in memory: every byte allocated while a message
// is written and its answer read is counted (this binary replaces the global operator new), and
// must stay within a fixed multiple of the message's length, whatever its units. A reader that
// copied the header path for every unit of "A:B;A:B;..." (each continuing the path of the one
// before, so the path grows by a node a unit) would allocate in proportion to the square of
// the length. Also the longest message an instrument takes, and one byte more.
#include <gmock/gmock.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "instrument/bus/bus_status.h"
#include "sim/gpib_entry_points.h"
#include "sim/vexa_gpib_sim.h"

namespace {

std::atomic<bool> g_counting{false};
std::atomic<std::size_t> g_allocated{0};

void* Allocate(std::size_t size) {
  if (g_counting.load(std::memory_order_relaxed))
    g_allocated.fetch_add(size, std::memory_order_relaxed);
  if (void* memory = std::malloc(size == 0 ? 1 : size))
    return memory;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete[](void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
  std::free(memory);
}

namespace vexa {
namespace {

constexpr int kTestSetAddress = 14;
constexpr std::size_t kMaxMessageBytes = 64 * 1024;
constexpr char kIdn[] = "VEXA Simulator,GSM Test Set,SIM00014,A.02.02\n";

// Writes `message` to the test set and, when `query`, reads the whole answer.
std::string Exchange(const std::string& message, bool query) {
  const int ud = ibdev(0, kTestSetAddress, 0, bus::kTimeout10s, 1, 0);
  EXPECT_GE(ud, 0);
  EXPECT_FALSE(ibwrt(ud, message.data(), static_cast<long>(message.size())) & bus::kErr);
  std::string answer;
  if (query) {
    char buffer[4096];
    int status = 0;
    do {
      status = ibrd(ud, buffer, sizeof buffer);
      EXPECT_FALSE(status & bus::kErr);
      answer.append(buffer, static_cast<std::size_t>(ThreadIbcntl()));
    } while (!(status & bus::kErr) && !(status & bus::kEnd));
  }
  ibonl(ud, 0);
  return answer;
}

// `unit` repeated to `length` bytes (whole units), then `last`.
std::string Repeated(const std::string& unit, std::size_t length, const std::string& last) {
  std::string message;
  while (message.size() + unit.size() <= length)
    message += unit;
  return message + last;
}

class MessageCostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vexa_sim_reset();
    vexa_sim_set_command_log(0);  // the log's copy of a message is not the reader's cost
  }
  void TearDown() override { vexa_sim_reset(); }
};

TEST_F(MessageCostTest, MemoryGrowsInProportionToTheMessageLength) {
  struct Case {
    const char* name;
    std::string message;
    std::string answer;
  };
  constexpr std::size_t kLength = 16 * 1024;
  // "CALL:MS:TXL?;TXL?;TXL?;...": every unit after the first continues the path CALL:MS.
  const std::string levels = "CALL:MS:TXL?;" + Repeated("TXL?;", kLength, "TXL?");
  std::string five_each = "5";
  for (auto n = std::count(levels.begin(), levels.end(), '?'); n > 1; --n)
    five_each += ";5";
  const Case cases[] = {
      {"nested relative paths", Repeated("A:B;", kLength, "*IDN?"), kIdn},
      {"one long path", Repeated("A:", kLength, "B?"), "-113,\"Undefined header\"\n"},
      {"queries continuing the path", levels, five_each + "\n"},
      {"absolute commands", Repeated(":CALL:MS:TXL 7;", kLength, ":CALL:MS:TXL?"), "7\n"},
      {"empty units", Repeated(";", kLength, "*OPC?"), "1\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    vexa_sim_reset();
    vexa_sim_set_command_log(0);
    g_allocated = 0;
    g_counting = true;
    const std::string answer = Exchange(c.message, true);
    g_counting = false;
    EXPECT_TRUE(answer == c.answer) << answer.size() << " bytes: " << answer.substr(0, 80);
    // The answer and the reader's path together stay well within 64 times the message.
    EXPECT_LE(g_allocated.load(), 64 * c.message.size()) << c.message.size() << " bytes";
  }
}

TEST_F(MessageCostTest, LongestMessageIsTakenAndALongerOneIsRefusedWhole) {
  // "*IDN?" padded with blanks to the limit, and with one blank more.
  const std::string longest = "*IDN?" + std::string(kMaxMessageBytes - 5, ' ');
  EXPECT_EQ(Exchange(longest, true), kIdn);
  EXPECT_EQ(Exchange(longest + " ", true), "-363,\"Input buffer overrun\"\n");
  // None of an overlong message's units runs, and a command alone is not answered.
  const std::string set_level = "CALL:MS:TXL 9;" + std::string(kMaxMessageBytes, ' ');
  EXPECT_EQ(Exchange(set_level, false), "");
  EXPECT_EQ(Exchange("CALL:MS:TXL?", true), "5\n");
  const int ud = ibdev(0, kTestSetAddress, 0, bus::kTimeout10s, 1, 0);
  vexa_sim_set_timeout_scale(1e-4);  // the read below waits for nothing
  char buffer[64];
  ibwrt(ud, set_level.data(), static_cast<long>(set_level.size()));
  EXPECT_TRUE(ibrd(ud, buffer, sizeof buffer) & bus::kTimo);
  ibonl(ud, 0);
}

}  // namespace
}  // namespace vexa
