"""Headless Chromium through chromedriver, spoken to in W3C WebDriver over
HTTP with the standard library only. Used by the report page's browser test
and by the script that draws the page's picture for the guides.

    with Browser(1280, 800) as browser:
        browser.open("/path/page.html")
        png = browser.screenshot()

The driver starts in a process group of its own and Chromium inside it, so
that leaving the block stops both, whatever went wrong.
"""

import base64
import json
import os
import signal
import socket
import subprocess
import tempfile
import time
import urllib.error
import urllib.request

CHROMEDRIVER = "/usr/bin/chromedriver"
CHROMIUM = "/usr/bin/chromium"
START_SECONDS = 20
STOP_SECONDS = 5
# Any one command; the test around the browser allows 120 s in all.
CALL_SECONDS = 30


class BrowserError(Exception):
    pass


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _leave(signum, frame):
    raise SystemExit(128 + signum)


class Browser:
    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.driver = None
        self.session = None
        self.profile = None
        self.base = None

    def __enter__(self):
        for path in (CHROMEDRIVER, CHROMIUM):
            if not os.access(path, os.X_OK):
                raise BrowserError(f"{path} is missing: scripts/install-deps.sh installs it")
        # Stopped from outside (a test's timeout), the block is still left
        # through its end, which stops the browser.
        for sig in (signal.SIGTERM, signal.SIGHUP):
            signal.signal(sig, _leave)
        self.profile = tempfile.TemporaryDirectory(prefix="tolvane-chromium-")
        port = free_port()
        self.base = f"http://127.0.0.1:{port}"
        self.driver = subprocess.Popen(
            [CHROMEDRIVER, f"--port={port}"],
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
            start_new_session=True,
        )
        try:
            self._wait_ready()
            self._start_session()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *unused):
        if self.session:
            try:
                self._call("DELETE", f"/session/{self.session}", timeout=STOP_SECONDS)
            except (BrowserError, OSError):
                pass
            self.session = None
        if self.driver:
            self._stop_group()
            self.driver = None
        if self.profile:
            self.profile.cleanup()
            self.profile = None
        return False

    def _stop_group(self):
        # Chromium's processes share the driver's group; a few may outlive
        # the driver itself, so the group is signalled until it is empty.
        group = self.driver.pid
        for sig in (signal.SIGTERM, signal.SIGKILL):
            try:
                os.killpg(group, sig)
            except ProcessLookupError:
                break
            deadline = time.monotonic() + STOP_SECONDS
            while time.monotonic() < deadline:
                self.driver.poll()
                try:
                    os.killpg(group, 0)
                except ProcessLookupError:
                    return
                time.sleep(0.05)
        self.driver.wait(timeout=STOP_SECONDS)

    def _call(self, method, path, body=None, timeout=CALL_SECONDS):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.base + path, data=data, method=method)
        request.add_header("Content-Type", "application/json")
        try:
            with urllib.request.urlopen(request, timeout=timeout) as answer:
                return json.loads(answer.read())["value"]
        except urllib.error.HTTPError as error:
            raise BrowserError(f"{method} {path}: {error.code} {error.read()[:500]!r}") from None

    def _wait_ready(self):
        deadline = time.monotonic() + START_SECONDS
        while time.monotonic() < deadline:
            if self.driver.poll() is not None:
                raise BrowserError(f"chromedriver ended at once with {self.driver.returncode}")
            try:
                if self._call("GET", "/status", timeout=2).get("ready"):
                    return
            except (OSError, ValueError):
                pass
            time.sleep(0.1)
        raise BrowserError(f"chromedriver not ready after {START_SECONDS} s")

    def _start_session(self):
        options = {
            "binary": CHROMIUM,
            "args": [
                "--headless=new",
                "--no-sandbox",
                "--disable-gpu",
                "--disable-dev-shm-usage",
                "--hide-scrollbars",
                "--force-device-scale-factor=1",
                f"--window-size={self.width},{self.height}",
                f"--user-data-dir={self.profile.name}",
            ],
        }
        value = self._call(
            "POST", "/session", {"capabilities": {"alwaysMatch": {"goog:chromeOptions": options}}}
        )
        self.session = value["sessionId"]

    def _session(self, method, path, body=None):
        return self._call(method, f"/session/{self.session}{path}", body)

    def open(self, file):
        self._session("POST", "/url", {"url": "file://" + os.path.abspath(file)})

    def run(self, script, *args):
        return self._session("POST", "/execute/sync", {"script": script, "args": list(args)})

    def resize(self, width, height):
        self._session("POST", "/window/rect", {"width": width, "height": height})

    def screenshot(self):
        return base64.b64decode(self._session("GET", "/screenshot"))

    def print_pdf(self):
        return base64.b64decode(self._session("POST", "/print", {"background": True}))
