// The simulated GPIB bus: the driver entry points of libvexa-gpib-sim.so, the unit
// descriptors, the timing of reads, the injected faults and the command logs. One mutex guards
// all state; waits (latency, acquisition, time-outs) release it, so several threads may use
// the bus at once as with a real driver.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "instrument/bus/bus_status.h"
#include "sim/dc_source.h"
#include "sim/test_set.h"
#include "sim/vexa_gpib_sim.h"

// The process-wide status values, named and typed as the open-source library has them.
extern "C" {
VEXA_SIM_API volatile int ibsta = 0;
VEXA_SIM_API volatile int iberr = 0;
VEXA_SIM_API volatile int ibcnt = 0;
VEXA_SIM_API volatile long ibcntl = 0;
}

namespace vexa::sim {
namespace {

using Clock = std::chrono::steady_clock;

using bus::kCmpl;
using bus::kEabo;
using bus::kEarg;
using bus::kEbus;
using bus::kEdvr;
using bus::kEnd;
using bus::kEneb;
using bus::kEnol;
using bus::kErr;
using bus::kTimo;

constexpr int kTestSetAddress = 14;
constexpr int kDcSourceAddress = 5;
// Device descriptors start after the board descriptors, as in the open-source library.
constexpr int kFirstDescriptor = 16;

// Seconds of the time-out codes 0 (none) to 17.
constexpr double kTimeoutSeconds[] = {0,    10e-6, 30e-6, 100e-6, 300e-6, 1e-3,
                                      3e-3, 10e-3, 30e-3, 100e-3, 300e-3, 1,
                                      3,    10,    30,    100,    300,    1000};

constexpr char kGarbled[] = "#?~garbled~?#\n";

struct CallStatus {
  int sta = 0;
  int err = 0;
  long cnt = 0;
};

CallStatus Done(long count = 0, int extra_bits = 0) {
  return {kCmpl | extra_bits, 0, count};
}
CallStatus Failed(int error, int extra_bits = 0) {
  return {kErr | kCmpl | extra_bits, error, 0};
}
CallStatus InvalidDescriptor() {
  return {kErr, kEdvr, EINVAL};
}

thread_local CallStatus t_status;

struct Descriptor {
  int address = 0;
  int timeout_code = 0;
};

// What one bus address holds.
struct Port {
  Instrument* instrument = nullptr;  // nullptr: nobody listens at this address
  std::string output;                // response bytes not yet read
  Clock::time_point ready_at;        // when the response is acquired
  int fault_mode = VEXA_SIM_READ_NORMAL;
  int fault_count = 0;
  bool fail_next_clear = false;
  // The last messages received, oldest first, bounded by VEXA_SIM_LOG_MAX_ENTRIES entries and
  // VEXA_SIM_LOG_MAX_BYTES bytes (the newest entry is always kept).
  std::deque<std::string> log;
  std::size_t log_bytes = 0;

  void AddToLog(std::string_view message) {
    constexpr auto kMaxEntries = static_cast<std::size_t>(VEXA_SIM_LOG_MAX_ENTRIES);
    constexpr auto kMaxBytes = static_cast<std::size_t>(VEXA_SIM_LOG_MAX_BYTES);
    std::string entry(message.substr(0, static_cast<std::size_t>(VEXA_SIM_LOG_MAX_ENTRY_BYTES)));
    log_bytes += entry.size();
    log.push_back(std::move(entry));
    while (log.size() > kMaxEntries || (log_bytes > kMaxBytes && log.size() > 1)) {
      log_bytes -= log.front().size();
      log.pop_front();
    }
  }
};

Clock::duration Seconds(double seconds) {
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(std::clamp(seconds, 0.0, 1e8)));
}

double NonNegative(double value, double fallback) {
  return value >= 0 ? value : fallback;  // also replaces NaN
}

class Bus {
 public:
  Bus() { Reset(); }

  void Reset() {
    descriptors_.clear();
    ports_.clear();
    test_set_.Reset();
    dc_source_.Reset();
    ports_[kTestSetAddress].instrument = &test_set_;
    ports_[kDcSourceAddress].instrument = &dc_source_;
    latency_ = Clock::duration::zero();
    speed_ = 1;
    timeout_scale_ = 1;
    drop_call_countdown_ = 0;
    command_log_ = true;
    ++generation_;
    changed_.notify_all();
  }

