#!/usr/bin/env bash
# usage: test_package.sh <build dir> <source dir> <version>
# Packages the program from a build, unpacks the .deb into a scratch root and checks what a
# Debian desktop would see: the file layout, the desktop entry and metainfo, the icons, the
# manual pages and changelog, the dependencies, what lintian says, and the installed program
# starting through its bin/ link and finding its chime beside the real executable.
# Exits with 77, which ctest counts as skipped, when a tool it needs is missing.
set -euo pipefail

build=$(readlink -f "$1")
srcdir=$(readlink -f "$2")
version=$3
cpack=${CPACK:-cpack}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kokugo-mogi-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
trap 'exit 130' INT TERM HUP
scratch=$(readlink -f "$scratch")

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

for tool in dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli file readelf lintian python3; do
    command -v "$tool" >/dev/null || {
        echo "SKIP: the package test needs $tool (./dev.sh test installs it)"
        exit 77
    }
done

# Packed in the scratch folder, so a package test never trips over another's staging files.
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    echo "FAIL: cpack could not build the package" >&2
    exit 1
fi
debs=("$scratch"/out/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "FAIL: expected one .deb, found: ${debs[*]}" >&2
    exit 1
fi
deb=${debs[0]}
root=$scratch/root
dpkg-deb -x "$deb" "$root"

# --- Control fields
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kokugo-mogi ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', the project says $version"
[ "$(field Section)" = education ] || fail "Section is '$(field Section)'"
depends=$(field Depends)
# Whole package names, without their versions, so one name is never found inside another.
depends_names=$(tr ',|' '\n' <<<"$depends" | sed 's/^ *//; s/[ (].*//')
# Debian 13 renamed the Qt core library for 64-bit time (libqt6core6t64); either name will do.
for dep in libqt6core6 libqt6gui6 libqt6widgets6 libqt6multimedia6 fonts-ipafont-gothic libc6 libstdc++6; do
    grep -qxF -e "$dep" -e "${dep}t64" <<<"$depends_names" || fail "Depends does not name $dep: $depends"
done

[ "$(field Recommends)" = qt6-wayland ] || fail "Recommends is '$(field Recommends)', not qt6-wayland"

# --- Layout: everything under /usr, the program's own folder holds just the program, its sound
# module and its chime
outside=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v -E '^\./(usr/.*)?$' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"

libdir=$root/usr/lib/kokugo-mogi
exe=$libdir/kokugo-mogi
link=$root/usr/bin/kokugo-mogi
if [ ! -f "$exe" ] || [ -L "$exe" ] || [ ! -x "$exe" ]; then
    fail "no executable at usr/lib/kokugo-mogi/kokugo-mogi"
fi
cmp -s "$srcdir/data/Zikan.wav" "$libdir/Zikan.wav" || fail "usr/lib/kokugo-mogi/Zikan.wav is missing or differs"
contents=$(find "$libdir" -mindepth 1 -printf '%P\n' | LC_ALL=C sort | tr '\n' ' ')
[ "$contents" = "Zikan.wav kokugo-mogi kokugo-sound.so " ] || fail "usr/lib/kokugo-mogi holds: $contents"

if [ -L "$link" ]; then
    target=$(readlink "$link")
    [[ $target != /* ]] || fail "usr/bin/kokugo-mogi links to the absolute path $target"
    [ "$(readlink -f "$link")" = "$exe" ] || fail "usr/bin/kokugo-mogi -> $target does not reach the executable"
else
    fail "usr/bin/kokugo-mogi is not a symbolic link"
fi

# The sound library is loaded with the module at the first chime, never at start-up.
module=$libdir/kokugo-sound.so
if readelf -d "$exe" | grep -q 'NEEDED.*libQt6Multimedia'; then
    fail "the executable links the sound library itself instead of leaving it to its module"
fi
if [ -f "$module" ]; then
    readelf -d "$module" | grep -q 'NEEDED.*libQt6Multimedia' || fail "kokugo-sound.so does not link the sound library"
    # Loadable with the system's libraries, as the program loads it. A sanitizer build's module
    # needs its runtime loaded first, as the sanitized executable has it.
    preload=$(ldd "$module" | awk '/libasan|libubsan/ { printf "%s ", $3 }')
    out=$(LD_PRELOAD=$preload ASAN_OPTIONS=detect_leaks=0 \
        python3 -c 'import ctypes, sys; ctypes.CDLL(sys.argv[1]).kokugo_create_sound_backend' "$module" 2>&1) ||
        fail "kokugo-sound.so cannot be loaded: $out"
fi

# Qt is the system's; a search path of the program's own could pick up stray libraries.
for elf in "$exe" "$module"; do
    if runpath=$(readelf -d "$elf" | grep -E 'R(UN)?PATH'); then
        fail "$(basename "$elf") carries a library search path: $runpath"
    fi
done

# --- Desktop entry, icons, metainfo
desktop=$root/usr/share/applications/kokugo-mogi.desktop
if [ -f "$desktop" ]; then
    out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
    [ -z "$out" ] || fail "desktop-file-validate has remarks: $out"
    entry() { sed -n "s/^$1=//p" "$desktop"; }
    [ -e "$root/usr/bin/$(entry Exec)" ] || fail "Exec=$(entry Exec) is not in usr/bin"
    icon=$(entry Icon)
    for size in 16 22 24 32 48 64 128 256; do
        png=$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png
        if [ -f "$png" ]; then
            file -b "$png" | grep -q "PNG image data, $size x $size," || fail "$png is $(file -b "$png")"
        else
            fail "no ${size}x${size} icon for Icon=$icon"
        fi
    done
else
    fail "no usr/share/applications/kokugo-mogi.desktop"
fi

metainfos=("$root"/usr/share/metainfo/*.metainfo.xml)
if [ ${#metainfos[@]} -eq 1 ] && [ -f "${metainfos[0]}" ]; then
    metainfo=${metainfos[0]}
    out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
    id=$(sed -n 's|.*<id>\(.*\)</id>.*|\1|p' "$metainfo")
    [ "$(basename "$metainfo")" = "$id.metainfo.xml" ] || fail "$(basename "$metainfo") is not named after its id $id"
    launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
    [ -f "$root/usr/share/applications/$launchable" ] || fail "the metainfo launches '$launchable', which is not installed"
else
    fail "expected one file in usr/share/metainfo, found: ${metainfos[*]}"
fi

# --- Manual pages, Japanese and English, and the changelog in Debian's format
for page in usr/share/man/ja/man1/kokugo-mogi.1.gz usr/share/man/man1/kokugo-mogi.1.gz; do
    if [ -f "$root/$page" ]; then
        gzip -t "$root/$page" || fail "$page is not gzip data"
        zcat "$root/$page" | grep -q '^\.SH ' || fail "$page is not a manual page"
    else
        fail "no $page"
    fi
done
zcat "$root/usr/share/man/ja/man1/kokugo-mogi.1.gz" | grep -q '^\.SH 名前' || fail "the Japanese manual page is not in Japanese"
changelog=$root/usr/share/doc/kokugo-mogi/changelog.gz
if [ -f "$changelog" ]; then
    top=$(zcat "$changelog" | head -n 1)
    [[ $top == "kokugo-mogi ($version) "* ]] || fail "the changelog starts with '$top', not version $version"
else
    fail "no usr/share/doc/kokugo-mogi/changelog.gz"
fi

# --- lintian: no error and no warning
if ! out=$(lintian --fail-on error,warning "$deb" 2>&1); then
    fail "lintian: $(grep -E '^[EW]: ' <<<"$out" || echo "$out")"
fi

# --- The installed program, started through its link with the system's Qt
run_installed() { # <stderr file>; prints the exit status
    local status=0
    QT_QPA_PLATFORM=offscreen XDG_STATE_HOME=$scratch/state timeout 3 "$link" >/dev/null 2>"$1" </dev/null || status=$?
    echo "$status"
}

expected_warning="kokugo-mogi: the chime cannot sound: $libdir/Zikan.wav cannot be read"

status=$(run_installed "$scratch/with-chime.err")
[ "$status" -eq 124 ] || fail "the installed program ended with status $status instead of running: $(cat "$scratch/with-chime.err")"
if grep -q "the chime cannot sound" "$scratch/with-chime.err"; then
    fail "the installed program cannot sound its chime: $(cat "$scratch/with-chime.err")"
fi

# A chime beside the link must not stand in for the one beside the executable.
rm -f "$libdir/Zikan.wav"
cp "$srcdir/data/Zikan.wav" "$root/usr/bin/Zikan.wav"
status=$(run_installed "$scratch/without-chime.err")
[ "$status" -eq 124 ] || fail "without its chime the program ended with status $status: $(cat "$scratch/without-chime.err")"
grep -qF "$expected_warning" "$scratch/without-chime.err" ||
    fail "without its chime the program did not say '$expected_warning'; it said: $(cat "$scratch/without-chime.err")"

if [ "$failures" -ne 0 ]; then
    echo "$failures checks failed" >&2
    exit 1
fi
echo "package $(basename "$deb") passes"
