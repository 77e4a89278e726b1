#!/usr/bin/env python3
"""Runs the workers on hostile inputs and checks their bounds: no input of at most 1 MiB
may take more than 2 s or 1 GiB of peak memory in either worker.

    bench/hostile_inputs.py <build folder> <input folder or file> ...

Inputs named *.u3d or found in a folder whose name contains "u3d" go to heron_scan,
the rest to marlin_scan. Prints the slowest and largest inputs; exit code 1 when a
bound is broken or a worker crashed or wrote a malformed stream."""
import os
import subprocess
import sys
import tempfile
import time

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
    for path in inputs_of(sys.argv[2:]):
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
