#!/usr/bin/python3
"""Runs the command examples of a guide and checks its relative links.

  check_docs.py examples GUIDE.md --source DIR --bin DIR --work DIR [--order alone|in-order]
  check_docs.py links FILE.md...

A command example is a fenced block whose info string starts with sh, bash,
shell or console, and whose first line says what to expect of it:

  # example                 run it; it must exit with 0
  # example, exits N        run it; it must exit with N
  # setup                   what the reader does before the examples below it
                            (the PATH, the folder); it must exit with 0
  # not run here: REASON    never run (Windows only, needs root or hubs...)

A block of these kinds without such a line fails the check, so that no
command is left untested by oversight. Blocks for the Windows shells (bat,
batch, cmd, powershell, ps1, pwsh) never run here and must say so, in their
own comment: "REM not run here: REASON" (or "::" or "#" for "REM"). In an sh block the rest is a bash
script. In a console block, lines starting with "$ " are commands (a line
ending in a backslash goes on on the next), and the lines after a command,
up to the next one, are its expected output: standard output and standard
error together, line ends and trailing blanks aside; a line "..." stands for
any number of lines. Either kind runs with errexit and pipefail, so its exit
status is that of the first command that fails, else of the last.

Alone (the default), every example runs in a scratch folder of its own that
looks like the top of a checkout after bash scripts/demo.sh: the source
folders (linked; examples must not write there), build/linux/bin (linked to
the programs under test, also first on PATH) and a fresh demo bench in
build/demo; the guide's setup blocks above it run first. In order, all of a
guide's examples and setups run from its top, one after the other, on one
such folder whose hubs the demo has upgraded (as it leaves them without a
display), as a reader pastes them into one terminal: each starts in the
folder, with the variables and functions, that the one before left, and the
PATH is the one the guide tells the reader to set up.
"""
import argparse
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

SHELL_LANGS = {"sh", "bash", "shell", "console"}
WINDOWS_LANGS = {"bat", "batch", "cmd", "powershell", "ps1", "pwsh"}
FENCE = re.compile(r"^(\s*)(```+|~~~+)\s*([^`\s]*)(.*)$")
MARK_RUN = re.compile(r"^# example(?:, exits (\d+))?\s*$")
MARK_SETUP = re.compile(r"^# setup\s*$")
MARK_SKIP = re.compile(r"^# not run here: \S")
MARK_SKIP_WINDOWS = re.compile(r"^(REM|::|#) not run here: \S", re.I)
EXAMPLE_TIMEOUT = 120


class Block:
    def __init__(self, path, line, lang, lines):
        self.path, self.line, self.lang, self.lines = path, line, lang, lines

    def where(self):
        return f"{self.path}:{self.line}"


def fenced_blocks(path):
    """Every fenced block of a Markdown file, with its line number."""
    blocks = []
    with open(path, encoding="utf-8") as f:
        text = f.read().split("\n")
    i = 0
    while i < len(text):
        m = FENCE.match(text[i])
        if not m:
            i += 1
            continue
        indent, fence, lang = len(m.group(1)), m.group(2), m.group(3).lower()
        start, body = i + 1, []
        i += 1
        while i < len(text) and not text[i].strip().startswith(fence[0] * len(fence)):
            line = text[i]
            body.append(line[indent:] if line[:indent].strip() == "" else line)
            i += 1
        blocks.append(Block(path, start, lang, body))
        i += 1
    return blocks


def parse_console(lines):
    """The commands of a console block, each with its expected output."""
    steps = []
    i = 0
    while i < len(lines):
        if not lines[i].startswith("$ "):
            if steps:
                steps[-1][1].append(lines[i])
            elif lines[i].strip():
                raise ValueError(f"output before the first command: {lines[i]!r}")
            i += 1
            continue
        command = lines[i][2:]
        while command.endswith("\\") and i + 1 < len(lines):
            i += 1
            command += "\n" + lines[i]
        steps.append((command, []))
        i += 1
    for _, expected in steps:
        while expected and not expected[-1].strip():
            expected.pop()
    return steps


