#include "instrument/bus/gpib_driver.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <mutex>

#include "core/text_format.h"

namespace vexa::gpib {

using bus::kEdvr;
using bus::kErr;

namespace {

// The two families of GPIB libraries on Linux differ in their C prototypes:
//   open-source linux-gpib (gpib/ib.h):  int ibwrt(int ud, const void* buf, long count), the
//     other calls return int too; status as data `int ibsta, iberr, ibcnt; long ibcntl` and
//     per-thread functions `int ThreadIbsta(void), ThreadIberr(void), ThreadIbcnt(void)`,
//     `long ThreadIbcntl(void)`.
//   vendor NI-488.2 (ni4882.h):  unsigned long ibwrt(int ud, const void* buf, size_t count),
//     the other calls return unsigned long; ibdev returns int; status through functions
//     `unsigned long Ibsta(void), Iberr(void), Ibcnt(void)` and per-thread
//     `unsigned long ThreadIbsta(void), ThreadIberr(void), ThreadIbcnt(void)`.
// Only the vendor library exports the function `Ibsta`, which tells the families apart.
enum class Family { kOpenSource, kVendor };

using DevFn = int (*)(int, int, int, int, int, int);
using OsClrFn = int (*)(int);
using OsWrtFn = int (*)(int, const void*, long);
using OsRdFn = int (*)(int, void*, long);
using OsOnlFn = int (*)(int, int);
using NiClrFn = unsigned long (*)(int);
using NiWrtFn = unsigned long (*)(int, const void*, std::size_t);
using NiRdFn = unsigned long (*)(int, void*, std::size_t);
using NiOnlFn = unsigned long (*)(int, int);
using IntFn = int (*)();
using LongFn = long (*)();
using UlongFn = unsigned long (*)();

// Where one status value comes from.
enum class Source { kIntFunction, kLongFunction, kUlongFunction, kIntData, kLongData };

struct StatusValue {
  void* address = nullptr;
  Source source = Source::kIntFunction;

