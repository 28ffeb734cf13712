#!/usr/bin/env bash
# Packs Tenvik.Setup.<version>.nupkg with the SDK's own `dotnet pack`:
#   scripts/nuget-pack.sh STAGE VERSION OUTDIR
# STAGE holds what the package carries besides nuget/ (tools/linux-x64/,
# tools/win-x64/, tools/Setup.exe, README.md, docs/, THIRD-PARTY-NOTICES.txt,
# LICENSES/); nuget/ is copied into it and packed there, so that no build
# output lands in the sources. Every file's time is SOURCE_DATE_EPOCH, which
# the package's entries take; what pack itself writes is not reproducible
# (its .psmdcp part has a new random name each time).
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 3 ] || { echo "usage: nuget-pack.sh STAGE VERSION OUTDIR" >&2; exit 2; }
stage=$1 version=$2 out=$3
export DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1 DOTNET_SKIP_FIRST_TIME_EXPERIENCE=1
cp -R nuget/. "$stage/"
rm -rf "$stage/obj" "$stage/bin"
epoch=${SOURCE_DATE_EPOCH:-315532800}
find "$stage" -exec touch -h -d "@$epoch" {} +
mkdir -p "$out"
out=$(cd "$out" && pwd)
dotnet pack "$stage/Tenvik.Setup.csproj" -c Release -p:Version="$version" -o "$out" \
  -p:ContinuousIntegrationBuild=true --nologo -v quiet >"$stage/pack.log" 2>&1 ||
  { cat "$stage/pack.log" >&2; echo "nuget-pack: dotnet pack failed" >&2; exit 1; }
rm -rf "$stage/obj" "$stage/bin" "$stage/pack.log"
echo "$out/Tenvik.Setup.$version.nupkg"
