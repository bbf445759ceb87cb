#!/usr/bin/env python3
"""Breaks the code on purpose, one place at a time, and counts how many breaks a test catches.

Each mutation replaces one piece of text that must occur exactly once in its file, rebuilds, and
runs the unit and dialog tests; a break they miss is tried against the browser and deployment
suites too. The files are restored after each mutation, whatever happens. The count of caught
breaks is what a leaner test suite must not lose. Not part of CI: it takes about an hour.

    scripts/mutation-check.py [--build-dir build-mutation] [--only NAME...] [--list] [--check]
"""

import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "scripts"))
from mutations import MUTATIONS  # noqa: E402


def run(command, cwd, timeout):
    try:
        done = subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=timeout)
        return done.returncode == 0
    except subprocess.TimeoutExpired:
        return False


def configure(build):
    launcher = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"] if shutil.which("ccache") else []
    subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                    *launcher], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(build), f"-j{os.cpu_count()}"], check=True,
                   stdout=subprocess.DEVNULL)


def caught(build):
    """True when the mutated tree fails to build or fails a test."""
    jobs = f"-j{os.cpu_count()}"
    if not run(["cmake", "--build", str(build), jobs], ROOT, 1800):
        return "build"
    if not run(["ctest", "-L", "unit|gui", jobs, "--timeout", "300"], build, 1800):
        return "unit"
    if not run(["ctest", "-L", "browser|deploy", jobs, "--timeout", "600"], build, 3600):
        return "browser"
    return ""


def apply(mutation):
    path = ROOT / mutation["file"]
    text = path.read_text()
    count = text.count(mutation["find"])
    if count != 1:
        raise SystemExit(f"{mutation['name']}: the text occurs {count} times in {mutation['file']}")
    path.write_text(text.replace(mutation["find"], mutation["replace"]))
    return path, text


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", default=str(ROOT / "build-mutation"))
    parser.add_argument("--only", nargs="*")
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--check", action="store_true", help="only check that every break applies")
    args = parser.parse_args()
    chosen = [m for m in MUTATIONS if not args.only or m["name"] in args.only]
    if args.check:
        for m in chosen:
            count = (ROOT / m["file"]).read_text().count(m["find"])
            if count != 1:
                print(f"{m['name']}: occurs {count} times in {m['file']}")
        return
    if args.list:
        for m in chosen:
            print(f"{m['name']:40} {m['file']}")
        return
    build = pathlib.Path(args.build_dir)
    configure(build)
    # A suite that fails unbroken (no node modules, no browser) would count every break as caught.
    unbroken = caught(build)
    if unbroken:
        raise SystemExit(f"the unbroken tree already fails ({unbroken}): nothing to count")
    killed = 0
    for mutation in chosen:
        started = time.time()
        path, original = apply(mutation)
        try:
            by = caught(build)
        finally:
            path.write_text(original)
        killed += bool(by)
        verdict = f"caught ({by})" if by else "MISSED"
        print(f"{mutation['name']:40} {verdict:18} {time.time() - started:5.0f} s", flush=True)
    run(["cmake", "--build", str(build), f"-j{os.cpu_count()}"], ROOT, 1800)
    print(f"\n{killed} of {len(chosen)} breaks caught")


if __name__ == "__main__":
    main()
