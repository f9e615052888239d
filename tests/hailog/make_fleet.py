#!/usr/bin/env python3
"""A month of a taxi fleet's logs with problems planted, and the truth of it.

    make_fleet.py OUT [--seed S]

Writes OUT/TNNN/ResidentFlash/Log/hailwatch-YYYYMMDDHH.log for 30 terminals
over November 2026, in code page 949 with CR LF, as the supervisor writes
them: each file appended in the order its lines were written. Prints the
truth as one JSON object: for every terminal, the reasons it needs a visit
(as `hailog fleet --json` names them), the problems it recovered from, and
what was planted.

A healthy terminal works a shift a day but on four days off: the
supervisor starts (banner, the start-up update's lines, the four
applications started, the version), the ignition goes off and on at every
stop (the navigation application closed and started again when it stays off
long enough), and at the end of the shift the ignition goes off and the
supervisor ends. Some drive days, some nights (across midnight). A package
rolls out to the fleet on the 8th. Parked hours have no file.

Planted, one terminal each: a package kept at every start from the 8th; a
package kept at two starts and applied at the third (recovered); a modem
restarting every 6 s from the 18th; a meter restarting 3 to 8 times an
hour; power cuts (no end banner, the last hour's buffer lost) on 12 days;
nothing after the 12th; a log that stops for hours mid-shift on 9 days; an
empty folder; a clock lost on 7 days (each start logged at 2000-01-01, the
files of each such day appended to the same names; on 6 of them the clock
is set again and the run carries on, on one the shift ends first); and a driver on holiday for 5 days with one power
cut (not trouble).
"""
import argparse
import datetime as dt
import json
import os
import random

FIRST_DAY = dt.datetime(2026, 11, 1)
DAYS = 30
TERMINALS = 30
DEFAULT_DATE = dt.datetime(2000, 1, 1)

RULE63, RULE64 = "#" * 63, "#" * 64
START = "<I> ###################### Hailwatch Start ######################"
END = "<I> ####################### Hailwatch End #######################"
MISSING = {409: "모뎀", 417: "미터기", 425: "콜", 434: "DTG"}
STAGING = ["\\ResidentFlash\\Update", "\\ResidentFlash\\SDIUpdate", "\\ResidentFlash\\AdtDownload"]
FOLDER_TEST = "<I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[{}]"
COPY = ("<I> CPatchList::CP[858] 결과[{}] Src파일[\\SDMMC\\AirUpdate\\fare.tbl] "
        "Dst파일[\\ResidentFlash\\Hailnet\\Tables\\fare.tbl] DELETE 실행여부[1]")
LIST_DELETED = "<I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\SDMMC\\AirUpdate\\patch_list.txt]"
ROLLOUT_DAY = 7  # the 8th


def restart(number):
    return f"<I> CheckApp[{number}] {MISSING[number]} 응용프로그램이 없습니다. 재시작합니다."


def ignition(state):
    return [RULE64, f"<I> WM_POWER_MODE_CHANGE ACC {state} 1000 {1000 if state == 'OFF' else 0}", RULE64]


