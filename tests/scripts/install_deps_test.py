#!/usr/bin/python3
"""Runs scripts/install-deps.sh against stand-ins for apt-get, dpkg,
dpkg-query, id and sleep, which log every call and do what each case of the
table says: a registry whose update fails, packages that cannot be installed,
a user who is not root.

  install_deps_test.py --source DIR
"""
import argparse
import os
import subprocess
import sys
import tempfile

NATIVE_SAMPLE = ["cmake", "libgtest-dev", "clang-format"]
CROSS_SAMPLE = ["wine64", "xvfb", "g++-mingw-w64-i686"]
WINE32 = "wine32:i386"

# The stand-ins read their orders from files in FAKE_DIR and log to FAKE_DIR/log.
STAND_INS = {
    "dpkg-query": """#!/bin/sh
echo "dpkg-query $*" >>"$FAKE_DIR/log"
for last; do :; done
grep -qxF "$last" "$FAKE_DIR/installed" && printf 'install ok installed' && exit 0
echo "dpkg-query: no packages found matching $last" >&2
exit 1
""",
    "dpkg": """#!/bin/sh
echo "dpkg $*" >>"$FAKE_DIR/log"
case "$1" in
  --print-foreign-architectures) cat "$FAKE_DIR/architectures" ;;
  --add-architecture) echo "$2" >>"$FAKE_DIR/architectures" ;;
esac
""",
    "apt-get": """#!/bin/sh
echo "apt-get $*" >>"$FAKE_DIR/log"
case " $* " in
  *" update "*)
    left=$(cat "$FAKE_DIR/update-failures")
    [ "$left" -gt 0 ] || exit 0
    echo $((left - 1)) >"$FAKE_DIR/update-failures"
    echo "E: Failed to fetch http://deb.example/binary-i386/Packages.xz  File has unexpected size (1 != 2)." \
         "Mirror sync in progress?" >&2
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
    exit 100 ;;
esac
shift
packages=
for a; do
  case "$a" in -*|install) ;; *) packages="$packages $a" ;; esac
done
for p in $packages; do
  if grep -qxF "$p" "$FAKE_DIR/broken"; then
    echo "E: Unable to correct problems, you have held broken packages." >&2
    exit 100
  fi
done
for p in $packages; do echo "$p" >>"$FAKE_DIR/installed"; done
echo "Setting up $packages"
""",
    "id": """#!/bin/sh
cat "$FAKE_DIR/uid"
""",
    "sleep": """#!/bin/sh
echo "sleep $*" >>"$FAKE_DIR/log"
""",
}


def every_package(script):
    """The package names of the script's two lists, as it writes them."""
    text = open(script).read()
    names = []
    for array in ("native", "cross"):
        start = text.index(f"{array}=(") + len(array) + 2
        names += text[start:text.index(")", start)].split()
    return names + [WINE32]


