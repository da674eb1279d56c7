#!/bin/sh
# Pictures of the main window in lighting mode, taken on a virtual X display against the
# simulated keyboard:
#   lighting-preview.png  effect 1 colourful, the preview in the middle of its animation
#   lighting-user-mode.png  the per-key user mode with a painted layout
# Usage: scripts/lighting-screenshots.sh [BUILD_DIR] [OUTPUT_DIR]
# Needs Xvfb, xdotool and ImageMagick's import.
set -eu

build=${1:-build}
out=${2:-artifacts}
app="$build/bin/brasslane"
ctl="$build/bin/brasslanectl"
mkdir -p "$out"
out=$(cd "$out" && pwd)

display=:$(( $$ % 50 + 150 ))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
root=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$root"' EXIT
sleep 1

# One run of the program in a home of its own; $1 names the picture, $2 the seconds to wait.
shoot() {
    name=$1
    wait=$2
    DISPLAY=$display HOME="$root/home" XDG_DATA_HOME="$root/home/data" XDG_CONFIG_HOME="$root/home/config" \
        XDG_RUNTIME_DIR="$root/run" QT_QPA_PLATFORM=xcb "$app" "--simulate=$root/keyboard.json" >/dev/null 2>&1 &
    program=$!
    window=
    for _ in $(seq 1 100); do
        window=$(DISPLAY=$display xdotool search --onlyvisible --name '^Brasslane$' 2>/dev/null | head -n 1) || true
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "the window did not appear" >&2; kill $program; exit 1; }
    sleep "$wait"
    DISPLAY=$display import -window "$window" "$out/$name"
    DISPLAY=$display HOME="$root/home" XDG_DATA_HOME="$root/home/data" XDG_CONFIG_HOME="$root/home/config" \
        XDG_RUNTIME_DIR="$root/run" QT_QPA_PLATFORM=xcb "$app" /Kill >/dev/null 2>&1 || true
    wait $program || true
}

mkdir -p "$root/run" "$root/home/data/Brasslane"
chmod 700 "$root/run"
printf '[KEYCOLOR]\nDengCheck=1\n' >"$root/home/data/Brasslane/wskb.ini"

# The simulated keyboard starts on effect 1, colourful.
shoot lighting-preview.png 2.5

# A painted user mode: the rows in rainbow colours, W A S D and the arrow keys marked in white,
# Fn in magenta.
mode="$root/home/data/Brasslane/UserDengColor_0.userd"
{
    printf '[PRESENTMODE]\nmode=0\n[MODENAME]\n0=Rainbow rows\n[Mode0]\ntool=1\njcolor=255,255,255\ncolor=0,0,0\n'
    # The first entry of a key wins, so the marked keys come before the rows.
    for index in 44 64 65 66 99 119 120 121; do
        printf '%d=255,255,255,1\n' $index
    done
    printf '110=255,0,255,0\n'
    colours="255,0,0 255,140,0 255,230,0 0,200,60 0,90,255 170,0,255"
    row=0
    for colour in $colours; do
        column=0
        while [ $column -lt 21 ]; do
            printf '%d=%s,0\n' $((row * 21 + column)) "$colour"
            column=$((column + 1))
        done
        row=$((row + 1))
    done
} >"$mode"
HOME="$root/home" XDG_DATA_HOME="$root/home/data" XDG_CONFIG_HOME="$root/home/config" XDG_RUNTIME_DIR="$root/run" \
    "$ctl" "--simulate=$root/keyboard.json" lighting set --effect 20 >/dev/null
shoot lighting-user-mode.png 1.5

echo "$out/lighting-preview.png"
echo "$out/lighting-user-mode.png"
