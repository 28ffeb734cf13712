#!/usr/bin/env bash
# The main job: the whole road of a Setup.exe, end to end, on a fresh Wine
# prefix that has no .NET runtime, told step by step.
#
#   scripts/run.sh [--passive] [--runtime-present] [--runtime N] [--offline]
#                  [--port PORT] [-- arguments for Setup.exe]
#
#   (default)          no runtime: Setup.exe, built with the sample application
#                      of samples/app (a C# program for .NET 6, published by
#                      the SDK), runs --silent, downloads the runtime installer
#                      from a loopback download server, runs it with
#                      "/quiet /norestart", probes again, unpacks the
#                      application and runs it through dotnet.exe on the real
#                      runtime the installer laid out
#   --passive          the same without --silent: the installer gets
#                      "/passive /norestart" (its progress display)
#   --runtime-present  the short road: a runtime is laid out and registered
#                      already, so nothing is downloaded or installed
#   --runtime N        the application is built for .NET N (samples/app-net10
#                      for 10, else samples/app for netN.0-windows), Setup.exe
#                      is built with TENVIK_RUNTIME=desktop:N and asks for the
#                      installer at /dotnet/desktop?arch=amd64&version=N;
#                      N is 6, 8, 9 or 10 (the majors whose runtime packs
#                      tests/harness/real-runtime.sh knows)
#   --offline          the runtime installer travels inside Setup.exe
#                      (TENVIK_RUNTIME_INSTALLERS) and no download server runs
#   --port PORT        the loopback server's port (its proxy takes PORT + 1);
#                      default TENVIK_RUN_PORT, else 18580
#
# The runtime is real: the vendor's win-x64 runtime packs, restored into the
# NuGet cache by the .NET SDK and laid out as an install leaves them
# (tests/harness/real-runtime.sh). Two parts are the tests' stand-ins: the
# runtime installer (the vendor's cannot be had; ours copies that runtime into
# C:\Program Files\dotnet and registers it as the vendor's does) and the
# muxer dotnet.exe (the vendor's comes in no package; ours hands its command
# line to the runtime's own hostfxr). The sample application writes what it
# saw, and Setup.exe's exit code must be the one it chose. Exits non-zero when
# any step did not happen as told.
set -euo pipefail
cd "$(dirname "$0")/.."

passive=false
port=${TENVIK_RUN_PORT:-18580}  # another port for a second run beside this one
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
    --port)
      [ $# -ge 2 ] && [[ $2 =~ ^[1-9][0-9]{0,4}$ ]] || { echo "run.sh: --port takes a port number" >&2; exit 2; }
      port=$2; shift ;;
    --) shift; setup_args+=("$@"); break ;;
    -h|--help) sed -n '2,41p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) setup_args+=("$1") ;;
  esac
  shift
done
$passive || setup_args=(--silent "${setup_args[@]}")
app_exit=42  # the exit code the application chooses, and Setup.exe must end with
app_report='C:\app-report.txt'
setup_args+=(--report "$app_report" --exit "$app_exit")

step() { printf '\n== %s\n' "$*"; }
say() { printf '   %s\n' "$*"; }
problems=0
check() {  # check "what should be true" command...
  local claim=$1; shift
  if "$@"; then say "ok: $claim"; else say "NOT AS TOLD: $claim"; problems=$((problems + 1)); fi
}

step "Installing what is missing (Debian packages; a ready machine takes seconds)"
bash scripts/install-deps.sh

base="http://127.0.0.1:$port"
build=build/main-job
jobs=-j"$(nproc 2>/dev/null || echo 2)"
# The rule the image carries, and the installer address it asks for: major 6
# keeps the historical addresses, any other major adds &version=N.
real_runtime() { TENVIK_REAL_RUNTIME_WORK="$PWD/$build/real-runtime" bash tests/harness/real-runtime.sh "$@"; }
project=samples/app
publish_options=()
if [ "$major" = 6 ]; then
  rule="desktop+base:6"
  desktop_path="/dotnet/desktop?arch=amd64"
else
  rule="desktop:$major"
  desktop_path="/dotnet/desktop?arch=amd64&version=$major"
  if [ "$major" = 10 ]; then project=samples/app-net10; else publish_options=(-p:SampleTargetFramework="net$major.0-windows"); fi
fi
runtime_version=$(real_runtime version "desktop:$major") || exit 2
base_version=$(real_runtime version "base:$major")  # what the application reports as its framework
app_dir="$PWD/$build/app"
mkdir -p "$build"
step "Publishing the sample application $project with the .NET SDK"
rm -rf "$app_dir"
dotnet publish "$project" -c Release -o "$app_dir" --artifacts-path "$build/app-artifacts-$major" \
  "${publish_options[@]}" >"$build/publish.log" 2>&1 || { cat "$build/publish.log" >&2; exit 1; }
