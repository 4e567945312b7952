// The GPIB driver entry points that libvexa-gpib-sim.so exports, declared as the library
// defines them, for programs that link the simulator directly instead of loading it as a
// driver (vexa-instrument-sim and its tests).
#pragma once

extern "C" {
int ibdev(int board, int pad, int sad, int tmo, int eot, int eos);
int ibwrt(int ud, const void* buffer, long count);
int ibrd(int ud, void* buffer, long count);
int ibonl(int ud, int online);
// The status of this thread's last call.
int ThreadIbsta(void);
int ThreadIberr(void);
long ThreadIbcntl(void);
}