  std::mutex& mutex() { return mutex_; }
  Port& PortAt(int address) { return ports_[address]; }
  TestSet& test_set() { return test_set_; }
  DcSource& dc_source() { return dc_source_; }
  std::map<int, Descriptor>& descriptors() { return descriptors_; }

  const Descriptor* Find(int ud) const {
    const auto it = descriptors_.find(ud);
    return it == descriptors_.end() ? nullptr : &it->second;
  }

  int Open(int address, int timeout_code) {
    int ud = kFirstDescriptor;
    while (descriptors_.count(ud))
      ++ud;
    descriptors_[ud] = Descriptor{address, timeout_code};
    return ud;
  }

  void Release(int ud) {
    descriptors_.erase(ud);
    changed_.notify_all();
  }

  // Waits until `deadline` with the mutex released. Returns false when the descriptor was
  // released or the simulator reset meanwhile.
  bool WaitUntil(std::unique_lock<std::mutex>& lock, int ud, Clock::time_point deadline) {
    const unsigned long generation = generation_;
    while (Clock::now() < deadline) {
      changed_.wait_until(lock, deadline);
      if (generation != generation_ || !Find(ud))
        return false;
    }
    return generation == generation_ && Find(ud);
  }

  // Waits for a response from `address` until `deadline`. Returns false on time-out, on a
  // released descriptor or a reset.
  bool WaitForResponse(std::unique_lock<std::mutex>& lock, int ud, int address,
                       Clock::time_point deadline) {
    const unsigned long generation = generation_;
    for (;;) {
      if (generation != generation_ || !Find(ud))
        return false;
      const Port& port = ports_[address];
      const Clock::time_point now = Clock::now();
      if (!port.output.empty() && port.ready_at <= now)
        return true;
      if (now >= deadline)
        return false;
      const Clock::time_point wake =
          port.output.empty() ? deadline : std::min(deadline, port.ready_at);
      changed_.wait_until(lock, wake);
    }
  }

  void Deliver(int address, std::string response, double acquisition_seconds) {
    Port& port = ports_[address];
    port.output = std::move(response);
    port.ready_at = Clock::now() + Seconds(acquisition_seconds * speed_);
    changed_.notify_all();
  }

  Clock::duration latency() const { return latency_; }
  void set_latency(Clock::duration latency) { latency_ = latency; }
  void set_speed(double speed) { speed_ = speed; }
  double timeout_scale() const { return timeout_scale_; }
  void set_drop_call_after(int messages) { drop_call_countdown_ = std::max(messages, 0); }
  // Counts one message received by the test set; drops the call after the last one counted.
  void CountTestSetMessage() {
    if (drop_call_countdown_ > 0 && --drop_call_countdown_ == 0)
      test_set_.SetCallConnected(false);
  }
  void set_timeout_scale(double scale) { timeout_scale_ = scale; }
  bool command_log() const { return command_log_; }
  void set_command_log(bool enabled) { command_log_ = enabled; }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<int, Descriptor> descriptors_;
  std::map<int, Port> ports_;
  TestSet test_set_;
  DcSource dc_source_;
  Clock::duration latency_{};
  double speed_ = 1;
  double timeout_scale_ = 1;
  unsigned long generation_ = 0;
  int drop_call_countdown_ = 0;  // test-set messages until the call drops; 0: never
  bool command_log_ = true;      // messages are added to the ports' logs
};

// Applies $VEXA_SIM_SETUP, "name=value" entries separated by ';' (the start-up state for a
// program that cannot call the control API, such as vexa-cli run from a script): the values of
// vexa_sim_set_value, and "latency_ms", "speed", "timeout_scale", "call" (0 drops the call)
// and "drop_call_after". An entry that does not read is reported on stderr and skipped.
void ApplySetupFromEnvironment(Bus& bus) {
  const char* setup = std::getenv("VEXA_SIM_SETUP");
  if (!setup)
    return;
  std::string text(setup);
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find(';', start), text.size());
    const std::string entry = text.substr(start, end - start);
    start = end + 1;
    if (entry.empty())
      continue;
    const std::size_t equals = entry.find('=');
    const std::string name = entry.substr(0, equals);
    char* number_end = nullptr;
    const char* number = equals == std::string::npos ? "" : entry.c_str() + equals + 1;
    const double value = std::strtod(number, &number_end);
    bool known = *number != '\0' && *number_end == '\0' && std::isfinite(value);
    if (!known) {
    } else if (name == "latency_ms") {
      bus.set_latency(Seconds(NonNegative(value, 0) / 1000.0));
    } else if (name == "speed") {
      bus.set_speed(NonNegative(value, 1));
    } else if (name == "timeout_scale") {
      bus.set_timeout_scale(NonNegative(value, 1));
    } else if (name == "call") {
      bus.test_set().SetCallConnected(value != 0);
    } else if (name == "drop_call_after") {
      bus.set_drop_call_after(static_cast<int>(std::clamp(value, 0.0, 1e9)));
    } else {
      known = bus.test_set().SetValue(name, value) || bus.dc_source().SetValue(name, value);
    }
    if (!known)
      std::fprintf(stderr, "VEXA simulator: VEXA_SIM_SETUP entry '%s' ignored\n", entry.c_str());
  }
}

