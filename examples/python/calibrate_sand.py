"""Calibrates the measured Karlsruhe fine sand from Python.

    PYTHONPATH=build/python python3 examples/python/calibrate_sand.py [FIGURE.png]

Runs the TOML job examples/measured_sand/mohr_coulomb/job.toml (three drained
triaxial tests at cell pressures of 100.6, 199.2 and 298.4 kPa; the shear
modulus G, the friction angle phi and the dilatancy angle psi free; the
thorough search the job asks for) exactly as `soilcal job.toml` runs it: every
output lands in job.out/ beside the job. It prints the parameters found and
saves a figure of the measured deviator curves against the simulated ones at
the best values (by default job.out/measured_vs_simulated.png).
"""

import os
import sys

import matplotlib

matplotlib.use("Agg")  # files only: no window needed
import matplotlib.pyplot as plt  # noqa: E402

import soilcal  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
JOB = os.path.normpath(os.path.join(HERE, "..", "measured_sand", "mohr_coulomb", "job.toml"))


def show_progress(p):
    best = p["mean_relative_error"]
    text = "%-15s %6d evaluations" % (p["phase"], p["evaluations"])
    if best is not None:
        text += "   best error %.3f %%" % best
    print("\r%-60s" % text, end="", flush=True)


def plot(job, best, figure):
    """Measured points and simulated curves of every test on one plot."""
    fig, ax = plt.subplots(figsize=(7.5, 5))
    colours = plt.rcParams["axes.prop_cycle"].by_key()["color"]
    for test, colour in zip(job.curves(best), colours):
        for curve in test["curves"]:
            name = test["test"].split(".")[0]
            ax.plot(100 * curve["measured_x"], curve["measured_y"], "o", color=colour, ms=3,
                    mfc="none", label="%s measured" % name)
            ax.plot(100 * curve["simulated_x"], curve["simulated_y"], "-", color=colour,
                    label="%s simulated" % name)
    ax.set_xlabel("axial strain ε1 [%]")
    ax.set_ylabel("deviator stress q [kPa]")
    ax.set_xlim(left=0)
    ax.set_ylim(bottom=0)
    ax.grid(alpha=0.3)
    ax.legend(ncol=2, fontsize=8)
    ax.set_title("Karlsruhe fine sand, drained triaxial compression: Mohr-Coulomb fit")
    fig.tight_layout()
    fig.savefig(figure, dpi=120)
    plt.close(fig)


def main():
    result = soilcal.calibrate(JOB, progress=show_progress)
    print()
    if result.exit_code != 0:
        print("the calibration ended with exit code %s: %s" % (result.exit_code, result.message))
        return 1
    print("mean relative error %.3f %% after %d evaluations"
          % (result.mean_relative_error, result.evaluations))
    for name, value in result.parameters.items():
        print("  %-4s = %10.4g %-4s (relative sensitivity %.1f)"
              % (name, value, result.units[name], result.sensitivities[name]))
    print("report:", result.report_path)

    job = soilcal.Job(JOB)
    best = [result.parameters[name] for name in job.free_parameters]
    figure = sys.argv[1] if len(sys.argv) > 1 else os.path.join(result.folder,
                                                                "measured_vs_simulated.png")
    plot(job, best, figure)
    print("figure:", figure)
    return 0


if __name__ == "__main__":
    sys.exit(main())
