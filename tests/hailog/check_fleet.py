#!/usr/bin/env python3
"""hailog fleet on a made-up fleet (MAKE_LOGS): one JSON line per terminal,
terminals whose package was kept at every start first, and every count the
same as the terminal's own `hailog summary --json` gives. Reading on one
thread or several gives the same bytes, for fleet and for summary.

    check_fleet.py HAILOG MAKE_LOGS WORK
"""
import json
import os
import shutil
import subprocess
import sys

DAYS, TERMINALS, KEPT_EVERY = 3, 12, 4
WATCHED = ["Hailwire", "Hailfare", "Hailnet", "Hailtrack"]


def run(*args):
    done = subprocess.run(list(args), capture_output=True, text=True)
    if done.returncode not in (0, 1):
        sys.exit(f"{' '.join(args)}: exit {done.returncode}: {done.stderr}")
    return done.stdout


def counts_from_summary(hailog, folder):
    events = [json.loads(line) for line in run(hailog, "summary", "--json", folder).splitlines()]
    kept = [e["kept"] for e in events if e["kind"] == "update" and e["package"] == "found"]
    streak = longest = 0
    for k in kept:
        streak = streak + 1 if k else 0
        longest = max(longest, streak)
    counts = {
        "runs": sum(e["kind"] == "run" for e in events),
        "stops_without_closing": sum(e["kind"] == "run" and e["ended"] == "no end banner" for e in events),
        "updates_applied": kept.count(False),
        "updates_kept": kept.count(True),
        "kept_in_a_row": longest,
        "build_option_failed": sum(e["kind"] == "build_option_failed" for e in events),
        "hours_with_no_file": sum(e["hours"] for e in events if e["kind"] == "no_file"),
    }
    for name in WATCHED:
        counts["restarts_" + name.lower()] = sum(e["kind"] == "restart" and e["application"] == name
                                                 for e in events)
    return counts


def main():
    hailog, make_logs, work = sys.argv[1:4]
    shutil.rmtree(work, ignore_errors=True)
    subprocess.run([sys.executable, make_logs, work, "--terminals", str(TERMINALS), "--days", str(DAYS),
                    "--kept-every", str(KEPT_EVERY)], check=True)
    os.makedirs(os.path.join(work, "T9999-silent"))  # a terminal that sent nothing
    problems = []
    lines = run(hailog, "fleet", "--json", "-j", "1", work)
    if run(hailog, "fleet", "--json", "-j", "4", work) != lines:
        problems.append("fleet --json differs between one thread and four")
    terminals = [json.loads(line) for line in lines.splitlines()]
    names = [t["terminal"] for t in terminals]
    expected = sorted([f"T{i:04d}" for i in range(1, TERMINALS + 1)] + ["T9999-silent"])
    if sorted(names) != expected:
        problems.append(f"terminals listed: {names}")
    kept = {f"T{i:04d}" for i in range(KEPT_EVERY, TERMINALS + 1, KEPT_EVERY)}
    if set(names[:len(kept)]) != kept or not all(t["needs_visit"] for t in terminals[:len(kept)]):
        problems.append(f"the terminals whose package is kept at every start are not first: {names}")
    if any(t["needs_visit"] for t in terminals[len(kept):]):
        problems.append("a terminal that applied its package is said to need a visit")
    for t in terminals:
        if t["terminal"] == "T9999-silent":
            if t["files"] != 0 or t["warnings"] == 0:
                problems.append(f"the silent terminal: {t}")
            continue
        wanted = counts_from_summary(hailog, os.path.join(work, t["terminal"]))
        for field, value in wanted.items():
            if t[field] != value:
                problems.append(f"{t['terminal']} {field}: fleet says {t[field]}, its summary {value}")
    one = os.path.join(work, "T0004")
    for verb in (["summary"], ["summary", "--json"], ["--number", "409"]):
        if run(hailog, *verb, "-j", "1", one) != run(hailog, *verb, "-j", "3", one):
            problems.append(f"hailog {' '.join(verb)} differs between one thread and three")
    if problems:
        sys.exit("\n".join(problems))
    print(f"{len(terminals)} terminals, {len(kept)} needing a visit listed first; counts agree with each "
          f"terminal's summary; one thread and several give the same bytes")


main()
