#!/usr/bin/env bash
# A headless Wayland desktop for the tests: sway (headless back end, pixman renderer), PipeWire,
# WirePlumber and the ScreenCast portal, in private network, PID and mount namespaces, run by a
# system user of its own with its own runtime folder and session bus.
#
#   scripts/wayland-session.sh prepare BUILD          build the screen-cast back end once (BUILD/wayland)
#   scripts/wayland-session.sh run BUILD DIR CMD...   run CMD as the session user in a fresh session;
#                                                     DIR (the command's folder) becomes the user's
#
# "run" ends with 77 and one line saying why when the session cannot come up, else with CMD's code.
# The packaged xdg-desktop-portal-wlr 0.7.0 refuses every cast without a GPU render node: it waits
# for a DMA-BUF format that the pixman renderer never offers. "prepare" builds it from Debian's own
# source with that half of the check removed, so that it casts from shared memory.
set -euo pipefail

HERE=$(dirname "$(readlink -f "$0")")
SESSION_USER=${LUMACAST_WAYLAND_USER:-lumacast-wayland}
XDPW_VERSION=0.7.0-1

skip() {
    echo "Wayland session not available: $*" >&2
    exit 77
}

xdpw_binary() {
    echo "$1/wayland/xdpw/build/xdg-desktop-portal-wlr"
}

