#!/usr/bin/env python3
"""The day's page in a real browser: headless Chromium loads the page that
`hailog html` wrote, its DOM after the script ran must hold the lanes and,
for every event of `hailog summary --json`, a mark or bar that counts it at
its time, and a screenshot of it must show the timeline's colours, not a
blank page. Then a month of dense logs (made by MAKE_LOGS): its page stays
under 5 MB, is drawn a day per row, and its gathered marks still count
every restart.

    check_page.py HAILOG FOLDER WORK MAKE_LOGS
"""
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib
from collections import Counter
from html.parser import HTMLParser

LANES = ["ignition", "supervisor", "Hailwire", "Hailfare", "Hailnet", "Hailtrack", "Roadlens", "updates"]
# Colours of the page's style sheet, and how many pixels of each a
# 1400 by 1000 picture of the day must at least hold.
COLOURS = {
    "ignition off": ((0x49, 0x50, 0x57), 2000),
    "ignition on": ((0xB7, 0xE4, 0xC7), 2000),
    "supervisor running": ((0x1C, 0x7E, 0xD6), 2000),
    "restart": ((0xF7, 0x67, 0x07), 15 * 60),
    "navigation closed": ((0xAE, 0x3E, 0xC9), 3 * 60),
    "navigation started": ((0x12, 0xB8, 0x86), 2 * 60),
}
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--hide-scrollbars", "--window-size=1400,1000"]


class Elements(HTMLParser):
    def __init__(self):
        super().__init__()
        self.found = []

    def handle_starttag(self, tag, attrs):
        self.found.append((tag, dict(attrs)))


def chromium():
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    sys.exit("check_page: chromium is missing (Debian package chromium); the page cannot be checked")


def browse(page, *flags):
    with tempfile.TemporaryDirectory() as profile:
        run = subprocess.run([chromium(), *CHROMIUM_FLAGS, f"--user-data-dir={profile}", *flags,
                              "file://" + os.path.abspath(page)],
                             capture_output=True, text=True, timeout=120)
    if run.returncode != 0:
        sys.exit(f"check_page: chromium exited {run.returncode}: {run.stderr[-2000:]}")
    return run.stdout


def pixels(png_path):
    """(width, height, rows of RGB tuples) of an 8-bit RGB or RGBA PNG."""
    data = open(png_path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit("check_page: the screenshot is not a PNG")
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour_type, _, _, interlace = header
    if depth != 8 or colour_type not in (2, 6) or interlace:
        sys.exit(f"check_page: unexpected PNG form {header}")
    step = 3 if colour_type == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * step
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - step] if i >= step else 0
            b = previous[i]
            c = previous[i - step] if i >= step else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        rows.append([tuple(line[x:x + 3]) for x in range(0, stride, step)])
        previous = line
    return width, height, rows


def marks_and_bars(found):
    """Counts of events drawn, by (class, lane or None), and the times each is drawn at."""
    counted, times = Counter(), {}
    for tag, a in found:
        if tag == "g" and a.get("class", "").startswith("mark "):
            key = (a["class"], a["data-lane"])
        elif tag == "rect" and "data-count" in a:
            key = (a["class"], None)
        else:
            continue
        counted[key] += int(a["data-count"])
        times.setdefault(key, set()).add((a["data-time"], a.get("data-end")))
    return counted, times


def wanted_of(events):
    """What each event of the summary must be drawn as: (class, lane or None) and (time, end)."""
    wanted = []
    for e in events:
        kind, time = e["kind"], e["time"]
        if kind == "restart":
            wanted.append((("mark restart", e["application"]), (time, None)))
        elif kind == "navi_close":
            wanted.append((("mark navi-close", "Roadlens"), (time, None)))
        elif kind == "navi_start":
            wanted.append((("mark navi-start", "Roadlens"), (time, None)))
        elif kind == "update":
            if e["package"] == "none":
                continue  # a start that found no package is no update
            failed = " failed" if e["failed"] or e["kept"] else ""
            wanted.append((("mark update" + failed, "updates"), (time, None)))
        elif kind == "build_option_failed":
            wanted.append((("mark build-option", "supervisor"), (time, None)))
        elif kind == "run":
            wanted.append((("run", None), (time, e["end"])))
            wanted.append((("acc-on", None), (time, e["end"])))
            if e["ended"] == "no end banner":
                wanted.append((("mark cut", "supervisor"), (e["end"], None)))
        elif kind == "ignition_off":
            wanted.append((("acc-off", None), (time, e["end"])))
        elif kind == "no_file":
            wanted.append((("nofile", None), (time, e["end"])))
    return wanted


