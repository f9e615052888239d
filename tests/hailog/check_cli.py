#!/usr/bin/env python3
"""hailog on bad input and on its own command line: every case one clear
line on standard error (or none), the documented exit status, never a crash,
and the filters' output with full dates and times.

    check_cli.py HAILOG WORK
"""
import json
import os
import shutil
import subprocess
import sys
import time

CR = b"\r\n"
CALL_949 = "콜".encode("cp949")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data)


def check_follow(hailog, work, problems):
    """`list --follow` while the terminal writes: a line it is still writing
    (cut inside a character) is shown once it is whole, once."""
    log = os.path.join(work, "follow")
    path = os.path.join(log, "hailwatch-2024061109.log")
    write(path, b"05:07 [K] <I> CheckApp[409] modem" + CR)
    head = b"06:00 [K] <I> CheckApp[425] "
    line = head + CALL_949 + " 응용프로그램이 없습니다. 재시작합니다.".encode("cp949")
    with subprocess.Popen([hailog, "list", "--follow", log], stdout=subprocess.PIPE, stderr=subprocess.PIPE) as follow:
        try:
            for part in (line[:len(head) + 1], line[len(head) + 1:] + CR):
                time.sleep(2.5)  # the file is looked at once a second
                with open(path, "ab") as out:
                    out.write(part)
            time.sleep(2.5)
        finally:
            follow.terminate()
        shown, trouble = follow.communicate(timeout=10)
    expected = "== hailwatch-2024061109.log\n05:07 [K] <I> CheckApp[409] modem\n" + line.decode("cp949") + "\n"
    if shown.decode("utf-8", "replace") != expected or trouble:
        problems.append(f"hailog list --follow showed\n{shown.decode('utf-8', 'replace')}expected\n{expected}"
                        f"stderr: {trouble.decode('utf-8', 'replace')}")