prepare() {
    local build
    build=$(readlink -f "$1")
    local xdpw
    xdpw=$(xdpw_binary "$build")
    [ -x "$xdpw" ] && return 0
    local work=$build/wayland apt=$build/wayland/apt
    rm -rf "$work/xdpw" "$work"/xdg-desktop-portal-wlr-*
    mkdir -p "$apt"/{lists/partial,cache/archives/partial}
    # Source packages from the machine's own Debian mirror, through a list of our own: the
    # system's apt sources stay as they are.
    local mirror
    mirror=$(grep -h '^URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '{print $2; exit}')
    if [ -z "$mirror" ]; then
        mirror=$(grep -h '^deb ' /etc/apt/sources.list 2>/dev/null | awk '{print $2; exit}')
    fi
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] ${mirror:-http://deb.debian.org/debian} bookworm main" \
        >"$apt/sources.list"
    local options=(-o APT::Sandbox::User=root -o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
        -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" -o Acquire::Languages=none)
    apt-get -qq "${options[@]}" update
    (cd "$work" && apt-get -qq "${options[@]}" source "xdg-desktop-portal-wlr=$XDPW_VERSION" >/dev/null)
    mv "$work"/xdg-desktop-portal-wlr-0.7.0 "$work/xdpw"
    patch -d "$work/xdpw" -p1 -s <"$HERE/wayland/xdpw-shm-only.patch"
    meson setup "$work/xdpw/build" "$work/xdpw" -Dman-pages=disabled -Dsystemd=disabled -Dwerror=false >/dev/null
    ninja -C "$work/xdpw/build" >/dev/null
}

# Writes the configuration of one session into $base and prints nothing.
configure() {
    local base=$1 xdpw=$2
    mkdir -p "$base"/{run,config/sway,config/xdg-desktop-portal-wlr,data/dbus-1/services,home,logs}
    cat >"$base/config/sway/config" <<'EOF'
output HEADLESS-1 mode 1920x1080@30Hz position 0 0
xwayland disable
default_border none
default_floating_border none
for_window [app_id=".*"] fullscreen enable
EOF
    # The chooser stands in for the user: it shares the output, notes each run in chooser.log, and
    # says no while $XDG_RUNTIME_DIR/chooser-cancel exists.
    cat >"$base/chooser.sh" <<'EOF'
#!/bin/sh
echo run >>"$LUMACAST_WAYLAND_LOGS/chooser.log"
[ -e "$XDG_RUNTIME_DIR/chooser-cancel" ] && exit 1
echo HEADLESS-1
EOF
    chmod 755 "$base/chooser.sh"
    cat >"$base/config/xdg-desktop-portal-wlr/config" <<EOF
[screencast]
chooser_type=simple
chooser_cmd=$base/chooser.sh
max_fps=30
EOF
    # Should the portal ever start the back end on demand, it gets the patched one.
    cat >"$base/data/dbus-1/services/org.freedesktop.impl.portal.desktop.wlr.service" <<EOF
[D-BUS Service]
Name=org.freedesktop.impl.portal.desktop.wlr
Exec=$xdpw -l INFO
EOF
    cat >"$base/session.sh" <<'EOF'
#!/bin/bash
# Runs under dbus-run-session as the session user; the command's code is the session's.
L=$LUMACAST_WAYLAND_LOGS
wait_for() {
    for _ in $(seq 150); do eval "$1" && return 0; sleep 0.1; done
    echo "Wayland session not available: timed out waiting for $2 (logs in $L)" >&2
    exit 77
}
has_name() {
    gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}
sway >"$L/sway.log" 2>&1 &
wait_for '[ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ]' sway
pipewire >"$L/pipewire.log" 2>&1 &
wait_for '[ -S "$XDG_RUNTIME_DIR/pipewire-0" ]' PipeWire
wireplumber >"$L/wireplumber.log" 2>&1 &
dbus-update-activation-environment WAYLAND_DISPLAY XDG_CURRENT_DESKTOP
"$LUMACAST_WAYLAND_XDPW" -l INFO >"$L/xdpw.log" 2>&1 &
wait_for 'has_name org.freedesktop.impl.portal.desktop.wlr' xdg-desktop-portal-wlr
/usr/libexec/xdg-desktop-portal >"$L/xdg-desktop-portal.log" 2>&1 &
wait_for 'has_name org.freedesktop.portal.Desktop' xdg-desktop-portal
"$@"
EOF
    cat >"$base/ns-init.sh" <<'EOF'
#!/bin/bash
ip link set lo up
exec setpriv --reuid="$LUMACAST_WAYLAND_USER" --regid="$LUMACAST_WAYLAND_USER" --init-groups -- \
    dbus-run-session -- "$LUMACAST_WAYLAND_BASE/session.sh" "$@"
EOF
    chmod 755 "$base/session.sh" "$base/ns-init.sh"
    chmod 700 "$base/run"
    chown -R "$SESSION_USER:" "$base"/{run,config,data,home,logs}
}

run() {
    local build dir
    build=$(readlink -f "$1")
    dir=$(readlink -f "$2")
    shift 2
    local xdpw
    xdpw=$(xdpw_binary "$build")
    [ "$(id -u)" -eq 0 ] || skip "it needs root (a user of its own, namespaces)"
    for tool in sway pipewire wireplumber /usr/libexec/xdg-desktop-portal dbus-run-session unshare setpriv; do
        command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/lib.sh installs it)"
    done
    [ -x "$xdpw" ] || skip "the screen-cast back end is not built (scripts/wayland-session.sh prepare $build)"
    id -u "$SESSION_USER" >/dev/null 2>&1 ||
        useradd --system --user-group --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin \
            "$SESSION_USER" || skip "cannot create the session user $SESSION_USER"
    setpriv --reuid="$SESSION_USER" --regid="$SESSION_USER" --init-groups -- test -x "$(command -v "$1")" ||
        skip "user $SESSION_USER cannot run $1 (make its folders searchable by others)"
    chown -R "$SESSION_USER:" "$dir"

    # A short path: socket names must fit 108 bytes.
    local base
    base=$(mktemp -d /tmp/lumacast-wayland.XXXXXX)
    chmod 755 "$base"
    configure "$base" "$xdpw"
    local code=0
    env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS HOME="$base/home" XDG_RUNTIME_DIR="$base/run" XDG_CONFIG_HOME="$base/config" \
        XDG_DATA_HOME="$base/data" XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland \
        WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman WAYLAND_DISPLAY=wayland-1 \
        LUMACAST_WAYLAND_USER="$SESSION_USER" LUMACAST_WAYLAND_BASE="$base" LUMACAST_WAYLAND_XDPW="$xdpw" \
        LUMACAST_WAYLAND_LOGS="$base/logs" \
        unshare -n -p -f --mount-proc "$base/ns-init.sh" "$@" || code=$?
    # The logs of a failed run stay for whoever looks into it.
    if [ "$code" -eq 0 ]; then
        rm -rf "$base"
    else
        echo "Wayland session logs: $base/logs" >&2
    fi
    return "$code"
}

case "${1:-}" in
prepare) prepare "$2" ;;
run) shift && run "$@" ;;
*)
    echo "usage: $0 prepare BUILD | run BUILD DIR CMD..." >&2
    exit 2
    ;;
esac