Bus& TheBus() {
  // Never destroyed: worker threads may still be in a call while the program exits.
  static Bus* bus = [] {
    auto* created = new Bus;
    ApplySetupFromEnvironment(*created);
    return created;
  }();
  return *bus;
}

// Records the status of the call for ThreadIb* (this thread) and the process-wide values.
// Called with the bus mutex held, which also guards the process-wide values.
int Finish(const CallStatus& status) {
  t_status = status;
  ::ibsta = status.sta;
  ::iberr = status.err;
  ::ibcnt = static_cast<int>(status.cnt);
  ::ibcntl = status.cnt;
  return status.sta;
}

}  // namespace
}  // namespace vexa::sim

using vexa::sim::Bus;
using vexa::sim::TheBus;

extern "C" {

VEXA_SIM_API int ThreadIbsta(void) {
  return vexa::sim::t_status.sta;
}
VEXA_SIM_API int ThreadIberr(void) {
  return vexa::sim::t_status.err;
}
VEXA_SIM_API int ThreadIbcnt(void) {
  return static_cast<int>(vexa::sim::t_status.cnt);
}
VEXA_SIM_API long ThreadIbcntl(void) {
  return vexa::sim::t_status.cnt;
}

VEXA_SIM_API int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
  using namespace vexa::sim;
  static_cast<void>(eot);  // every transfer ends with EOI in the simulator
  static_cast<void>(eos);
  Bus& bus = TheBus();
  std::lock_guard<std::mutex> lock(bus.mutex());
  if (board != 0) {
    Finish(Failed(kEneb));
    return -1;
  }
  // Address 0 is the board's own; secondary addresses are 0 (none) or 0x60..0x7e.
  const bool valid_sad = sad == 0 || (sad >= 0x60 && sad <= 0x7e);
  if (pad < 1 || pad > 30 || !valid_sad || tmo < 0 || tmo > 17) {
    Finish(Failed(kEarg));
    return -1;
  }
  // As on a real bus, opening an address where no device listens succeeds.
  const int ud = bus.Open(pad, tmo);
  Finish(Done());
  return ud;
}

VEXA_SIM_API int ibclr(int ud) {
  using namespace vexa::sim;
  Bus& bus = TheBus();
  std::unique_lock<std::mutex> lock(bus.mutex());
  const Descriptor* descriptor = bus.Find(ud);
  if (!descriptor)
    return Finish(InvalidDescriptor());
  const int address = descriptor->address;
  if (!bus.WaitUntil(lock, ud, Clock::now() + bus.latency()))
    return Finish(Failed(kEabo));
  Port& port = bus.PortAt(address);
  if (port.fail_next_clear) {
    port.fail_next_clear = false;
    return Finish(Failed(kEbus));
  }
  port.output.clear();
  return Finish(Done());
}

