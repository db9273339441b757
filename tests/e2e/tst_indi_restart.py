#!/usr/bin/env python3
"""A night through the window while the INDI server dies and comes back.

One real tandexa (main PC) drives the Debian INDI simulators (indiserver with
indi_simulator_ccd and indi_simulator_wheel) on a port of its own. Worked only
through its window: on the "Night" page the user switches on "Retry instead
of giving up" and "No box waits for nobody"; on the Sequence page enters one
item of 1 s frames and starts. After the third file the server is killed (its
whole process group) in the middle of the fourth frame and started again a
few seconds later on the same port.

Checked: the run ends by itself at "Camera Idle" with no box shown; every
planned file is there, once, each a valid FITS file (cfitsio reads it and
fitsverify, when installed, finds no error) with the full sensor; the night's
record beside the images and the Night page's list both tell of the lost
server and of the camera connected again.

Exit status: 0 passed, 1 failed, 77 skipped because a program it needs is not
installed (the reason is printed).
"""
import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_desktop  # noqa: E402

ui = None  # e2e_window, imported once the test desktop runs

FRAMES = 8
KILL_AFTER = 3          # files saved before the server is killed
DOWN_SECONDS = 3.0      # how long it stays away


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class IndiServer:
    """indiserver with the simulators, in a process group of its own."""

    def __init__(self, work, port):
        self.work = work
        self.port = port
        self.proc = None

    def start(self):
        env = dict(os.environ, HOME=self.work)
        log = open(os.path.join(self.work, "indiserver.log"), "ab")
        self.proc = subprocess.Popen(["indiserver", "-p", str(self.port), "-r", "0",
                                      "-u", os.path.join(self.work, "indiserver.sock"),
                                      "indi_simulator_ccd", "indi_simulator_wheel"],
                                     cwd=self.work, env=env, stdout=log, stderr=log, start_new_session=True)
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=1) as s:
                    s.sendall(b"<getProperties version='1.7'/>")
                    seen = b""
                    end = time.monotonic() + 3
                    while seen.count(b'name="CONNECTION"') < 2 and time.monotonic() < end:
                        s.settimeout(0.5)
                        try:
                            seen += s.recv(65536)
                        except socket.timeout:
                            pass
                    if seen.count(b'name="CONNECTION"') >= 2:
                        return
            except OSError:
                pass
            time.sleep(0.1)
        raise Failure("indiserver did not come up on port %d" % self.port)

    def kill(self):
        if self.proc and self.proc.poll() is None:
            os.killpg(self.proc.pid, signal.SIGKILL)
            self.proc.wait()

    def stop(self):
        if self.proc and self.proc.poll() is None:
            os.killpg(self.proc.pid, signal.SIGTERM)
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                os.killpg(self.proc.pid, signal.SIGKILL)
                self.proc.wait()


def write_ini(path, text):
    with open(path, "wb") as f:
        f.write(text.replace("\n", "\r\n").encode())


