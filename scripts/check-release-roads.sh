#!/usr/bin/env bash
# Builds Setup.exe along each road docs/release.md shows a release engineer, so a
# road that breaks fails the test run:
#   1. TENVIK_APP_DIR: the build packs a published folder itself, and signs
#      the result (TENVIK_SIGN_PKCS12, here with a throwaway certificate);
#   2. TENVIK_PAYLOAD: a payload bitmap made beforehand with the standalone packer;
#   3. the .deb that CPack makes of the first, unpacked, and its tenvik-pack
#      stamping the folder into its stub Setup.exe.
# Every Setup.exe must carry the same package. Build trees: build/roads/.
set -euo pipefail
cd "$(dirname "$0")/.."
roads=build/roads
jobs=$(nproc 2>/dev/null || echo 2)
app=tests/data/sample-app
entry=Sample.App.dll
fail() { echo "check-release-roads: $*" >&2; exit 1; }
rm -rf "$roads"
mkdir -p "$roads"

echo "-- road 1: TENVIK_APP_DIR, signed after linking"
sh tests/harness/make-signing-cert.sh "$roads/keys" "Tenvik Road Check"
cmake -S . -B "$roads/app-dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DTENVIK_TESTS=OFF \
  -DTENVIK_APP_DIR="$PWD/$app" -DTENVIK_APP_ENTRY="$entry" \
  -DTENVIK_SIGN_PKCS12="$PWD/$roads/keys/signer.pfx" \
  -DTENVIK_SIGN_PASSWORD_FILE="$PWD/$roads/keys/password.txt" >/dev/null
cmake --build "$roads/app-dir" --target Setup -j"$jobs" >/dev/null
osslsigncode verify -CAfile "$roads/keys/ca.crt" -in "$roads/app-dir/Setup.exe" >/dev/null ||
  fail "road 1: Setup.exe is not validly signed"

echo "-- road 2: TENVIK_PAYLOAD from the standalone packer"
cmake -S tools -B "$roads/tools" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$roads/tools" -j"$jobs" >/dev/null
"$roads/tools/tenvik-pack" --entry "$entry" --output "$PWD/$roads/payload.bmp" "$app" >/dev/null
cmake -S . -B "$roads/payload" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DTENVIK_TESTS=OFF \
  -DTENVIK_PAYLOAD="$PWD/$roads/payload.bmp" >/dev/null
cmake --build "$roads/payload" --target Setup -j"$jobs" >/dev/null

echo "-- road 3: the .deb, and stamping its stub"
(cd "$roads/app-dir" && cpack >/dev/null)
deb=$(ls "$roads"/app-dir/tenvik-setup_*.deb)
dpkg-deb -x "$deb" "$roads/deb"
packer="$roads/deb/usr/bin/tenvik-pack"
[ -x "$packer" ] || fail "road 3: the package has no usr/bin/tenvik-pack"
[ -f "$roads/deb/usr/share/tenvik/Setup.exe" ] || fail "road 3: the package has no usr/share/tenvik/Setup.exe"
"$packer" pack --stub "$roads/deb/usr/share/tenvik/Setup.exe" --entry "$entry" \
  --output "$roads/Stamped.exe" "$app" >/dev/null 2>&1 || fail "road 3: stamping the stub failed"

# The same package along every road.
"$packer" list --json "$roads/payload.bmp" >"$roads/expected.json"
grep -q '"intact": *true' "$roads/expected.json" || fail "the packed payload is not intact"
for exe in app-dir/Setup.exe payload/Setup.exe Stamped.exe; do
  "$packer" list --json "$roads/$exe" >"$roads/listed.json" || fail "$exe: tenvik-pack list failed"
  for field in entries launchTarget uncompressedSize intact; do
    a=$(python3 -c 'import json,sys; print(json.dumps(json.load(open(sys.argv[1]))[sys.argv[2]]))' "$roads/expected.json" "$field")
    b=$(python3 -c 'import json,sys; print(json.dumps(json.load(open(sys.argv[1]))[sys.argv[2]]))' "$roads/listed.json" "$field")
    [ "$a" = "$b" ] || fail "$exe: $field is $b, expected $a"
  done
done
echo "check-release-roads: all three roads give a Setup.exe with the same package"
