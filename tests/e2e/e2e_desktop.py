"""A private desktop for end-to-end tests: an Xvfb display, a D-Bus session
bus and the AT-SPI registry, all started here and stopped by their own ids.

Nothing is taken from the caller's desktop: DISPLAY and
DBUS_SESSION_BUS_ADDRESS are replaced in this process (before the AT-SPI
client library is loaded) and handed to the programs under test.
"""
import os
import shutil
import signal
import subprocess
import time

SKIP = 77  # CTest's SKIP_RETURN_CODE for this test

AT_SPI_LAUNCHERS = ("/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher")


def missing_tools():
    """Names of the programs and modules this desktop needs and cannot find."""
    missing = [p for p in ("Xvfb", "xdotool", "dbus-daemon") if shutil.which(p) is None]
    if not any(os.access(p, os.X_OK) for p in AT_SPI_LAUNCHERS):
        missing.append("at-spi-bus-launcher (at-spi2-core)")
    try:
        import gi  # noqa: F401  (python3-gi, pulled in by python3-pyatspi)
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi  # noqa: F401
    except (ImportError, ValueError):
        missing.append("the AT-SPI Python bindings (python3-pyatspi)")
    return missing


class Desktop:
    """Owns the display, the bus and the registry; stop() ends all three."""

    def __init__(self, log_dir):
        self.log_dir = log_dir
        self.processes = []  # Popen objects, each the leader of its own group
        self.env = dict(os.environ)

    def _spawn(self, name, argv, **kwargs):
        log = open(os.path.join(self.log_dir, name + ".log"), "wb")
        proc = subprocess.Popen(argv, stdout=kwargs.pop("stdout", log), stderr=log,
                                env=self.env, start_new_session=True, **kwargs)
        self.processes.append(proc)
        return proc

    def start(self):
        # Xvfb picks a free display itself and writes its number to the pipe.
        read_fd, write_fd = os.pipe()
        self._spawn("xvfb", ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x800x24",
                             "-nolisten", "tcp", "-noreset"], pass_fds=(write_fd,))
        os.close(write_fd)
        display = self._read_line(read_fd, "Xvfb did not report its display")
        self.env["DISPLAY"] = ":" + display

        read_fd, write_fd = os.pipe()
        self._spawn("dbus", ["dbus-daemon", "--session", "--nofork", "--nopidfile",
                             "--print-address=%d" % write_fd], pass_fds=(write_fd,))
        os.close(write_fd)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self._read_line(read_fd, "dbus-daemon did not report its address")
        # The accessibility bus is found through the session bus; a fixed
        # address would switch Qt's bridge off.
        self.env.pop("AT_SPI_BUS_ADDRESS", None)
        self.env["NO_AT_BRIDGE"] = "0"
        launcher = next(p for p in AT_SPI_LAUNCHERS if os.access(p, os.X_OK))
        self._spawn("atspi", [launcher, "--launch-immediately"])
        for key in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
            os.environ[key] = self.env[key]
        os.environ.pop("AT_SPI_BUS_ADDRESS", None)
        self._wait_for_registry()

    @staticmethod
    def _read_line(fd, what):
        data = b""
        deadline = time.monotonic() + 20
        with os.fdopen(fd, "rb", buffering=0) as pipe:
            while not data.endswith(b"\n") and time.monotonic() < deadline:
                chunk = pipe.read(1)
                if not chunk:
                    break
                data += chunk
        if not data.strip():
            raise RuntimeError(what)
        return data.decode().strip()

    def _wait_for_registry(self):
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            probe = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                                    "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                                   env=self.env, capture_output=True)
            if probe.returncode == 0:
                return
            time.sleep(0.2)
        raise RuntimeError("the AT-SPI bus launcher did not come up")

    def screenshot(self, path):
        """Saves the whole screen when ImageMagick is there; says whether it did."""
        if shutil.which("import") is None:
            return False
        return subprocess.run(["import", "-window", "root", path], env=self.env,
                              capture_output=True).returncode == 0

    def stop(self):
        for proc in reversed(self.processes):
            if proc.poll() is None:
                try:
                    os.killpg(proc.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
        for proc in reversed(self.processes):
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
        self.processes.clear()
