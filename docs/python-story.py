"""A small scan, optimize and dmc from Python, and the story picture.

PYTHONPATH=build/release/python /usr/bin/python3 docs/python-story.py   (about 30 s)
"""
import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import pandas as pd

import vmc_h2

scan = vmc_h2.scan(separations="0.3:2.5:0.1", steps=2e5)
opt = vmc_h2.optimize(separations="0.5:2.5:0.25", steps=2e5, sample_steps=2e4)
dmc = vmc_h2.dmc(parameters=opt[opt["s"] <= 1.5], walkers=500, steps=4000, equilibration=1000)
for name, frame in ("scan", scan), ("optimize", opt), ("dmc", dmc):
    print(name, frame.attrs["command_line"])
    print(frame[["s", "energy", "error", "flag"]].to_string(index=False))

exact = pd.read_csv("plot/h2-exact-curve.dat", sep=r"\s+", comment="#",
                    names=["R", "E_hartree", "s", "energy"])
fig, ax = plt.subplots(figsize=(9, 6.2))
ax.axhline(-27.1899, ls="--", c="#777777", label="two separated H atoms (−27.19 eV)")
ax.plot(exact["s"], exact["energy"], c="#1f77b4", lw=2.5, label="exact (Pachucki 2010)")
for frame, style, label in ((scan, dict(fmt="o", mfc="none", c="#d62728"), "VMC, classic trial function"),
                            (opt, dict(fmt="s", mfc="none", c="#2ca02c"), "VMC, optimised trial function"),
                            (dmc, dict(fmt="o", c="black"), "diffusion Monte Carlo")):
    ax.errorbar(frame["s"], frame["energy"], frame["error"], ms=5, capsize=2, label=label, **style)
ax.set(xlim=(0.2, 2.6), ylim=(-32.5, -14), xlabel="proton separation s (Å)", ylabel="energy (eV)",
       title="H$_2$ ground-state energy from Python: variational and diffusion Monte Carlo")
ax.grid(c="#dddddd")
ax.legend()
fig.savefig("docs/python-story.png", dpi=80)
print("docs/python-story.png")
