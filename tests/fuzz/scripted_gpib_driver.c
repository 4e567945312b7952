/* A GPIB driver for the console fuzz target, with the calls and the per-thread status
 * functions of the open-source Linux GPIB library. What the next ibrd and ibwrt do is set
 * through the scripted_gpib_* control functions; every other call completes.
 *
 *   ibdev   returns 100 + pad, CMPL
 *   ibclr   CMPL
 *   ibwrt   records the bytes; status as scripted (CMPL and count = bytes by default)
 *   ibrd    copies the scripted reply, at most `count` bytes, into the buffer and reports the
 *           scripted ibsta, iberr and ibcntl, whatever they are (a count larger than the
 *           buffer included); records the count it was asked for
 *   ibonl   CMPL
 *
 * The status values are per-thread, like the library's ThreadIbsta() family. */
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#define CMPL 0x0100
#define END 0x2000

static _Thread_local int t_sta;
static _Thread_local int t_err;
static _Thread_local long t_cnt;

static void set_status(int sta, int err, long cnt) {
  t_sta = sta;
  t_err = err;
  t_cnt = cnt;
}

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

/* The script. */
static unsigned char* g_reply;
static size_t g_reply_size;
static int g_read_sta = END | CMPL;
static int g_read_err;
static long g_read_cnt;
static int g_write_fails;
static int g_write_sta;
static int g_write_err;

/* What the program did. */
static long g_reads;
static long g_last_read_count;
static long g_writes;
static unsigned char* g_written;
static size_t g_written_size;

void scripted_gpib_set_read(const void* bytes, size_t size, int ibsta, int iberr, long ibcntl) {
  free(g_reply);
  g_reply = NULL;
  g_reply_size = 0;
  if (size > 0) {
    g_reply = malloc(size);
    if (!g_reply)
      abort();
    memcpy(g_reply, bytes, size);
    g_reply_size = size;
  }
  g_read_sta = ibsta;
  g_read_err = iberr;
  g_read_cnt = ibcntl;
}

/* fails == 0: writes complete with CMPL and count = bytes; otherwise they report ibsta and
 * iberr as given, with count 0. */
void scripted_gpib_set_write(int fails, int ibsta, int iberr) {
  g_write_fails = fails;
  g_write_sta = ibsta;
  g_write_err = iberr;
}

/* Clears the record of reads and writes. */
void scripted_gpib_reset_record(void) {
  g_reads = 0;
  g_last_read_count = -1;
  g_writes = 0;
  free(g_written);
  g_written = NULL;
  g_written_size = 0;
}

long scripted_gpib_reads(void) {
  return g_reads;
}
long scripted_gpib_last_read_count(void) {
  return g_last_read_count;
}
long scripted_gpib_writes(void) {
  return g_writes;
}
/* The bytes of the last ibwrt; their number goes to *size. */
const void* scripted_gpib_last_write(size_t* size) {
  *size = g_written_size;
  return g_written;
}

int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
  (void)board;
  (void)sad;
  (void)tmo;
  (void)eot;
  (void)eos;
  set_status(CMPL, 0, 0);
  return 100 + pad;
}

int ibclr(int ud) {
  (void)ud;
  set_status(CMPL, 0, 0);
  return CMPL;
}

int ibwrt(int ud, const void* buffer, long count) {
  (void)ud;
  ++g_writes;
  free(g_written);
  g_written = NULL;
  g_written_size = count > 0 ? (size_t)count : 0;
  if (g_written_size > 0) {
    g_written = malloc(g_written_size);
    if (!g_written)
      abort();
    memcpy(g_written, buffer, g_written_size);
  }
  if (g_write_fails) {
    set_status(g_write_sta, g_write_err, 0);
    return g_write_sta;
  }
  set_status(CMPL, 0, count);
  return CMPL;
}

int ibrd(int ud, void* buffer, long count) {
  size_t copied = g_reply_size;
  (void)ud;
  ++g_reads;
  g_last_read_count = count;
  if (count < 0)
    count = 0;
  if ((size_t)count < copied)
    copied = (size_t)count;
  if (copied > 0)
    memcpy(buffer, g_reply, copied);
  set_status(g_read_sta, g_read_err, g_read_cnt);
  return g_read_sta;
}

int ibonl(int ud, int online) {
  (void)ud;
  (void)online;
  set_status(CMPL, 0, 0);
  return CMPL;
}
