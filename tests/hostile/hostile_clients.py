#!/usr/bin/env python3
"""Hostile and heavy RTSP clients against the streaming library.

Starts rtsp_serve (the library on its own), plays once as a normal client, then sends malformed
requests, huge headers, slow and many connections and request churn, each bounded in count and
time, and only to 127.0.0.1. Afterwards the process must be alive, a normal client must play, and
its memory must be back within 16 MB of where it started. Prints its figures; exits 0 when all
holds.

Usage: hostile_clients.py PATH/TO/rtsp_serve
"""

import hashlib
import os
import re
import socket
import subprocess
import sys
import threading
import time

HOST = "127.0.0.1"
USER, PASSWORD = "admin", "secret"
MEMORY_SLACK_KIB = 16 * 1024
# Hostile traffic comes from other loopback addresses, so that the server's per-address limits and
# failure bar meet it and not the normal client on 127.0.0.1.
ATTACKERS = ["127.0.0.%d" % i for i in range(2, 10)]


def md5(text):
    return hashlib.md5(text.encode()).hexdigest()


def connect(port, source=HOST, timeout=3.0):
    return socket.create_connection((HOST, port), timeout=timeout, source_address=(source, 0))


class Rtsp:
    """One RTSP connection; reads answers whole, counting and skipping interleaved data."""

    def __init__(self, port, source=HOST, timeout=5.0):
        self.port = port
        self.sock = connect(port, source, timeout)
        self.buffer = b""
        self.seq = 0
        self.session = None
        self.challenge = None
        self.packets = 0

    def url(self, path):
        return "rtsp://%s:%d%s" % (HOST, self.port, path)

    def fill(self):
        data = self.sock.recv(65536)
        if not data:
            raise ConnectionError("closed by the server")
        self.buffer += data

    def drop_packets(self):
        while self.buffer.startswith(b"$") and len(self.buffer) >= 4:
            size = int.from_bytes(self.buffer[2:4], "big")
            if len(self.buffer) < 4 + size:
                return
            self.buffer = self.buffer[4 + size:]
            self.packets += 1

    def answer(self):
        while True:
            self.drop_packets()
            end = self.buffer.find(b"\r\n\r\n")
            if end >= 0 and not self.buffer.startswith(b"$"):
                break
            self.fill()
        head = self.buffer[:end].decode("latin-1")
        match = re.search(r"(?im)^content-length:\s*(\d+)", head)
        size = int(match.group(1)) if match else 0
        while len(self.buffer) < end + 4 + size:
            self.fill()
        body = self.buffer[end + 4:end + 4 + size]
        self.buffer = self.buffer[end + 4 + size:]
        return int(head[9:12]), head, body

    def request(self, method, url, headers=(), password=None):
        self.seq += 1
        lines = ["%s %s RTSP/1.0" % (method, url), "CSeq: %d" % self.seq]
        if self.session:
            lines.append("Session: %s" % self.session)
        if password is not None and self.challenge:
            realm, nonce = self.challenge
            response = md5("%s:%s:%s" % (md5("%s:%s:%s" % (USER, realm, password)), nonce,
                                         md5("%s:%s" % (method, url))))
            lines.append('Authorization: Digest username="%s", realm="%s", nonce="%s", uri="%s", '
                         'response="%s"' % (USER, realm, nonce, url, response))
        self.sock.sendall(("\r\n".join(lines + list(headers)) + "\r\n\r\n").encode())
        code, head, body = self.answer()
        match = re.search(r'realm="([^"]*)", nonce="([^"]*)"', head) if code == 401 else None
        if match:
            self.challenge = match.groups()
        return code, head, body

    def authorised(self, method, url, headers=(), password=PASSWORD):
        code, head, body = self.request(method, url, headers, password if self.challenge else None)
        if code == 401 and password is not None:
            code, head, body = self.request(method, url, headers, password)
        return code, head, body

    def start_play(self, path):
        """DESCRIBE, SETUP over TCP and PLAY; the base URL, None when refused."""
        code, head, body = self.authorised("DESCRIBE", self.url(path), ["Accept: application/sdp"])
        if code != 200:
            return None
        base = re.search(r"(?im)^content-base:\s*(\S+)", head)
        base = base.group(1) if base else self.url(path) + "/"
        control = re.search(r"(?m)^a=control:(\S+)", body.decode("latin-1").split("m=video", 1)[-1]).group(1)
        code, head, _ = self.authorised("SETUP", control if control.startswith("rtsp:") else base + control,
                                        ["Transport: RTP/AVP/TCP;unicast;interleaved=0-1"])
        if code != 200:
            return None
        self.session = re.search(r"(?im)^session:\s*([^;\r\n]+)", head).group(1)
        self.authorised("PLAY", base, ["Range: npt=0-"])
        return base