say "$app_dir: $(cd "$app_dir" && ls | tr '\n' ' ')"
step "Laying out the real .NET $major runtime (Windows Desktop $runtime_version, base $base_version, x64) from the vendor's runtime packs"
staged="$PWD/$build/real-runtime/staged-$major"
real_runtime layout "$staged" "desktop:$major"
say "$staged: dotnet.exe, host\\fxr, shared\\{$(ls "$staged/shared" | tr '\n' ',' | sed 's/,$//')}"
configure() {  # configure [TENVIK_RUNTIME_INSTALLERS]
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DTENVIK_DOWNLOAD_BASE="$base" \
    -DTENVIK_APP_DIR="$app_dir" -DTENVIK_RUNTIME="$rule" -DTENVIK_RUNTIME_INSTALLERS="${1:-}" >/dev/null
}
step "Building Setup.exe with the application $app_dir, the runtime rule $rule and the download base $base"
say "its runtimeconfig.json: $(tr -s ' \n' ' ' <"$app_dir/Sample.App.runtimeconfig.json")"
configure
cmake --build "$build" --target fake_runtime_installer "$jobs" >/dev/null
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

export WINEPREFIX="$PWD/$build/prefix" WINEDEBUG=-all
unset DISPLAY
eval "$(real_runtime env)"  # no DOTNET_* variable of this side reaches Windows
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
# No Mono or Gecko offer while the prefix is made; Wine's mscoree stays on
# for the runs, since Wine loads the runtime's assemblies through it.
WINEDLLOVERRIDES="mscoree,mshtml=" sh -c 'exec </dev/null >/dev/null 2>&1; wineserver -p && wineboot -i && wine cmd /c exit 0'
say "booted; Setup.exe is a 32-bit program, so it sees 64-bit Windows through WOW64"

# Where the 64-bit runtime's installers leave their keys; the 32-bit reg
# tool writes the same 32-bit view that Setup.exe reads.
install_key='HKLM\SOFTWARE\dotnet\Setup\InstalledVersions\x64'
desktop_key="$install_key\\sharedfx\\Microsoft.WindowsDesktop.App"
installer_report='C:\installer-report.txt'
registered() { wine reg query "$desktop_key" 2>/dev/null | grep -q "^ *$major\\."; }

step "What the registry shows before the run"
if $runtime_present; then
  cp -R "$staged" "$WINEPREFIX/drive_c/Program Files/dotnet"
  real_runtime register "$WINEPREFIX" "$WINEPREFIX/drive_c/Program Files/dotnet"
  say "the real .NET $major runtime is laid out in C:\Program Files\dotnet and registered; the Windows"
  say "Desktop runtime ($runtime_version) under"
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

export TENVIK_FAKE_INSTALLER_REPORT="$installer_report"
TENVIK_FAKE_INSTALLER_LAYOUT=$(wine winepath -w "$staged" 2>/dev/null | tr -d '\r')
export TENVIK_FAKE_INSTALLER_LAYOUT TENVIK_FAKE_INSTALLER_LOCATION='C:\Program Files\dotnet\'

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
  sed -n 's/^command=/   command line: /p; s/^directory=/   working directory: /p; s/^module=/   its own file: /p; s/^laid_out=/   laid out: /p' "$installer_log"
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

step "What the application itself reported (C:\\app-report.txt)"
report="$WINEPREFIX/drive_c/app-report.txt"
value() { sed -n "s/^$1=//p" "$report" | tr -d '\r' | head -n 1; }
if [ -f "$report" ]; then
  say "its command line: $(value command_line)"
  say "its arguments: $(sed -n 's/^arg=//p' "$report" | tr -d '\r' | tr '\n' ' ')"
  say "its working directory: $(value directory)"
  say "the framework it ran on: $(value framework)"
  say "loaded from: $(value framework_directory)"
  say "and the Desktop framework from: $(value desktop_framework_directory)"
  say "elevated (IsUserAnAdmin): $(value elevated); the exit code it chose: $(value exit)"
  check "dotnet.exe ran Sample.App.dll in ProgramData\\Tenvik\\Setup.tmp with the command line handed on" \
    test "$(value command_line)" = "C:\\ProgramData\\Tenvik\\Setup.tmp\\Sample.App.dll ${setup_args[*]}"
  check "its working directory was C:\\ProgramData\\Tenvik\\Setup.tmp" \
    test "$(value directory)" = 'C:\ProgramData\Tenvik\Setup.tmp'
  check "it ran on the real .NET runtime $base_version" test "$(value framework)" = ".NET $base_version"
else
  check "the application ran and wrote its report" false
fi
check "Setup.exe ended with the application's exit code, $app_exit" test "$code" = "$app_exit"

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
