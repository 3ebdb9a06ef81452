# ecc-crypt as `cmake --install` lays it out: in bin/, finding the library installed beside it.
build=$1
prefix=$(mktemp -d)
cmake --install "$build" --prefix "$prefix" >/dev/null || exit 1
set -- "$prefix/bin/ecc-crypt"
. "$(dirname "$0")/lib.sh"
trap 'rm -rf "$WORK" "$prefix"' EXIT
unset LD_LIBRARY_PATH

check "installed in bin/" [ -x "$TOOL" ]
expect_ok "installed tool runs" --version
make_keys k
printf 'installed round trip\n' >m
expect_ok "encrypt" encrypt --public-key k.pub --in m --out c
expect_ok "decrypt" decrypt --private-key k --in c --out d
check "round trip" cmp -s m d
finish
