#!/usr/bin/env python3
"""Watches the work directories of the benchmark's programs from the Linux
side (inotify) and writes one line per phase event, on the clock Wine's
QueryPerformanceCounter reads (CLOCK_MONOTONIC_RAW in 100 ns ticks), so
the report can place each event in the run whose start the runner printed.
Nothing in the measured programs changes: they only create, write and
remove files, which the kernel reports here.

    phase_watch.py LOG STAMP_FOLDER PROGRAM_DATA PRODUCT...
      STAMP_FOLDER  the Linux folder of the runner's stamp file
      PROGRAM_DATA  the prefix's ProgramData folder
      PRODUCT       a folder name in it whose Setup.tmp is the work directory
                    (followed when it appears; never made here, since the
                    program judges a product folder it did not make itself)

Lines: ticks <TAB> event <TAB> path, with event one of
  created   a Setup.tmp folder appeared in a watched parent
  written   a file below a Setup.tmp folder was closed after writing
  removed   a Setup.tmp folder left its parent
  stamp     a file named stamp.txt was closed after writing (the stand-in
            host's own stamp: the check that both clocks agree)
Runs until it is killed (SIGTERM). Each event's time is when this process
read it: a bound from above, usually within a millisecond of the event.
"""

import ctypes
import os
import signal
import struct
import sys
import time

IN_MODIFY = 0x002
IN_CLOSE_WRITE = 0x008
IN_MOVED_FROM = 0x040
IN_MOVED_TO = 0x080
IN_CREATE = 0x100
IN_DELETE = 0x200
IN_ISDIR = 0x40000000
IN_Q_OVERFLOW = 0x4000
HEADER = struct.Struct("iIII")

libc = ctypes.CDLL("libc.so.6", use_errno=True)


def ticks():
    return time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW) // 100


def main():
    log_path, stamp_folder, program_data, products = sys.argv[1], sys.argv[2], sys.argv[3], set(sys.argv[4:])
    fd = libc.inotify_init1(0)
    if fd < 0:
        sys.exit("phase_watch: inotify_init1 failed")
    paths = {}      # watch -> folder
    products_wd = {}  # product folder -> watch

    def watch(path, mask):
        wd = libc.inotify_add_watch(fd, path.encode(), mask)
        if wd >= 0:
            paths[wd] = path
        return wd

    def follow_product(path):
        wd = watch(path, IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO)
        if wd >= 0:
            products_wd[path] = wd

    def drop_product(path):  # moved aside or gone: its watch would follow the old folder
        wd = products_wd.pop(path, None)
        if wd is not None:
            libc.inotify_rm_watch(fd, wd)
            paths.pop(wd, None)

    tree_mask = IN_CREATE | IN_CLOSE_WRITE
    root_wd = watch(program_data, IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO)
    stamp_wd = watch(stamp_folder, IN_CLOSE_WRITE)
    for product in products:
        if os.path.isdir(os.path.join(program_data, product)):
            follow_product(os.path.join(program_data, product))
    log = open(log_path, "a", buffering=1)
    signal.signal(signal.SIGTERM, lambda *_: (log.close(), os._exit(0)))
    log.write(f"{ticks()}\tready\t-\n")

    while True:
        data = os.read(fd, 65536)
        now = ticks()
        offset = 0
        while offset < len(data):
            wd, mask, _, length = HEADER.unpack_from(data, offset)
            name = data[offset + HEADER.size:offset + HEADER.size + length].rstrip(b"\0").decode(errors="replace")
            offset += HEADER.size + length
            if mask & IN_Q_OVERFLOW:
                log.write(f"{now}\toverflow\t-\n")
                continue
            folder = paths.get(wd)
            if folder is None:
                continue
            path = os.path.join(folder, name)
            directory = mask & IN_ISDIR
            if wd == root_wd:
                if directory and name in products and mask & (IN_CREATE | IN_MOVED_TO):
                    follow_product(path)
                elif directory and name in products:
                    drop_product(path)
            elif wd == stamp_wd:
                if name == "stamp.txt":
                    log.write(f"{now}\tstamp\t{path}\n")
            elif folder in products_wd:
                if name == "Setup.tmp" and directory and mask & (IN_CREATE | IN_MOVED_TO):
                    log.write(f"{now}\tcreated\t{path}\n")
                    watch(path, tree_mask)
                elif name == "Setup.tmp" and directory:
                    log.write(f"{now}\tremoved\t{path}\n")
            elif directory and mask & IN_CREATE:
                watch(path, tree_mask)  # a folder of the package: its files count too
            elif mask & IN_CLOSE_WRITE:
                log.write(f"{now}\twritten\t{path}\n")


if __name__ == "__main__":
    main()
