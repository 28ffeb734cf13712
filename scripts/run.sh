#!/usr/bin/env bash
# The main job: the whole road of a Setup.exe, end to end, on a fresh Wine
# prefix that has no .NET runtime, told step by step.
#
#   scripts/run.sh [--passive] [--runtime-present] [--runtime N] [--offline]
#                  [-- arguments for Setup.exe]
#
#   (default)          no runtime: Setup.exe runs --silent, downloads the
#                      runtime installer from a loopback download server, runs
#                      it with "/quiet /norestart", probes again, unpacks the
#                      sample application and runs it through dotnet.exe
#   --passive          the same without --silent: the installer gets
#                      "/passive /norestart" (its progress display)
#   --runtime-present  the short road: a runtime is registered already, so
#                      nothing is downloaded or installed
#   --runtime N        the application is built for .NET N (10: its
#                      runtimeconfig.json names Microsoft.WindowsDesktop.App
#                      10.0.0, samples/app-net10), Setup.exe is built with
#                      TENVIK_RUNTIME=desktop:N and asks for the installer at
#                      /dotnet/desktop?arch=amd64&version=N; the stand-in
#                      installer registers N.0.3
#   --offline          the runtime installer travels inside Setup.exe
#                      (TENVIK_RUNTIME_INSTALLERS) and no download server runs
#
# TENVIK_RUN_PORT picks another port for the loopback server (default 18580).
#
# No real .NET runtime can be had on Linux: the runtime installer and
# dotnet.exe are the tests' stand-ins. The installer registers a runtime the
# way the real one does; dotnet.exe reports what it received. Exits non-zero
# when any step did not happen as told.
set -euo pipefail
cd "$(dirname "$0")/.."

passive=false
runtime_present=false
major=6
offline=false
setup_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --passive) passive=true ;;
    --runtime-present) runtime_present=true ;;
    --runtime)
      [ $# -ge 2 ] && [[ $2 =~ ^[1-9][0-9]?[0-9]?$ ]] || { echo "run.sh: --runtime takes a major version, e.g. 10" >&2; exit 2; }
      major=$2; shift ;;
    --offline) offline=true ;;
    --) shift; setup_args+=("$@"); break ;;
    -h|--help) sed -n '2,30p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
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

port=${TENVIK_RUN_PORT:-18580}  # another port for a second run beside this one
base="http://127.0.0.1:$port"
build=build/main-job
jobs=-j"$(nproc 2>/dev/null || echo 2)"
# The rule the image carries, and the installer address it asks for: major 6
# keeps the historical addresses, any other major adds &version=N.
if [ "$major" = 6 ]; then
  rule="desktop+base:6"
  desktop_path="/dotnet/desktop?arch=amd64"
  app_dir="$PWD/samples/app"
  runtime_version=6.0.36
else
  rule="desktop:$major"
  desktop_path="/dotnet/desktop?arch=amd64&version=$major"
  runtime_version="$major.0.3"
  # samples/app with the runtimeconfig.json and deps.json of a .NET N
  # Desktop application (samples/app-net10, for N).
  app_dir="$PWD/$build/app-net$major"
  rm -rf "$app_dir" && mkdir -p "$app_dir" && cp -R samples/app/. "$app_dir/"
  sed "s/10\.0\.0/$major.0.0/; s/net10\.0/net$major.0/" samples/app-net10/Sample.App.runtimeconfig.json \
    >"$app_dir/Sample.App.runtimeconfig.json"
  sed "s/v10\.0/v$major.0/" samples/app-net10/Sample.App.deps.json >"$app_dir/Sample.App.deps.json"
fi
configure() {  # configure [TENVIK_RUNTIME_INSTALLERS]
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DTENVIK_DOWNLOAD_BASE="$base" \
    -DTENVIK_APP_DIR="$app_dir" -DTENVIK_RUNTIME="$rule" -DTENVIK_RUNTIME_INSTALLERS="${1:-}" >/dev/null
}
step "Building Setup.exe with the application $app_dir, the runtime rule $rule and the download base $base"
say "its runtimeconfig.json: $(tr -s ' \n' ' ' <"$app_dir/Sample.App.runtimeconfig.json")"
configure
cmake --build "$build" --target fake_dotnet fake_runtime_installer "$jobs" >/dev/null
installer_exe="$build/standins/fake_runtime_installer.exe"
if $offline; then
  # The installer is built (and signed as its publisher signs it) first, so
  # that Setup.exe can carry it, under the vendor's file name.
  bundled="$PWD/$build/bundled/windowsdesktop-runtime-$runtime_version-win-x64.exe"
  mkdir -p "$(dirname "$bundled")" && cp "$installer_exe" "$bundled"
  configure "desktop:x64=$bundled"
  say "TENVIK_RUNTIME_INSTALLERS=desktop:x64=$bundled: Setup.exe carries it as resource 201"
fi
cmake --build "$build" --target Setup "$jobs" >/dev/null
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

registered() { wine reg query "$desktop_key" 2>/dev/null | grep -q "^ *$major\\."; }

step "What the registry shows before the run"
if $runtime_present; then
  wine reg add "$desktop_key" /v "$runtime_version" /t REG_DWORD /d 1 /f >/dev/null
  wine reg add "$install_key" /v InstallLocation /t REG_SZ /d 'C:\Program Files\dotnet\' /f >/dev/null
  say "a .NET $major Windows Desktop runtime ($runtime_version) is registered under"
  say "HKLM\\SOFTWARE\\WOW6432Node\\dotnet\\Setup\\InstalledVersions\\x64\\sharedfx\\Microsoft.WindowsDesktop.App"
