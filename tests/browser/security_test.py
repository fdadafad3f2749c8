"""kpl design refuses what its own page would never ask: each refusal over
raw HTTP, with the project unchanged and the server still answering."""
import json
import os
import random
import select
import socket
import subprocess
import sys
import time

from harness import KPL, RUN, Designer, check, example_project, request, raw, same, version


def listening_addresses(port):
    """The local addresses listening on the port, from the kernel's table."""
    found = []
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        with open(table) as lines:
            for line in lines.readlines()[1:]:
                local, state = line.split()[1], line.split()[3]
                address, hex_port = local.split(":")
                if state == "0A" and int(hex_port, 16) == port:
                    found.append(address)
    return found


def state_of(designer):
    return request(designer, "GET", designer.base + "api/state")[2]


def edit(designer, fields, origin="own"):
    fields = dict(fields, version=version(designer))
    body = "&".join("%s=%s" % pair for pair in fields.items()).encode()
    origin = designer.origin if origin == "own" else origin
    status, head, content = request(designer, "POST", designer.base + "api/edit", origin=origin,
                                    body=body)
    return status, head, content


def peak_memory_mb(designer):
    with open("/proc/%d/status" % designer.process.pid) as status:
        return [int(line.split()[1]) // 1024 for line in status if line.startswith("VmHWM:")][0]


def frame(part):
    return b"%x\r\n%s\r\n" % (len(part), part)


def chunked(designer, path, frames, headers="Transfer-Encoding: chunked\r\n"):
    """A POST whose body's frames are sent one by one as the server takes
    them, then the last chunk: the answer's status line and body."""
    with socket.create_connection(("127.0.0.1", designer.port), timeout=60) as connection:
        connection.sendall(("POST %s HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nOrigin: %s\r\nConnection: close\r\n"
                            "Content-Type: application/octet-stream\r\n%s\r\n"
                            % (designer.base + path, designer.port, designer.origin, headers)).encode())
        try:
            for part in frames:
                connection.sendall(part)
            connection.sendall(b"0\r\n\r\n")
        except OSError:
            pass  # refused before the end
        answer = b""
        while part := connection.recv(65536):
            answer += part
    head, _, body = answer.partition(b"\r\n\r\n")
    return head[:12].decode(), body


def crowd(designer, project):
    """Hundreds of idle connections and some that send a head a line a
    second leave the page answered; each is closed once its head's time is
    up. Nobody needs the token for this (the slow ones have it)."""
    idle = [socket.create_connection(("127.0.0.1", designer.port)) for _ in range(400)]
    slow = [socket.create_connection(("127.0.0.1", designer.port)) for _ in range(16)]
    for connection in slow:
        connection.sendall(("GET %sapi/state HTTP/1.1\r\n" % designer.base).encode())
    started = time.monotonic()
    status, _, content = request(designer, "GET", designer.base + "api/state")
    check("with 400 idle and 16 slow connections open the page is answered (after %.2f s)"
          % (time.monotonic() - started), status == 200 and time.monotonic() - started < 5)
    open_ones = idle + slow
    end = time.monotonic() + 30
    while open_ones and time.monotonic() < end:
        ended, _, _ = select.select(open_ones, [], [], 1)
        for connection in ended:
            try:
                if connection.recv(1) != b"":
                    continue
            except ConnectionResetError:  # closed on a line not read yet
                pass
            open_ones.remove(connection)
            connection.close()
        for connection in slow:
            try:
                if connection in open_ones:
                    connection.sendall(b"X-Slow: 1\r\n")
            except OSError:  # closed: the next select says so
                pass
    same("and every one of them is closed by the server", len(open_ones), 0)
    for connection in open_ones:
        connection.close()

    try:
        result = subprocess.run([KPL, "design", project, "--no-browser", "--listen", "127.0.0.1:%d" % designer.port],
                                capture_output=True, text=True, timeout=10)
        ended = (result.returncode, result.stderr)
    except subprocess.TimeoutExpired:
        ended = "still serving after 10 s"
    same("a second designer on the same port: refused, exit 3", ended,
         (3, "kpl: 127.0.0.1:%d: the port is in use (Address already in use)\n" % designer.port))


def codings(designer, folder):
    """Every body is held to its limit (64 MB for a picture, 64 KB else)
    whatever its transfer coding, before it is kept in memory."""
    megabyte = b"\xff" * (1024 * 1024)
    before = state_of(designer)
    same("a chunked picture of 150 MB: refused, and nothing written",
         (chunked(designer, "api/picture?page=0&name=big.png", (frame(megabyte) for _ in range(150)))[0],
          os.path.exists(os.path.join(folder, "big.png"))), ("HTTP/1.1 413", False))
    check("and the designer's memory stayed small (%d MB at its peak)" % peak_memory_mb(designer),
          peak_memory_mb(designer) < 400)
    chunks = "Transfer-Encoding: chunked\r\n"
    for what, path, frames, headers, status in (
            ("a chunked edit of 1 MB", "api/edit", [frame(b"op=set&value=" + megabyte)], chunks, "HTTP/1.1 413"),
            ("a chunk of 256 MB, at its size line", "api/picture?page=0&name=big.png", [b"10000000\r\n"], chunks,
             "HTTP/1.1 413"),
            ("a body in gzip", "api/edit", [frame(b"x")], chunks + "Content-Encoding: gzip\r\n", "HTTP/1.1 415"),
            ("a transfer coding other than chunked", "api/edit", [frame(b"x")],
             "Transfer-Encoding: gzip, chunked\r\n", "HTTP/1.1 501")):
        same("refused, %s" % what, chunked(designer, path, frames, headers)[0], status)
    same("the project unchanged by the refused bodies", state_of(designer), before)
    picture = open(os.path.join(folder, "inside.png"), "rb").read()
    status, body = chunked(designer, "api/picture?page=0&name=chunked.png&version=%s" % version(designer),
                           [frame(picture[:100]), frame(picture[100:])])
    same("a chunked picture under the limit is taken",
         (status, json.loads(body)["message"], open(os.path.join(folder, "chunked.png"), "rb").read() == picture),
         ("HTTP/1.1 200", "chunked.png added", True))


def main():
    folder = os.path.join(RUN, "security")
    project = example_project(folder)
    outside = os.path.join(RUN, "outside")
    os.makedirs(outside, exist_ok=True)
    subprocess.run(["convert", "-size", "40x20", "xc:black", os.path.join(outside, "secret.png")],
                   check=True)
    subprocess.run(["convert", "-size", "40x20", "xc:black", os.path.join(folder, "inside.png")],
                   check=True)
    os.symlink(outside, os.path.join(folder, "link"))

    result = subprocess.run([KPL, "design", project, "--no-browser", "--listen", "0.0.0.0:8080"],
                            capture_output=True, text=True, timeout=10)
    same("--listen on an address that is not the loopback: refused, exit 1",
         (result.returncode, result.stderr),
         (1, "kpl: --listen: 0.0.0.0:8080: the designer listens on the loopback address only: "
             "127.0.0.1:PORT or localhost:PORT\n"))

    designer = Designer(project)
    try:
        same("listens on 127.0.0.1 only", listening_addresses(designer.port), ["0100007F"])
        before = state_of(designer)
        status, head, body = request(designer, "GET", designer.base)
        check("the page itself is served with the token", status == 200 and b"<title>kpl design" in body)
        token = designer.base.strip("/")
        wrong = "0" * 32 if token != "0" * 32 else "1" * 32
        for what, path in (("no token", "/api/state"), ("no token, the root", "/"),
                           ("a wrong token", "/%s/api/state" % wrong),
                           ("the token less its last digit", "/%s/api/state" % token[:-1])):
            same("refused, " + what, request(designer, "GET", path)[0], 403)
        for what, host in (("a foreign Host", "evil.example:%d" % designer.port),
                           ("a Host without the port", "127.0.0.1"),
                           ("a Host with another port", "localhost:%d" % (designer.port + 1)),
                           ("an empty Host", "")):
            same("refused, " + what, request(designer, "GET", designer.base + "api/state", host=host)[0], 403)
        same("answered, Host localhost with the port",
             request(designer, "GET", designer.base + "api/state", host="localhost:%d" % designer.port)[0], 200)

        change = {"op": "set", "page": "0", "layer": "1", "field": "text", "value": "pwned"}
        for what, origin in (("a foreign Origin", "http://evil.example"),
                             ("the origin null", "null"),
                             ("no Origin", None),
                             ("the right host on https", "https://127.0.0.1:%d" % designer.port)):
            status, head, _ = edit(designer, change, origin)
            same("an edit refused, " + what, status, 403)
            check("no Access-Control-Allow-Origin, " + what, "access-control-allow-origin" not in head.lower())
        same("refused, a GET with a foreign Origin",
             request(designer, "GET", designer.base + "api/state", origin="http://evil.example")[0], 403)
        same("nothing changed by the refused requests", state_of(designer), before)

        for what, name, why in (
                ("..", "../outside/secret.png", "leaves the project's folder or has an empty part: name a file in it"),
                ("an absolute path", "/etc/passwd", "is an absolute path: name a file in the project's folder"),
                ("a drive or stream", "C:secret.png", "holds '\\' or ':': name a file in the project's folder with '/' between folders"),
                ("a link out of the folder", "link/secret.png", "leads out of the project's folder through a link")):
            status, _, content = edit(designer, {"op": "add", "page": "1", "kind": "picture", "file": name})
            answer = json.loads(content)
            same("a picture path out of the folder refused, " + what, (status, answer["message"]),
                 (400, name + ": " + why))
        status, _, content = edit(designer, {"op": "add", "page": "1", "kind": "picture", "file": "inside.png"})
        same("a picture in the folder taken", status, 200)
        status, _, content = request(designer, "POST", designer.base + "api/picture?page=1&name=../dropped.png&version=%s"
                                     % version(designer),
                                     origin=designer.origin, body=open(os.path.join(folder, "inside.png"), "rb").read())
        same("a dropped picture named out of the folder refused", (status, json.loads(content)["message"]),
             (400, "../dropped.png: not a plain file name"))
        check("and nothing written outside", not os.path.exists(os.path.join(RUN, "dropped.png")))

        status, _, _ = edit(designer, {"op": "set", "page": "0", "layer": "1", "field": "text",
                                       "value": "x" * 70000})
        same("refused, an edit of 70000 bytes", status, 413)
        # Only the headers go: the server must refuse without waiting for the body.
        answer = raw(designer.port, ("POST %sapi/picture?page=0&name=big.png HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n"
                                     "Origin: %s\r\nContent-Length: 100000000\r\n\r\n"
                                     % (designer.base, designer.port, designer.origin)).encode())
        same("refused at once, a picture of 100 MB", answer[:12], b"HTTP/1.1 413")

        def post_with_length(length):
            return ("POST %sapi/edit HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nOrigin: %s\r\nContent-Length: %s\r\n\r\n"
                    % (designer.base, designer.port, designer.origin, length)).encode()

        generator = random.Random(16)
        for what, garbage in (("random bytes", bytes(generator.randrange(256) for _ in range(4096))),
                              ("a request line of 20000 bytes", b"GET /" + b"a" * 20000 + b" HTTP/1.1\r\n\r\n"),
                              ("a header without a colon", b"GET / HTTP/1.1\r\nHost 127.0.0.1\r\n\r\n"),
                              ("a negative Content-Length", post_with_length("-5")),
                              ("a Content-Length that is no number", post_with_length("12abc"))):
            answer = raw(designer.port, garbage)
            check("malformed, %s: an error, the connection closed (%r)" % (what, answer[:12]),
                  answer[:10] in (b"HTTP/1.1 4", b""))
        same("still answering after the malformed requests",
             request(designer, "GET", designer.base + "api/state")[0], 200)
        check("still running", designer.alive())
        crowd(designer, project)
        codings(designer, folder)
    finally:
        designer.stop()


if __name__ == "__main__":
    main()
    sys.exit(0)
