#!/bin/sh
# The packer's pack-time check of bundled runtime installers on the signed
# stand-in installer and its variants (sign-standin.sh), real linked
# programs signed by osslsigncode:
#   check-bundled-installers.sh PACKER STUB APP_DIR ENTRY INSTALLER SIGNER WORK_DIR
# The rightly signed one is bundled byte for byte; the unsigned one is
# refused with exit 12, the one by another signer with 13, and neither
# leaves an output behind.
set -u
packer=$1 stub=$2 app=$3 entry=$4 installer=$5 signer=$6 work=$7
base=${installer%.exe}
mkdir -p "$work"
fail() { echo "check-bundled-installers: $*" >&2; exit 1; }
pack() {
  rm -f "$work/Bundled.exe"
  "$packer" pack --entry "$entry" --stub "$stub" --installer-signer "$signer" \
    --runtime-installer "desktop:x64=$1" --output "$work/Bundled.exe" "$app" >"$work/out.txt" 2>"$work/err.txt"
}
pack "$installer"; rc=$?
[ $rc -eq 0 ] || fail "the signed stand-in was refused ($rc): $(cat "$work/err.txt")"
"$packer" list --json "$work/Bundled.exe" >"$work/list.json" || fail "list failed"
size=$(wc -c <"$installer" | tr -d ' ')
grep -q "\"bundled\":\[{\"framework\":\"desktop\",\"arch\":\"x64\",\"version\":[^,]*,\"size\":$size}\]" "$work/list.json" ||
  fail "list does not show the bundled installer of $size bytes: $(cat "$work/list.json")"
pack "$base-unsigned.exe"; rc=$?
[ $rc -eq 12 ] || fail "the unsigned stand-in gave $rc, not 12: $(cat "$work/err.txt")"
[ ! -e "$work/Bundled.exe" ] || fail "the refused pack left an output"
pack "$base-wrong-signer.exe"; rc=$?
[ $rc -eq 13 ] || fail "the stand-in by another signer gave $rc, not 13: $(cat "$work/err.txt")"
[ ! -e "$work/Bundled.exe" ] || fail "the refused pack left an output"
echo "check-bundled-installers: signed bundled, unsigned and foreign refused"
