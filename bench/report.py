#!/usr/bin/env python3
"""Turns the raw figures of scripts/bench.sh into docs/benchmark.md, its chart
(gnuplot) and one more line in the steps file. Run by scripts/bench.sh."""

import argparse
import csv
import datetime
import os
import statistics
import subprocess

MIB = 1024 * 1024


def read_tsv(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f, delimiter="\t"))


def median(values):
    return statistics.median(values) if values else float("nan")


def spread(values):
    """Range as a share of the median."""
    m = median(values)
    return (max(values) - min(values)) / m * 100 if values and m else float("nan")


TICKS_PER_MS = 10_000  # Wine's performance counter: 100 ns ticks of CLOCK_MONOTONIC_RAW


def read_phase_events(path):
    events = []
    with open(path) as f:
        for line in f:
            parts = line.rstrip("\n").split("\t")
            if len(parts) == 3 and parts[0].isdigit():
                events.append((int(parts[0]), parts[1], parts[2]))
    return sorted(events)


def run_phases(run, events):
    """The phases of one run, in ms after its start: the events between the
    runner's start and the program's end (plus a little, since the watcher reads
    an event after it happened)."""
    start = int(run["start_qpc"])
    end = start + int(float(run["wall_ms"]) * TICKS_PER_MS) + 20 * TICKS_PER_MS
    mine = [(t, kind) for t, kind, _ in events if start <= t <= end]

    def ms(t):
        return (t - start) / TICKS_PER_MS

    created = [t for t, kind in mine if kind == "created"]
    removed = [t for t, kind in mine if kind == "removed"]
    stamp = float(run["stamp_ms"])
    # Written until the host starts (Setup.exe) or the tree is removed (floors).
    setup = run["program"] in ("setup", "before")
    until = start + stamp * TICKS_PER_MS if setup and stamp >= 0 else (removed[-1] if removed else end)
    written = [t for t, kind in mine if kind == "written" and t <= until]
    stamps = [t for t, kind in mine if kind == "stamp"]
    return {
        "created": ms(created[0]) if created else None,
        "written": ms(written[-1]) if written else None,
        "host": stamp if setup and stamp >= 0 else None,
        "removed": ms(removed[-1]) if removed else None,
        "exit": float(run["wall_ms"]),
        # How late the watcher saw the stamp file the stand-in host wrote:
        # the check that the watcher's clock and lag are what they should be.
        "lag": (ms(stamps[-1]) - stamp) if stamps and stamp >= 0 else None,
        "files": len([1 for _, kind in mine if kind == "written"]),
    }


def phase_section(out, timed, events, names):
    phases = {}
    for run in timed:
        phases[(run["package"], run["program"], int(run["round"]))] = run_phases(run, events)
    columns = (("created", "work directory created"), ("written", "last entry written"),
               ("host", "host started"), ("removed", "removal done"), ("exit", "program ended"))

    def values(package, program, key):
        return [p[key] for (pk, pr, _), p in phases.items() if pk == package and pr == program and p[key] is not None]

    def cell(v):
        return f"{median(v):.1f}" if v else "-"

    out("## Phases (ms after the start, medians of the timed runs)")
    out("")
    out("Seen from the Linux side while the timed runs went on (`bench/phase_watch.py`, inotify on the prefix's "
        "ProgramData): the work directory `Setup.tmp` appearing, the last file below it closed after writing "
        "(before the host's start for Setup.exe, before the removal for the floors), the work directory leaving "
        "its folder. The host start is the stand-in `dotnet.exe`'s own stamp. Nothing in the measured programs "
        "is changed for this: the events are the kernel's.")
    out("")
    out("| package | program | " + " | ".join(title for _, title in columns) + " |")
    out("|---|---|" + "---:|" * len(columns))
    for package in ("release", "small"):
        for program in ("setup", "before", "fair", "fair_host", "fair_dlls", "write"):
            if not values(package, program, "exit"):
                continue
            out(f"| {package} | {names[program]} | " +
                " | ".join(cell(values(package, program, key)) for key, _ in columns) + " |")
    out("")
    out("Setup.exe minus the fair floor, phase by phase (median of the per-round differences, ms; the two run "
        "back to back in every round). The last column is the time from the last entry written until the end: "
        "Setup.exe's host start, host run and removal against the floor's removal.")
    out("")
    out("| package | work directory created | last entry written | removal done | program ended "
        "| last entry to end (Setup.exe) | last entry to end (fair floor) |")
    out("|---|---:|---:|---:|---:|---:|---:|")
    for package in ("release", "small"):
        rounds = sorted(r for (pk, pr, r) in phases if pk == package and pr == "setup")
        diffs = {key: [] for key in ("created", "written", "removed", "exit")}
        tails = {"setup": [], "fair": []}
        for r in rounds:
            a, b = phases.get((package, "setup", r)), phases.get((package, "fair", r))
            if not b:
                continue
            for key in diffs:
                if a[key] is not None and b[key] is not None:
                    diffs[key].append(a[key] - b[key])
            for program, p in (("setup", a), ("fair", b)):
                if p["written"] is not None:
                    tails[program].append(p["exit"] - p["written"])
        out(f"| {package} | " + " | ".join(cell(diffs[k]) for k in ("created", "written", "removed", "exit")) +
            f" | {cell(tails['setup'])} | {cell(tails['fair'])} |")
    out("")
    lags = [p["lag"] for p in phases.values() if p["lag"] is not None]
    files = {pk: median([p["files"] for (k, pr, _), p in phases.items() if k == pk and pr == "setup"])
             for pk in ("release", "small")}
    if lags:
        out(f"The watcher's check: it saw the stand-in host's stamp file {median(lags):.2f} ms (median; at most "
            f"{max(lags):.2f}) after the time written in it, on the same clock; it saw a median of "
            f"{files['release']:.0f} and {files['small']:.0f} file closes per Setup.exe run (release, small). "
            "Its figures are bounds from above by about that lag.")
        out("")


