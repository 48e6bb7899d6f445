#!/usr/bin/env bash
# ./dev.sh start   install what is missing, build, and start the program
# ./dev.sh test    install what is missing, build, and run every test
#                  (KOKUGO_SKIP_ASAN=1 leaves out the sanitizer build and its run)
# ./dev.sh bench   install what is missing, build, and print the benchmark figures
# Safe to run again: it installs, configures and builds only what is missing or changed.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"

mode=${1:-start}
case $mode in
start | test | bench) ;;
*)
    echo "usage: $0 start|test|bench" >&2
    exit 2
    ;;
esac

build_packages=(cmake ninja-build g++ qt6-base-dev qt6-multimedia-dev fonts-ipafont-gothic)
# Screenshots need an X server, the chime test a sound server and a recorder, the Wayland run a
# compositor and the toolkit's Wayland plugin.
test_packages=(xvfb xauth x11-apps imagemagick pulseaudio pulseaudio-utils weston qt6-wayland)
# The screen-reader test reads the program over the accessibility bus in a D-Bus session of its own.
test_packages+=(dbus-daemon at-spi2-core python3-pyatspi)
# The package test builds the .deb (dpkg-shlibdeps, file) and validates what it installs.
test_packages+=(dpkg-dev file desktop-file-utils appstream lintian)
# The format check and the fuzzer; g++ brings the sanitizer runtimes of the asan build itself.
# clang comes by version, the one the release ships: 14 on Debian 12, 19 on Debian 13 (the fuzz
# preset's cmake/clang-toolchain.cmake looks for the same). The tree is formatted with
# clang-format 14, and 19 leaves it as it is; where the two ever disagree, 14 is right.
clang_version() {
    case $(. /etc/os-release 2>/dev/null && echo "${ID:-}-${VERSION_ID:-}") in
    debian-12) echo 14 ;;
    debian-13) echo 19 ;;
    *)
        # Another release: the newest of the two that it offers, else 14, whose absence apt names.
        local version
        for version in 19 14; do
            apt-cache show "clang-format-$version" >/dev/null 2>&1 && break
        done
        echo "$version"
        ;;
    esac
}
clang=$(clang_version)
check_packages=("clang-format-$clang" "clang-$clang" "libclang-rt-$clang-dev")