def play(port, path, packets=30, seconds=10.0, source=HOST):
    """Plays path over TCP; the number of RTP/RTCP packets received within seconds."""
    client = Rtsp(port, source, timeout=seconds)
    try:
        base = client.start_play(path)
        deadline = time.monotonic() + seconds
        while base and client.packets < packets and time.monotonic() < deadline:
            client.sock.settimeout(max(0.1, deadline - time.monotonic()))
            try:
                client.fill()
                client.drop_packets()
            except (socket.timeout, ConnectionError):
                break
        if base:
            quietly(lambda: (client.sock.settimeout(3), client.request("TEARDOWN", base, password=PASSWORD)))
        return client.packets
    except (OSError, ConnectionError, ValueError, AttributeError):
        return client.packets
    finally:
        client.sock.close()


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        return int(re.search(r"VmRSS:\s+(\d+)", status.read()).group(1))


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def quietly(action):
    try:
        action()
    except (OSError, ConnectionError, ValueError, AttributeError):
        pass


def raw(port, data, source, wait=0.5):
    """Sends data on a fresh connection; what came back within wait seconds."""
    sock = connect(port, source)
    got = b""
    try:
        sock.sendall(data)
        sock.settimeout(wait)
        while True:
            chunk = sock.recv(65536)
            if not chunk:
                break
            got += chunk
    except OSError:
        pass
    finally:
        sock.close()
    return got


def flood(port, source, head, piece, limit):
    """Sends head, then piece until limit bytes or the server closes; the bytes taken."""
    sock = connect(port, source)
    sent = 0
    try:
        sock.sendall(head)
        while sent < limit:
            sock.sendall(piece)
            sent += len(piece)
    except OSError:
        pass
    finally:
        sock.close()
    return sent


MALFORMED = [
    b"\r\n\r\n", b"GARBAGE\r\n\r\n", b"DESCRIBE\r\n\r\n", b"DESCRIBE rtsp://x RTSP/9.9\r\nCSeq: 1\r\n\r\n",
    b"DESCRIBE rtsp://127.0.0.1/ch0 RTSP/1.0\r\nCSeq: nonsense\r\n\r\n",
    b"DESCRIBE rtsp://127.0.0.1/ch0 RTSP/1.0\r\nno colon here\r\n\r\n",
    b"DESCRIBE rtsp://127.0.0.1/../../etc/passwd RTSP/1.0\r\nCSeq: 1\r\n\r\n",
    b"DESCRIBE rtsp://127.0.0.1/ch0%00 RTSP/1.0\r\nCSeq: 1\r\n\r\n",
    b"SETUP rtsp://127.0.0.1/ch0/stream=0 RTSP/1.0\r\nCSeq: 1\r\nTransport: \xff\xfe;;;interleaved=999999-0\r\n\r\n",
    b"PLAY rtsp://127.0.0.1/ch0 RTSP/1.0\r\nCSeq: 1\r\nSession: 1234567890abcdef\r\n\r\n",
    b"$\x00\xff\xff" + b"\x00" * 100, b"\x00\x01\x02\x03" * 256,
    b"OPTIONS * RTSP/1.0\r\nCSeq: 1\r\nAuthorization: Digest " + b"a" * 5000 + b"\r\n\r\n",
    b"OPTIONS * RTSP/1.0\r\nCSeq: 1\r\nAuthorization: Digest username=\"admin\", uri=\r\n\r\n",
    b"DESCRIBE rtsp://127.0.0.1/" + b"A" * 20000 + b" RTSP/1.0\r\nCSeq: 1\r\n\r\n",
    b"GET / HTTP/1.0\r\n\r\n", b"POST / HTTP/1.0\r\nx-sessioncookie: abc\r\nContent-Length: 32767\r\n\r\n",
    b"SET_PARAMETER rtsp://127.0.0.1/ch0 RTSP/1.0\r\nCSeq: 1\r\nContent-Length: -5\r\n\r\n",
    b"SET_PARAMETER rtsp://127.0.0.1/ch0 RTSP/1.0\r\nCSeq: 1\r\nContent-Length: 99999999999999999999\r\n\r\n",
]


