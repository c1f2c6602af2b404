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


def test_export_imported_by_the_catalogue_builder_rates_as_the_catalogue(
        program_dir, cli, tmp_path):
    """The round trip through the two programs: exported IDF, imported into a new program
    directory, tabled by vantrix-cli there: the capacity and power of every cell the
    catalogue rates."""
    import json
    import os
    import shutil

    names = ["KRM250A-D5", "KSM010A-E6"]
    idf = tmp_path / "set.idf"
    idf.write_text("".join(subprocess.run(
        [cli, "--program-dir", str(program_dir), "export", "--model", n],
        capture_output=True, text=True, check=True).stdout for n in names))
    copy = tmp_path / "program"
    (copy / "data").mkdir(parents=True)
    for f in ("libASEREP32.so", "libKPX_Calc.so", "vantrix-cli"):
        shutil.copy2(program_dir / f, copy / f)
    shutil.copytree(program_dir / "data" / "fluids", copy / "data" / "fluids")
    r = subprocess.run([os.environ["KV_BUILDER"], "import", "--fluids", str(copy / "data" / "fluids"),
                        "--out", str(copy / "data"), "--data-bin", str(copy / "data.bin"), "--new",
                        "--power-factor", "0.8", "--format", "energyplus", str(idf)],
                       capture_output=True, text=True)
    assert r.returncode == 0 and "2 models imported" in r.stdout, r.stderr
    assert "refrigerant R134a taken from its name" in r.stderr

    def table(directory, model):
        out = subprocess.run([str(directory / "vantrix-cli"), "--program-dir", str(directory),
                              "--format", "json", "table", "--model", model, "--te-from", "-30",
                              "--te-to", "15", "--te-step", "2.5", "--tc-from", "25",
                              "--tc-to", "65", "--tc-step", "2.5"],
                             capture_output=True, text=True, check=True)
        return json.loads(out.stdout)["cells"]

    for name in names:
        compared = 0
        for a, b in zip(table(program_dir, name), table(copy, name + "_R134a")):
            assert (a["te"], a["tc"]) == (b["te"], b["tc"])
            if a["code"] >= 0:
                assert b["code"] >= 0, a
                assert b["capacity"] == pytest.approx(a["capacity"], rel=1e-12)
                assert b["powerInput"] == pytest.approx(a["powerInput"], rel=1e-12)
                compared += 1
        assert compared > 50
