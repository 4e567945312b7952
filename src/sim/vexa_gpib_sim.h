/* Control API of libvexa-gpib-sim.so, the VEXA instrument simulator.
 *
 * The library is a GPIB driver with the entry points of the open-source Linux GPIB library
 * (ibdev, ibclr, ibwrt, ibrd, ibonl; status in ibsta/iberr/ibcnt/ibcntl and the per-thread
 * ThreadIbsta/ThreadIberr/ThreadIbcnt/ThreadIbcntl). Address 14 holds a GSM radio test set
 * with a phone in a call, address 5 a DC source; no other address answers: ibdev and ibclr
 * succeed there as on a real bus, a write fails with ENOL and a read times out.
 *
 * A program that cannot call the functions below (vexa-cli in a script, say) can set the
 * simulator's start-up state in the environment: VEXA_SIM_SETUP holds "name=value" entries
 * separated by ';' with the names of vexa_sim_set_value and "latency_ms", "speed",
 * "timeout_scale", "call" (0: the call is down) and "drop_call_after", for example
 * VEXA_SIM_SETUP='tx_power_offset=4;latency_ms=20'. It is read when the library is first used;
 * vexa_sim_reset does not apply it again.
 *
 * The functions below let tests steer the simulator. All are thread-safe and take effect at
 * once, also for calls already waiting. Addresses are GPIB primary addresses (14, 5).
 */
#ifndef VEXA_GPIB_SIM_H
#define VEXA_GPIB_SIM_H

#if defined(__GNUC__)
#define VEXA_SIM_API __attribute__((visibility("default")))
#else
#define VEXA_SIM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Its presence marks the library as the simulator; returns a version text. */
VEXA_SIM_API const char* vexa_sim_version(void);

/* Back to the power-on state: instruments, phone values, call up, descriptors released (calls
 * waiting on them fail), faults, pending call drops and command logs cleared, latency 0,
 * speed 1, time-out scale 1. */
VEXA_SIM_API void vexa_sim_reset(void);

/* Drops (0) or restores (non-zero) the call between the test set and the phone. */
VEXA_SIM_API void vexa_sim_set_call_connected(int connected);

/* Drops the call once the test set has received `messages` more messages (non-empty writes to
 * address 14; the last of them is still answered with the call up). 0 cancels a pending drop.
 * The call comes back with vexa_sim_set_call_connected(1); a reset cancels the drop. */
VEXA_SIM_API void vexa_sim_drop_call_after(int messages);

/* Faults of the next `count` reads from `address`. */
enum {
  VEXA_SIM_READ_NORMAL = 0,  /* cancels pending faults */
  VEXA_SIM_READ_TIMEOUT = 1, /* waits the descriptor's time-out, then ERR|TIMO, EABO */
  VEXA_SIM_READ_EMPTY = 2,   /* succeeds with nothing received (ibcntl 0) */
  VEXA_SIM_READ_GARBLED = 3  /* succeeds with bytes that are not the answer */
};
VEXA_SIM_API void vexa_sim_fail_next_reads(int address, int mode, int count);

/* The next ibclr of `address` fails with ERR and EBUS. */
VEXA_SIM_API void vexa_sim_fail_next_clear(int address);

/* Sets a measured value of the simulated phone by name; returns 0, or -1 for an unknown name.
 * Test set: "tx_power_offset" (dB), "frequency_error_ppm", "rms_phase_error" and
 * "peak_phase_error" (degrees), "pvt_mask_fail" (non-zero fails), "orfs_offset" (dB),
 * "rxlev_offset", "rxqual_offset", "ber_offset" (percentage points), "cable_loss" (dB lost by
 * the bench cable between test set and phone, both ways; the test set's cable-loss correction
 * table makes up for it, see sim/test_set.h), "noise" (largest reproducible random deviation
 * of every measured value, 0 = none, see sim/test_set.h).
 * DC source: "current" (A: a steady load of that current instead of the phone's profile, see
 * sim/dc_source.h), "current_spread" (fraction, 0 = exact). */
VEXA_SIM_API int vexa_sim_set_value(const char* name, double value);

/* The answers of the DC source's next MEASure:CURRent? queries, in order, separated by ';'
 * (each sent with the terminator; an entry may be any text: "0.25;abc;" answers "0.25", "abc"
 * and an empty line); after them the phone's readings again. Replaces answers still pending;
 * NULL clears them. A reset clears them too. */
VEXA_SIM_API void vexa_sim_script_readings(const char* answers);

/* Extra time of every successful ibclr, ibwrt and ibrd, in milliseconds (default 0). */
VEXA_SIM_API void vexa_sim_set_latency_ms(double milliseconds);

/* Multiplies the DC source's acquisition time (default 1; 0 answers at once). */
VEXA_SIM_API void vexa_sim_set_speed(double factor);

/* Multiplies every read time-out (default 1: time-out code 13 waits 10 s). */
VEXA_SIM_API void vexa_sim_set_timeout_scale(double scale);

/* The command log: the non-empty messages written to `address`, in order, while logging is on
 * (the default; a reset turns it on again). It keeps the last VEXA_SIM_LOG_MAX_ENTRIES
 * messages and no more than VEXA_SIM_LOG_MAX_BYTES bytes of them (the newest message always),
 * dropping the oldest first: entry 0 is the oldest kept. A message longer than
 * VEXA_SIM_LOG_MAX_ENTRY_BYTES is logged cut to that length. Off (0), messages are no longer
 * added; entries already logged stay. */
enum {
  VEXA_SIM_LOG_MAX_ENTRIES = 10000,
  VEXA_SIM_LOG_MAX_BYTES = 4 * 1024 * 1024,
  VEXA_SIM_LOG_MAX_ENTRY_BYTES = 64 * 1024
};
VEXA_SIM_API void vexa_sim_set_command_log(int enabled);
/* The number of entries in the command log of `address`. */
VEXA_SIM_API int vexa_sim_log_count(int address);
/* Copies entry `index` into `buffer` (terminated, cut to `size` - 1 characters) and returns
 * its full length, or -1 when there is no such entry. */
VEXA_SIM_API int vexa_sim_log_entry(int address, int index, char* buffer, int size);

/* The number of descriptors currently open (not yet released by ibonl(ud, 0)). */
VEXA_SIM_API int vexa_sim_open_descriptors(void);

#ifdef __cplusplus
}
#endif

#endif /* VEXA_GPIB_SIM_H */
