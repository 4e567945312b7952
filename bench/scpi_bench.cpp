// scpi_bench: how long the simulated instruments take to run one message, per KB of it, on the
// messages that cost the most per byte (the shortest units, paths that grow with every unit,
// the answers that take the longest to make, long lists and numbers, quotes left open,
// messages over the limit), each as long as an instrument takes; and on any files named on the
// command line (the slowest inputs that fuzz_scpi wrote, say). Each message runs on a test set
// and a DC source just reset, as in fuzz_scpi. The times are the fastest of several rounds: the
// processor time of the thread, which other work on the machine hardly changes, and the wall
// time. A message counts as at least 1 KB. Exits with 1 when any message took more processor
// time than the goal, 1 ms per KB.
//
//   scpi_bench [--rounds N] [FILE...]
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "sim/dc_source.h"
#include "sim/scpi.h"
#include "sim/test_set.h"

namespace {

using vexa::sim::kMaxMessageBytes;

constexpr double kGoalSecondsPerKb = 1e-3;

struct Message {
  std::string name;
  std::string text;
};

// `prefix`, then `unit` repeated while the message stays within `length`, then `last`.
std::string Fill(const std::string& prefix, const std::string& unit, const std::string& last,
                 std::size_t length = kMaxMessageBytes) {
  std::string text = prefix;
  while (text.size() + unit.size() + last.size() <= length)
    text += unit;
  return text + last;
}

std::vector<Message> WorstMessages() {
  const std::string sweep = ":SENS:SWE:TINT 1;:SENS:SWE:POIN 4096;";
  return {
      {"relative paths A:B;", Fill("", "A:B;", "*IDN?")},
      {"shortest units A;", Fill("", "A;", "")},
      {"unknown queries A?;", Fill("", "A?;", "")},
      {"common queries *IDN?;", Fill("", "*IDN?;", "")},
      {"one deep path A:A:...?", Fill("", "A:", "A?")},
      {"test set commands", Fill("", ":CALL:MS:TXL 5;", "")},
      {"set-up commands", Fill("", ":SETUP:ORFS:TIMEOUT:STIME 5;", "")},
      {"TX power queries", Fill("", ":FETC:TXP?;", "")},
      {"ORFS queries", Fill("", ":FETC:ORFS?;", "")},
      {"ORFS limit queries", Fill("", ":FETC:ORFS:LIM?;", "")},
      {"BER queries", Fill("", ":FETC:BERR?;", "")},
      {"correction table queries", Fill(":SYST:CORR:SFR 1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,"
                                        "17,18,19,20;",
                                        ":SYST:CORR:SFR?;", "")},
      {"long frequency list", Fill("SYST:CORR:SFR ", "1.5 MHZ,", "1")},
      {"long offset list", Fill("SETUP:PVTIME:TIME:OFFSET ", "1US,", "1")},
      {"PVT with a long offset list",
       Fill("SETUP:PVTIME:TIME:OFFSET ", "1,", "1;:FETC:PVT?", kMaxMessageBytes / 2)},
      {"long quoted IMSI", Fill("CALL:PAG:IMSI '", "0", "';IMSI?")},
      {"long number", Fill("CALL:POW -", "1", "")},
      {"quote left open", Fill("'", "A;", "")},
      {"quotes in headers", Fill("", "'A':'B';", "")},
      {"DC source readings, dedicated", Fill(":SENS:CURR:RANG 3;" + sweep, ":MEAS:CURR?;", "")},
      {"DC source readings, idle", Fill(":SENS:CURR:RANG 1;" + sweep, ":MEAS:CURR?;", "")},
      {"over the limit", Fill("", "A?;", "", kMaxMessageBytes + 16 * 1024)},
  };
}

double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Times {
  double cpu = 1e9;
  double wall = 1e9;
};

// Seconds taken by the two instruments to run `text`, fastest of `rounds`.
Times TimeMessage(const std::string& text, int rounds) {
  static vexa::sim::TestSet test_set;
  static vexa::sim::DcSource dc_source;
  Times best;
  for (int round = 0; round < rounds; ++round) {
    test_set.Reset();
    dc_source.Reset();
    double acquisition = 0;
    const double cpu_start = ThreadSeconds();
    const auto start = std::chrono::steady_clock::now();
    const std::size_t answered = vexa::sim::RunMessage(test_set, text, acquisition).size() +
                                 vexa::sim::RunMessage(dc_source, text, acquisition).size();
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    const double cpu = ThreadSeconds() - cpu_start;
    if (answered == static_cast<std::size_t>(-1))
      std::puts("");  // keeps the answers from being optimised away
    best.cpu = std::min(best.cpu, cpu);
    best.wall = std::min(best.wall, wall.count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 5;
  std::vector<Message> messages = WorstMessages();
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
      continue;
    }
    std::ifstream file(argument, std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "scpi_bench: cannot read %s\n", argument.c_str());
      return 2;
    }
    std::ostringstream text;
    text << file.rdbuf();
    messages.push_back({argument, text.str()});
  }
  std::printf("%-34s %8s %9s %11s %12s\n", "message", "bytes", "cpu ms", "cpu us/KB", "wall us/KB");
  double worst = 0;
  double worst_wall = 0;
  for (const Message& message : messages) {
    const Times times = TimeMessage(message.text, rounds);
    const double kb = static_cast<double>(std::max<std::size_t>(message.text.size(), 1024)) / 1024;
    const double per_kb = times.cpu / kb;
    worst = std::max(worst, per_kb);
    worst_wall = std::max(worst_wall, times.wall / kb);
    std::printf("%-34s %8zu %9.3f %11.1f %12.1f%s\n", message.name.substr(0, 34).c_str(),
                message.text.size(), times.cpu * 1e3, per_kb * 1e6, times.wall / kb * 1e6,
                per_kb > kGoalSecondsPerKb ? "  OVER 1 ms per KB" : "");
  }
  std::printf("slowest: %.1f us per KB of processor time, %.1f wall (goal: at most %.0f)\n",
              worst * 1e6, worst_wall * 1e6, kGoalSecondsPerKb * 1e6);
  return worst > kGoalSecondsPerKb ? 1 : 0;
}
