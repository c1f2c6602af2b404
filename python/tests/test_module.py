"""korvane_vantrix against the engine's own export and against vantrix-cli."""
import ctypes
import json
import os
import shutil
import subprocess
import sys
import threading

import numpy as np
import pytest

import korvane_vantrix as kv

# Points inside, on the edge of and outside the envelopes, and at superheats the engine
# refuses or warns about.
TE = np.array([-40.0, -25.0, -10.0, -6.67, 0.0, 5.0, 7.22, 12.5, 20.0])
TC = np.array([20.0, 35.0, 45.0, 50.0, 54.44, 65.0, 80.0])
SH = [(0.0, 10.0, 10.0), (8.33, 11.11, 11.11), (0.0, 5.0, 3.0), (2.0, 30.0, 40.0)]


def kpx_rating(program_dir):
    lib = ctypes.CDLL(str(program_dir / "libKPX_Calc.so"))
    f = lib.KPX_Rating
    f.restype = ctypes.c_int32
    f.argtypes = [ctypes.c_int32, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int32] + [
        ctypes.c_double
    ] * 5 + [ctypes.POINTER(ctypes.c_double)] * 5
    return f


def run_cli(cli, program_dir, *args):
    out = subprocess.run(
        [cli, "--program-dir", str(program_dir), "--format", "json", *args],
        capture_output=True, check=True, env=dict(os.environ, LC_ALL="C"))
    return json.loads(out.stdout)


