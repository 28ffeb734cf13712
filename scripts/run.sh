#!/usr/bin/env bash
# The main job: the whole road of a Setup.exe, end to end, on a fresh Wine
# prefix that has no .NET runtime, told step by step.
#
#   scripts/run.sh [--passive] [--runtime-present] [-- arguments for Setup.exe]
#
#   (default)          no runtime: Setup.exe runs --silent, downloads the
#                      runtime installer from a loopback download server, runs
#                      it with "/quiet /norestart", probes again, unpacks the
#                      sample application and runs it through dotnet.exe
#   --passive          the same without --silent: the installer gets
#                      "/passive /norestart" (its progress display)
#   --runtime-present  the short road: a runtime is registered already, so
#                      nothing is downloaded or installed
#
# No real .NET runtime can be had on Linux: the runtime installer and
# dotnet.exe are the tests' stand-ins. The installer registers a runtime the
# way the real one does; dotnet.exe reports what it received. Exits non-zero
# when any step did not happen as told.
set -euo pipefail
cd "$(dirname "$0")/.."

passive=false
runtime_present=false
setup_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --passive) passive=true ;;
    --runtime-present) runtime_present=true ;;
    --) shift; setup_args+=("$@"); break ;;
    -h|--help) sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) setup_args+=("$1") ;;
  esac
  shift
done
$passive || setup_args=(--silent "${setup_args[@]}")

step() { printf '\n== %s\n' "$*"; }
say() { printf '   %s\n' "$*"; }
problems=0
check() {  # check "what should be true" command...
  local claim=$1; shift
  if "$@"; then say "ok: $claim"; else say "NOT AS TOLD: $claim"; problems=$((problems + 1)); fi
}

step "Installing what is missing (Debian packages; a ready machine takes seconds)"
bash scripts/install-deps.sh

port=18580
base="http://127.0.0.1:$port"
build=build/main-job
step "Building Setup.exe with the sample application (samples/app) and the download base $base"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DTENVIK_DOWNLOAD_BASE="$base" >/dev/null
cmake --build "$build" --target Setup fake_dotnet fake_runtime_installer -j"$(nproc 2>/dev/null || echo 2)" >/dev/null
installer_exe="$build/standins/fake_runtime_installer.exe"
say "Setup.exe: $build/Setup.exe ($(stat -c %s "$build/Setup.exe") bytes)"

export WINEPREFIX="$PWD/$build/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
state="$PWD/$build/http-state"
cleanup() {
  sh tests/harness/http-server.sh stop "$state" >/dev/null 2>&1 || true
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX" "$state"
}
trap cleanup EXIT
wineserver -k >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX" "$state"
step "Making a fresh Windows (64-bit Wine prefix) in $WINEPREFIX"
mkdir -p "$WINEPREFIX"
sh -c 'exec </dev/null >/dev/null 2>&1; wineserver -p && wineboot -i && wine cmd /c exit 0'
say "booted; Setup.exe is a 32-bit program, so it sees 64-bit Windows through WOW64"

# Where the 64-bit runtime's installers leave their keys; the 32-bit reg
# tool writes the same 32-bit view that Setup.exe reads.
install_key='HKLM\SOFTWARE\dotnet\Setup\InstalledVersions\x64'
desktop_key="$install_key\\sharedfx\\Microsoft.WindowsDesktop.App"
program_files_dotnet="$WINEPREFIX/drive_c/Program Files/dotnet"
host_report='C:\host-report.txt'
installer_report='C:\installer-report.txt'
mkdir -p "$program_files_dotnet"
# A real runtime installer puts dotnet.exe there; the stand-in installer only
# registers, so the stand-in host is put in its place beforehand.
cp "$build/standins/fake_dotnet.exe" "$program_files_dotnet/dotnet.exe"

registered() { wine reg query "$desktop_key" 2>/dev/null | grep -q '6\.0\.'; }

step "What the registry shows before the run"
if $runtime_present; then
  wine reg add "$desktop_key" /v 6.0.36 /t REG_DWORD /d 1 /f >/dev/null
  wine reg add "$install_key" /v InstallLocation /t REG_SZ /d 'C:\Program Files\dotnet\' /f >/dev/null
  say "a .NET 6 Windows Desktop runtime (6.0.36) is registered under"
  say "HKLM\\SOFTWARE\\WOW6432Node\\dotnet\\Setup\\InstalledVersions\\x64\\sharedfx\\Microsoft.WindowsDesktop.App"
else
  say "Setup.exe looks for a .NET 6 runtime of the machine's own architecture (x64) under"
  say "HKLM\\SOFTWARE\\WOW6432Node\\dotnet\\Setup\\InstalledVersions\\x64\\sharedfx: the Windows Desktop"
  say "runtime first (Microsoft.WindowsDesktop.App), the base runtime (Microsoft.NETCore.App) as fallback"
  check "both are missing here, so Setup.exe has to install the Windows Desktop runtime" eval '! registered'
