// Shared pieces of the instrument tests: choosing the driver library, recording memo lines,
// and a fixture that talks to the instrument simulator through the program's loader.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "instrument/bus/gpib_driver.h"
#include "instrument/bus/instrument_session.h"
#include "instrument/runs/instrument_station.h"
#include "sim/vexa_gpib_sim.h"

namespace vexa::testing {

// Makes the next driver call load `library` (nullptr: the usual names).
inline void UseDriverLibrary(const char* library) {
  if (library) {
    setenv("VEXA_GPIB_LIBRARY", library, 1);
  } else {
    unsetenv("VEXA_GPIB_LIBRARY");
  }
  gpib::ReloadDriver();
}

// Lets the session's descriptor go, as a connection change does (the next open makes a new
// one): before the simulator is reset, which hands the same numbers out again.
inline void ReleaseDescriptor(InstrumentSession& session) {
  ASSERT_EQ(session.SetConnection(session.connection()), "");
}

// Records memo lines, and for each the thread that appended it (the thread that ran the
// operation writing it).
class MemoRecorder : public MemoSink {
 public:
  struct Entry {
    std::thread::id thread;
    std::string line;
  };

  void AppendLine(const std::string& line) override {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back({std::this_thread::get_id(), line});
  }
  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> lines;
    for (const Entry& entry : entries_)
      lines.push_back(entry.line);
    return lines;
  }
  std::vector<Entry> Entries() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

// The messages the simulated instrument at `address` received, in order.
inline std::vector<std::string> SimLog(int address) {
  std::vector<std::string> log;
  for (int i = 0; i < vexa_sim_log_count(address); ++i) {
    std::string entry(static_cast<std::size_t>(vexa_sim_log_entry(address, i, nullptr, 0)), '\0');
    vexa_sim_log_entry(address, i, entry.data(), static_cast<int>(entry.size()) + 1);
    log.push_back(entry);
  }
  return log;
}

inline constexpr int kTestSetAddress = 14;
inline constexpr int kDcSourceAddress = 5;
// Read time-outs in the tests: code 13 (10 s) scaled to 100 ms.
inline constexpr double kTimeoutScale = 0.01;

// A station of the test's own on the simulator, each session with a recorded memo. The station
// goes (releasing its descriptors) before the next test loads the driver again.
class SimulatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A test that sets up again lets the station's descriptors go first: the reset simulator
    // hands their numbers out anew.
    ReleaseDescriptor(TestSetDevice);
    ReleaseDescriptor(DcSourceDevice);
    UseDriverLibrary(VEXA_SIM_LIBRARY);
    vexa_sim_reset();
    vexa_sim_set_timeout_scale(kTimeoutScale);
    TestSetDevice.SetMemo(&test_set_memo);
    DcSourceDevice.SetMemo(&dc_source_memo);
  }
  void TearDown() override {
    TestSetDevice.DetachMemo(&test_set_memo);
    DcSourceDevice.DetachMemo(&dc_source_memo);
  }

  MemoRecorder test_set_memo;
  MemoRecorder dc_source_memo;
  InstrumentStation station;
  InstrumentSession& TestSetDevice = station.TestSetDevice;
  InstrumentSession& DcSourceDevice = station.DcSourceDevice;
};

}  // namespace vexa::testing