def main():
    parser = argparse.ArgumentParser()
    for name in ("raw", "native", "sizes", "label", "load-before", "load-after", "uptime-before", "uptime-after",
                 "elapsed", "rounds", "commit", "report", "chart", "steps", "work", "phases", "i386"):
        parser.add_argument("--" + name, required=True)
    a = parser.parse_args()

    raw = read_tsv(a.raw)
    sizes = {row["what"]: int(row["bytes"]) for row in read_tsv(a.sizes)}
    timed = [r for r in raw if r["kind"] == "time" and r["round"] != "0"]  # round 0 warms up

    def runs(package, program, field="wall_ms"):
        return {int(r["round"]): float(r[field]) for r in timed if r["package"] == package and r["program"] == program}

    def ratios(package, top, bottom, top_field="wall_ms", bottom_field="wall_ms"):
        t, b = runs(package, top, top_field), runs(package, bottom, bottom_field)
        return [t[k] / b[k] for k in sorted(t) if k in b and b[k] > 0]

    lines = []
    out = lines.append
    out("# Benchmark: Setup.exe against the physical floor")
    out("")
    out("Written by `scripts/bench.sh` (the figures below are from one run; run it again to refresh them).")
    out("")
    out(f"- Run: {datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M} UTC, commit {a.commit} "
        f"({a.label}), {a.rounds} timed rounds after one warm-up round, {a.elapsed} s in all.")
    out(f"- Machine load (1/5/15-minute load average): before {a.load_before}, after {a.load_after}; "
        f"{os.cpu_count()} cores. `uptime` before: `{a.uptime_before.strip()}`; after: `{a.uptime_after.strip()}`.")
    out(f"- 32-bit Windows programs ran {a.i386}.")
    out(f"- Release-shaped folder: {sizes['release_files']} files, {sizes['release_folder']:,} bytes, the largest "
        f"{sizes['release_largest']:,}; archive {sizes['release_archive']:,} bytes, package "
        f"{sizes['release_package']:,} bytes ({sizes['release_package'] / sizes['release_archive']:.1%}). "
        f"Small: {sizes['small_files']} files, {sizes['small_folder']:,} bytes, package {sizes['small_package']:,}.")
    out("")

    # --- timed runs ---
    out("## Time under Wine (one prefix, one wineserver, interleaved)")
    out("")
    out("Each round runs, for each package, the inflate-only floor, then Setup.exe and the fair floor back to "
        "back (which goes first alternates; the fair floor that also starts the host is next to them), then the "
        "fair floor with Setup's DLLs and the inflate-write-delete floor; `sync` before every run, so none "
        "starts with the previous one's writes pending. The inflate-only floor goes first because the first run "
        "after the other package's runs is often the slower one, whichever program it is.")
    out("")
    out("| package | program | median ms | min | max | spread | host start / files written, median ms |")
    out("|---|---|---:|---:|---:|---:|---:|")
    has_before = any(r["program"] == "before" for r in timed)
    names = {"setup": "Setup.exe", "before": "Setup.exe before", "fair": "fair floor", "fair_host": "fair floor + host start", "fair_dlls": "fair floor + Setup's system DLLs",
             "write": "inflate + write + delete", "inflate": "inflate only (1 MiB reads)"}
    for package in ("release", "small"):
        for program in ("setup",) + (("before",) if has_before else ()) + ("fair", "fair_host", "fair_dlls", "write",
                                                                          "inflate"):
            w = list(runs(package, program).values())
            s = [v for v in runs(package, program, "stamp_ms").values() if v >= 0]
            stamp = f"{median(s):.1f}" if s else ""
            out(f"| {package} | {names[program]} | {median(w):.1f} | {min(w):.1f} | {max(w):.1f} | "
                f"{spread(w):.0f} % | {stamp} |")
    out("")
    out("The fair floor + DLLs is the fair floor that first loads the system DLLs Setup.exe cannot do without "
        "(user32, shell32, ole32, advapi32) and makes the calls Setup.exe makes of them before it unpacks (busy "
        "cursor, ProgramData folder, a registry look-up). Under Wine that start-up costs tens of milliseconds; on "
        "Windows these DLLs are KnownDLLs, mapped in every process already. The fair floor + host start is the fair floor "
        "that, its files written, starts the stand-in `dotnet.exe` as Setup.exe does (`CreateProcessW`, hidden, the work "
        "directory as its current directory), waits for it, then deletes; its host start is the stand-in's stamp.")
    out("")
    out("Spread is the range (max - min) as a share of the median. The host start is the stand-in `dotnet.exe`'s "
        "own stamp, the floors' is the moment their last file is written; both are read on the performance "
        "counter that the runner (`bench_runner.exe`, a Windows program) started its clock on right before "
        "`CreateProcessW`. One holder process keeps Wine's desktop (explorer.exe) up for the whole run, as it is "
        "on Windows; without it a run now and then pays up to 10 s for a desktop start that races with one leaving.")
    out("")
    lazy = {k: sizes.get(f"{k}_rsrc_lazy") for k in ("Setup-release", "floor_fair-release")}
    out("Wine maps a section of an image from the file only when its file offset and its address agree modulo "
        "the page size, and reads any other whole at load time (19 MiB and some 10 ms for the release payload). "
        f"In this run Setup.exe's resource section is {'mapped lazily' if lazy['Setup-release'] == 1 else 'read at load'}"
        f" and the fair floor's is {'mapped lazily' if lazy['floor_fair-release'] == 1 else 'read at load'}"
        " (the floors are linked with 4 KiB file alignment; Setup.exe's layout is the linker's and the packer's).")
    out("")
    out("Median of the per-round ratios:")
    out("")
    out("| package | Setup.exe / fair floor | / fair floor + DLLs | / inflate+write+delete | / inflate only "
        "| host start / fair floor's files written | host start / fair floor + DLLs' files written |")
    out("|---|---:|---:|---:|---:|---:|---:|")
    figures = {}
    before_figures = {}
    for package in ("release", "small"):
        if has_before:
            before_figures[package] = (
                median(ratios(package, "before", "fair")), median(ratios(package, "before", "fair_dlls")),
                median(ratios(package, "before", "write")), median(ratios(package, "before", "inflate")),
                median(ratios(package, "before", "fair", "stamp_ms", "stamp_ms")),
                median(ratios(package, "before", "fair_dlls", "stamp_ms", "stamp_ms")),
                median(ratios(package, "setup", "before")))
        fr = median(ratios(package, "setup", "fair"))
        wr = median(ratios(package, "setup", "write"))
        ir = median(ratios(package, "setup", "inflate"))
        hr = median(ratios(package, "setup", "fair", "stamp_ms", "stamp_ms"))
        dr = median(ratios(package, "setup", "fair_dlls"))
        dh = median(ratios(package, "setup", "fair_dlls", "stamp_ms", "stamp_ms"))
        figures[package] = (fr, wr, ir, hr, dr, dh)
        out(f"| {package} | {fr:.2f} | {dr:.2f} | {wr:.2f} | {ir:.2f} | {hr:.2f} | {dh:.2f} |")
    out("")
    # The fair floor that also starts the stand-in host (as Setup.exe does,
    # hidden, in the work directory) and waits for it before deleting.
    host_figures = {}
    out("Against the fair floor that also starts the host and waits for it (median of the per-round ratios"
        + ("; the earlier Setup.exe's before the arrow" if has_before else "") + "):")
    out("")
    out("| package | Setup.exe / fair floor + host start | host start / the floor's host start |")
    out("|---|---:|---:|")
    for package in ("release", "small"):
        host_figures[package] = (median(ratios(package, "setup", "fair_host")),
                                 median(ratios(package, "setup", "fair_host", "stamp_ms", "stamp_ms")))
        cells = [f"{v:.2f}" for v in host_figures[package]]
        if has_before:
            earlier = (median(ratios(package, "before", "fair_host")),
                       median(ratios(package, "before", "fair_host", "stamp_ms", "stamp_ms")))
            host_figures[package] += earlier
            cells = [f"{e:.2f} → {c}" for e, c in zip(earlier, cells)]
        out(f"| {package} | " + " | ".join(cells) + " |")
    out("")
    if has_before:
        out("The earlier Setup.exe (`--before`), measured in the same rounds, beside it (before, then now):")
        out("")
        out("| package | / fair floor | / fair floor + DLLs | / inflate+write+delete | / inflate only "
            "| host start / fair floor's files written | host start / fair floor + DLLs' files written "
            "| now / before, whole run |")
        out("|---|---:|---:|---:|---:|---:|---:|---:|")
        for package in ("release", "small"):
            b, n = before_figures[package], figures[package]
            now = (n[0], n[4], n[1], n[2], n[3], n[5])
            out(f"| {package} | " + " | ".join(f"{b[i]:.2f} → {v:.2f}" for i, v in zip((0, 1, 2, 3, 4, 5), now)) +
                f" | {b[6]:.2f} |")
        out("")

    phase_section(out, timed, read_phase_events(a.phases), names)

    # --- memory ---
    mem = [r for r in raw if r["kind"] == "memory"]

    def peak(package, program):
        return median([int(r["peak_kb"]) for r in mem if r["package"] == package and r["program"] == program])

    verify = [r for r in raw if r["kind"] == "verify"]
    stub_kb = peak("none", "stub")
    empty_kb = peak("none", "empty")
    payload_kb = (sizes["release_resource"] + sizes["release_package"]) / 1024
    design_kb = empty_kb + payload_kb
    setup_kb = peak("release", "setup")
    out("## Peak memory")
    out("")
    out("Under Wine a Windows program is one Linux process. The runner polls `GetProcessMemoryInfo` on the "
        "process every millisecond while it runs and keeps the largest `PeakWorkingSetSize`; Wine answers it "
        "from the Linux process's `VmHWM` (/proc/PID/status) and only while that process lives (after the exit "
        "it gives 0 or a stale figure, so polling is needed). Polling costs time, so these are separate runs "
        "from the timed ones.")
    if verify:
        out(f" Check in this run: polled {int(verify[0]['peak_kb']):,} kB, the Linux process's own VmHWM read from "
            f"/proc at the same time {sizes['linux_vmhwm_kb']:,} kB.")
    out("")
    out("| run | peak (median), MiB |")
    out("|---|---:|")
    out(f"| Setup.exe, release package | {setup_kb / 1024:.1f} |")
    out(f"| fair floor, release package | {peak('release', 'fair') / 1024:.1f} |")
    out(f"| Setup.exe, small package | {peak('small', 'setup') / 1024:.1f} |")
    if any(r["program"] == "before" for r in mem):
        out(f"| Setup.exe before, release package | {peak('release', 'before') / 1024:.1f} |")
        out(f"| Setup.exe before, small package | {peak('small', 'before') / 1024:.1f} |")
    out(f"| Setup.exe without payload (the same program, nothing to unpack) | {stub_kb / 1024:.1f} |")
    out(f"| the least program (the fair floor without payload, ends at once) | {empty_kb / 1024:.1f} |")
    out(f"| fair floor + Setup's system DLLs, release package | {peak('release', 'fair_dlls') / 1024:.1f} |")
    out(f"| the least program with Setup's system DLLs brought up | {peak('none', 'empty_dlls') / 1024:.1f} |")
    out("")
    out(f"The design's own need at release size: the least program ({empty_kb / 1024:.1f} MiB under Wine) + the "
        f"image's payload resource ({sizes['release_resource'] / MIB:.1f} MiB, resident once it is read) + one copy "
        f"of the payload while it is written out ({sizes['release_package'] / MIB:.1f} MiB) = "
        f"{design_kb / 1024:.1f} MiB; afterwards the largest entry ({sizes['release_largest'] / MIB:.1f} MiB) takes "
        f"the copy's place, which is less. Counted from Setup.exe's own start-up cost instead (the program without "
        f"payload, which loads the shell and registry DLLs and runs the whole sequence), the need would be "
        f"{(stub_kb + payload_kb) / 1024:.1f} MiB; from the least program with Setup's system DLLs brought up, "
        f"{(peak('none', 'empty_dlls') + payload_kb) / 1024:.1f} MiB.")
    out("")

    # --- native ---
    native = read_tsv(a.native)
    nat = {}
    for r in native:
        if r["round"] == "0":
            continue
        nat.setdefault((r["package"], r["program"]), []).append(float(r["wall_ms"]))
    out("## Natively: the portable extraction code against gzip and tar")
    out("")
    out("`portable_extract` is the gzip input stream and archive reader of Setup.exe built for Linux, with stdio "
        "writes; `zlib_inflate` is zlib's gz reading with 1 MiB reads into one buffer (what the floors do); "
        "`gzip -dc` and `tar -xzf` work on the same content (the package file, and a tar.gz of the same folder at "
        "level 9). Medians of the rounds after a warm-up.")
    out("")
    out("| package | portable read | zlib, 1 MiB reads | gzip -dc >/dev/null | portable / zlib | portable / gzip "
        "| portable extract | tar -xzf | portable / tar |")
    out("|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    native_ratio = {}
    for package in ("release", "small"):
        pr, zl = median(nat[(package, "portable_read")]), median(nat[(package, "zlib_1mib")])
        gz = median(nat[(package, "gzip_dc")])
        pw, tx = median(nat[(package, "portable_write")]), median(nat[(package, "tar_xzf")])
        native_ratio[package] = (pr / gz, pw / tx, pr / zl)
        out(f"| {package} | {pr:.1f} ms | {zl:.1f} ms | {gz:.1f} ms | {pr / zl:.2f} | {pr / gz:.2f} | {pw:.1f} ms "
            f"| {tx:.1f} ms | {pw / tx:.2f} |")
    out("")
    out(f"The difference between the portable read and zlib's 1 MiB reads "
        f"({median(nat[('release', 'portable_read')]) - median(nat[('release', 'zlib_1mib')]):.0f} ms at release "
        f"size) is the price of the stream's 299-byte refills: every byte is copied out of zlib's own buffer into "
        f"the refill area and from there into the entry, in about 190,000 refills.")
    out("")

    # --- goals ---
    stub = sizes["stub"]
    rel, small = figures["release"], figures["small"]
    goals = [
        ("Full run, release size / fair floor", rel[0], 1.15, f"{rel[0]:.2f}"),
        ("Full run, release size / fair floor + host start", host_figures["release"][0], 1.10,
         f"{host_figures['release'][0]:.2f}"),
        ("Small package / its fair floor + host start", host_figures["small"][0], 1.5,
         f"{host_figures['small'][0]:.2f}"),
        ("Peak memory / (design need + 4 MiB)", setup_kb / (design_kb + 4096), 1.0,
         f"{setup_kb / 1024:.1f} MiB vs {(design_kb + 4096) / 1024:.1f} MiB"),
        ("Stub, stripped, static / 1 MiB", stub / MIB, 1.0, f"{stub:,} bytes"),
    ]
    if before_figures:
        b_rel, b_small = before_figures["release"], before_figures["small"]
        b_peak = peak("release", "before")
        before_text = [f"{b_rel[0]:.2f}", f"{host_figures['release'][2]:.2f}", f"{host_figures['small'][2]:.2f}",
                       f"{b_peak / 1024:.1f} MiB ({b_peak / (design_kb + 4096):.2f})",
                       f"{sizes['before_stub']:,} bytes ({sizes['before_stub'] / MIB:.2f})"]
    out("## Goals")
    out("")
    if before_figures:
        out("| goal | limit | before | measured | met |")
        out("|---|---:|---:|---:|---|")
        for (name, value, limit, text), earlier in zip(goals, before_text):
            out(f"| {name} | {limit:.2f} | {earlier} | {text} ({value:.2f}) | {'yes' if value <= limit else 'no'} |")
    else:
        out("| goal | limit | measured | met |")
        out("|---|---:|---:|---|")
        for name, value, limit, text in goals:
            out(f"| {name} | {limit:.2f} | {text} ({value:.2f}) | {'yes' if value <= limit else 'no'} |")
    out("")
    out("![Ratios against their limits](benchmark-ratios.png)")
    out("")

    # --- steps ---
    step = [datetime.date.today().isoformat(), a.commit, a.label, f"{rel[0]:.2f}", f"{rel[3]:.2f}",
            f"{small[0]:.2f}", f"{setup_kb / 1024:.1f}", f"{design_kb / 1024:.1f}", str(stub), f"{rel[4]:.2f}",
            f"{rel[5]:.2f}", f"{host_figures['release'][0]:.2f}", f"{host_figures['small'][0]:.2f}"]
    header = ["date", "commit", "label", "release_ratio", "host_start_ratio", "small_ratio", "peak_mib",
              "design_mib", "stub_bytes", "release_vs_dlls_floor", "host_start_vs_dlls_floor",
              "release_vs_host_floor", "small_vs_host_floor"]
    previous = read_tsv(a.steps) if os.path.exists(a.steps) else []
    with open(a.steps, "w", newline="") as f:
        writer = csv.writer(f, delimiter="\t", lineterminator="\n")
        writer.writerow(header)
        for row in previous:
            writer.writerow([row.get(h) or "" for h in header])
        writer.writerow(step)
    out("## Steps")
    out("")
    out("Every run of the benchmark adds a line to `docs/benchmark-steps.tsv`; the speed work shows in it step by step.")
    out("")
    out("| date | commit | what | release / fair | host start / written | small / fair | peak MiB (design) | stub bytes "
        "| release / fair + DLLs | host start / fair + DLLs | release / fair + host | small / fair + host |")
    out("|---|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for row in read_tsv(a.steps):
        out(f"| {row['date']} | {row['commit']} | {row['label']} | {row['release_ratio']} | {row['host_start_ratio']} "
            f"| {row['small_ratio']} | {row['peak_mib']} ({row['design_mib']}) | {int(row['stub_bytes']):,} "
            f"| {row.get('release_vs_dlls_floor') or '-'} | {row.get('host_start_vs_dlls_floor') or '-'} "
            f"| {row.get('release_vs_host_floor') or '-'} | {row.get('small_vs_host_floor') or '-'} |")
    out("")
    notes = os.path.join(os.path.dirname(a.report), "benchmark-notes.md")
    if os.path.exists(notes):
        with open(notes) as f:
            out(f.read().rstrip())
        out("")

    with open(a.report, "w") as f:
        f.write("\n".join(lines))

    # --- chart ---
    data = os.path.join(a.work, "ratios.dat")
    with open(data, "w") as f:
        for name, value, limit, _ in goals:
            f.write(f"\"{name}\" {value:.4f} {limit:.4f}\n")
        f.write(f"\"Full run / fair floor + DLLs\" {rel[4]:.4f} NaN\n")
        f.write(f"\"Host start / fair floor + DLLs\" {rel[5]:.4f} NaN\n")
        f.write(f"\"Native read / zlib 1 MiB reads\" {native_ratio['release'][2]:.4f} NaN\n")
        f.write(f"\"Native read / gzip -dc\" {native_ratio['release'][0]:.4f} NaN\n")
        f.write(f"\"Native extract / tar -xzf\" {native_ratio['release'][1]:.4f} NaN\n")
    script = f"""
set terminal png size 1100,560 font ",10"
set output "{a.chart}"
set title "Setup.exe against its floors (release-shaped package unless named)"
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.8 border -1
set boxwidth 0.9
set ylabel "ratio"
set yrange [0:*]
set xtics rotate by -20 scale 0
set key top right
set grid ytics
plot "{data}" using 2:xtic(1) title "measured" lc rgb "#3b6ea5", \\
     "" using 3 title "limit" lc rgb "#c8553d"
"""
    subprocess.run(["gnuplot"], input=script, text=True, check=True)


if __name__ == "__main__":
    main()
