#!/usr/bin/env python3
"""Three PCs end to end: a main PC and two second PCs, three real tandexa
processes on one machine, each in its own program directory with the
simulated camera, linked over loopback and worked only through their windows.

  1. On the main PC the user ticks "Hold dithering until the second cameras
     finish"; both second PCs link to it, and its status bar says "2 second
     PCs linked". All three connect MaxIm.
  2. Main PC: two items of 3 x 2 s, dithering on. Second PC A: 1 s frames,
     second PC B: 5 s frames, both with "Allow complete cicle ..." on.
     Start on A and B, then on the main PC; when it is idle, Stop on A and B.
  3. From the FITS headers (read with cfitsio) and the main PC's record of the
     night: no frame of A or B was open while the main PC dithered (from the
     dither's start to its settling), A took more than one frame in each main
     item, and every frame names the main item it was taken in and the
     dithers before it.

Exit status: 0 passed, 1 failed, 77 skipped because a program it needs is
not installed (the reason is printed).
"""
import argparse
import datetime
import glob
import os
import shutil
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_desktop  # noqa: E402
import tst_two_pcs as two  # noqa: E402  (its program folders, image reader and item editor)

TIME_SCALE = 0.2     # a 5 s exposure takes 1 s
HOLD = "Hold dithering until the second cameras finish"
MAIN_ITEMS = [("Red", "R", 2, 1, 3), ("Green", "G", 2, 1, 3)]
SECONDS = {"A": ("Blue", "A", 1, 1, 40), "B": ("Luminance", "B", 5, 1, 10)}
SYNC_KEYS = "DATE-OBS,EXPTIME,MAINPASS,MAINITEM,MAINFRM,DITHERS"
check = two.check


def utc(text):
    return datetime.datetime.fromisoformat(text.rstrip("Z")).replace(tzinfo=datetime.timezone.utc).timestamp()


def frames(images, dump_tool):
    """{file: header} of every image in the folder, with the sync keywords."""
    paths = sorted(glob.glob(os.path.join(images, "*.fit")))
    out = subprocess.run([dump_tool, "--keys", SYNC_KEYS, *paths], capture_output=True, text=True)
    check(out.returncode == 0, "cfitsio could not read every image:\n" + out.stdout + out.stderr)
    return {os.path.basename(line.split(" ")[0]): dict(f.split("=", 1) for f in line.split(" ")[1:])
            for line in out.stdout.splitlines()}


def dithers(program_dir):
    """[(start, settled)] from the main PC's record of the night, in seconds."""
    records = glob.glob(os.path.join(program_dir, "images", "Tandexa-night-*.txt"))
    check(len(records) == 1, "the main PC wrote %d records of the night" % len(records))
    with open(records[0], encoding="utf-8") as f:
        lines = [line.rstrip("\r\n").split("  ", 1) for line in f if line.strip()]
    print("   record of the night:\n     " + "\n     ".join("  ".join(l) for l in lines))
    starts = {e.split()[1]: utc(t) for t, e in lines if e.startswith("Dither ") and e.endswith(" started")}
    settled = {e.split()[1]: utc(t) for t, e in lines if e.startswith("Dither ") and e.endswith(" settled")}
    check(sorted(starts) == sorted(settled) == ["1", "2"], "dithers started %s, settled %s" % (starts, settled))
    return [(starts[n], settled[n]) for n in sorted(starts)]


