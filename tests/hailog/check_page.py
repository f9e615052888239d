#!/usr/bin/env python3
"""The day's page in a real browser: headless Chromium loads the page that
`hailog html` wrote, its DOM after the script ran must hold the lanes and a
mark at the right time for every event of `hailog summary --json`, and a
screenshot of it must show the timeline's colours, not a blank page.

    check_page.py HAILOG FOLDER WORK
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


def check_dom(dom, events, problems):
    parser = Elements()
    parser.feed(dom)
    found = parser.found
    svgs = [a for t, a in found if t == "svg" and a.get("id") == "chart"]
    if not svgs:
        problems.append("no timeline drawn (svg#chart missing: did the script run?)")
        return
    lanes = [a["data-lane"] for t, a in found if t == "g" and a.get("class") == "lane"]
    if lanes != LANES:
        problems.append(f"lanes {lanes}, expected {LANES}")
    marks = Counter((a.get("class"), a.get("data-lane"), a.get("data-time"))
                    for t, a in found if t == "g" and a.get("class", "").startswith("mark "))
    spans = Counter((a.get("class"), a.get("data-time"), a.get("data-end"))
                    for t, a in found if t == "rect" and "data-time" in a)
    wanted_marks, wanted_spans = Counter(), Counter()
    for e in events:
        kind, time = e["kind"], e["time"]
        if kind == "restart":
            wanted_marks[("mark restart", e["application"], time)] += 1
        elif kind == "navi_close":
            wanted_marks[("mark navi-close", "Roadlens", time)] += 1
        elif kind == "navi_start":
            wanted_marks[("mark navi-start", "Roadlens", time)] += 1
        elif kind == "update":
            failed = " failed" if e["failed"] or e["kept"] else ""
            wanted_marks[("mark update" + failed, "updates", time)] += 1
        elif kind == "build_option_failed":
            wanted_marks[("mark build-option", "supervisor", time)] += 1
        elif kind == "run":
            wanted_spans[("run", time, e["end"])] += 1
            wanted_spans[("acc-on", time, e["end"])] += 1
            if e["ended"] == "no end banner":
                wanted_marks[("mark cut", "supervisor", time)] += 1
        elif kind == "ignition_off":
            wanted_spans[("acc-off", time, e["end"])] += 1
        elif kind == "no_file":
            wanted_spans[("nofile", time, e["end"])] += 1
    # Every mark and bar carries its log lines for hovering; the page's own
    # title is the one more.
    titles = sum(1 for t, _ in found if t == "title") - 1
    if titles != sum(marks.values()) + sum(spans.values()):
        problems.append(f"{titles} hover texts for {sum(marks.values()) + sum(spans.values())} marks and bars")
    for what, wanted, drawn in (("mark", wanted_marks, marks), ("span", wanted_spans, spans)):
        for item in (wanted - drawn):
            problems.append(f"{what} missing: {item}")
        for item in (drawn - wanted):
            problems.append(f"{what} not in the summary: {item}")
    return sum(wanted_marks.values()), sum(wanted_spans.values())


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


def main():
    hailog, folder, work = sys.argv[1:4]
    os.makedirs(work, exist_ok=True)
    page, png = os.path.join(work, "day.html"), os.path.join(work, "day.png")
    for path in (page, png):
        if os.path.exists(path):
            os.remove(path)
    subprocess.run([hailog, "html", folder, "-o", page], check=True)
    summary = subprocess.run([hailog, "summary", "--json", folder], check=True, capture_output=True, text=True)
    events = [json.loads(line) for line in summary.stdout.splitlines()]
    with open(page, encoding="utf-8") as text:
        # The SVG namespace is a name, never fetched.
        source = text.read().replace("'http://www.w3.org/2000/svg'", "")
    problems = []
    for remote in ("http://", "https://", "src=", "@import", "url("):
        if remote in source:
            problems.append(f"the page refers to something outside it: {remote}")
    counted = check_dom(browse(page, "--dump-dom"), events, problems)
    browse(page, f"--screenshot={png}")
    if not os.path.exists(png):
        sys.exit("check_page: chromium wrote no screenshot")
    inked, colours = check_picture(png, problems)
    if problems:
        sys.exit("\n".join(problems))
    print(f"page checked in chromium: {len(LANES)} lanes, {counted[0]} marks and {counted[1]} spans at their "
          f"times; screenshot {inked} pixels not white, {colours} colours")


main()
