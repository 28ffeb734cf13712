#!/usr/bin/env bash
# The Windows release tool and the release archives, tested where they run:
#   1. scripts/release.sh twice, in two build trees of its own: the archives
#      and the NuGet package come out byte for byte the same;
#   2. the packer's test tables built for 64-bit Windows and run under 64-bit
#      Wine (build/win64-tools, with a Wine prefix of its own), with stand-in
#      installers signed by their native build;
#   3. both archives unpacked; each packer stamps its stub with one folder
#      (non-ASCII names, a path over 300 characters, a read-only and a hidden
#      file), tenvik-pack.exe given drive-letter paths with backslashes, and
#      the two Setup.exe files, their `list --json` and what `extract` gives
#      back are compared byte for byte, as are help text, messages and exit
#      codes; a message on a Wine console (code page 437) must still read;
#   4. both packers bundle a signed stand-in runtime installer into the same
#      Setup.exe and refuse its unsigned or changed (12) and foreign-signed
#      (13) variants with the same messages.
set -euo pipefail
cd "$(dirname "$0")/.."
tools=build/win64-tools
work=build/release/check
jobs=2
fail() { echo "check-windows-tools: $*" >&2; exit 1; }

export WINEPREFIX="$PWD/$tools/wineprefix" WINEDEBUG=-all
wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64=$(command -v wine64) || fail "no 64-bit Wine"
cleanup() { sh tests/harness/wine-prefix.sh down "$WINEPREFIX" >/dev/null 2>&1 || true; }
trap cleanup EXIT

echo "-- release archives, made twice in two build trees"
CCACHE_DISABLE=1 bash scripts/release.sh >/dev/null 2>&1 || fail "scripts/release.sh failed"
rm -rf build/release-again
CCACHE_DISABLE=1 TENVIK_RELEASE_DIR=build/release-again bash scripts/release.sh >/dev/null 2>&1 ||
  fail "scripts/release.sh failed in a second tree"
for archive in zip tar.gz nupkg; do
  a=$(grep "\.$archive\$" build/release/dist/SHA256SUMS)
  b=$(grep "\.$archive\$" build/release-again/dist/SHA256SUMS)
  [ "$a" = "$b" ] || fail "the .$archive archive differs between two builds"
