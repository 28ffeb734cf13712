#!/usr/bin/env python3
"""Writes a published-application folder for the benchmark, the same bytes on
every run: "release" is shaped like a real release (223 files, 56,885,766
bytes, the largest 13,309,208, native runtimes per RID and culture folders,
content that gzip -9 squeezes to about 37 %); "small" is a 10-file package of
a few MB.

    make_app_folder.py release|small FOLDER

The entry file (the one dotnet.exe is started on) is always Bench.App.dll.
"""

import os
import random
import shutil
import sys

ENTRY = "Bench.App.dll"

# Share of each file that is incompressible (like embedded, already
# compressed resources); the rest is text-like code and metadata that
# deflate takes to a fraction of its size. Tuned so the release folder packs
# to about 37 % at level 9.
RANDOM_SHARE = 0.17
BLOCK = 16 * 1024

RIDS = ["win-x64", "win-x86", "win-arm64"]
CULTURES = ["cs", "de", "es", "fr", "it", "ja", "ko", "pl", "pt-BR", "ru", "tr", "zh-Hans", "zh-Hant"]


def vocabulary(rng):
    letters = b"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_."
    words = []
    for _ in range(512):
        n = rng.randint(4, 16)
        words.append(bytes(rng.choice(letters) for _ in range(n)))
    return words


def content(rng, words, size):
    """size bytes: blocks that are either random or words from a vocabulary
    separated by small binary fields, the way metadata tables look."""
    out = bytearray()
    while len(out) < size:
        if rng.random() < RANDOM_SHARE:
            out += rng.randbytes(BLOCK)
        else:
            picked = rng.choices(words, k=BLOCK // 6)
            out += b"\0".join(picked)[:BLOCK]
    del out[size:]
    return bytes(out)


def release_layout(rng):
    """(relative name, size) for 223 files summing to 56,885,766 bytes."""
    total, largest = 56_885_766, 13_309_208
    names = [ENTRY, "Bench.App.deps.json", "Bench.App.runtimeconfig.json", "Bench.App.pdb"]
    names += [f"Bench.Lib{i:02d}.dll" for i in range(1, 61)]
    names += [f"Vendor.Component{i:02d}.dll" for i in range(1, 61)]
    for rid in RIDS:
        names += [f"runtimes/{rid}/native/native_{rid.replace('-', '_')}_{i}.dll" for i in range(1, 8)]
    names += [f"runtimes/win/lib/net6.0/System.Platform{i}.dll" for i in range(1, 9)]
    for culture in CULTURES:
        names += [f"{culture}/Bench.App.resources.dll", f"{culture}/Vendor.Component01.resources.dll",
                  f"{culture}/Vendor.Component02.resources.dll"]
    names += [f"assets/image{i:02d}.bin" for i in range(1, 32)]
    assert len(names) == 223, len(names)

    # One big native library, a handful of large assemblies, a long tail of
    # small ones: a log-normal spread scaled to the exact total.
    big = "runtimes/win-x64/native/native_win_x64_1.dll"
    sizes = {name: int(rng.lognormvariate(11.2, 1.25)) + 512 for name in names if name != big}
    scale = (total - largest) / sum(sizes.values())
    sizes = {name: max(64, min(int(s * scale), largest - 1)) for name, s in sizes.items()}
    rest = total - largest - sum(sizes.values())
    sizes[ENTRY] += rest  # the main assembly takes up the rounding
    sizes[big] = largest
    assert sum(sizes.values()) == total and max(sizes.values()) == largest and min(sizes.values()) > 0
    return [(name, sizes[name]) for name in names]


def small_layout(rng):
    names = [ENTRY, "Bench.App.deps.json", "Bench.App.runtimeconfig.json", "Bench.Lib01.dll",
             "Bench.Lib02.dll", "Vendor.Component01.dll", "de/Bench.App.resources.dll",
             "fr/Bench.App.resources.dll", "runtimes/win-x64/native/native_win_x64_1.dll",
             "runtimes/win-x86/native/native_win_x86_1.dll"]
    sizes = [1_200_000, 2_400, 900, 640_000, 310_000, 820_000, 48_000, 47_000, 410_000, 360_000]
    return list(zip(names, sizes))


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("release", "small"):
        sys.exit(__doc__)
    shape, folder = sys.argv[1], sys.argv[2]
    rng = random.Random(f"tenvik-bench-{shape}")
    words = vocabulary(rng)
    layout = release_layout(rng) if shape == "release" else small_layout(rng)
    if os.path.exists(folder):
        shutil.rmtree(folder)
    for name, size in layout:
        path = os.path.join(folder, *name.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(content(rng, words, size))


if __name__ == "__main__":
    main()
