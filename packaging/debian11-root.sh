#!/usr/bin/env bash
# debian11-root.sh BUILD_DIR [--dotnet] [COMMAND [ARGS...]]: a Debian 11 (bullseye) build root under
# BUILD_DIR/debian11, made once per build folder with debootstrap, with the native and aarch64 cross
# tool chains and the test dependencies installed. The Linux natives of the NuGet package are
# built in it, so that they need no glibc newer than bullseye's 2.31.
# With COMMAND, runs it as root inside the tree, in the project folder: the project is bound in
# read-only and BUILD_DIR read-write, each at the same path as outside, so paths agree in and
# out of the tree. The mounts are undone on every exit. Needs root (re-runs itself through sudo).
# --dotnet binds this machine's .NET in (read-only, on PATH) for the COMMAND, in invariant
# globalization mode since the tree has no ICU: the package test runs .NET programs there.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: debian11-root.sh BUILD_DIR [COMMAND [ARGS...]]" >&2; exit 2; }
if [ "$(id -u)" != 0 ]; then exec sudo -E "$0" "$@"; fi

src=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
mkdir -p "$1"
build=$(cd "$1" && pwd -P)
shift
home=$build/debian11
# Test vectors shared with the other projects of the workplace, beside the project.
shared=$(cd "$src/.." && pwd -P)/shared
root=$home/root
# The tools the natives' build and tests need in the tree; a change of the list reinstalls.
packages=(g++ make cmake g++-aarch64-linux-gnu binutils-aarch64-linux-gnu
    libgtest-dev googletest nlohmann-json3-dev qemu-user-static openssl)
stamp=$home/ready

ECC_SCRIPT=debian11-root.sh
# shellcheck source=lib.sh
. "$src/packaging/lib.sh"

# Mount points, innermost last, so that they are undone in reverse.
mounted=()
unmount_all() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount -R "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" 2>/dev/null || true
    done
    mounted=()
}
trap unmount_all EXIT
trap 'exit 130' INT TERM

# bind SOURCE TARGET [ro|rec]: a bind mount, read-only or with the mounts below SOURCE. The
# project's and build folder's binds are not recursive: the tree's own mounts lie below them.
bind() {
    mkdir -p "$2"
    if [ "${3:-}" = rec ]; then mount --rbind "$1" "$2"; else mount --bind "$1" "$2"; fi
    mounted+=("$2")
    mount --make-rslave "$2"
    [ "${3:-}" != ro ] || mount -o remount,bind,ro "$2"
}

cwd=/
in_root() { # in_root COMMAND...: runs COMMAND in the tree, as root, in the folder $cwd
    local path=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
    chroot "$root" /usr/bin/env -i PATH="$path" HOME=/root LANG=C.UTF-8 TERM=dumb \
        DEBIAN_FRONTEND=noninteractive CI="${CI:-}" JOBS="${JOBS:-2}" \
        bash -c 'cd "$0" && exec "$@"' "$cwd" "$@"
}

mount_system() {
    mkdir -p "$root/proc"
    mount -t proc proc "$root/proc"
    mounted+=("$root/proc")
    bind /dev "$root/dev" rec
}

mount_project() {
    bind "$src" "$root$src" ro
    bind "$build" "$root$build"
    [ ! -d "$shared" ] || bind "$shared" "$root$shared" ro
}

make_root() {
    local mirror
    ensure_packages debootstrap
    mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
    mirror=${mirror:-http://deb.debian.org/debian}
    if [ ! -f "$home/bootstrapped" ]; then
        echo "debian11-root.sh: making a Debian 11 tree in $root (once per build folder)..."
        rm -rf "$root"
        mkdir -p "$home"
        debootstrap --variant=minbase bullseye "$root" "$mirror" >"$home/debootstrap.log" 2>&1 ||
            { die "debootstrap of bullseye from $mirror failed (log: $home/debootstrap.log)"; }
        echo "deb $mirror bullseye main" >"$root/etc/apt/sources.list"
        # No service starts from package scripts inside the tree.
        printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
        chmod +x "$root/usr/sbin/policy-rc.d"
        touch "$home/bootstrapped"
    fi
    cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
    mount_system
    echo "debian11-root.sh: installing ${packages[*]} in the tree..."
    in_root apt-get update -qq >"$home/apt.log" 2>&1 &&
        in_root apt-get install -y -qq --no-install-recommends "${packages[@]}" >>"$home/apt.log" 2>&1 ||
        die "apt-get install in the Debian 11 tree failed (log: $home/apt.log)"
    in_root apt-get clean
    unmount_all
    printf '%s\n' "${packages[@]}" >"$stamp"
}

# One user of the tree at a time: a second one would mount over the first's mounts.
mkdir -p "$home"
exec 9>"$home/lock"
flock 9

# A stale mount from a killed run would be bound over again; drop it first.
for m in "$root$shared" "$root$build" "$root$src" "$root/dev" "$root/proc"; do
    ! mountpoint -q "$m" 2>/dev/null || umount -R "$m" 2>/dev/null || umount -l "$m" || true
done

if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$(printf '%s\n' "${packages[@]}")" ]; then
    make_root
fi
dotnet_env=()
if [ "${1:-}" = --dotnet ]; then
    shift
    dotnet=$(command -v dotnet) || die "--dotnet: the .NET SDK (dotnet) is not on PATH"
    dotnet_env=(PATH=/opt/dotnet:/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
        DOTNET_ROOT=/opt/dotnet DOTNET_SYSTEM_GLOBALIZATION_INVARIANT=1 DOTNET_CLI_TELEMETRY_OPTOUT=1
        DOTNET_NOLOGO=1)
fi
[ $# -gt 0 ] || exit 0
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
mount_system
mount_project
[ ${#dotnet_env[@]} -eq 0 ] || bind "$(dirname "$(readlink -f "$dotnet")")" "$root/opt/dotnet" ro
cwd=$src
if [ ${#dotnet_env[@]} -eq 0 ]; then in_root "$@"; else in_root env "${dotnet_env[@]}" "$@"; fi
