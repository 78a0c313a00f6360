"""Running tools/demo_portal.py from tests and benchmarks: started on a free
loopback port, its events read back over GET /events."""
import json
import os
import socket
import subprocess
import sys
import time
import urllib.request

DEMO_PORTAL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "demo_portal.py")


def free_port():
    """A loopback port nobody listens on just now."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(predicate, timeout=20.0, step=0.1, what="condition"):
    """The first true value of predicate(), asked every step seconds; an
    AssertionError naming what when there is none within timeout seconds."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    raise AssertionError("timed out waiting for " + what)


class DemoPortal:
    """The demo portal in a process of its own."""

    def __init__(self):
        self.port = None
        self.process = None

    def start(self, videos, log=None):
        """Starts it serving the folder videos (and writing its events to the
        file log, if given); returns once it answers."""
        self.port = free_port()
        command = [sys.executable, DEMO_PORTAL, "--port", str(self.port), "--videos", videos]
        if log:
            command += ["--log", log]
        self.process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            wait_for(self.answers, what="demo portal")
        except BaseException:
            self.stop()
            raise

    def answers(self):
        try:
            self.events()
            return True
        except OSError:
            return False

    def events(self):
        """Every event it has received so far, oldest first."""
        with urllib.request.urlopen("http://127.0.0.1:%d/events" % self.port, timeout=5) as r:
            return json.load(r)

    def of(self, kind):
        return [e for e in self.events() if e.get("kind") == kind]

    def stop(self):
        if self.process:
            self.process.terminate()
            self.process.wait(10)
            self.process = None
