#!/usr/bin/env python3
"""Malformed requests, huge headers and a client that never reads against rtsp_serve, only on
127.0.0.x; afterwards the server must be alive, play to a normal client and be back within 16 MB.
Usage: hostile_clients.py PATH/TO/rtsp_serve"""

import hashlib
import re
import socket
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor

HOST = "127.0.0.1"
# So that the server's per-address limits meet the hostile traffic, not the normal client.
ATTACKERS = ["127.0.0.%d" % i for i in range(2, 10)]


def md5(text):
    return hashlib.md5(text.encode()).hexdigest()


class Rtsp:
    """One RTSP connection as user "admin", password "secret"; counts and skips interleaved data."""

    def __init__(self, port, source=HOST):
        self.url = "rtsp://%s:%d" % (HOST, port)
        self.sock = socket.create_connection((HOST, port), timeout=5, source_address=(source, 0))
        self.buffer, self.seq, self.session, self.packets = b"", 0, None, 0

    def fill(self):
        data = self.sock.recv(65536)
        if not data:
            raise ConnectionError("closed by the server")
        self.buffer += data
        while self.buffer[:1] == b"$" and len(self.buffer) >= 4 + int.from_bytes(self.buffer[2:4], "big"):
            self.buffer = self.buffer[4 + int.from_bytes(self.buffer[2:4], "big"):]
            self.packets += 1

    def request(self, method, url, header):
        """The answer's head and body; the request is sent again with Digest credentials when challenged."""
        challenge = None
        while True:
            self.seq += 1
            lines = ["%s %s RTSP/1.0" % (method, url), "CSeq: %d" % self.seq]
            lines += [line for line in (header, self.session and "Session: " + self.session) if line]
            if challenge:
                realm, nonce = challenge.groups()
                response = md5("%s:%s:%s" % (md5("admin:%s:secret" % realm), nonce, md5(method + ":" + url)))
                lines.append('Authorization: Digest username="admin", realm="%s", nonce="%s", uri="%s", '
                             'response="%s"' % (realm, nonce, url, response))
            self.sock.sendall(("\r\n".join(lines) + "\r\n\r\n").encode())
            while self.buffer[:1] == b"$" or b"\r\n\r\n" not in self.buffer:
                self.fill()
            head, body = self.buffer.split(b"\r\n\r\n", 1)
            head = head.decode("latin-1")
            match = re.search(r"(?im)^content-length:\s*(\d+)", head)
            size = int(match.group(1)) if match else 0
            while len(body) < size:
                self.fill()
                body = self.buffer.split(b"\r\n\r\n", 1)[1]
            self.buffer = body[size:]
            challenge = None if challenge else re.search(r'realm="([^"]*)", nonce="([^"]*)"', head)
            if not head.startswith("RTSP/1.0 401") or not challenge:
                return head, body[:size].decode("latin-1")

    def start_play(self, path):
        """DESCRIBE, SETUP over TCP and PLAY; raises when refused."""
        head, body = self.request("DESCRIBE", self.url + path, "Accept: application/sdp")
        control = re.search(r"(?m)^a=control:(\S+)", body.split("m=video", 1)[1]).group(1)
        head, _ = self.request("SETUP", control if control.startswith("rtsp:") else self.url + path + "/" + control,
                               "Transport: RTP/AVP/TCP;unicast;interleaved=0-1")
        self.session = re.search(r"(?im)^session:\s*([^;\r\n]+)", head).group(1)
        self.request("PLAY", self.url + path + "/", "Range: npt=0-")


def play(port, path, packets=30, seconds=10.0):
    """Plays path over TCP from 127.0.0.1; the number of RTP/RTCP packets received within seconds."""
    client = None
    try:
        client = Rtsp(port)
        deadline = time.monotonic() + seconds
        client.start_play(path)
        while client.packets < packets and time.monotonic() < deadline:
            client.sock.settimeout(max(0.1, deadline - time.monotonic()))
            client.fill()
        client.request("TEARDOWN", client.url + path + "/", "")
    except (OSError, ConnectionError, ValueError, AttributeError, IndexError):
        pass
    finally:
        if client:
            client.sock.close()
    return client.packets if client else 0


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        return int(re.search(r"VmRSS:\s+(\d+)", status.read()).group(1))


