#!/usr/bin/env python3
"""Draws docs/line-report.png, the line report's page for the line
engineer's guide: three stations upgrade the demo bench for real with the
built tolvane-cli over what looks like four hours (each board's lines are
moved back by whole hours once written, the only change made to them), then
`tolvane-cli report --html` makes the page and headless Chromium takes its
picture at 1280 pixels wide, the whole page long. Needs the native build of
tolvane-cli, tolvane-mkimage and the simulated library, and Chromium with
chromedriver (scripts/install-deps.sh).

    python3 scripts/make-report-picture.py [BIN_DIR [OUTPUT.png]]

Only the times in the page change from one drawing to the next.
"""

import datetime
import json
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
HOURS = 4
# Hour, station, lot, the options of the board's upgrade, and whether the
# bench's third hub fails its write on that board.
BOARDS = [
    (0, "A", "L1", ["--verify"], False),
    (0, "B", "L1", [], False),
    (0, "C", "L1", ["--verify"], False),
    (1, "A", "L1", ["--verify"], False),
    (1, "B", "L1", ["--verify"], False),
    (1, "C", "L1", [], False),
    (2, "A", "L2", ["--verify"], True),
    (2, "B", "L2", ["--verify"], False),
    (2, "C", "L2", ["--verify"], False),
    (3, "A", "L2", ["--verify"], False),
    (3, "B", "L2", ["--verify"], True),
    (3, "C", "L2", ["--verify"], False),
]


def moved(line, hours):
    """A history line with its time hours earlier."""
    record = json.loads(line)
    when = datetime.datetime.strptime(record["time"], "%Y-%m-%dT%H:%M:%S.%fZ") - datetime.timedelta(hours=hours)
    record["time"] = when.strftime("%Y-%m-%dT%H:%M:%S.") + "%03dZ" % (when.microsecond // 1000)
    return json.dumps(record, ensure_ascii=False, separators=(",", ":")) + "\n"


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
        board_history = os.path.join(work, "board.jsonl")
        for hour, station, lot, options, fail_third in BOARDS:
            bench(work, fail_third)
            command = [cli, "-C", work, "upgrade", "--settle-ms", "0", "--history", board_history,
                       "--station", station, "--lot", lot] + options
            result = subprocess.run(command, stdout=subprocess.DEVNULL)
            if result.returncode != (1 if fail_third else 0):
                sys.exit(f"make-report-picture: {' '.join(command)} ended with {result.returncode}")
            history = f"{station}.jsonl"
            if history not in histories:
                histories.append(history)
            with open(board_history, encoding="utf-8") as f:
                lines = [moved(line, HOURS - 1 - hour) for line in f if line.strip()]
            os.remove(board_history)
            with open(os.path.join(work, history), "a", encoding="utf-8") as f:
                f.writelines(lines)
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
