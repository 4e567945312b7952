/* A tiny GPIB driver for the loader tests, built once per way a real library exposes its
 * status values (one of the FAKE_* macros):
 *   FAKE_OPEN_SOURCE_THREAD   per-thread int ThreadIbsta/ThreadIberr/ThreadIbcnt, long
 *                             ThreadIbcntl; the data ibsta/iberr/ibcnt/ibcntl hold stale values
 *   FAKE_OPEN_SOURCE_DATA     only the data int ibsta, iberr, ibcnt and long ibcntl
 *   FAKE_VENDOR_THREAD        per-thread unsigned long ThreadIbsta/ThreadIberr/ThreadIbcnt;
 *                             the process-wide Ibsta()/Iberr()/Ibcnt() give stale values
 *   FAKE_VENDOR_PROCESS       only unsigned long Ibsta(), Iberr(), Ibcnt()
 *   FAKE_NO_STATUS            the five calls without any status values
 * FAKE_WITHOUT_IBCLR leaves out ibclr. The stale values prove that the loader reads the
 * per-thread functions when a library has them.
 *
 * Every call gives a fixed status: ibdev returns 100 + pad with CMPL; ibclr fails with ENOL;
 * ibwrt completes with ibcntl = count; ibrd receives "FAKE\n" with END; ibonl completes. */
#include <stddef.h>
#include <string.h>

#define CMPL 0x0100
#define END 0x2000
#define ERR 0x8000
#define ENOL 2
#define STALE 0x7777

static _Thread_local int t_sta;
static _Thread_local int t_err;
static _Thread_local long t_cnt;

#if defined(FAKE_OPEN_SOURCE_THREAD) || defined(FAKE_OPEN_SOURCE_DATA)
volatile int ibsta, iberr, ibcnt;
volatile long ibcntl;
#endif

#if defined(FAKE_VENDOR_THREAD) || defined(FAKE_VENDOR_PROCESS)
static int process_sta, process_err;
static long process_cnt;
#endif

static void set_status(int sta, int err, long cnt) {
  t_sta = sta;
  t_err = err;
  t_cnt = cnt;
#if defined(FAKE_OPEN_SOURCE_THREAD)
  ibsta = STALE;
  iberr = STALE;
  ibcnt = STALE;
  ibcntl = STALE;
#elif defined(FAKE_OPEN_SOURCE_DATA)
  ibsta = sta;
  iberr = err;
  ibcnt = (int)cnt;
  ibcntl = cnt;
#elif defined(FAKE_VENDOR_THREAD)
  process_sta = STALE;
  process_err = STALE;
  process_cnt = STALE;
#elif defined(FAKE_VENDOR_PROCESS)
  process_sta = sta;
  process_err = err;
  process_cnt = cnt;
#endif
}

#if defined(FAKE_OPEN_SOURCE_THREAD)
int ThreadIbsta(void) {
  return t_sta;
}
int ThreadIberr(void) {
  return t_err;
}
int ThreadIbcnt(void) {
  return (int)t_cnt;
}
long ThreadIbcntl(void) {
  return t_cnt;
}
#endif

#if defined(FAKE_VENDOR_THREAD)
unsigned long ThreadIbsta(void) {
  return (unsigned long)t_sta;
}
unsigned long ThreadIberr(void) {
  return (unsigned long)t_err;
}
unsigned long ThreadIbcnt(void) {
  return (unsigned long)t_cnt;
}
#endif

#if defined(FAKE_VENDOR_THREAD) || defined(FAKE_VENDOR_PROCESS)
unsigned long Ibsta(void) {
  return (unsigned long)process_sta;
}
unsigned long Iberr(void) {
  return (unsigned long)process_err;
}
unsigned long Ibcnt(void) {
  return (unsigned long)process_cnt;
}
#endif

int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
  (void)board;
  (void)sad;
  (void)tmo;
  (void)eot;
  (void)eos;
  set_status(CMPL, 0, 0);
  return 100 + pad;
}

#if defined(FAKE_VENDOR_THREAD) || defined(FAKE_VENDOR_PROCESS)
typedef unsigned long result_t;
typedef size_t count_t;
#else
typedef int result_t;
typedef long count_t;
#endif

#if !defined(FAKE_WITHOUT_IBCLR)
result_t ibclr(int ud) {
  (void)ud;
  set_status(ERR | CMPL, ENOL, 0);
  return (result_t)(ERR | CMPL);
}
#endif

result_t ibwrt(int ud, const void* buffer, count_t count) {
  (void)ud;
  (void)buffer;
  set_status(CMPL, 0, (long)count);
  return CMPL;
}

result_t ibrd(int ud, void* buffer, count_t count) {
  static const char answer[] = "FAKE\n";
  size_t received = sizeof answer - 1;
  (void)ud;
  if ((size_t)count < received)
    received = (size_t)count;
  memcpy(buffer, answer, received);
  set_status(END | CMPL, 0, (long)received);
  return END | CMPL;
}

result_t ibonl(int ud, int online) {
  (void)ud;
  (void)online;
  set_status(CMPL, 0, 0);
  return CMPL;
}
