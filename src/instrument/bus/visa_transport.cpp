#include "instrument/bus/visa_transport.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <mutex>

#include "core/text_format.h"
#include "instrument/bus/gpib_driver.h"

namespace vexa {
namespace {

// The VISA C interface (VPP-4.3), the parts used here. ViSession and ViUInt32 are 32 bits,
// ViStatus a signed 32-bit code (negative: an error), attribute values 64 bits wide on 64-bit
// systems.
using ViStatus = std::int32_t;
using ViSession = std::uint32_t;
using ViUInt32 = std::uint32_t;
using ViAttr = std::uint32_t;
using ViAttrState = std::uint64_t;

constexpr ViStatus kViSuccess = 0;
constexpr ViStatus kViSuccessTermChar = 0x3FFF0005;
constexpr ViStatus kViSuccessMaxCount = 0x3FFF0006;
constexpr ViStatus kViErrorSystemError = static_cast<ViStatus>(0xBFFF0000u);
constexpr ViStatus kViErrorInvObject = static_cast<ViStatus>(0xBFFF000Eu);
constexpr ViStatus kViErrorRsrcNotFound = static_cast<ViStatus>(0xBFFF0011u);
constexpr ViStatus kViErrorInvRsrcName = static_cast<ViStatus>(0xBFFF0012u);
constexpr ViStatus kViErrorTmo = static_cast<ViStatus>(0xBFFF0015u);
constexpr ViStatus kViErrorLibraryNotFound = static_cast<ViStatus>(0xBFFF009Eu);

constexpr ViAttr kAttrSendEndEnabled = 0x3FFF0016;
constexpr ViAttr kAttrTermChar = 0x3FFF0018;
constexpr ViAttr kAttrTimeoutValue = 0x3FFF001A;
constexpr ViAttr kAttrTermCharEnabled = 0x3FFF0038;
constexpr ViUInt32 kTimeoutMs = 10000;  // the GPIB bus time-out

using OpenDefaultRmFn = ViStatus (*)(ViSession*);
using OpenFn = ViStatus (*)(ViSession, const char*, ViUInt32, ViUInt32, ViSession*);
using CloseFn = ViStatus (*)(ViSession);
using SetAttributeFn = ViStatus (*)(ViSession, ViAttr, ViAttrState);
using ClearFn = ViStatus (*)(ViSession);
using IoFn = ViStatus (*)(ViSession, unsigned char*, ViUInt32, ViUInt32*);
using WriteFn = ViStatus (*)(ViSession, const unsigned char*, ViUInt32, ViUInt32*);

struct Library {
  void* handle = nullptr;
  std::string path;
  std::vector<gpib::LibraryLoadFailure> tried;  // names tried and why, when none loaded
  std::vector<std::string> missing_calls;
  OpenDefaultRmFn open_default_rm = nullptr;
  OpenFn open = nullptr;
  CloseFn close = nullptr;
  SetAttributeFn set_attribute = nullptr;
  ClearFn clear = nullptr;
  IoFn read = nullptr;
  WriteFn write = nullptr;
  bool usable = false;
  // The default resource manager, opened with the first viOpen.
  std::mutex rm_mutex;
  bool rm_open = false;
  ViSession rm = 0;
};

constexpr const char* kEnvironmentVariable = "VEXA_VISA_LIBRARY";

std::mutex g_load_mutex;
Library* g_library = nullptr;  // guarded by g_load_mutex; its calls fixed once published

SharedStatus g_status;

bus::Status Publish(const bus::Status& status) {
  return g_status.Publish(status);
}

bus::Status StatusOf(ViStatus code, long count) {
  if (code < 0)
    return bus::Status{bus::kErr | (code == kViErrorTmo ? bus::kTimo : 0), code, count};
  const bool end = code == kViSuccess || code == kViSuccessTermChar;
  return bus::Status{bus::kCmpl | (end ? bus::kEnd : 0), code, count};
}

Library* Load() {
  auto* library = new Library;
  std::vector<std::string> names;
  const char* configured = std::getenv(kEnvironmentVariable);
  if (configured && configured[0]) {
    names.emplace_back(configured);
  } else {
    names = DefaultVisaLibraryNames();
  }
  const bool from_environment = configured && configured[0];
  for (const std::string& name : names) {
    const std::string shown =
        from_environment ? std::string(kEnvironmentVariable) + "=" + name : name;
    library->handle = gpib::OpenLibrary(name, shown, library->tried);
    if (library->handle) {
      link_map* map = nullptr;
      library->path = dlinfo(library->handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name &&
                              map->l_name[0]
                          ? map->l_name
                          : name;
      break;
    }
  }
  if (!library->handle)
    return library;
  const auto find = [library](const char* name, auto& slot) {
    slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(library->handle, name));
    if (!slot)
      library->missing_calls.emplace_back(name);
  };
  find("viOpenDefaultRM", library->open_default_rm);
  find("viOpen", library->open);
  find("viClose", library->close);
  find("viSetAttribute", library->set_attribute);
  find("viClear", library->clear);
  find("viRead", library->read);
  find("viWrite", library->write);
  library->usable = library->missing_calls.empty();
  return library;
}

Library& TheLibrary() {
  std::lock_guard<std::mutex> lock(g_load_mutex);
  if (!g_library)
    g_library = Load();
  return *g_library;
}

// The failure of every call when no usable library is loaded.
bus::Status Unavailable() {
  return Publish(StatusOf(kViErrorLibraryNotFound, 0));
}

}  // namespace

const std::vector<std::string>& DefaultVisaLibraryNames() {
  static const std::vector<std::string> names = {
      "libvisa.so",      // NI-VISA, and the name other vendors' libraries also install under
      "libvisa.so.0",    //
      "librsvisa.so",    // Rohde & Schwarz VISA
      "libktvisa32.so",  // Keysight IO Libraries
      "libiovisa.so",    // older Keysight / Agilent IO Libraries
  };
  return names;
}

std::string VisaLibraryNote() {
  const Library& library = TheLibrary();
  if (!library.handle)
    return "VISA: none found (tried " + gpib::DescribeLoadFailures(library.tried) + ")";
  std::string note = "VISA: " + library.path;
  if (!library.usable)
    note += " (lacks " + JoinNames(library.missing_calls) + ")";
  return note;
}

void ReloadVisaLibrary() {
  std::lock_guard<std::mutex> lock(g_load_mutex);
  if (g_library) {
    if (g_library->handle)
      dlclose(g_library->handle);
    delete g_library;
    g_library = nullptr;
  }
  g_status.Publish(bus::Status{});
}

VisaTransport::VisaTransport(const InstrumentAddress& address)
    : Transport(address.resource), line_terminated_(address.natural == TransportKind::kSocket) {}

int VisaTransport::Open(bus::Status& status) {
  Library& library = TheLibrary();
  if (!library.usable) {
    status = Unavailable();
    return -1;
  }
  {
    std::lock_guard<std::mutex> lock(library.rm_mutex);
    if (!library.rm_open) {
      const ViStatus opened = library.open_default_rm(&library.rm);
      if (opened < 0) {
        status = Publish(StatusOf(opened, 0));
        return -1;
      }
      library.rm_open = true;
    }
  }
  ViSession vi = 0;
  const ViStatus opened = library.open(library.rm, resource().c_str(), 0, 0, &vi);
  if (opened < 0) {
    status = Publish(StatusOf(opened, 0));
    return -1;
  }
  // Descriptors are ints here; a session number beyond that range cannot be carried.
  if (vi > static_cast<ViSession>(INT32_MAX)) {
    library.close(vi);
    status = Publish(StatusOf(kViErrorSystemError, 0));
    return -1;
  }
  library.set_attribute(vi, kAttrTimeoutValue, kTimeoutMs);
  library.set_attribute(vi, kAttrSendEndEnabled, 1);
  if (line_terminated_) {
    library.set_attribute(vi, kAttrTermChar, '\n');
    library.set_attribute(vi, kAttrTermCharEnabled, 1);
  }
  status = Publish(StatusOf(opened, 0));
  return static_cast<int>(vi);
}

bus::Status VisaTransport::Clear(int ud) {
  Library& library = TheLibrary();
  if (!library.usable)
    return Unavailable();
  return Publish(StatusOf(library.clear(static_cast<ViSession>(ud)), 0));
}

bus::Status VisaTransport::Write(int ud, const void* buffer, long count) {
  Library& library = TheLibrary();
  if (!library.usable)
    return Unavailable();
  std::string message(static_cast<const char*>(buffer),
                      static_cast<std::size_t>(std::max(count, 0L)));
  if (line_terminated_)
    message += '\n';
  ViUInt32 written = 0;
  const ViStatus result = library.write(static_cast<ViSession>(ud),
                                        reinterpret_cast<const unsigned char*>(message.data()),
                                        static_cast<ViUInt32>(message.size()), &written);
  // The count is of the command's own bytes, as on GPIB.
  const long counted = std::min<long>(written, std::max(count, 0L));
  return Publish(StatusOf(result, counted));
}

bus::Status VisaTransport::Read(int ud, void* buffer, long count) {
  Library& library = TheLibrary();
  if (!library.usable)
    return Unavailable();
  ViUInt32 received = 0;
  const ViStatus result =
      library.read(static_cast<ViSession>(ud), static_cast<unsigned char*>(buffer),
                   static_cast<ViUInt32>(std::clamp<long>(count, 0, INT32_MAX)), &received);
  return Publish(StatusOf(result, std::min<long>(received, std::max(count, 0L))));
}

bus::Status VisaTransport::TakeOffline(int ud) {
  Library& library = TheLibrary();
  if (!library.usable)
    return Unavailable();
  return Publish(StatusOf(library.close(static_cast<ViSession>(ud)), 0));
}

void VisaTransport::ReleaseQuietly(int ud) {
  Library& library = TheLibrary();
  if (library.usable)
    library.close(static_cast<ViSession>(ud));
}

bus::Status VisaTransport::RefusedCall() {
  return Publish(StatusOf(kViErrorInvObject, 0));
}

bus::Status VisaTransport::LastStatus() const {
  return g_status.Last();
}

std::string VisaTransport::StatusName(int status) {
  struct Name {
    ViStatus code;
    const char* name;
  };
  static constexpr Name kNames[] = {
      {kViSuccess, "VI_SUCCESS"},
      {kViSuccessTermChar, "VI_SUCCESS_TERM_CHAR"},
      {kViSuccessMaxCount, "VI_SUCCESS_MAX_CNT"},
      {kViErrorSystemError, "VI_ERROR_SYSTEM_ERROR"},
      {kViErrorInvObject, "VI_ERROR_INV_OBJECT"},
      {static_cast<ViStatus>(0xBFFF000Fu), "VI_ERROR_RSRC_LOCKED"},
      {kViErrorRsrcNotFound, "VI_ERROR_RSRC_NFOUND"},
      {kViErrorInvRsrcName, "VI_ERROR_INV_RSRC_NAME"},
      {kViErrorTmo, "VI_ERROR_TMO"},
      {static_cast<ViStatus>(0xBFFF0030u), "VI_ERROR_ABORT"},
      {static_cast<ViStatus>(0xBFFF003Eu), "VI_ERROR_IO"},
      {static_cast<ViStatus>(0xBFFF005Fu), "VI_ERROR_NLISTENERS"},
      {static_cast<ViStatus>(0xBFFF0060u), "VI_ERROR_NCIC"},
      {static_cast<ViStatus>(0xBFFF0067u), "VI_ERROR_NSUP_OPER"},
      {static_cast<ViStatus>(0xBFFF0072u), "VI_ERROR_RSRC_BUSY"},
      {static_cast<ViStatus>(0xBFFF0078u), "VI_ERROR_INV_PARAMETER"},
      {kViErrorLibraryNotFound, "VI_ERROR_LIBRARY_NFOUND"},
      {static_cast<ViStatus>(0xBFFF00A6u), "VI_ERROR_CONN_LOST"},
      {static_cast<ViStatus>(0xBFFF00A7u), "VI_ERROR_MACHINE_NAVAIL"},
      {static_cast<ViStatus>(0xBFFF00A8u), "VI_ERROR_NPERMISSION"},
  };
  for (const Name& name : kNames) {
    if (name.code == status)
      return name.name;
  }
  return "";
}

std::string VisaTransport::ErrorLine(const std::string& text, const bus::Status& status) const {
  return Format("%s status = 0x%x viStatus = 0x%08X (%s)", text.c_str(),
                static_cast<unsigned>(status.ibsta), static_cast<unsigned>(status.iberr),
                StatusName(status.iberr).c_str());
}

std::string VisaTransport::OpenFailureNote(const bus::Status& status) const {
  switch (status.iberr) {
    case kViErrorLibraryNotFound:
      return "No usable VISA library: " + VisaLibraryNote().substr(6);
    case kViErrorRsrcNotFound:
      return "VISA found no instrument at " + resource();
    case kViErrorInvRsrcName:
      return "VISA does not understand the address " + resource();
    case kViErrorTmo:
      return "No answer from " + resource() + " within 10 s";
    default:
      return "";
  }
}

std::string VisaTransport::Note() const {
  return VisaLibraryNote();
}

}  // namespace vexa
