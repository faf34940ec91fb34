#!/usr/bin/env python3
"""Opens the page of `tolvane-cli report --html` in headless Chromium at
1280 x 800 and checks what a person sees there against the `--json` of the
same histories: each table found by its heading, each row by the label it
shows, each column by its header; the charts by their texts and points.
Also: the screenshot is not blank, nothing scrolls sideways, the page prints.

    check_report_page.py PAGE.html REPORT.json SCREENSHOT.png

Exit 0 when all holds, 1 with every difference listed, 2 when the browser
cannot be used.
"""

import io
import json
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from webdriver import Browser, BrowserError  # noqa: E402

WIDTH, HEIGHT = 1280, 800

# Every section as the browser lays it out: heading, tables' cells as shown,
# the charts' texts and points with their attributes.
READ_PAGE = """
return Array.from(document.querySelectorAll('section')).map(section => ({
  title: section.querySelector('h2').innerText,
  tables: Array.from(section.querySelectorAll('table')).map(table =>
    Array.from(table.rows).map(row => Array.from(row.cells).map(cell => cell.innerText))),
  texts: Array.from(section.querySelectorAll('svg text')).map(t => ({
    text: t.textContent, x: +t.getAttribute('x'), y: +t.getAttribute('y'), fill: t.getAttribute('fill')})),
  points: Array.from(section.querySelectorAll('svg circle')).map(c => ({
    x: +c.getAttribute('cx'), y: +c.getAttribute('cy'), fill: getComputedStyle(c).fill})),
  legend: Array.from(section.querySelectorAll('li')).map(li => ({
    text: li.innerText, colour: getComputedStyle(li).color})),
  paragraphs: Array.from(section.querySelectorAll('p')).map(p => p.innerText),
}));
"""

# The page's own print rules applied on screen, so that the layout a printer
# gets can be measured at the width of a printed page.
PRINT_RULES_ON_SCREEN = """
for (const sheet of Array.from(document.styleSheets))
  for (const rule of Array.from(sheet.cssRules))
    if (rule.media && rule.media.mediaText.includes('print'))
      for (const inner of Array.from(rule.cssRules))
        sheet.insertRule(inner.cssText, sheet.cssRules.length);
return [document.documentElement.scrollWidth, window.innerWidth];
"""
# A4 upright at 96 pixels an inch, less Chromium's margins of 1 cm.
PRINTED_WIDTH = 718

TALLY_COLUMNS = {
    "boards": "boards",
    "passed": "boardsPassed",
    "yield": "yield",
    "hubs": "hubs",
    "programmed": "programmed",
    "current": "current",
    "failed": "failed",
    "refused": "refused",
    "no image": "noImage",
    "interrupted": "interrupted",
    "unverified": "unverified",
}


def shown(value):
    """A JSON text as the page shows it: no control byte, a backslash doubled,
    null as (none), runs of white space as one (what innerText does)."""
    if value is None:
        return "(none)"
    text = str(value).replace("\\", "\\\\")
    text = re.sub(r"[\x00-\x1f\x7f]", lambda m: "\\x%02X" % ord(m.group()), text)
    return " ".join(text.split())


def norm(text):
    return " ".join(text.split())


def yield_shown(value):
    return "-" if value is None else "%.1f%%" % (value * 100.0)


class Check:
    def __init__(self):
        self.faults = []

    def equal(self, what, seen, wanted):
        if seen != wanted:
            self.faults.append(f"{what}: the page shows {seen!r}, the JSON has {wanted!r}")

    def true(self, what, condition):
        if not condition:
            self.faults.append(what)


def rows_by_label(check, title, table, key_header):
    """{label: {header: cell}} of a table whose first column is key_header."""
    header = [norm(cell) for cell in table[0]]
    check.equal(f"{title}: first column", header[0], key_header)
    rows = {}
    for cells in table[1:]:
        label = norm(cells[0])
        check.true(f"{title}: row {label!r} shown twice", label not in rows)
        rows[label] = dict(zip(header[1:], (norm(c) for c in cells[1:])))
    return rows


def check_tally(check, section, rows_json, key, key_header):
    title = section["title"]
    rows = rows_by_label(check, title, section["tables"][0], key_header)
    wanted = {shown(row[key]) if key else "all": row for row in rows_json}
    check.equal(f"{title}: rows", sorted(rows), sorted(wanted))
    for label, row in wanted.items():
        cells = rows.get(label, {})
        if cells:
            check.equal(f"{title}: columns", sorted(cells), sorted(TALLY_COLUMNS))
        for header, field in TALLY_COLUMNS.items():
            if header not in cells:
                continue
            want = yield_shown(row[field]) if field == "yield" else str(row[field])
            check.equal(f"{title}: {label} / {header}", cells[header], want)


