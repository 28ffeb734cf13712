#!/usr/bin/env bash
# Makes the release files in build/release/dist:
#   tenvik-setup_<version>_amd64.deb          (as `cpack` makes it)
#   tenvik-setup-<version>-win-x64.zip        tenvik-pack.exe, the stub Setup.exe, documents
#   tenvik-setup-<version>-linux-x64.tar.gz   tenvik-pack, the stub Setup.exe, documents
#   Tenvik.Setup.<version>.nupkg              MSBuild targets for dotnet publish, both
#                                             packers, the stub, documents (scripts/nuget-pack.sh)
#   SHA256SUMS                                of the four
# The two archives are reproducible: entries sorted, owners 0, fixed modes and
# every time stamp SOURCE_DATE_EPOCH (by default the time of the last commit).
# Arguments are CMake settings for the stub, e.g.
#   scripts/release.sh -DTENVIK_DOWNLOAD_BASE=https://downloads.example.com
# Without TENVIK_DOWNLOAD_BASE the stub downloads missing runtimes from the
# runtime vendor's own addresses (download=vendor), so the stub works as
# shipped, with no server of the user's; tenvik-pack --download changes it.
# Build trees: build/release/stub (the stub, the Linux packer, the .deb) and
# build/release/win64 (tenvik-pack.exe); TENVIK_RELEASE_DIR puts them, and
# dist/, somewhere else instead of build/release.
set -euo pipefail
cd "$(dirname "$0")/.."
release=${TENVIK_RELEASE_DIR:-build/release}
dist=$release/dist
jobs=2
fail() { echo "release: $*" >&2; exit 1; }

version=$(sed -n 's/^project(TenvikSetup VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no project version in CMakeLists.txt"
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}
# Zip time stamps cannot go before 1980.
[ "$epoch" -ge 315532800 ] || epoch=315532800
export SOURCE_DATE_EPOCH=$epoch

# The stub carries no link time, so that it too comes out the same each time.
echo "-- the stub Setup.exe, the Linux packer and the .deb"
cmake -S . -B "$release/stub" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DTENVIK_TESTS=OFF \
  -DCMAKE_EXE_LINKER_FLAGS=-Wl,--no-insert-timestamp -DTENVIK_DOWNLOAD_BASE=vendor "$@" >/dev/null
cmake --build "$release/stub" -j"$jobs" >/dev/null
(cd "$release/stub" && cpack >/dev/null)

echo "-- tenvik-pack.exe for 64-bit Windows"
cmake -S tools -B "$release/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-x86_64.cmake" -DTENVIK_TOOLS_TESTS=OFF >/dev/null
cmake --build "$release/win64" --target tenvik-pack -j"$jobs" >/dev/null

rm -rf "$dist" "$release/stage"
mkdir -p "$dist" "$release/stage"
cp "$release/stub"/tenvik-setup_*.deb "$dist/"

# The documents both archives carry: the README with the manual its links
# lead into, and the licences of what the programs contain.
documents() {
  local dir=$1
  mkdir -p "$dir/LICENSES"
  cp README.md "$dir/README.md"
  cp -R docs "$dir/docs"
  cp /usr/share/doc/zlib1g/copyright "$dir/LICENSES/zlib.txt"
  cp /usr/share/doc/mingw-w64-common/copyright "$dir/LICENSES/mingw-w64-runtime.txt"
  cp /usr/share/doc/gcc-mingw-w64-base/copyright "$dir/LICENSES/gcc-runtime.txt"
  cat >"$dir/THIRD-PARTY-NOTICES.txt" <<NOTICES
Tenvik Setup $version: third-party components

Setup.exe and tenvik-pack.exe are static Windows programs. They contain:
  zlib                 (zlib licence)                   LICENSES/zlib.txt
  mingw-w64 runtime and winpthreads
                       (ZPL, public domain, MIT/expat)  LICENSES/mingw-w64-runtime.txt
  GCC's libstdc++ and libgcc
                       (GPL 3 with the GCC Runtime
                        Library Exception)              LICENSES/gcc-runtime.txt
tenvik-pack for Linux links zlib, libstdc++ and the C library of the system
it runs on; the same notices apply to the copies Setup.exe carries.
NOTICES
}

win=tenvik-setup-$version-win-x64
linux=tenvik-setup-$version-linux-x64
mkdir -p "$release/stage/$win" "$release/stage/$linux"
x86_64-w64-mingw32-strip -o "$release/stage/$win/tenvik-pack.exe" "$release/win64/tenvik-pack.exe"
cp "$release/stub/Setup.exe" "$release/stage/$win/Setup.exe"
strip -o "$release/stage/$linux/tenvik-pack" "$release/stub/host-tools/tenvik-pack"
cp "$release/stub/Setup.exe" "$release/stage/$linux/Setup.exe"
documents "$release/stage/$win"
documents "$release/stage/$linux"
# The NuGet package: the same packers and stub, under tools/.
nuget=$release/stage/nuget
mkdir -p "$nuget/tools/linux-x64" "$nuget/tools/win-x64"
cp "$release/stage/$linux/tenvik-pack" "$nuget/tools/linux-x64/tenvik-pack"
cp "$release/stage/$win/tenvik-pack.exe" "$nuget/tools/win-x64/tenvik-pack.exe"
cp "$release/stub/Setup.exe" "$nuget/tools/Setup.exe"
documents "$nuget"
find "$release/stage" -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
chmod 755 "$release/stage/$win/tenvik-pack.exe" "$release/stage/$linux/tenvik-pack"
chmod 755 "$nuget/tools/linux-x64/tenvik-pack"

echo "-- the archives"
python3 - "$release/stage" "$win" "$dist/$win.zip" "$epoch" <<'PY'
import os, sys, time, zipfile
stage, top, target, epoch = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
stamp = time.gmtime(epoch)[:6]
paths = []
for root, dirs, files in os.walk(os.path.join(stage, top)):
    for name in files:
        paths.append(os.path.relpath(os.path.join(root, name), stage).replace(os.sep, "/"))
with zipfile.ZipFile(target + ".partial", "w") as archive:
    for name in sorted(paths):
        source = os.path.join(stage, name)
        info = zipfile.ZipInfo(name, date_time=stamp)
        info.compress_type = zipfile.ZIP_DEFLATED
        info.create_system = 3  # Unix, so the modes below are read
        info.external_attr = (0o100755 if os.access(source, os.X_OK) else 0o100644) << 16
        with open(source, "rb") as data:
            archive.writestr(info, data.read(), compresslevel=9)
os.replace(target + ".partial", target)
PY
tar -C "$release/stage" --sort=name --mtime="@$epoch" --owner=0 --group=0 --numeric-owner \
  --format=gnu -cf - "$linux" | gzip -n -9 >"$dist/$linux.tar.gz.partial"
mv "$dist/$linux.tar.gz.partial" "$dist/$linux.tar.gz"
echo "-- the NuGet package"
bash scripts/nuget-pack.sh "$nuget" "$version" "$dist" >/dev/null

(cd "$dist" && sha256sum -- *.deb *.zip *.tar.gz *.nupkg >SHA256SUMS)
echo "release: $dist"
cat "$dist/SHA256SUMS"
