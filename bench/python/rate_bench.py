#!/usr/bin/python3
"""Rating one model at a million conditions from Python (korvane_vantrix.Program.rate)
against the same loop in C++ (kv_rate_loop_bench). Goal: within 1.3 times the C++ time.
Prints both times (best of several runs) and their ratio."""
import json
import os
import subprocess
import sys
import time

sys.path.insert(0, "@KV_BIN_DIR@/python")
import numpy as np  # noqa: E402

import korvane_vantrix as kv  # noqa: E402

POINTS, SIDE, MODEL = 1_000_000, 1000, "KRM250A-D5"
GOAL = 1.3

i = np.arange(POINTS)
te = -25.0 + 35.0 * (i % SIDE) / (SIDE - 1)
tc = 30.0 + 30.0 * (i // SIDE) / (SIDE - 1)
program = kv.Program("@KV_BIN_DIR@")
program.rate(MODEL, te[:1000], tc[:1000])  # warm the fluid's memory
python_times = []
for _ in range(5):
    start = time.perf_counter()
    program.rate(MODEL, te, tc)
    python_times.append(time.perf_counter() - start)
python_ms = min(python_times) * 1000

here = os.path.dirname(os.path.abspath(__file__))
out = subprocess.run([os.path.join(here, "kv_rate_loop_bench"), "--benchmark_format=json",
                      "--benchmark_repetitions=5"], capture_output=True, text=True, check=True)
runs = [b for b in json.loads(out.stdout)["benchmarks"] if b.get("run_type") == "iteration"]
cpp_ms = min(b["real_time"] for b in runs)

ratio = python_ms / cpp_ms
print(f"rate one model at {POINTS:,} conditions: Python {python_ms:.1f} ms, "
      f"C++ {cpp_ms:.1f} ms, ratio {ratio:.3f} (goal {GOAL})")
