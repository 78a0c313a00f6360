#!/usr/bin/env python3
"""The demo portal run as the kiosk and the end-to-end tests use it: a
process on an ephemeral loopback port, spoken to over HTTP."""

import http.client
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest
from urllib.parse import quote

PORTAL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "demo_portal.py")
VIDEO = bytes(range(256)) * 4  # 1024 bytes, each offset recognisable


class DemoPortalTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        root = cls.tmp.name
        cls.videos = os.path.join(root, "videos")
        os.mkdir(cls.videos)
        with open(os.path.join(cls.videos, "Big_Buck_Bunny.wmv"), "wb") as f:
            f.write(VIDEO)
        with open(os.path.join(cls.videos, "movie01.mp4"), "wb") as f:
            f.write(b"mp4")
        with open(os.path.join(root, "secret.txt"), "w") as f:
            f.write("do not serve")
        cls.log = os.path.join(root, "events.jsonl")
        cls.server = subprocess.Popen(
            [sys.executable, PORTAL, "--port", "0", "--videos", cls.videos, "--log", cls.log],
            stdout=subprocess.PIPE, text=True)
        line = cls.server.stdout.readline()
        match = re.fullmatch(r"listening on 127\.0\.0\.1:(\d+)\n", line)
        if not match:
            cls.server.kill()
            raise RuntimeError("portal did not start: %r" % line)
        cls.port = int(match.group(1))

    @classmethod
    def tearDownClass(cls):
        cls.server.terminate()
        cls.server.wait()
        cls.server.stdout.close()
        cls.tmp.cleanup()

    def request(self, path, headers=None, method="GET"):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        try:
            conn.request(method, path, headers=headers or {})
            response = conn.getresponse()
            return response.status, dict(response.getheaders()), response.read()
        finally:
            conn.close()

    def events(self, kind):
        status, _, body = self.request("/events")
        self.assertEqual(status, 200)
        return [e for e in json.loads(body) if e["kind"] == kind]

    def test_ranges(self):
        cases = [
            # Range header, status, expected bytes, Content-Range
            (None, 200, VIDEO, None),
            ("bytes=0-99", 206, VIDEO[0:100], "bytes 0-99/1024"),
            ("bytes=1000-", 206, VIDEO[1000:], "bytes 1000-1023/1024"),
            ("bytes=-24", 206, VIDEO[-24:], "bytes 1000-1023/1024"),
            ("bytes=1020-5000", 206, VIDEO[1020:], "bytes 1020-1023/1024"),
            ("bytes=-5000", 206, VIDEO, "bytes 0-1023/1024"),
            ("bytes=1024-", 416, b"", "bytes */1024"),
            ("bytes=5-2", 200, VIDEO, None),        # malformed: the whole file
            ("pages=0-1", 200, VIDEO, None),
        ]
        for header, status, body, content_range in cases:
            with self.subTest(range=header):
                got_status, headers, got = self.request(
                    "/videos/Big_Buck_Bunny.wmv", {"Range": header} if header else None)
                self.assertEqual(got_status, status)
                self.assertEqual(got, body)
                self.assertEqual(headers.get("Content-Range"), content_range)
                self.assertEqual(headers.get("Accept-Ranges"), "bytes")
                if status != 416:
                    self.assertEqual(headers["Content-Type"], "video/x-ms-wmv")
                    self.assertEqual(int(headers["Content-Length"]), len(body))

        seen = [e["range"] for e in self.events("video") if e["file"] == "Big_Buck_Bunny.wmv"]
        self.assertIn("bytes=0-99", seen)

    def test_several_ranges_come_as_multipart(self):
        status, headers, body = self.request("/videos/Big_Buck_Bunny.wmv", {"Range": "bytes=0-1,1022-1023"})
        self.assertEqual(status, 206)
        boundary = re.fullmatch(r"multipart/byteranges; boundary=(\S+)", headers["Content-Type"]).group(1)
        self.assertEqual(int(headers["Content-Length"]), len(body))
        parts = body.split(b"--" + boundary.encode())
        self.assertEqual(parts[-1], b"--\r\n")
        self.assertIn(b"Content-Range: bytes 0-1/1024\r\n\r\n" + VIDEO[0:2] + b"\r\n", parts[1])
        self.assertIn(b"Content-Range: bytes 1022-1023/1024\r\n\r\n" + VIDEO[1022:] + b"\r\n", parts[2])

    def test_head_gives_headers_only(self):
        status, headers, body = self.request("/videos/Big_Buck_Bunny.wmv", method="HEAD")
        self.assertEqual((status, body), (200, b""))
        self.assertEqual(headers["Content-Length"], str(len(VIDEO)))

    def test_portal_page_shows_identity_and_links(self):
        name = "<b>홍길동</b> & \"co\""
        status, headers, body = self.request(
            "/authsvl?mac=00-11-22-33-44-55&ip=10.0.0.7&name=" + quote(name) + "&empty=")
        self.assertEqual(status, 200)
        self.assertEqual(headers["Content-Type"], "text/html; charset=utf-8")
        page = body.decode("utf-8")
        self.assertIn("00-11-22-33-44-55", page)
        self.assertIn("10.0.0.7", page)
        self.assertIn("&lt;b&gt;홍길동&lt;/b&gt; &amp; &quot;co&quot;", page)
        self.assertNotIn("<b>홍길동", page)
        self.assertIn('href="mms://127.0.0.1:%d/videos/Big_Buck_Bunny.wmv#Big%%20Buck%%20Bunny"' % self.port, page)
        self.assertIn('href="mms://127.0.0.1:%d/videos/movie01.mp4#movie01"' % self.port, page)
        self.assertRegex(page, r"function updateViewContent\(contentId, flag\)")
        self.assertIn("/report?contentId=", page)
        self.assertIn("'/loaded'", page)

        queries = [e["query"] for e in self.events("authsvl")]
        self.assertIn({"mac": "00-11-22-33-44-55", "ip": "10.0.0.7", "name": name, "empty": ""}, queries)

    def test_reports_and_loads_are_recorded(self):
        content = "movie01 \"따옴표\"\n"
        self.assertEqual(self.request("/report?contentId=" + quote(content) + "&flag=N")[0], 200)
        self.assertEqual(self.request("/loaded?mac=aa")[0], 200)

        self.assertIn(content, [e["contentId"] for e in self.events("report")])
        self.assertIn({"mac": "aa"}, [e["query"] for e in self.events("loaded")])
        with open(self.log, encoding="utf-8") as log:
            logged = [json.loads(line) for line in log]
        self.assertIn((content, "N"), [(e.get("contentId"), e.get("flag")) for e in logged])

    def test_only_the_videos_folder_is_served(self):
        for path in ["/videos/../secret.txt", "/videos/%2e%2e/secret.txt", "/videos/..%2fsecret.txt",
                     "/videos/..%5csecret.txt", "/videos/%2e%2e", "/videos/", "/videos/missing.wmv",
                     "/secret.txt", "/", "/authsvl/../secret.txt"]:
            with self.subTest(path=path):
                status, _, body = self.request(path)
                self.assertEqual(status, 404)
                self.assertNotIn(b"do not serve", body)


if __name__ == "__main__":
    unittest.main()
