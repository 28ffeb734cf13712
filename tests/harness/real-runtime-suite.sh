#!/usr/bin/env bash
# The Wine suite on a real .NET runtime: real C# applications built by the
# SDK, started by Setup.exe through a runtime laid out from the vendor's
# packs (tests/harness/real-runtime.sh), in a prefix of its own.
#
#   real-runtime-suite.sh BUILD_DIR HTTP_STATE HTTP_PORT
#
# BUILD_DIR is the Windows build tree (Setup.exe, the stand-in installer, the
# host packer); HTTP_STATE and HTTP_PORT the loopback download server of the
# test run. What it shows, each as "ok:" or "FAILED:" lines:
#   1. what Wine needs for CoreCLR to start: one line, measured with and
#      without Wine's mscoree (WINEDLLOVERRIDES=mscoree=);
#   2. the road: a prefix without runtime, Setup.exe with the .NET 6 sample
#      under the default rule, the laying-out installer downloaded and run,
#      the application's own report (arguments, working directory, framework)
#      and its exit code as Setup.exe's; then the same for the .NET 10 sample,
#      and for it built for x86 on a 32-bit Windows prefix;
#   3. the rule against the real host: for applications asking for 10.0.0, a
#      higher patch and each rollForward value, on machines with a real 10.x,
#      8.x or none, the image's probe verdict (Setup.exe runs the application
#      or ends with 1) against hostfxr's own (dotnet.exe runs it, or answers
#      "framework not found"), which must agree in every case;
#   4. the packer's refusals on what the SDK writes: framework-dependent,
#      ReadyToRun, self-contained, single-file.
# Restored packs and published samples are kept between runs (the NuGet cache
# and BUILD_DIR/real-runtime). Exits non-zero on any failure, including packs
# that cannot be restored.
set -uo pipefail
build=$(cd "$1" && pwd)
http_state=$2
port=$3
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
export TENVIK_REAL_RUNTIME_WORK=$build/real-runtime
work=$TENVIK_REAL_RUNTIME_WORK
prefix=$build/wineprefix-real
packer=$build/host-tools/tenvik-pack
layout=$here/real-runtime.sh
eval "$(bash "$layout" env)"
export WINEPREFIX=$prefix WINEDEBUG=-all
unset DISPLAY WINEDLLOVERRIDES  # Wine's mscoree must stay on: see real-runtime.sh

failures=0
ok() { echo "ok: $*"; }
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
check() {  # check "claim" command...
  local claim=$1; shift
  if "$@"; then ok "$claim"; else fail "$claim"; fi
}
mkdir -p "$work"

# Published samples: dotnet publish again only when a source changed.
publish() {  # publish NAME PROJECT_DIR [dotnet publish options...]
  local name=$1 project=$2 out=$work/apps/$1
  shift 2
  if [ -f "$out/.done" ] && [ -z "$(find "$project" "$source_dir/samples/app" -newer "$out/.done" -type f)" ]; then
    echo "$out"; return 0
  fi
  rm -rf "$out"
  if ! dotnet publish "$project" -c Release -o "$out" --artifacts-path "$work/artifacts/$name" "$@" \
       >"$work/publish-$name.log" 2>&1; then
    cat "$work/publish-$name.log" >&2
    return 1
  fi
  touch "$out/.done"
  echo "$out"
}
report_value() { sed -n "s/^$2=//p" "$1" | tr -d '\r' | head -n 1; }

