#!/usr/bin/env bash
# The benchmark: how close Setup.exe comes to the physical floor of its job.
#
#   scripts/bench.sh [--rounds N] [--memory-rounds M] [--native-rounds K] [--label TEXT]
#     --rounds N          timed rounds under Wine after the warm-up (default 21)
#     --memory-rounds M   rounds of memory runs (default 3)
#     --native-rounds K   native rounds after a warm-up (default 5)
#     --setup FILE        measure this Setup.exe (stamped with each package's
#                         payload) instead of the one built here, e.g. one
#                         built from an earlier commit; the stub size is
#                         still this build's
#     --before FILE       also measure this earlier Setup.exe (stamped alike)
#                         in every round, next to the current one, so that
#                         before and after meet the same load; the report
#                         puts its figures beside the current ones
#     --label TEXT        what this run measures, for the steps table
#                         (default: the last commit's short hash)
#
# Builds a release Windows build with the benchmark programs (build/bench-win)
# and a native one (build/bench-native), generates two application folders
# (build/bench-data: "release", shaped like a real release, and "small"),
# stamps Setup.exe and the fair floor with the payload of each, and runs in
# ONE Wine prefix with one wineserver, interleaved, after a warm-up round:
#   setup    Setup.exe, runtime registered, dotnet.exe a stand-in that stamps
#            its start and exits at once
#   fair     floor_fair.exe: writes the payload out of its own resource, then
#            inflates it, writes the files with large writes, deletes them
#   fair_host  the fair floor that also starts the stand-in host as
#            Setup.exe does and waits for it before it deletes the files
#   fair_dlls  the fair floor that also loads and uses the system DLLs
#            Setup.exe needs (user32, shell32, ole32, advapi32)
#   write    floor_write.exe: inflates the package file, writes, deletes
#   inflate  floor_inflate.exe: inflates the package file in 1 MiB reads
# while a watcher on the Linux side (bench/phase_watch.py, inotify) notes
# the phases of each timed run: work directory created, last entry written,
# removal done (the host start is the stand-in's stamp); it also says
# whether the 32-bit programs ran natively or under qemu. Then separate
# memory runs (the peak working set, polled while the process
# lives), and natively the portable extraction code against gzip -dc and
# tar -xzf of the same content. Writes docs/benchmark.md, its chart
# docs/benchmark-ratios.png (gnuplot) and appends one line per run to
# docs/benchmark-steps.tsv. Raw figures: build/bench-results/.
# Not a test: nothing here runs under ctest or scripts/test.sh.
set -euo pipefail

rounds=21
memory_rounds=3
native_rounds=5
label=""
setup_stub=""
before_stub=""
usage() { sed -n '2,40p' "$0" | sed 's/^# \{0,1\}//'; }
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --memory-rounds) memory_rounds=$2; shift 2 ;;
    --native-rounds) native_rounds=$2; shift 2 ;;
    --label) label=$2; shift 2 ;;
    --setup) setup_stub=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
    --before) before_stub=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
    -h|--help) usage; exit 0 ;;
    *) echo "bench.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
  esac
done
case "$rounds$memory_rounds$native_rounds" in *[!0-9]*) echo "bench.sh: counts are whole numbers" >&2; exit 2 ;; esac
[ "$rounds" -ge 1 ] || { echo "bench.sh: --rounds must be at least 1" >&2; exit 2; }

source_dir=$(cd "$(dirname "$0")/.." && pwd)
cd "$source_dir"
win_build=build/bench-win
native_build=build/bench-native
data=build/bench-data
results=build/bench-results
mkdir -p "$data" "$results" docs
started=$(date +%s)
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
uptime_before=$(uptime)
[ -n "$label" ] || label="run of $(git log -1 --format=%h 2>/dev/null)"

say() { echo "bench: $*" >&2; }

# --- builds ----------------------------------------------------------------
say "building (Windows release and native, -j2)"
cmake --no-warn-unused-cli -S . -B "$win_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DTENVIK_DOWNLOAD_BASE=http://127.0.0.1:18700 -DTENVIK_TESTS=OFF -DBUILD_TESTING=OFF -DTENVIK_BENCH=ON >/dev/null
ninja -C "$win_build" -j2 >/dev/null
cmake -S . -B "$native_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTENVIK_TESTS=OFF -DBUILD_TESTING=OFF \
  -DTENVIK_BENCH=ON >/dev/null
