#!/usr/bin/env python3
"""The summary of a played day lists every event the day played, and nothing
else: `hailog summary --json FOLDER` against FOLDER/played.jsonl.

    check_summary.py HAILOG FOLDER
"""
import json
import subprocess
import sys


def key(event):
    return (event["kind"], event["time"], event.get("application", ""))


def agrees(played, listed):
    for field, value in played.items():
        if field == "failed_count":
            if len(listed.get("failed", [])) != value:
                return False
        elif listed.get(field) != value:
            return False
    return True


def main():
    hailog, folder = sys.argv[1], sys.argv[2]
    run = subprocess.run([hailog, "summary", "--json", folder], capture_output=True, text=True)
    if run.returncode != 0:
        sys.exit(f"hailog summary exited {run.returncode}: {run.stderr.strip()}")
    listed = [json.loads(line) for line in run.stdout.splitlines()]
    with open(f"{folder}/played.jsonl", encoding="utf-8") as lines:
        played = [json.loads(line) for line in lines]
    times = [event["time"] for event in listed]
    problems = []
    if times != sorted(times):
        problems.append("the summary is not in time order")
    unmatched = list(listed)
    for event in played:
        match = next((other for other in unmatched if key(other) == key(event)), None)
        if match is None:
            problems.append(f"missing: {json.dumps(event, ensure_ascii=False)}")
        elif not agrees(event, match):
            problems.append(f"differs: played {json.dumps(event, ensure_ascii=False)}\n"
                            f"          listed {json.dumps(match, ensure_ascii=False)}")
            unmatched.remove(match)
        else:
            unmatched.remove(match)
    problems += [f"not played: {json.dumps(event, ensure_ascii=False)}" for event in unmatched]
    if problems:
        sys.exit("\n".join(problems))
    kinds = {}
    for event in played:
        kinds[event["kind"]] = kinds.get(event["kind"], 0) + 1
    print(f"all {len(played)} played events listed: " +
          ", ".join(f"{count} {kind}" for kind, count in sorted(kinds.items())))


main()