def run(args):
    missing = e2e_desktop.missing_tools()
    if missing:
        print("SKIPPED: not installed: %s (scripts/install-deps.sh installs them)" % ", ".join(missing))
        return e2e_desktop.SKIP
    work = args.work_dir
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    port = two.free_port()
    two.TIME_SCALE = str(TIME_SCALE)
    dirs = {"main": two.make_program_dir(work, "main", args.tandexa, 1, 0, two.MAIN_SENSOR, port)}
    for name, top in (("A", 0), ("B", 400)):   # side by side with the main PC's window, one above the other
        dirs[name] = two.make_program_dir(work, name, args.tandexa, 0, 480, two.SECOND_SENSOR, port)
        ini = os.path.join(dirs[name], "Tandexa.ini")
        with open(ini, "rb") as f:
            text = f.read().replace(b"Top=0", b"Top=%d" % top)
        with open(ini, "wb") as f:
            f.write(text)
    desktop = e2e_desktop.Desktop(work)
    windows = {}
    began = time.monotonic()
    try:
        desktop.start()
        import e2e_window as ui
        two.ui = ui
        windows = {"main": ui.TandexaWindow(desktop, dirs["main"], "Tandexa 1"),
                   "A": ui.TandexaWindow(desktop, dirs["A"], "Tandexa 2"),
                   "B": ui.TandexaWindow(desktop, dirs["B"], "Tandexa 2")}
        for win in windows.values():
            win.start()
        main, a, b = windows["main"], windows["A"], windows["B"]
        helper = two.Scenario(main, a, None, None)

        print("-- the option, and two second PCs linked", flush=True)
        box = main.find("check box", HOLD)
        main.click(box, x_frac=0.03)
        ui.poll("the option to be ticked", lambda: ui.is_checked(box), timeout=5)
        main.wait_status("Second PCs", "No second PC linked")
        for n, win in enumerate((a, b)):
            win.press("Connect to main PC")
            win.wait_status("Link status", "Connected to 127.0.0.1")
            main.wait_status("Second PCs", "%d second PC%s linked" % (n + 1, "s" if n else ""))
        for win in windows.values():
            helper.connect_maxim(win)

        print("-- the sequences", flush=True)
        main.show_page("Sequence", "push button", "Start sequence")
        for label, text in (("Image prefix", "Img"), ("Destination", os.path.join(dirs["main"], "images")),
                            ("Repeat list", "1"), ("Start suffix", "1"), ("Delay", "0"), ("Dithering", "1"),
                            ("Wait while guiding error  >", "1")):
            main.set_field(label, text)
        for row, item in enumerate(MAIN_ITEMS):
            helper.edit_item(main, row, item)
        for name, win in (("A", a), ("B", b)):
            win.show_page("Sequence", "push button", "Start sequence")
            for label, text in (("Image prefix", name), ("Destination", os.path.join(dirs[name], "images")),
                                ("Repeat list", "1"), ("Start suffix", "1")):
                win.set_field(label, text)
            helper.set_allow_list(win, True)
            helper.edit_item(win, 0, SECONDS[name])

        print("-- the runs", flush=True)
        run_began = time.monotonic()
        for win in (a, b):
            win.press("Start sequence")
            win.wait_status("Run status", "Waiting for remote start...")
        main.press("Start sequence")
        start = main.find("push button", "Start sequence")
        ui.poll("main PC: the run to begin", lambda: not ui.is_sensitive(start), timeout=10)
        main.wait_status("Run status", lambda t: t == "Camera Idle" and ui.is_sensitive(start), timeout=90)
        for win in (a, b):
            win.press("Stop sequence")
            win.wait_status("Run status", "Camera Idle", timeout=20)
        print("   runs: %.1f s" % (time.monotonic() - run_began))

        print("-- the files", flush=True)
        spans = dithers(dirs["main"])
        main_frames = frames(os.path.join(dirs["main"], "images"), args.fits_dump)
        check(len(main_frames) == 6, "the main PC saved %s" % sorted(main_frames))
        for name in ("A", "B"):
            got = frames(os.path.join(dirs[name], "images"), args.fits_dump)
            exposure = SECONDS[name][2]
            per_item = {1: 0, 2: 0}
            for file, h in sorted(got.items()):
                start = utc(h["DATE-OBS"])
                end = start + float(h["EXPTIME"]) * TIME_SCALE
                open_during = [n + 1 for n, (s, e) in enumerate(spans) if start < e and end > s]
                check(not open_during, "%s %s was open (%.3f to %.3f) during dither %s" % (name, file, start, end, open_during))
                item, done = int(h["MAINITEM"]), int(h["DITHERS"])
                check(h["MAINPASS"] == "1" and item in per_item and done == item - 1,
                      "%s %s: MAINPASS %s, MAINITEM %s, DITHERS %s" % (name, file, h["MAINPASS"], item, done))
                check(float(h["EXPTIME"]) == exposure, "%s %s: EXPTIME %s" % (name, file, h["EXPTIME"]))
                per_item[item] += 1
            print("   second PC %s: frames per main item %s" % (name, per_item))
            check(all(per_item.values()), "second PC %s took no frame in a main item: %s" % (name, per_item))
            if name == "A":
                check(all(n > 1 for n in per_item.values()), "the 1 s camera took one frame per main item: %s" % per_item)
        for win in windows.values():
            check(win.proc.poll() is None, "%s ended by itself" % win.title)
            win.stop()
            with open(os.path.join(win.program_dir, "tandexa.log"), errors="replace") as log:
                reports = [line for line in log if two.SANITIZER_REPORT.search(line)]
            check(not reports, "%s: sanitizer reports in its log:\n%s" % (win.title, "".join(reports)))
        print("PASSED in %.1f s" % (time.monotonic() - began))
        return 0
    except Exception:
        traceback.print_exc()
        shot = os.path.join(work, "failure.png")
        if desktop.processes and desktop.screenshot(shot):
            print("screenshot:", shot)
        return 1
    finally:
        for win in windows.values():
            win.stop()
        desktop.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tandexa", required=True)
    parser.add_argument("--fits-dump", required=True)
    parser.add_argument("--work-dir", required=True)
    sys.exit(run(parser.parse_args()))


if __name__ == "__main__":
    main()
