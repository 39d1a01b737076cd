#!/bin/bash
# Installs, as root on Debian 12, every package the build, the program and its tests need.
# Packages already present are left alone, so a second run costs a few seconds.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config clang-format
    # the fuzz targets are built with clang and libFuzzer
    clang libclang-rt-14-dev
    # Qt 6 and the libraries the program links
    qt6-base-dev qt6-base-dev-tools libgl-dev libjpeg62-turbo-dev libexif-dev libxxhash-dev
    # the editor keeps a photo's metadata and turns JPEG files losslessly
    libexiv2-dev libturbojpeg0-dev
    # scanners through SANE (its test backend serves the tests; scanimage is the benchmark's peer)
    libsane-dev libsane1 sane-utils
    # webcam snapshots: Qt Multimedia and the GStreamer elements its camera back end uses
    qt6-multimedia-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    # printing through CUPS; the tests run a private cupsd and read the PDFs with poppler
    libcups2-dev cups cups-client cups-ipp-utils poppler-utils
    # run time: icons and fonts for the widgets
    adwaita-icon-theme fonts-dejavu-core fonts-liberation2 libqt6svg6
    # tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth imagemagick x11-utils
    # reference tools: lossless turns are compared with jpegtran, the edit benchmark runs vips
    libjpeg-turbo-progs libvips-tools
    # a private session bus for the screensaver-inhibit tests
    dbus-daemon
    # the tests that validate the .desktop file and the AppStream metainfo
    desktop-file-utils appstream
    # the reference photo site (HTTP, accounts, password hashes), the browser its gallery test uses, openssl for test certificates
    libmicrohttpd-dev libsqlite3-dev libsodium-dev libcurl4-openssl-dev chromium openssl
    # the proxy the desktop names for an address: environment, desktop settings, PAC files
    libproxy-dev libproxy1-plugin-gsettings libproxy1-plugin-kconfig libproxy1-plugin-webkit
    # the exported viewer and screensaver programs: Xlib, libjpeg linked statically; their tests
    # drive them under Xvfb with xdotool
    libx11-dev xdotool
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    if [[ $(id -u) -ne 0 ]]; then
        echo "Run as root to install missing packages" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
