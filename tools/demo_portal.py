#!/usr/bin/env python3
"""A stand-in for the library's portal, for trying the kiosk and testing it.

    python3 tools/demo_portal.py [--port 5560] [--videos DIR] [--log FILE]

Serves on 127.0.0.1 only:
  GET /authsvl?...      the portal page: the seat identity it was opened with,
                        the videos of --videos as mms:// links, and the page
                        function updateViewContent(contentId, flag)
  GET /videos/<file>    a video, with byte ranges (the player seeks with them)
  GET /report?...       sent by updateViewContent for each call
  GET /loaded?...       sent by the page once it has loaded
  GET /events           everything above received so far, as a JSON list
Each event is a dict with "kind" ("authsvl", "report", "loaded", "video");
--log FILE gets the same events, one JSON object a line.

The page's layout is fixed, so a test can click a video like a viewer: the
videos come first, one 600x100 pixel link each, the first at x 40-640,
y 160-260 of the page.

With --port 0 the system picks a free port. The first line printed is
"listening on 127.0.0.1:<port>".
"""

import argparse
import html
import json
import mimetypes
import os
import re
import sys
import threading
import time
import uuid
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qsl, quote, unquote, urlsplit

HOST = "127.0.0.1"
CHUNK = 64 * 1024

# Types the system tables may not know; the player picks its demuxer by them.
VIDEO_TYPES = {
    ".wmv": "video/x-ms-wmv",
    ".asf": "video/x-ms-asf",
    ".mp4": "video/mp4",
    ".m4v": "video/mp4",
    ".mkv": "video/x-matroska",
    ".webm": "video/webm",
    ".ogv": "video/ogg",
    ".avi": "video/x-msvideo",
    ".mpg": "video/mpeg",
    ".mpeg": "video/mpeg",
    ".ts": "video/mp2t",
}


def content_type(name):
    ext = os.path.splitext(name)[1].lower()
    if ext in VIDEO_TYPES:
        return VIDEO_TYPES[ext]
    guessed, _ = mimetypes.guess_type(name)
    return guessed or "application/octet-stream"


def query_dict(query):
    """The query's parameters; a repeated name keeps all its values as a list."""
    result = {}
    for name, value in parse_qsl(query, keep_blank_values=True):
        if name in result:
            if not isinstance(result[name], list):
                result[name] = [result[name]]
            result[name].append(value)
        else:
            result[name] = value
    return result


def parse_ranges(header, size):
    """The byte ranges a Range header asks for, as inclusive (first, last) pairs.

    None when the header is absent or malformed (the whole file is sent, as
    HTTP says a server may); an empty list when no range can be satisfied.
    """
    if not header:
        return None
    unit, _, specs = header.partition("=")
    if unit.strip().lower() != "bytes" or not specs.strip():
        return None
    ranges = []
    for spec in specs.split(","):
        m = re.fullmatch(r"\s*(\d*)\s*-\s*(\d*)\s*", spec)
        if not m or (m.group(1) == "" and m.group(2) == ""):
            return None
        first, last = m.group(1), m.group(2)
        if first == "":
            length = int(last)
            if length == 0:
                continue
            ranges.append((max(0, size - length), size - 1))
            continue
        first = int(first)
        if last and int(last) < first:
            return None
        if first >= size:
            continue
        ranges.append((first, min(int(last), size - 1) if last else size - 1))
    return [(first, last) for first, last in ranges if first <= last]


class Portal:
    """What the server knows: the videos folder and the events so far."""

    def __init__(self, videos_dir, log_path):
        self.videos_dir = os.path.abspath(videos_dir)
        self.log_path = log_path
        self.events = []
        self.lock = threading.Lock()
        if log_path:
            # Start each run with a fresh log, so a test reads only its own.
            open(log_path, "w", encoding="utf-8").close()

    def record(self, event):
        event = dict(event, time=round(time.time(), 3))
        line = json.dumps(event, ensure_ascii=False)
        with self.lock:
            self.events.append(event)
            if self.log_path:
                with open(self.log_path, "a", encoding="utf-8") as log:
                    log.write(line + "\n")

    def snapshot(self):
        with self.lock:
            return list(self.events)

    def videos(self):
        try:
            names = sorted(os.listdir(self.videos_dir))
        except OSError:
            return []
        return [n for n in names if not n.startswith(".") and os.path.isfile(os.path.join(self.videos_dir, n))]

    def video_path(self, name):
        """The file a /videos/ name refers to, or None for anything outside the folder."""
        if not name or name in (".", "..") or "/" in name or "\\" in name or "\0" in name:
            return None
        path = os.path.join(self.videos_dir, name)
        return path if os.path.isfile(path) else None