def send(port, source, head, piece=b"", limit=0):
    """Sends head, then piece until limit bytes or the server closes, on a fresh connection."""
    try:
        with socket.create_connection((HOST, port), timeout=3, source_address=(source, 0)) as sock:
            sock.sendall(head)
            for _ in range(limit // max(len(piece), 1)):
                sock.sendall(piece)
    except OSError:
        pass


MALFORMED = [
    b"GARBAGE\r\n\r\n", b"DESCRIBE rtsp://127.0.0.1/ch0 RTSP/9.9\r\nCSeq: nonsense\r\nno colon here\r\n\r\n",
    b"DESCRIBE rtsp://127.0.0.1/../../etc/passwd%00 RTSP/1.0\r\nCSeq: 1\r\n\r\n",
    b"SETUP rtsp://127.0.0.1/ch0/stream=0 RTSP/1.0\r\nCSeq: 1\r\nTransport: \xff\xfe;;;interleaved=999999-0\r\n\r\n",
    b"PLAY rtsp://127.0.0.1/ch0 RTSP/1.0\r\nCSeq: 1\r\nSession: 1234567890abcdef\r\n\r\n",
    b"$\x00\xff\xff" + b"\x00" * 100 + b"\x00\x01\x02\x03" * 256,
    b"OPTIONS * RTSP/1.0\r\nCSeq: 1\r\nAuthorization: Digest username=\"admin\", uri=" + b"a" * 5000 + b"\r\n\r\n",
    b"DESCRIBE rtsp://127.0.0.1/" + b"A" * 20000 + b" RTSP/1.0\r\nCSeq: 1\r\n\r\n",
    b"POST / HTTP/1.0\r\nx-sessioncookie: abc\r\nContent-Length: 32767\r\n\r\n",
    b"SET_PARAMETER rtsp://127.0.0.1/ch0 RTSP/1.0\r\nCSeq: 1\r\nContent-Length: 99999999999999999999\r\n\r\n",
]


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    server = subprocess.Popen([sys.argv[1]], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    try:
        port_line = server.stdout.readline().split()
        port = int(port_line[1])
        paths = ["/ch4"] + (["/ch0"] if port_line[3] == "1" else [])
        print("first play %s: %s packets" % (paths, [play(port, path) for path in paths]))
        time.sleep(8)
        start_kib = resident_kib(server.pid)
        for i in range(10):
            for data in MALFORMED:
                send(port, ATTACKERS[i % 8], data.replace(b"127.0.0.1/", b"127.0.0.1:%d/" % port))
        # 16 connections sending 2 MB of header lines each, never ended.
        request = b"DESCRIBE rtsp://127.0.0.1:%d/ch4 RTSP/1.0\r\nCSeq: 1\r\n" % port
        with ThreadPoolExecutor(16) as pool:
            for k in range(16):
                pool.submit(send, port, ATTACKERS[k % 8], request, b"X-Filler: " + b"y" * 1000 + b"\r\n", 2 << 20)
        sleeper = Rtsp(port, ATTACKERS[7])
        try:
            sleeper.start_play("/ch4")
        except (OSError, ConnectionError, AttributeError, IndexError):
            pass
        time.sleep(5)
        beside = play(port, "/ch4")
        sleeper.sock.close()
        time.sleep(12)
        alive = server.poll() is None
        after = [play(port, path) for path in paths]
        time.sleep(8)
        growth = resident_kib(server.pid) - start_kib if alive else 0
        print("packets beside a client that never reads %d, afterwards %s; memory %+d KiB" % (beside, after, growth))
        failures = [text for failed, text in [
            (not alive, "the server died"),
            (min(after) < 10, "a normal client did not play afterwards"),
            (beside < 10, "a client that never reads stalled another"),
            (abs(growth) > 16 * 1024, "memory not back within 16 MB")] if failed]
        for failure in failures:
            print("FAILED: " + failure)
        return 1 if failures else 0
    finally:
        server.stdin.close()
        try:
            server.wait(20)
        except subprocess.TimeoutExpired:
            server.kill()


if __name__ == "__main__":
    sys.exit(main())
