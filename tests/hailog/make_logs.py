#!/usr/bin/env python3
"""Writes the hourly logs of a made-up fleet, in code page 949 with CR LF, as
the supervisor writes them: one folder per terminal (TERMINAL/ResidentFlash/Log).

    make_logs.py OUT [--terminals N] [--days D] [--hour-kb K] [--kept-every M] [--seed S] [--shape S]

Every day each terminal boots at 06:00 (start banner, the start-up update,
the four applications started, the version), goes through ignition-off
periods and ends at 23:00; one day in five the power goes instead of the end
banner. A crash-looping modem fills each hour to about K KiB with restarts
(CheckApp 409); with --shape ascii a loose ignition wire fills it instead
(ACC OFF and ON every few seconds, each between its rules: almost all ASCII). Every M-th terminal carries a package whose copy fails, so it
is kept start after start; the others get one applied package on day one.
Hour 12 is missing on the third day of every terminal.
"""
import argparse
import datetime
import os
import random

RULE = "#" * 64
START = "<I> ###################### Hailwatch Start ######################"
END = "<I> ####################### Hailwatch End #######################"
MISSING = {409: "모뎀", 417: "미터기", 425: "콜", 434: "DTG"}
LOG_FOLDER = "ResidentFlash/Log"


def restart(number):
    return f"<I> CheckApp[{number}] {MISSING[number]} 응용프로그램이 없습니다. 재시작합니다."


def update_lines(kept):
    lines = ["<I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[File]",
             "<I> CPatchList::MKDIR[806] 결과[1] 생성폴더이름[\\ResidentFlash\\Hailnet\\Tables]"]
    if kept:
        lines.append("<I> CPatchList::CP[858] 결과[0] Src파일[\\SDMMC\\AirUpdate\\fare.tbl] "
                     "Dst파일[\\ResidentFlash\\Hailnet\\Tables\\fare.tbl] DELETE 실행여부[1]")
    else:
        lines += ["<I> CPatchList::CP[858] 결과[1] Src파일[\\SDMMC\\AirUpdate\\fare.tbl] "
                  "Dst파일[\\ResidentFlash\\Hailnet\\Tables\\fare.tbl] DELETE 실행여부[1]",
                  "<I> CPatchList::RM[764] 결과[1] DELETE 파일이름[\\SDMMC\\AirUpdate\\patch_list.txt]",
                  "<I> CPatchList::KILL[711] 종료 윈도우이름[Hailnet]"]
    return lines


def day_lines(rng, day, kept, cut):
    """(hour, minute, second, text) of one terminal's day, in time order."""
    out = []

    def at(hour, minute, second, *texts):
        out.extend((hour, minute, second, text) for text in texts)

    at(6, 0, 0, RULE, START, RULE)
    if kept or day == 0:
        at(6, 0, 1, *update_lines(kept))
    else:
        at(6, 0, 1, "<I> CPatchList::IsFolderFiles[425] 경로[\\SDMMC\\AirUpdate] 결과[NoFile]")
    at(6, 0, 5, *(restart(n) for n in (409, 417, 425, 434)), "<I> V2.2.56")
    for hour in (9, 14, 19):
        minute = rng.randrange(0, 40)
        at(hour, minute, 0, RULE, "<I> WM_POWER_MODE_CHANGE ACC OFF 1000 1000", RULE)
        at(hour, minute, 26, "<I> RunNaviApp[481] 키전원Off로 인하여 Roadlens를 종료합니다.")
        at(hour, minute + 10, 0, RULE, "<I> WM_POWER_MODE_CHANGE ACC ON 1000 0", RULE)
        at(hour, minute + 10, 8, "<I> RunNaviApp[490] 키전원On으로 인하여 Roadlens를 실행합니다.")
    if rng.random() < 0.1:
        at(10, 30, 10, "<E> ReqBuildOption[628] 빌드 옵션 응답에 실패하였습니다.Error[1460]")
    if not cut:
        at(23, 0, 0, RULE, END, RULE)
    return out


def flap(state):
    return [RULE, f"<I> WM_POWER_MODE_CHANGE ACC {state} 1000 {1000 if state == 'OFF' else 0}", RULE]


# What fills an hour: the texts of one step, in order.
FILLERS = {"korean": [[restart(409)]], "ascii": [flap("OFF"), flap("ON")]}


def fill(lines, hour_bytes, shape):
    """Steps of the filler spread over each hour until it holds about hour_bytes."""
    steps = FILLERS[shape]
    per_step = sum(len(("00:00 [K] " + text + "\r\n").encode("cp949")) for step in steps for text in step)
    per_step //= len(steps)
    last_hour = 22 if lines[-1][0] == 23 else lines[-1][0]
    filler = []
    for hour in range(6, last_hour + 1):
        count = max(0, hour_bytes // per_step - sum(1 for line in lines if line[0] == hour) // len(steps[0]))
        count -= count % len(steps)
        for i in range(count):
            second = 10 + i * (3590 - 10) // max(1, count)
            filler.extend((hour, second // 60, second % 60, text) for text in steps[i % len(steps)])
    return sorted(lines + filler, key=lambda line: line[:3])


def write_terminal(root, name, first_day, days, hour_bytes, kept, rng, shape):
    folder = os.path.join(root, name, LOG_FOLDER)
    os.makedirs(folder, exist_ok=True)
    for day in range(days):
        date = first_day + datetime.timedelta(days=day)
        cut = rng.random() < 0.2
        lines = fill(day_lines(rng, day, kept, cut), hour_bytes, shape)
        by_hour = {}
        for hour, minute, second, text in lines:
            by_hour.setdefault(hour, []).append(f"{minute:02d}:{second:02d} [K] {text}\r\n")
        for hour, texts in by_hour.items():
            if day == 2 and hour == 12:
                continue
            path = os.path.join(folder, f"hailwatch-{date:%Y%m%d}{hour:02d}.log")
            with open(path, "wb") as out:
                out.write("".join(texts).encode("cp949"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--terminals", type=int, default=1)
    parser.add_argument("--days", type=int, default=1)
    parser.add_argument("--hour-kb", type=int, default=2)
    parser.add_argument("--kept-every", type=int, default=7)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--shape", choices=sorted(FILLERS), default="korean")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    first_day = datetime.date(2024, 6, 1)
    for t in range(args.terminals):
        kept = args.kept_every > 0 and t % args.kept_every == args.kept_every - 1
        write_terminal(args.out, f"T{t + 1:04d}", first_day, args.days, args.hour_kb * 1024, kept, rng, args.shape)


main()
