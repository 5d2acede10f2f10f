#!/usr/bin/env python3
"""Scatter of repeated scans on the virtual bench.

Runs N scans of one load with `kavusdraa-cli scan --sim LOAD` and prints, per point, the mean
and the spread (standard deviation) of the R and X errors and of the |Gamma| error, the worst
|error| seen, and how many scans broke the instrument's bounds (R and X within rel*|Z| + abs,
|Gamma| within gamma_tol). Loads: "R", "R+Xj" / "R-Xj", "series:R=..,L=..,C=..".

  tools/bench_scatter.py --cli build-acc/src/app/kavusdraa-cli --load 500 --rate 2400000 \
      --range "143-147 1" -n 20 --set noise_db=-200 --set dc_lsb=0

Each scan runs in a private HOME (its saved files go there). The bench's seed stays as given
(--set seed=7) unless --vary-seed, which gives scan k the seed base + k.
"""
import argparse
import cmath
import math
import os
import re
import statistics
import subprocess
import sys
import tempfile

SI = {"p": 1e-12, "n": 1e-9, "u": 1e-6, "m": 1e-3, "k": 1e3, "M": 1e6, "G": 1e9}


def si_value(text):
    if text and text[-1] in SI:
        return float(text[:-1]) * SI[text[-1]]
    return float(text)


def load_model(text):
    """The load's impedance as a function of frequency (Hz)."""
    if text.startswith("series:"):
        parts = dict(p.split("=") for p in text[len("series:"):].split(","))
        r = si_value(parts.get("R", "0"))
        l = si_value(parts.get("L", "0"))
        c = si_value(parts.get("C", "0"))

        def z(f):
            w = 2 * math.pi * f
            x = w * l - (1 / (w * c) if c > 0 else 0)
            return complex(r, x)
        return z
    m = re.fullmatch(r"([-+]?[0-9.]+)(?:([-+])j?([0-9.]+)j?)?", text)
    if not m:
        sys.exit("load not understood: " + text)
    zr = float(m.group(1))
    zx = 0.0 if m.group(2) is None else float(m.group(3)) * (1 if m.group(2) == "+" else -1)
    return lambda f: complex(zr, zx)


def gamma(z):
    return (z - 50) / (z + 50)


def run_scan(args, k, home):
    sets = list(args.set)
    if args.vary_seed:
        sets = [s for s in sets if not s.startswith("seed=")] + ["seed=%d" % (args.seed + k)]
    cmd = [args.cli, "scan", "--sim", args.load, "--rate", str(args.rate), "--range", args.range]
    for s in sets:
        cmd += ["--sim-set", s]
    env = dict(os.environ, HOME=home)
    out = subprocess.run(cmd, capture_output=True, text=True, env=env, timeout=120)
    points = []
    for line in out.stdout.splitlines():
        f = line.split("\t")
        if len(f) == 4 and re.fullmatch(r"[0-9.]+", f[0]):
            points.append((float(f[0]) * 1e6, complex(float(f[1]), float(f[2]))))
    if out.returncode != 0 or not points:
        print("scan %d failed (%d): %s" % (k, out.returncode, out.stderr[-400:]), file=sys.stderr)
    return points


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--cli", default="build-acc/src/app/kavusdraa-cli")
    ap.add_argument("--load", default="500")
    ap.add_argument("--rate", type=int, default=2400000)
    ap.add_argument("--range", default="143-147 1")
    ap.add_argument("-n", type=int, default=10)
    ap.add_argument("--set", action="append", default=[], help="bench impairment NAME=VALUE")
    ap.add_argument("--rel", type=float, default=None, help="R/X bound: rel*|Z| + abs")
    ap.add_argument("--abs", type=float, default=None)
    ap.add_argument("--gamma-tol", type=float, default=0.002)
    ap.add_argument("--vary-seed", action="store_true")
    ap.add_argument("--seed", type=int, default=7)
    ap.add_argument("--raw", action="store_true", help="print every point of every scan")
    a = ap.parse_args()
    if not any(s.startswith("seed=") for s in a.set):
        a.set.append("seed=%d" % a.seed)
    model = load_model(a.load)
    high = abs(model(145e6)) > 400
    rel = a.rel if a.rel is not None else (0.01 if high else 0.005)
    absb = a.abs if a.abs is not None else (0.5 if high else 0.2)

    errs = {}  # f -> list of (dR, dX, dGamma)
    bad_scans = 0
    with tempfile.TemporaryDirectory() as home:
        for k in range(a.n):
            bad = False
            for f, z in run_scan(a, k, home):
                want = model(f)
                d = (z.real - want.real, z.imag - want.imag, abs(gamma(z)) - abs(gamma(want)))
                errs.setdefault(f, []).append(d)
                tol = rel * abs(want) + absb
                if abs(d[0]) > tol or abs(d[1]) > tol or abs(d[2]) > a.gamma_tol:
                    bad = True
                if a.raw:
                    print("scan %2d f=%.0f dR=%+.3f dX=%+.3f dG=%+.5f" % (k, f, *d))
            bad_scans += bad
    print("load %s rate %d range '%s' sets %s: %d scans, %d outside the bounds (R,X %.3g*|Z|+%.3g, |G| %.3g)"
          % (a.load, a.rate, a.range, " ".join(a.set), a.n, bad_scans, rel, absb, a.gamma_tol))
    print("%12s %8s %8s %8s %8s %9s %9s %8s %8s %9s" %
          ("f", "mean dR", "sd dR", "mean dX", "sd dX", "mean dG", "sd dG", "max|dR|", "max|dX|", "max|dG|"))
    for f in sorted(errs):
        e = errs[f]
        col = list(zip(*e))
        sd = [statistics.pstdev(c) if len(c) > 1 else 0.0 for c in col]
        print("%12.0f %+8.3f %8.3f %+8.3f %8.3f %+9.5f %9.5f %8.3f %8.3f %9.5f" %
              (f, statistics.mean(col[0]), sd[0], statistics.mean(col[1]), sd[1], statistics.mean(col[2]), sd[2],
               max(map(abs, col[0])), max(map(abs, col[1])), max(map(abs, col[2]))))


if __name__ == "__main__":
    main()
