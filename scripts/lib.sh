# Shared by the project's scripts: install what is missing, configure and build.
# shellcheck shell=bash

LUMACAST_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qtbase5-dev libqt5websockets5-dev qtmultimedia5-dev libqt5multimedia5-plugins libqt5svg5
    libspdlog-dev libx11-dev libxtst-dev libasound2-dev libxcb1-dev libxcb-shm0-dev libxcb-xfixes0-dev
    libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libgstrtspserver-1.0-dev
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-plugins-bad
    gstreamer1.0-libav gstreamer1.0-alsa gstreamer1.0-pulseaudio trayer openbox
    xvfb xauth fonts-wqy-microhei python3
    # several monitors that change: RandR outputs of a TigerVNC server (scripts/with_monitors.sh)
    tigervnc-standalone-server x11-xserver-utils
    pulseaudio pulseaudio-utils
    gstreamer1.0-pipewire qtwayland5 gstreamer1.0-tools gstreamer1.0-x
    # the headless Wayland session of the tests (scripts/wayland-session.sh) and the screen-cast
    # back end it builds from Debian's source
    sway pipewire pipewire-bin wireplumber xdg-desktop-portal dbus dbus-bin iproute2 util-linux
    dpkg-dev meson patch libpipewire-0.3-dev libinih-dev libsystemd-dev libgbm-dev libdrm-dev
    wayland-protocols libwayland-dev
)

# Installs the Debian packages of LUMACAST_PACKAGES (and any given) that are not installed yet.
install_deps() {
    local missing=() package
    for package in "${LUMACAST_PACKAGES[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if ((${#missing[@]} == 0)); then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# build FOLDER [CMAKE_ARGS...]: configures (once) and builds the whole tree into FOLDER.
build() {
    local folder=$1
    shift
    cmake -S . -B "$folder" -G Ninja "$@"
    cmake --build "$folder" -j "$(nproc)"
}