class Day:
    """One shift's lines as (real time, text), in the order they are written."""

    def __init__(self, rng, start, hours):
        self.rng, self.start, self.end = rng, start, start + dt.timedelta(hours=hours)
        self.lines = []

    def at(self, when, *texts):
        self.lines.extend((when, text) for text in texts)

    def boot(self, update):
        t = self.start
        self.at(t, RULE63, START, RULE63)
        self.at(t + dt.timedelta(seconds=1), *update)
        self.at(t + dt.timedelta(seconds=5), *(restart(n) for n in (409, 417, 425, 434)), "<I> V2.2.56")

    def stops(self):
        """The ignition off and on again at stops through the shift, at least one an hour."""
        t = self.start + dt.timedelta(minutes=self.rng.randrange(10, 40))
        while t < self.end - dt.timedelta(minutes=45):
            off = dt.timedelta(seconds=self.rng.choice([12, 20, 90, 300, 600, 900]))
            self.at(t, *ignition("OFF"))
            if off.total_seconds() > 25:
                self.at(t + dt.timedelta(seconds=26), "<I> RunNaviApp[481] 키전원Off로 인하여 Roadlens를 종료합니다.")
            self.at(t + off, *ignition("ON"))
            if off.total_seconds() > 25:
                self.at(t + off + dt.timedelta(seconds=8), "<I> RunNaviApp[490] 키전원On으로 인하여 Roadlens를 실행합니다.")
            t += off + dt.timedelta(minutes=self.rng.randrange(15, 50))
        if self.rng.random() < 0.1:
            self.at(self.start + dt.timedelta(seconds=10),
                    "<E> ReqBuildOption[628] 빌드 옵션 응답에 실패하였습니다.Error[1460]")

    def close(self):
        self.at(self.end - dt.timedelta(minutes=3), *ignition("OFF"))
        self.at(self.end, RULE63, END, RULE63)

    def restarts(self, number, every_seconds=None, per_hour=None):
        t = self.start + dt.timedelta(seconds=10)
        while t < self.end - dt.timedelta(minutes=5):
            if every_seconds:
                self.at(t, restart(number))
                t += dt.timedelta(seconds=every_seconds)
            else:
                hour = t
                for _ in range(self.rng.randint(*per_hour)):
                    self.at(hour + dt.timedelta(seconds=self.rng.randrange(0, 3600)), restart(number))
                t += dt.timedelta(hours=1)

    def in_order(self):
        return sorted(self.lines, key=lambda line: line[0])


def update_lines(state):
    staging = [f"<I> CPatchList::DeleteFolder[487] 경로[{folder}] 경로의 파일수[0] RemoveDirectory 결과[0]"
               for folder in STAGING]
    if state == "none":
        return [FOLDER_TEST.format("No File")] + staging
    if state == "kept":
        return [FOLDER_TEST.format("File"), COPY.format(0)] + staging
    return [FOLDER_TEST.format("File"), COPY.format(1), LIST_DELETED, FOLDER_TEST.format("No File")] + staging


class Terminal:
    def __init__(self, name, rng):
        self.name, self.rng = name, rng
        self.night = rng.random() < 0.3
        self.days_off = set(rng.sample(range(DAYS), 4))
        self.problem = None
        self.written = []  # (file hour as the clock named it, text line), in write order

    def shift_start(self, day):
        base = FIRST_DAY + dt.timedelta(days=day, hours=18 if self.night else 6)
        return base + dt.timedelta(minutes=self.rng.randrange(-30, 60))

    def update_state(self, day, starts_with_package):
        if self.problem == "package_kept" and day >= ROLLOUT_DAY:
            return "kept"
        if self.problem == "package_recovered" and starts_with_package in (0, 1):
            return "kept"
        return "applied" if starts_with_package is not None else "none"

    def write(self, lines, clock_offset=None, lost_until=None):
        """Lines of real time; those before lost_until were logged by a clock that started at the default date."""
        for when, text in lines:
            logged = when
            if lost_until and when < lost_until:
                logged = DEFAULT_DATE + (when - clock_offset)
            self.written.append((logged, text))

    def files(self):
        by_file = {}
        for logged, text in self.written:
            name = f"hailwatch-{logged:%Y%m%d%H}.log"
            by_file.setdefault(name, []).append(f"{logged:%M:%S} [K] {text}\r\n")
        return by_file


def plan(rng):
    names = [f"T{i:03d}" for i in range(1, TERMINALS + 1)]
    terminals = [Terminal(name, random.Random(rng.random())) for name in names]
    problems = ["package_kept", "package_recovered", "modem_crash_loop", "meter_restarting", "power_cuts",
                "silent", "log_stops", "empty_folder", "clock_lost", "holiday"]
    for terminal, problem in zip(rng.sample(terminals, len(problems)), problems):
        terminal.problem = problem
    return terminals


def day_of(terminal, day, package_starts):
    rng = terminal.rng
    hours = rng.uniform(9, 12)
    shift = Day(rng, terminal.shift_start(day), hours)
    # The rollout's package is there until a start applies it.
    if terminal.problem == "package_kept":
        has_package = day >= ROLLOUT_DAY
    elif terminal.problem == "package_recovered":
        has_package = day >= ROLLOUT_DAY and package_starts < 3
    else:
        has_package = day == ROLLOUT_DAY
    shift.boot(update_lines(terminal.update_state(day, package_starts if has_package else None)))
    shift.stops()
    if terminal.problem == "modem_crash_loop" and day >= 17:
        shift.restarts(409, every_seconds=6)
    if terminal.problem == "meter_restarting":
        shift.restarts(417, per_hour=(3, 8))
    shift.close()
    return shift, has_package


