#!/usr/bin/env bash
# The main job: builds Setup.exe and runs it end to end in a fresh Wine prefix
# on a machine where a .NET 6 runtime is registered. No real runtime can be had
# here, so the registered dotnet.exe is the stand-in host of the tests: it
# reports what it received. Any arguments are passed to Setup.exe.
#   scripts/run.sh [arguments for Setup.exe...]
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build "$build" --target Setup fake_dotnet -j"$(nproc 2>/dev/null || echo 2)"

export WINEPREFIX="$PWD/$build/run-prefix" WINEDEBUG=-all
unset DISPLAY
wineserver -k >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX"
echo "== booting a fresh Wine prefix in $WINEPREFIX"
mkdir -p "$WINEPREFIX"
sh -c 'exec </dev/null >/dev/null 2>&1; wineserver -p && wineboot -i'
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

# What a .NET 6 x64 runtime install leaves behind. The 32-bit reg tool writes
# into the 32-bit view, where the runtime's installers keep these keys too.
key='HKLM\SOFTWARE\dotnet\Setup\InstalledVersions\x64'
wine reg add "$key\\sharedfx\\Microsoft.WindowsDesktop.App" /v 6.0.36 /t REG_DWORD /d 1 /f >/dev/null
wine reg add "$key" /v InstallLocation /t REG_SZ /d 'C:\Program Files\dotnet\' /f >/dev/null
mkdir -p "$WINEPREFIX/drive_c/Program Files/dotnet"
cp "$build/standins/fake_dotnet.exe" "$WINEPREFIX/drive_c/Program Files/dotnet/dotnet.exe"

export TENVIK_HOST_REPORT='C:\host-report.txt'
echo "== running Setup.exe $*"
set +e
wine "$build/Setup.exe" "$@" </dev/null
code=$?
set -e
echo "Setup.exe exit code (low 8 bits, as Linux sees it): $code"
echo "== what dotnet.exe received"
cat "$WINEPREFIX/drive_c/host-report.txt" 2>/dev/null || echo "(dotnet.exe was not started)"
if [ -e "$WINEPREFIX/drive_c/ProgramData/Tenvik/Setup.tmp" ]; then
  echo "work directory left behind" >&2
  exit 1
fi
echo "work directory removed: yes"
