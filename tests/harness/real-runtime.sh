#!/usr/bin/env bash
# A real .NET runtime for Windows, laid out from the vendor's runtime packs as
# an install leaves it, for tests that run real .NET applications under Wine.
#
#   real-runtime.sh [--arch x86] ACTION ...   (default x64)
#
#   real-runtime.sh restore RUNTIME...       restore the packs into the NuGet cache
#   real-runtime.sh layout DIR RUNTIME...    lay out DIR (a "dotnet" folder)
#   real-runtime.sh register PREFIX DIR      register what DIR holds in PREFIX
#   real-runtime.sh install PREFIX RUNTIME... layout into PREFIX's
#                                            C:\Program Files\dotnet, then register
#   real-runtime.sh version RUNTIME          the version a RUNTIME stands for
#   real-runtime.sh env                      print "unset" lines for the Linux
#                                            side's DOTNET_* variables (eval it)
#
# RUNTIME is FRAMEWORK:MAJOR or FRAMEWORK:VERSION, FRAMEWORK base
# (Microsoft.NETCore.App) or desktop (Microsoft.WindowsDesktop.App, which
# brings the base runtime along, as the vendor's Desktop installer does):
# base:10, desktop:6, base:8.0.34. A major means the version pinned below.
# The packs are win-x64 (Setup.exe on 64-bit Windows installs and starts the
# x64 runtime), or win-x86 with --arch x86 (32-bit Windows; a 64-bit machine
# that has the x86 runtime besides registers it under InstalledVersions\x86).
# x86 majors: 8.0.34, 9.0.23 and 10.0.12 (the Desktop runtime: 10.0.12).
#
# layout DIR writes:
#   DIR\dotnet.exe                          the muxer (see below)
#   DIR\host\fxr\<version>\hostfxr.dll      from the base runtime pack
#   DIR\shared\Microsoft.NETCore.App\<version>\       (hostpolicy.dll among them)
#   DIR\shared\Microsoft.WindowsDesktop.App\<version>\
# register writes, in the registry view a 32-bit program reads, what the
# vendor's installer writes (x86 for --arch x86; on 32-bit Windows without
# WOW6432Node):
#   HKLM\SOFTWARE\WOW6432Node\dotnet\Setup\InstalledVersions\x64
#     InstallLocation = DIR as a Windows path, with a trailing backslash
#     sharedfx\<framework>\<version> = 1 (DWORD), one per shared\<framework>\<version>
#     sharedhost: Version = the newest host\fxr version, Path = InstallLocation
#
# The vendor's dotnet.exe comes in no package the NuGet registry serves
# (Microsoft.NETCore.App.Host.win-x64 carries apphost.exe), so dotnet.exe is
# tests/standins/muxer/dotnet_muxer.cpp, built here with the x86_64 (or i686)
# mingw-w64 compiler: it loads the newest host\fxr\*\hostfxr.dll and calls
# hostfxr_main_startupinfo as the vendor's muxer does.
#
# Wine 8.0 (Debian 12) runs CoreCLR 6.0.36, 8.0.34, 9.0.23 and 10.0.15 as
# laid out here, with no runtime switch. It must not run with Wine's mscoree
# turned off (WINEDLLOVERRIDES=mscoree=, which keeps a new prefix from
# offering Mono): Wine's loader hands every IL-only image that LoadLibrary
# opens to mscoree, so without it loading System.Runtime.dll fails ("Module
# not found") and the application ends with an unhandled FileNotFoundException.
#
# Packs are restored with the .NET SDK (`dotnet restore` of a generated
# project with PackageDownload items) into the NuGet cache
# ($NUGET_PACKAGES, else ~/.nuget/packages) and never copied anywhere but DIR.
# A pack that cannot be restored ends the script with exit code 3 and says
# which. Work files (the restore project, the built muxer) go to
# $TENVIK_REAL_RUNTIME_WORK, default build/real-runtime in the source tree.
#
# Wine: every DOTNET_* variable of the Linux side is cleared before wine runs
# (a Linux DOTNET_ROOT would reach the Windows host as a Z:\ path).
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=${TENVIK_REAL_RUNTIME_WORK:-$source_dir/build/real-runtime}
packages=${NUGET_PACKAGES:-$HOME/.nuget/packages}
muxer_source=$source_dir/tests/standins/muxer/dotnet_muxer.cpp
base_name=Microsoft.NETCore.App
desktop_name=Microsoft.WindowsDesktop.App