def output_matches(expected, actual):
    """Line by line; "..." matches any run of lines, including none."""
    def match(e, a):
        if e == len(expected):
            return a == len(actual)
        if expected[e] == "...":
            return any(match(e + 1, k) for k in range(a, len(actual) + 1))
        return a < len(actual) and expected[e] == actual[a] and match(e + 1, a + 1)
    return match(0, 0)


def normalise(text):
    lines = [line.rstrip() for line in text.replace("\r", "").split("\n")]
    while lines and not lines[-1]:
        lines.pop()
    return lines


def make_scratch(source, bin_dir, work, upgraded=False):
    """A folder laid out like a checkout after scripts/demo.sh; upgraded, its
    hubs hold the new firmware, as the demo without a display leaves them."""
    top = tempfile.mkdtemp(prefix="example-", dir=work)
    for entry in os.listdir(source):
        if entry not in ("build", ".git"):
            os.symlink(os.path.join(source, entry), os.path.join(top, entry))
    os.makedirs(os.path.join(top, "build", "linux"))
    os.symlink(bin_dir, os.path.join(top, "build", "linux", "bin"))
    subprocess.run(["bash", os.path.join(source, "scripts", "make-demo-folder.sh"), bin_dir,
                    os.path.join(top, "build", "demo")], check=True, stdout=subprocess.DEVNULL)
    if upgraded:
        subprocess.run([os.path.join(bin_dir, "tolvane-cli"), "-C", os.path.join(top, "build", "demo"),
                        "upgrade", "--settle-ms", "0"], check=True, stdout=subprocess.DEVNULL)
    return top


def run_script(script, cwd, env, session=None):
    if session:
        script = session.wrap(script)
    proc = subprocess.run(["bash", "-c", "set -eo pipefail\n" + script], cwd=cwd, env=env,
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          timeout=EXAMPLE_TIMEOUT)
    return proc.returncode, proc.stdout.decode("utf-8", "replace")


# Variables that bash sets itself or that belong to one process; a reader's
# terminal keeps its own, so they do not pass from one example to the next.
SHELL_OWN = ("BASH BASHOPTS BASHPID BASH_ALIASES BASH_ARGC BASH_ARGV BASH_ARGV0 BASH_CMDS BASH_COMMAND "
             "BASH_EXECUTION_STRING BASH_LINENO BASH_REMATCH BASH_SOURCE BASH_SUBSHELL BASH_VERSINFO "
             "BASH_VERSION COLUMNS DIRSTACK EPOCHREALTIME EPOCHSECONDS EUID FUNCNAME GROUPS HISTCMD "
             "HOSTNAME HOSTTYPE IFS LINENO LINES MACHTYPE OLDPWD OPTARG OPTERR OPTIND OSTYPE PIPESTATUS "
             "PPID PS4 PWD RANDOM SECONDS SHELLOPTS SHLVL SRANDOM UID _")

# Written into every example of a session: on the way out, however the
# example ends (its last command, errexit or exit), the folder, the variables
# and the functions go to the state file, which the next example reads first.
SAVE_STATE = """__tolvane_save() {
  set +e
  local __n __d __f
  { printf 'cd -- %q\\n' "$PWD"
    for __n in $(compgen -v); do
      case " @OWN@ " in *" $__n "*) continue ;; esac
      case $__n in __tolvane_*) continue ;; esac
      __d=$(declare -p "$__n" 2>/dev/null) || continue
      __f=${__d#declare -}; __f=${__f%% *}
      case $__f in *r*) continue ;; esac
      printf '%s\\n' "$__d"
    done
    for __n in $(compgen -A function); do
      case $__n in __tolvane_*) ;; *) declare -f "$__n" ;; esac
    done
  } > @STATE@
}
trap __tolvane_save EXIT
"""


class Session:
    """A reader's terminal across the examples of a guide: each example
    starts where the one before it left off, in its folder, with its
    variables (exported or not) and functions, whichever way it ended."""

    def __init__(self, top, state_file):
        self.top, self.state_file, self.alone = top, state_file, False
        open(state_file, "w").close()

    def wrap(self, script):
        state = shlex.quote(self.state_file)
        save = SAVE_STATE.replace("@OWN@", SHELL_OWN).replace("@STATE@", state)
        return f". {state}\n{save}{script}"


