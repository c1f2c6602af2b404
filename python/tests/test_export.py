"""vantrix-cli export --format energyplus: the curves give the engine's capacity at the
rating basis and its power at any superheat, over the curves' range."""
import re
import subprocess

import numpy as np
import pytest


def idf_objects(text):
    """The objects of an IDF text: (type, fields), comments removed."""
    text = re.sub(r"!.*", "", text)
    objects = []
    for body in text.split(";")[:-1]:
        fields = [f.strip() for f in body.split(",")]
        objects.append((fields[0].upper(), fields[1:]))
    return objects


def bicubic(c, x, y):
    return (c[0] + c[1] * x + c[2] * x**2 + c[3] * y + c[4] * y**2 + c[5] * x * y
            + c[6] * x**3 + c[7] * y**3 + c[8] * x**2 * y + c[9] * x * y**2)


def number(text):
    return float(text) if text else None


@pytest.mark.parametrize("name", ["KRM250A-D5", "KSM010A-E6", "KSA008Y-E6"])
def test_export_curves_rate_as_the_engine(program, program_dir, cli, name):
    out = subprocess.run([cli, "--program-dir", str(program_dir), "export", "--model", name],
                         capture_output=True, text=True, check=True).stdout
    objects = idf_objects(out)
    curves = {f[0]: f for t, f in objects if t == "CURVE:BICUBIC"}
    (compressor,) = [f for t, f in objects if t == "REFRIGERATION:COMPRESSOR"]
    power, capacity = curves[compressor[1]], curves[compressor[2]]
    fields = [m for m in program.models() if m["name"] == name][0]["fields"]
    assert [float(v) for v in capacity[11:15]] == [
        float(fields[k]) for k in ("TeLow", "TeHig", "TcLow", "TcHig")]
    assert capacity[-1] == "Capacity" and power[-1] == "Power"

    sh, rgt, liquid, sc = (number(v) for v in compressor[3:7])
    assert liquid is None and sc == float(fields["ScBase"])
    te, tc = np.meshgrid(np.linspace(*map(float, capacity[11:13]), 15),
                         np.linspace(*map(float, capacity[13:15]), 15))
    # At the rated basis the engine's correction is 1: the capacity is the curve's.
    superheat = sh if sh is not None else rgt - te
    assert (sh is None) == (fields["ShBase"] == "-")
    at_basis = program.rate(name, te, tc, sc, superheat, superheat)
    rated = at_basis["code"] >= 0
    assert rated.sum() > 20
    qc = [float(v) for v in capacity[1:11]]
    pc = [float(v) for v in power[1:11]]
    np.testing.assert_allclose(bicubic(qc, te, tc)[rated], at_basis["capacity"][rated],
                               rtol=1e-12)
    elsewhere = program.rate(name, te, tc, 3.0, 15.0, 20.0)
    rated = elsewhere["code"] >= 0
    np.testing.assert_allclose(bicubic(pc, te, tc)[rated], elsewhere["power"][rated], rtol=1e-12)


@pytest.mark.parametrize("args,status,message", [
    (["export", "--model", "KRM250A-D5", "--format", "csv"], 2, "export writes --format energyplus"),
    (["export"], 2, "export needs --model"),
    (["export", "--model", "NO-SUCH"], 2, "no model named"),
    (["export", "--model", "KRM250A-D5", "--te", "5"], 2, "--te belongs to"),
])
def test_export_usage_errors(program_dir, cli, args, status, message):
    r = subprocess.run([cli, "--program-dir", str(program_dir), *args], capture_output=True,
                       text=True)
    assert r.returncode == status and message in r.stderr, r.stderr
