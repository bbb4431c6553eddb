#!/usr/bin/env python3
"""Hostile and heavy RTSP clients against the streaming library.

Starts rtsp_serve (the library on its own), plays once as a normal client, then sends malformed
requests, huge headers and bodies, slow and many connections, wrong passwords and request churn,
each bounded in count and time, and only to 127.0.0.1. Afterwards the process must be alive, a
normal client must play, and its memory must be back within 16 MB of where it started. Prints its
figures; exits 0 when all holds.

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


class Rtsp:
    """One RTSP connection; reads answers whole, skipping interleaved data."""

    def __init__(self, port, source=HOST, timeout=5.0):
        self.port = port
        self.sock = socket.create_connection((HOST, port), timeout=timeout, source_address=(source, 0))
        self.buffer = b""
        self.seq = 0
        self.session = None
        self.challenge = None
        self.packets = 0

    def url(self, path):
        return "rtsp://%s:%d%s" % (HOST, self.port, path)

    def close(self):
        self.sock.close()

    def _fill(self):
        data = self.sock.recv(65536)
        if not data:
            raise ConnectionError("closed by the server")
        self.buffer += data

    def answer(self):
        while True:
            while self.buffer.startswith(b"$"):
                while len(self.buffer) < 4:
                    self._fill()
                size = int.from_bytes(self.buffer[2:4], "big")
                while len(self.buffer) < 4 + size:
                    self._fill()
                self.buffer = self.buffer[4 + size:]
                self.packets += 1
            end = self.buffer.find(b"\r\n\r\n")
            if end >= 0 and not self.buffer.startswith(b"$"):
                break
            self._fill()
        head = self.buffer[:end].decode("latin-1")
        match = re.search(r"(?im)^content-length:\s*(\d+)", head)
        size = int(match.group(1)) if match else 0
        while len(self.buffer) < end + 4 + size:
            self._fill()
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
            response = md5("%s:%s:%s" % (md5("%s:%s:%s" % (USER, realm, password)), nonce, md5("%s:%s" % (method, url))))
            lines.append('Authorization: Digest username="%s", realm="%s", nonce="%s", uri="%s", response="%s"'
                         % (USER, realm, nonce, url, response))
        lines += list(headers)
        self.sock.sendall(("\r\n".join(lines) + "\r\n\r\n").encode())
        code, head, body = self.answer()
        if code == 401:
            match = re.search(r'realm="([^"]*)", nonce="([^"]*)"', head)
            if match:
                self.challenge = match.groups()
        return code, head, body

    def authorised(self, method, url, headers=(), password=PASSWORD):
        code, head, body = self.request(method, url, headers, password if self.challenge else None)
        if code == 401 and password is not None:
            code, head, body = self.request(method, url, headers, password)
        return code, head, body


def play(port, path, packets=30, seconds=10.0, source=HOST):
    """Plays path over TCP; the number of RTP/RTCP packets received within seconds."""
    client = Rtsp(port, source, timeout=seconds)
    try:
        code, head, body = client.authorised("DESCRIBE", client.url(path), ["Accept: application/sdp"])
        if code != 200:
            return 0
        base = re.search(r"(?im)^content-base:\s*(\S+)", head)
        base = base.group(1) if base else client.url(path) + "/"
        control = re.search(r"(?m)^a=control:(\S+)", body.decode("latin-1").split("m=video", 1)[-1])
        setup_url = control.group(1) if control and control.group(1).startswith("rtsp:") else base + control.group(1)
        code, head, _ = client.authorised("SETUP", setup_url, ["Transport: RTP/AVP/TCP;unicast;interleaved=0-1"])
        if code != 200:
            return 0
        client.session = re.search(r"(?im)^session:\s*([^;\r\n]+)", head).group(1)
        code, _, _ = client.authorised("PLAY", base, ["Range: npt=0-"])
        deadline = time.monotonic() + seconds
        while client.packets < packets and time.monotonic() < deadline:
            client.sock.settimeout(max(0.1, deadline - time.monotonic()))
            try:
                client._fill()
                client.answer_pending = True
                while client.buffer.startswith(b"$") and len(client.buffer) >= 4:
                    size = int.from_bytes(client.buffer[2:4], "big")
                    if len(client.buffer) < 4 + size:
                        break
                    client.buffer = client.buffer[4 + size:]
                    client.packets += 1
            except (socket.timeout, ConnectionError):
                break
        received = client.packets
        try:
            client.sock.settimeout(3)
            client.request("TEARDOWN", base, password=PASSWORD)
        except (OSError, ConnectionError, ValueError):
            pass
        return received
    except (OSError, ConnectionError, ValueError, AttributeError):
        return client.packets
    finally:
        client.close()


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
    except (OSError, ConnectionError, ValueError):
        pass


def raw(port, data, source, wait=0.5):
    """Sends data on a fresh connection; what came back within wait seconds."""
    sock = socket.create_connection((HOST, port), timeout=3, source_address=(source, 0))
    got = b""
    try:
        sock.sendall(data)
        sock.settimeout(wait)
        while True:
            chunk = sock.recv(65536)
            if not chunk:
                break
            got += chunk
    except (socket.timeout, OSError):
        pass
    finally:
        sock.close()
    return got


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


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    began = time.monotonic()
    server = subprocess.Popen([sys.argv[1]], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    try:
        port_line = server.stdout.readline().split()
        port, desktop = int(port_line[1]), port_line[3] == "1"
        paths = ["/ch4"] + (["/ch0"] if desktop else [])
        print("rtsp_serve pid %d port %d, channels %s" % (server.pid, port, " ".join(paths)))
        figures = {}
        for path in paths:
            figures["first play " + path] = play(port, path)
        time.sleep(8)
        start_kib = resident_kib(server.pid)
        figures["memory at start (KiB)"] = start_kib

        # Malformed requests: each variant ten times, on fresh connections.
        answered = 0
        for i in range(10):
            for data in MALFORMED:
                answered += 1 if raw(port, data.replace(b"127.0.0.1/", b"127.0.0.1:%d/" % port),
                                     ATTACKERS[i % len(ATTACKERS)], 0.2) else 0
        figures["malformed requests sent / answered"] = "%d / %d" % (10 * len(MALFORMED), answered)

        # Huge headers: 16 connections, 2 MB of header lines each, never ended.
        def huge_headers(source):
            sock = socket.create_connection((HOST, port), timeout=3, source_address=(source, 0))
            sent = 0
            try:
                sock.sendall(b"DESCRIBE rtsp://127.0.0.1:%d/ch4 RTSP/1.0\r\nCSeq: 1\r\n" % port)
                line = b"X-Filler: " + b"y" * 1000 + b"\r\n"
                while sent < 2 << 20:
                    sock.sendall(line)
                    sent += len(line)
            except OSError:
                pass
            finally:
                sock.close()
            return sent
        # Huge bodies: 8 connections announcing 200 MiB and sending up to 16 MiB.
        def huge_body(source):
            sock = socket.create_connection((HOST, port), timeout=3, source_address=(source, 0))
            sent = 0
            try:
                sock.sendall(b"SET_PARAMETER rtsp://127.0.0.1:%d/ch4 RTSP/1.0\r\nCSeq: 1\r\n"
                             b"Content-Length: 209715200\r\n\r\n" % port)
                chunk = b"z" * 65536
                while sent < 16 << 20:
                    sock.sendall(chunk)
                    sent += len(chunk)
            except OSError:
                pass
            finally:
                sock.close()
            return sent
        results = {}
        threads = [threading.Thread(target=lambda s=s, k=k: results.__setitem__(k, huge_headers(s)))
                   for k, s in enumerate(ATTACKERS * 2)]
        threads += [threading.Thread(target=lambda s=s, k=k: results.__setitem__(100 + k, huge_body(s)))
                    for k, s in enumerate(ATTACKERS)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join(30)
        figures["huge headers: MB taken before the server closed (mean of 16)"] = round(
            sum(v for k, v in results.items() if k < 100) / 16 / 1e6, 2)
        figures["huge bodies: MB taken before the server closed (mean of 8)"] = round(
            sum(v for k, v in results.items() if k >= 100) / 8 / 1e6, 2)

        # Slow connections: 40 that send one byte every 0.5 s for up to 10 s.
        cpu = cpu_seconds(server.pid)
        slow = []
        for i in range(40):
            sock = socket.create_connection((HOST, port), timeout=3, source_address=(ATTACKERS[i % 8], 0))
            slow.append(sock)
        request = b"DESCRIBE rtsp://127.0.0.1:%d/ch4 RTSP/1.0\r\nCSeq: 1\r\n" % port
        closed_after = {}
        t0 = time.monotonic()
        for step in range(20):
            for i, sock in enumerate(slow):
                if i in closed_after:
                    continue
                try:
                    sock.sendall(request[step:step + 1] or b"X")
                except OSError:
                    closed_after[i] = time.monotonic() - t0
            time.sleep(0.5)
        for sock in slow:
            sock.close()
        figures["slow connections closed by the server within 10 s, server CPU s"] = "%d of 40, after at most %.1f s, %.2f" % (
            len(closed_after), max(closed_after.values()) if closed_after else 0, cpu_seconds(server.pid) - cpu)

        # Many connections: 600 idle at once from the attackers; CPU over 3 s; a normal client meanwhile.
        many = []
        for i in range(600):
            try:
                many.append(socket.create_connection((HOST, port), timeout=3,
                                                     source_address=(ATTACKERS[i % 8], 0)))
            except OSError:
                break
        cpu = cpu_seconds(server.pid)
        time.sleep(3)
        figures["many connections: opened, server CPU s in 3 s"] = "%d, %.2f" % (len(many), cpu_seconds(server.pid) - cpu)
        figures["normal client packets during the flood"] = play(port, "/ch4")
        for sock in many:
            sock.close()

        # A client that starts playing and never reads again must not stall the others.
        sleeper = Rtsp(port, ATTACKERS[7])
        try:
            code, head, body = sleeper.authorised("DESCRIBE", sleeper.url("/ch4"), ["Accept: application/sdp"])
            base = re.search(r"(?im)^content-base:\s*(\S+)", head).group(1)
            code, head, _ = sleeper.authorised("SETUP", base + "stream=0",
                                               ["Transport: RTP/AVP/TCP;unicast;interleaved=0-1"])
            sleeper.session = re.search(r"(?im)^session:\s*([^;\r\n]+)", head).group(1)
            sleeper.authorised("PLAY", base, ["Range: npt=0-"])
        except (OSError, ConnectionError, AttributeError):
            pass
        time.sleep(5)
        figures["normal client packets beside one that never reads"] = play(port, "/ch4")
        sleeper.close()

        # Wrong passwords: 200 from one address, as fast as they go.
        guesser = Rtsp(port, ATTACKERS[0])
        t0 = time.monotonic()
        refused = 0
        for _ in range(200):
            try:
                code, _, _ = guesser.authorised("DESCRIBE", guesser.url("/ch4"), password="guess")
                refused += code == 401
            except (OSError, ConnectionError):
                guesser.close()
                guesser = Rtsp(port, ATTACKERS[0])
        guesser.close()
        figures["wrong passwords refused, seconds"] = "%d, %.2f" % (refused, time.monotonic() - t0)

        # Request churn: 300 authenticated DESCRIBEs (each builds a pipeline for its answer) and 30
        # whole sessions, on every channel, from the attackers.
        t0 = time.monotonic()
        described = 0
        for i in range(300):
            client = Rtsp(port, ATTACKERS[1 + i % 7])
            try:
                code, _, _ = client.authorised("DESCRIBE", client.url(paths[i % len(paths)]), ["Accept: application/sdp"])
                described += code == 200
            except (OSError, ConnectionError):
                pass
            finally:
                client.close()
        played = sum(1 for i in range(30) if play(port, paths[i % len(paths)], 5, 5, ATTACKERS[1 + i % 7]) >= 5)
        figures["churn: DESCRIBEs answered 200 / 300, sessions played / 30, seconds"] = "%d, %d, %.1f" % (
            described, played, time.monotonic() - t0)

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
        failures = []
        if not alive:
            failures.append("the server died")
        if any(count < 10 for count in end_packets.values()):
            failures.append("a normal client did not play afterwards")
        if figures["normal client packets beside one that never reads"] < 10:
            failures.append("a client that never reads stalled another")
        if figures["normal client packets during the flood"] < 10:
            failures.append("a normal client did not play during the connection flood")
        if abs(end_kib - start_kib) > MEMORY_SLACK_KIB:
            failures.append("memory not back within 16 MB")
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