  long Read() const {
    switch (source) {
      case Source::kIntFunction:
        return reinterpret_cast<IntFn>(address)();
      case Source::kLongFunction:
        return reinterpret_cast<LongFn>(address)();
      case Source::kUlongFunction:
        return static_cast<long>(reinterpret_cast<UlongFn>(address)());
      case Source::kIntData:
        return *static_cast<volatile int*>(address);
      case Source::kLongData:
        return *static_cast<volatile long*>(address);
    }
    return 0;
  }
};

struct Driver {
  void* handle = nullptr;
  std::string path;                       // the file actually loaded
  std::vector<LibraryLoadFailure> tried;  // names tried and why, when none loaded
  int load_error = 0;  // the operating-system code of the last failed load (OpenLibrary)
  bool simulator = false;
  Family family = Family::kOpenSource;
  void* dev = nullptr;
  void* clr = nullptr;
  void* wrt = nullptr;
  void* rd = nullptr;
  void* onl = nullptr;
  std::vector<std::string> missing_calls;
  bool has_status = false;
  bool per_thread = false;  // status read through the per-thread functions
  StatusValue sta, err, cnt;
};

constexpr const char* kEnvironmentVariable = "VEXA_GPIB_LIBRARY";

std::mutex g_load_mutex;
Driver* g_driver = nullptr;  // guarded by g_load_mutex; immutable once published

std::mutex g_status_mutex;
Status g_status;  // guarded by g_status_mutex

// Held across a call and the reading of its status when the library offers only
// process-wide status values, so that the values read belong to this call.
std::mutex g_serial_call_mutex;

void* Find(void* handle, const char* name) {
  return dlsym(handle, name);
}

// Picks the status source of a loaded library, preferring the per-thread functions.
void FindStatus(Driver& d) {
  void* h = d.handle;
  auto use = [&d](bool per_thread, StatusValue sta, StatusValue err, StatusValue cnt) {
    d.has_status = true;
    d.per_thread = per_thread;
    d.sta = sta;
    d.err = err;
    d.cnt = cnt;
  };
  void* thread_sta = Find(h, "ThreadIbsta");
  void* thread_err = Find(h, "ThreadIberr");
  void* thread_cnt = Find(h, "ThreadIbcnt");
  if (d.family == Family::kVendor) {
    if (thread_sta && thread_err && thread_cnt) {
      use(true, {thread_sta, Source::kUlongFunction}, {thread_err, Source::kUlongFunction},
          {thread_cnt, Source::kUlongFunction});
      return;
    }
    void* sta = Find(h, "Ibsta");
    void* err = Find(h, "Iberr");
    void* cnt = Find(h, "Ibcnt");
    if (sta && err && cnt) {
      use(false, {sta, Source::kUlongFunction}, {err, Source::kUlongFunction},
          {cnt, Source::kUlongFunction});
    }
    return;
  }
  if (thread_sta && thread_err) {
    if (void* thread_cntl = Find(h, "ThreadIbcntl")) {
      use(true, {thread_sta, Source::kIntFunction}, {thread_err, Source::kIntFunction},
          {thread_cntl, Source::kLongFunction});
      return;
    }
    if (thread_cnt) {  // older releases without the long count
      use(true, {thread_sta, Source::kIntFunction}, {thread_err, Source::kIntFunction},
          {thread_cnt, Source::kIntFunction});
      return;
    }
  }
  void* sta = Find(h, "ibsta");
  void* err = Find(h, "iberr");
  if (!sta || !err)
    return;
  if (void* cntl = Find(h, "ibcntl")) {
    use(false, {sta, Source::kIntData}, {err, Source::kIntData}, {cntl, Source::kLongData});
  } else if (void* cnt = Find(h, "ibcnt")) {
    use(false, {sta, Source::kIntData}, {err, Source::kIntData}, {cnt, Source::kIntData});
  }
}

std::string LoadedPath(void* handle, const std::string& fallback) {
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && map->l_name[0]) {
    return map->l_name;
  }
  return fallback;
}

Driver Load() {
  Driver d;
  std::vector<std::string> names;
  const char* configured = std::getenv(kEnvironmentVariable);
  if (configured && configured[0]) {
    // An explicit choice is the only one: no fallback to the usual names.
    names.emplace_back(configured);
  } else {
    names = DefaultLibraryNames();
  }
  const bool from_environment = configured && configured[0];
  for (const std::string& name : names) {
    const std::string shown =
        from_environment ? std::string(kEnvironmentVariable) + "=" + name : name;
    d.handle = OpenLibrary(name, shown, d.tried, &d.load_error);
    if (d.handle) {
      d.path = LoadedPath(d.handle, name);
      break;
    }
  }
  if (!d.handle)
    return d;

  d.simulator = Find(d.handle, "vexa_sim_version") != nullptr;
  d.family = Find(d.handle, "Ibsta") ? Family::kVendor : Family::kOpenSource;
  struct Entry {
    const char* name;
    void** slot;
  };
  for (const Entry& entry : {Entry{"ibdev", &d.dev}, Entry{"ibclr", &d.clr}, Entry{"ibwrt", &d.wrt},
                             Entry{"ibrd", &d.rd}, Entry{"ibonl", &d.onl}}) {
    *entry.slot = Find(d.handle, entry.name);
    if (!*entry.slot)
      d.missing_calls.emplace_back(entry.name);
  }
  FindStatus(d);
  return d;
}

const Driver& TheDriver() {
  std::lock_guard<std::mutex> lock(g_load_mutex);
  if (!g_driver)
    g_driver = new Driver(Load());
  return *g_driver;
}

void Publish(const Status& status) {
  std::lock_guard<std::mutex> lock(g_status_mutex);
  g_status = status;
}

Status DriverFailure(int os_error) {
  return Status{kErr, kEdvr, os_error};
}

// Whether a call's status becomes the program-wide status.
enum class Visibility { kPublished, kQuiet };

// Runs one call of the library and returns its status, publishing it unless the call is
// quiet. `call` receives the entry point, already known to exist.
template <typename Call>
Status Run(void* Driver::*entry, Call call, Visibility visibility = Visibility::kPublished) {
  const auto finish = [visibility](const Status& status) {
    if (visibility == Visibility::kPublished)
      Publish(status);
    return status;
  };
  const Driver& d = TheDriver();
  if (!d.handle)
    return finish(DriverFailure(d.load_error));
  if (!(d.*entry) || !d.has_status)
    return finish(DriverFailure(ENOSYS));
  // Process-wide values are only this call's own while no other call runs.
  std::unique_lock<std::mutex> serial(g_serial_call_mutex, std::defer_lock);
  if (!d.per_thread)
    serial.lock();
  call(d, d.*entry);
  return finish(
      Status{static_cast<int>(d.sta.Read()), static_cast<int>(d.err.Read()), d.cnt.Read()});
}

Status Online(int ud, int online, Visibility visibility) {
  return Run(
      &Driver::onl,
      [&](const Driver& d, void* fn) {
        if (d.family == Family::kVendor) {
          reinterpret_cast<NiOnlFn>(fn)(ud, online);
        } else {
          reinterpret_cast<OsOnlFn>(fn)(ud, online);
        }
      },
      visibility);
}

}  // namespace

