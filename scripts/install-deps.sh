#!/usr/bin/env bash
# Installs what building and testing Tenvik Setup needs on a Debian 12 machine:
# the i686 mingw-w64 cross toolchain with zlib, the x86_64 one for the Windows
# release tool, Wine (32-bit and 64-bit halves),
# Xvfb, GoogleTest sources, the native build tools, clang with libFuzzer,
# osslsigncode and openssl for signing, OpenSSL's headers and nlohmann-json for
# the packer, gnuplot for the benchmark's chart, ImageMagick for the progress
# window's screenshots; and checks for the .NET SDK 10 or newer, which
# builds the sample applications and restores the runtime packs of the tests
# on a real runtime. Safe to run again: a
# machine that already has everything is left alone within a second.
set -euo pipefail

packages=(
  cmake ninja-build g++ python3 xvfb xauth googletest zlib1g-dev
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 libz-mingw-w64-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 libwine:i386
  clang libclang-rt-dev osslsigncode openssl libssl-dev nlohmann-json3-dev gnuplot-nox imagemagick ccache
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# Some sandboxed kernels refuse i386 ELF programs, which the 32-bit half of
# Wine is made of. qemu's user emulation runs them instead; the qemu 7 of
# Debian 12 takes about a minute to start one Wine process, the backported
# qemu 10 a fraction of a second.
runs_i386() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }
fast_qemu() {
  major=$(/usr/bin/qemu-i386 --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p')
  [ -n "$major" ] && [ "$major" -ge 8 ]
}

missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
need_qemu=false
if [ -e /lib/ld-linux.so.2 ] && ! runs_i386 && ! fast_qemu; then need_qemu=true; fi
if ! installed wine32:i386; then
  # Decided after Wine is in, when the i386 loader exists to be tried.
  need_qemu=unknown
fi

if [ ${#missing[@]} -gt 0 ] || [ "$need_qemu" != false ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: run as root (or with sudo) to install: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386

  # The i386 half of the security index can lag behind the amd64 half, which
  # makes wine32:i386 uninstallable. Use the machine's own sources minus the
  # security suite, in a private directory so the system's lists stay as they are.
  work=$(mktemp -d)
  chmod 755 "$work"  # apt fetches as the _apt user
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/sources" "$work/lists/partial"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] || continue
    awk 'BEGIN { RS = ""; ORS = "\n\n" } !/(^|\n)Suites:[^\n]*-security/' "$f" > "$work/sources/$(basename "$f")"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -e "$f" ] || continue
    grep -v -E '^[[:space:]]*deb(-src)?[[:space:]].*-security' "$f" > "$work/sources/$(basename "$f")" || true
  done
  # The backports suite of the same Debian mirror as the main suite, for qemu.
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  for f in "$work"/sources/*.sources; do
    [ -e "$f" ] || continue
    awk -v c="$codename" 'BEGIN { RS = ""; ORS = "\n\n" }
      $0 ~ ("(^|\n)Suites:[^\n]*(^| )" c "( |\n|$)") && /debian-archive-keyring/ {
        sub("(^|\n)Suites:[^\n]*", "\nSuites: " c "-backports"); print; exit }' "$f"
  done > "$work/sources/zz-backports.sources"
  apt_opts=(
    -o Dir::Etc::SourceList=/dev/null
    -o Dir::Etc::SourceParts="$work/sources"
    -o Dir::State::Lists="$work/lists"
  )
  apt-get "${apt_opts[@]}" update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    apt-get "${apt_opts[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
  if ! runs_i386 && ! fast_qemu; then
    echo "install-deps: this kernel does not run i386 programs; installing qemu user emulation"
    apt-get "${apt_opts[@]}" install -y -qq --no-install-recommends -t "$codename-backports" qemu-user >/dev/null
  fi
fi

# The kernel's handler registration does not survive a reboot: renew it each time.
if ! runs_i386 && [ -x /usr/bin/qemu-i386 ]; then
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
  [ -e "$binfmt/qemu-i386" ] && echo -1 > "$binfmt/qemu-i386"
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' > "$binfmt/register"
  runs_i386 || { echo "install-deps: i386 programs still do not run" >&2; exit 1; }
fi

# The .NET SDK (10 or newer) is not a Debian 12 package. Where it is missing
# or older, install it by the vendor's documented Linux route: the vendor's
# Debian 12 package feed (package dotnet-sdk-10.0; see the vendor's page
# "Install .NET on Debian"), or its dotnet-install script with
# "--channel 10.0" and dotnet on PATH afterwards.
sdk_major() { dotnet --version 2>/dev/null | sed -n 's/^\([0-9]*\)\..*/\1/p'; }
if [ "$(sdk_major)" = "" ] || [ "$(sdk_major)" -lt 10 ]; then
  if [ "$(id -u)" -eq 0 ] && apt-cache show dotnet-sdk-10.0 >/dev/null 2>&1; then
    echo "install-deps: installing the .NET SDK (dotnet-sdk-10.0)"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends dotnet-sdk-10.0 >/dev/null
  fi
  if [ "$(sdk_major)" = "" ] || [ "$(sdk_major)" -lt 10 ]; then
    echo "install-deps: the .NET SDK 10 or newer is needed (found: $(dotnet --version 2>/dev/null || echo none))." >&2
    echo "  Add the vendor's package feed for Debian 12 and run: apt-get install dotnet-sdk-10.0" >&2
    echo "  (the vendor's page 'Install the .NET SDK or the .NET Runtime on Debian' has the two commands)," >&2
    echo "  or run the vendor's dotnet-install.sh --channel 10.0 and put its folder on PATH." >&2
    exit 1
  fi
fi
