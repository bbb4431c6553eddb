#!/usr/bin/env bash
# with_monitors.sh WIDTHxHEIGHT... -- COMMAND [ARGS...]
# Runs COMMAND on an X server of its own with one RandR output per monitor given, side by side, as
# a desktop with several monitors: a TigerVNC server (Xvfb's heads are not RandR outputs that Qt
# sees), whose layout is asked for over its own VNC port. The outputs are VNC-0, VNC-1, ... and can
# be changed with xrandr while COMMAND runs. Ends with 77 and one line when the server cannot come up.
set -u
monitors=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    monitors+=("$1")
    shift
done
shift
if ! command -v Xtigervnc >/dev/null || ! command -v xrandr >/dev/null; then
    echo "with_monitors: Xtigervnc or xrandr missing" >&2
    exit 77
fi
base=$(mktemp -d)
x=0 height=0 screens=()
for monitor in "${monitors[@]}"; do
    size=$monitor
    screens+=("$x,0,${size%x*},${size#*x}")
    x=$((x + ${size%x*}))
    height=$((height > ${size#*x} ? height : ${size#*x}))
done
server=
trap 'kill $server 2>/dev/null; wait 2>/dev/null; rm -rf "$base"' EXIT
# A free display number: another server may hold the one drawn, or take it first.
for _ in 1 2 3 4 5; do
    display=$((200 + RANDOM % 300))
    port=$((20000 + display))
    [ -e "/tmp/.X$display-lock" ] && continue
    Xtigervnc ":$display" -geometry "${x}x${height}" -depth 24 -SecurityTypes None -rfbport "$port" \
        -localhost -nolisten tcp -AlwaysShared >"$base/x.log" 2>&1 &
    server=$!
    for _ in $(seq 50); do
        kill -0 "$server" 2>/dev/null || break
        DISPLAY=:$display xrandr >/dev/null 2>&1 && break 2
        sleep 0.1
    done
    kill "$server" 2>/dev/null
    server=
done
if [ -z "$server" ]; then
    echo "with_monitors: no X server came up" >&2
    tail -n 5 "$base/x.log" >&2
    exit 77
fi
export DISPLAY=:$display
# The layout through the VNC protocol's SetDesktopSize: security "None", a shared session, the
# extended desktop size encoding announced, then one screen per monitor.
python3 - "$port" "$x" "$height" "${screens[@]}" <<'EOF'
import socket, struct, sys, time
port, width, height = (int(v) for v in sys.argv[1:4])
screens = [[int(v) for v in s.split(',')] for s in sys.argv[4:]]
s = socket.create_connection(('127.0.0.1', port), timeout=5)
def read(n):
    data = b''
    while len(data) < n:
        chunk = s.recv(n - len(data))
        if not chunk:
            sys.exit('the VNC server closed the connection')
        data += chunk
    return data
read(12); s.sendall(b'RFB 003.008\n')
read(read(1)[0]); s.sendall(b'\x01')
assert struct.unpack('>I', read(4))[0] == 0, 'security refused'
s.sendall(b'\x01')
read(20); read(struct.unpack('>I', read(4))[0])
s.sendall(struct.pack('>BxHi', 2, 1, -308))
layout = struct.pack('>BxHHBx', 251, width, height, len(screens))
for i, (sx, sy, sw, sh) in enumerate(screens):
    layout += struct.pack('>IHHHHI', i + 1, sx, sy, sw, sh, 0)
s.sendall(layout + struct.pack('>BBHHHH', 3, 1, 0, 0, 1, 1))
time.sleep(0.5)
s.close()
EOF
laid_out=
for _ in $(seq 50); do
    [ "$(xrandr --listmonitors 2>/dev/null | head -n 1)" = "Monitors: ${#monitors[@]}" ] && laid_out=1 && break
    sleep 0.1
done
if [ -z "$laid_out" ]; then
    echo "with_monitors: the X server did not take the layout ${screens[*]}" >&2
    tail -n 5 "$base/x.log" >&2
    exit 77
fi
"$@"