def cut_by_power(shift, rng):
    """The power goes mid-shift: no end banner, and the hour being buffered is lost."""
    cut = shift.start + (shift.end - shift.start) * rng.uniform(0.5, 0.9)
    hour = cut.replace(minute=0, second=0, microsecond=0)
    return [(when, text) for when, text in shift.in_order() if when < hour]


def stopped_mid_shift(shift, rng):
    """No line for three to five hours while the ignition is on."""
    lines = shift.in_order()
    middle = shift.start + dt.timedelta(hours=3)
    on = [when for when, text in lines if when > middle and "ACC ON" in text]
    stop = on[0] + dt.timedelta(minutes=1)
    resume = min(stop + dt.timedelta(hours=rng.randint(3, 5)), shift.end - dt.timedelta(minutes=30))
    return [(when, text) for when, text in lines if not stop <= when < resume]


def write_month(terminal, out, truth):
    package_starts = 0
    rng = terminal.rng
    cut_days = set(rng.sample(sorted(set(range(DAYS)) - terminal.days_off), 12))
    stop_days = set(rng.sample(sorted(set(range(1, DAYS)) - terminal.days_off), 9))
    lost_days = sorted(rng.sample(sorted(set(range(2, DAYS)) - terminal.days_off), 7))
    never_set = lost_days.pop(rng.randrange(len(lost_days)))
    holiday = set(range(13, 18))
    for day in range(DAYS):
        if day in terminal.days_off or (terminal.problem == "holiday" and day in holiday):
            continue
        if terminal.problem == "silent" and day >= 12:
            break
        shift, has_package = day_of(terminal, day, package_starts)
        package_starts += 1 if has_package else 0
        if terminal.problem == "power_cuts" and day in cut_days:
            terminal.write(cut_by_power(shift, rng))
        elif terminal.problem == "holiday" and day == 20:
            terminal.write(cut_by_power(shift, rng))
        elif terminal.problem == "log_stops" and day in stop_days:
            terminal.write(stopped_mid_shift(shift, rng))
        elif terminal.problem == "clock_lost" and day == never_set:
            # The clock is not set again before the shift ends: every line at the default date.
            terminal.write(shift.in_order(), clock_offset=shift.start, lost_until=shift.end + dt.timedelta(hours=1))
            truth["clock_never_set"] += 1
        elif terminal.problem == "clock_lost" and day in lost_days:
            set_again = shift.start + dt.timedelta(minutes=rng.randrange(40, 180))
            terminal.write(shift.in_order(), clock_offset=shift.start, lost_until=set_again)
            truth["clock_lost_until"].append(f"{set_again:%Y-%m-%d %H:%M}")
        else:
            terminal.write(shift.in_order())
    folder = os.path.join(out, terminal.name, "ResidentFlash", "Log")
    os.makedirs(folder, exist_ok=True)
    if terminal.problem == "empty_folder":
        return
    for name, texts in terminal.files().items():
        with open(os.path.join(folder, name), "ab") as file:
            file.write("".join(texts).encode("cp949"))


# What `hailog fleet` must say of each planted problem.
REASONS = {"package_kept": ["package_kept"], "modem_crash_loop": ["restarting"], "meter_restarting": ["restarting"],
           "power_cuts": ["stops_without_end_banner"], "silent": ["silent"], "log_stops": ["log_stopped"],
           "empty_folder": ["empty_folder"], "clock_lost": ["clock_lost"]}
RECOVERED = {"package_recovered": ["package_kept"]}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--seed", type=int, default=27)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    truth = {}
    for terminal in plan(rng):
        planted = {"problem": terminal.problem, "night": terminal.night, "clock_lost_until": [],
                   "clock_never_set": 0}
        write_month(terminal, args.out, planted)
        truth[terminal.name] = {"reasons": REASONS.get(terminal.problem, []),
                                "recovered": RECOVERED.get(terminal.problem, []), **planted}
    print(json.dumps(truth, ensure_ascii=False, sort_keys=True))


main()
