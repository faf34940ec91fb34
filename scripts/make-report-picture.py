#!/usr/bin/env python3
"""Draws docs/line-report.png, the line report's page for the line
engineer's guide: three stations upgrade the demo bench for real with the
built tolvane-cli (station B's last board fails on its third hub), then
`tolvane-cli report --html` makes the page and headless Chromium takes its
picture at 1280 pixels wide, the whole page long. Needs the native build of
tolvane-cli, tolvane-mkimage and the simulated library, and Chromium with
chromedriver (scripts/install-deps.sh).

    python3 scripts/make-report-picture.py [BIN_DIR [OUTPUT.png]]

The times in the page are those of the run, so the picture differs from one
run to the next only there.
"""

import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.normpath(os.path.join(HERE, ".."))
sys.path.insert(0, os.path.join(SOURCE, "tests", "support"))
from webdriver import Browser  # noqa: E402

WIDTH = 1280
# Station, lot, the options of each board's upgrade, and whether the
# bench's third hub fails its write on that board.
BOARDS = [
    ("A", "L1", ["--verify"], False),
    ("A", "L1", ["--verify"], False),
    ("A", "L2", ["--verify"], False),
    ("B", "L1", [], False),
    ("B", "L2", ["--verify"], True),
    ("C", "L2", ["--verify"], False),
    ("C", "L2", ["--verify"], False),
]


def bench(work, fail_third):
    """The demo bench with quick writes, the third hub failing if asked."""
    with open(os.path.join(SOURCE, "demo", "HubBench.ini"), encoding="utf-8") as f:
        text = re.sub(r"UpdateMs=\d+", "UpdateMs=40", f.read())
    if fail_third:
        text = text.rstrip("\n") + "\nUpdateResult=4\n"
    with open(os.path.join(work, "HubBench.ini"), "w", encoding="utf-8") as f:
        f.write(text)
    state = os.path.join(work, "HubBench.ini.state")
    if os.path.exists(state):
        os.remove(state)


def main():
    bin_dir = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(SOURCE, "build", "linux", "bin"))
    out = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else os.path.join(SOURCE, "docs", "line-report.png"))
    cli = os.path.join(bin_dir, "tolvane-cli")
    with tempfile.TemporaryDirectory(prefix="tolvane-report-picture-") as work:
        subprocess.run(["bash", os.path.join(HERE, "make-demo-folder.sh"), bin_dir, work], check=True)
        histories = []
        for station, lot, options, fail_third in BOARDS:
            bench(work, fail_third)
            history = f"{station}.jsonl"
            if history not in histories:
                histories.append(history)
            command = [cli, "-C", work, "upgrade", "--settle-ms", "0", "--history", history,
                       "--station", station, "--lot", lot] + options
            result = subprocess.run(command, stdout=subprocess.DEVNULL)
            if result.returncode != (1 if fail_third else 0):
                sys.exit(f"make-report-picture: {' '.join(command)} ended with {result.returncode}")
        page = os.path.join(work, "report.html")
        subprocess.run([cli, "-C", work, "report", "--html", page] + histories, stdout=subprocess.DEVNULL)
        with Browser(WIDTH, 800) as browser:
            browser.open(page)
            # The window's frame takes part of its height from the page.
            page_height, view_height = browser.run(
                "return [document.documentElement.scrollHeight, window.innerHeight]")
            browser.resize(WIDTH, page_height + 800 - view_height)
            png = browser.screenshot()
    with open(out, "wb") as f:
        f.write(png)
    print(f"make-report-picture: {out} ({len(png)} bytes)")


if __name__ == "__main__":
    main()
