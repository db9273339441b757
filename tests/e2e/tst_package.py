#!/usr/bin/env python3
"""The Debian package as a user gets it: built with cpack, installed with apt,
and started the way the desktop menu starts it (the Exec line of its desktop
entry) on a private Xvfb desktop.

  1. cpack -G DEB builds tandexa_<version>_<arch>.deb from this build.
  2. apt-get install ./tandexa_*.deb installs it; the program, the desktop
     entry (Categories Science;Astronomy;) and the icons are in their XDG
     places, and desktop-file-validate accepts the entry when it is there.
  3. The entry's command opens the window "Tandexa 1" for a user whose home
     is fresh; the setup file it shows, and the file its "Save setup file"
     button writes, are in ~/.local/share/Tandexa, not in /usr/bin.
  4. The package is removed again unless it was installed before.

Exit status: 0 passed, 1 failed, 77 skipped (not root, no apt, or a program
of the test desktop missing; the reason is printed).
"""
import argparse
import os
import shutil
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_desktop  # noqa: E402

PREFIX = "/usr"


def run(argv, **kwargs):
    started = time.monotonic()
    result = subprocess.run(argv, capture_output=True, text=True, **kwargs)
    if result.returncode != 0:
        raise AssertionError("%s failed (%d):\n%s%s" % (" ".join(argv), result.returncode, result.stdout[-3000:],
                                                        result.stderr[-3000:]))
    print("%s: %.1f s" % (" ".join(argv[:3]), time.monotonic() - started), flush=True)
    return result.stdout


def installed_before():
    probe = subprocess.run(["dpkg-query", "-W", "-f=${Status}", "tandexa"], capture_output=True, text=True)
    return "install ok installed" in probe.stdout


def desktop_exec(entry):
    with open(entry, encoding="utf-8") as f:
        lines = f.read().splitlines()
    values = dict(line.split("=", 1) for line in lines if "=" in line and not line.startswith("#"))
    assert "Science;" in values["Categories"] and "Astronomy;" in values["Categories"], values["Categories"]
    assert values["Icon"] == "tandexa" and values["Name"] == "Tandexa", values
    return values["Exec"].split()


class MenuStartedWindow:
    """Starts the entry's command as the menu would and finds its window."""

    def __init__(self, desktop, command, home):
        import e2e_window
        self.ui = e2e_window
        env = dict(desktop.env, HOME=home, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_ACCESSIBILITY="1")
        env.pop("XDG_DATA_HOME", None)
        self.window = e2e_window.TandexaWindow(desktop, home, "Tandexa 1")
        with open(os.path.join(home, "tandexa.log"), "wb") as log:
            self.window.proc = subprocess.Popen(command, cwd=home, env=env, stdout=log, stderr=log,
                                                start_new_session=True)
        self.window.app = e2e_window.poll("the installed tandexa on the accessibility bus",
                                          self.window._find_app, timeout=60)
        e2e_window.poll("its window", lambda: self.window.frame(), timeout=30)


def check(args):
    work = args.work_dir
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    run(["cpack", "-G", "DEB", "-B", os.path.join(work, "pkg"), "--config",
         os.path.join(args.build_dir, "CPackConfig.cmake")], cwd=args.build_dir)
    debs = [f for f in os.listdir(os.path.join(work, "pkg")) if f.startswith("tandexa_") and f.endswith(".deb")]
    assert len(debs) == 1, debs
    was_installed = installed_before()
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    run(["apt-get", "install", "-y", "-o", "DPkg::Lock::Timeout=300", "./" + debs[0]],
        cwd=os.path.join(work, "pkg"), env=env)
    desktop = None
    try:
        entry = os.path.join(PREFIX, "share/applications/tandexa.desktop")
        for path in (os.path.join(PREFIX, "bin/tandexa"), entry,
                     os.path.join(PREFIX, "share/icons/hicolor/scalable/apps/tandexa.svg"),
                     os.path.join(PREFIX, "share/icons/hicolor/48x48/apps/tandexa.png")):
            assert os.path.exists(path), path + " was not installed"
        if shutil.which("desktop-file-validate"):
            run(["desktop-file-validate", entry])
        command = desktop_exec(entry)
        assert shutil.which(command[0]) == os.path.join(PREFIX, "bin/tandexa"), command

        home = os.path.join(work, "home")
        os.makedirs(home)
        desktop = e2e_desktop.Desktop(work)
        desktop.start()
        started = time.monotonic()
        tandexa = MenuStartedWindow(desktop, command, home)
        print("window open after %.1f s" % (time.monotonic() - started), flush=True)
        data = os.path.join(home, ".local/share/Tandexa")
        setup_file = tandexa.window.find("text", "Setup file name")
        shown = tandexa.ui.text_of(setup_file)
        assert shown == os.path.join(data, "Default.ccd"), "the Setup page shows " + shown
        tandexa.window.press("Save setup file")
        tandexa.ui.poll("Default.ccd in " + data, lambda: os.path.exists(os.path.join(data, "Default.ccd")))
        for name in ("Default.ccd", "Tandexa.ini", "FilterSet.txt"):
            assert not os.path.exists(os.path.join(PREFIX, "bin", name)), name + " was written into /usr/bin"
        tandexa.window.stop()
    finally:
        if desktop:
            desktop.stop()
        if not was_installed:
            run(["dpkg", "--remove", "tandexa"], env=env)
        else:
            print("tandexa was installed before this test; it is now this build's package")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--work-dir", required=True)
    args = parser.parse_args()
    reasons = []
    if os.geteuid() != 0:
        reasons.append("not running as root (installing a package needs it)")
    reasons += ["%s is not installed" % p for p in ("apt-get", "dpkg", "cpack") if shutil.which(p) is None]
    reasons += e2e_desktop.missing_tools()
    if reasons:
        print("SKIPPED: " + "; ".join(reasons))
        return e2e_desktop.SKIP
    try:
        check(args)
    except Exception:
        traceback.print_exc()
        return 1
    print("package test passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
