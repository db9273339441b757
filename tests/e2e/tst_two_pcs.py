#!/usr/bin/env python3
"""Two PCs end to end: a main PC and a second PC, two real tandexa processes
on one machine, each in its own program directory with the simulated camera,
linked over loopback and worked only through their windows.

  1. The second PC links to the main PC; both connect MaxIm.
  2. Main PC: two items with repeat 2 over two passes, dithering on. Second
     PC: one item, "Allow complete cicle ..." off. Start on the second PC,
     then on the main PC; both end at "Camera Idle" by themselves. The second
     PC takes one frame per "Expose" of the main PC.
  3. Again with the option on: the second PC takes as many frames for each
     command as fit in the seconds announced. The main PC starts over at
     pass 1, so every image is offered for overwriting; the answer is Yes.
  4. Stop on the main PC while it dithers stops both runs: "Camera Idle" on
     both windows and no further files.

The images are read back with cfitsio (fits_header_dump): names, count, size,
EXPTIME, FILTER and XBINNING.

Exit status: 0 passed, 1 failed, 77 skipped because a program it needs is
not installed (the reason is printed).
"""
import argparse
import datetime
import os
import re
import shutil
import socket
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_desktop  # noqa: E402

ui = None  # e2e_window, imported once the test desktop runs

TIME_SCALE = "0.05"   # a 3 s exposure takes 0.15 s
MAIN_SENSOR = (64, 48)
SECOND_SENSOR = (80, 60)

# (filter, suffix, exposure, binning, repeat)
MAIN_ITEMS = [("Red", "R", 2, 1, 2), ("Green", "G", 3, 2, 2)]
SECOND_ITEM = ("Blue", "B", 1, 1, 4)
PASSES = 2
# Loopback takes a millisecond; the rest is a machine busy with other work.
SYNC_TOLERANCE = 2.0
SECOND_GRACE = 30.0   # seconds the second PC's run may outlast the main PC's
# What AddressSanitizer and UndefinedBehaviorSanitizer write (the sanitizer
# build of CI runs this test too).
SANITIZER_REPORT = re.compile(r"ERROR: AddressSanitizer|ERROR: LeakSanitizer|runtime error:")

# Every run status text each window may show in these runs (the threshold is
# typed as 1, shown in its shortest form).
STATUS_TEXTS = {
    "Tandexa 1": [r"Changing filter (Red|Green)", r"Exposing \w+-\d{3}[RG]\.fit", "Moving telescope",
                  "Waiting for error correction < 1", "User break", "Camera Idle"],
    "Tandexa 2": [r"Changing filter Blue", r"Waiting for remote start\.\.\.", r"Exposing \w+-\d{3}B\.fit", "",
                  "Camera Idle"],
}


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def write_ini(path, text):
    with open(path, "wb") as f:
        f.write(text.replace("\n", "\r\n").encode())


