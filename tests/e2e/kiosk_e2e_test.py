#!/usr/bin/env python3
"""The real nilo-vod under X, driven like a viewer, against the demo portal.

Needs DISPLAY (an Xvfb), xdotool and xwd. Arguments (environment):
  NILO_VOD      path of the built nilo-vod
  NILO_VIDEOS   folder of sample videos (tools/make-sample-videos.sh)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools"))
from demo_portal_client import DemoPortal, wait_for  # noqa: E402
from xscreen import dark, digest, pixel, screenshot  # noqa: E402
PROGRAM = os.environ.get("NILO_VOD", "")
VIDEOS = os.environ.get("NILO_VIDEOS", "")
END_LINE = "------------------------------ END by Key ------------------------------------"


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True, timeout=10)


def screen_size():
    out = subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True, text=True, check=True).stdout.split()
    return int(out[0]), int(out[1])


class Kiosk:
    """A copy of the program in its own folder, with its config.ini."""

    def __init__(self, tmp, portal, certify_id="kim01", **config):
        self.dir = os.path.join(tmp, "seat")
        os.makedirs(self.dir, exist_ok=True)
        self.exe = os.path.join(self.dir, "nilo-vod")
        shutil.copy(PROGRAM, self.exe)
        shutil.copytree(os.path.join(os.path.dirname(PROGRAM), "res"), os.path.join(self.dir, "res"), dirs_exist_ok=True)
        self.certify = os.path.join(tmp, "connect_certify.txt")
        self.write_certify("T1,%s,M,25\r\n" % certify_id)
        settings = dict(show_minimize=1, show_close=1, enable_log=1, enable_closekey=1, certify_type=1,
                        certify_interval=2, certify_file_path=self.certify,
                        server_url="http://127.0.0.1:%d/authsvl" % portal.port)
        settings.update(config)
        with open(os.path.join(self.dir, "config.ini"), "w") as f:
            f.write("[CONFIG]\n" + "".join("%s=%s\n" % kv for kv in settings.items()))
        self.process = subprocess.Popen([self.exe], cwd=self.dir, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def write_certify(self, text):
        with open(self.certify, "w") as f:
            f.write(text)

    def log(self):
        try:
            with open(os.path.join(self.dir, "VOD.log"), encoding="utf-8", errors="replace") as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def running(self):
        return self.process.poll() is None

    def stop(self):
        if self.running():
            self.process.kill()
        self.process.wait(10)


@unittest.skipUnless(PROGRAM and os.environ.get("DISPLAY"), "needs NILO_VOD and an X display")
class KioskEndToEnd(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="nilo-e2e-")
        self.portal = DemoPortal()
        self.portal.start(VIDEOS, log=os.path.join(self.tmp, "portal.jsonl"))
        self.width, self.height = screen_size()

    def tearDown(self):
        for thing in ("kiosk", "portal"):
            if hasattr(self, thing):
                getattr(self, thing).stop()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def start(self, **config):
        self.kiosk = Kiosk(self.tmp, self.portal, **config)
        wait_for(lambda: self.portal.of("loaded"), what="portal page loaded")
        xdotool("mousemove", self.width // 2, self.height - 20)
        time.sleep(0.5)

    def open_first_video(self):
        # The demo page lays its first video link out at a known place.
        xdotool("mousemove", 340, 210, "click", 1)
        wait_for(lambda: self.portal.of("video"), what="video requested")

    def portal_shows(self):
        # The first video link's pale blue box.
        return pixel(340, 210) == (238, 238, 255)

    def test_portal_receives_the_seat_identity(self):
        self.start()
        query = self.portal.of("authsvl")[0]["query"]
        self.assertRegex(query["macaddr"], r"^[0-9A-F]{12}$|^$")
        self.assertIn("ipaddr", query)
        self.assertEqual((query["ltime"], query["id"], query["gender"], query["age"], query["atype"]),
                         ("T1", "kim01", "M", "25", "1"))
        log = self.kiosk.log()
        self.assertIn("START", log)
        self.assertIn("/authsvl?macaddr=", log)

    def test_portal_keys_do_nothing_and_f9_ends_with_the_end_line(self):
        self.start()
        for key in ("Return", "Escape", "alt+F4"):
            xdotool("key", key)
        time.sleep(1.0)
        self.assertTrue(self.kiosk.running())
        xdotool("key", "F9")
        wait_for(lambda: not self.kiosk.running(), what="program end")
        self.assertIn(END_LINE, self.kiosk.log())

    def test_close_button_ends_without_the_end_line(self):
        self.start()
        xdotool("mousemove", self.width - 33 + 8, 6 + 8, "click", 1)
        wait_for(lambda: not self.kiosk.running(), what="program end")
        self.assertNotIn("END by Key", self.kiosk.log())

    def test_video_plays_reacts_to_keys_and_reports_when_closed(self):
        self.start()
        self.open_first_video()
        # A moving picture: two screenshots a moment apart differ.
        time.sleep(1.5)
        first = screenshot()
        time.sleep(0.7)
        self.assertNotEqual(digest(first), digest(screenshot()))
        log = self.kiosk.log()
        self.assertIn("mms://127.0.0.1:%d/videos/" % self.portal.port, log)

        xdotool("key", "space")  # pause: the picture stands still
        time.sleep(0.8)
        paused = screenshot()
        time.sleep(0.6)
        self.assertEqual(digest(paused), digest(screenshot()))
        xdotool("key", "space")  # and plays on
        time.sleep(0.8)
        self.assertNotEqual(digest(paused), digest(screenshot()))

        # Seeking and the volume keys leave the video playing.
        xdotool("key", "Right", "Left", "Up", "Down")
        time.sleep(0.8)
        moving = screenshot()
        time.sleep(0.6)
        self.assertNotEqual(digest(moving), digest(screenshot()))

        # The transport bar runs along the bottom of the player window; in
        # full screen the picture covers it.
        bar = (self.width - 80, self.height - 13)
        self.assertFalse(dark(pixel(*bar)))
        xdotool("key", "Return")  # full screen
        time.sleep(0.8)
        self.assertTrue(dark(pixel(*bar)))
        xdotool("key", "Escape")  # leaves full screen only
        time.sleep(0.8)
        self.assertFalse(dark(pixel(*bar)))
        self.assertFalse(self.portal.of("report"))
        xdotool("key", "Escape")  # closes the player and tells the page
        report = wait_for(lambda: self.portal.of("report"), what="updateViewContent report")
        self.assertEqual(len(report), 1)
        self.assertEqual((report[0]["contentId"], report[0]["flag"]), ("sample-ball", "N"))
        time.sleep(0.5)
        self.assertTrue(self.portal_shows())
        self.assertTrue(self.kiosk.running())
        log = self.kiosk.log()
        self.assertIn("mms://127.0.0.1:%d/videos/sample-ball.wmv#sample-ball" % self.portal.port, log)

    def test_changed_certification_reopens_the_portal_and_hides_the_player(self):
        self.start()
        self.open_first_video()
        time.sleep(1.0)
        self.kiosk.write_certify("T2,lee02,F,31")
        wait_for(lambda: any(e["query"].get("id") == "lee02" for e in self.portal.of("authsvl")),
                 what="portal opened with the new id")
        wait_for(self.portal_shows, what="player hidden")
        # The page is not told on this path.
        self.assertFalse(self.portal.of("report"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
