"""Variable-speed models through the module, on the public three-speed map imported into a
program directory of its own (a process serves one directory, so the checks run in a
child process)."""
import os
import pathlib
import shutil
import subprocess
import sys

import pytest

CHECKS = r'''
import math, sys
import numpy as np
import korvane_vantrix as kv

p = kv.Program(sys.argv[1])
model = "V0001"
info = p.speed_data(model)
assert info["speeds"] == [25.0, 60.0, 100.0], info
assert info["min_speed"] == 25.0 and info["max_speed"] == 100.0, info
assert p.speed_data(2) is None  # the fixed-speed copy of the 60 rev/s set

te, tc = 7.2, 45.0
# At the nominal speed the rating is KPX_Rating's, to the bit; between speeds linear in speed.
at = {s: p.rate(model, te, tc, sh1=8, sh2=8, speed=s) for s in (25.0, 60.0, 100.0, 80.0)}
nominal = p.rate(model, te, tc, sh1=8, sh2=8)
assert float(at[info["nominal_speed"]]["capacity"]) == float(nominal["capacity"])
mid = 0.5 * (float(at[60.0]["capacity"]) + float(at[100.0]["capacity"]))
assert math.isclose(float(at[80.0]["capacity"]), mid, rel_tol=1e-12)
# An array of speeds; beyond the published ones nothing is extrapolated.
many = p.rate(model, te, tc, sh1=8, sh2=8, speed=np.array([25.0, 120.0]))
assert many["code"][0] >= 0 and many["code"][1] == -21, many["code"]
assert p.rate(2, te, tc, sh1=8, sh2=8, speed=60.0)["code"] == -22  # fixed speed

# The speed that meets a capacity rates that capacity; a capacity beyond reach has a code.
want = float(at[80.0]["capacity"])
m = p.match_capacity(model, [want, 1e9], te, tc, sh1=8, sh2=8)
assert math.isclose(m["capacity"][0], want, rel_tol=1e-9), m
assert 60.0 < m["speed"][0] < 100.0 and m["code"][0] >= 0
again = p.rate(model, te, tc, sh1=8, sh2=8, speed=m["speed"][0])
assert math.isclose(float(again["capacity"]), want, rel_tol=1e-9)
assert m["code"][1] == -25 and math.isnan(m["speed"][1])

r = p.speed_range(model, [te, 60.0], [tc, 40.0], sh1=8, sh2=8)
assert r["code"][0] == 0 and r["min_speed"][0] <= 60.0 <= r["max_speed"][0], r
assert r["code"][1] != 0 and math.isnan(r["min_speed"][1])

# The command line's documents carry the speed.
rows = p.select(te=te, tc=tc, sh1=8, sh2=8, speed=80.0)["rows"]
assert any(row.get("speed") == 80.0 for row in rows), rows
table = p.table(model, te=te, tc=tc, sh1=8, sh2=8, speeds=True)
assert "speeds" in table, list(table)
try:
    p.rate(model, te, tc, speed=float("nan"))
except ValueError:
    pass
else:
    raise AssertionError("a speed that is no number is refused")
print("ok")
'''


@pytest.fixture(scope="module")
def speed_program(program_dir, tmp_path_factory):
    source = pathlib.Path(os.environ["KV_README"]).parent / "tests/catalogue/reference"
    copy = tmp_path_factory.mktemp("speed") / "program"
    (copy / "data").mkdir(parents=True)
    for f in ("libASEREP32.so", "libKPX_Calc.so"):
        shutil.copy2(program_dir / f, copy / f)
    shutil.copytree(program_dir / "data" / "fluids", copy / "data" / "fluids")
    # The map, and its 60 rev/s row alone as a fixed-speed model.
    lines = (source / "variable_speed.tsv").read_text().splitlines(keepends=True)
    header = lines[0].replace("speed_rev_min\t", "x_rev_min\t").replace("speed_rev_s\t",
                                                                         "x_rev_s\t")
    row = next(line for line in lines[1:] if "\t60\t" in line or "\t60.0\t" in line)
    fixed = copy.parent / "fixed.tsv"
    fixed.write_text(header + "FIX" + row[row.index("\t"):])
    r = subprocess.run([os.environ["KV_BUILDER"], "import", "--fluids", str(copy / "data" / "fluids"),
                        "--out", str(copy / "data"), "--data-bin", str(copy / "data.bin"), "--new",
                        "--power-factor", "0.8", "--family", "Scroll - air conditioning",
                        str(source / "variable_speed.tsv"), str(fixed)],
                       capture_output=True, text=True)
    assert r.returncode == 0, r.stderr
    return copy


def test_rating_at_speed_range_and_matching(speed_program):
    r = subprocess.run([sys.executable, "-c", CHECKS, str(speed_program)], capture_output=True,
                       text=True)
    assert r.returncode == 0 and r.stdout.strip() == "ok", r.stderr


def test_speed_functions_of_a_catalogue_without_speeds(program):
    """The demo catalogue's fixed-speed models: None, and the codes of a fixed speed."""
    name = program.models()[0]["name"]
    assert program.speed_data(name) is None
    assert int(program.rate(name, -10, 45, speed=50.0)["code"]) == -22
