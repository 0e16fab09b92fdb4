"""vmc_h2 gives the vmc program's tables, refuses what it refuses, and stops on request."""

import os
import signal
import subprocess
import sys
import threading
import time

import pandas
import pytest

import vmc_h2

VMC = os.environ["VMC_PROGRAM"]


def program_table(tmp_path, command, *options):
    """The program's TSV, as pandas reads it (flag's empty cells as "")."""
    out = tmp_path / f"{command}.tsv"
    subprocess.run([VMC, command, *options, "--output", str(out)], check=True,
                   stdout=subprocess.DEVNULL, env=dict(os.environ, OMP_NUM_THREADS="2"))
    frame = pandas.read_csv(out, sep="\t", comment="#")
    frame["flag"] = frame["flag"].fillna("")
    return frame


def same(frame, expected):
    """Value for value, column for column, dtype for dtype."""
    pandas.testing.assert_frame_equal(frame, expected, check_exact=True)


# Each call against the command with the same settings, given as the options'
# texts or as Python numbers and lists.
@pytest.mark.parametrize("call, options", [
    (dict(separations=[0.74], steps=100000), ["--separations", "0.74", "--steps", "1e5"]),  # README's
    (dict(separations=[0.74, 1.4], steps=20000, equilibration=1000),
     ["--separations", "0.74,1.4", "--steps", "2e4", "--equilibration", "1000"]),
    (dict(separations="0.5:1.5:0.5", steps=2e4, walkers=3, beta=0.5, ionic_weight=0.3,
          orbital_length=0.6, step_size=0.3, seed=17, no_reflections=True),
     ["--separations", "0.5:1.5:0.5", "--steps", "20000", "--walkers", "3", "--beta", "0.5",
      "--ionic-weight", "0.3", "--orbital-length", "0.6", "--step-size", "0.3", "--seed", "17",
      "--no-reflections"]),
])
def test_scan_equals_the_programs_table(tmp_path, call, options):
    frame = vmc_h2.scan(**call)
    same(frame, program_table(tmp_path, "scan", *options))
    assert frame.attrs["command"] == "scan" and frame.attrs["command_line"].startswith("vmc scan --")


def test_optimize_and_dmc_from_its_frame_equal_the_program(tmp_path):
    opt = vmc_h2.optimize(separations=[0.74, 2.0], steps=20000, sample_steps=2000, max_rounds=2)
    opt_tsv = program_table(tmp_path, "optimize", "--separations", "0.74,2", "--steps", "2e4",
                            "--sample-steps", "2000", "--max-rounds", "2")
    same(opt, opt_tsv)
    dmc = vmc_h2.dmc(parameters=opt, walkers=50, steps=300, equilibration=50)
    same(dmc, program_table(tmp_path, "dmc", "--parameters", str(tmp_path / "optimize.tsv"),
                            "--walkers", "50", "--steps", "300", "--equilibration", "50"))
    assert list(dmc["s"]) == [0.74, 2.0]
    # A list of time steps: each separation's runs, then its limit tau -> 0.
    taus = vmc_h2.dmc(separations=[0.74], time_step=[1e-3, 2e-3], walkers=50, steps=300, equilibration=50)
    same(taus, program_table(tmp_path, "dmc", "--time-step", "0.001,0.002", "--walkers", "50",
                             "--steps", "300", "--equilibration", "50"))
    assert list(taus["time_step"]) == [1e-3, 2e-3, 0.0] and taus["acceptance"].isna().tolist() == [False, False, True]


def test_thread_count_changes_nothing():
    call = dict(separations="0.6:1.2:0.2", steps=20000, walkers=4)
    same(vmc_h2.scan(threads=1, **call), vmc_h2.scan(threads=2, **call))
    dmc = dict(walkers=1000, steps=20, equilibration=5)  # 1000 walkers: the steps run in parallel
    same(vmc_h2.dmc(threads=1, **dmc), vmc_h2.dmc(threads=2, **dmc))
    with pytest.raises(ValueError, match="^threads: expected a whole number of at least 1"):
        vmc_h2.scan(threads=0)


