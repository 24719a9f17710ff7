#!/usr/bin/env bash
# Installs what Tarnwell needs (Debian 12 packages, only the missing ones),
# builds it, then starts the program or runs the tests.
#
#   ./setup.sh run     install, build, start Tarnwell (the default)
#   ./setup.sh test    install, build, run every test
#   ./setup.sh build   install and build only
#
# Extra arguments after "test" go to ctest, e.g. ./setup.sh test -L audio
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${TARNWELL_BUILD_DIR:-$here/build}"
mode="${1:-run}"
[ $# -gt 0 ] && shift

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-svg-dev libgl-dev
    libvorbis-dev libogg-dev libmp3lame-dev libsndfile1-dev libsoxr-dev
    libavcodec-dev libavformat-dev libavutil-dev
    libswresample-dev               # sample format conversion of decoded audio
    libtag1-dev libsdl2-dev
    libflac-dev libopusenc-dev      # FLAC and Opus outputs
    googletest libgtest-dev
    libcli11-dev
    libuchardet-dev                 # finds the encoding of cue sheets from other systems
    libebur128-dev                  # loudness of the pieces for ReplayGain
    desktop-file-utils appstream
    clang libclang-rt-14-dev
    # ogginfo checks copied Ogg pieces in the tests; ffmpeg and mp3splt are
    # what the benchmarks compare with.
    vorbis-tools ffmpeg mp3splt
    flac opus-tools                 # reference encoders and decoders of the tests
    # The tests' corpus of Ogg files from other encoders (oggenc and FFmpeg
    # as above; oggdec decodes the references):
    sox libsox-fmt-base             # SoX, and its Ogg Vorbis writer
    sndfile-programs                # sndfile-convert (libsndfile)
    gstreamer1.0-tools              # gst-launch-1.0
    gstreamer1.0-plugins-base       # its vorbisenc, oggmux and audioconvert
    gstreamer1.0-plugins-good       # its wavparse
    # The corpus of other input formats (MP3, FLAC, Opus) from the formats'
    # own encoders, checked against their own decoders (flac -d, opusdec),
    # and sources with chapters (metaflac, opusenc) for the segment import:
    lame flac opus-tools
    # Real music the corpora of the tests are cut from (a game's soundtrack
    # in Ogg Vorbis); steady tones hide what real audio does to decoders.
    frozen-bubble-data
)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

build_all() {
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j"$(nproc)"
}

install_missing
build_all

case "$mode" in
run)
    exec "$build/bin/tarnwell"
    ;;
test)
    cd "$build"
    export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
    exec ctest --output-on-failure -j"$(nproc)" "$@"
    ;;
build)
    ;;
*)
    echo "usage: $0 [run|test|build] [ctest arguments]" >&2
    exit 2
    ;;
esac
