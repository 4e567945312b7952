#!/usr/bin/env python3
"""Start-up benchmark: vexa against a bare Qt window.

Starts build/src/app/vexa and build/bench/bare_window alternately, N times each, with
VEXA_STARTUP_PROBE=1. Each program prints one line once its window has been exposed and
painted for the first time (src/app/startup_probe.h) and exits at once. For every run this
script takes the time from just before the spawn to that moment (both on CLOCK_MONOTONIC),
the CPU time the program had used by then, and its peak memory (VmHWM) then, and prints the
medians and the ratios vexa / bare window.

vexa runs as scripts/run.sh runs it: with the instrument simulator as its GPIB driver
(VEXA_GPIB_LIBRARY=<build>/src/sim/libvexa-gpib-sim.so).

Platforms: "xvfb" starts one private Xvfb server for the whole benchmark and runs the
programs on Qt's xcb platform; "offscreen" uses Qt's offscreen platform. Default: xvfb when
Xvfb is installed, else offscreen.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
PROBE_PREFIX = "startup-probe "
BASELINE = "bare window"


def parse_args():
    parser = argparse.ArgumentParser(
        description="Start-up time and peak memory of vexa against a bare Qt 6 window.")
    parser.add_argument("-n", "--runs", type=int, default=30,
                        help="measured runs of each program (default 30)")
    parser.add_argument("--warmup", type=int, default=1,
                        help="unmeasured runs of each program first (default 1)")
    parser.add_argument("--platform", choices=["xvfb", "offscreen"],
                        default="xvfb" if shutil.which("Xvfb") else "offscreen",
                        help="where the windows open (default: xvfb if Xvfb is installed, "
                             "else offscreen)")
    parser.add_argument("--xvfb-reset", action="store_true",
                        help="let Xvfb reset whenever a program exits (no -noreset), as a fresh "
                             "server per run would: every start then waits for the reset")
    parser.add_argument("--build", type=Path, default=REPO / "build",
                        help="build directory (default: build/ at the top of the repository)")
    parser.add_argument("--vexa", type=Path, help="vexa executable (default: BUILD/src/app/vexa)")
    parser.add_argument("--bare", type=Path,
                        help="baseline executable (default: BUILD/bench/bare_window)")
    parser.add_argument("--gpib-library", type=Path,
                        help="VEXA_GPIB_LIBRARY for vexa "
                             "(default: BUILD/src/sim/libvexa-gpib-sim.so)")
    parser.add_argument("--also", type=Path, action="append", default=[], metavar="EXE",
                        help="another vexa build to measure in the same rotation, for example "
                             "one with a change under test (repeatable)")
    parser.add_argument("--timeout", type=float, default=30.0,
                        help="seconds a run may take before it counts as failed (default 30)")
    parser.add_argument("--raw", action="store_true", help="print every run")
    args = parser.parse_args()
    if args.runs < 1 or args.warmup < 0:
        parser.error("--runs must be at least 1 and --warmup at least 0")
    args.vexa = (args.vexa or args.build / "src/app/vexa").resolve()
    args.bare = (args.bare or args.build / "bench/bare_window").resolve()
    args.gpib_library = (args.gpib_library or
                         args.build / "src/sim/libvexa-gpib-sim.so").resolve()
    args.also = [path.resolve() for path in args.also]
    for path in (args.vexa, args.bare, args.gpib_library, *args.also):
        if not path.exists():
            parser.error(f"{path} does not exist; build first: "
                         f"cmake --build {args.build} --target vexa bare_window vexa-gpib-sim")
    return args


class Xvfb:
    """One private X server, on a display number it picks itself."""

    def __init__(self, reset):
        read_fd, write_fd = os.pipe()
        # -noreset: the server stays as it is when a program exits, as a desktop's X server
        # does (its window manager stays connected).
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp"] + ([] if reset else ["-noreset"]),
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            self.stop()
            sys.exit("Xvfb did not start")
        self.display = ":" + number

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def run_once(command, env, timeout):
    """Starts the program once; returns its figures from the probe line."""
    start_ns = time.monotonic_ns()
    process = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        out, err = process.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        out, err = process.communicate()
        sys.exit(f"{command[0]}: no window within {timeout} s\n{err}")
    for line in out.splitlines():
        if line.startswith(PROBE_PREFIX):
            fields = dict(item.split("=", 1) for item in line[len(PROBE_PREFIX):].split())
            return {"time": (int(fields["mapped_ns"]) - start_ns) / 1e6,
                    "cpu": int(fields["cpu_ns"]) / 1e6,
                    "memory": int(fields["vmhwm_kb"]) / 1024}
    sys.exit(f"{command[0]} exited with {process.returncode} without reporting its window"
             f" (was it built with the start-up probe?)\n{err}")


def private_environment(args):
    env = dict(os.environ)
    for name in ("WAYLAND_DISPLAY", "DISPLAY", "QT_QPA_PLATFORM", "QT_STYLE_OVERRIDE",
                 "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_LOGGING_RULES",
                 "QT_DEBUG_PLUGINS", "QT_QPA_PLATFORMTHEME"):
        env.pop(name, None)
    env["VEXA_STARTUP_PROBE"] = "1"
    env["VEXA_GPIB_LIBRARY"] = str(args.gpib_library)
    return env


def main():
    args = parse_args()
    if args.platform == "xvfb" and not shutil.which("Xvfb"):
        sys.exit("Xvfb is not installed (apt-get install xvfb); or use --platform offscreen")
    env = private_environment(args)
    runtime_dir = None
    if not env.get("XDG_RUNTIME_DIR"):
        # Without it Qt warns on every start; give all programs the same private one.
        runtime_dir = tempfile.TemporaryDirectory(prefix="vexa-bench-runtime-")
        os.chmod(runtime_dir.name, 0o700)
        env["XDG_RUNTIME_DIR"] = runtime_dir.name

    programs = {"vexa": [str(args.vexa)], BASELINE: [str(args.bare)]}
    for path in args.also:
        programs.setdefault(path.name if path.name not in programs else str(path), [str(path)])
    results = {name: {"time": [], "cpu": [], "memory": []} for name in programs}

    server = None
    try:
        if args.platform == "xvfb":
            server = Xvfb(args.xvfb_reset)
            env["QT_QPA_PLATFORM"] = "xcb"
            env["DISPLAY"] = server.display
        else:
            env["QT_QPA_PLATFORM"] = "offscreen"
        for _ in range(args.warmup):  # page cache, font caches
            for command in programs.values():
                run_once(command, env, args.timeout)
        for index in range(args.runs):
            # Rotate the order every round, so that drift in the machine's load falls on all
            # programs alike.
            order = list(programs.items())
            order = order[index % len(order):] + order[:index % len(order)]
            for name, command in order:
                figures = run_once(command, env, args.timeout)
                for key, value in figures.items():
                    results[name][key].append(value)
                if args.raw:
                    print(f"run {index + 1:3d}  {name:16s} {figures['time']:7.2f} ms  "
                          f"cpu {figures['cpu']:7.2f} ms  {figures['memory']:6.1f} MiB",
                          flush=True)
    finally:
        if server:
            server.stop()
        if runtime_dir:
            runtime_dir.cleanup()

    load = os.getloadavg()
    width = max(16, *(len(name) for name in programs))
    platform = args.platform + (" with server resets" if args.xvfb_reset else "")
    print(f"{platform}: {args.runs} runs of each program after {args.warmup} warm-up; "
          f"load average at the end {load[0]:.2f} {load[1]:.2f} {load[2]:.2f} "
          f"on {os.cpu_count()} CPUs")
    print(f"{'':{width}s}  start to painted window (ms)   CPU time (ms)    peak memory (MiB)")
    print(f"{'':{width}s}  median  [quartiles]     min    median    min    median")
    for name in programs:
        r = results[name]
        q = statistics.quantiles(r["time"], n=4) if args.runs > 1 else r["time"] * 3
        print(f"{name:{width}s}  {statistics.median(r['time']):6.1f}  "
              f"[{q[0]:5.1f}..{q[2]:5.1f}]  {min(r['time']):5.1f}  "
              f"{statistics.median(r['cpu']):6.1f}  {min(r['cpu']):6.1f}  "
              f"{statistics.median(r['memory']):6.1f}")
    base = {key: statistics.median(values) for key, values in results[BASELINE].items()}
    for name in programs:
        if name == BASELINE:
            continue
        ratio = {key: statistics.median(values) / base[key]
                 for key, values in results[name].items()}
        print(f"ratio {name} / {BASELINE}: time {ratio['time']:.2f}x, "
              f"CPU time {ratio['cpu']:.2f}x, peak memory {ratio['memory']:.2f}x")


if __name__ == "__main__":
    main()