app6=$(publish net6 "$source_dir/samples/app") || { fail "dotnet publish of samples/app"; exit 1; }
app10=$(publish net10 "$source_dir/samples/app-net10") || { fail "dotnet publish of samples/app-net10"; exit 1; }
app10x86=$(publish net10-x86 "$source_dir/samples/app-net10" -r win-x86) || { fail "dotnet publish for win-x86"; exit 1; }
for layout_case in x64:desktop:6 x64:desktop:10 x64:desktop:8 x86:desktop:10; do
  staged=$work/staged/${layout_case#x64:}
  staged=${staged//:/-}
  if [ ! -f "$staged/dotnet.exe" ]; then
    bash "$layout" --arch "${layout_case%%:*}" layout "$staged" "${layout_case#*:}" || { fail "laying out $layout_case (packs restored?)"; exit 1; }
  fi
done
winpath() { wine winepath -w "$1" 2>/dev/null | tr -d '\r'; }

prefix32=$build/wineprefix-real32
bash "$here/wine-prefix.sh" up "$prefix" || { fail "a fresh prefix"; exit 1; }
trap 'bash "$here/wine-prefix.sh" down "$prefix"; bash "$here/wine-prefix.sh" down "$prefix32"' EXIT
drive_c=$prefix/drive_c
dotnet_dir="$drive_c/Program Files/dotnet"

# 1. CoreCLR under this Wine: a .NET 10 start as is, and one with Wine's
# mscoree turned off. A failed start also wakes Wine's crash debugger.
mkdir -p "$drive_c/apps" && cp -R "$app10" "$drive_c/apps/net10" && cp -R "$app6" "$drive_c/apps/net6"
cp -R "$work/staged/desktop-10" "$drive_c/probe-dotnet"
start_probe() {  # start_probe [VARIABLE=VALUE...]: prints the framework or the failure
  rm -f "$drive_c/probe.txt"
  timeout 120 env "$@" wine 'C:\probe-dotnet\dotnet.exe' 'C:\apps\net10\Sample.App.dll' --report 'C:\probe.txt' \
    >"$work/probe.log" 2>&1 </dev/null
  if [ -f "$drive_c/probe.txt" ]; then report_value "$drive_c/probe.txt" framework; else
    grep -m1 -o 'FileNotFoundException: Could not load file or assembly .*\.dll.\. [A-Za-z ]*\.' "$work/probe.log" ||
      echo "exit $?, see $work/probe.log"
  fi
}
as_is=$(start_probe)
without_mscoree=$(start_probe WINEDLLOVERRIDES=mscoree=)
echo "Wine and CoreCLR: .NET 10.0.15 as is: $as_is; with Wine's mscoree off (WINEDLLOVERRIDES=mscoree=): $without_mscoree"
check "CoreCLR 10 starts under this Wine with no runtime switch" test "$as_is" = ".NET 10.0.15"
rm -rf "$drive_c/probe-dotnet" "$drive_c/probe.txt"

# 2. The road. The installer stand-in lays out and registers the staged
# runtime, as the vendor's does; the applications run on what it laid out.
serve() {  # serve TARGET: the signed stand-in installer at that address only
  cp "$build/standins/fake_runtime_installer.exe" "$http_state/real-installer.bin"
  printf '{"%s": {"status": 200, "body_file": "real-installer.bin"}}\n' "$1" >"$http_state/routes.json"
}
export TENVIK_FAKE_INSTALLER_LOCATION='C:\Program Files\dotnet\'
export TENVIK_FAKE_INSTALLER_REPORT='C:\installer-report.txt'
road() {  # road LABEL SETUP STAGED TARGET FRAMEWORK_WORDS
  local label=$1 setup=$2 staged=$3 target=$4 expected=$5 report=$drive_c/road-report.txt
  rm -f "$report" "$drive_c/installer-report.txt"
  serve "$target"
  TENVIK_FAKE_INSTALLER_LAYOUT=$(winpath "$work/staged/$staged") \
    timeout 300 wine "$setup" --silent --report 'C:\road-report.txt' --exit 42 </dev/null >/dev/null 2>&1
  local code=$?
  check "$label: the installer was downloaded from $target and laid out $(sed -n 's/^laid_out=//p' "$drive_c/installer-report.txt" 2>/dev/null | tr -d '\r')" \
    grep -q "^laid_out=.*Microsoft.NETCore.App" "$drive_c/installer-report.txt"
  if [ ! -f "$report" ]; then fail "$label: the application reported nothing (Setup.exe exit code $code)"; return; fi
  echo "   the application saw: $(report_value "$report" command_line)"
  echo "   in $(report_value "$report" directory), on $(report_value "$report" framework)"
  echo "   from $(report_value "$report" framework_directory) and $(report_value "$report" desktop_framework_directory)"
  check "$label: it ran on $expected" test "$(report_value "$report" framework)" = "$expected"
  check "$label: in C:\\ProgramData\\Tenvik\\Setup.tmp" \
    test "$(report_value "$report" directory)" = 'C:\ProgramData\Tenvik\Setup.tmp'
  check "$label: with Setup.exe's arguments handed on" \
    test "$(sed -n 's/^arg=//p' "$report" | tr -d '\r' | tr '\n' ' ')" = "--silent --report C:\\road-report.txt --exit 42 "
  check "$label: on the Windows Desktop framework the installer laid out" \
    grep -q '^desktop_framework_directory=C:\\Program Files\\dotnet\\shared\\Microsoft.WindowsDesktop.App\\' "$report"
  check "$label: Setup.exe ended with the application's exit code, 42" test "$code" = 42
  check "$label: the work directory is gone" test ! -e "$drive_c/ProgramData/Tenvik/Setup.tmp"
}
image() {  # image OUTPUT APP_DIR [pack options...]: Setup.exe stamped with an application
  local out=$1 app=$2
  shift 2
  "$packer" pack --stub "$build/Setup.exe" --entry Sample.App.dll --output "$out" "$@" "$app" >"$out.log" 2>&1
}
rule_of() { sed -n 's/^tenvik-pack: runtime rule \([^ ]*\).*/\1/p' "$1"; }  # rule_of LOG: the rule stamped
mkdir -p "$work/images"
image "$work/images/net6.exe" "$app6" --runtime desktop+base:6 || fail "stamping the .NET 6 sample"
image "$work/images/net10.exe" "$app10" || fail "stamping the .NET 10 sample"
image "$work/images/net10-x86.exe" "$app10x86" || fail "stamping the .NET 10 sample for x86"
road ".NET 6 sample, default rule desktop+base:6" "$work/images/net6.exe" desktop-6 \
  '/dotnet/desktop?arch=amd64' '.NET 6.0.36'
road ".NET 10 sample, rule $(rule_of "$work/images/net10.exe.log") from the app" \
  "$work/images/net10.exe" desktop-10 '/dotnet/desktop?arch=amd64&version=10' '.NET 10.0.15'

# The same on 32-bit Windows, where Setup.exe reads the x86 keys and the
# installer registers the x86 runtime it lays out.
bash "$here/wine-prefix.sh" up "$prefix32" win32 || fail "a fresh 32-bit prefix"
before=$failures
( export WINEPREFIX=$prefix32 TENVIK_FAKE_INSTALLER_INSTALL_KEY='SOFTWARE\dotnet\Setup\InstalledVersions\x86'
  drive_c=$prefix32/drive_c
  road ".NET 10 sample for x86 on 32-bit Windows" "$work/images/net10-x86.exe" x86-desktop-10 \
    '/dotnet/desktop?arch=x86&version=10' '.NET 10.0.12'
  exit $((failures - before)) ) || failures=$((failures + $?))
bash "$here/wine-prefix.sh" down "$prefix32"

# 3. The rule against the real host. Each application is the .NET 10 sample
# with another runtimeconfig.json; each machine a laid-out runtime, its
# registry as the vendor's installer leaves it. No installer is served, so a
# probe that is not met ends Setup.exe with 1 before the host starts.
matrix_app() {  # matrix_app NAME VERSION [ROLLFORWARD]
  local dir=$work/matrix/$1
  rm -rf "$dir" && cp -R "$app10" "$dir"
  local roll=""
  [ -n "${3:-}" ] && roll=", \"rollForward\": \"$3\""
  printf '{ "runtimeOptions": { "tfm": "net10.0"%s, "frameworks": [ { "name": "Microsoft.NETCore.App", "version": "%s" }, { "name": "Microsoft.WindowsDesktop.App", "version": "%s" } ] } }\n' \
    "$roll" "$2" "$2" >"$dir/Sample.App.runtimeconfig.json"
  image "$work/matrix/$1.exe" "$dir"
}
mkdir -p "$work/matrix"
apps=()
for matrix_case in "asks-10.0.0 10.0.0" "asks-10.0.16 10.0.16" "disable 10.0.0 Disable" "disable-10.0.15 10.0.15 Disable" \
            "latest-patch 10.0.0 LatestPatch" "minor 10.0.0 Minor" "latest-minor 10.0.0 LatestMinor" \
            "major 10.0.0 Major" "latest-major 10.0.0 LatestMajor" "major-from-9 9.0.0 Major" \
            "latest-major-from-9 9.0.0 LatestMajor"; do
  # shellcheck disable=SC2086
  set -- $matrix_case
  if matrix_app "$@"; then apps+=("$1"); else
    fail "the packer refused $1: $(tail -n 1 "$work/matrix/$1.exe.log")"
  fi
done
echo "{}" >"$http_state/routes.json"
machine() {  # machine NAME: the runtime of that machine laid out and registered
  rm -rf "$dotnet_dir"
  wine reg delete 'HKLM\SOFTWARE\dotnet' /f >/dev/null 2>&1
  case "$1" in
    none) mkdir -p "$dotnet_dir" && cp -R "$work/staged/desktop-10/host" "$work/staged/desktop-10/dotnet.exe" \
            "$dotnet_dir/" ;;  # a host, but no framework
    *) cp -R "$work/staged/desktop-$1" "$dotnet_dir" && bash "$layout" register "$prefix" "$dotnet_dir" ;;
  esac
}
for m in 10 8 none; do
  machine "$m"
  for a in "${apps[@]}"; do
    rm -f "$drive_c/setup.txt" "$drive_c/host.txt"
    timeout 120 wine "$work/matrix/$a.exe" --silent --report 'C:\setup.txt' </dev/null >/dev/null 2>&1
    setup_code=$?
    mkdir -p "$drive_c/apps/$a" && cp -R "$work/matrix/$a/." "$drive_c/apps/$a/"
    timeout 120 wine 'C:\Program Files\dotnet\dotnet.exe' "C:\\apps\\$a\\Sample.App.dll" --report 'C:\host.txt' \
      </dev/null >"$work/matrix/$a-on-$m.log" 2>&1
    host_code=$?
    probe=refused; [ -f "$drive_c/setup.txt" ] && probe=runs
    [ "$probe" = refused ] && [ "$setup_code" != 1 ] && probe="exit $setup_code"
    host=refused; [ -f "$drive_c/host.txt" ] && host="runs on $(report_value "$drive_c/host.txt" framework)"
    # 150: the low byte of 0x80008096, the host's "framework missing".
    if [ "$host" = refused ] && ! { [ "$host_code" = 150 ] && grep -q 'must install or update .NET' "$work/matrix/$a-on-$m.log"; }; then
      host="exit $host_code, no framework-not-found answer"
    fi
    check "machine with ${m/none/no runtime}: $a ($(rule_of "$work/matrix/$a.exe.log")): image $probe, host ${host}" \
      test "$probe" = "${host%% on *}"
  done
done

# 4. The packer on what the SDK writes.
refusal() {  # refusal LABEL EXPECTED_EXIT [publish options...]
  local label=$1 expected=$2 dir
  shift 2
  dir=$(publish "shape-$label" "$source_dir/samples/app-net10" "$@") || { fail "$label: dotnet publish"; return; }
  "$packer" pack --stub "$build/Setup.exe" --entry Sample.App.dll --output "$work/images/$label.exe" "$dir" \
    >"$work/images/$label.log" 2>&1
  local code=$?
  check "packer on a $label publish: exit $code (expected $expected) $(grep -v '^tenvik-pack: [0-9]* entries\|runtime rule' "$work/images/$label.log" | head -n 1)" \
    test "$code" = "$expected"
}
refusal framework-dependent 0
refusal ready-to-run 0 -p:PublishReadyToRun=true
refusal self-contained 8 --self-contained true -p:UseAppHost=true
refusal single-file 1 -p:PublishSingleFile=true -p:UseAppHost=true --self-contained false

echo
[ "$failures" -eq 0 ] && { echo "real runtime: every check passed"; exit 0; }
echo "real runtime: $failures check(s) failed"
exit 1