def check_dom(dom, events, problems, exact=True):
    parser = Elements()
    parser.feed(dom)
    found = parser.found
    svgs = [a for t, a in found if t == "svg" and a.get("id") == "chart"]
    if not svgs:
        problems.append("no timeline drawn (svg#chart missing: did the script run?)")
        return 0, 0, 0
    lanes = [a["data-lane"] for t, a in found if t == "g" and a.get("class") == "lane"]
    rows = sum(1 for t, a in found if t == "g" and a.get("class") == "row")
    if lanes != LANES * rows:
        problems.append(f"lanes {lanes[:8]}..., expected {LANES} in each of {rows} rows")
    counted, times = marks_and_bars(found)
    wanted = wanted_of(events)
    wanted_counts = Counter(key for key, _ in wanted)
    for key in set(wanted_counts) | set(counted):
        if counted[key] != wanted_counts[key]:
            problems.append(f"{key}: {counted[key]} drawn, {wanted_counts[key]} in the summary")
    # A mark or bar is drawn at its first event's time; on a day's page
    # every event is its own mark, at its exact time (and end).
    wanted_times = {}
    for key, when in wanted:
        wanted_times.setdefault(key, set()).add(when if key[1] is None else (when[0], None))
    for key, drawn in times.items():
        for when in drawn - wanted_times.get(key, set()):
            problems.append(f"{key} drawn at {when}, when no such event is in the summary")
    drawn_marks = sum(len(v) for v in times.values())
    if exact and drawn_marks != len(wanted):
        problems.append(f"{drawn_marks} marks and bars for {len(wanted)} events: some were merged on a day's page")
    # Every mark and bar carries its log lines for hovering; the page's own
    # title is the one more.
    titles = sum(1 for t, _ in found if t == "title") - 1
    hovered = sum(1 for t, a in found if (t == "g" and a.get("class", "").startswith("mark ")) or
                  (t == "rect" and "data-count" in a))
    if titles != hovered:
        problems.append(f"{titles} hover texts for {hovered} marks and bars")
    return rows, drawn_marks, len(wanted)


def check_picture(png, problems):
    width, height, rows = pixels(png)
    if (width, height) != (1400, 1000):
        problems.append(f"screenshot is {width} by {height}")
    counts = Counter(pixel for row in rows for pixel in row)
    total = width * height
    white = counts.get((255, 255, 255), 0)
    if total - white < total // 10:
        problems.append(f"the screenshot is nearly blank: {total - white} of {total} pixels not white")
    for name, (colour, least) in COLOURS.items():
        if counts.get(colour, 0) < least:
            problems.append(f"{name}: {counts.get(colour, 0)} pixels of #{bytes(colour).hex()}, "
                            f"expected at least {least}")
    return total - white, len(counts)


def summary_events(hailog, folder):
    summary = subprocess.run([hailog, "summary", "--json", folder], check=True, capture_output=True, text=True)
    return [json.loads(line) for line in summary.stdout.splitlines()]


def check_month(hailog, work, make_logs, problems):
    """A month of logs with a crash-looping modem: a small page, a day per row."""
    logs, page = os.path.join(work, "month"), os.path.join(work, "month.html")
    shutil.rmtree(logs, ignore_errors=True)
    subprocess.run([sys.executable, make_logs, logs, "--days", "31", "--hour-kb", "6", "--kept-every", "1"],
                   check=True)
    terminal = os.path.join(logs, "T0001")
    subprocess.run([hailog, "html", terminal, "-o", page], check=True)
    size = os.path.getsize(page)
    if size > 5 * 1000 * 1000:
        problems.append(f"the month's page is {size} bytes, more than 5 MB")
    rows, drawn, wanted = check_dom(browse(page, "--dump-dom"), summary_events(hailog, terminal), problems,
                                    exact=False)
    if rows != 31:
        problems.append(f"the month is drawn in {rows} rows, not a day per row")
    if drawn >= wanted:
        problems.append(f"the month's {wanted} events were drawn as {drawn} marks: none gathered")
    return size, drawn, wanted


def main():
    hailog, folder, work, make_logs = sys.argv[1:5]
    os.makedirs(work, exist_ok=True)
    page, png = os.path.join(work, "day.html"), os.path.join(work, "day.png")
    for path in (page, png):
        if os.path.exists(path):
            os.remove(path)
    subprocess.run([hailog, "html", folder, "-o", page], check=True)
    events = summary_events(hailog, folder)
    with open(page, encoding="utf-8") as text:
        # The SVG namespace is a name, never fetched.
        source = text.read().replace("'http://www.w3.org/2000/svg'", "")
    problems = []
    for remote in ("http://", "https://", "src=", "@import", "url("):
        if remote in source:
            problems.append(f"the page refers to something outside it: {remote}")
    title = f"Hailwatch log of {os.path.basename(os.path.normpath(folder))}, 2024-06-11 06:00 to 2024-06-11 21:59"
    if source.count(title) != 2:
        problems.append(f"the title and heading do not both read {title!r}")
    _, counted, _ = check_dom(browse(page, "--dump-dom"), events, problems)
    browse(page, f"--screenshot={png}")
    if not os.path.exists(png):
        sys.exit("check_page: chromium wrote no screenshot")
    inked, colours = check_picture(png, problems)
    month = check_month(hailog, work, make_logs, problems)
    if problems:
        sys.exit("\n".join(problems))
    print(f"page checked in chromium: {len(LANES)} lanes, {counted} marks and bars at their times; "
          f"screenshot {inked} pixels not white, {colours} colours; a month's page {month[0]} bytes in 31 rows, "
          f"{month[2]} events drawn as {month[1]} marks and bars")


main()
