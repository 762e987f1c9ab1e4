#!/usr/bin/python3
"""The tuner's page in a real browser: headless Chromium driven through chromedriver's
WebDriver HTTP API. Loads the page on the built-in demo shot, picks the screen colour by
clicking on the screen, drags a slider, waits for the picture, saves the script, runs pxhost on
it and checks that the file it writes holds exactly the samples the page received.

Usage: browser_test.py PXHOST SCREENSHOT.png
"""

import base64
import hashlib
import json
import os
import shlex
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

import OpenImageIO as oiio
import numpy

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
ELEMENT = "element-6066-11e4-a52e-4f735466cecf"  # the WebDriver element reference key
TIMEOUT = 60.0                                   # seconds for any one wait
SCREEN_POINT = (1400, 900)                       # the demo shot's screen, in the subject's shadow
WINDOW = "1400,860"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(what, check, timeout=TIMEOUT):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = check()
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError("timed out waiting for " + what)


class WebDriver:
    def __init__(self, port, profile):
        self.base = "http://127.0.0.1:%d" % port
        wait_for("chromedriver", self._ready)
        options = {
            "binary": CHROMIUM,
            "args": ["--headless", "--no-sandbox", "--disable-gpu",
                     "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--no-first-run", "--user-data-dir=" + profile,
                     "--window-size=" + WINDOW],
        }
        caps = {"capabilities": {"alwaysMatch": {"browserName": "chrome",
                                                 "goog:chromeOptions": options}}}
        self.session = self.call("POST", "/session", caps)["sessionId"]

    def _ready(self):
        try:
            return self.call("GET", "/status")["ready"]
        except OSError:
            return False

    def call(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.base + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=TIMEOUT) as response:
            return json.load(response)["value"]

    def do(self, method, path, body=None):
        return self.call(method, "/session/%s%s" % (self.session, path), body)

    def js(self, script, *args):
        return self.do("POST", "/execute/sync", {"script": script, "args": list(args)})

    def js_async(self, script, *args):
        return self.do("POST", "/execute/async", {"script": script, "args": list(args)})

    def find(self, css):
        return self.do("POST", "/element", {"using": "css selector", "value": css})[ELEMENT]

    def pointer(self, element, steps):
        """Moves to the element's centre plus (x, y) of each step, pressing and releasing the
        left button where a step says so."""
        actions = []
        for step in steps:
            x, y = step.get("at", (0, 0))
            actions.append({"type": "pointerMove", "origin": {ELEMENT: element},
                            "x": int(x), "y": int(y), "duration": 50})
            if step.get("press"):
                actions.append({"type": "pointerDown", "button": 0})
            if step.get("release"):
                actions.append({"type": "pointerUp", "button": 0})
        self.do("POST", "/actions", {"actions": [{
            "type": "pointer", "id": "mouse", "parameters": {"pointerType": "mouse"},
            "actions": actions}]})

    def close(self):
        try:
            self.do("DELETE", "")
        except OSError:
            pass


def start_tuner(pxhost, work):
    inputs = os.path.join(work, "in")
    subprocess.run([pxhost, "--demo-inputs", inputs], check=True, stdout=subprocess.DEVNULL)
    tuner = subprocess.Popen(
        [pxhost, "--tune", os.path.join(inputs, "bluescreen.png"),
         "--bg", os.path.join(inputs, "background.png"),
         "--script", os.path.join(work, "key.pxs")],
        stdout=subprocess.PIPE, text=True)
    url = tuner.stdout.readline().strip()
    assert url.startswith("http://127.0.0.1:") and "token=" in url, url
    return tuner, url


def settled(driver, renders_before):
    return driver.js("return tuner.renders() > arguments[0] && !tuner.busy();", renders_before)


def file_digest(path, bytes_per_sample):
    # Samples as stored: the image library would otherwise multiply colour by alpha.
    config = oiio.ImageSpec()
    config.attribute("oiio:UnassociatedAlpha", 1)
    image = oiio.ImageInput.open(path, config)
    assert image, oiio.geterror()
    pixels = image.read_image(oiio.UINT16 if bytes_per_sample == 2 else oiio.UINT8)
    spec = image.spec()
    image.close()
    assert spec.nchannels == 4, "expected RGBA, got %d channels" % spec.nchannels
    dtype = "<u2" if bytes_per_sample == 2 else "u1"
    samples = numpy.ascontiguousarray(pixels).astype(dtype)
    alpha = samples[:, :, 3]
    return hashlib.sha256(samples.tobytes()).hexdigest(), int(alpha.min()), int(alpha.max())


