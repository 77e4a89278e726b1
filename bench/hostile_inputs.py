#!/usr/bin/env python3
"""Runs the workers on hostile inputs and checks their bounds: no input of at most 1 MiB
may take more than 2 s or 1 GiB of peak memory in either worker.

    bench/hostile_inputs.py <build folder> <input folder or file> ...

Inputs named *.u3d or found in a folder whose name contains "u3d" go to heron_scan,
the rest to marlin_scan. Decompression bombs made from the bundled sample are added:
a section that inflates to 544 MiB of zeros (tessellations, globals), bombs of 30 MiB
in three sections (each within the file's budget, not together), and one bomb named by
64 file structures. Prints the slowest
and largest inputs; exit code 1 when a bound is broken or a worker crashed or wrote a
malformed stream."""
import os
import struct
import subprocess
import sys
import tempfile
import time
import zlib

MAX_INPUT_BYTES = 1 << 20
MAX_SECONDS = 2.0
MAX_RSS_KIB = 1 << 20


def inputs_of(paths):
    for path in paths:
        if os.path.isdir(path):
            for name in sorted(os.listdir(path)):
                full = os.path.join(path, name)
                if os.path.isfile(full):
                    yield full
        elif os.path.isfile(path):
            yield path


SAMPLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "samples", "assembly.prc")
GLOBALS, TESSELLATIONS = 1, 3


def zeros_stream(mebibytes):
    compressor = zlib.compressobj(9)
    block = bytes(1 << 20)
    return b"".join(compressor.compress(block) for _ in range(mebibytes)) + compressor.flush()


def offset_positions(data):
    """Byte positions in the header of every file structure's section offsets, and of
    the ModelFile's start and end."""
    position = 3 + 4 + 4 + 16 + 16
    (count,) = struct.unpack_from("<I", data, position)
    position += 4
    structures = []
    for _ in range(count):
        position += 16 + 4
        (offsets,) = struct.unpack_from("<I", data, position)
        position += 4
        structures.append([position + 4 * k for k in range(offsets)])
        position += 4 * offsets
    return structures, [position, position + 4]


def replace_section(data, structure, section, replacement):
    """The file with one section's bytes replaced and every later offset moved."""
    structures, model = offset_positions(data)
    start, end = (struct.unpack_from("<I", data, structures[structure][k])[0] for k in (section, section + 1))
    out = bytearray(data[:start] + replacement + data[end:])
    for at in [p for offsets in structures for p in offsets] + model:
        (value,) = struct.unpack_from("<I", data, at)
        if value >= end:
            struct.pack_into("<I", out, at, value + len(replacement) - (end - start))
    return bytes(out)


def named_by_many(data, copies):
    """The file with the first file structure's descriptor repeated: many file
    structures that name the same sections."""
    structures, model = offset_positions(data)
    first = structures[0][0] - 4 - 4 - 16
    end = structures[0][-1] + 4 if structures[0] else structures[0][0]
    descriptor = data[first:end]
    grown = len(descriptor) * (copies - 1)
    head = bytearray(data[:model[1] + 4])
    struct.pack_into("<I", head, first - 4, len(structures) + copies - 1)
    for at in [p for offsets in structures for p in offsets] + model:
        (value,) = struct.unpack_from("<I", data, at)
        struct.pack_into("<I", head, at, value + grown)
    moved_descriptor = head[first:end]
    return bytes(head[:end]) + bytes(moved_descriptor) * (copies - 1) + bytes(head[end:]) + data[model[1] + 4:]


def bombs(folder):
    """Bombed variants of the bundled sample, written to folder."""
    with open(SAMPLE, "rb") as f:
        sample = f.read()
    big, small = zeros_stream(544), zeros_stream(30)
    several = sample
    for section in (GLOBALS, GLOBALS + 1, TESSELLATIONS):
        several = replace_section(several, 0, section, small)
    made = {
        "bomb_tessellations.prc": replace_section(sample, 0, TESSELLATIONS, big),
        "bomb_globals.prc": replace_section(sample, 0, GLOBALS, big),
        "bomb_several_sections.prc": several,
        "bomb_named_by_many.prc": named_by_many(replace_section(sample, 0, TESSELLATIONS, big), 64),
    }
    paths = []
    for name, content in made.items():
        paths.append(os.path.join(folder, name))
        with open(paths[-1], "wb") as f:
            f.write(content)
    return paths


def worker_for(path):
    return "heron_scan" if "u3d" in path.lower() else "marlin_scan"


def run(program, path, out):
    start = time.monotonic()
    pid = os.fork()
    if pid == 0:
        os.dup2(out.fileno(), 1)
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, 2)
        os.execv(program, [program, path])
    _, status, usage = os.wait4(pid, 0)
    return time.monotonic() - start, usage.ru_maxrss, status


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    build = sys.argv[1]
    bin_dir = os.path.join(build, "bin")
    inspect = os.path.join(bin_dir, "stream_inspect")
    results, failures = [], []
    bomb_folder = tempfile.TemporaryDirectory()
    for path in list(inputs_of(sys.argv[2:])) + bombs(bomb_folder.name):
        if os.path.getsize(path) > MAX_INPUT_BYTES:
            continue
        worker = worker_for(path)
        with tempfile.TemporaryFile() as out:
            seconds, rss, status = run(os.path.join(bin_dir, worker), path, out)
            out.seek(0)
            check = subprocess.run([inspect, "prc" if worker == "marlin_scan" else "u3d", "-"],
                                   stdin=out, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        results.append((seconds, rss, worker, path))
        if not os.WIFEXITED(status) or os.WEXITSTATUS(status) != 0:
            failures.append(f"{worker} {path}: ended with status {status}")
        elif check.returncode != 0:
            failures.append(f"{worker} {path}: malformed stream: {check.stdout.decode(errors='replace').strip()}")
        if seconds > MAX_SECONDS:
            failures.append(f"{worker} {path}: {seconds:.2f} s")
        if rss > MAX_RSS_KIB:
            failures.append(f"{worker} {path}: {rss / 1024:.0f} MiB")
    print(f"{len(results)} inputs")
    for title, key in (("slowest", lambda r: r[0]), ("largest peak memory", lambda r: r[1])):
        print(f"{title}:")
        for seconds, rss, worker, path in sorted(results, key=key, reverse=True)[:5]:
            print(f"  {seconds * 1000:8.1f} ms {rss / 1024:8.1f} MiB  {worker} {os.path.basename(path)}")
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