die() { echo "real-runtime: $*" >&2; exit "${code:-1}"; }

# The versions a major stands for, as the registry serves their packs.
pinned() {  # pinned FRAMEWORK MAJOR
  case "$arch:$1:$2" in
    x86:base:8) echo 8.0.34 ;;
    x86:base:9) echo 9.0.23 ;;
    x86:base:10 | x86:desktop:10) echo 10.0.12 ;;
    x86:*) code=2 die "no pinned x86 version for $1:$2 (give a whole version, e.g. $1:$2.0.0)" ;;
    *:base:6 | *:desktop:6) echo 6.0.36 ;;
    *:base:8) echo 8.0.34 ;;
    *:desktop:8) echo 8.0.33 ;;
    *:base:9 | *:desktop:9) echo 9.0.23 ;;
    *:base:10 | *:desktop:10) echo 10.0.15 ;;
    *) code=2 die "no pinned version for $1:$2 (give a whole version, e.g. $1:$2.0.0)" ;;
  esac
}

version_of() {  # version_of RUNTIME
  local framework=${1%%:*} version=${1#*:}
  case "$framework" in base | desktop) ;; *) code=2 die "unknown framework in '$1' (base or desktop)" ;; esac
  if [[ $version =~ ^[0-9]+$ ]]; then pinned "$framework" "$version"
  elif [[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+(-[0-9A-Za-z.-]+)?$ ]]; then echo "$version"
  else code=2 die "cannot read '$1' (FRAMEWORK:MAJOR or FRAMEWORK:VERSION)"; fi
}

# The packs a RUNTIME needs, as "PackageId Version" lines: a Desktop runtime
# brings the base runtime of its major (the pinned one when it has its own
# version, else the same version).
packs_of() {  # packs_of RUNTIME
  local framework=${1%%:*} version
  version=$(version_of "$1")
  if [ "$framework" = desktop ]; then
    echo "$desktop_name.Runtime.win-$arch $version"
    local major=${version%%.*}
    local base_version
    base_version=$( (pinned base "$major") 2>/dev/null || echo "$version")
    echo "$base_name.Runtime.win-$arch $base_version"
  else
    echo "$base_name.Runtime.win-$arch $version"
  fi
}

pack_dir() {  # pack_dir PackageId Version
  echo "$packages/$(echo "$1" | tr 'A-Z' 'a-z')/$2"
}

restore() {  # restore RUNTIME...
  local wanted=() runtime line missing=()
  for runtime in "$@"; do
    while read -r line; do wanted+=("$line"); done < <(packs_of "$runtime")
  done
  for line in "${wanted[@]}"; do
    # shellcheck disable=SC2086
    [ -f "$(pack_dir $line)/.nupkg.metadata" ] || missing+=("$line")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  command -v dotnet >/dev/null || code=3 die "the .NET SDK (dotnet) is needed to restore: ${missing[*]}"
  mkdir -p "$work/restore"
  {
    echo '<Project Sdk="Microsoft.NET.Sdk">'
    echo '  <PropertyGroup><TargetFramework>net10.0</TargetFramework></PropertyGroup>'
    echo '  <ItemGroup>'
    for line in "${missing[@]}"; do
      echo "    <PackageDownload Include=\"${line% *}\" Version=\"[${line#* }]\" />"
    done
    echo '  </ItemGroup>'
    echo '</Project>'
  } >"$work/restore/restore.csproj"
  echo "real-runtime: restoring ${missing[*]}" >&2
  if ! (cd "$work/restore" && env -u DOTNET_ROOT dotnet restore restore.csproj >restore.log 2>&1); then
    cat "$work/restore/restore.log" >&2
    code=3 die "restoring the runtime packs failed (no NuGet registry reachable?): ${missing[*]}"
  fi
  for line in "${missing[@]}"; do
    # shellcheck disable=SC2086
    [ -f "$(pack_dir $line)/.nupkg.metadata" ] || code=3 die "restored, but not in $packages: $line"
  done
}

muxer() {  # builds dotnet.exe once; prints its path
  local exe=$work/dotnet-$arch.exe compiler=x86_64-w64-mingw32-g++-posix
  [ "$arch" = x86 ] && compiler=i686-w64-mingw32-g++-posix
  if [ ! -f "$exe" ] || [ "$muxer_source" -nt "$exe" ]; then
    mkdir -p "$work"
    "$compiler" -O2 -municode -static -s -o "$exe.tmp" "$muxer_source" \
      || die "cannot build the dotnet.exe stand-in ($compiler needed)"
    mv "$exe.tmp" "$exe"
  fi
  echo "$exe"
}

