"""A headless Chromium of its own, showing a site served from a folder on
this machine: the one driver for the browser tests and the browser bench.
Frames are counted where WebGL clears the picture, which every frame of
Kalvo's (and of the bench's reference pages) begins with."""

import functools
import http.server
import shutil
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common import utils as selenium_utils

# Before any page script: every frame begins with one clear of the picture.
FRAME_COUNTER = """
window.kalvoTestFrames = [];
if (typeof WebGLRenderingContext !== "undefined") {
  const clear = WebGLRenderingContext.prototype.clear;
  WebGLRenderingContext.prototype.clear = function (mask) {
    window.kalvoTestFrames.push(performance.now());
    return clear.call(this, mask);
  };
}
"""
# Nothing Chromium would fetch or sync on its own; WebGL in software, as without a GPU.
QUIET_FLAGS = ["--headless", "--no-sandbox", "--disable-background-networking",
               "--disable-component-update", "--disable-sync", "--no-first-run",
               "--disable-quic", "--disable-dev-shm-usage", "--enable-unsafe-swiftshader"]


class Site:
    """A folder on a static server of its own, on a port of its choosing."""

    def __init__(self, root):
        handler = functools.partial(QuietHandler, directory=root)
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.url = "http://127.0.0.1:%d/" % self.server.server_address[1]

    def close(self):
        self.server.shutdown()
        self.server.server_close()


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


class LoopbackService(Service):
    """chromedriver at 127.0.0.1: selenium's "localhost" needs an /etc/hosts."""

    @property
    def service_url(self):
        return "http://127.0.0.1:%d" % self.port

    def is_connectable(self):
        return selenium_utils.is_connectable(self.port, "127.0.0.1")


class Chromium:
    """A headless Chromium showing a page at a given size and device scale."""

    def __init__(self, url, width=800, height=600, scale=1.0, flags=(), mobile=False):
        self.profile = tempfile.mkdtemp(prefix="kalvo-chromium-")
        options = webdriver.ChromeOptions()
        options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
        for flag in (*QUIET_FLAGS, "--user-data-dir=" + self.profile, *flags):
            options.add_argument(flag)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        service = LoopbackService(shutil.which("chromedriver") or "/usr/bin/chromedriver")
        self.driver = webdriver.Chrome(options=options, service=service)
        self.cdp("Emulation.setDeviceMetricsOverride", width=width, height=height,
                 deviceScaleFactor=scale, mobile=mobile)
        if mobile:  # a phone: touch only
            self.cdp("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)
        self.cdp("Page.addScriptToEvaluateOnNewDocument", source=FRAME_COUNTER)
        self.driver.get(url)

    def close(self):
        if self.driver:
            self.driver.quit()
            self.driver = None
        shutil.rmtree(self.profile, ignore_errors=True)

    def cdp(self, command, **params):
        return self.driver.execute_cdp_cmd(command, params)

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def frames(self):
        """How many frames the page has drawn."""
        return self.js("return window.kalvoTestFrames.length")

    def wait_frames(self, more=1, timeout=20):
        """Whether `more` frames came within timeout s."""
        deadline, wanted = time.monotonic() + timeout, self.frames() + more
        while self.frames() < wanted:
            if time.monotonic() > deadline:
                return False
            time.sleep(0.05)
        return True