done
(cd build/release/dist && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
rm -rf build/release-again

echo "-- the packer's test tables, Windows x64 build under 64-bit Wine"
cmake -S tools -B "$tools" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-x86_64.cmake" -DTENVIK_TOOLS_TESTS=ON >/dev/null
cmake --build "$tools" -j"$jobs" >/dev/null
# A Windows program cannot run osslsigncode, so the native build of the same
# tables signs the stand-in installers its signature table needs.
cmake -S tools -B build/host-tools-tests -G Ninja -DCMAKE_BUILD_TYPE=Release -DTENVIK_TOOLS_TESTS=ON >/dev/null
cmake --build build/host-tools-tests --target packer_tests -j"$jobs" >/dev/null
standins=$PWD/$tools/signed-standins
rm -rf "$standins"
TENVIK_SIGNED_STANDINS="$standins" build/host-tools-tests/packer/tests/packer_tests \
  --gtest_filter='PackerRuntime.BundledInstallers*' >/dev/null || fail "the native signature table failed"
[ -f "$standins/desktop-wrong-signer.exe" ] || fail "osslsigncode could not sign the stand-in installers"
sh tests/harness/wine-prefix.sh up "$WINEPREFIX"
# The release's stub, for the table that restamps a built Setup.exe.
TENVIK_SETUP_EXE="$PWD/build/release/stub/Setup.exe" TENVIK_SIGNED_STANDINS="Z:$(echo "$standins" | tr / '\\')" \
  ctest --test-dir "$tools" --output-on-failure

echo "-- the archives unpacked, and their packers stamping their stubs"
rm -rf "$work"
mkdir -p "$work/win" "$work/linux" "$work/from-win" "$work/from-linux"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
  build/release/dist/tenvik-setup-*-win-x64.zip "$work/unpacked"
tar -xzf build/release/dist/tenvik-setup-*-linux-x64.tar.gz -C "$work/unpacked"
winpack=$(echo "$work"/unpacked/tenvik-setup-*-win-x64)
linuxpack=$(echo "$work"/unpacked/tenvik-setup-*-linux-x64)
for f in "$winpack/tenvik-pack.exe" "$winpack/Setup.exe" "$linuxpack/tenvik-pack" "$linuxpack/Setup.exe" \
         "$winpack/README.md" "$linuxpack/docs/packer.md" "$winpack/LICENSES/zlib.txt" "$linuxpack/THIRD-PARTY-NOTICES.txt"; do
  [ -f "$f" ] || fail "the archives lack ${f#$work/unpacked/}"
done
[ -x "$linuxpack/tenvik-pack" ] || fail "tenvik-pack in the tar archive is not executable"
# The release stub works as shipped: it downloads from the vendor's addresses.
"$linuxpack/tenvik-pack" list "$linuxpack/Setup.exe" | grep -q '^download: vendor ' ||
  fail "the release stub does not download from the runtime vendor's addresses"
if x86_64-w64-mingw32-objdump -p "$winpack/tenvik-pack.exe" | grep 'DLL Name' |
   grep -viE 'kernel32|msvcrt|user32|advapi32|shell32|ole32|crypt32|bcrypt'; then
  fail "tenvik-pack.exe imports a DLL that Windows does not bring"
fi
grep -aq '<longPathAware xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">true</longPathAware>' \
  "$winpack/tenvik-pack.exe" || fail "tenvik-pack.exe carries no long-path-aware manifest"

# One folder with what Windows makes hard.
app=$work/app
deep=$app
for i in 1 2 3 4 5 6; do deep="$deep/level-$i-of-a-folder-tree-that-goes-on-and-on-and-on"; done
mkdir -p "$deep" "$app/Ünïcødé-ñame" "$app/日本語"
printf 'main' >"$app/App.dll"
# Framework-dependent, as pack learns the runtime rule from it.
printf '{"runtimeOptions": {"tfm": "net10.0", "framework": {"name": "Microsoft.WindowsDesktop.App", "version": "10.0.0"}}}' \
  >"$app/App.runtimeconfig.json"
printf 'deep file' >"$deep/Deep.dll"
printf 'caf\xc3\xa9' >"$app/Ünïcødé-ñame/café ☕.txt"
printf 'ja' >"$app/日本語/ファイル.json"
printf 'read-only' >"$app/readonly.txt"
chmod 444 "$app/readonly.txt"
printf 'hidden' >"$app/.hidden"
absolute=$PWD/$deep/Deep.dll
[ ${#absolute} -gt 300 ] || fail "the deep path has only ${#absolute} characters"
# As typed on Windows: a drive letter, backslashes, a trailing one too.
winapp="Z:$(echo "$PWD/$app/" | tr / '\\')"

(cd "$work/linux" && "$PWD/../unpacked/${linuxpack##*/}/tenvik-pack" pack --stub "../unpacked/${linuxpack##*/}/Setup.exe" \
   --entry App.dll --output Setup.exe ../app >/dev/null 2>&1) || fail "the Linux packer cannot stamp its stub"
(cd "$work/win" && "$wine64" "../unpacked/${winpack##*/}/tenvik-pack.exe" pack \
   --stub "../unpacked/${winpack##*/}/Setup.exe" --entry App.dll --output Setup.exe "$winapp" >/dev/null 2>&1) ||
  fail "tenvik-pack.exe cannot stamp its stub"
cmp "$work/linux/Setup.exe" "$work/win/Setup.exe" || fail "the two packers stamped different Setup.exe files"
(cd "$work/linux" && "../unpacked/${linuxpack##*/}/tenvik-pack" list --json Setup.exe >list.json)
(cd "$work/win" && "$wine64" "../unpacked/${winpack##*/}/tenvik-pack.exe" list --json Setup.exe >list.json)
cmp "$work/linux/list.json" "$work/win/list.json" || fail "list --json differs between the two builds"
grep -q '"intact":true' "$work/win/list.json" || fail "the stamped payload is not intact"
grep -q 'Ünïcødé-ñame/café ☕.txt' "$work/win/list.json" || fail "list --json lost a non-ASCII name"

# The same help text and the same exit codes for the same mistakes.
same_answer() {
  local linux_code=0 win_code=0
  (cd "$work/linux" && "../unpacked/${linuxpack##*/}/tenvik-pack" "$@" >out.txt 2>err.txt) || linux_code=$?
  (cd "$work/win" && "$wine64" "../unpacked/${winpack##*/}/tenvik-pack.exe" "$@" >out.txt 2>err.txt) || win_code=$?
  [ "$linux_code" = "$win_code" ] || fail "tenvik-pack $*: exit code $win_code on Windows, $linux_code on Linux"
  cmp -s "$work/linux/out.txt" "$work/win/out.txt" || fail "tenvik-pack $*: other output on Windows"
  cmp -s "$work/linux/err.txt" "$work/win/err.txt" || fail "tenvik-pack $*: other messages on Windows"
}
same_answer --help
same_answer list --json
same_answer list no-such-file.exe
same_answer pack --entry App.dll --output x.bmp --entry App.dll ../app
same_answer list ../app/App.dll

# On a terminal Wine gives the program a console in code page 437, where
# UTF-8 bytes would show as other characters: the message must still read.
if command -v script >/dev/null; then
  shown=$(cd "$work/win" && LANG=C.UTF-8 script -qec \
    "$wine64 ../unpacked/${winpack##*/}/tenvik-pack.exe list Ünïcødé-☕.exe" /dev/null 2>&1 || true)
  case "$shown" in
    *'Cannot open "Ünïcødé-☕.exe"'*) ;;
    *) fail "a message on a console that is not UTF-8 does not read: $shown" ;;
  esac
fi

# A runtime installer checked by each build's own signature reader (OpenSSL,
# crypt32): tenvik-pack.exe itself stands in, signed by a throwaway identity.
echo "-- a signed runtime installer bundled by both packers"
cp "$winpack/Setup.exe" "$work/stub.exe"
cp "$winpack/tenvik-pack.exe" "$work/standin.exe"
sh tests/harness/sign-standin.sh "$work/standin.exe" "$work/signing" "Microsoft Corporation" ||
  fail "osslsigncode could not sign the stand-in installer"
bundle() {
  local installer=$1 expected=$2 linux_code=0 win_code=0
  rm -f "$work/linux/Bundled.exe" "$work/win/Bundled.exe"
  set -- pack --stub ../stub.exe --entry App.dll --runtime-installer "desktop:x64=../$installer" \
    --output Bundled.exe ../app
  (cd "$work/linux" && "../unpacked/${linuxpack##*/}/tenvik-pack" "$@" >out.txt 2>err.txt) || linux_code=$?
  (cd "$work/win" && "$wine64" "../unpacked/${winpack##*/}/tenvik-pack.exe" "$@" >out.txt 2>err.txt) || win_code=$?
  [ "$linux_code" = "$expected" ] || fail "bundling $installer: exit code $linux_code on Linux, not $expected: $(cat "$work/linux/err.txt")"
  [ "$win_code" = "$expected" ] || fail "bundling $installer: exit code $win_code on Windows, not $expected: $(cat "$work/win/err.txt")"
  cmp -s "$work/linux/err.txt" "$work/win/err.txt" || fail "bundling $installer: other messages on Windows"
}
bundle standin.exe 0
cmp "$work/linux/Bundled.exe" "$work/win/Bundled.exe" || fail "the two packers bundled different Setup.exe files"
(cd "$work/linux" && "../unpacked/${linuxpack##*/}/tenvik-pack" list --json Bundled.exe >bundled.json)
(cd "$work/win" && "$wine64" "../unpacked/${winpack##*/}/tenvik-pack.exe" list --json Bundled.exe >bundled.json)
cmp "$work/linux/bundled.json" "$work/win/bundled.json" || fail "list --json of the bundle differs between the two builds"
grep -q "\"bundled\":\[{\"framework\":\"desktop\",\"arch\":\"x64\",[^]]*\"size\":$(wc -c <"$work/standin.exe")}" \
  "$work/win/bundled.json" || fail "list --json does not show the bundled installer: $(cat "$work/win/bundled.json")"
bundle standin-unsigned.exe 12
bundle standin-wrong-signer.exe 13
grep -q 'Tenvik Test Impostor' "$work/win/err.txt" || fail "the refusal does not name the signer: $(cat "$work/win/err.txt")"
# Changed after signing, in the code the image digest covers.
cp "$work/standin.exe" "$work/standin-changed.exe"
printf '\220' | dd of="$work/standin-changed.exe" bs=1 seek=1024 conv=notrunc 2>/dev/null
bundle standin-changed.exe 12
grep -q 'changed after signing' "$work/win/err.txt" || fail "the changed installer is refused for another reason: $(cat "$work/win/err.txt")"
[ ! -e "$work/win/Bundled.exe" ] || fail "a refused bundle left an output"

winout="Z:$(echo "$PWD/$work/from-win" | tr / '\\')"
(cd "$work/win" && "$wine64" "../unpacked/${winpack##*/}/tenvik-pack.exe" extract Setup.exe "$winout" >/dev/null) ||
  fail "tenvik-pack.exe cannot extract its Setup.exe"
"$linuxpack/tenvik-pack" extract "$work/win/Setup.exe" "$work/from-linux" >/dev/null ||
  fail "tenvik-pack cannot extract the Setup.exe of tenvik-pack.exe"
diff -r "$app" "$work/from-win" >/dev/null || fail "extract under Wine did not give the folder back"
diff -r "$app" "$work/from-linux" >/dev/null || fail "extract on Linux did not give the folder back"
chmod -R u+w "$work"
echo "check-windows-tools: tenvik-pack.exe under Wine gives the Linux build's results byte for byte"