def attack(port, pid, paths, figures):
    """Every kind of hostile and heavy traffic, one after the other."""
    answered = sum(1 for i in range(10) for data in MALFORMED
                   if raw(port, data.replace(b"127.0.0.1/", b"127.0.0.1:%d/" % port), ATTACKERS[i % 8],
                          0.2))
    figures["malformed requests sent / answered"] = "%d / %d" % (10 * len(MALFORMED), answered)

    # 16 connections sending 2 MB of header lines each, never ended. (Huge bodies and wrong passwords
    # are the library test's.)
    request = b"DESCRIBE rtsp://127.0.0.1:%d/ch4 RTSP/1.0\r\nCSeq: 1\r\n" % port
    taken = [0] * 16
    threads = [threading.Thread(target=lambda k=k: taken.__setitem__(
        k, flood(port, ATTACKERS[k % 8], request, b"X-Filler: " + b"y" * 1000 + b"\r\n", 2 << 20)))
        for k in range(16)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(30)
    figures["huge headers: mean MB taken before the server closed"] = "%.2f" % (sum(taken) / 16 / 1e6)

    # 40 connections sending one byte every 0.5 s for up to 10 s.
    cpu = cpu_seconds(pid)
    slow = [connect(port, ATTACKERS[i % 8]) for i in range(40)]
    closed_after = {}
    t0 = time.monotonic()
    for step in range(20):
        for i, sock in enumerate(slow):
            try:
                if i not in closed_after:
                    sock.sendall(request[step:step + 1] or b"X")
            except OSError:
                closed_after[i] = time.monotonic() - t0
        time.sleep(0.5)
    for sock in slow:
        sock.close()
    figures["slow connections closed within 10 s, after at most s, server CPU s"] = \
        "%d of 40, %.1f, %.2f" % (len(closed_after), max(closed_after.values(), default=0),
                                  cpu_seconds(pid) - cpu)

    # 600 idle connections at once; a normal client plays meanwhile.
    many = []
    quietly(lambda: [many.append(connect(port, ATTACKERS[i % 8])) for i in range(600)])
    cpu = cpu_seconds(pid)
    time.sleep(3)
    figures["many connections: opened, server CPU s in 3 s"] = "%d, %.2f" % (
        len(many), cpu_seconds(pid) - cpu)
    figures["normal client packets during the flood"] = play(port, "/ch4")
    for sock in many:
        sock.close()

    # A client that starts playing and never reads again must not stall the others.
    sleeper = Rtsp(port, ATTACKERS[7])
    quietly(lambda: sleeper.start_play("/ch4"))
    time.sleep(5)
    figures["normal client packets beside one that never reads"] = play(port, "/ch4")
    sleeper.sock.close()

    # 300 authenticated DESCRIBEs (each builds a pipeline for its answer) and 30 whole sessions.
    t0 = time.monotonic()
    described = 0
    for i in range(300):
        client = Rtsp(port, ATTACKERS[1 + i % 7])
        try:
            described += client.authorised("DESCRIBE", client.url(paths[i % len(paths)]),
                                            ["Accept: application/sdp"])[0] == 200
        except (OSError, ConnectionError):
            pass
        finally:
            client.sock.close()
    played = sum(1 for i in range(30) if play(port, paths[i % len(paths)], 5, 5, ATTACKERS[1 + i % 7]) >= 5)
    figures["churn: DESCRIBEs answered 200 / 300, sessions played / 30, seconds"] = "%d, %d, %.1f" % (
        described, played, time.monotonic() - t0)


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    began = time.monotonic()
    server = subprocess.Popen([sys.argv[1]], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    try:
        port_line = server.stdout.readline().split()
        port = int(port_line[1])
        paths = ["/ch4"] + (["/ch0"] if port_line[3] == "1" else [])
        print("rtsp_serve pid %d port %d, channels %s" % (server.pid, port, " ".join(paths)))
        figures = {"first play " + path: play(port, path) for path in paths}
        time.sleep(8)
        start_kib = figures["memory at start (KiB)"] = resident_kib(server.pid)
        attack(port, server.pid, paths, figures)

        # Afterwards: alive, a normal client plays, memory back.
        time.sleep(12)
        alive = server.poll() is None
        end_packets = {path: play(port, path) for path in paths}
        time.sleep(8)
        end_kib = resident_kib(server.pid) if alive else -1
        figures["alive afterwards"] = alive
        figures["normal client packets afterwards"] = end_packets
        figures["memory afterwards (KiB), change"] = "%d, %+d" % (end_kib, end_kib - start_kib)
        figures["run time (s)"] = round(time.monotonic() - began, 1)
        for name, value in figures.items():
            print("%-70s %s" % (name, value))
        failures = [text for failed, text in [
            (not alive, "the server died"),
            (any(count < 10 for count in end_packets.values()), "a normal client did not play afterwards"),
            (figures["normal client packets beside one that never reads"] < 10,
             "a client that never reads stalled another"),
            (figures["normal client packets during the flood"] < 10,
             "a normal client did not play during the connection flood"),
            (abs(end_kib - start_kib) > MEMORY_SLACK_KIB, "memory not back within 16 MB")] if failed]
        for failure in failures:
            print("FAILED: " + failure)
        return 1 if failures else 0
    finally:
        quietly(lambda: server.stdin.close())
        try:
            server.wait(20)
        except subprocess.TimeoutExpired:
            server.kill()


if __name__ == "__main__":
    sys.exit(main())
