#!/usr/bin/env bash
# The Tenvik.Setup NuGet package, used as a developer uses it:
#   1. scripts/release.sh makes it (--reuse: take build/release/dist as it
#      is); SHA256SUMS lists it; its layout is as docs/nuget-package.md
#      says, and that page's property table names exactly the targets'
#      properties;
#   2. the console project of tests/nuget/ references it from a local folder
#      feed and `dotnet publish -c Release -r win-x64 --self-contained false`
#      writes bin/.../win-x64/SetupConsole-Setup.exe, whose `list --json`
#      shows the published files (entry first), the rule base:10.0.0, the
#      version record of the project's properties and the stamped settings;
#      a second publish leaves it untouched, a changed property rewrites it;
#   3. a self-contained publish stops with TENVIK008 and leaves no Setup.exe,
#      a linux-x64 publish and TenvikSetupEnabled=false get nothing and no
#      warning; a signing command signs it (osslsigncode), a failing one
#      stops with TENVIK021;
#   4. one Wine run, on a machine without the runtime, of a Setup.exe that
#      carries the signed stand-in runtime installer (an item of the
#      project), which lays out the vendor's real .NET 10 runtime
#      (tests/harness/real-runtime.sh); the application itself reports its
#      arguments, folder and framework, and its exit code is Setup.exe's.
# Build trees: build/release, build/nuget-check (feed, packages, projects),
# build/nuget-wine (the stand-in installer and the laid-out runtime;
# download base on port 18300, unused: nothing is downloaded).
set -euo pipefail
cd "$(dirname "$0")/.."
command -v dotnet >/dev/null || { echo "check-nuget-package: no .NET SDK (dotnet) on PATH" >&2; exit 1; }
export DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1 DOTNET_SKIP_FIRST_TIME_EXPERIENCE=1
work=$PWD/build/nuget-check
dist=build/release/dist
packer=$PWD/build/release/stub/host-tools/tenvik-pack
fail() { echo "check-nuget-package: $*" >&2; exit 1; }

