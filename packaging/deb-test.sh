#!/usr/bin/env bash
# deb-test.sh [DEB_DIR] [BUILD_DIR]: installs the Debian packages of DEB_DIR (default artifacts/deb)
# with apt-get on a fresh minimal Debian 12 tree, as a new user's machine would get them, then:
# builds tests/consumer against /usr through the CMake package and through pkg-config, runs an
# ecc-crypt round trip, builds the source tree with a plain `cmake -S . -B build` (only Crypto++
# there, so the tests must turn themselves off), purges the packages and checks that none of
# their files is left behind. The minimal tree (debootstrap minbase, plus the consumer's
# compiler and CMake) is made once and kept as a tarball in BUILD_DIR (default build-deb);
# every run unpacks a new copy of it. Needs root (debootstrap, chroot, mounts).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

die() { printf 'deb-test.sh: %s\n' "$*" >&2; exit 1; }
[ "$(id -u)" = 0 ] || die "needs root: it makes and enters a chroot"
deb_dir=$(realpath -m "${1:-artifacts/deb}")
build=$(realpath -m "${2:-build-deb}")
packages=(libeccencryption1 libeccencryption-dev ecc-crypt)
for p in "${packages[@]}"; do
    compgen -G "$deb_dir/${p}_*.deb" >/dev/null || die "no $p package in $deb_dir (run packaging/deb.sh first)"
done
if ! command -v debootstrap >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
fi

cache=$build/fresh-tree
base=$cache/bookworm-minbase-tools.tar
R=$cache/root
mkdir -p "$cache"
start=$SECONDS

unmount_root() {
    local m
    for m in "$R/dev" "$R/proc"; do
        if mountpoint -q "$m"; then umount -R "$m" || umount -lR "$m"; fi
    done
}
# Never deletes the tree while the host's /dev or /proc is mounted in it.
remove_root() {
    unmount_root
    if mountpoint -q "$R/dev" || mountpoint -q "$R/proc"; then die "cannot unmount $R/dev or $R/proc"; fi
    rm -rf "$R"
}
enter_root() {
    cp /etc/resolv.conf "$R/etc/resolv.conf"
    mount -t proc proc "$R/proc"
    mount --rbind /dev "$R/dev"
}
# in_root SCRIPT: runs SCRIPT with bash inside the tree, as root, with a clean environment.
in_root() {
    chroot "$R" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        HOME=/root LC_ALL=C.UTF-8 DEBIAN_FRONTEND=noninteractive \
        SSL_CERT_FILE=/etc/ssl/certs/ca-certificates.crt bash -euo pipefail -c "$1" </dev/null
}
trap unmount_root EXIT

if [ ! -s "$base" ]; then
    # The archive the host uses, with its security and update suites, and its CA bundle (this
    # workplace's machines all carry one); the consumer's compiler and CMake are installed now so
    # that every run does not download them again.
    mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
    echo "deb test: making a minimal Debian 12 tree (once per build folder)"
    remove_root
    debootstrap --variant=minbase bookworm "$R" "${mirror:-http://deb.debian.org/debian}" \
        >"$cache/debootstrap.log" 2>&1 || die "debootstrap failed, see $cache/debootstrap.log"
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        cp /etc/apt/sources.list.d/debian.sources "$R/etc/apt/sources.list.d/"
        rm -f "$R/etc/apt/sources.list"
    fi
    ca=${SSL_CERT_FILE:-/etc/ssl/certs/ca-certificates.crt}
    if [ -s "$ca" ]; then mkdir -p "$R/etc/ssl/certs"; cp "$ca" "$R/etc/ssl/certs/ca-certificates.crt"; fi
    enter_root
    in_root 'apt-get update -qq && apt-get install -y -qq --no-install-recommends cmake make g++ >/dev/null
             apt-get clean' >"$cache/tools.log" 2>&1 || die "installing cmake, make, g++ in the tree failed, see $cache/tools.log"
    unmount_root
    tar -C "$R" -cf "$base.part" . && mv "$base.part" "$base"
fi

remove_root
mkdir -p "$R"
tar -C "$R" -xf "$base"
enter_root
in_root 'apt-get update -qq' || die "apt-get update in the fresh tree failed"

# The sources as they are in the working tree (committed or not), and the packages.
mkdir -p "$R/src/artifacts/deb"
if git rev-parse --git-dir >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard | xargs -0 -I{} sh -c '[ -e "{}" ] && printf "%s\0" "{}"' \
        | tar --null -T - -cf - | tar -C "$R/src" -xf -
else
    tar --exclude='./build*' --exclude=./artifacts -cf - . | tar -C "$R/src" -xf -
