#!/usr/bin/env bash
# Runs every test: the portable code natively under AddressSanitizer and
# UBSan, the README's and the manual's links and references, short runs of
# its libFuzzer targets, then the Windows build under Wine (unit tests of the
# Win32 edge and end-to-end runs of Setup.exe against a loopback download
# server; a skipped suite fails the run), the packer's test against that
# Setup.exe, then builds Setup.exe along every road the README and
# docs/release.md show (folder, ready payload, signing, the .deb and its
# stub), and tests the Windows release tool, the release archives and the
# NuGet package with the SDK's dotnet publish. Installs what it needs first.
# Build trees: build/native, build/fuzz, build/windows, build/roads,
# build/win64-tools, build/release, build/nuget-check, build/nuget-wine.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh || exit 1

jobs=$(nproc 2>/dev/null || echo 2)
failed=0

# Compiler results are cached across build trees and clones (paths below the
# checkout count as relative), so a second run, or CI on a machine that built
# before, compiles only what changed. The release check builds its two trees
# without the cache, so that reproducibility is shown by two real builds.
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
fi

# Each stage's heading says how long the run has taken so far.
stage() { echo "== $* (at ${SECONDS}s)"; }

stage "native tests (ASan + UBSan)"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTENVIK_SANITIZE=ON >/dev/null &&
  cmake --build build/native -j"$jobs" &&
  ctest --test-dir build/native --output-on-failure -j"$jobs" || failed=1

# The README and the manual in docs/: every relative link resolves, and the
# packer's options and the build settings are documented. Uses the packer the
# native build just made.
stage "docs"
bash scripts/check-docs.sh build/native/tools/packer/tenvik-pack || failed=1

# Each libFuzzer target for a short, bounded time on a copy of its seed corpus
# (scripts/fuzz.sh runs them for longer). Its own clang build tree.
stage "fuzz targets (libFuzzer, short runs)"
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTENVIK_FUZZ=ON -DTENVIK_FUZZ_SECONDS=8 >/dev/null &&
  cmake --build build/fuzz -j"$jobs" &&
  ctest --test-dir build/fuzz --output-on-failure -j"$jobs" || failed=1

stage "Windows tests under Wine"
cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DTENVIK_DOWNLOAD_BASE=http://127.0.0.1:18080 >/dev/null &&
  cmake --build build/windows -j"$jobs" &&
  ctest --test-dir build/windows --output-on-failure 2>&1 | tee build/windows/ctest.log || failed=1
# A Wine suite that skipped (no download server, a platform that would not
# answer) proved nothing: it counts as a failure here.
if grep -E '^[[:space:]]*[0-9]+ - wine\..*\(Skipped\)' build/windows/ctest.log >/dev/null 2>&1; then
  echo "test.sh: Wine suites skipped:" >&2
  grep -E '^[[:space:]]*[0-9]+ - wine\..*\(Skipped\)' build/windows/ctest.log >&2
  failed=1
fi

# The packer's native tests once more, now with the Setup.exe the Windows
# build made: restamping it with its own payload must change nothing.
stage "the packer against the cross-built Setup.exe"
TENVIK_SETUP_EXE="$PWD/build/windows/Setup.exe" build/native/tests/native_tests \
  --gtest_filter='StampSetup.RestampingABuiltSetup*' --gtest_color=no 2>&1 | tee build/native/stamp-built.log ||
  failed=1
if ! grep -q '^\[  PASSED  \] 1 test' build/native/stamp-built.log || grep -q '\[  SKIPPED \]' build/native/stamp-built.log; then
  echo "test.sh: the built Setup.exe was not restamped" >&2
  failed=1
fi

stage "release roads: Setup.exe built each way the README and docs/release.md show"
bash scripts/check-release-roads.sh || failed=1

# tenvik-pack.exe for 64-bit Windows under 64-bit Wine, against the Linux
# build, and the release archives (scripts/release.sh) unpacked and used.
stage "Windows release tool and release archives"
bash scripts/check-windows-tools.sh || failed=1

# The NuGet package from those release files, used by a console project the
# SDK publishes for win-x64 (build/nuget-check, build/nuget-wine).
stage "the NuGet package: dotnet publish makes the Setup.exe"
bash scripts/check-nuget-package.sh --reuse || failed=1

if [ "$failed" -ne 0 ]; then
  echo "test.sh: some tests failed" >&2
  exit 1
fi
echo "test.sh: all tests passed in ${SECONDS}s"