copy_framework() {  # copy_framework PACKDIR NAME VERSION DIR
  local from=$1/runtimes/win-$arch to=$4/shared/$2/$3
  rm -rf "$to" && mkdir -p "$to"
  # Hard links where the cache shares the file system: the runtime is large.
  cp -lR "$from"/lib/net*/. "$to/" 2>/dev/null || cp -R "$from"/lib/net*/. "$to/"
  cp -l "$from"/native/* "$to/" 2>/dev/null || cp "$from"/native/* "$to/"
  rm -f "$to/hostfxr.dll"  # the host resolver lives in host\fxr, not in a framework
}

layout() {  # layout DIR RUNTIME...
  local dir=$1 runtime id version
  shift
  restore "$@"
  mkdir -p "$dir"
  cp "$(muxer)" "$dir/dotnet.exe"
  for runtime in "$@"; do
    while read -r id version; do
      case "$id" in
        "$desktop_name".*) copy_framework "$(pack_dir "$id" "$version")" "$desktop_name" "$version" "$dir" ;;
        *)
          copy_framework "$(pack_dir "$id" "$version")" "$base_name" "$version" "$dir"
          mkdir -p "$dir/host/fxr/$version"
          cp "$(pack_dir "$id" "$version")/runtimes/win-$arch/native/hostfxr.dll" "$dir/host/fxr/$version/"
          ;;
      esac
    done < <(packs_of "$runtime")
  done
}

clear_dotnet_variables() {
  local name
  for name in $(env | sed -n 's/^\(DOTNET_[A-Za-z0-9_]*\)=.*/\1/p'); do unset "$name"; done
}

register() {  # register PREFIX DIR
  export WINEPREFIX=$1 WINEDEBUG=-all
  clear_dotnet_variables
  local dir=$2 location key fx framework version newest=
  location=$(wine winepath -w "$dir" 2>/dev/null | tr -d '\r')
  [ -n "$location" ] || die "cannot name $dir inside $WINEPREFIX"
  location="${location%\\}\\"
  key="HKLM\\SOFTWARE\\dotnet\\Setup\\InstalledVersions\\$arch"  # the 32-bit tool writes WOW6432Node
  wine reg add "$key" /v InstallLocation /t REG_SZ /d "$location" /f >/dev/null
  for fx in "$dir"/shared/*/*/; do
    [ -d "$fx" ] || continue
    fx=${fx%/}
    framework=$(basename "$(dirname "$fx")")
    version=$(basename "$fx")
    wine reg add "$key\\sharedfx\\$framework" /v "$version" /t REG_DWORD /d 1 /f >/dev/null
  done
  newest=$(ls "$dir/host/fxr" 2>/dev/null | sort -V | tail -n 1)
  if [ -n "$newest" ]; then
    wine reg add "$key\\sharedhost" /v Version /t REG_SZ /d "$newest" /f >/dev/null
    wine reg add "$key\\sharedhost" /v Path /t REG_SZ /d "$location" /f >/dev/null
  fi
}

arch=x64
if [ "${1:-}" = --arch ]; then
  case "${2:-}" in x64 | x86) arch=$2 ;; *) code=2 die "--arch takes x64 or x86" ;; esac
  shift 2
fi
action=${1:-}
[ $# -gt 0 ] && shift
case "$action" in
  restore) [ $# -ge 1 ] || code=2 die "restore RUNTIME..."; restore "$@" ;;
  layout) [ $# -ge 2 ] || code=2 die "layout DIR RUNTIME..."; layout "$@" ;;
  register) [ $# -eq 2 ] || code=2 die "register PREFIX DIR"; register "$@" ;;
  install)
    [ $# -ge 2 ] || code=2 die "install PREFIX RUNTIME..."
    prefix=$1; shift
    layout "$prefix/drive_c/Program Files/dotnet" "$@"
    register "$prefix" "$prefix/drive_c/Program Files/dotnet"
    ;;
  version) [ $# -eq 1 ] || code=2 die "version RUNTIME"; version_of "$1" ;;
  env) env | sed -n 's/^\(DOTNET_[A-Za-z0-9_]*\)=.*/unset \1/p' ;;
  *) sed -n '2,58p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
esac
