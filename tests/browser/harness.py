"""What the designer's tests share: the real kpl design on a scratch
project, raw HTTP to it, the emulator's record of the line, Chromium, and
the checks file that scripts/test-summary adds up (`ok ...`/`not ok ...`).
Set by scripts/design-e2e: KPL_PROGRAM, KPL_LINE (the tool's end of a pty
pair with kplsim at the other), KPL_SIM_OUT, KPL_RUN, KPL_CHECKS."""
import json
import os
import re
import shutil
import socket
import subprocess
import time

KPL = os.environ["KPL_PROGRAM"]
LINE = os.environ.get("KPL_LINE", "")
SIM = os.environ.get("KPL_SIM_OUT", "")
RUN = os.environ["KPL_RUN"]
CHECKS = os.environ["KPL_CHECKS"]
failures = 0


def check(what, passed, detail=""):
    global failures
    line = ("ok " if passed else "not ok ") + what
    print(line + ("" if passed or not detail else "\n  " + str(detail)), flush=True)
    with open(CHECKS, "a") as checks:
        checks.write(line + "\n")
    failures += 0 if passed else 1
    return passed


def same(what, got, want):
    return check(what, got == want, "got:  %r\n  want: %r" % (got, want))


def example_project(folder):
    """A fresh folder holding kpl new's example project; its path."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    path = os.path.join(folder, "screens.toml")
    subprocess.run([KPL, "new", path], check=True, capture_output=True)
    return path


class Designer:
    """kpl design PROJECT --no-browser (under a tracer, say), until stop()."""

    def __init__(self, project, *extra, cwd=None, under=(), env=None):
        self.process = subprocess.Popen([*under, KPL, "design", project, "--no-browser", *extra], cwd=cwd,
                                        env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.started = time.monotonic()
        first = self.process.stdout.readline()
        self.ready_after = time.monotonic() - self.started
        found = re.search(r"http://127\.0\.0\.1:(\d+)(/[0-9a-f]{32}/)", first)
        if not found:
            raise RuntimeError("kpl design printed %r, %r" % (first, self.process.stderr.read()))
        self.port = int(found.group(1))
        self.base = found.group(2)
        self.url = "http://127.0.0.1:%d%s" % (self.port, self.base)
        self.origin = "http://127.0.0.1:%d" % self.port

    def alive(self):
        return self.process.poll() is None

    def stop(self):
        self.process.terminate()
        self.process.wait(10)


def raw(port, data, timeout=10):
    """Sends bytes as they are; the whole answer, or what came before the
    server closed the connection or the timeout passed."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as connection:
        connection.sendall(data)
        answer = b""
        try:
            while True:
                part = connection.recv(65536)
                if not part:
                    break
                answer += part
        except socket.timeout:
            pass
    return answer


def request(designer, method, path, host=None, origin=None, body=b"", headers=()):
    """One HTTP/1.1 request with exactly these headers: (status, headers, body)."""
    lines = ["%s %s HTTP/1.1" % (method, path),
             "Host: %s" % (host if host is not None else "127.0.0.1:%d" % designer.port),
             "Connection: close"]
    if origin is not None:
        lines.append("Origin: " + origin)
    if method == "POST":
        lines.append("Content-Type: application/x-www-form-urlencoded")
        lines.append("Content-Length: %d" % len(body))
    lines.extend(headers)
    answer = raw(designer.port, ("\r\n".join(lines) + "\r\n\r\n").encode() + body)
    head, _, content = answer.partition(b"\r\n\r\n")
    status = int(head.split(b" ")[1]) if head.startswith(b"HTTP/1.1 ") else 0
    return status, head.decode("latin-1"), content


def version(designer):
    """The version of the project the designer holds: every change names
    the one it was made on."""
    return json.loads(request(designer, "GET", designer.base + "api/state")[2]).get("version", "")


class Sim:
    """kplsim's record of the line: received.bin and log.txt."""

    def mark(self):
        self.bytes = os.path.getsize(os.path.join(SIM, "received.bin")) if os.path.exists(
            os.path.join(SIM, "received.bin")) else 0
        self.lines = len(self.log_lines())

    def log_lines(self):
        with open(os.path.join(SIM, "log.txt")) as log:
            return log.read().splitlines()

    def wait(self, commands, seconds=30):
        """True once `commands` more commands are logged since the mark."""
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            if len(self.log_lines()) >= self.lines + commands:
                return True
            time.sleep(0.05)
        return False

    def since_mark(self):
        with open(os.path.join(SIM, "received.bin"), "rb") as received:
            received.seek(self.bytes)
            return received.read()

    def log_since_mark(self):
        return self.log_lines()[self.lines:]


def dark_pixels_of_picture(path):
    """The 120 x 32 pixels of a picture as ImageMagick reads it: 1 for dark."""
    grey = subprocess.run(["convert", path, "-depth", "8", "gray:-"], check=True,
                          capture_output=True).stdout
    return [1 if value < 128 else 0 for value in grey]


def display_bytes(pixels):
    """The display's 480 bytes of 120 x 32 pixels: 4 bands of 8 rows, a byte
    per column, bit 0 the band's top row."""
    image = bytearray(480)
    for y in range(32):
        for x in range(120):
            if pixels[y * 120 + x]:
                image[(y // 8) * 120 + x] |= 1 << (y % 8)
    return bytes(image)


def chromium():
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1300,850"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    # A dialog that opens while a script runs stays for the test to read; by
    # default chromedriver would dismiss it, and which way a race between the
    # two went would decide the test.
    options.set_capability("unhandledPromptBehavior", "ignore")
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def wait_until(condition, seconds=30):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if condition():
            return True
        time.sleep(0.05)
    return False


def open_page(driver, designer):
    """The designer's page in the browser; whether it showed its first state."""
    driver.get(designer.url)
    return wait_until(lambda: driver.execute_script("return document.body.dataset.ready === '1'"))