def check_counts(check, section, list_json, key, value_fields):
    """A table of key -> columns; value_fields maps header -> JSON field."""
    title = section["title"]
    rows = rows_by_label(check, title, section["tables"][0], value_fields[0])
    wanted = {shown(item[key]): item for item in list_json}
    check.equal(f"{title}: rows", sorted(rows), sorted(wanted))
    for label, item in wanted.items():
        for header, field in value_fields[1]:
            check.equal(f"{title}: {label} / {header}", rows.get(label, {}).get(header), shown(item[field]))


def bar_pairs(section):
    """(label, value) of a bar chart: each label and the value on its line."""
    by_line = {}
    for t in section["texts"]:
        by_line.setdefault(t["y"], []).append(t)
    pairs = []
    for y in sorted(by_line):
        texts = sorted(by_line[y], key=lambda t: t["x"])
        pairs.append((texts[0]["text"], texts[-1]["text"]))
    return pairs


def check_failure_bars(check, section, failures):
    # A bar names at most the first 48 bytes of its cause, in whole characters.
    want = [(shown(f["cause"].encode("utf-8")[:48].decode("utf-8", "ignore")), "%.1f" % f["count"])
            for f in failures[:20]]
    got = [(norm(label), value) for label, value in bar_pairs(section)]
    want = [(norm(label), value) for label, value in want]
    check.equal("failure bars", got, want)


def check_timing(check, section, summary):
    want = []
    for field, name in (("hubTime", "per hub"), ("boardTime", "per board")):
        if summary[field]["count"]:
            want.append((f"{name}, median", "%.1f ms" % summary[field]["medianMs"]))
            want.append((f"{name}, 95th percentile", "%.1f ms" % summary[field]["p95Ms"]))
    check.equal("time bars", bar_pairs(section), want)


def check_yield_chart(check, section, summary):
    """Each station's points, left to right, sit at its periods' yields
    (0 % at 250, 100 % at 10), under the period's name where one is shown."""
    periods = sorted({row["period"] for row in summary["byStationPeriod"]})
    axis = [t for t in section["texts"] if t["y"] > 250]
    names = [t["text"] for t in axis]
    shown_periods = [shown(p) for p in periods]
    check.true(f"yield chart: periods {names} are not a selection of {shown_periods} from the first",
               names and names[0] == shown_periods[0] and all(n in shown_periods for n in names)
               and names == sorted(names, key=shown_periods.index))
    x_of = {t["text"]: t["x"] for t in axis}
    legend = {norm(item["text"]): item["colour"] for item in section["legend"]}
    stations = sorted({shown(row["station"]) for row in summary["byStationPeriod"] if row["yield"] is not None})
    check.equal("yield chart: stations", sorted(legend), stations)
    colours = list(legend.values())
    for station, colour in legend.items():
        if colours.count(colour) > 1:
            continue
        got = sorted((p["x"], round(p["y"], 1)) for p in section["points"] if p["fill"] == colour)
        want = sorted(
            (shown(row["period"]), round(10 + (1 - row["yield"]) * 240, 1))
            for row in summary["byStationPeriod"]
            if shown(row["station"]) == station and row["yield"] is not None
        )
        check.equal(f"yield chart: {station}'s yields", [y for _, y in got], [y for _, y in want])
        for (x, _), (period, _) in zip(got, want):
            if period in x_of:
                check.equal(f"yield chart: {station}'s point of {period}", x, x_of[period])


def check_at_risk(check, section, summary):
    count = re.search(r"(\d+)\s*$", section["title"])
    check.equal("at-risk count", count and int(count.group(1)), summary["atRiskCount"])
    table = section["tables"][0]
    got = [[norm(c) for c in row] for row in table[1:]]
    want = []
    for entry in summary["atRisk"]:
        hub = entry["hub"]
        where = f"{shown(hub.get('number'))} {shown(hub.get('vid', ''))}:{shown(hub.get('pid', ''))}"
        want.append([shown(entry["station"]), shown(entry["run"]), shown(entry["time"]), norm(where),
                     shown(entry["kind"]), f"{shown(entry['file'])}, {entry['line']}"])
    check.equal("at-risk rows", got, want)