@pytest.fixture(scope="module")
def sample(program):
    models = program.models()
    return [m["number"] for m in models[:: max(1, len(models) // 12)]]


@pytest.mark.parametrize("sc,sh1,sh2", SH)
def test_rating_equals_kpx_rating_cell_by_cell(program, program_dir, sample, sc, sh1, sh2):
    te, tc = np.meshgrid(TE, TC, indexing="ij")
    r = program.rate(sample, te, tc, sc, sh1, sh2)
    assert r["capacity"].shape == (len(sample),) + te.shape
    rating = kpx_rating(program_dir)
    outs = [ctypes.c_double() for _ in range(5)]
    for k, model in enumerate(sample):
        for i, j in np.ndindex(te.shape):
            code = rating(model, None, None, 0, te[i, j], tc[i, j], sc, sh1, sh2,
                          *[ctypes.byref(o) for o in outs])
            got = [r[q][k, i, j] for q in ("capacity", "power", "current", "mass_flow", "cop")]
            assert r["code"][k, i, j] == code
            assert got == [o.value for o in outs], (model, te[i, j], tc[i, j])
    # The codes are data: refused points are in the arrays, not exceptions.
    assert (r["code"] < 0).any() and (r["code"] >= 0).any()


def test_rating_by_name_and_by_list_agree(program):
    m = program.models(refrigerant="R134a")[0]
    one = program.rate(m["name"], TE, 45.0)
    many = program.rate(np.array([m["number"], m["number"]]), TE, 45.0)
    for q in one:
        np.testing.assert_array_equal(many[q][0], one[q])
    many = program.rate([np.int32(m["number"]), m["name"]], TE, 45.0)
    for q in one:
        np.testing.assert_array_equal(many[q][0], one[q])
        np.testing.assert_array_equal(many[q][1], one[q])


SELECTIONS = [
    {},
    {"refrigerant": "R134a", "conditions": "Asercom, MBP", "target": 12000},
    {"refrigerant": "R404A", "family": "Reciprocating - low temperature",
     "conditions": "Asercom, LBP", "order": "capacity"},
    {"frequency": 60, "voltage": "460/3/60", "units": "imperial", "conditions": "ARI, MBP"},
    {"filter": "ksm", "te": -5.5, "tc": 41.25, "sh2": 3.0},
    {"refrigerant": "R290", "te": 30.0, "tc": 20.0},  # nothing left
]


def cli_arguments(kwargs):
    args = []
    for key, value in kwargs.items():
        args.append(f"--{key}={value}")
    return args


@pytest.mark.parametrize("kwargs", SELECTIONS)
def test_selection_equals_cli_rows(program, program_dir, cli, kwargs):
    assert program.select(**kwargs) == run_cli(cli, program_dir, "rate", *cli_arguments(kwargs))


@pytest.mark.parametrize("verb,kwargs", [
    ("envelope", {}),
    ("envelope", {"conditions": "ARI, MBP", "units": "imperial"}),
    ("table", {}),
    ("table", {"conditions": "Asercom, LBP", "te_from": -45, "te_to": -20, "te_step": 2.5}),
])
def test_envelope_and_table_equal_cli(program, program_dir, cli, verb, kwargs):
    model = program.models(refrigerant="R404A")[3]["name"]
    got = getattr(program, verb)(model, **kwargs)
    args = [a.replace("_", "-") for a in cli_arguments(kwargs)]
    assert got == run_cli(cli, program_dir, verb, "--model", model, *args)


def test_table_cells_are_the_vectorised_rating(program):
    model = program.models(refrigerant="R134a")[5]
    t = program.table(model["name"])
    te = np.array([c["te"] for c in t["cells"]])
    tc = np.array([c["tc"] for c in t["cells"]])
    r = program.rate(model["number"], te, tc)
    for k, c in enumerate(t["cells"]):
        assert c["code"] == r["code"][k]
        if c["code"] >= 0:
            assert c["capacity"] == r["capacity"][k]
            assert c["massFlow"] == r["mass_flow"][k] * 3600


def test_lists(program, program_dir, cli):
    assert ["All"] + program.refrigerants() == run_cli(cli, program_dir, "list", "refrigerants")
    assert ["All"] + program.families() == run_cli(cli, program_dir, "list", "families")
    assert ["All"] + program.supplies(60) == run_cli(
        cli, program_dir, "list", "voltages", "--frequency", "60")
    assert [c["name"] for c in kv.CONDITIONS] == [
        c["name"] for c in run_cli(cli, program_dir, "list", "conditions")]
    models = program.models(refrigerant="R134a", supply="400/3/50Hz")
    assert models and all(m["refrigerant"] == "R134a" and m["voltage"] == "400/3/50"
                          for m in models)
    assert models[0]["fields"]["Name"] == models[0]["name"]


def test_properties_scalar_and_vectorised(program):
    t = np.array([[250.0, 273.15], [300.0, 330.0]])
    p = program.saturation_pressure("R134a", t)
    assert p.shape == t.shape
    assert all(program.saturation_pressure("R134a", float(x)) == y for x, y in zip(t.flat, p.flat))
    np.testing.assert_allclose(program.bubble_temperature("R134a", p), t, rtol=1e-9)
    h = program.vapour_enthalpy("R134a", t + 10, p)
    v = program.vapour_volume("R134a", t + 10, p)
    assert np.all(h > program.liquid_enthalpy("R134a", t)) and np.all(v > 0)
    # A point outside the fluid's range is NaN, as the library gives it.
    assert np.isnan(program.saturation_pressure("R134a", 1000.0))


@pytest.mark.parametrize("call,message", [
    (lambda p: p.rate("NO-SUCH-MODEL", 0.0, 40.0), "no model named"),
    (lambda p: p.rate(0, 0.0, 40.0), "no model number 0"),
    (lambda p: p.rate(10**9, 0.0, 40.0), "no model number"),
    (lambda p: p.rate(10**30, 0.0, 40.0), "no model number 1000000000000000000000000000000"),
    (lambda p: p.rate(True, 0.0, 40.0), "name (str) or its number"),
    (lambda p: p.rate(1, np.zeros(3), np.zeros(4)), "one shape"),
    (lambda p: p.rate(1, np.zeros((2, 3)), np.zeros(6)), "one shape"),
    (lambda p: p.rate(1, np.array([0.0, np.nan]), 40.0), "no finite number (index 1)"),
    (lambda p: p.rate(1, 0.0, 40.0, sh2=np.inf), "sh2"),
    (lambda p: p.rate(1, ["a"], 40.0), "no number"),
    (lambda p: p.rate(None, 0.0, 40.0), "name (str) or its number"),
    (lambda p: p.select(refrigerant="R999"), "unknown value \"R999\""),
    (lambda p: p.select(te=float("nan")), "invalid number"),
    (lambda p: p.select(units="kelvin"), "--units"),
    (lambda p: p.select(frequency=55), "--frequency"),
    (lambda p: p.table("NO-SUCH-MODEL"), "no model named"),
    (lambda p: p.table(p.models()[0]["name"], te_step=0), "step"),
    (lambda p: p.models(family="Screw"), "unknown family"),
    (lambda p: p.supplies(55), "50 or 60"),
    (lambda p: p.saturation_pressure("R999", 280.0), "unknown refrigerant"),
    (lambda p: p.vapour_volume("R134a", np.ones(2), np.ones(3)), "one shape"),
])
def test_usage_errors_are_value_errors(program, call, message):
    with pytest.raises(ValueError, match=message.replace("(", r"\(").replace(")", r"\)")):
        call(program)


def damage(tmp_path, program_dir, how):
    d = tmp_path / "program"
    shutil.copytree(program_dir, d, ignore=shutil.ignore_patterns("python"))
    if how == "mismatch":
        (d / "data.bin").write_text("12345\n")
    elif how == "missing":
        (d / "data" / "kpxcalc.bin").unlink()
    elif how == "fifo":
        (d / "data.bin").unlink()
        os.mkfifo(d / "data.bin")
    elif how == "library":
        (d / "libKPX_Calc.so").write_bytes(b"\x7fELF damaged")
    return d


@pytest.mark.parametrize("how", ["mismatch", "missing", "fifo"])
def test_damaged_program_directory(tmp_path, program_dir, program, how):
    with pytest.raises(kv.DataError, match="Data Problem"):
        kv.Program(str(damage(tmp_path, program_dir, how)))
    with pytest.raises(kv.DataError):
        kv.Program(str(tmp_path / "nowhere"))
    assert program.rate(1, 0.0, 40.0)["code"].shape == ()  # the open one still works


def test_second_program_directory_is_refused(tmp_path, program_dir, program):
    copy = damage(tmp_path, program_dir, "none")
    with pytest.raises(kv.DataError, match="this process serves the program directory"):
        kv.Program(str(copy))
    assert kv.Program(str(program_dir) + "/").directory == program.directory


def test_damaged_library_in_a_fresh_process(tmp_path, program_dir):
    d = damage(tmp_path, program_dir, "library")
    code = ("import korvane_vantrix as kv\n"
            "try:\n    kv.Program(%r)\nexcept kv.DataError as e:\n    print('DataError', e)\n" % str(d))
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    assert out.returncode == 0 and out.stdout.startswith("DataError The library"), out


def test_threads_at_once(program):
    models = [m["number"] for m in program.models()[:16]]
    te, tc = np.meshgrid(np.linspace(-30, 15, 40), np.linspace(25, 65, 40))
    expected = [program.rate(m, te, tc) for m in models]
    selection = program.select(refrigerant="R134a", target=5000)
    pressures = program.saturation_pressure("R404A", te + 273.15)
    failures = []

    def work(k):
        try:
            for _ in range(3):
                m = k % len(models)
                got = program.rate(models[m], te, tc)
                assert all(np.array_equal(got[q], expected[m][q]) for q in got)
                assert program.select(refrigerant="R134a", target=5000) == selection
                np.testing.assert_array_equal(
                    program.saturation_pressure("R404A", te + 273.15), pressures)
        except Exception as e:  # noqa: BLE001 - reported below
            failures.append(e)

    threads = [threading.Thread(target=work, args=(k,)) for k in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert not failures, failures


FIGURE_KEYS = {"suction_pressure": "suctionPressure", "discharge_pressure": "dischargePressure",
               "pressure_ratio": "pressureRatio",
               "suction_gas_temperature": "suctionGasTemperature",
               "discharge_temperature": "dischargeTemperature",
               "heat_rejection": "heatRejection", "isentropic_efficiency": "isentropicEfficiency",
               "volumetric_efficiency": "volumetricEfficiency", "heating_cop": "heatingCop"}


@pytest.mark.parametrize("refrigerant", ["R134a", "R407C", "R454B"])
def test_figures_equal_the_cli_rows(program, refrigerant):
    doc = program.select(refrigerant=refrigerant, conditions="Asercom, MBP")
    c = doc["conditions"]
    assert doc["rows"]
    for row in doc["rows"]:
        f = program.figures(row["model"], c["te"], c["tc"], c["sc"], c["sh1"], c["sh2"])
        assert f["code"] == 0 and f["status"] == 0
        for key, cli_key in FIGURE_KEYS.items():
            assert f[key] == pytest.approx(row[cli_key], rel=1e-12, nan_ok=True), key
        assert f["heating_capacity"] == f["heat_rejection"]


def test_figures_over_arrays_and_refusals(program):
    model = program.models(refrigerant="R134a")[0]["name"]
    te = np.array([[-10.0, 0.0], [-70.0, 5.0]])
    f = program.figures(model, te, 45.0)
    assert f["discharge_temperature"].shape == (2, 2)
    assert f["code"][1, 0] < 0 and f["status"][1, 0] == 1  # refused: no figures
    assert np.isnan(f["discharge_temperature"][1, 0])
    assert (f["discharge_pressure"][0] > f["suction_pressure"][0]).all()
    with pytest.raises(ValueError):
        program.figures(model, np.zeros(2), np.zeros(3))
