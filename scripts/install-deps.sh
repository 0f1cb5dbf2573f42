#!/usr/bin/env bash
# Installs the Debian packages lumo needs, by set:
#   build    compilers and Qt to build the programs, and what lumo needs at run time (the Japanese
#            fonts the log and dialogs are drawn with, Qt's Japanese translations, OpenSSL, the
#            system's trusted certificates, qtkeychain and the libsecret it loads at run time)
#   demo     the demo's FTP server (pyftpdlib)
#   package  what `make package` calls (dpkg-shlibdeps)
#   test     the servers, tools and validators the tests use (also TLS certificates made by the
#            test, pyftpdlib's TLS handler and a private keyring; an X server, a session bus and the
#            X library a stand-in file manager is written with, for the drags to the desktop;
#            stress-ng, to run the suite once on a busy machine; clang-format, which checks the
#            code's formatting)
#   fuzz     clang with libFuzzer and the sanitizer runtimes, for `make fuzz` only
#   bench    the peer that `make bench` races through its delaying proxy (lftp), for `make bench` only
#   shots    a virtual screen, a window manager and the tools that drive and photograph the window, for
#            scripts/take-screenshots.sh only
# usage: install-deps.sh [SET...]   (no SET: build, demo, package and test)
# Idempotent: only what is missing is installed, and what is installed is named.
set -euo pipefail

build=(
    build-essential cmake ninja-build ccache pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev libxcb1-dev
    fonts-ipafont-gothic qt6-translations-l10n
    libssl-dev ca-certificates qtkeychain-qt6-dev libsecret-1-0
)
demo=(python3 python3-pyftpdlib)
package=(dpkg-dev file)
test=(vsftpd curl time xvfb xauth desktop-file-utils appstream python3-xlib dbus-daemon dbus-bin tzdata
    openssl python3-openssl gnome-keyring libsecret-tools stress-ng clang-format)
fuzz=(clang libclang-rt-14-dev)
bench=(lftp)
# The pictures of the window in the README and the guide (scripts/take-screenshots.sh).
shots=(xvfb xauth openbox xdotool imagemagick)

sets=("$@")
[ ${#sets[@]} -eq 0 ] && sets=(build demo package test)
packages=()
for set in "${sets[@]}"; do
    case $set in
    build) packages+=("${build[@]}") ;;
    demo) packages+=("${demo[@]}") ;;
    package) packages+=("${package[@]}") ;;
    test) packages+=("${test[@]}") ;;
    fuzz) packages+=("${fuzz[@]}") ;;
    bench) packages+=("${bench[@]}") ;;
    shots) packages+=("${shots[@]}") ;;
    *)
        echo "install-deps: unknown set '$set' (build, demo, package, test, fuzz, bench, shots)" >&2
        exit 2
        ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    sudo=sudo
else
    sudo=
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "install-deps: done"
