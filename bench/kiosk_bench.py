#!/usr/bin/env python3
"""Start-up time, click-to-picture time and memory of nilo-vod, side by side
with Chromium in kiosk mode opening the same portal page.

Runs on an X display (starts its own Xvfb when there is none) against the
demo portal on loopback. Prints min / median of each figure over the runs and
the ratios to Chromium.

  bench/kiosk_bench.py --program build/desktop/platform/gtk/nilo-vod [--runs 5]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "tools"))
from demo_portal_client import DemoPortal, wait_for  # noqa: E402
from xscreen import colourful, pixel  # noqa: E402

# ---- memory of a process and its descendants --------------------------------

def descendants(root):
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            children.setdefault(int(fields[1]), []).append(int(entry))
        except (OSError, IndexError):
            pass
    found, todo = [], [root]
    while todo:
        pid = todo.pop()
        found.append(pid)
        todo.extend(children.get(pid, []))
    return found


def memory_mb(root):
    """RSS and PSS in MB, summed over the process tree."""
    rss = pss = 0
    for pid in descendants(root):
        try:
            with open("/proc/%d/smaps_rollup" % pid) as f:
                for line in f:
                    if line.startswith("Rss:"):
                        rss += int(line.split()[1])
                    elif line.startswith("Pss:"):
                        pss += int(line.split()[1])
        except OSError:
            pass
    return rss / 1024.0, pss / 1024.0


# ---- the portal -----------------------------------------------------------------

def loaded_after(portal, t):
    """The portal page's loads at or after time t (time.time())."""
    return [e for e in portal.of("loaded") if e["time"] >= t]


def portal_url(portal):
    return "http://127.0.0.1:%d/authsvl?macaddr=&ipaddr=&atype=0" % portal.port


def prepare_kiosk(program, portal, folder):
    """A seat folder with the program and its config.ini; returns its starter."""
    os.makedirs(folder, exist_ok=True)
    exe = os.path.join(folder, "nilo-vod")
    shutil.copy(program, exe)
    shutil.copytree(os.path.join(os.path.dirname(program), "res"), os.path.join(folder, "res"), dirs_exist_ok=True)
    with open(os.path.join(folder, "config.ini"), "w") as f:
        f.write("[CONFIG]\nserver_url=http://127.0.0.1:%d/authsvl\n" % portal.port)
    return lambda: subprocess.Popen([exe], cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def prepare_chromium(chromium, portal, folder):
    return lambda: subprocess.Popen([chromium, "--kiosk", "--no-sandbox", "--disable-gpu", "--no-first-run",
                             "--disable-background-networking", "--disable-component-update", "--disable-sync",
                             "--disable-quic", "--user-data-dir=" + folder, portal_url(portal)],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def stop(process):
    process.terminate()
    try:
        process.wait(5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def measure(start, portal, click=None):
    figures = {}
    t0 = time.time()
    process = start()
    try:
        loaded = wait_for(lambda: loaded_after(portal, t0), timeout=30, step=0.005, what="portal page loaded")
        figures["start to portal loaded (ms)"] = (loaded[0]["time"] - t0) * 1000
        time.sleep(3)
        figures["idle RSS (MB)"], figures["idle PSS (MB)"] = memory_mb(process.pid)
        if click:
            x, y, probe = click
            subprocess.run(["xdotool", "mousemove", x, y], check=True)
            t1 = time.monotonic()
            subprocess.run(["xdotool", "click", "1"], check=True)
            wait_for(lambda: colourful(pixel(*probe)), timeout=15, step=0.0, what="first frame")
            figures["click to first frame (ms)"] = (time.monotonic() - t1) * 1000
            time.sleep(2)
            figures["playing RSS (MB)"], figures["playing PSS (MB)"] = memory_mb(process.pid)
    finally:
        stop(process)
    return figures


def summary(runs):
    table = {}
    for figures in runs:
        for name, value in figures.items():
            table.setdefault(name, []).append(value)
    return {name: (min(values), statistics.median(values)) for name, values in table.items()}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--chromium", default=shutil.which("chromium") or "")
    args = parser.parse_args()

    xvfb = None
    if not os.environ.get("DISPLAY"):
        os.environ["DISPLAY"] = ":94"
        xvfb = subprocess.Popen(["Xvfb", ":94", "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)
    tmp = tempfile.mkdtemp(prefix="nilo-bench-")
    videos = os.path.join(tmp, "videos")
    subprocess.run([os.path.join(ROOT, "tools", "make-sample-videos.sh"), videos], check=True,
                   stdout=subprocess.DEVNULL)
    portal = DemoPortal()
    portal.start(videos)
    width = int(subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True, text=True).stdout.split()[0])
    height = int(subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True, text=True).stdout.split()[1])
    # The demo page's colour-bar video, and a point in the middle of the screen.
    click = (*link_position(videos, "sample-smpte.wmv"), (width // 2, height // 3))
    try:
        kiosk = [measure(prepare_kiosk(args.program, portal, os.path.join(tmp, "seat%d" % i)), portal, click)
                 for i in range(args.runs)]
        chromium = []
        if args.chromium:
            chromium = [measure(prepare_chromium(args.chromium, portal, os.path.join(tmp, "chromium%d" % i)), portal)
                        for i in range(args.runs)]
    finally:
        portal.stop()
        if xvfb:
            xvfb.terminate()
        shutil.rmtree(tmp, ignore_errors=True)

    ours, theirs = summary(kiosk), summary(chromium)
    print("%-32s %22s %22s %8s" % ("figure (%d runs)" % args.runs, "nilo-vod min/median", "chromium min/median", "ratio"))
    for name, (low, mid) in ours.items():
        other = theirs.get(name)
        ratio = "%.2f" % (mid / other[1]) if other and other[1] else "-"
        print("%-32s %10.1f / %9.1f %22s %8s" % (name, low, mid, "%10.1f / %9.1f" % other if other else "-", ratio))


def link_position(videos, name):
    """Where the demo page shows the link to a video: one 600 x 100 link per
    video in name order, the first at x 40-640, y 160-260."""
    index = sorted(f for f in os.listdir(videos) if not f.startswith(".")).index(name)
    return "340", str(160 + index * 100 + 50)


if __name__ == "__main__":
    main()
