"""Judges what `hailpatch check --json` wrote for each case: one object whose
status is the exit status and the case's, whose verdict is the one the text
report prints, and whose findings carry the line they name ("line N: ...")
and the device paths they name.

    check_json.py WORK   WORK/NAME/{out.json,status,expected-status,expected.txt}
"""
import json
import pathlib
import re
import sys

VERDICT = re.compile(r"verdict: (.*) \((\d)\)$")
DEVICE_PATH = re.compile(r"\\(?:SDMMC|ResidentFlash)\\")


def problems_of(case):
    report = json.loads((case / "out.json").read_text(encoding="utf-8"))
    status = int((case / "status").read_text())
    expected = int((case / "expected-status").read_text())
    verdict = VERDICT.search((case / "expected.txt").read_text(encoding="utf-8").rstrip("\n"))
    problems = []
    if not report["status"] == status == expected:
        problems.append(f"status {report['status']} in the report, exit {status}, expected {expected}")
    if verdict is None or (verdict.group(1), int(verdict.group(2))) != (report["verdict"], report["status"]):
        problems.append(f"verdict {report['verdict']!r} ({report['status']}), the text report's "
                        f"{verdict.group(0) if verdict else 'none'}")
    for finding in report["findings"]:
        said = re.match(r"line (\d+)", finding["text"])
        if said and finding.get("line") != int(said.group(1)):
            problems.append(f"no line {said.group(1)} in {finding}")
        if DEVICE_PATH.search(finding["text"]) and not finding["files"]:
            problems.append(f"no files in {finding}")
    return problems


def main():
    work = pathlib.Path(sys.argv[1])
    cases = sorted(p for p in work.iterdir() if (p / "out.json").is_file())
    failed = 0
    for case in cases:
        for problem in problems_of(case):
            print(f"FAIL: {case.name}: {problem}")
            failed += 1
    print(f"check --json: {len(cases)} reports judged, {failed} problems")
    return 1 if failed or not cases else 0


if __name__ == "__main__":
    sys.exit(main())