PAGE = """<!DOCTYPE html>
<html lang="ko">
<head>
<meta charset="utf-8">
<title>Nilo-VOD 데모 포털 / demo portal</title>
<style>
body {{ font-family: sans-serif; margin: 0; }}
h1 {{ margin: 0; padding: 0 40px; height: 100px; line-height: 100px; font-size: 28px; }}
h2 {{ margin: 0; padding: 0 40px; height: 60px; line-height: 60px; font-size: 20px; }}
#videos {{ list-style: none; margin: 0; padding: 0 40px; }}
#videos a {{ display: block; box-sizing: border-box; width: 600px; height: 100px; line-height: 100px;
             padding: 0 20px; border: 1px solid #99b; background: #eef; font-size: 22px; }}
table {{ border-collapse: collapse; margin: 0 40px; }}
td, th {{ border: 1px solid #999; padding: 0.2em 0.6em; text-align: left; }}
#reports {{ margin: 0; padding: 0 40px 0 60px; }}
</style>
<script>
// Called by the kiosk when the viewer closes the player. The report goes to
// the server before the call returns, so a test can rely on it at once.
function updateViewContent(contentId, flag) {{
  var request = new XMLHttpRequest();
  request.open('GET', '/report?contentId=' + encodeURIComponent(String(contentId)) +
               '&flag=' + encodeURIComponent(String(flag)), false);
  try {{ request.send(); }} catch (e) {{}}
  var item = document.createElement('li');
  item.textContent = String(contentId) + ' / ' + String(flag);
  document.getElementById('reports').appendChild(item);
}}
window.addEventListener('load', function () {{
  var request = new XMLHttpRequest();
  request.open('GET', '/loaded' + location.search);
  request.send();
}});
</script>
</head>
<body>
<h1>도서관 영상 포털 / Library video portal</h1>
<h2>영상 목록 / Videos</h2>
<ul id="videos">
{videos}
</ul>
<h2>좌석 정보 / Seat identity</h2>
<table id="identity">
<tr><th>이름 / name</th><th>값 / value</th></tr>
{identity}
</table>
<h2>시청 기록 / Viewing reports</h2>
<ul id="reports"></ul>
</body>
</html>
"""