# The command's own lines for the same refusals.
@pytest.mark.parametrize("function, call, message", [
    (vmc_h2.scan, dict(walkers=0),
     '--walkers: expected a whole number of at least 1 and at most 1e12, such as 1000000 or 1e6; '
     'got "0"'),
    (vmc_h2.scan, dict(separations=[0.74], steps=3, walkers=5),
     "--walkers: 5 walkers need at least as many --steps; got 3"),
    (vmc_h2.scan, dict(steps=1.5e6 + 0.5), '--steps: expected a whole number of at least 2'),
    (vmc_h2.scan, dict(separations=[]), "--separations: expected separations"),
    (vmc_h2.scan, dict(beta=float("nan")), '--beta: expected a finite number'),
    (vmc_h2.optimize, dict(sample_steps=10), '--sample-steps: expected a whole number of at least 1000'),
    (vmc_h2.dmc, dict(time_step=0.05),
     '--time-step: expected a time step above 0 and at most 0.01 /eV; got "0.05"'),
    (vmc_h2.dmc, dict(time_step=[1e-4, 1e-4]), '--time-step: 1e-04 is given twice'),
    (vmc_h2.dmc, dict(trial="best"), '--trial: expected optimised or classic; got "best"'),
    (vmc_h2.dmc, dict(ionic_weight=""), '--ionic-weight: expected a value; got ""'),
    (vmc_h2.dmc, dict(separations=[0.74, 1.0],
                      parameters=pandas.DataFrame(dict(s=[0.74], beta=[0.3], ionic_weight=[1.0], a=[0.5]))),
     "--parameters: the table has no row for the separation 1"),
])
def test_bad_settings_raise_value_error(function, call, message):
    with pytest.raises(ValueError) as refused:
        function(**call)
    assert str(refused.value).startswith(message)
    assert "\n" not in str(refused.value)


def test_a_raising_callback_stops_the_run_with_its_exception():
    class Enough(Exception):
        pass

    calls = []

    def progress(*args):
        calls.append(args)
        raise Enough("stop here")

    start = time.monotonic()
    with pytest.raises(Enough, match="stop here"):
        vmc_h2.scan(separations="0.5:2.5:0.1", steps=1e5, threads=2, progress=progress)
    with pytest.raises(Enough):
        vmc_h2.dmc(walkers=50, steps=1e9, progress=progress)
    with pytest.raises(Enough):
        vmc_h2.optimize(separations=[0.74, 1.0, 1.5], steps=20000, sample_steps=2000,
                        max_rounds=2, progress=progress)
    assert time.monotonic() - start < 60
    assert calls[0] == (1, 21)
    # Nothing is left running: the next call gives its whole table.
    assert len(vmc_h2.scan(separations=[0.74], steps=1000)) == 1


def interrupt_soon(after):
    """SIGINT to this process after `after` seconds, from another thread."""
    threading.Timer(after, os.kill, (os.getpid(), signal.SIGINT)).start()


@pytest.mark.parametrize("function, call", [
    (vmc_h2.scan, dict(separations=[0.74], steps=4e9, lanes_off=True)),
    (vmc_h2.dmc, dict(walkers=2000, steps=1e9)),
    # Rounds of ten million steps: the stop is read within the walks and the simplex.
    (vmc_h2.optimize, dict(separations=[0.74], sample_steps=1e7, steps=1e9)),
])
def test_ctrl_c_stops_a_long_run_within_a_second(function, call):
    call.pop("lanes_off", None)
    interrupt_soon(0.5)
    start = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        function(**call)
    assert time.monotonic() - start < 0.5 + 1.0
    assert threading.active_count() == 1


def test_ctrl_c_from_outside_ends_a_python_process():
    """A SIGINT sent by another process: the interpreter exits with KeyboardInterrupt."""
    script = "import vmc_h2, sys; print('walking', flush=True); vmc_h2.scan(separations=[0.74], steps=4e9)"
    child = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True)
    assert child.stdout.readline() == "walking\n"
    time.sleep(0.3)
    start = time.monotonic()
    child.send_signal(signal.SIGINT)
    _, err = child.communicate(timeout=30)
    assert time.monotonic() - start < 1.0
    assert "KeyboardInterrupt" in err
