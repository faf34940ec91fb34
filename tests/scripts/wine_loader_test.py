#!/usr/bin/python3
"""Sources scripts/wine-loader.sh with a folder of stand-in Wine loaders
(TOLVANE_WINE_DIR) and a stand-in dpkg-query, for each way the 32-bit loader
can be: working, missing with or without its package, refused by the kernel,
broken otherwise. The script must name the reason in
TOLVANE_NO_32BIT_PROGRAMS, or leave it unset, and `wine` must then reach the
64-bit loader.

  wine_loader_test.py --source DIR --work DIR
"""
import argparse
import os
import shutil
import subprocess
import sys

WORKING = "#!/bin/sh\necho wine-8.0\n"
# An ELF header of no machine: execve refuses it as the kernel refuses a
# 32-bit program it cannot run, and the shell reports "Exec format error".
REFUSED = b"\x7fELF\x01\x01\x01" + b"\0" * 60
BROKEN = ("#!/bin/sh\necho 'wine: error while loading shared libraries: libwine.so.1: cannot open shared object file'"
          " >&2\necho second line >&2\nexit 127\n")
WINE64 = '#!/bin/sh\necho "64-bit loader, WINELOADER=$WINELOADER"\n'
UNSET = None

# (name, the 32-bit loader's content or None, wine32:i386 installed, the
#  reason expected in TOLVANE_NO_32BIT_PROGRAMS or UNSET)
CASES = [
    ("a working 32-bit loader", WORKING, True, UNSET),
    ("32-bit Wine not installed", None, False, "32-bit Wine (wine32:i386) is not installed"),
    ("the loader missing from an installed package", None, True, "Wine's 32-bit loader {dir}/wine is missing"),
    ("the kernel refuses 32-bit programs", REFUSED, True, "the kernel refuses 32-bit programs (Exec format error)"),
    ("a loader that fails otherwise", BROKEN, True,
     "Wine's 32-bit loader {dir}/wine does not run: wine: error while loading shared libraries: libwine.so.1: "
     "cannot open shared object file"),
]

SHOW = """
source "$1"
echo "reason=${TOLVANE_NO_32BIT_PROGRAMS-<unset>}"
echo "wine=$(command -v wine)"
wine --version
"""


def write(path, content, mode=0o755):
    with open(path, "wb") as f:
        f.write(content.encode() if isinstance(content, str) else content)
    os.chmod(path, mode)


def run_case(script, case, work):
    name, loader32, package, reason = case
    wine_dir = os.path.join(work, "lib-wine")
    bin_dir = os.path.join(work, "bin")
    os.makedirs(wine_dir)
    os.makedirs(bin_dir)
    write(os.path.join(wine_dir, "wine64"), WINE64)
    if loader32 is not None:
        write(os.path.join(wine_dir, "wine"), loader32)
    status = "install ok installed" if package else "unknown ok not-installed"
    write(os.path.join(bin_dir, "dpkg-query"), f"#!/bin/sh\nprintf '{status}'\n")
    # The real `wine` would pick a loader itself; this one says it was not replaced.
    write(os.path.join(bin_dir, "wine"), "#!/bin/sh\necho the system wine\n")
    env = dict(os.environ, TOLVANE_WINE_DIR=wine_dir, PATH=bin_dir + os.pathsep + os.environ["PATH"])
    env.pop("TOLVANE_NO_32BIT_PROGRAMS", None)
    run = subprocess.run(["bash", "-c", SHOW, "show", script], cwd=work, env=env, capture_output=True, text=True,
                         timeout=60)
    lines = dict(line.split("=", 1) for line in run.stdout.splitlines() if "=" in line and " " not in line[:8])
    faults = []
    expected = "<unset>" if reason is UNSET else reason.format(dir=wine_dir)
    if lines.get("reason") != expected:
        faults.append(f"reason {lines.get('reason')!r}, expected {expected!r}")
    if reason is UNSET:
        if lines.get("wine") != os.path.join(bin_dir, "wine") or "the system wine" not in run.stdout:
            faults.append("the system's wine was replaced although 32-bit programs run")
        if run.stdout.count("wine-loader:") or run.stderr:
            faults.append("it spoke although 32-bit programs run")
    else:
        if f"WINELOADER={wine_dir}/wine64" not in run.stdout:
            faults.append("wine does not run the 64-bit loader")
        if f"wine-loader: {expected}; " not in run.stdout:
            faults.append("the reason is not said")
    return faults, run.stdout + run.stderr


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    script = os.path.abspath(os.path.join(args.source, "scripts", "wine-loader.sh"))
    failed = 0
    for number, case in enumerate(CASES):
        work = os.path.join(args.work, f"wine-loader-{number}")
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        faults, trace = run_case(script, case, work)
        if faults:
            failed += 1
            print(f"FAIL {case[0]}: " + "; ".join(faults) + "\n" + trace)
        else:
            print(f"ok   {case[0]}")
    print(f"{len(CASES) - failed} of {len(CASES)} cases passed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