def run(args):
    missing = e2e_desktop.missing_tools()
    if shutil.which("indiserver") is None or shutil.which("indi_simulator_ccd") is None:
        missing.append("indiserver and the INDI simulators (indi-bin)")
    if missing:
        print("SKIPPED: not installed: %s (scripts/install-deps.sh installs them)" % ", ".join(missing))
        return e2e_desktop.SKIP

    work = args.work_dir
    shutil.rmtree(work, ignore_errors=True)
    program_dir = os.path.join(work, "night")
    images = os.path.join(program_dir, "images")
    os.makedirs(images)
    shutil.copy2(args.tandexa, os.path.join(program_dir, "tandexa"))
    port = free_port()
    write_ini(os.path.join(program_dir, "Tandexa.ini"),
              "[Setup]\nMainCCD=1\nTop=0\nLeft=0\n[Camera]\nDriver=INDI\nIndiHost=127.0.0.1\nIndiPort=%d\n"
              "IndiReplyTimeout=10\nIndiImageTimeout=20\n[Night]\nRetryTries=6\nRetryPause=2\n" % port)
    write_ini(os.path.join(program_dir, "Default.ccd"), "[Setup]\nIp2Address=127.0.0.1\nIpPort=%d\n" % free_port())

    server = IndiServer(work, port)
    desktop = e2e_desktop.Desktop(work)
    win = None
    began = time.monotonic()
    try:
        server.start()
        desktop.start()
        global ui
        import e2e_window as ui
        win = ui.TandexaWindow(desktop, program_dir, "Tandexa 1")
        win.start()

        print("-- switch the night's options on", flush=True)
        win.show_page("Night", "check box", "No box waits for nobody: failures go to the night's record")
        for name in ("Retry instead of giving up: connect the camera again and retake the frame",
                     "No box waits for nobody: failures go to the night's record"):
            box = win.find("check box", name)
            win.click(box, x_frac=0.02)
            ui.poll("%r to be checked" % name, lambda: ui.is_checked(box), timeout=5)
        with open(os.path.join(program_dir, "Tandexa.ini"), errors="replace") as ini:
            text = ini.read()
        check("Retry=1" in text and "NoBoxes=1" in text, "the Night page did not store its options:\n" + text)

        print("-- connect and set up the sequence", flush=True)
        win.show_page("Setup", "push button", "Connect MaxIm")
        win.press("Connect MaxIm")
        start = win.find("push button", "Start sequence", showing=False)
        ui.poll("Start enabled after Connect MaxIm", lambda: ui.is_sensitive(start), timeout=60)
        win.show_page("Sequence", "push button", "Start sequence")
        win.set_field("Image prefix", "Night")
        win.set_field("Destination", images)
        win.set_field("Repeat list", "1")
        win.set_field("Start suffix", "1")
        win.set_field("Delay", "0")
        win.set_field("Dithering", "0")
        win.click(win.cell_control("Sequence items", 0, 1))
        combo = win.find("combo box", None, showing=False)
        ui.poll("the item editor to open", lambda: ui.is_showing(combo), timeout=5)
        win.click(combo)
        drop_down = win.find("list", None, root=combo, showing=False)
        ui.poll("the filter list to drop down", lambda: ui.is_showing(drop_down), timeout=5)
        win.xdotool("type", "--delay", "30", "Green")
        win.key("Return")
        win.set_field("Suffix", "G")
        win.set_field("Exposure", "1")
        win.set_field("Binning", "1")
        win.set_field("Repeat", str(FRAMES))
        win.press("OK")
        ui.poll("the item editor to close", lambda: not ui.is_showing(combo), timeout=5)

        print("-- run, and kill the server after %d files" % KILL_AFTER, flush=True)
        planned = ["Night-%03dG.fit" % n for n in range(1, FRAMES + 1)]
        win.press("Start sequence")
        saved = lambda: sorted(n for n in os.listdir(images) if n.endswith(".fit"))  # noqa: E731
        ui.poll("%d files" % KILL_AFTER, lambda: len(saved()) >= KILL_AFTER, timeout=60)
        time.sleep(0.3)   # into the next frame's exposure
        server.kill()
        killed_at = time.monotonic()
        time.sleep(DOWN_SECONDS)
        server.start()
        print("   server down %.1f s" % (time.monotonic() - killed_at), flush=True)
        # No box may come: a box is a failure (handle_boxes without an answer).
        win.wait_status("Run status", "Camera Idle", timeout=120)
        ui.poll("Start enabled after the run", lambda: ui.is_sensitive(start), timeout=10)
        check(not win.boxes(), "a box is shown after the run")

        print("-- the night's files", flush=True)
        check(saved() == planned, "the folder holds %s, planned %s" % (saved(), planned))
        out = subprocess.run([args.fits_dump, *[os.path.join(images, n) for n in planned]], capture_output=True, text=True)
        check(out.returncode == 0, "cfitsio could not read every image:\n" + out.stdout + out.stderr)
        for line in out.stdout.splitlines():
            check("NAXIS1=1280 NAXIS2=1024" in line and "FILTER=Green" in line, "an image is not the full frame: " + line)
        if shutil.which("fitsverify"):
            verify = subprocess.run(["fitsverify", "-q", "-e", *[os.path.join(images, n) for n in planned]],
                                    capture_output=True, text=True)
            check(verify.returncode == 0, "fitsverify found errors:\n" + verify.stdout + verify.stderr)
        records = [n for n in os.listdir(images) if n.startswith("Tandexa-night-")]
        check(len(records) == 1, "night's records: %s" % records)
        with open(os.path.join(images, records[0]), errors="replace") as f:
            record = f.read()
        print(record, end="")
        check("Lost the INDI server" in record and "Camera connected again" in record,
              "the night's record does not tell of the restart")
        win.show_page("Night", "check box", "No box waits for nobody: failures go to the night's record")
        events = win.find("list", "Events of the night (UTC)")
        names = [ui._name(n) for n, _ in ui.walk(events) if ui._role(n) == "list item"]
        check(any("Camera connected again" in n for n in names), "the Night page lists %s" % names)
        desktop.screenshot(os.path.join(work, "night-page.png"))   # for a person to look at
        check(win.proc.poll() is None, "tandexa ended by itself (status %s)" % win.proc.returncode)
        print("PASSED in %.1f s" % (time.monotonic() - began))
        return 0
    except Exception:
        traceback.print_exc()
        shot = os.path.join(work, "failure.png")
        if desktop.processes and desktop.screenshot(shot):
            print("screenshot:", shot)
        return 1
    finally:
        if win:
            win.stop()
        desktop.stop()
        server.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tandexa", required=True)
    parser.add_argument("--fits-dump", required=True)
    parser.add_argument("--work-dir", required=True)
    sys.exit(run(parser.parse_args()))


if __name__ == "__main__":
    main()