def run_setups(setups, top, env, session=None):
    """Runs the guide's setup blocks, which must pass; returns the complaints."""
    for block in setups:
        try:
            status, output = run_script("\n".join(block.lines[1:]) + "\n", top, env, session)
        except subprocess.TimeoutExpired:
            return [f"the setup at line {block.line} still running after {EXAMPLE_TIMEOUT} s"]
        if status != 0:
            return [f"the setup at line {block.line} exits with {status}; output:\n{output}"]
    return []


def check_example(block, expected_status, args, env, session=None, setups=()):
    """Runs one example, on a fresh bench of its own after the guide's setup
    blocks above it, or in the session; returns a list of complaints."""
    top = session.top if session else make_scratch(args.source, args.bin, args.work)
    body = block.lines[1:]
    try:
        if not session and setups:
            # Alone, the setup's folder and variables reach the example as in order.
            session = Session(top, top + ".state")
            session.alone = True
            problems = run_setups(setups, top, env, session)
            if problems:
                return problems
        if block.lang != "console":
            status, output = run_script("\n".join(body) + "\n", top, env, session)
            if status != expected_status:
                return [f"exit status {status}, the guide says {expected_status}; output:\n{output}"]
            return []
        try:
            steps = parse_console(body)
        except ValueError as e:
            return [str(e)]
        if not steps:
            return ["a console example without a command ($ ...)"]
        # One shell runs every command, so that cd and variables carry on;
        # a marker line after each tells where its output ends.
        marker = "@@tolvane-example-step@@"
        script = "".join(f"{command}\necho; echo '{marker}'\n" for command, _ in steps)
        status, output = run_script(script, top, env, session)
        pieces = output.split(marker + "\n")
        problems = []
        for n, (command, expected) in enumerate(steps):
            if n >= len(pieces):
                problems.append(f"'{command}' did not finish (the block stopped before it)")
                break
            actual = normalise(pieces[n])
            if expected and not output_matches([e.rstrip() for e in expected], actual):
                problems.append(f"'{command}' printed:\n" + "\n".join(actual) +
                                "\nthe guide shows:\n" + "\n".join(expected))
        if status != expected_status:
            problems.append(f"exit status {status}, the guide says {expected_status}; output:\n{output}")
        return problems
    finally:
        if not session or session.alone:
            shutil.rmtree(top, ignore_errors=True)
        if session and session.alone:
            os.remove(session.state_file)


SETUP = None  # the expected status of a setup block, which must exit with 0


def runnable_blocks(guide):
    """Each command example with the status it must exit with, and the
    complaints about blocks that do not say what to expect of them."""
    blocks, complaints, skipped = [], [], 0
    for block in fenced_blocks(guide):
        first = block.lines[0] if block.lines else ""
        if block.lang in WINDOWS_LANGS:
            if MARK_SKIP_WINDOWS.match(first):
                skipped += 1
            else:
                complaints.append(f"{block.where()}: a {block.lang} block must start with "
                                  f"'REM not run here: REASON'")
            continue
        if block.lang not in SHELL_LANGS:
            continue
        run, skip = MARK_RUN.match(first), MARK_SKIP.match(first)
        if skip:
            skipped += 1
        elif run:
            blocks.append((block, int(run.group(1) or 0)))
        elif MARK_SETUP.match(first):
            blocks.append((block, SETUP))
        else:
            complaints.append(f"{block.where()}: a {block.lang} block must start with '# example', "
                              f"'# example, exits N' or '# not run here: REASON'")
    return blocks, complaints, skipped


