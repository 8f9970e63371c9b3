#!/usr/bin/env python3
"""Measures flat quarter turns with and without the estimated flat pivot and
writes the figures into docs/ILLUSION.md.

Each turn is a scenario of its own, run through the headless runner: the
simulated tablet lies still for half a second, turns a quarter turn
counter-clockwise about one point at 90 or 45 degrees a second, lies still
for half a second more, and the `illusion` line gives how far the picture
then is from the table (the mean over the screen's corners and centre, in
points). Every turn is run with `flat-pivot centre` (the mode off) and
`flat-pivot estimate` (on), with clean sensors and with
`tablet-noise accel=0.01 gyro=0.002`. The noisy turns are also run with
other seeds of the noise, and the worst of them is given.

    tools/illusion_table.py            rewrite the table in docs/ILLUSION.md
    tools/illusion_table.py --check    exit 1 when the table there is not what a run gives
    tools/illusion_table.py --print    print the table only
    tools/illusion_table.py --keep DIR also leave the scenarios in DIR

The runner is build/vitrane-run, or $VITRANE_BUILD_DIR/vitrane-run; build it
first (tools/build.sh).
"""

import argparse
import os
import pathlib
import re
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
DOC = ROOT / "docs" / "ILLUSION.md"
BEGIN = "<!-- illusion-table: written by tools/illusion_table.py -->"
END = "<!-- end of illusion-table -->"

# A turn of 90° at a steady rate ω lasts 90°/ω plus the easing (0.05 s).
SPEEDS = [("90°/s", 1.05), ("45°/s", 2.05)]
PIVOTS = [
    ("top-left screen corner", (0, 0)),
    ("top-right screen corner", (768, 0)),
    ("bottom-left screen corner", (0, 1024)),
    ("bottom-right screen corner", (768, 1024)),
    ("2 inches left of the screen", (-264, 512)),
    ("screen centre", (384, 512)),
]
NOISE = "tablet-noise accel=0.01 gyro=0.002"
OTHER_SEEDS = range(1, 21)


def runner_path():
    build = os.environ.get("VITRANE_BUILD_DIR", str(ROOT / "build"))
    path = pathlib.Path(build) / "vitrane-run"
    if not path.exists():
        sys.exit(f"illusion_table: {path} is missing; build first (tools/build.sh)")
    return path


def scenario(mode, noise, pivot, seconds):
    lines = [f"flat-pivot {mode}"]
    if noise:
        lines.append(noise)
    lines += [
        "tablet hold 0.5",
        f"tablet turn 90deg {seconds} about={pivot[0]},{pivot[1]}",
        "tablet hold 0.5",
        "illusion",
    ]
    return "\n".join(lines) + "\n"


def illusion_mean(runner, folder, name, text):
    path = folder / name
    path.write_text(text)
    out = subprocess.run([str(runner), str(path)], check=True, capture_output=True, text=True).stdout
    found = re.findall(r"^ILLUSION (\S+) (\S+)$", out, re.MULTILINE)
    if len(found) != 1:
        sys.exit(f"illusion_table: {path} gave {len(found)} ILLUSION lines")
    return float(found[0][0])


def measure(runner, folder):
    rows = []
    for speed, seconds in SPEEDS:
        for place, pivot in PIVOTS:
            for noisy in (False, True):
                figures = {}
                for mode in ("centre", "estimate"):
                    name = f"{mode}-{speed[:2]}-{pivot[0]}_{pivot[1]}{'-noise' if noisy else ''}.scn"
                    figures[mode] = illusion_mean(runner, folder, name,
                                                  scenario(mode, NOISE if noisy else "", pivot, seconds))
                worst = None
                if noisy:
                    worst = max(
                        illusion_mean(runner, folder, f"estimate-{speed[:2]}-{pivot[0]}_{pivot[1]}-seed{seed}.scn",
                                      scenario("estimate", f"{NOISE} seed={seed}", pivot, seconds))
                        for seed in OTHER_SEEDS)
                rows.append((speed, f"{place} ({pivot[0]}, {pivot[1]})", noisy, figures["centre"],
                             figures["estimate"], worst))
    return rows


def table(rows):
    lines = [
        "| turn | pivot | noise | mode off | mode on | mode on, worst of seeds 1–20 |",
        "|---|---|---|---:|---:|---:|",
    ]
    for speed, place, noisy, off, on, worst in rows:
        noise = "accel=0.01 gyro=0.002" if noisy else "none"
        lines.append(f"| quarter turn at {speed} | {place} | {noise} | {off:.3f} | {on:.3f} | "
                     f"{'' if worst is None else f'{worst:.3f}'} |")
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--check", action="store_true", help="compare with docs/ILLUSION.md, change nothing")
    parser.add_argument("--print", action="store_true", help="print the table, change nothing")
    parser.add_argument("--keep", metavar="DIR", help="write the scenarios into DIR")
    args = parser.parse_args()

    runner = runner_path()
    if args.keep:
        folder = pathlib.Path(args.keep)
        folder.mkdir(parents=True, exist_ok=True)
        made = table(measure(runner, folder))
    else:
        with tempfile.TemporaryDirectory() as temp:
            made = table(measure(runner, pathlib.Path(temp)))
    if args.print:
        sys.stdout.write(made)
        return 0

    doc = DOC.read_text()
    start, end = doc.find(BEGIN), doc.find(END)
    if start < 0 or end < start:
        sys.exit(f"illusion_table: {DOC} has no place for the table ({BEGIN} ... {END})")
    updated = doc[: start + len(BEGIN)] + "\n" + made + doc[end:]
    if args.check:
        if updated != doc:
            print(f"illusion_table: the table in {DOC} is not what the runner gives now", file=sys.stderr)
            return 1
        return 0
    if updated != doc:
        DOC.write_text(updated)
    return 0


if __name__ == "__main__":
    sys.exit(main())