ninja -C "$native_build" -j2 portable_extract zlib_inflate >/dev/null
packer=$win_build/host-tools/tenvik-pack
[ -n "$setup_stub" ] || setup_stub=$win_build/Setup.exe
[ -f "$setup_stub" ] || { say "no Setup.exe at $setup_stub"; exit 2; }
[ -z "$before_stub" ] || [ -f "$before_stub" ] || { say "no Setup.exe at $before_stub"; exit 2; }

# --- packages --------------------------------------------------------------
for shape in release small; do
  if [ ! -f "$data/$shape.done" ] || [ bench/make_app_folder.py -nt "$data/$shape.done" ]; then
    say "generating the $shape folder"
    python3 bench/make_app_folder.py "$shape" "$data/$shape"
    rm -f "$data/$shape.bmp"
    touch "$data/$shape.done"
  fi
  if [ ! -f "$data/$shape.bmp" ]; then
    "$packer" pack --entry Bench.App.dll --output "$data/$shape.bmp" "$data/$shape" >/dev/null
    tar -C "$data/$shape" -cf - . | gzip -9 >"$data/$shape.tar.gz"
  fi
  "$packer" pack --payload "$data/$shape.bmp" --stub "$setup_stub" --output "$data/Setup-$shape.exe" >/dev/null
  [ -z "$before_stub" ] ||
    "$packer" pack --payload "$data/$shape.bmp" --stub "$before_stub" --output "$data/Before-$shape.exe" >/dev/null
  for floor in floor_fair floor_fair_dlls floor_fair_host; do
    "$packer" pack --payload "$data/$shape.bmp" --stub "$win_build/bench/$floor.exe" \
      --output "$data/$floor-$shape.exe" >/dev/null
  done
  # The package file as Setup.exe writes it: the gzip member of the bitmap.
  python3 - "$data/$shape.bmp" "$data/$shape.package" <<'EOF'
import struct, sys
bitmap = open(sys.argv[1], "rb").read()
length = struct.unpack_from("<I", bitmap, 14 + 40)[0]
open(sys.argv[2], "wb").write(bitmap[14 + 44:14 + 44 + length])
EOF
done

# --- how 32-bit programs run here ------------------------------------------
# Wine's 32-bit half is made of i386 Linux programs. Where the kernel runs
# them (the i386 loader starts), the figures are the machine's own; where it
# does not, qemu's user emulation runs them and every Windows-side figure is
# the emulator's, good for ratios within one run at most.
if /lib/ld-linux.so.2 --version >/dev/null 2>&1 && ! grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
  i386_mode="natively (the kernel runs i386 programs: /lib/ld-linux.so.2 starts)"
else
  i386_mode="under qemu-i386 user emulation (the kernel does not run i386 programs itself)"
fi
say "32-bit Windows programs run $i386_mode"

# --- the prefix ------------------------------------------------------------
export WINEPREFIX="$source_dir/$win_build/wineprefix" WINEDEBUG=-all
unset DISPLAY
watcher_pid=""
stop_watcher() { [ -z "$watcher_pid" ] || kill "$watcher_pid" 2>/dev/null || true; watcher_pid=""; }
prefix_down() { stop_watcher; sh tests/harness/wine-prefix.sh down "$WINEPREFIX" || true; }
trap prefix_down EXIT
say "making the Wine prefix"
sh tests/harness/wine-prefix.sh up "$WINEPREFIX"
bench_dir="$WINEPREFIX/drive_c/bench"
mkdir -p "$bench_dir/dotnet" "$WINEPREFIX/drive_c/ProgramData/TenvikFloor"
cp "$win_build"/bench/{bench_runner,floor_inflate,floor_write,SetupStub}.exe "$bench_dir/"
cp "$win_build/bench/bench_host.exe" "$bench_dir/dotnet/dotnet.exe"
# The fair floor without a payload stamped in ends at once: what the least
# Windows program with this C runtime and zlib occupies under Wine.
cp "$win_build/bench/floor_fair.exe" "$bench_dir/floor_empty.exe"
cp "$win_build/bench/floor_fair_dlls.exe" "$bench_dir/floor_empty_dlls.exe"
for shape in release small; do
  [ -z "$before_stub" ] || cp "$data/Before-$shape.exe" "$bench_dir/"
  cp "$data/Setup-$shape.exe" "$data/floor_fair-$shape.exe" "$data/floor_fair_dlls-$shape.exe" "$data/floor_fair_host-$shape.exe" \
    "$data/$shape.package" "$bench_dir/"
done
# The runtime as its installer registers it: the 32-bit reg tool's
# HKLM\SOFTWARE lands in WOW6432Node, where the 32-bit Setup.exe looks.
wine reg add 'HKLM\SOFTWARE\dotnet\Setup\InstalledVersions\x64\sharedfx\Microsoft.WindowsDesktop.App' \
  /v 6.0.36 /t REG_DWORD /d 1 /f >/dev/null
