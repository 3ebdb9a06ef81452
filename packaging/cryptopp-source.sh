#!/usr/bin/env bash
# cryptopp-source.sh DEST: unpacks Debian's source package of Crypto++, the version the system's
# libcrypto++-dev has (8.7.0), into DEST/cryptopp, once. The self-contained natives of the NuGet
# package build from it, so every platform runs the same Crypto++ as the Linux build.
# apt reads a private sources list and state folder under DEST; the machine's apt set-up is
# neither read for sources nor changed.
set -euo pipefail
dest=$(realpath -m "$1")
version=${CRYPTOPP_DEBIAN_VERSION:-8.7.0+git220824-1}
[ -f "$dest/cryptopp/.unpacked" ] && exit 0

apt_dir=$dest/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/parts" "$dest/download"
mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
mirror=${mirror:-http://deb.debian.org/debian}
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror bookworm main" \
    >"$apt_dir/sources.list"
apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
    -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o "Debug::NoLocking=1"
    -o "APT::Sandbox::User=root")
apt-get "${apt_opts[@]}" -qq update
rm -rf "$dest/cryptopp" "$dest/download"/*
(cd "$dest/download" && apt-get "${apt_opts[@]}" -qq source "libcrypto++=$version" >/dev/null)
src=$(find "$dest/download" -mindepth 1 -maxdepth 1 -type d | head -n 1)
[ -n "$src" ] && [ -f "$src/GNUmakefile-cross" ] || { echo "cryptopp-source.sh: no Crypto++ source unpacked in $dest/download" >&2; exit 1; }
mv "$src" "$dest/cryptopp"
rm -rf "$dest/download"
touch "$dest/cryptopp/.unpacked"
