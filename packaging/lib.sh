# lib.sh: shell functions shared by build.sh and the scripts in packaging/. Source it; the
# sourcing script names itself in ECC_SCRIPT for its error messages.

log() { printf '==> %s\n' "$*"; }
die() { printf '%s: %s\n' "${ECC_SCRIPT:-build.sh}" "$*" >&2; exit 1; }

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
        "${missing[@]}" >/dev/null || die "apt-get could not install ${missing[*]}"
}