def title_of(name):
    return os.path.splitext(name)[0].replace("_", " ")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "NiloDemoPortal/1.0"

    @property
    def portal(self):
        return self.server.portal

    def log_message(self, *args):
        pass

    def do_HEAD(self):
        self.handle_get(send_body=False)

    def do_GET(self):
        self.handle_get(send_body=True)

    def handle_get(self, send_body):
        url = urlsplit(self.path)
        path = url.path
        if path == "/authsvl":
            self.portal.record({"kind": "authsvl", "query": query_dict(url.query)})
            self.send_text(200, self.render_page(url.query), "text/html; charset=utf-8", send_body)
        elif path == "/report":
            query = query_dict(url.query)
            self.portal.record({"kind": "report", "contentId": query.get("contentId"), "flag": query.get("flag")})
            self.send_text(200, "ok", "text/plain; charset=utf-8", send_body)
        elif path == "/loaded":
            self.portal.record({"kind": "loaded", "query": query_dict(url.query)})
            self.send_text(200, "ok", "text/plain; charset=utf-8", send_body)
        elif path == "/events":
            body = json.dumps(self.portal.snapshot(), ensure_ascii=False)
            self.send_text(200, body, "application/json; charset=utf-8", send_body)
        elif path.startswith("/videos/"):
            self.send_video(unquote(path[len("/videos/"):]), send_body)
        else:
            self.send_text(404, "not found", "text/plain; charset=utf-8", send_body)

    def render_page(self, query):
        port = self.server.server_address[1]
        identity = "\n".join(
            "<tr><td>{}</td><td>{}</td></tr>".format(html.escape(name), html.escape(value))
            for name, value in parse_qsl(query, keep_blank_values=True))
        videos = "\n".join(
            '<li><a href="{}">{}</a></li>'.format(
                html.escape("mms://{}:{}/videos/{}#{}".format(HOST, port, quote(name), quote(title_of(name)))),
                html.escape(title_of(name)))
            for name in self.portal.videos())
        return PAGE.format(identity=identity, videos=videos)

    def send_text(self, status, text, ctype, send_body):
        body = text.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        if send_body:
            self.wfile.write(body)

    def send_video(self, name, send_body):
        range_header = self.headers.get("Range")
        path = self.portal.video_path(name)
        event = {"kind": "video", "file": name, "range": range_header}
        if path is None:
            self.portal.record(dict(event, status=404))
            self.send_text(404, "not found", "text/plain; charset=utf-8", send_body)
            return
        try:
            video = open(path, "rb")
        except OSError:
            self.portal.record(dict(event, status=404))
            self.send_text(404, "not found", "text/plain; charset=utf-8", send_body)
            return
        with video:
            size = os.fstat(video.fileno()).st_size
            ranges = parse_ranges(range_header, size)
            ctype = content_type(name)
            try:
                if ranges is None:
                    self.portal.record(dict(event, status=200))
                    self.send_response(200)
                    self.send_header("Content-Type", ctype)
                    self.send_header("Content-Length", str(size))
                    self.send_header("Accept-Ranges", "bytes")
                    self.end_headers()
                    if send_body:
                        self.copy(video, 0, size)
                elif not ranges:
                    self.portal.record(dict(event, status=416))
                    self.send_response(416)
                    self.send_header("Content-Range", "bytes */{}".format(size))
                    self.send_header("Content-Length", "0")
                    self.send_header("Accept-Ranges", "bytes")
                    self.end_headers()
                elif len(ranges) == 1:
                    first, last = ranges[0]
                    self.portal.record(dict(event, status=206))
                    self.send_response(206)
                    self.send_header("Content-Type", ctype)
                    self.send_header("Content-Range", "bytes {}-{}/{}".format(first, last, size))
                    self.send_header("Content-Length", str(last - first + 1))
                    self.send_header("Accept-Ranges", "bytes")
                    self.end_headers()
                    if send_body:
                        self.copy(video, first, last - first + 1)
                else:
                    self.portal.record(dict(event, status=206))
                    self.send_multipart(video, ranges, size, ctype, send_body)
            except (BrokenPipeError, ConnectionResetError):
                # A player that seeks drops the connection it no longer needs.
                self.close_connection = True

    def send_multipart(self, video, ranges, size, ctype, send_body):
        boundary = uuid.uuid4().hex
        heads = [("--{}\r\nContent-Type: {}\r\nContent-Range: bytes {}-{}/{}\r\n\r\n".format(
            boundary, ctype, first, last, size)).encode("ascii") for first, last in ranges]
        tail = "\r\n--{}--\r\n".format(boundary).encode("ascii")
        length = sum(len(h) for h in heads) + sum(last - first + 1 for first, last in ranges)
        length += 2 * (len(ranges) - 1) + len(tail)
        self.send_response(206)
        self.send_header("Content-Type", "multipart/byteranges; boundary=" + boundary)
        self.send_header("Content-Length", str(length))
        self.send_header("Accept-Ranges", "bytes")
        self.end_headers()
        if not send_body:
            return
        for i, (head, (first, last)) in enumerate(zip(heads, ranges)):
            if i:
                self.wfile.write(b"\r\n")
            self.wfile.write(head)
            self.copy(video, first, last - first + 1)
        self.wfile.write(tail)

    def copy(self, video, offset, length):
        video.seek(offset)
        while length > 0:
            chunk = video.read(min(CHUNK, length))
            if not chunk:
                break
            self.wfile.write(chunk)
            length -= len(chunk)


class PortalServer(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, portal):
        super().__init__((HOST, port), Handler)
        self.portal = portal


def main(argv=None):
    parser = argparse.ArgumentParser(description="Demo portal for Nilo-VOD (127.0.0.1 only).")
    parser.add_argument("--port", type=int, default=5560, help="port to listen on; 0 picks a free one")
    parser.add_argument("--videos", default="videos", help="folder whose files are listed as videos")
    parser.add_argument("--log", help="file that gets every event as a JSON line")
    args = parser.parse_args(argv)

    server = PortalServer(args.port, Portal(args.videos, args.log))
    print("listening on {}:{}".format(HOST, server.server_address[1]), flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