wine reg add 'HKLM\SOFTWARE\dotnet\Setup\InstalledVersions\x64' /v InstallLocation /t REG_SZ \
  /d 'C:\bench\dotnet\' /f >/dev/null

# On Windows the desktop and its shell are always there. Under Wine the
# first program that needs them starts explorer.exe, which leaves again when
# nobody uses it, and a start that races with one leaving costs up to 10 s:
# one holder keeps the desktop up for the whole run.
(cd "$bench_dir" && exec wine bench_runner.exe --hold-desktop </dev/null >/dev/null 2>&1) &
sleep 2

floor_dir='C:\ProgramData\TenvikFloor\Setup.tmp'
command_of() {  # program package -> the Windows command line to run
  case "$1" in
    setup) echo "C:\\bench\\Setup-$2.exe" ;;
    before) echo "C:\\bench\\Before-$2.exe" ;;
    fair) echo "C:\\bench\\floor_fair-$2.exe $floor_dir" ;;
    fair_dlls) echo "C:\\bench\\floor_fair_dlls-$2.exe $floor_dir" ;;
    fair_host) echo "C:\\bench\\floor_fair_host-$2.exe $floor_dir C:\\bench\\dotnet\\dotnet.exe" ;;
    write) echo "C:\\bench\\floor_write.exe C:\\bench\\$2.package $floor_dir" ;;
    inflate) echo "C:\\bench\\floor_inflate.exe C:\\bench\\$2.package" ;;
    stub) echo "C:\\bench\\SetupStub.exe" ;;
    empty) echo "C:\\bench\\floor_empty.exe" ;;
    empty_dlls) echo "C:\\bench\\floor_empty_dlls.exe" ;;
  esac
}
run_one() {  # kind round program package [--memory]
  local kind=$1 round=$2 program=$3 package=$4 memory=${5:-} line
  # shellcheck disable=SC2046
  line=$(cd "$bench_dir" && wine bench_runner.exe $memory 'C:\bench\stamp.txt' $(command_of "$program" "$package"))
  printf '%s\t%s\t%s\t%s\t%s\n' "$kind" "$round" "$package" "$program" \
    "$(echo "$line" | tr -d '\r' | sed 's/[a-z_]*=//g; s/ /\t/g')" >>"$raw"
}

raw=$results/raw.tsv
printf 'kind\tround\tpackage\tprogram\twall_ms\tstamp_ms\tpeak_kb\tpeak_after_exit_kb\texit\tstart_qpc\n' >"$raw"

# The check that the comparison is sound: Setup.exe must start the host.
run_one check 0 setup release
awk -F'\t' 'NR == 2 && ($9 != 0 || $6 < 0) { exit 1 }' "$raw" ||
  { say "Setup.exe did not start the stand-in host: $(tail -n 1 "$raw")"; exit 1; }

# The phases of every timed run, seen from the Linux side: the work
# directory's creation, each file closed after writing, the directory's
# removal (bench/phase_watch.py). The programs themselves are the ones
# released; the watcher reads the kernel's file events.
phases=$results/phases.tsv
: >"$phases"
python3 bench/phase_watch.py "$phases" "$bench_dir" "$WINEPREFIX/drive_c/ProgramData" Tenvik TenvikFloor &
watcher_pid=$!
until grep -qs ready "$phases"; do sleep 0.1; done

say "timed runs: warm-up + $rounds rounds"
for round in $(seq 0 "$rounds"); do
  # Setup.exe and the fair floor run next to each other, so their ratio
  # compares two runs under the same load; which goes first alternates. The
  # inflate-only floor opens each package's group: the first run after the
  # other package's runs is often slower, whichever program it is.
  if [ $((round % 2)) -eq 0 ]; then order="inflate setup fair fair_host fair_dlls write"
  else order="inflate fair_host fair setup fair_dlls write"; fi
  # The earlier Setup.exe right after the pair, or right before it.
  if [ -n "$before_stub" ]; then
    if [ $((round % 4)) -lt 2 ]; then order="inflate before ${order#inflate }"
    else order="${order% fair_dlls write} before fair_dlls write"; fi
  fi
  for package in release small; do
    for program in $order; do
      sync  # every run starts without the previous one's writes pending
      run_one time "$round" "$program" "$package"
    done
  done
done

stop_watcher