fi

step "Starting the loopback download server on $base"
sh tests/harness/http-server.sh start "$state" "$port" $((port + 1))
cp "$installer_exe" "$state/installer.bin"
cat >"$state/routes.json" <<EOF
{"/dotnet/desktop?arch=amd64": {"status": 200, "body_file": "installer.bin"}}
EOF
say "it serves the stand-in runtime installer ($(stat -c %s "$state/installer.bin") bytes) at $base/dotnet/desktop?arch=amd64"

export TENVIK_HOST_REPORT="$host_report"
export TENVIK_FAKE_INSTALLER_REPORT="$installer_report"
export TENVIK_FAKE_INSTALLER_REGISTER='SOFTWARE\WOW6432Node\dotnet\Setup\InstalledVersions\x64\sharedfx\Microsoft.WindowsDesktop.App'
export TENVIK_FAKE_INSTALLER_LOCATION='C:\Program Files\dotnet\'

step "Running Setup.exe ${setup_args[*]}"
set +e
wine "$build/Setup.exe" "${setup_args[@]}" </dev/null
code=$?
set -e
say "Setup.exe ended with exit code $code (as Linux sees it: the low 8 bits)"

step "What was requested from the download server"
requests=$(grep -v ' TLS ' "$state/requests.log" 2>/dev/null || true)
if [ -n "$requests" ]; then
  printf '%s\n' "$requests" | while read -r via method target agent; do
    say "$method $base$target (user agent $agent)"
  done
fi
if $runtime_present; then
  check "nothing was downloaded: the runtime was there" test -z "$requests"
else
  check "the Windows Desktop runtime installer for x64 was requested once" \
    test "$(printf '%s\n' "$requests" | grep -c 'GET /dotnet/desktop?arch=amd64 Tenvik/9.0')" = 1
fi

step "Which installer ran, and how"
installer_log="$WINEPREFIX/drive_c/installer-report.txt"
if [ -f "$installer_log" ]; then
  sed -n 's/^command=/   command line: /p; s/^directory=/   working directory: /p' "$installer_log"
fi
if $runtime_present; then
  check "no installer ran" test ! -f "$installer_log"
else
  switches="/quiet /norestart"
  $passive && switches="/passive /norestart"
  check "the downloaded DotNET-Setup.exe ran once from the temporary directory with \"$switches\"" \
    sh -c "grep -c '^run' '$installer_log' | grep -qx 1 && grep -q '^command=.*DotNET-Setup.exe\"* $switches\$' '$installer_log'"
fi

step "What the registry shows after the run"
wine reg query "$desktop_key" 2>/dev/null | sed -n 's/^ *\(6\.[^ ]*\).*/   Microsoft.WindowsDesktop.App \1 is registered/p'
wine reg query "$install_key" /v InstallLocation 2>/dev/null | sed -n 's/^ *InstallLocation *REG_SZ *\(.*\)/   InstallLocation = \1/p'
check "a .NET 6 Windows Desktop runtime is registered" registered

step "What dotnet.exe received"
report="$WINEPREFIX/drive_c/host-report.txt"
if [ -f "$report" ]; then
  files=$(grep -c '^file=' "$report" || true)
  directory=$(sed -n 's/^directory=//p' "$report" | tr -d '\r')
  say "working directory: $directory"
  say "parameters: $(sed -n 's/^parameters=//p' "$report")"
  say "$files files were unpacked there (the package file .package included):"
  sed -n 's/^file=\([^|]*\)|\([0-9]*\)|.*/     \1 (\2 bytes)/p' "$report"
  expected=$(( $(find samples/app -type f | wc -l) + 1 ))
  check "every file of samples/app was unpacked, with the package file beside them" test "$files" = "$expected"
  check "dotnet.exe ran Sample.App.dll in ProgramData\\Tenvik\\Setup.tmp with the command line handed on" \
    grep -q "^parameters=C:\\\\ProgramData\\\\Tenvik\\\\Setup.tmp\\\\Sample.App.dll ${setup_args[*]}\$" "$report"
else
  check "dotnet.exe was started" false
fi
check "Setup.exe ended with dotnet.exe's exit code, 0" test "$code" = 0

step "What is left behind"
check "the work directory C:\\ProgramData\\Tenvik\\Setup.tmp is gone" \
  test ! -e "$WINEPREFIX/drive_c/ProgramData/Tenvik/Setup.tmp"
leftover=$(find "$WINEPREFIX/drive_c/users" -name DotNET-Setup.exe 2>/dev/null | head -n 1)
check "the downloaded installer DotNET-Setup.exe is gone from the temporary directory" test -z "$leftover"

if [ "$problems" -ne 0 ]; then
  printf '\nmain job: %d step(s) did not happen as told\n' "$problems" >&2
  exit 1
fi
printf '\nmain job: every step happened as told; the prefix and the server are cleaned up now\n'
