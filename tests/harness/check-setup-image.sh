#!/bin/sh
# Checks the shape of a built Setup.exe: a 32-bit GUI program that imports
# only Windows system DLLs that are KnownDLLs (which Windows always loads from
# the system directory, so none can be planted beside the program), asks for
# administrator rights, and carries the payload as bitmap resource 102.
#   check-setup-image.sh SETUP_EXE OBJDUMP WINDRES
set -eu
exe=$1 objdump=$2 windres=$3
fail() { echo "check-setup-image: $*" >&2; exit 1; }

headers=$("$objdump" -p "$exe")
echo "$headers" | grep -q 'file format pei-i386' || fail "not a 32-bit x86 PE file"
echo "$headers" | grep -Eq '^Subsystem[[:space:]]+00000002' || fail "not built for the GUI subsystem"

known='^(advapi32|comdlg32|gdi32|kernel32|msvcrt|ole32|oleaut32|rpcrt4|setupapi|shell32|shlwapi|user32|ws2_32|wldap32|imm32|difxapi|combase|sechost|gdiplus|normaliz|psapi)\.dll$'
imports=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$imports" ] || fail "no import table found"
for dll in $imports; do
  echo "$dll" | grep -Eq "$known" || fail "imports $dll, which is not a KnownDLL"
done

resources=$("$windres" -i "$exe" -O rc 2>/dev/null) || fail "cannot read the resources"
echo "$resources" | grep -Eq '^102 (2|BITMAP)( |$)' || fail "no bitmap resource 102"
echo "$resources" | grep -q 'requireAdministrator' || fail "the manifest does not ask for administrator rights"
echo "$resources" | grep -Eq '^[0-9]+ (14|GROUP_ICON)( |$)' || fail "no application icon group"
echo "$resources" | grep -Eq '^[0-9]+ VERSIONINFO' || fail "no version record"
echo "Setup.exe: i386 GUI program; imports: $(echo $imports); manifest requireAdministrator; bitmap 102 present"
