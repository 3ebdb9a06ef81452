#!/usr/bin/env bash
# run.sh FEED TOOL WORK: uses the binding's NuGet package in the folder feed FEED as a new user
# would, in scratch projects under WORK, and runs them on every platform the package serves:
#   - net10.0 on this machine's .NET, and net462 under Mono (the net462 output, built for x64,
#     must hold the Windows DLL and the Linux shared object);
#   - published self-contained for win-x64 and run under Wine, where it also trades ciphertexts
#     with this machine's ecc-crypt (TOOL) both ways, in the ANSI code page of LANG=en_US.UTF-8
#     (Windows-1252);
#   - when ECC_LINUX_TREE is a command that runs its arguments inside a Linux tree without
#     Crypto++, with this machine's .NET and WORK visible at the same paths (build.sh uses the
#     Debian 11 build root: glibc 2.31, the oldest the natives support), the net10.0 program there,
#     and the program published self-contained for linux-arm64, run there by qemu's user-mode
#     emulation (qemu-aarch64-static, with the arm64 C library in /usr/aarch64-linux-gnu).
set -euo pipefail
feed=$(realpath "$1") tool=$(realpath "$2") work=$(realpath -m "$3")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
fail() { printf 'package test: %s\n' "$*" >&2; exit 1; }

rm -rf "$work" && mkdir -p "$work/app" "$work/exchange"
cp "$here/PackageTest.csproj" "$here/../smoke/Program.cs" "$work/app/"
# The binding comes only from the fresh feed; everything else (reference assemblies, runtime
# packs for win-x64) from the local cache or the configured NuGet source.
cache=$(dotnet nuget locals global-packages --list | sed 's/^global-packages: //')
cat >"$work/app/nuget.config" <<EOF
<configuration>
  <packageSources>
    <add key="binding" value="$feed" />
    <add key="cache" value="$cache" />
  </packageSources>
  <packageSourceMapping>
    <packageSource key="binding"><package pattern="Orvane.*" /></packageSource>
    <packageSource key="cache"><package pattern="*" /></packageSource>
    <packageSource key="nuget.org"><package pattern="*" /></packageSource>
  </packageSourceMapping>
</configuration>
EOF
dotnet_q() { dotnet "$@" -c Release -v q --nologo --packages "$work/packages" >"$work/dotnet.log" 2>&1 \
    || { tail -n 30 "$work/dotnet.log" >&2; fail "dotnet $1 failed"; }; }

dotnet_q build "$work/app"
out462=$work/app/bin/Release/net462
for f in eccencryption.dll libeccencryption.so; do
    [ -f "$out462/$f" ] || fail "the net462 x64 build output lacks $f"
done
echo "net462 x64 output holds: $(cd "$out462" && ls eccencryption.dll libeccencryption.so | tr '\n' ' ')"
dotnet "$work/app/bin/Release/net10.0/PackageTest.dll" "package on .NET"
mono "$out462/PackageTest.exe" "package on Mono"

# Windows: a self-contained win-x64 program under Wine.
dotnet_q publish "$work/app" -f net10.0 -r win-x64 --self-contained -o "$work/win"
[ -f "$work/win/eccencryption.dll" ] || fail "the win-x64 publish output lacks eccencryption.dll"
ex=$work/exchange
"$tool" keygen --private-key "$ex/key" --public-key "$ex/pub"
printf 'Gr\xfc\xdfe, caf\xe9' >"$ex/message.cp1252"        # "Grüße, café" in Windows-1252
printf 'Grüße, café' >"$ex/expected.txt"
"$tool" encrypt --public-key "$ex/pub" --in "$ex/message.cp1252" --out "$ex/to-here.hex"
export WINEPREFIX=${WINEPREFIX:-$work/wine} WINEDEBUG=-all WINEDLLOVERRIDES="mshtml="
LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 /usr/lib/wine/wine64 "$work/win/PackageTest.exe" \
    "package on Windows (Wine)" "Z:${ex//\//\\}" </dev/null
"$tool" decrypt --private-key "$ex/key" --in "$ex/from-here.hex" --out "$ex/from-windows.bin"
cmp -s "$ex/from-windows.bin" "$ex/message.cp1252" \
    || fail "the Windows ciphertext decrypted on Linux to $(od -An -tx1 "$ex/from-windows.bin" | tr -d " \n"), not the Windows-1252 bytes"
echo "Windows ciphertext of Windows-1252 text, decrypted on Linux: 1 passed, 0 failed"

if [ -n "${ECC_LINUX_TREE:-}" ]; then
    # The tree must lack Crypto++ altogether, or the package's own would not be what is tested.
    $ECC_LINUX_TREE bash -c 'if compgen -G "/usr/lib/*/libcrypto++*" || compgen -G "/usr/lib/libcrypto++*"; then
            echo "package test: the Linux tree has Crypto++ installed" >&2; exit 1; fi
        echo "Linux tree: $(. /etc/os-release && echo "$PRETTY_NAME"), $(ldd --version | head -n 1), no Crypto++"'
    $ECC_LINUX_TREE dotnet "$work/app/bin/Release/net10.0/PackageTest.dll" "package in a Debian 11 tree"
    dotnet_q publish "$work/app" -f net10.0 -r linux-arm64 --self-contained -o "$work/arm64"
    $ECC_LINUX_TREE qemu-aarch64-static -L /usr/aarch64-linux-gnu "$work/arm64/PackageTest" \
        "package on linux-arm64 (qemu, Debian 11 tree)"
fi
