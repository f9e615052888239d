#!/usr/bin/env python3
"""hailog on a month of a fleet with problems planted (MAKE_FLEET prints the
truth): the fleet view flags exactly the terminals the truth says need a
visit, for exactly its reasons, and shows the one that recovered; every
count agrees with the terminal's own `hailog summary --json`; one thread and
several give the same bytes. The terminal whose clock was lost: each episode
told once, its lines kept in file order and out of the period, the hours
with no file, the stops and the page's rows. A time window on every verb: a
night shift drawn as one piece, relative times, the fleet judged up to a day.
The summary folds a crash loop.

    check_fleet.py HAILOG MAKE_FLEET WORK
"""
import datetime as dt
import json
import os
import re
import shutil
import subprocess
import sys

WATCHED = ["Hailwire", "Hailfare", "Hailnet", "Hailtrack"]


def run(*args, env=None):
    done = subprocess.run(list(args), capture_output=True, text=True, env=env)
    if done.returncode not in (0, 1):
        sys.exit(f"{' '.join(args)}: exit {done.returncode}: {done.stderr}")
    return done.stdout


def events_of(hailog, *args, env=None):
    return [json.loads(line) for line in run(hailog, "summary", "--json", *args, env=env).splitlines()]


def counts_from_summary(hailog, folder):
    events = events_of(hailog, folder)
    kept = [e["kept"] for e in events if e["kind"] == "update" and e["package"] == "found"]
    # A start that finds no package ends a streak; one left alone (it
    # carries the supervisor) leaves it as it is.
    decided = [e["package"] == "found" and e["kept"] for e in events
               if e["kind"] == "update" and e["package"] in ("found", "none")]
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
        "log_stops": sum(e["kind"] == "log_stopped" for e in events),
        "kept_at_last_start": bool(decided) and decided[-1],
        "rolled_back": sum(e["kind"] == "rollback" and e["rolled_back"] for e in events),
    }
    for name in WATCHED:
        counts["restarts_" + name.lower()] = sum(e["kind"] == "restart" and e["application"] == name
                                                 for e in events)
    return counts


def check_fleet(hailog, work, truth, problems):
    lines = run(hailog, "fleet", "--json", "-j", "1", work)
    if run(hailog, "fleet", "--json", "-j", "4", work) != lines:
        problems.append("fleet --json differs between one thread and four")
    terminals = [json.loads(line) for line in lines.splitlines()]
    flagged = {t["terminal"]: [r["reason"] for r in t["reasons"]] for t in terminals if t["needs_visit"]}
    wanted = {name: t["reasons"] for name, t in truth.items() if t["reasons"]}
    if flagged != wanted:
        problems.append(f"flagged {json.dumps(flagged, sort_keys=True)}\n   truth {json.dumps(wanted, sort_keys=True)}")
    names = [t["terminal"] for t in terminals]
    if names[:len(wanted)] != [n for n in names if n in wanted]:
        problems.append(f"the terminals needing a visit are not listed first: {names}")
    for t in terminals:
        recovered = [r["reason"] for r in t["recovered"]]
        if recovered != truth[t["terminal"]]["recovered"]:
            problems.append(f"{t['terminal']} recovered from {recovered}, truth {truth[t['terminal']]['recovered']}")
        if any(r["last_seen"] is None for r in t["reasons"] if r["reason"] != "empty_folder"):
            problems.append(f"{t['terminal']}: a reason without its last-seen time: {t['reasons']}")
        if t["files"] == 0:
            continue
        for field, value in counts_from_summary(hailog, os.path.join(work, t["terminal"])).items():
            if t[field] != value:
                problems.append(f"{t['terminal']} {field}: fleet says {t[field]}, its summary {value}")
    return terminals, wanted


def named(truth, problem):
    return next(name for name, t in truth.items() if t["problem"] == problem)


def check_lost_clock(hailog, work, truth, problems):
    name = named(truth, "clock_lost")
    folder = os.path.join(work, name)
    text = run(hailog, "summary", folder)
    period = text.splitlines()[0]
    if "2000-" in period:
        problems.append(f"the lost clock's hours are in the period: {period}")
    episodes = re.findall(r"clock lost from (\S+ \S+) until (\S+ \S+)", text)
    set_again = [dt.datetime.fromisoformat(t) for t in truth[name]["clock_lost_until"]]
    if len(episodes) != len(set_again):
        problems.append(f"{len(episodes)} episodes of the lost clock told, {len(set_again)} planted")
    never_set = truth[name]["clock_never_set"]
    if f"{never_set} more start{'s' if never_set > 1 else ''} with the clock lost" not in text:
        problems.append(f"the {never_set} start(s) whose clock was never set are not told")
    for (_, until), planted in zip(episodes, set_again):
        seen = dt.datetime.fromisoformat(until)
        if not planted <= seen <= planted + dt.timedelta(minutes=70):
            problems.append(f"an episode told until {until}, the clock was set at {planted}")
    events = events_of(hailog, folder)
    hours = sum(e["hours"] for e in events if e["kind"] == "no_file")
    if hours > 31 * 24:
        problems.append(f"{hours} hours with no file in a month")
    if any(e["kind"] == "run" and e["ended"] == "no end banner" for e in events):
        problems.append("a start logged with the clock lost made a stop without an end banner")
    fleet = {t["terminal"]: t for t in map(json.loads, run(hailog, "fleet", "--json", work).splitlines())}
    if fleet[name]["clock_lost"] != len(set_again) + never_set:
        problems.append(f"the fleet counts {fleet[name]['clock_lost']} episodes of the lost clock")
    lost = [e for e in events if e["kind"] == "clock_lost_lines"]
    listing = run(hailog, "list", folder).split("== ")[1:]
    default_date = [f for f in listing if f.startswith("hailwatch-2000")]
    if listing[:len(default_date)] != default_date or not lost or \
            lost[0]["lines"] != sum(len(f.splitlines()) - 1 for f in default_date):
        problems.append("the lost clock's lines are not listed first, in file order, all counted")
    page = os.path.join(work, "lost.html")
    run(hailog, "html", folder, "-o", page)
    rows = json.loads(re.search(r'<script id="data" type="application/json">(.*?)</script>',
                                open(page, encoding="utf-8").read(), re.S).group(1))["rows"]
    if len(rows) > 31:
        problems.append(f"the lost clock's page has {len(rows)} rows")
    return len(episodes)


