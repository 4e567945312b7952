// The GPIB driver: a C library with the NI-488.2 style calls, loaded at run time.
//
// There is one driver per process, not one per station: the C library keeps its status values
// (ibsta, iberr, ibcntl) and its unit descriptors process-wide, so two loads of it would share
// them anyway. Every session and transport therefore goes through the functions below.
//
// The library is opened with dlopen on the first call of any function below (or the first
// DriverNote()), from the path in $VEXA_GPIB_LIBRARY when that is set (and then only from
// there), otherwise from the usual Linux driver names in DefaultLibraryNames() order. The
// instrument simulator is never used unless it is named explicitly.
//
// Every call returns the status of that very call, read on the calling thread right after it,
// and (all but ReleaseQuietly) also copies it into the program-wide status (LastStatus()),
// which all sessions and threads share. When no library could be loaded, or the library lacks
// the entry point or a way to read the status values, the call does nothing and reports ERR
// with iberr EDVR and ibcntl set to the operating-system error code; ibdev then returns -1.
#pragma once

#include <string>
#include <vector>

#include "instrument/bus/bus_status.h"

namespace vexa::gpib {

// The driver's calls report in the status terms every transport shares.
using bus::Status;

// The five driver calls. ibdev returns the unit descriptor or -1; its status goes to *status
// when given. The others return the status of their call.
int ibdev(int board, int pad, int sad, int tmo, int eot, int eos, Status* status = nullptr);
Status ibclr(int ud);
Status ibwrt(int ud, const void* buffer, long count);
Status ibrd(int ud, void* buffer, long count);
Status ibonl(int ud, int online);

// ibonl(ud, 0), releasing the descriptor, without publishing its status: the program-wide
// status keeps the last status the program's own operations produced, which they may still
// read (a session releases a replaced descriptor whenever its last user finishes). Serialised
// with the other calls like them when the library keeps only process-wide status values.
Status ReleaseQuietly(int ud);

// The failure of a call that is not made because its descriptor is no longer (or not yet)
// the caller's: ERR, EDVR and EBADF, published like a call's status. A session answers so
// for a descriptor that an error report took offline, whose number the driver may already
// have handed to another device, and for the test set's handle before its first open.
Status RefusedCall();

// The program-wide ibsta, iberr and ibcntl: the status of the last call made by any thread
// (quiet releases aside).
Status LastStatus();

// One line for the instrument pages naming the driver in use, for example
// "GPIB driver: /usr/lib/libgpib.so.0", or the names tried and why none loaded: "GPIB driver:
// none found (tried libgpib.so.0, ...: cannot open shared object file: No such file or
// directory)" (see DescribeLoadFailures).
// Loads the driver if no call has done so yet.
std::string DriverNote();

// True when the loaded library is the VEXA instrument simulator.
bool DriverIsSimulator();

// The names tried, in order, when $VEXA_GPIB_LIBRARY is not set.
const std::vector<std::string>& DefaultLibraryNames();

// A run-time library that did not load: the name tried (as the note shows it) and why, in
// dlerror()'s words without the name it starts with.
struct LibraryLoadFailure {
  std::string name;
  std::string reason;
};

// dlopen() for the GPIB and VISA loaders. On failure, returns nullptr and adds the name and
// dlerror()'s reason to `failures` (the name shown as `shown_name`). `error` then receives an
// operating-system code for the failure: the file's own error (ENOENT, EACCES, ...) for a
// path, ENOEXEC for a file that is there but no loadable library, ENOENT for a name the
// loader searched for.
void* OpenLibrary(const std::string& name, const std::string& shown_name,
                  std::vector<LibraryLoadFailure>& failures, int* error = nullptr);

// The names tried, in order, each run of names that failed for the same reason followed by
// it: "libgpib.so.0: wrong ELF class: ELFCLASS32; libni4882.so, libgpibapi.so: cannot open
// shared object file: No such file or directory".
std::string DescribeLoadFailures(const std::vector<LibraryLoadFailure>& failures);

// Closes the library in use and clears the program-wide status, so that the next call loads
// again, reading $VEXA_GPIB_LIBRARY anew: how a process switches between drivers (the
// simulator and a bus adapter's library) after changing that variable. The descriptors of the
// old library go with it. No driver call may be in progress, and no session may still hold a
// descriptor (the stations using the driver are gone).
void ReloadDriver();

}  // namespace vexa::gpib
