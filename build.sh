#!/usr/bin/env bash
# The project's front door. Each command first installs what it needs and is missing
# (Debian packages, through sudo when not root), so a fresh Debian 12 machine needs nothing else.
#
#   ./build.sh demo    build, then a round trip with ecc-crypt: keygen, encrypt, decrypt, compare
#   ./build.sh test    build with warnings as errors under CI=true, then run every test suite
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

BUILD_DIR=${BUILD_DIR:-build}
JOBS=$(nproc 2>/dev/null || echo 2)

CORE_PACKAGES=(cmake make g++ pkg-config libcrypto++-dev)
TEST_PACKAGES=(libgtest-dev nlohmann-json3-dev openssl python3 python3-cryptography)

log() { printf '==> %s\n' "$*"; }
die() { printf 'build.sh: %s\n' "$*" >&2; exit 1; }

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# ensure_packages PKG...: installs the Debian packages that are not installed yet.
ensure_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# configure_and_build DIR [CMAKE_ARGS...]
configure_and_build() {
    local dir=$1; shift
    local werror=OFF
    [ "${CI:-}" = true ] && werror=ON
    cmake -S . -B "$dir" -DECCENCRYPTION_WERROR="$werror" "$@" >/dev/null
    cmake --build "$dir" -j "$JOBS"
}

# A round trip with the command-line tool in a scratch directory, showing each command.
cmd_demo() (
    ensure_packages "${CORE_PACKAGES[@]}"
    configure_and_build "$BUILD_DIR" -DECCENCRYPTION_BUILD_TESTS=OFF
    tool=$(realpath "$BUILD_DIR/cli/ecc-crypt")
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cd "$work"
    step() { printf '  $ ecc-crypt %s\n' "$*"; "$tool" "$@"; }
    log "round trip with ecc-crypt"
    printf '%s\n' "${1:-Attack at dawn.}" >message.txt
    step keygen --private-key demo.key --public-key demo.pub
    stat -c '      %A %n' demo.key demo.pub
    step encrypt --public-key demo.pub --in message.txt --out message.enc
    printf '      message.enc: %s... (%s hex digits)\n' "$(head -c 40 message.enc)" \
        "$(tr -d '\n' <message.enc | wc -c)"
    step decrypt --private-key demo.key --in message.enc --out message.out
    cmp -s message.txt message.out || die "demo: the decrypted message differs"
    printf '      message.out: %s\n' "$(cat message.out)"
    log "a different key pair cannot decrypt it"
    "$tool" keygen --private-key other.key --public-key other.pub
    ! step decrypt --private-key other.key --in message.enc || die "demo: a wrong key decrypted"
)

cmd_test() {
    ensure_packages "${CORE_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    configure_and_build "$BUILD_DIR" -DECCENCRYPTION_BUILD_TESTS=ON
    log "native tests (ctest)"
    ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS"
}

usage() {
    sed -n '2,7p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
}

case "${1:-}" in
    demo) shift; cmd_demo "$@" ;;
    test) shift; cmd_test "$@" ;;
    -h|--help|help) usage ;;
    *) usage >&2; exit 2 ;;
esac