def main():
    pxhost, screenshot = os.path.abspath(sys.argv[1]), sys.argv[2]
    for tool in (CHROMIUM, CHROMEDRIVER):
        assert os.access(tool, os.X_OK), tool + " is missing (scripts/install-deps installs it)"
    work = tempfile.mkdtemp(prefix="pxhost-tuner-")
    tuner = driver_process = driver = None
    try:
        tuner, url = start_tuner(pxhost, work)
        port = free_port()
        driver_process = subprocess.Popen([CHROMEDRIVER, "--port=%d" % port],
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        driver = WebDriver(port, os.path.join(work, "profile"))
        driver.do("POST", "/url", {"url": url})
        wait_for("the first picture", lambda: driver.js(
            "return !!window.tuner && tuner.renders() > 0 && !tuner.busy();"))

        # Pick the screen colour with a click on the screen.
        renders = driver.js("return tuner.renders();")
        offset = driver.js("return tuner.paneOffset(arguments[0], arguments[1]);", *SCREEN_POINT)
        canvas = driver.find("#panels .pane canvas")
        driver.pointer(canvas, [{"at": (offset["dx"], offset["dy"]), "press": True,
                                 "release": True}])
        wait_for("the key after the pick", lambda: settled(driver, renders))
        screen = [float(driver.js("return tuner.state.values[arguments[0]];", n))
                  for n in ("rScreen", "gScreen", "bScreen")]
        assert 0.25 < screen[2] < 0.5 and screen[0] < 0.2 and screen[1] < 0.3, screen

        # Drag the screenRange slider a little to the right.
        renders = driver.js("return tuner.renders();")
        slider = driver.find("input[name=screenRangeSlider]")
        width = driver.js("return arguments[0].getBoundingClientRect().width;", {ELEMENT: slider})
        left = -width / 2 + 2
        driver.pointer(slider, [{"at": (left, 0), "press": True},
                                {"at": (left + width * 0.04, 0)},
                                {"at": (left + width * 0.06, 0), "release": True}])
        wait_for("the key after the slider", lambda: settled(driver, renders))
        screen_range = float(driver.js("return tuner.state.values.screenRange;"))
        assert 0 < screen_range < 0.2, screen_range
        error = driver.js("return tuner.state.error;")
        assert not error, error

        # Save, and render the saved script with pxhost.
        driver.do("POST", "/element/%s/click" % driver.find("#save"), {})
        command = wait_for("the saved script", lambda: driver.js(
            "return tuner.state.saved ? tuner.state.saved.commandLine : '';"))
        script = os.path.join(work, "key.pxs")
        assert os.path.exists(script)
        with open(script) as f:
            text = f.read()
        assert "screenRange" in text or str(screen_range) in text, text
        words = shlex.split(command)
        assert words[0] == "pxhost", command
        subprocess.run([pxhost] + words[1:], check=True, cwd=work)

        shown = driver.js_async(
            "const done = arguments[arguments.length - 1]; tuner.digest('composite').then(done);")
        written, alpha_min, alpha_max = file_digest(os.path.join(work, "key.png"), shown["bps"])
        assert (alpha_min, alpha_max) == (0, 65535 if shown["bps"] == 2 else 255), \
            "the key should hold clean screen and solid foreground"
        assert written == shown["sha256"], "pxhost wrote other samples than the page showed"

        # The picture for the README: the matte beside the composite.
        driver.do("POST", "/element/%s/click" % driver.find("#layout button[data-layout=split]"),
                  {})
        renders = driver.js("return tuner.renders();")
        wait_for("the side-by-side views", lambda: settled(driver, renders))
        driver.js("document.getElementById('side').scrollTop = 0;")
        with open(screenshot, "wb") as f:
            f.write(base64.b64decode(driver.do("GET", "/screenshot")))
        print("tuner browser test: 1 passed, 0 failed")
    finally:
        if driver:
            driver.close()
        for process in (driver_process, tuner):
            if process and process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(timeout=TIMEOUT)
                except subprocess.TimeoutExpired:
                    process.kill()
        shutil.rmtree(work, ignore_errors=True)
    assert tuner.returncode == 0, "the tuner did not stop cleanly on SIGTERM"


if __name__ == "__main__":
    main()
