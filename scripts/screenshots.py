#!/usr/bin/env python3
"""Takes the README's screenshots from the running program: a real tandexa
on a private Xvfb desktop (the window test's desktop), worked through its
controls like a user, with an indiserver and the Debian simulators for the
INDI pictures. Writes docs/screenshots/*.png.

usage: screenshots.py <tandexa executable> <output folder>
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import e2e_desktop  # noqa: E402

SEQUENCE = """[Sequence]\r
ImgFileName=M42\r
DestDir={dest}/\r
Iterations=2\r
StartIteration=1\r
DelayFrame=5\r
PixelDither=0\r
WhileGuideError=0.5\r
AllowList=0\r
Items=4\r
Item0=0 120 1 4 L-\r
Item1=1 60 2 3 R-\r
Item2=2 60 2 3 G-\r
Item3=3 60 2 3 B-\r
"""


def free_port():
    """INDI's own port when it is free (so the picture shows it), else any."""
    for port in (7624, 0):
        with socket.socket() as s:
            try:
                s.bind(("127.0.0.1", port))
            except OSError:
                continue
            return s.getsockname()[1]


def shot(desktop, acc, path):
    """The part of the screen a window covers."""
    from gi.repository import Atspi
    time.sleep(0.4)   # let the last repaint land
    e = Atspi.Component.get_extents(acc, Atspi.CoordType.SCREEN)
    subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (e.width, e.height, e.x, e.y),
                    "+repage", path], env=desktop.env, check=True)
    print("wrote", path)


def dialog(win, ui):
    win._lines.clear()   # the labels found in an earlier dialog are gone
    return ui.poll("the devices dialog", lambda: next(iter(win.boxes()), None), timeout=10)


def report(win, ui, what):
    return ui.poll(what, lambda: (lambda t: t if t and not t.endswith("...") else None)(win.status_line(what)),
                   timeout=30)


def main():
    tandexa, out = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    missing = e2e_desktop.missing_tools() + [p for p in ("import", "indiserver") if shutil.which(p) is None]
    if missing:
        print("cannot take screenshots; missing: " + ", ".join(missing) +
              " (scripts/install-deps.sh, and imagemagick for import)")
        return 1
    os.makedirs(out, exist_ok=True)
    # Fixed names, so the pictures change only when the windows do.
    work = os.path.join(tempfile.gettempdir(), "tandexa-screenshots")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    desktop = e2e_desktop.Desktop(work)
    indi = None
    win = None
    try:
        desktop.start()
        import e2e_window as ui
        prog = os.path.join(work, "Tandexa")
        os.makedirs(os.path.join(work, "Images"))
        os.makedirs(prog)
        shutil.copy(tandexa, prog)
        with open(os.path.join(prog, "Sequence1.seq"), "w", newline="") as f:
            f.write(SEQUENCE.format(dest=os.path.join(work, "Images")))
        with open(os.path.join(prog, "FilterSet.txt"), "w", newline="") as f:
            f.write("Luminance\r\nRed\r\nGreen\r\nBlue\r\n")
        # Exposures 20 times faster than real time, so the Image page has
        # frames to show within seconds.
        with open(os.path.join(prog, "Tandexa.ini"), "w", newline="") as f:
            f.write("[Setup]\r\nMainCCD=1\r\n[Camera]\r\nTimeScale=0.05\r\n")
        win = ui.TandexaWindow(desktop, prog, "Tandexa 1")
        win.start()
        shot(desktop, win.frame(), os.path.join(out, "setup-page.png"))

        win.press("Devices...")
        box = dialog(win, ui)
        win.press("Test camera", root=box)
        report(win, ui, "Camera test result")
        shot(desktop, box, os.path.join(out, "devices-simulator.png"))
        win.press("Cancel", root=box)

        win.press("Connect MaxIm")
        win.show_page("Sequence", "push button", "Start sequence")
        win.press("Start sequence")
        win.wait_status("Run status", lambda t: t.startswith("Exposing"))
        time.sleep(1.5)
        shot(desktop, win.frame(), os.path.join(out, "sequence-running.png"))
        win.wait_status("Run status", "Exposing M42-003L.fit")
        win.show_page("Image", "table", "Frames of the night")
        time.sleep(1.5)
        shot(desktop, win.frame(), os.path.join(out, "image-page.png"))
        win.show_page("Sequence", "push button", "Start sequence")
        win.press("Stop sequence")
        win.wait_status("Run status", "Camera Idle")
        win.show_page("Setup", "push button", "Connect MaxIm")

        port = free_port()
        home = os.path.join(work, "indi")
        os.makedirs(home)
        indi = subprocess.Popen(["indiserver", "-p", str(port), "indi_simulator_ccd", "indi_simulator_wheel",
                                 "indi_simulator_guide"], env=dict(os.environ, HOME=home), cwd=home,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        time.sleep(2)
        win.press("Devices...")
        box = dialog(win, ui)
        win.click(win.find("radio button", "INDI server", box))
        win.set_field("Host", "127.0.0.1", box)
        win.set_field("Port", str(port), box)
        win.press("Look for devices", root=box)
        ui.poll("the device list", lambda: " has " in win.status_line("Device search"), timeout=30)
        win.press("Test camera", root=box)
        report(win, ui, "Camera test result")
        win.click(win.find("radio button", "PHD2", box))
        shot(desktop, box, os.path.join(out, "devices-indi.png"))
        win.press("Cancel", root=box)
        return 0
    finally:
        if win:
            win.stop()
        if indi:
            indi.terminate()
            indi.wait(10)
        desktop.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