def examples(args):
    """Alone, every example runs on a fresh bench with the programs on the
    PATH. In order, the guide's examples run one after the other on one
    bench, as a reader pastes them into one terminal from the guide's top:
    the PATH is what it was, so a guide that calls the programs by their
    bare names must first show how to put them there."""
    env = dict(os.environ)
    if args.order == "alone":
        env["PATH"] = args.bin + os.pathsep + env.get("PATH", "")
    env["LC_ALL"] = "C.UTF-8"
    for name in ("TOLVANE_BENCH", "TOLVANE_HUBS"):
        env.pop(name, None)
    os.makedirs(args.work, exist_ok=True)
    blocks, complaints, skipped = runnable_blocks(args.guide)
    for c in complaints:
        print(c)
    failures, session = len(complaints), None
    if args.order == "in-order" and blocks:
        top = make_scratch(args.source, args.bin, args.work, upgraded=True)
        session = Session(top, top + ".state")
    try:
        setups = []
        for block, expected_status in blocks:
            if expected_status is SETUP and session:
                problems = run_setups([block], session.top, env, session)
            elif expected_status is SETUP:
                setups.append(block)
                continue
            else:
                try:
                    problems = check_example(block, expected_status, args, env, session, setups)
                except subprocess.TimeoutExpired:
                    problems = [f"still running after {EXAMPLE_TIMEOUT} s"]
            for p in problems:
                print(f"{block.where()}: {'in order, ' if session else ''}{p}")
            failures += bool(problems)
    finally:
        if session:
            shutil.rmtree(session.top, ignore_errors=True)
            os.remove(session.state_file)
    print(f"{args.guide}: {len(blocks)} examples run {args.order.replace('-', ' ')}, {skipped} not run here, {failures} failed")
    return 1 if failures else 0


def github_anchor(heading, seen):
    """The anchor GitHub gives a heading."""
    text = re.sub(r"`|\*\*|__", "", heading.strip().lower())
    text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", text)
    slug = re.sub(r"[^\w\- ]", "", text).replace(" ", "-")
    n = seen.get(slug, 0)
    seen[slug] = n + 1
    return slug if n == 0 else f"{slug}-{n}"


def prose_lines(path):
    """The lines of a Markdown file outside fenced blocks."""
    lines, fence = [], None
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            m = FENCE.match(line)
            if fence:
                if line.strip().startswith(fence):
                    fence = None
                continue
            if m:
                fence = m.group(2)
                continue
            lines.append((number, line.rstrip("\n")))
    return lines


def anchors_of(path, cache={}):
    if path not in cache:
        seen = {}
        cache[path] = {github_anchor(line.lstrip("#"), seen)
                       for _, line in prose_lines(path) if re.match(r"^#{1,6} ", line)}
    return cache[path]


LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)|^\s*\[[^\]]+\]:\s*(\S+)")


def links(args):
    failures = 0
    for doc in args.files:
        for number, line in prose_lines(doc):
            for m in LINK.finditer(re.sub(r"`+[^`]*`+", "", line)):
                target = m.group(1) or m.group(2)
                if re.match(r"^[a-z][a-z0-9+.-]*:", target, re.I):
                    continue
                path, _, anchor = target.partition("#")
                full = os.path.normpath(os.path.join(os.path.dirname(doc), path)) if path else doc
                problem = None
                if not os.path.exists(full):
                    problem = "no such file"
                elif anchor and full.endswith(".md") and anchor not in anchors_of(full):
                    problem = f"no heading with the anchor #{anchor}"
                if problem:
                    print(f"{doc}:{number}: link {target}: {problem}")
                    failures += 1
    print(f"{len(args.files)} files checked, {failures} broken links")
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    sub = parser.add_subparsers(dest="what", required=True)
    ex = sub.add_parser("examples")
    ex.add_argument("guide")
    ex.add_argument("--source", required=True)
    ex.add_argument("--bin", required=True)
    ex.add_argument("--work", required=True)
    ex.add_argument("--order", choices=("alone", "in-order"), default="alone",
                    help="each example on a fresh bench, or all in order in one session")
    ln = sub.add_parser("links")
    ln.add_argument("files", nargs="+")
    args = parser.parse_args()
    if args.what == "examples":
        args.source, args.bin, args.work = (os.path.abspath(p) for p in (args.source, args.bin, args.work))
        return examples(args)
    return links(args)


if __name__ == "__main__":
    sys.exit(main())