def make_program_dir(root, name, tandexa, main_ccd, left, sensor, port):
    """A program directory as an installation would have it: the executable,
    the settings file and the default setup file; an empty image folder."""
    program_dir = os.path.join(root, name)
    os.makedirs(os.path.join(program_dir, "images"))
    shutil.copy2(tandexa, os.path.join(program_dir, "tandexa"))
    write_ini(os.path.join(program_dir, "Tandexa.ini"),
              "[Setup]\nMainCCD=%d\nTop=0\nLeft=%d\n[Camera]\nDriver=Simulator\nTimeScale=%s\n"
              "SensorWidth=%d\nSensorHeight=%d\nStarCount=20\n"
              % (main_ccd, left, TIME_SCALE, sensor[0], sensor[1]))
    write_ini(os.path.join(program_dir, "Default.ccd"),
              "[Setup]\nIp2Address=127.0.0.1\nIpPort=%d\n" % port)
    return program_dir


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class Images:
    """The FITS files of one image folder, read with the independent reader."""

    def __init__(self, folder, dump_tool):
        self.folder = folder
        self.dump_tool = dump_tool

    def names(self):
        return sorted(n for n in os.listdir(self.folder) if n.endswith(".fit"))

    def mtimes(self):
        return {n: os.stat(os.path.join(self.folder, n)).st_mtime_ns for n in self.names()}

    def headers(self, names):
        paths = [os.path.join(self.folder, n) for n in names]
        out = subprocess.run([self.dump_tool, *paths], capture_output=True, text=True)
        check(out.returncode == 0, "cfitsio could not read every image:\n" + out.stdout + out.stderr)
        result = {}
        for line in out.stdout.splitlines():
            path, *fields = line.split(" ")
            result[os.path.basename(path)] = dict(f.split("=", 1) for f in fields)
        return result

    def start_time(self, name):
        """DATE-OBS of the image, in seconds."""
        stamp = self.headers([name])[name]["DATE-OBS"]
        return datetime.datetime.fromisoformat(stamp).timestamp()

    def check_frames(self, expected):
        """expected: {file name: (filter, exposure, binning)}; the folder holds
        exactly these images, each with the header the frame asked for."""
        check(self.names() == sorted(expected),
              "%s holds %s, expected %s" % (self.folder, self.names(), sorted(expected)))
        for name, header in self.headers(sorted(expected)).items():
            filt, exposure, binning, sensor = expected[name]
            got = (header["FILTER"], float(header["EXPTIME"]), int(header["XBINNING"]),
                   int(header["NAXIS1"]), int(header["NAXIS2"]))
            want = (filt, float(exposure), binning, sensor[0] // binning, sensor[1] // binning)
            check(got == want, "%s: FILTER, EXPTIME, XBINNING, NAXIS1, NAXIS2 are %s, expected %s"
                  % (name, got, want))


def main_frames(prefix, passes):
    expected = {}
    for filt, suffix, exposure, binning, repeat in MAIN_ITEMS:
        for i in passes:
            for j in range(1, repeat + 1):
                expected["%s-%03d%s.fit" % (prefix, (i - 1) * repeat + j, suffix)] = \
                    (filt, exposure, binning, MAIN_SENSOR)
    return expected


def second_frames(prefix, count):
    filt, suffix, exposure, binning, _ = SECOND_ITEM
    return {"%s-%03d%s.fit" % (prefix, n, suffix): (filt, exposure, binning, SECOND_SENSOR)
            for n in range(1, count + 1)}


class Scenario:
    def __init__(self, main_win, second_win, main_images, second_images):
        self.main = main_win
        self.second = second_win
        self.main_images = main_images
        self.second_images = second_images
        self.boxes_seen = []

    # Message boxes a user meets on the way, and the answers a user gives.
    def answer(self, window, caption, text):
        self.boxes_seen.append((window.title, caption, text))
        if "Sequence runs are not available" in text:
            raise Failure("%s: Start only says %r: this build has no sequence runs" % (window.title, text))
        if caption == "Warning" and "does exist." in text and "Overwrite?" in text:
            print("   %s: %r -> Yes" % (window.title, text), flush=True)
            return "Yes"
        raise Failure("%s showed an unexpected box %r: %r" % (window.title, caption, text))

    def link(self):
        check(self.main.status_line("Link status") == "Listening for connect...",
              "main PC link status: %r" % self.main.status_line("Link status"))
        addr = self.second.find("text", "Main camera pc ip-address")
        check(ui.text_of(addr) == "127.0.0.1", "second PC address box reads %r" % ui.text_of(addr))
        self.second.press("Connect to main PC")
        self.second.wait_status("Link status", "Connected to 127.0.0.1")
        self.main.wait_status("Link status", "Connect to: 127.0.0.1")

    def connect_maxim(self, win):
        win.press("Connect MaxIm")
        start = win.find("push button", "Start sequence", showing=False)
        ui.poll("%s: Start enabled after Connect MaxIm" % win.title, lambda: ui.is_sensitive(start), timeout=30)
        check(not ui.is_sensitive(win.find("push button", "Connect MaxIm")), win.title + ": Connect MaxIm still enabled")

    def edit_item(self, win, row, item):
        """Opens the item editor over grid row (0 = first item) and enters item."""
        filt, suffix, exposure, binning, repeat = item
        win.click(win.cell_control("Sequence items", row, 1))
        # Its accessible name is the filter it shows: the window has one.
        combo = win.find("combo box", None, showing=False)
        ui.poll(win.title + ": the item editor to open", lambda: ui.is_showing(combo), timeout=5)
        win.click(combo)
        drop_down = win.find("list", None, root=combo, showing=False)
        ui.poll(win.title + ": the filter list to drop down", lambda: ui.is_showing(drop_down), timeout=5)
        win.xdotool("type", "--delay", "30", filt)
        win.key("Return")
        win.set_field("Suffix", suffix)
        win.set_field("Exposure", str(exposure))
        win.set_field("Binning", str(binning))
        win.set_field("Repeat", str(repeat))
        win.press("OK")
        ui.poll(win.title + ": the item editor to close", lambda: not ui.is_showing(combo), timeout=5)
        cells = [win.cell("Sequence items", row, c) for c in range(6)]
        check(cells == [str(row + 1), filt, suffix, str(exposure), str(binning), str(repeat)],
              "%s: grid row %d reads %s after OK" % (win.title, row + 1, cells))

    def set_allow_list(self, win, on):
        box = win.find("check box", "Allow complete cicle without waiting for server new frame")
        if ui.is_checked(box) != on:
            win.click(box, x_frac=0.03)
            ui.poll(win.title + ": the check box to change", lambda: ui.is_checked(box) == on, timeout=5)

    def set_up_sequences(self, main_dir, second_dir):
        m = self.main
        m.show_page("Sequence", "push button", "Start sequence")
        m.set_field("Image prefix", "Img")
        m.set_field("Destination", main_dir)
        m.set_field("Repeat list", str(PASSES))
        m.set_field("Start suffix", "1")
        m.set_field("Delay", "0")
        m.set_field("Dithering", "1")
        m.set_field("Wait while guiding error  >", "1")
        for row, item in enumerate(MAIN_ITEMS):
            self.edit_item(m, row, item)

        s = self.second
        s.show_page("Sequence", "push button", "Start sequence")
        s.set_field("Image prefix", "Sec")
        s.set_field("Destination", second_dir)
        s.set_field("Repeat list", "1")
        s.set_field("Start suffix", "1")
        self.set_allow_list(s, False)
        self.edit_item(s, 0, SECOND_ITEM)

    def start_both(self):
        """Start on the second PC, which waits for the main PC, then on the main PC."""
        self.second.press("Start sequence")
        self.second.wait_status("Run status", "Waiting for remote start...", on_box=self.answer)
        self.main.press("Start sequence")
        start = self.main.find("push button", "Start sequence")

        def running():
            self.main.handle_boxes(self.answer)
            return not ui.is_sensitive(start)
        ui.poll("main PC: the run to begin", running, timeout=10)

    def wait_both_idle(self, timeout):
        """Watches both status lines until both runs are over; returns the
        texts each window showed, in order, as far as sampling saw them."""
        seen = {self.main.title: [], self.second.title: []}
        starts = [(w, w.find("push button", "Start sequence")) for w in (self.main, self.second)]
        deadline = time.monotonic() + timeout
        while True:
            texts = []
            for win in (self.main, self.second):
                win.handle_boxes(self.answer)
                text = win.status_line("Run status")
                if not seen[win.title] or seen[win.title][-1] != text:
                    seen[win.title].append(text)
                texts.append(text)
            if texts == ["Camera Idle"] * 2 and all(ui.is_sensitive(b) for _, b in starts):
                break
            now = time.monotonic()
            check(now < deadline, "runs not over in time (%d s, or %d s after the main PC's end); statuses %s"
                  % (timeout, SECOND_GRACE, texts))
            # The main PC sends its last command as it starts its last item:
            # the second PC has no reason to go on long after the main PC ends.
            if texts[0] == "Camera Idle" and ui.is_sensitive(starts[0][1]):
                deadline = min(deadline, now + SECOND_GRACE)
            time.sleep(0.03)
        self.check_idle_buttons()
        for win in (self.main, self.second):
            unknown = [t for t in seen[win.title] if not any(re.fullmatch(p, t) for p in STATUS_TEXTS[win.title])]
            check(not unknown, "%s showed status texts it has no business showing: %s" % (win.title, unknown))
        return seen

    def check_idle_buttons(self):
        for win in (self.main, self.second):
            check(ui.is_sensitive(win.find("push button", "Start sequence")), win.title + ": Start disabled after the run")
            check(not ui.is_sensitive(win.find("push button", "Stop sequence")), win.title + ": Stop enabled after the run")

    # --- the three runs ----------------------------------------------------
    def run_one_frame_per_command(self):
        began = time.monotonic()
        self.start_both()
        seen = self.wait_both_idle(timeout=300)
        print("runs with the option off: %.1f s" % (time.monotonic() - began))
        print("   status texts seen:", seen)
        check("Moving telescope" in seen[self.main.title], "the main PC never showed it dithers: %s" % seen)
        self.main_images.check_frames(main_frames("Img", range(1, PASSES + 1)))
        # One "Expose" per main item and pass: one frame each.
        self.second_images.check_frames(second_frames("Sec", len(MAIN_ITEMS) * PASSES))
        # Each of the second PC's frames starts as the main PC starts an item
        # (its first frame), not a pass or an item later.
        starts = [self.main_images.start_time("Img-%03d%s.fit" % ((i - 1) * item[4] + 1, item[1]))
                  for i in range(1, PASSES + 1) for item in MAIN_ITEMS]
        offsets = [self.second_images.start_time("Sec-%03d%s.fit" % (n + 1, SECOND_ITEM[1])) - t
                   for n, t in enumerate(starts)]
        print("   second camera's start after the main camera's, s: %s" % ["%.3f" % o for o in offsets])
        check(all(abs(o) < SYNC_TOLERANCE for o in offsets),
              "the second camera did not expose with the main camera: offsets %s s" % offsets)
        start_suffix = self.main.find("text", "Start suffix")
        check(ui.text_of(start_suffix) == str(PASSES + 1),
              "main PC Start suffix reads %r after a complete run" % ui.text_of(start_suffix))

    def run_on_budget(self):
        s = self.second
        s.set_field("Image prefix", "SecL")
        self.set_allow_list(s, True)
        filt, suffix, exposure, binning, _ = SECOND_ITEM
        frames_per_pass = sum(item[2] // exposure for item in MAIN_ITEMS)
        self.edit_item(s, 0, (filt, suffix, exposure, binning, frames_per_pass * PASSES))
        self.main.set_field("Start suffix", "1")
        before = self.main_images.mtimes()
        self.boxes_seen.clear()
        began = time.monotonic()
        self.start_both()
        self.wait_both_idle(timeout=300)
        print("runs with the option on: %.1f s" % (time.monotonic() - began))
        overwrites = [t for t in self.boxes_seen if t[0] == self.main.title and "does exist." in t[2]]
        check(len(overwrites) == len(before),
              "main PC asked %d overwrite questions for %d existing images" % (len(overwrites), len(before)))
        self.main_images.check_frames(main_frames("Img", range(1, PASSES + 1)))
        after = self.main_images.mtimes()
        check(all(after[n] > before[n] for n in before), "an image answered Yes was not written again")
        # Each command announces its item's exposure; the second PC spends it
        # in frames of its own exposure, then waits for the next command.
        self.second_images.check_frames({**second_frames("Sec", len(MAIN_ITEMS) * PASSES),
                                         **second_frames("SecL", frames_per_pass * PASSES)})

    def stop_on_main_stops_both(self):
        self.main.set_field("Image prefix", "Stop")
        self.main.set_field("Start suffix", "1")
        self.second.set_field("Image prefix", "SecS")
        self.set_allow_list(self.second, False)
        main_before = set(self.main_images.names())
        second_before = set(self.second_images.names())
        self.start_both()
        # The first item's frames are taken, then the main PC dithers.
        self.main.wait_status("Run status", "Moving telescope", timeout=60, on_box=self.answer)
        self.main.press("Stop sequence")
        self.wait_both_idle(timeout=30)
        main_new = sorted(set(self.main_images.names()) - main_before)
        second_new = sorted(set(self.second_images.names()) - second_before)
        time.sleep(3)
        check(sorted(set(self.main_images.names()) - main_before) == main_new and
              sorted(set(self.second_images.names()) - second_before) == second_new,
              "images were written after both windows said Camera Idle")
        filt, suffix, exposure, binning, repeat = MAIN_ITEMS[0]
        self.main_images.check_frames({**main_frames("Img", range(1, PASSES + 1)),
                                       **{"Stop-%03d%s.fit" % (j, suffix): (filt, exposure, binning, MAIN_SENSOR)
                                          for j in range(1, repeat + 1)}})
        check(second_new == ["SecS-001B.fit"], "second PC wrote %s before the stop" % second_new)
        start_suffix = ui.text_of(self.main.find("text", "Start suffix"))
        check(start_suffix == "1", "main PC Start suffix reads %r after a stopped pass" % start_suffix)


def run(args):
    missing = e2e_desktop.missing_tools()
    if missing:
        print("SKIPPED: not installed: %s (scripts/install-deps.sh installs them)" % ", ".join(missing))
        return e2e_desktop.SKIP

    work = args.work_dir
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    port = free_port()
    main_dir = make_program_dir(work, "main", args.tandexa, 1, 0, MAIN_SENSOR, port)
    second_dir = make_program_dir(work, "second", args.tandexa, 0, 480, SECOND_SENSOR, port)

    desktop = e2e_desktop.Desktop(work)
    windows = []
    began = time.monotonic()
    try:
        desktop.start()
        global ui
        import e2e_window as ui  # loaded once the desktop's bus is in the environment
        main_win = ui.TandexaWindow(desktop, main_dir, "Tandexa 1")
        second_win = ui.TandexaWindow(desktop, second_dir, "Tandexa 2")
        windows = [main_win, second_win]
        main_win.start()
        second_win.start()
        scenario = Scenario(main_win, second_win,
                            Images(os.path.join(main_dir, "images"), args.fits_dump),
                            Images(os.path.join(second_dir, "images"), args.fits_dump))
        steps = [("link the second PC", scenario.link),
                 ("connect MaxIm on the main PC", lambda: scenario.connect_maxim(main_win)),
                 ("connect MaxIm on the second PC", lambda: scenario.connect_maxim(second_win)),
                 ("set up both sequences", lambda: scenario.set_up_sequences(
                     os.path.join(main_dir, "images"), os.path.join(second_dir, "images"))),
                 ("one frame per command", scenario.run_one_frame_per_command),
                 ("frames on the announced budget", scenario.run_on_budget),
                 ("Stop on the main PC stops both", scenario.stop_on_main_stops_both)]
        for name, step in steps:
            print("--", name, flush=True)
            step()
        for win in windows:
            check(win.proc.poll() is None, "%s ended by itself (status %s)" % (win.title, win.proc.returncode))
            win.stop()
            with open(os.path.join(win.program_dir, "tandexa.log"), errors="replace") as log:
                reports = [line for line in log if SANITIZER_REPORT.search(line)]
            check(not reports, "%s: sanitizer reports in its log:\n%s" % (win.title, "".join(reports)))
        print("PASSED in %.1f s" % (time.monotonic() - began))
        return 0
    except Exception:
        traceback.print_exc()
        shot = os.path.join(work, "failure.png")
        if desktop.processes and desktop.screenshot(shot):
            print("screenshot:", shot)
        for win in windows:
            if win.proc and win.proc.poll() is not None:
                print("%s ended with status %s" % (win.title, win.proc.returncode))
        return 1
    finally:
        for win in windows:
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