else
  say "Setup.exe looks for a .NET $major runtime of the machine's own architecture (x64) under"
  say "HKLM\\SOFTWARE\\WOW6432Node\\dotnet\\Setup\\InstalledVersions\\x64\\sharedfx: the Windows Desktop"
  if [ "$major" = 6 ]; then
    say "runtime first (Microsoft.WindowsDesktop.App), the base runtime (Microsoft.NETCore.App) as fallback"
    check "both are missing here, so Setup.exe has to install the Windows Desktop runtime" eval '! registered'
  else
    say "runtime (Microsoft.WindowsDesktop.App) alone: the rule $rule counts any version $major.x.y there,"
    say "and the base runtime alone would not run a Desktop application"
    check "it is missing here, so Setup.exe has to install the Windows Desktop runtime" eval '! registered'
  fi
fi

if $offline; then
  step "No download server: nothing listens on $base"
  say "the installer can only come out of Setup.exe itself"
else
  step "Starting the loopback download server on $base"
  sh tests/harness/http-server.sh start "$state" "$port" $((port + 1))
  cp "$installer_exe" "$state/installer.bin"
  printf '{"%s": {"status": 200, "body_file": "installer.bin"}}\n' "$desktop_path" >"$state/routes.json"
  say "it serves the stand-in runtime installer ($(stat -c %s "$state/installer.bin") bytes) at $base$desktop_path"
fi

export TENVIK_HOST_REPORT="$host_report"
export TENVIK_FAKE_INSTALLER_REPORT="$installer_report"
export TENVIK_FAKE_INSTALLER_REGISTER='SOFTWARE\WOW6432Node\dotnet\Setup\InstalledVersions\x64\sharedfx\Microsoft.WindowsDesktop.App'
export TENVIK_FAKE_INSTALLER_LOCATION='C:\Program Files\dotnet\'
export TENVIK_FAKE_INSTALLER_VERSION="$runtime_version"

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
elif $offline; then
  check "nothing was requested: the installer came out of Setup.exe" test -z "$requests"
else
  check "the Windows Desktop runtime installer for x64 was requested once, at $desktop_path" \
    test "$(printf '%s\n' "$requests" | grep -cF "GET $desktop_path Tenvik/9.0")" = 1
fi

step "Which installer ran, and how"
installer_log="$WINEPREFIX/drive_c/installer-report.txt"
if [ -f "$installer_log" ]; then
  sed -n 's/^command=/   command line: /p; s/^directory=/   working directory: /p; s/^module=/   its own file: /p' "$installer_log"
fi
if $runtime_present; then
  check "no installer ran" test ! -f "$installer_log"
else
  switches="/quiet /norestart"
  $passive && switches="/passive /norestart"
  from=downloaded
  $offline && from=bundled
  check "the $from DotNET-Setup.exe ran once from C:\\ProgramData\\Tenvik\\Runtime.tmp with \"$switches\"" \
    sh -c "grep -c '^run' '$installer_log' | grep -qx 1 &&
           grep -q '^command=\"*C:\\\\ProgramData\\\\Tenvik\\\\Runtime.tmp\\\\DotNET-Setup.exe\"* $switches\$' '$installer_log' &&
           grep -qi '^directory=C:\\\\ProgramData\\\\Tenvik\\\\Runtime.tmp\\\\*\$' '$installer_log'"
fi

step "What the registry shows after the run"
wine reg query "$desktop_key" 2>/dev/null | sed -n "s/^ *\($major\.[^ ]*\).*/   Microsoft.WindowsDesktop.App \1 is registered/p"
wine reg query "$install_key" /v InstallLocation 2>/dev/null | sed -n 's/^ *InstallLocation *REG_SZ *\(.*\)/   InstallLocation = \1/p'
check "a .NET $major Windows Desktop runtime is registered" registered

step "What dotnet.exe received"
report="$WINEPREFIX/drive_c/host-report.txt"
if [ -f "$report" ]; then
  files=$(grep -c '^file=' "$report" || true)
  directory=$(sed -n 's/^directory=//p' "$report" | tr -d '\r')
  say "working directory: $directory"
  say "parameters: $(sed -n 's/^parameters=//p' "$report")"
  say "$files files were unpacked there (the package file .package included):"
  sed -n 's/^file=\([^|]*\)|\([0-9]*\)|.*/     \1 (\2 bytes)/p' "$report"
  expected=$(( $(find "$app_dir" -type f | wc -l) + 1 ))
  check "every file of the application was unpacked, with the package file beside them" test "$files" = "$expected"
  check "dotnet.exe ran Sample.App.dll in ProgramData\\Tenvik\\Setup.tmp with the command line handed on" \
    grep -q "^parameters=C:\\\\ProgramData\\\\Tenvik\\\\Setup.tmp\\\\Sample.App.dll ${setup_args[*]}\$" "$report"
else
  check "dotnet.exe was started" false
fi
check "Setup.exe ended with dotnet.exe's exit code, 0" test "$code" = 0

step "What is left behind"
check "the work directory C:\\ProgramData\\Tenvik\\Setup.tmp is gone" \
  test ! -e "$WINEPREFIX/drive_c/ProgramData/Tenvik/Setup.tmp"
check "the installer's folder C:\\ProgramData\\Tenvik\\Runtime.tmp is gone" \
  test ! -e "$WINEPREFIX/drive_c/ProgramData/Tenvik/Runtime.tmp"
leftover=$(find "$WINEPREFIX/drive_c/users" -name DotNET-Setup.exe 2>/dev/null | head -n 1)
check "no DotNET-Setup.exe was ever put in the user's temporary directory" test -z "$leftover"

if [ "$problems" -ne 0 ]; then
  printf '\nmain job: %d step(s) did not happen as told\n' "$problems" >&2
  exit 1
fi
printf '\nmain job: every step happened as told; the prefix and the server are cleaned up now\n'