# (name, group, missing packages, update failures, packages that cannot be
#  installed, uid, expected exit status, texts the output must hold, texts it
#  must not, packages that must end up installed, packages never asked for)
CASES = [
    ("the registry fails the update and 32-bit Wine", "all", NATIVE_SAMPLE + CROSS_SAMPLE + [WINE32], 99, [WINE32],
     "0", 0, ["apt-get update failed 3 times (Failed to fetch http://deb.example/", "Mirror sync in progress?); going on",
              "going on with the package lists that did arrive",
              "32-bit Wine (wine32:i386) could not be installed: Unable to correct problems, you have held broken "
              "packages; the launcher's 32-bit cases will be skipped", "install-deps: done"],
     [], NATIVE_SAMPLE + CROSS_SAMPLE, []),
    ("only 32-bit Wine missing, and it cannot be installed", "all", [WINE32], 99, [WINE32], "0", 0,
     ["32-bit Wine (wine32:i386) could not be installed", "install-deps: done"],
     ["downloading and installing"], [], []),
    ("an update that fails once is tried again", "all", NATIVE_SAMPLE + [WINE32], 1, [], "0", 0,
     ["install-deps: done"], ["update failed", "could not be installed"], NATIVE_SAMPLE + [WINE32], []),
    ("a needed package that cannot be installed stops it", "all", ["cmake", "xvfb", WINE32], 0, ["xvfb"], "0", 1,
     ["cannot install the packages for the native and the Windows builds (cmake xvfb): "
      "Unable to correct problems"], ["install-deps: done"], [], [WINE32]),
    ("every package present", "all", [], 0, [], "1000", 0,
     ["every package for the native and the Windows builds is present"], ["apt-get"], [], ["update"]),
    ("the native group never asks for Wine", "native", ["cmake"], 0, [], "0", 0, ["install-deps: done"],
     ["32-bit Wine"], ["cmake"], [WINE32, "wine64"]),
    ("not root", "all", ["cmake", WINE32], 0, [], "1000", 1, ["run as root to install: cmake wine32:i386"],
     [], [], ["update"]),
    ("32-bit Wine that installs says nothing of skipping", "all", [WINE32], 0, [], "0", 0,
     ["32-bit Wine (wine32:i386)", "install-deps: done"], ["could not be installed", "skipped"], [WINE32], []),
]


def write(path, text):
    with open(path, "w") as f:
        f.write(text)


def run_case(script, case, work):
    name, group, missing, update_failures, broken, uid, status, says, never_says, installs, never_asked = case
    fake = os.path.join(work, "fake")
    os.makedirs(fake)
    for tool, text in STAND_INS.items():
        write(os.path.join(fake, tool), text)
        os.chmod(os.path.join(fake, tool), 0o755)
    write(os.path.join(fake, "installed"), "".join(p + "\n" for p in every_package(script) if p not in missing))
    write(os.path.join(fake, "update-failures"), f"{update_failures}\n")
    write(os.path.join(fake, "broken"), "".join(p + "\n" for p in broken))
    write(os.path.join(fake, "uid"), uid + "\n")
    write(os.path.join(fake, "architectures"), "")
    write(os.path.join(fake, "log"), "")
    env = dict(os.environ, FAKE_DIR=fake, PATH=fake + os.pathsep + os.environ["PATH"])
    run = subprocess.run(["bash", script, group], env=env, capture_output=True, text=True, timeout=60)
    output = run.stdout + run.stderr
    log = open(os.path.join(fake, "log")).read()
    installed = set(open(os.path.join(fake, "installed")).read().split())
    faults = []
    if run.returncode != status:
        faults.append(f"exit status {run.returncode}, expected {status}")
    faults += [f"does not say {text!r}" for text in says if text not in output]
    faults += [f"says {text!r}" for text in never_says if text in output]
    faults += [f"did not install {p}" for p in installs if p not in installed]
    asked = [line for line in log.splitlines() if line.startswith("apt-get")]
    faults += [f"asked apt-get for {word}" for word in never_asked for line in asked if word in line.split()]
    if update_failures and status == 0 and missing:
        tries = sum(1 for line in asked if " update" in line)
        if tries != min(update_failures + 1, 3):
            faults.append(f"apt-get update ran {tries} times")
        if "Acquire::Retries=" not in log:
            faults.append("apt-get update without Acquire::Retries")
    if WINE32 in missing and uid == "0" and "--add-architecture i386" not in log:
        faults.append("i386 was not added as an architecture")
    for line in asked:
        packages = [word for word in line.split()[2:] if not word.startswith("-")]
        if WINE32 in packages and packages != [WINE32]:
            faults.append(f"32-bit Wine asked for together with others: {line}")
    return faults, output + log


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    args = parser.parse_args()
    script = os.path.join(args.source, "scripts", "install-deps.sh")
    failed = 0
    for case in CASES:
        with tempfile.TemporaryDirectory() as work:
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