say "memory runs: $memory_rounds rounds"
for round in $(seq 1 "$memory_rounds"); do
  for package in release small; do
    run_one memory "$round" setup "$package" --memory
    [ -z "$before_stub" ] || run_one memory "$round" before "$package" --memory
    run_one memory "$round" fair "$package" --memory
  done
  run_one memory "$round" stub none --memory
  run_one memory "$round" empty none --memory
  run_one memory "$round" empty_dlls none --memory
  run_one memory "$round" fair_dlls release --memory
done
# Whether Wine's counters are the truth: the Linux process's own VmHWM,
# read from /proc while a polled run goes on.
python3 bench/linux_peak.py Setup-release.exe 60 >"$results/linux_vmhwm.txt" &
watcher=$!
sleep 0.5
run_one verify 1 setup release --memory
wait "$watcher"

# --- natively --------------------------------------------------------------
say "native runs: $native_rounds rounds"
native=$results/native.tsv
printf 'round\tpackage\tprogram\twall_ms\n' >"$native"
out=$data/native-out
now_ns() { date +%s%N; }
time_native() {  # round package program command...
  local round=$1 package=$2 program=$3 start end
  shift 3
  rm -rf "$out" && mkdir -p "$out"
  sync
  start=$(now_ns)
  "$@" >/dev/null
  end=$(now_ns)
  printf '%s\t%s\t%s\t%s\n' "$round" "$package" "$program" "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", (b - a) / 1e6 }')" >>"$native"
}
for round in $(seq 0 "$native_rounds"); do
  for package in release small; do
    time_native "$round" "$package" portable_read "$native_build/bench/portable_extract" read "$data/$package.package"
    time_native "$round" "$package" zlib_1mib "$native_build/bench/zlib_inflate" "$data/$package.package"
    time_native "$round" "$package" gzip_dc sh -c "gzip -dc '$data/$package.package' >/dev/null"
    time_native "$round" "$package" portable_write "$native_build/bench/portable_extract" write "$data/$package.package" "$out"
    time_native "$round" "$package" tar_xzf tar -xzf "$data/$package.tar.gz" -C "$out"
  done
done
rm -rf "$out"

# --- sizes and the report --------------------------------------------------
sizes=$results/sizes.tsv
{
  printf 'what\tbytes\n'
  if [ "$setup_stub" = "$win_build/Setup.exe" ]; then
    printf 'stub\t%s\n' "$(stat -c %s "$win_build/bench/SetupStub.exe")"
  else  # the given Setup.exe as it is, with whatever small payload it carries
    printf 'stub\t%s\n' "$(stat -c %s "$setup_stub")"
  fi
  for shape in release small; do
    printf '%s_files\t%s\n' "$shape" "$(find "$data/$shape" -type f | wc -l)"
    printf '%s_folder\t%s\n' "$shape" "$(find "$data/$shape" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')"
    printf '%s_largest\t%s\n' "$shape" "$(find "$data/$shape" -type f -printf '%s\n' | sort -n | tail -n 1)"
    printf '%s_package\t%s\n' "$shape" "$(stat -c %s "$data/$shape.package")"
    printf '%s_archive\t%s\n' "$shape" "$(gzip -dc "$data/$shape.package" | wc -c)"
    printf '%s_resource\t%s\n' "$shape" "$(($(stat -c %s "$data/$shape.bmp") - 14))"
    printf '%s_setup\t%s\n' "$shape" "$(stat -c %s "$data/Setup-$shape.exe")"
  done
  [ -z "$before_stub" ] || printf 'before_stub\t%s\n' "$(stat -c %s "$before_stub")"
  printf 'linux_vmhwm_kb\t%s\n' "$(cat "$results/linux_vmhwm.txt")"
  for exe in Setup-release floor_fair-release; do
    printf '%s_rsrc_lazy\t%s\n' "$exe" "$(python3 bench/pe_sections.py --resource-lazy "$data/$exe.exe")"
  done
} >"$sizes"

prefix_down
trap - EXIT
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
uptime_after=$(uptime)
elapsed=$(($(date +%s) - started))
python3 bench/report.py --raw "$raw" --native "$native" --sizes "$sizes" --label "$label" \
  --load-before "$load_before" --load-after "$load_after" --uptime-before "$uptime_before" \
  --uptime-after "$uptime_after" --elapsed "$elapsed" --rounds "$rounds" --phases "$phases" --i386 "$i386_mode" \
  --commit "$(git rev-parse --short HEAD 2>/dev/null || echo unknown)$(git diff --quiet HEAD -- . ':!docs' 2>/dev/null || echo '+changes')" \
  --report docs/benchmark.md --chart docs/benchmark-ratios.png --steps docs/benchmark-steps.tsv \
  --work "$results"
say "done in ${elapsed}s: docs/benchmark.md, docs/benchmark-ratios.png"
