#!/usr/bin/env python3
"""Opens pages one after another in one tab of a headless Chromium and prints each page's
own Navigation Timing, one JSON line per page: responseEnd, DOMContentLoaded and load
(loadEventStart: every picture in), in milliseconds from the navigation's start, and the
number of pictures.

    chromium-timing.py PROFILE_DIR WARM_URL URL...

WARM_URL is opened first and not printed, so that the browser, its renderer and its
connections are up before the first timed page, as in a browser the user has open. The
browser is driven over the DevTools pipe (--remote-debugging-pipe: JSON messages ended by
a NUL byte on file descriptors 3 and 4), so nothing beyond python3 is needed."""
import fcntl
import json
import os
import subprocess
import sys
import time


class Browser:
    def __init__(self, profile):
        # Every end of the two pipes above the descriptors the browser reads and writes, so
        # that placing them on 3 and 4 in the child cannot overwrite one another.
        def high(fd):
            moved = fcntl.fcntl(fd, fcntl.F_DUPFD_CLOEXEC, 10)
            os.close(fd)
            return moved
        to_browser_r, self.to_browser = map(high, os.pipe())
        self.from_browser, from_browser_w = map(high, os.pipe())

        def place():  # in the child: the browser reads commands on fd 3, writes on fd 4
            os.dup2(to_browser_r, 3)
            os.dup2(from_browser_w, 4)
        self.process = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--remote-debugging-pipe", "--user-data-dir=" + profile, "about:blank"],
            pass_fds=(3, 4), preexec_fn=place, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.buffer = b""
        self.next_id = 0
        self.events = []

    def send(self, method, params=None, session=None):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        while True:
            reply = self.receive()
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError("%s: %s" % (method, reply["error"]))
                return reply.get("result", {})
            self.events.append(reply)

    def receive(self):
        while b"\0" not in self.buffer:
            chunk = os.read(self.from_browser, 1 << 16)
            if not chunk:
                raise RuntimeError("chromium ended")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def wait_for_event(self, method, session, timeout):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            for i, event in enumerate(self.events):
                if event.get("method") == method and event.get("sessionId") == session:
                    del self.events[: i + 1]
                    return event
            self.events.append(self.receive())
        raise RuntimeError("no %s within %s s" % (method, timeout))

    def close(self):
        try:
            self.send("Browser.close")
        except RuntimeError:
            pass
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()


TIMING = """(function () {
  var t = performance.getEntriesByType('navigation')[0];
  if (!t || t.loadEventStart <= 0) return '';
  return JSON.stringify({responseEnd: t.responseEnd, domContentLoaded: t.domContentLoadedEventStart,
                         load: t.loadEventStart, images: document.images.length});
})()"""


def page_timing(browser, session, url, timeout=600):
    browser.events.clear()
    browser.send("Page.navigate", {"url": url}, session)
    browser.wait_for_event("Page.loadEventFired", session, timeout)
    end = time.monotonic() + 30
    while time.monotonic() < end:
        result = browser.send("Runtime.evaluate", {"expression": TIMING, "returnByValue": True}, session)
        text = result.get("result", {}).get("value", "")
        if text:
            return json.loads(text)
        time.sleep(0.05)
    raise RuntimeError("%s: no Navigation Timing" % url)


def main():
    profile, warm, urls = sys.argv[1], sys.argv[2], sys.argv[3:]
    browser = Browser(profile)
    try:
        target = browser.send("Target.createTarget", {"url": "about:blank"})["targetId"]
        session = browser.send("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        browser.send("Page.enable", {}, session)
        page_timing(browser, session, warm)
        for url in urls:
            print(json.dumps(page_timing(browser, session, url)), flush=True)
    finally:
        browser.close()


if __name__ == "__main__":
    main()
