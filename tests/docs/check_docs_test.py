#!/usr/bin/python3
"""Holds check_docs.py to its word: each case is a small guide, and the check
must pass or fail on it as the table says, naming the fault.

  check_docs_test.py --source DIR --bin DIR --work DIR
"""
import argparse
import os
import subprocess
import sys
import tempfile

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_docs.py")
F = "```"

# (name, guide text, passes, a text the check's report must hold)
EXAMPLE_CASES = [
    ("a passing sh block", f"{F}sh\n# example\ntrue\n{F}\n", True, "1 examples run"),
    ("a failing sh block", f"{F}sh\n# example\nfalse\n{F}\n", False, "exit status 1, the guide says 0"),
    ("the status named", f"{F}sh\n# example, exits 3\nexit 3\n{F}\n", True, ""),
    ("another status than named", f"{F}bash\n# example, exits 3\ntrue\n{F}\n", False, "exit status 0, the guide says 3"),
    ("errexit stops the block", f"{F}sh\n# example\nfalse\ntrue\n{F}\n", False, "exit status 1"),
    ("pipefail", f"{F}sh\n# example\nfalse | cat\n{F}\n", False, "exit status 1"),
    ("an unmarked block", f"{F}sh\ntrue\n{F}\n", False, "must start with '# example'"),
    ("an unmarked console block", f"{F}console\n$ true\n{F}\n", False, "must start with"),
    ("a block not run here", f"{F}sh\n# not run here: needs hubs\nfalse\n{F}\n", True, "1 not run here"),
    ("a reason is needed", f"{F}sh\n# not run here:\nfalse\n{F}\n", False, "must start with"),
    ("a Windows block says it is not run", f"{F}bat\nREM not run here: Windows\nexit /b 1\n{F}\n", True,
     "1 not run here"),
    ("a Windows block that does not", f"{F}powershell\n# example\nexit 1\n{F}\n", False, "must start with 'REM"),
    ("other kinds never run", f"{F}json\n{{ not json\n{F}\n{F}\nfalse\n{F}\n", True, "0 examples run"),
    ("output as shown", f"{F}console\n# example\n$ echo hi; echo err >&2\nhi\nerr\n{F}\n", True, ""),
    ("output not as shown", f"{F}console\n# example\n$ echo hi\nho\n{F}\n", False, "the guide shows"),
    ("missing output", f"{F}console\n# example\n$ echo hi\nhi\nmore\n{F}\n", False, "the guide shows"),
    ("leading blanks count", f"{F}console\n# example\n$ echo hi\n  hi\n{F}\n", False, "the guide shows"),
    ("CR and trailing blanks aside", f"{F}console\n# example\n$ printf 'hi  \\r\\n'\nhi\n{F}\n", True, ""),
    ("... stands for lines", f"{F}console\n# example\n$ printf 'a\\nb\\nc\\n'\na\n...\n{F}\n", True, ""),
    ("... stands for no line", f"{F}console\n# example\n$ printf 'a\\nc\\n'\na\n...\nc\n{F}\n", True, ""),
    ("... holds no wrong line", f"{F}console\n# example\n$ printf 'a\\nb\\n'\n...\nc\n{F}\n", False, "the guide shows"),
    ("each command its own output",
     f"{F}console\n# example\n$ echo one\none\n$ echo two\ntwo\n{F}\n", True, ""),
    ("output under the wrong command",
     f"{F}console\n# example\n$ echo one\n$ echo two\none\ntwo\n{F}\n", False, "the guide shows"),
    ("a command that fails on the way",
     f"{F}console\n# example, exits 4\n$ (exit 4)\n$ echo after\nafter\n{F}\n", False, "did not finish"),
    ("the last command's status", f"{F}console\n# example, exits 4\n$ echo x\nx\n$ (exit 4)\n{F}\n", True, ""),
    ("continued lines", f"{F}console\n# example\n$ echo a \\\n  b\na b\n{F}\n", True, ""),
    ("a shell shared in a block",
     f"{F}console\n# example\n$ cd build/demo; v=1\n$ ls SpiFlash.ini; echo $v\nSpiFlash.ini\n1\n{F}\n", True, ""),
    ("the demo bench and the programs",
     f"{F}sh\n# example\ntest -x build/linux/bin/tolvane-cli\nls build/demo/Bin/HUB460.BIN\n"
     f"command -v tolvane-mkimage\n{F}\n", True, ""),
    ("a fresh bench for every block",
     f"{F}sh\n# example\nrm build/demo/SpiFlash.ini\n{F}\n{F}sh\n# example\ntest -f build/demo/SpiFlash.ini\n{F}\n",
     True, "2 examples run"),
    ("the line of a failing block", f"text\n\n{F}sh\n# example\ntrue\n{F}\n\n{F}sh\n# example\nfalse\n{F}\n",
     False, "guide.md:8:"),
    ("an indented block in a list", f"1. step\n\n   {F}console\n   # example\n   $ echo hi\n   hi\n   {F}\n",
     True, "1 examples run"),
]


def sh(*lines, status=0):
    mark = "# example" + (f", exits {status}" if status else "")
    return f"{F}sh\n{mark}\n" + "\n".join(lines) + f"\n{F}\n\n"