void* OpenLibrary(const std::string& name, const std::string& shown_name,
                  std::vector<LibraryLoadFailure>& failures, int* error) {
  dlerror();  // no earlier failure's text
  if (void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL))
    return handle;
  // dlopen() says why in dlerror() only; errno after it is whatever its inner calls left.
  const char* text = dlerror();
  std::string reason = text ? text : "not loadable";
  if (reason.rfind(name + ": ", 0) == 0)
    reason.erase(0, name.size() + 2);
  failures.push_back({shown_name, reason});
  if (error) {
    struct stat info {};
    if (name.find('/') == std::string::npos)
      *error = ENOENT;
    else if (::stat(name.c_str(), &info) != 0 || ::access(name.c_str(), R_OK) != 0)
      *error = errno;
    else
      *error = ENOEXEC;
  }
  return nullptr;
}

std::string DescribeLoadFailures(const std::vector<LibraryLoadFailure>& failures) {
  std::string text;
  for (std::size_t i = 0; i < failures.size(); ++i) {
    text += failures[i].name;
    const bool last_of_run =
        i + 1 == failures.size() || failures[i + 1].reason != failures[i].reason;
    text += last_of_run ? ": " + failures[i].reason + (i + 1 < failures.size() ? "; " : "") : ", ";
  }
  return text;
}

const std::vector<std::string>& DefaultLibraryNames() {
  static const std::vector<std::string> names = {
      "libgpib.so.0",                 // open-source Linux GPIB
      "/usr/local/lib/libgpib.so.0",  // the same, built from source
      "libni4882.so",                 // NI-488.2 for Linux
      "libgpibapi.so",                // older NI-488.2 for Linux
  };
  return names;
}

int ibdev(int board, int pad, int sad, int tmo, int eot, int eos, Status* status) {
  int ud = -1;
  const Status result = Run(&Driver::dev, [&](const Driver&, void* fn) {
    ud = reinterpret_cast<DevFn>(fn)(board, pad, sad, tmo, eot, eos);
  });
  if (status)
    *status = result;
  return ud;
}

Status ibclr(int ud) {
  return Run(&Driver::clr, [&](const Driver& d, void* fn) {
    if (d.family == Family::kVendor) {
      reinterpret_cast<NiClrFn>(fn)(ud);
    } else {
      reinterpret_cast<OsClrFn>(fn)(ud);
    }
  });
}

Status ibwrt(int ud, const void* buffer, long count) {
  return Run(&Driver::wrt, [&](const Driver& d, void* fn) {
    if (d.family == Family::kVendor) {
      reinterpret_cast<NiWrtFn>(fn)(ud, buffer, static_cast<std::size_t>(count < 0 ? 0 : count));
    } else {
      reinterpret_cast<OsWrtFn>(fn)(ud, buffer, count);
    }
  });
}

Status ibrd(int ud, void* buffer, long count) {
  return Run(&Driver::rd, [&](const Driver& d, void* fn) {
    if (d.family == Family::kVendor) {
      reinterpret_cast<NiRdFn>(fn)(ud, buffer, static_cast<std::size_t>(count < 0 ? 0 : count));
    } else {
      reinterpret_cast<OsRdFn>(fn)(ud, buffer, count);
    }
  });
}

Status ibonl(int ud, int online) {
  return Online(ud, online, Visibility::kPublished);
}

Status RefusedCall() {
  const Status failure = DriverFailure(EBADF);
  Publish(failure);
  return failure;
}

Status ReleaseQuietly(int ud) {
  return Online(ud, 0, Visibility::kQuiet);
}

Status LastStatus() {
  std::lock_guard<std::mutex> lock(g_status_mutex);
  return g_status;
}

std::string DriverNote() {
  const Driver& d = TheDriver();
  if (!d.handle)
    return "GPIB driver: none found (tried " + DescribeLoadFailures(d.tried) + ")";
  if (d.simulator) {
    return "GPIB driver: VEXA instrument simulator (" + d.path + ") - no real instruments";
  }
  std::string note = "GPIB driver: " + d.path;
  if (!d.has_status) {
    note += " (unusable: it has no status values)";
  } else if (!d.missing_calls.empty()) {
    note += " (lacks " + JoinNames(d.missing_calls) + ")";
  }
  return note;
}

bool DriverIsSimulator() {
  return TheDriver().simulator;
}

void ReloadDriver() {
  {
    std::lock_guard<std::mutex> lock(g_load_mutex);
    if (g_driver) {
      if (g_driver->handle)
        dlclose(g_driver->handle);
      delete g_driver;
      g_driver = nullptr;
    }
  }
  Publish(Status{});
}

}  // namespace vexa::gpib