install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# Builds quietly when nothing changed; a failed build stops the script.
build() {
    local preset=$1
    [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" "${@:2}" | { grep -v -E '^ninja: no work to do' || true; }
}

# Every C++ file in the project must be as clang-format leaves it; checked before building.
check_format() {
    local files=() unformatted=() f
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
    else
        mapfile -d '' files < <(find . -path './build*' -prune -o -type f \
            \( -name '*.cpp' -o -name '*.h' \) -print0)
    fi
    for f in "${files[@]}"; do
        "clang-format-$clang" --dry-run --Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
    done
    if [ ${#unformatted[@]} -gt 0 ]; then
        echo "Not formatted as .clang-format asks (fix with: clang-format-$clang -i FILE...):" >&2
        printf '  %s\n' "${unformatted[@]}" >&2
        [ "$clang" = 14 ] || echo "(checked with clang-format $clang; where it and 14 disagree, 14 is right)" >&2
        return 1
    fi
}

# Feeds the RTF reader generated input for a while, starting from the hand-made seeds and the
# program's own documents. New inputs go to a scratch folder that goes with the services; an
# input that breaks the reader is kept in build/fuzz/artifacts and belongs in
# tests/fuzz/regressions once understood.
run_fuzzer() {
    local seconds=$1 scratch=$services_dir/corpus status=0
    mkdir -p "$scratch" build/fuzz/artifacts
    # Only the documents: the chime and pictures would only make every input longer and slower.
    cp data/*.rtf "$scratch"/
    echo "Fuzzing the RTF reader for ${seconds}s"
    build/fuzz/bin/fuzz_rtfreader -max_total_time="$seconds" -timeout=2 -print_final_stats=1 \
        -dict=tests/fuzz/rtf.dict -artifact_prefix=build/fuzz/artifacts/ \
        "$scratch" tests/fuzz/corpus \
        >build/fuzz/fuzz.log 2>&1 || status=$?
    if [ $status -ne 0 ]; then
        tail -n 60 build/fuzz/fuzz.log >&2
        echo "The fuzzer broke the RTF reader; the input is in build/fuzz/artifacts" >&2
        return 1
    fi
    grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|new_units_added)' \
        build/fuzz/fuzz.log || true
}

services_dir=""
stop_services() {
    [ -n "$services_dir" ] || return 0
    local service
    for service in xvfb weston; do
        if [ -f "$services_dir/$service.pid" ]; then kill "$(cat "$services_dir/$service.pid")" 2>/dev/null || true; fi
    done
    XDG_RUNTIME_DIR=$services_dir/runtime pulseaudio --kill 2>/dev/null || true
    rm -rf "$services_dir"
}

# An X server for the screenshot tests, a PulseAudio server with a null sink, whose monitor the
# chime test records, and a headless Wayland compositor; all live only as long as this script.
start_services() {
    services_dir=$(mktemp -d /tmp/kokugo-mogi-test.XXXXXX)
    trap stop_services EXIT
    local display=99
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
    # Large enough for the exam window at a scale factor of 2, which the screenshots take too.
    Xvfb ":$display" -screen 0 1920x1200x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
    echo $! >"$services_dir/xvfb.pid"
    export DISPLAY=":$display"

    mkdir -m 700 "$services_dir/runtime"
    export XDG_RUNTIME_DIR=$services_dir/runtime
    # The chime test records this sink; without the server it skips.
    if pulseaudio --daemonize=yes --exit-idle-time=-1 -n \
        --load="module-null-sink sink_name=kokugo_test_sink" \
        --load=module-native-protocol-unix >/dev/null 2>&1; then
        export KOKUGO_TEST_SINK=kokugo_test_sink
    else
        echo "warning: no sound server; the chime test will skip" >&2
    fi

    # Its socket lives in the private runtime folder, so the name cannot clash with a desktop's.
    weston --backend=headless-backend.so --socket=kokugo-wayland --idle-time=0 --no-config \
        >"$services_dir/weston.log" 2>&1 &
    echo $! >"$services_dir/weston.pid"

    local i
    for i in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
    for i in $(seq 50); do [ -S "$XDG_RUNTIME_DIR/kokugo-wayland" ] && break; sleep 0.1; done
    if [ -S "$XDG_RUNTIME_DIR/kokugo-wayland" ]; then
        export WAYLAND_DISPLAY=kokugo-wayland
    else
        echo "warning: no Wayland compositor; the Wayland run will skip" >&2
    fi
}

case $mode in
start)
    install_missing "${build_packages[@]}"
    # The program and its chime only; the tests and the benchmark wait for ./dev.sh test.
    build release --target kokugo-mogi
    exec build/release/bin/kokugo-mogi
    ;;
test)
    install_missing "${build_packages[@]}" "${test_packages[@]}" "${check_packages[@]}"
    check_format
    build dev
    # The optimised program that ./dev.sh start runs: the optimiser warns of things the dev build's
    # does not, and warnings are errors.
    build release --target kokugo-mogi
    start_services
    ctest --preset dev
    # Again with the address, leak and undefined-behaviour sanitizers, then the fuzzer.
    if [ "${KOKUGO_SKIP_ASAN:-0}" = 1 ]; then
        echo "Leaving out the asan build and its tests (KOKUGO_SKIP_ASAN=1)"
    else
        build asan
        ctest --preset asan
    fi
    build fuzz
    run_fuzzer "${KOKUGO_FUZZ_SECONDS:-60}"
    ;;
bench)
    install_missing "${build_packages[@]}"
    build release --target kokugo-bench
    QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} build/release/bin/kokugo-bench "${@:2}"
    ;;
esac