def check_windows(hailog, work, truth, problems):
    """A night shift in one piece; relative times; the fleet judged up to a day."""
    night = next(n for n, t in sorted(truth.items()) if t["night"] and t["problem"] is None)
    folder = os.path.join(work, night)
    runs = [e for e in events_of(hailog, folder) if e["kind"] == "run"]
    shift = next(r for r in runs if r["time"][:10] != r["end"][:10])
    day = dt.date.fromisoformat(shift["time"][:10])
    since, until = f"{day} 12:00", f"{day + dt.timedelta(days=1)}T12:00"
    inside = [e for e in events_of(hailog, "--since", since, "--until", until, folder) if e["kind"] == "run"]
    if [(r["time"], r["end"], r["start_logged"]) for r in inside] != [(shift["time"], shift["end"], True)]:
        problems.append(f"the night of {day}: runs {inside}, expected the one from {shift['time']}")
    page = os.path.join(work, "night.html")
    run(hailog, "html", folder, "--since", since, "--until", until, "-o", page)
    data = json.loads(re.search(r'<script id="data" type="application/json">(.*?)</script>',
                                open(page, encoding="utf-8").read(), re.S).group(1))
    if len(data["rows"]) != 1 or f"<title>Hailwatch log of {night}, {day} " not in open(page).read():
        problems.append(f"the night's page: {len(data['rows'])} rows, or its title does not name {night}")
    env = dict(os.environ, HAILOG_NOW=f"{day + dt.timedelta(days=1)} 00:00")
    times = [e["time"] for e in events_of(hailog, "--since", "yesterday", "--until", "-1s", folder, env=env)]
    if not times or any(not t.startswith(str(day)) for t in times):
        problems.append(f"--since yesterday --until -1s gave times {times[:1]} .. {times[-1:]}, not all of {day}")
    judged = [json.loads(line) for line in run(hailog, "fleet", "--json", "--until", "2026-11-15", work).splitlines()]
    flagged = {t["terminal"] for t in judged if t["needs_visit"]}
    if named(truth, "modem_crash_loop") in flagged or named(truth, "package_kept") not in flagged:
        problems.append(f"fleet --until 2026-11-15 flagged {sorted(flagged)}")


def restart_lines(text):
    return text.split("Restarts of the watched applications\n")[1].split("\n\n")[0].splitlines()


def check_folding(hailog, work, truth, problems):
    folder = os.path.join(work, named(truth, "modem_crash_loop"))
    folded = restart_lines(run(hailog, "summary", folder))
    if len(folded) != 4 or "busiest hour" not in folded[0]:
        problems.append(f"the crash loop is not folded: {folded[:2]}")
    count = int(folded[0].split()[3])
    listed = restart_lines(run(hailog, "summary", "--all-restarts", folder))
    modem = listed[:next(i for i, line in enumerate(listed) if line.startswith("  Hailfare"))]
    if sum(len(re.findall(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d", line)) for line in modem) != count:
        problems.append(f"--all-restarts does not list the {count} restarts of the crash loop")


def main():
    hailog, make_fleet, work = sys.argv[1:4]
    shutil.rmtree(work, ignore_errors=True)
    made = subprocess.run([sys.executable, make_fleet, work], check=True, capture_output=True, text=True)
    truth = json.loads(made.stdout)
    problems = []
    terminals, wanted = check_fleet(hailog, work, truth, problems)
    episodes = check_lost_clock(hailog, work, truth, problems)
    check_windows(hailog, work, truth, problems)
    check_folding(hailog, work, truth, problems)
    if problems:
        sys.exit("\n".join(problems))
    print(f"{len(terminals)} terminals, the {len(wanted)} needing a visit flagged for their planted reasons and "
          f"listed first; counts agree with each summary; {episodes} episodes of the lost clock told; a night "
          f"shift in one window; a crash loop folded")


main()