echo "-- the package"
[ "${1:-}" = --reuse ] || bash scripts/release.sh >/dev/null 2>&1 || fail "scripts/release.sh failed"
version=$(sed -n 's/^project(TenvikSetup VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
nupkg=$dist/Tenvik.Setup.$version.nupkg
[ -f "$nupkg" ] || fail "release.sh made no $nupkg"
grep -q " Tenvik.Setup.$version.nupkg\$" "$dist/SHA256SUMS" || fail "SHA256SUMS does not list the package"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
rm -rf "$work"
mkdir -p "$work/feed"
cp "$nupkg" "$work/feed/"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$nupkg" "$work/unpacked"
for file in build/Tenvik.Setup.props build/Tenvik.Setup.targets buildTransitive/Tenvik.Setup.props \
    buildTransitive/Tenvik.Setup.targets tools/linux-x64/tenvik-pack tools/win-x64/tenvik-pack.exe tools/Setup.exe \
    README.md docs/packer.md THIRD-PARTY-NOTICES.txt LICENSES/zlib.txt; do
  [ -f "$work/unpacked/$file" ] || fail "the package lacks $file"
done
[ ! -e "$work/unpacked/lib" ] && [ ! -e "$work/unpacked/contentFiles" ] || fail "the package reaches the application's output"
grep -q '<developmentDependency>true</developmentDependency>' "$work/unpacked/Tenvik.Setup.nuspec" ||
  fail "the package is not a development dependency"
"$packer" list --json "$work/unpacked/tools/Setup.exe" 2>/dev/null |
  grep -q '"download":"vendor"' || fail "the package's stub does not download from the runtime vendor"
cmp -s "$work/unpacked/tools/Setup.exe" "build/release/stage/tenvik-setup-$version-linux-x64/Setup.exe" ||
  fail "the package's stub is not the release archives' stub"
# The package page's property table and the targets file name the same
# properties.
targets=nuget/build/Tenvik.Setup.targets
page=docs/nuget-package.md
in_targets=$(grep -o '\bTenvikSetup[A-Z][A-Za-z]*' "$targets" | sort -u)
in_page=$(sed -n '/^## The targets.* properties/,/^## /p' "$page" | grep -o '^| `TenvikSetup[A-Za-z]*`' |
  tr -d '|` ' | sort -u)
[ -n "$in_page" ] || fail "$page has no property table under \"## The targets' properties\""
[ "$in_targets" = "$in_page" ] ||
  fail "the property table of $page and $targets differ: $(diff <(echo "$in_page") <(echo "$in_targets") | grep '^[<>]' | tr '\n' ' ')"

# A feed of its own and a packages folder of its own, so that this package,
# not an older one of the same version, is restored; everything else comes
# from the machine's own sources.
cat >"$work/NuGet.config" <<CONFIG
<?xml version="1.0" encoding="utf-8"?>
<configuration>
  <packageSources>
    <add key="tenvik-local" value="$work/feed" />
  </packageSources>
  <config>
    <add key="globalPackagesFolder" value="$work/packages" />
  </config>
</configuration>
CONFIG
cp -R tests/nuget/SetupConsole "$work/"
app=$work/SetupConsole
out=$app/bin/Release/net10.0/win-x64
setup=$out/SetupConsole-Setup.exe
publish() {  # publish LOG ARGS...: dotnet publish -c Release, its log kept
  local log=$1
  shift
  (cd "$app" && dotnet publish -c Release -p:TenvikSetupPackageVersion="$version" "$@") >"$work/$log" 2>&1
}

echo "-- dotnet publish -r win-x64"
publish publish.log -r win-x64 --self-contained false || fail "publish failed: $(grep -m3 error "$work/publish.log")"
[ -f "$setup" ] || fail "no Setup.exe at $setup"
! grep -q 'warning TENVIK' "$work/publish.log" || fail "a warning: $(grep -m1 'warning TENVIK' "$work/publish.log")"
"$packer" list --json "$setup" >"$work/list.json" || fail "the Setup.exe does not read whole"
python3 - "$work/list.json" "$out/publish" <<'PY' || exit 1
import json, os, sys
listed = json.load(open(sys.argv[1], encoding="utf-8"))
published = sorted(os.listdir(sys.argv[2]))
problems = []
def expect(what, got, wanted):
    if got != wanted:
        problems.append(f"{what}: {got!r}, not {wanted!r}")
names = [entry["name"] for entry in listed["entries"]]
expect("first entry", names[:1], ["SetupConsole.dll"])
expect("entries", sorted(names), published)
expect("launch target", listed["launchTarget"], "SetupConsole.dll")
expect("rule", listed["runtime"]["rule"], "base:10.0.0")
strings = listed["version"]["strings"]
expect("file version", listed["version"]["fileVersion"], "2.3.4.5")
for key, value in {"ProductName": "Acme Installer", "CompanyName": "Acme's Tools; Ltd",
                   "LegalCopyright": '\u00a9 2026 Acme "$HOME" 100%', "FileDescription": "Installs Acme",
                   "ProductVersion": "2.3.4-beta", "FileVersion": "2.3.4.5"}.items():
    expect(key, strings.get(key), value)
for key, value in {"progressWindow": True, "download": "https://downloads.example.com", "product": "Acme",
                   "installerSigner": "Acme Runtime Signer", "installerWait": 600}.items():
    expect(key, listed.get(key), value)
for problem in problems:
    print("check-nuget-package: list --json:", problem, file=sys.stderr)
sys.exit(1 if problems else 0)
PY

before=$(stat -c '%Y %i' "$setup")
sleep 1
publish again.log -r win-x64 --self-contained false || fail "the second publish failed"
[ "$(stat -c '%Y %i' "$setup")" = "$before" ] || fail "a second publish with nothing changed rewrote the Setup.exe"
publish changed.log -r win-x64 --self-contained false -p:TenvikSetupProgressWindow=off || fail "publish with a changed property failed"
"$packer" list --json "$setup" | grep -q '"progressWindow":false' || fail "a changed property did not make a new Setup.exe"

echo "-- refusals, other targets, signing"
if publish self-contained.log -r win-x64 --self-contained true; then fail "a self-contained publish succeeded"; fi
grep -q 'error TENVIK008: tenvik-pack: .*self-contained' "$work/self-contained.log" ||
  fail "a self-contained publish did not stop with TENVIK008: $(grep -m2 error "$work/self-contained.log")"
[ "$(grep -c 'error TENVIK' "$work/self-contained.log")" = 1 ] || fail "a refusal gave more than one error"
[ ! -e "$setup" ] || fail "a refused publish left a Setup.exe"
publish linux.log -r linux-x64 --self-contained false || fail "a linux-x64 publish failed"
publish disabled.log -r win-x64 --self-contained false -p:TenvikSetupEnabled=false || fail "a publish with TenvikSetupEnabled=false failed"
! grep -q TENVIK "$work/linux.log" "$work/disabled.log" || fail "a publish that gets no Setup.exe mentions it"
[ -z "$(find "$app/bin" -name '*-Setup.exe')" ] || fail "a publish that gets no Setup.exe made one"

sh tests/harness/make-signing-cert.sh "$work/signing" "Acme Release Signing"
sign="osslsigncode sign -pkcs12 $work/signing/signer.pfx -readpass $work/signing/password.txt -h sha256"
sign="$sign -in {file} -out {file}.signed && mv {file}.signed {file}"
publish signed.log -r win-x64 --self-contained false "-p:TenvikSetupSignCommand=$sign" ||
  fail "a signed publish failed: $(grep -m2 error "$work/signed.log")"
osslsigncode verify -CAfile "$work/signing/ca.crt" -in "$setup" >/dev/null 2>&1 || fail "the Setup.exe is not signed"
if publish sign-fails.log -r win-x64 --self-contained false "-p:TenvikSetupSignCommand=false {file}"; then
  fail "a failing signing command did not stop the publish"
fi
grep -q 'error TENVIK021' "$work/sign-fails.log" || fail "a failing signing command did not give TENVIK021"
[ ! -e "$setup" ] || fail "a failed signing left a Setup.exe"

echo "-- the Setup.exe under Wine, on a machine without the runtime, with the real runtime"
export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
cmake --no-warn-unused-cli -S . -B build/nuget-wine -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DTENVIK_DOWNLOAD_BASE=http://127.0.0.1:18300 >/dev/null
cmake --build build/nuget-wine --target fake_runtime_installer -j2 >/dev/null
real_runtime() { TENVIK_REAL_RUNTIME_WORK="$PWD/build/nuget-wine/real-runtime" bash tests/harness/real-runtime.sh "$@"; }
staged=$PWD/build/nuget-wine/real-runtime/staged-base-10
real_runtime layout "$staged" base:10 >/dev/null
runtime_version=$(real_runtime version base:10)
# The signed stand-in installer, which lays out the vendor's runtime from
# its packs and registers it as the vendor's installer does, travels inside
# the Setup.exe as the base runtime for x64 (an item of the project).
offline=$work/offline-Setup.exe
publish offline.log -r win-x64 --self-contained false -p:TenvikSetupOutput="$offline" \
  "-p:TenvikSetupInstallerSigner=Microsoft Corporation" \
  -p:TenvikTestInstaller="$PWD/build/nuget-wine/standins/fake_runtime_installer.exe" ||
  fail "publish with a bundled installer failed: $(grep -m2 error "$work/offline.log")"
"$packer" list "$offline" | grep -q '^bundled runtime installer: base x64' || fail "the Setup.exe carries no installer"
eval "$(real_runtime env)"  # no DOTNET_* variable of this side reaches Windows
export WINEPREFIX=$work/prefix WINEDEBUG=-all
unset WINEDLLOVERRIDES  # the runtime loads its assemblies through Wine's mscoree
trap 'sh tests/harness/wine-prefix.sh down "$WINEPREFIX" >/dev/null 2>&1 || true' EXIT
sh tests/harness/wine-prefix.sh up "$WINEPREFIX"
code=0
TENVIK_FAKE_INSTALLER_LAYOUT=$(wine winepath -w "$staged" 2>/dev/null | tr -d '\r') \
  TENVIK_FAKE_INSTALLER_LOCATION='C:\Program Files\dotnet\' TENVIK_FAKE_INSTALLER_REPORT='C:\installer-report.txt' \
  wine "$offline" --silent --report 'C:\app-report.txt' --exit 7 </dev/null || code=$?
[ -f "$WINEPREFIX/drive_c/installer-report.txt" ] || fail "the bundled runtime installer did not run"
[ -f "$WINEPREFIX/drive_c/app-report.txt" ] || fail "the application wrote no report (Setup.exe ended with $code)"
report=$work/app-report.txt
tr -d '\r' <"$WINEPREFIX/drive_c/app-report.txt" >"$report"
grep -qx "framework=.NET $runtime_version" "$report" || fail "the application did not run on .NET $runtime_version: $(cat "$report")"
grep -qx 'args=--silent|--report|C:\\app-report.txt|--exit|7' "$report" || fail "the application got other arguments: $(cat "$report")"
grep -qix 'directory=C:\\ProgramData\\Acme\\Setup.tmp\\*' "$report" || fail "the application ran elsewhere: $(cat "$report")"
[ "$code" = 7 ] || fail "Setup.exe ended with $code, not the application's 7"
echo "check-nuget-package: dotnet publish made the Setup.exe docs/nuget-package.md describes; under Wine it installed the runtime and ran the application on .NET $runtime_version"