def main():
    hailog, work = sys.argv[1], sys.argv[2]
    shutil.rmtree(work, ignore_errors=True)
    log = os.path.join(work, "dev", "ResidentFlash", "Log")
    write(os.path.join(log, "hailwatch-2024061109.log"),
          b"05:07 [K] <I> CheckApp[409] modem" + CR +
          b"30:00 [K] <I> CPatchList::RM[764] x" + CR +
          b"59:59 [K] <E> ReqBuildOption[628] " + CALL_949 + b" Error[1460]" + CR)
    write(os.path.join(log, "hailwatch-2024061110.log"), b"00:01 [K] <I> CheckApp[434] dtg" + CR)
    # A file that is no log at all, under a log's name: binary, bad 949, no line end.
    write(os.path.join(work, "junk", "hailwatch-2024061111.log"), bytes(range(256)) * 4 + b"\x80\xff")
    write(os.path.join(work, "notes.txt"), b"hello\n")
    os.makedirs(os.path.join(work, "empty"))
    dev = os.path.join(work, "dev")
    junk = os.path.join(work, "junk")
    shutil.copytree(dev, os.path.join(work, "dev-copy"))

    cases = [
        # (arguments, exit status, stdout wanted (None: any), stderr lines wanted (substrings))
        (["--number", "409", "--number", "628", dev], 0,
         "2024-06-11 09:05:07 [K] <I> CheckApp[409] modem\n"
         "2024-06-11 09:59:59 [K] <E> ReqBuildOption[628] 콜 Error[1460]\n", []),
        (["list", "--function", "CheckApp", "--since", "2024-06-11 09:06", dev], 0,
         "2024-06-11 10:00:01 [K] <I> CheckApp[434] dtg\n", []),
        (["--errors", "--until", "2024-06-11 09:59", dev], 0,
         "2024-06-11 09:59:59 [K] <E> ReqBuildOption[628] 콜 Error[1460]\n", []),
        (["--until", "2024-06-11 09:05", dev], 0, "2024-06-11 09:05:07 [K] <I> CheckApp[409] modem\n", []),
        ([os.path.join(work, "missing")], 2, "", ["missing: no such file or folder"]),
        ([os.path.join(work, "notes.txt")], 2, "", ["notes.txt: not an hourly log"]),
        ([os.path.join(work, "empty")], 2, "", ["no hourly log files"]),
        (["--since", "2024-02-30 10:00", dev], 2, "", ["not a time of the form"]),
        (["--number", "x", dev], 2, "", ["--number"]),
        (["summary"], 2, "", ["PATH is required"]),
        (["frobnicate", dev], 2, "", ["no such file or folder"]),
        ([], 2, "", ["A subcommand is required"]),
        ([junk], 1, None, ["no line end", "not valid in code page 949", "not in the log's form"]),
        (["summary", junk], 1, None, ["no line end", "not valid in code page 949", "not in the log's form"]),
        # The same hour from two places: two terminals, or two copies of one.
        (["summary", dev, os.path.join(work, "dev-copy")], 1, None, ["found twice", "found twice"]),
        # The same file named twice is read once.
        (["summary", dev, os.path.join(log, "hailwatch-2024061110.log")], 0, None, []),
        (["html", dev, "-o", os.path.join(work, "no", "such", "folder", "day.html")], 2, "", ["cannot be written"]),
        (["summary", "-j", "0", dev], 2, "", ["--jobs"]),
        # A time window on every verb: the summary of what is in it, and the
        # windows that cannot be read or hold nothing.
        (["summary", "--json", "--since", "2024-06-11T10:00", dev], 0,
         '{"kind":"restart","time":"2024-06-11 10:00:01","application":"Hailtrack","number":434}\n', []),
        (["summary", "--since", "2024-06-12", dev], 2, "", ["no log file meets the time window"]),
        (["summary", "--since", "2024-06-11 10:00", "--until", "2024-06-11 09:00", dev], 2, "", ["comes after"]),
        (["fleet", "--since", "last tuesday", work], 2, "", ["not a time of the form"]),
        (["html", "--until", "2024-13-01", dev, "-o", os.path.join(work, "x.html")], 2, "", ["not a time"]),
        (["fleet", os.path.join(work, "missing")], 2, "", ["missing: no such folder"]),
        (["fleet", os.path.join(work, "empty")], 2, "", ["no terminal folders"]),
        # The damaged terminal's warnings carry its name; the others read clean.
        (["fleet", "--json", work], 1, None, ["empty: ", "junk: ", "junk: ", "junk: "]),
    ]
    problems = []
    for args, status, out, err in cases:
        run = subprocess.run([hailog, *args], capture_output=True)
        stdout, stderr = run.stdout.decode("utf-8", "replace"), run.stderr.decode("utf-8", "replace")
        lines = stderr.splitlines()
        what = " ".join(args).replace(work, "WORK")
        if run.returncode != status:
            problems.append(f"hailog {what}: exit {run.returncode}, expected {status}; stderr: {stderr}")
        if out is not None and stdout != out:
            problems.append(f"hailog {what}: printed\n{stdout}expected\n{out}")
        if len(lines) != len(err) or any(want not in line for want, line in zip(err, lines)):
            problems.append(f"hailog {what}: stderr\n{stderr}expected one line each with: {err}")
        if any(not line.startswith("hailog: ") for line in lines):
            problems.append(f"hailog {what}: a stderr line without the tool's name: {stderr}")

    # The damaged file's lines are all shown, none dropped, each on its line.
    run = subprocess.run([hailog, junk], capture_output=True)
    shown = run.stdout.decode("utf-8").splitlines()
    if len(shown) != 1 + 4 * 1 + 1:  # the name, the four line feeds' lines, the unfinished last one
        problems.append(f"hailog on the damaged file showed {len(shown)} lines")
    if any(ord(c) < 0x20 and c != "\t" for line in shown for c in line):
        problems.append("a control character reached the terminal")
    run = subprocess.run([hailog, "summary", "--json", junk], capture_output=True)
    events = [json.loads(line) for line in run.stdout.decode("utf-8").splitlines()]
    if [e["kind"] for e in events] != ["unparsed"] or events[0]["count"] != 5:
        problems.append(f"summary of the damaged file: {events}")
    help_run = subprocess.run([hailog, "summary", "--help"], capture_output=True, text=True)
    if help_run.returncode != 0 or "Exit status" not in help_run.stdout:
        problems.append("hailog summary --help does not document the exit statuses")
    check_follow(hailog, work, problems)
    if problems:
        sys.exit("\n".join(problems))
    print(f"{len(cases)} command lines, the damaged file and a line followed while written behaved")


main()