fi
cp "$deb_dir"/*.deb "$R/src/artifacts/deb/"

# Paths of the tree that a package install or purge may change without leaving a file behind.
snapshot() {
    in_root 'find / -xdev \( -path /proc -o -path /dev -o -path /sys -o -path /tmp -o -path /run \
        -o -path /src -o -path /root -o -path /var/cache -o -path /var/lib/apt -o -path /var/lib/dpkg \
        -o -path /var/log \) -prune -o -print | sort'
}
snapshot >"$cache/files-before"

passed=0 failed=0
log=$cache/step.log
# check NAME SCRIPT: runs SCRIPT inside the tree and counts the result.
check() {
    if in_root "$2" >"$log" 2>&1; then
        passed=$((passed + 1)); printf '  ok      %s\n' "$1"
    else
        failed=$((failed + 1)); printf '  FAILED  %s\n' "$1"; tail -n 25 "$log" | sed 's/^/          /'
    fi
}

echo "deb test: the packages on a fresh Debian 12 tree ($R)"
check "apt-get install ./artifacts/deb/*.deb" \
    'cd /src && apt-get install -y -qq --no-install-recommends ./artifacts/deb/*.deb'
# The library folder Debian uses on this architecture (multiarch).
lib=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)
check "installed: library, headers, CMake package, pkg-config file, tool, manual page" "
    for f in /usr/include/eccencryption/EccEncryption.h /usr/include/eccencryption/eccencryption_c.h \
             $lib/libeccencryption.so $lib/libeccencryption.so.1 \
             $lib/cmake/EccEncryption/EccEncryptionConfig.cmake \
             $lib/pkgconfig/eccencryption.pc /usr/bin/ecc-crypt \
             /usr/share/man/man1/ecc-crypt.1.gz /usr/share/doc/ecc-crypt/copyright; do
        [ -e \"\$f\" ] || { echo \"missing: \$f\"; exit 1; }
    done
    zcat /usr/share/man/man1/ecc-crypt.1.gz | grep -q '^\.SH COMMANDS' || { echo 'the manual page lacks its COMMANDS'; exit 1; }
    ! ldd /usr/bin/ecc-crypt | grep 'not found'"
check "consumer through find_package(EccEncryption) and pkg-config" \
    'bash /src/tests/consumer/run.sh --installed /usr'
check "ecc-crypt keygen, encrypt, decrypt; another key fails" '
    cd "$(mktemp -d)"
    ecc-crypt --version
    ecc-crypt keygen --private-key k --public-key k.pub
    head -c 3000 /dev/urandom >m
    ecc-crypt encrypt --public-key k.pub --in m --out c
    ecc-crypt decrypt --private-key k --in c --out d
    cmp m d
    ecc-crypt keygen --private-key o --public-key o.pub
    ! ecc-crypt decrypt --private-key o --in c --out x'
# A newcomer's first try, with only Crypto++ (from the packages above) and no test libraries:
# it configures and builds, and one line says how to get the tests.
check "plain cmake -S . -B build && cmake --build build, tests off with one hint" '
    rm -rf /tmp/plain
    cp -r /src /tmp/plain
    cd /tmp/plain
    cmake -S . -B build >configure.log 2>&1 || { cat configure.log; exit 1; }
    hints=$(grep -ci "tests are off" configure.log || true)
    [ "$hints" = 1 ] || { cat configure.log; echo "expected one line about the tests, got $hints"; exit 1; }
    grep -q "^ECCENCRYPTION_BUILD_TESTS:BOOL=OFF" build/CMakeCache.txt
    cmake --build build -j 2 >build.log 2>&1 || { tail -n 30 build.log; exit 1; }
    build/cli/ecc-crypt --version
    cd /
    rm -rf /tmp/plain'
check "apt-get purge of the three packages (and what only they needed)" "
    apt-get purge -y -qq ${packages[*]}
    apt-get autoremove --purge -y -qq
    ! dpkg-query -W -f='\${db:Status-Status} \${Package}\n' ${packages[*]} 2>/dev/null | grep -v '^not-installed'"

# No file of the packages is left, and the tree holds no file it did not hold before.
snapshot >"$cache/files-after"
for d in "$deb_dir"/*.deb; do
    dpkg-deb --fsys-tarfile "$d" | tar -t
done | sed 's|^\./|/|;s|/$||' | sort -u >"$cache/package-files"
left=$(while IFS= read -r f; do
    if [ -n "$f" ] && [ "$f" != / ] && ! grep -qxF "$f" "$cache/files-before" &&
        { [ -e "$R$f" ] || [ -L "$R$f" ]; }; then echo "$f"; fi
done <"$cache/package-files")
new=$(comm -13 "$cache/files-before" "$cache/files-after")
if [ -z "$left$new" ]; then
    passed=$((passed + 1)); echo "  ok      no file left behind after the purge"
else
    failed=$((failed + 1)); echo "  FAILED  files left behind after the purge:"
    printf '%s\n%s\n' "$left" "$new" | sort -u | sed '/^$/d;s/^/          /' | head -n 40
fi

unmount_root
[ "$failed" = 0 ] && remove_root
echo "deb test: $passed passed, $failed failed ($((SECONDS - start)) s)"
[ "$failed" = 0 ]
