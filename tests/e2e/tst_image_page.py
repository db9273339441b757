#!/usr/bin/env python3
"""The Image page end to end: one real tandexa (main PC, simulated camera)
worked through its window on a private Xvfb display and read through AT-SPI.

  1. Connect MaxIm, start a sequence of three 2 s frames.
  2. While it runs, the Image page shows the exposure's progress
     ("Exposing n s of 2 s, ...") and frame k of 3.
  3. When it ends, the page shows the last file, its figures ("Stars n, HFR
     x px") and the table of the night's frames holds the three files with
     their figures; every file passes the FITS verifier (fitsverify).

Screenshots of the page are left in the work folder (image_page*.png).
Exit status: 0 passed, 1 failed, 77 skipped because a program it needs is
not installed (the reason is printed).
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_desktop  # noqa: E402

FRAMES = 3
SANITIZER_REPORT = re.compile(r"ERROR: AddressSanitizer|ERROR: LeakSanitizer|runtime error:")


def write_ini(path, text):
    with open(path, "wb") as f:
        f.write(text.replace("\n", "\r\n").encode())


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def run(args):
    missing = e2e_desktop.missing_tools()
    if missing:
        print("SKIPPED: not installed: %s (scripts/install-deps.sh installs them)" % ", ".join(missing))
        return e2e_desktop.SKIP
    work = args.work_dir
    shutil.rmtree(work, ignore_errors=True)
    program_dir = os.path.join(work, "main")
    images = os.path.join(program_dir, "images")
    os.makedirs(images)
    shutil.copy2(args.tandexa, os.path.join(program_dir, "tandexa"))
    write_ini(os.path.join(program_dir, "Tandexa.ini"),
              "[Setup]\nMainCCD=1\nTop=0\nLeft=0\n[Camera]\nDriver=Simulator\nTimeScale=1\n")
    write_ini(os.path.join(program_dir, "Sequence1.seq"),
              "[Sequence]\nImgFileName=Img\nDestDir=%s\nIterations=1\nStartIteration=1\nDelayFrame=0\n"
              "PixelDither=0\nWhileGuideError=0.5\nAllowList=0\nItems=1\nItem0=1 2 1 %d R-\n" % (images, FRAMES))
    write_ini(os.path.join(program_dir, "FilterSet.txt"), "Luminance\nRed\n")

    desktop = e2e_desktop.Desktop(work)
    win = None
    began = time.monotonic()
    try:
        desktop.start()
        import e2e_window as ui  # loaded once the test desktop's bus is in the environment
        win = ui.TandexaWindow(desktop, program_dir, "Tandexa 1")
        win.start()
        print("-- connect MaxIm and start", flush=True)
        win.press("Connect MaxIm")
        win.show_page("Sequence", "push button", "Start sequence")
        win.press("Start sequence")

        print("-- the progress while it runs", flush=True)
        win.show_page("Image", "table", "Frames of the night")

        def label_matching(pattern):
            for node, _ in ui.walk(win.frame(), into_tables=False):
                if ui._role(node) == "label" and ui.is_showing(node) and re.fullmatch(pattern, ui._name(node)):
                    return ui._name(node)
            return None
        seen = ui.poll("an exposure's progress", lambda: label_matching(r"Exposing \d s of 2 s, \d s left"), timeout=20)
        print("   " + seen, flush=True)
        seen = ui.poll("frame k of n", lambda: label_matching(r"Frame \d of %d, item 1 \(Red\), pass 1 of 1" % FRAMES),
                       timeout=20)
        print("   " + seen, flush=True)
        desktop.screenshot(os.path.join(work, "image_page_running.png"))
        win.wait_status("Run status", "Camera Idle", timeout=60)

        print("-- the last image and the night's frames", flush=True)
        last = "Img-%03dR.fit" % FRAMES
        ui.poll("the last file's name", lambda: label_matching(re.escape(last)), timeout=30)
        figures = ui.poll("the figures", lambda: label_matching(r"Stars \d+, HFR \d+\.\d\d px"), timeout=30)
        print("   %s: %s" % (last, figures), flush=True)
        for row in range(FRAMES):
            name = win.cell("Frames of the night", row, 0)
            check(name == "Img-%03dR.fit" % (row + 1), "row %d names %r" % (row, name))
            stars = ui.poll("the figures of row %d" % row,
                            lambda: win.cell("Frames of the night", row, 5).isdigit()
                            and win.cell("Frames of the night", row, 5), timeout=20)
            check(int(stars) > 20, "row %d: %s stars" % (row, stars))
            print("   %s" % " | ".join(win.cell("Frames of the night", row, c) for c in range(7)), flush=True)
        if shutil.which("fitsverify"):
            for n in sorted(os.listdir(images)):
                out = subprocess.run(["fitsverify", "-q", os.path.join(images, n)], capture_output=True, text=True)
                check(out.returncode == 0, "fitsverify: " + out.stdout + out.stderr)
        desktop.screenshot(os.path.join(work, "image_page.png"))
        win.press("1:1", role="check box")
        time.sleep(0.5)
        desktop.screenshot(os.path.join(work, "image_page_1to1.png"))
        check(win.proc.poll() is None, "tandexa ended by itself (status %s)" % win.proc.returncode)
        win.stop()
        with open(os.path.join(program_dir, "tandexa.log"), errors="replace") as log:
            reports = [line for line in log if SANITIZER_REPORT.search(line)]
        check(not reports, "sanitizer reports in the log:\n" + "".join(reports))
        print("PASSED in %.1f s" % (time.monotonic() - began))
        return 0
    except Exception:
        traceback.print_exc()
        desktop.screenshot(os.path.join(work, "failure.png"))
        return 1
    finally:
        if win:
            win.stop()
        desktop.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tandexa", required=True)
    parser.add_argument("--work-dir", required=True)
    sys.exit(run(parser.parse_args()))


if __name__ == "__main__":
    main()