# The same guide alone (each example on a fresh bench, the programs on the
# PATH) and in order (one bench, one terminal, the PATH as the guide sets it).
# (name, guide text, passes alone, passes in order, a text the in-order report must hold)
ORDER_CASES = [
    ("the second needs the first's folder and variables",
     sh("cd build/demo; v=1; export W=2; f() { echo fn; }") +
     sh('test -f SpiFlash.ini && test "$v$W" = 12 && f'), False, True, "2 examples run in order"),
    ("the first changes the bench the second reads",
     sh("rm build/demo/SpiFlash.ini") + sh("test -f build/demo/SpiFlash.ini"), True, False,
     "guide.md:6: in order, exit status 1"),
    ("the bench made once, not per example",
     sh("echo x > build/demo/Bin/CUT.BIN") + sh("test -f build/demo/Bin/CUT.BIN"), False, True, ""),
    ("in order the demo has upgraded the hubs", sh("grep -q 'Hub1=0x9021' build/demo/HubBench.ini.state"),
     False, True, ""),
    ("the folder of a console block holds for the next",
     f"{F}console\n# example\n$ cd build\n$ cd demo\n{F}\n" + sh("ls HubBench.ini"), False, True, ""),
    ("what a failing example left holds too",
     sh("cd build/demo", "false", status=1) + sh("test -f SpiFlash.ini"), False, True, ""),
    ("an exit keeps its status", sh("exit 3", status=3) + sh("exit 3"), False, False,
     "guide.md:6: in order, exit status 3, the guide says 0"),
    ("the programs by bare name need the PATH", sh("command -v tolvane-cli"), True, False,
     "exit status 1"),
    ("the PATH as the guide sets it",
     sh('export PATH="$PWD/build/linux/bin:$PATH"') + sh("cd build/demo", "tolvane-cli scan --settle-ms 0"),
     True, True, "2 examples run in order, 0 not run here, 0 failed"),
    ("a setup runs before each example alone, once in order",
     f"{F}sh\n# setup\ncd build/demo\n{F}\n\n" + sh("ls SpiFlash.ini") + sh("ls Bin/HUB460.BIN"), True, True,
     "3 examples run in order, 0 not run here, 0 failed"),
    ("a setup's PATH", f"{F}sh\n# setup\nexport PATH=/nonexistent:/usr/bin:/bin\n{F}\n\n" +
     sh("! command -v tolvane-cli"), True, True, ""),
    ("a setup that fails", f"{F}sh\n# setup\nfalse\n{F}\n\n" + sh("true"), False, False,
     "the setup at line 1 exits with 1"),
    ("an unmarked block fails in order too", f"{F}sh\ntrue\n{F}\n", False, False, "must start with"),
]

LINK_CASES = [
    ("a file that is there", "[x](other.md)\n", True),
    ("a file that is not", "[x](missing.md)\n", False),
    ("a folder", "[x](sub/)\n", True),
    ("a picture that is not", "![x](sub/missing.png)\n", False),
    ("a heading of this file", "# A `b` part, too\n\n[x](#a-b-part-too)\n", True),
    ("a heading that is not", "# Part\n\n[x](#parts)\n", False),
    ("a heading of another file", "[x](other.md#the-headings)\n", True),
    ("a heading another file lacks", "[x](other.md#nothing)\n", False),
    ("the second of two headings", "# Same\n# Same\n[x](#same-1)\n", True),
    ("a heading inside a code block", f"{F}sh\n# not a heading\n{F}\n[x](#not-a-heading)\n", False),
    ("a link inside a code block", f"{F}text\n[x](missing.md)\n{F}\n", True),
    ("a link inside inline code", "`[x](missing.md)`\n", True),
    ("web addresses are left alone", "[x](https://example.invalid/missing.md)\n", True),
    ("a reference definition", "[x]: missing.md\n", False),
]


def run(argv):
    proc = subprocess.run(["/usr/bin/python3", CHECK] + argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return proc.returncode, proc.stdout.decode("utf-8", "replace")


def verdict(name, passes, needle, status, report):
    if (status == 0) == passes and needle in report:
        return 0
    print(f"FAIL {name}: status {status}, expected {'0' if passes else 'not 0'}"
          f"{', with ' + repr(needle) if needle else ''}; report:\n{report}")
    return 1


def main():
    parser = argparse.ArgumentParser()
    for option in ("--source", "--bin", "--work"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    failures = 0
    with tempfile.TemporaryDirectory(dir=args.work) as folder:
        guide = os.path.join(folder, "guide.md")
        for name, text, passes, needle in EXAMPLE_CASES:
            with open(guide, "w", encoding="utf-8") as f:
                f.write(text)
            status, report = run(["examples", guide, "--source", args.source, "--bin", args.bin,
                                  "--work", args.work])
            failures += verdict(name, passes, needle, status, report)
        for name, text, alone, in_order, needle in ORDER_CASES:
            with open(guide, "w", encoding="utf-8") as f:
                f.write(text)
            for order, passes, want in (("alone", alone, ""), ("in-order", in_order, needle)):
                status, report = run(["examples", guide, "--source", args.source, "--bin", args.bin,
                                      "--work", args.work, "--order", order])
                failures += verdict(f"{name} ({order})", passes, want, status, report)
        os.makedirs(os.path.join(folder, "sub"))
        with open(os.path.join(folder, "other.md"), "w", encoding="utf-8") as f:
            f.write("# Other\n\n## The heading's\n")
        for name, text, passes in LINK_CASES:
            with open(guide, "w", encoding="utf-8") as f:
                f.write(text)
            status, report = run(["links", guide])
            failures += verdict(name, passes, "", status, report)
    total = len(EXAMPLE_CASES) + 2 * len(ORDER_CASES) + len(LINK_CASES)
    print(f"{total - failures} of {total} cases as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
