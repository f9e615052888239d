"""Writes a map and voice update of a given size as two install folders,
OLD (as the terminals have it) and NEW (as it should become), and a device
folder whose install folder is a copy of OLD:

    make_update.py FOLDER FILES [--tile-kb K] [--voice-kb K]

Half of FILES are map tiles in Map/Tiles/NNN (a third of them change), half
voice prompts in Voice/NN/ (every one replaced by a new recording under the
same name); beside them the four applications, the fare table (changed, at
the top level), and the log marker. The bytes come from a fixed seed, so a
size always gives the same update.
"""
import argparse
import pathlib
import random
import shutil

APPLICATIONS = ("Hailnet.exe", "Hailwire.exe", "Hailfare.exe", "Hailtrack.exe")


def write(path, data):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)


def make(folder, files, tile_kb, voice_kb):
    rng = random.Random(files)
    old, new = folder / "old", folder / "new"
    for name in APPLICATIONS:
        for side in (old, new):
            write(side / name, name.encode() * 64)
    write(old / "LogMsg", b"")
    write(old / "fare.tbl", b"fares 2024\n" * 100)
    write(new / "fare.tbl", b"fares 2025\n" * 100)
    tiles = files // 2
    for i in range(tiles):
        path = pathlib.Path("Map", "Tiles", f"{i // 100:02d}", f"{i:05d}.tile")
        data = rng.randbytes(tile_kb * 1024)
        write(old / path, data)
        write(new / path, rng.randbytes(tile_kb * 1024) if i % 3 == 0 else data)
    for i in range(files - tiles):
        path = pathlib.Path("Voice", f"{i // 50:02d}", f"prompt{i:04d}.wav")
        write(old / path, rng.randbytes(voice_kb * 1024))
        write(new / path, rng.randbytes(voice_kb * 1024))
    device = folder / "device"
    (device / "SDMMC").mkdir(parents=True, exist_ok=True)
    shutil.copytree(old, device / "ResidentFlash" / "Hailnet")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder", type=pathlib.Path)
    parser.add_argument("files", type=int)
    parser.add_argument("--tile-kb", type=int, default=8)
    parser.add_argument("--voice-kb", type=int, default=16)
    options = parser.parse_args()
    make(options.folder, options.files, options.tile_kb, options.voice_kb)


if __name__ == "__main__":
    main()
