#!/usr/bin/env bash
# tools/check-debian13.sh [FUZZ_SECONDS]
# Builds and tests the project on Debian 13 (trixie) from this machine, in a tree of its own.
#
# Makes a minimal Debian 13 tree with debootstrap in build/debian13-root, or reuses the one made
# before, copies the working tree into it (tracked and untracked files, not build/) and runs there,
# as root and with nothing of this machine's environment:
#
#     KOKUGO_SKIP_ASAN=1 KOKUGO_FUZZ_SECONDS=FUZZ_SECONDS ./dev.sh test
#
# that is what ./dev.sh test does on a fresh Debian 13 machine but for the sanitizer build: it
# installs every package it asks for from Debian 13, checks the format, builds the dev preset,
# starts the test services, runs `ctest --preset dev`, builds the fuzz preset and fuzzes the RTF
# reader for FUZZ_SECONDS (20 unless given). The builds stay in the tree, so the next run builds
# only what changed. Ends with dev.sh's status and a summary; the whole log is build/debian13.log.
#
# Needs root (it asks sudo otherwise), debootstrap (installed when missing) and the Debian mirror
# this machine's apt uses, or the one KOKUGO_DEBIAN_MIRROR names. The mounts it makes live in a
# mount namespace of its own, so they go with it even when it is killed.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."

fuzz_seconds=${1:-20}
[[ $fuzz_seconds =~ ^[0-9]+$ ]] || {
    echo "usage: $0 [FUZZ_SECONDS]" >&2
    exit 2
}
[ "$(id -u)" -eq 0 ] || exec sudo -- "$0" "$@"
if [ "${KOKUGO_CHECK_NAMESPACE:-}" != 1 ]; then
    KOKUGO_CHECK_NAMESPACE=1 exec unshare --mount --propagation private -- "$0" "$@"
fi

release=trixie
root=$PWD/build/debian13-root
log=$PWD/build/debian13.log
mkdir -p build

# The host's own Debian mirror, as its apt sources name it (either format of them).
mirror() {
    if [ -n "${KOKUGO_DEBIAN_MIRROR:-}" ]; then
        echo "$KOKUGO_DEBIAN_MIRROR"
        return
    fi
    local codename uri suite
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    while read -r uri suite; do
        if [ "$suite" = "$codename" ]; then
            echo "$uri"
            return
        fi
    done < <(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 'Created-By: Packages' | sort -u)
    echo "no Debian mirror in this machine's apt sources; name one in KOKUGO_DEBIAN_MIRROR" >&2
    return 1
}

mounted_inside() { # any mount point under the tree, in this namespace
    awk -v root="$root/" 'index($5 "/", root) == 1 { found = 1 } END { exit !found }' /proc/self/mountinfo
}

make_tree() {
    if [ -f "$root/etc/os-release" ] && [ ! -e "$root/debootstrap" ]; then
        local version
        version=$(. "$root/etc/os-release" && echo "${VERSION_ID:-}")
        if [ "$version" = 13 ]; then
            echo "Reusing the Debian 13 tree in ${root#"$PWD"/}"
            return
        fi
    fi
    # A tree left half made, or of another release, is made again.
    if [ -e "$root" ]; then
        mounted_inside && {
            echo "something is mounted under $root; unmount it first" >&2
            exit 1
        }
        rm -rf "$root"
    fi
    command -v debootstrap >/dev/null || {
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
    }
    local uri
    uri=$(mirror)
    echo "Making a Debian 13 tree in ${root#"$PWD"/} with debootstrap"
    debootstrap --variant=minbase "$release" "$root" "$uri" >"$root.debootstrap.log" 2>&1 || {
        tail -n 20 "$root.debootstrap.log" >&2
        exit 1
    }
    rm -f "$root.debootstrap.log"
}

mounts=()
unmount_all() {
    local i
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" || true
    done
}
trap unmount_all EXIT
trap 'exit 130' INT TERM HUP

mount_in_tree() { # <target inside the tree> mount arguments...
    mkdir -p "$root$1"
    mount "${@:2}" "$root$1"
    mounts+=("$root$1")
}

make_tree
cp /etc/resolv.conf "$root/etc/resolv.conf"
# No service starts in the tree when a package is installed.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
mount_in_tree /proc -t proc proc
mount_in_tree /sys -t sysfs sysfs
mount_in_tree /dev --bind /dev
mount_in_tree /dev/pts --bind /dev/pts
mount_in_tree /dev/shm -t tmpfs tmpfs
mount_in_tree /tmp -t tmpfs tmpfs
# X servers also listen on abstract sockets, which the tree shares with this machine: with the
# machine's socket folder, dev.sh sees which displays are taken.
mkdir -p /tmp/.X11-unix
mount_in_tree /tmp/.X11-unix --bind /tmp/.X11-unix

# The working tree as it is, edits included; the builds in the tree's copy stay.
src=/root/kokugo-mogi
mkdir -p "$root$src"
find "$root$src" -mindepth 1 -maxdepth 1 ! -name build -exec rm -rf {} +
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard
else
    find . -path './build*' -prune -o -type f -print0
fi | tar -c --null --ignore-failed-read -T - 2>/dev/null | tar -x -C "$root$src"

echo "Running in the Debian 13 tree: KOKUGO_SKIP_ASAN=1 KOKUGO_FUZZ_SECONDS=$fuzz_seconds ./dev.sh test"
start=$(date +%s)
status=0
chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    KOKUGO_SKIP_ASAN=1 KOKUGO_FUZZ_SECONDS="$fuzz_seconds" \
    /bin/bash -c "cd $src && ./dev.sh test" 2>&1 | tee "$log" || status=$?
minutes=$((($(date +%s) - start) / 60))

qt=$(chroot "$root" dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || echo none)
gcc=$(chroot "$root" g++ -dumpfullversion 2>/dev/null || echo none)
echo
echo "=== $(. "$root/etc/os-release" && echo "$PRETTY_NAME"): Qt $qt, GCC $gcc"
grep -E 'tests passed|\(Skipped\)|\(Failed\)|\(Timeout\)|^stat::number_of_executed_units' "$log" || true
echo "dev.sh ended with status $status after $minutes min; the log is ${log#"$PWD"/}"
exit "$status"