def check_intro(check, text, summary):
    window = re.match(r"Runs from (.*) until (.*?); (\d+) copies of runs counted once", norm(text))
    check.true(f"the opening line reads {text!r}", window)
    if window:
        check.equal("runs from", window.group(1), summary["since"] or "the first")
        check.equal("runs until", window.group(2), summary["until"] or "the last")
        check.equal("copies of runs", int(window.group(3)), summary["duplicateRuns"])


def check_sections(check, sections, summary):
    by_title = {norm(s["title"]): s for s in sections}
    period_title = "By hour" if summary["period"] == "hour" else "By day"
    at_risk = [s for s in sections if s["title"].startswith("Hubs that may hold incomplete firmware")]
    wanted = ["Total", "Yield over time per station", "By station", "By lot", period_title,
              "Failures by cause, worst first", "Failures by cause", "Version transitions", "Images written",
              "Time per hub and per board"]
    for title in wanted:
        check.true(f"no section {title!r}", title in by_title)
    check.true("no section of hubs at risk", len(at_risk) == 1)
    if check.faults:
        return
    check_tally(check, by_title["Total"], [summary["totals"]], None, "line")
    check_tally(check, by_title["By station"], summary["byStation"], "station", "station")
    check_tally(check, by_title["By lot"], summary["byLot"], "lot", "lot")
    check_tally(check, by_title[period_title], summary["byPeriod"], "period", "period")
    check_yield_chart(check, by_title["Yield over time per station"], summary)
    check_failure_bars(check, by_title["Failures by cause, worst first"], summary["failures"])
    check_counts(check, by_title["Failures by cause"], summary["failures"], "cause", ("cause", [("count", "count")]))
    check_counts(check, by_title["Version transitions"], summary["transitions"], "transition",
                 ("transition", [("count", "count")]))
    check_images(check, by_title["Images written"], summary["images"])
    check_timing(check, by_title["Time per hub and per board"], summary)
    check_at_risk(check, at_risk[0], summary)


def check_images(check, section, images):
    table = section["tables"][0]
    check.equal("images: columns", [norm(c) for c in table[0]], ["image", "SHA-256", "signer", "hubs"])
    got = sorted([norm(c) for c in row] for row in table[1:])
    want = sorted([shown(i["name"]), shown(i["sha256"]), shown(i["signer"]), str(i["count"])] for i in images)
    check.equal("image rows", got, want)


def check_picture(check, png, path):
    from PIL import Image

    with open(path, "wb") as f:
        f.write(png)
    image = Image.open(io.BytesIO(png)).convert("RGB")
    check.equal("screenshot width", image.width, WIDTH)
    colours = image.getcolors(maxcolors=1 << 24)
    background = max(colours)[0] if colours else 0
    pixels = image.width * image.height
    check.true(f"screenshot nearly blank: {pixels - background} of {pixels} pixels drawn",
               pixels - background > pixels // 50)
    check.true(f"screenshot has {len(colours)} colours", len(colours) > 16)


def main():
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    page, report, picture = sys.argv[1:]
    with open(report, encoding="utf-8") as f:
        summary = json.load(f)
    check = Check()
    try:
        with Browser(WIDTH, HEIGHT) as browser:
            browser.open(page)
            check.equal("title", browser.run("return document.title"), "Tolvane line report")
            check_picture(check, browser.screenshot(), picture)
            width = browser.run("return [document.documentElement.scrollWidth, window.innerWidth]")
            check.true(f"the page scrolls sideways: {width[0]} wide in {width[1]}", width[0] <= width[1])
            check_intro(check, browser.run("return document.querySelector('body > p').innerText"), summary)
            check_sections(check, browser.run(READ_PAGE), summary)
            pdf = browser.print_pdf()
            pages = len(re.findall(rb"/Type\s*/Page\b", pdf))
            check.true(f"printing gave no page ({len(pdf)} bytes)", pdf.startswith(b"%PDF") and pages >= 1)
            browser.resize(PRINTED_WIDTH, HEIGHT)
            width = browser.run(PRINT_RULES_ON_SCREEN)
            check.true(f"printed, the page is {width[0]} wide on a page {width[1]} wide", width[0] <= width[1])
    except BrowserError as error:
        print(f"check_report_page: {error}", file=sys.stderr)
        return 2
    for fault in check.faults:
        print(fault)
    return 1 if check.faults else 0


if __name__ == "__main__":
    sys.exit(main())