VEXA_SIM_API int ibwrt(int ud, const void* buffer, long count) {
  using namespace vexa::sim;
  Bus& bus = TheBus();
  std::unique_lock<std::mutex> lock(bus.mutex());
  const Descriptor* descriptor = bus.Find(ud);
  if (!descriptor)
    return Finish(InvalidDescriptor());
  if (count < 0 || (count > 0 && !buffer))
    return Finish(Failed(kEarg));
  const int address = descriptor->address;
  if (!bus.WaitUntil(lock, ud, Clock::now() + bus.latency()))
    return Finish(Failed(kEabo));
  Port& port = bus.PortAt(address);
  if (!port.instrument)
    return Finish(Failed(kEnol));
  if (count == 0)
    return Finish(Done());
  const std::string_view message(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
  if (bus.command_log())
    port.AddToLog(message);
  // A new message discards an answer that was not read, as an interrupted query does.
  port.output.clear();
  double acquisition_seconds = 0;
  std::string response = RunMessage(*port.instrument, message, acquisition_seconds);
  // The message that completes the count is still answered with the call up.
  if (address == kTestSetAddress)
    bus.CountTestSetMessage();
  if (!response.empty())
    bus.Deliver(address, std::move(response), acquisition_seconds);
  return Finish(Done(count));
}

VEXA_SIM_API int ibrd(int ud, void* buffer, long count) {
  using namespace vexa::sim;
  Bus& bus = TheBus();
  std::unique_lock<std::mutex> lock(bus.mutex());
  const Clock::time_point start = Clock::now();
  const Descriptor* descriptor = bus.Find(ud);
  if (!descriptor)
    return Finish(InvalidDescriptor());
  if (count < 0 || (count > 0 && !buffer))
    return Finish(Failed(kEarg));
  const int address = descriptor->address;
  const Clock::time_point deadline =
      start + Seconds(kTimeoutSeconds[descriptor->timeout_code] * bus.timeout_scale());
  auto timed_out = [&] { return Finish(Failed(kEabo, kTimo)); };

  Port& port = bus.PortAt(address);
  int fault = VEXA_SIM_READ_NORMAL;
  if (port.fault_count > 0) {
    fault = port.fault_mode;
    if (--port.fault_count == 0)
      port.fault_mode = VEXA_SIM_READ_NORMAL;
  }
  if (fault == VEXA_SIM_READ_TIMEOUT) {
    port.output.clear();
    bus.WaitUntil(lock, ud, deadline);
    return timed_out();
  }
  // The transfer time, but never past the time-out.
  if (!bus.WaitUntil(lock, ud, std::min(start + bus.latency(), deadline)))
    return timed_out();
  if (fault == VEXA_SIM_READ_EMPTY || fault == VEXA_SIM_READ_GARBLED) {
    Port& faulty = bus.PortAt(address);
    faulty.output.clear();
    long received = 0;
    if (fault == VEXA_SIM_READ_GARBLED) {
      received = std::min(count, static_cast<long>(sizeof kGarbled - 1));
      std::memcpy(buffer, kGarbled, static_cast<std::size_t>(received));
    }
    return Finish(Done(received, kEnd));
  }
  if (!bus.WaitForResponse(lock, ud, address, deadline))
    return timed_out();
  Port& ready = bus.PortAt(address);
  const std::size_t received = std::min(static_cast<std::size_t>(count), ready.output.size());
  if (received > 0)
    std::memcpy(buffer, ready.output.data(), received);
  ready.output.erase(0, received);
  return Finish(Done(static_cast<long>(received), ready.output.empty() ? kEnd : 0));
}

VEXA_SIM_API int ibonl(int ud, int online) {
  using namespace vexa::sim;
  Bus& bus = TheBus();
  std::lock_guard<std::mutex> lock(bus.mutex());
  if (!bus.Find(ud))
    return Finish(InvalidDescriptor());
  if (online == 0)
    bus.Release(ud);
  return Finish(Done());
}

VEXA_SIM_API const char* vexa_sim_version(void) {
  return "VEXA instrument simulator 1.0";
}

VEXA_SIM_API void vexa_sim_reset(void) {
  Bus& bus = TheBus();
  std::lock_guard<std::mutex> lock(bus.mutex());
  bus.Reset();
  vexa::sim::Finish(vexa::sim::CallStatus{});
}

VEXA_SIM_API void vexa_sim_set_call_connected(int connected) {
  Bus& bus = TheBus();
  std::lock_guard<std::mutex> lock(bus.mutex());
  bus.test_set().SetCallConnected(connected != 0);
}

VEXA_SIM_API void vexa_sim_drop_call_after(int messages) {
  Bus& bus = TheBus();
  std::lock_guard<std::mutex> lock(bus.mutex());
  bus.set_drop_call_after(messages);
}

VEXA_SIM_API void vexa_sim_fail_next_reads(int address, int mode, int count) {
  Bus& bus = TheBus();
  std::lock_guard<std::mutex> lock(bus.mutex());
  vexa::sim::Port& port = bus.PortAt(address);
  const bool valid = mode >= VEXA_SIM_READ_TIMEOUT && mode <= VEXA_SIM_READ_GARBLED;
  port.fault_mode = valid && count > 0 ? mode : VEXA_SIM_READ_NORMAL;
  port.fault_count = valid && count > 0 ? count : 0;
}

VEXA_SIM_API void vexa_sim_fail_next_clear(int address) {
  Bus& bus = TheBus();
  std::lock_guard<std::mutex> lock(bus.mutex());
  bus.PortAt(address).fail_next_clear = true;
}

VEXA_SIM_API int vexa_sim_set_value(const char* name, double value) {
  if (!name)
    return -1;
  Bus& bus = TheBus();
  std::lock_guard<std::mutex> lock(bus.mutex());
  const std::string key(name);
  return bus.test_set().SetValue(key, value) || bus.dc_source().SetValue(key, value) ? 0 : -1;
}

VEXA_SIM_API void vexa_sim_script_readings(const char* answers) {
  Bus& bus = TheBus();
  std::lock_guard<std::mutex> lock(bus.mutex());
  bus.dc_source().ScriptReadings(answers);
}

VEXA_SIM_API void vexa_sim_set_latency_ms(double milliseconds) {
  Bus& bus = TheBus();
  std::lock_guard<std::mutex> lock(bus.mutex());
  bus.set_latency(vexa::sim::Seconds(vexa::sim::NonNegative(milliseconds, 0) / 1000.0));
}

VEXA_SIM_API void vexa_sim_set_speed(double factor) {
  Bus& bus = TheBus();
  std::lock_guard<std::mutex> lock(bus.mutex());
  bus.set_speed(vexa::sim::NonNegative(factor, 1));
}

VEXA_SIM_API void vexa_sim_set_timeout_scale(double scale) {
  Bus& bus = TheBus();
  std::lock_guard<std::mutex> lock(bus.mutex());
  bus.set_timeout_scale(vexa::sim::NonNegative(scale, 1));
}

VEXA_SIM_API void vexa_sim_set_command_log(int enabled) {
  Bus& bus = TheBus();
  std::lock_guard<std::mutex> lock(bus.mutex());
  bus.set_command_log(enabled != 0);
}

VEXA_SIM_API int vexa_sim_log_count(int address) {
  Bus& bus = TheBus();
  std::lock_guard<std::mutex> lock(bus.mutex());
  return static_cast<int>(bus.PortAt(address).log.size());
}

VEXA_SIM_API int vexa_sim_log_entry(int address, int index, char* buffer, int size) {
  Bus& bus = TheBus();
  std::lock_guard<std::mutex> lock(bus.mutex());
  const std::deque<std::string>& log = bus.PortAt(address).log;
  if (index < 0 || static_cast<std::size_t>(index) >= log.size())
    return -1;
  const std::string& entry = log[static_cast<std::size_t>(index)];
  if (buffer && size > 0) {
    const std::size_t copied = std::min(entry.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, entry.data(), copied);
    buffer[copied] = '\0';
  }
  return static_cast<int>(entry.size());
}

VEXA_SIM_API int vexa_sim_open_descriptors(void) {
  Bus& bus = TheBus();
  std::lock_guard<std::mutex> lock(bus.mutex());
  return static_cast<int>(bus.descriptors().size());
}

}  // extern "C"
