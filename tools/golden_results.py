#!/usr/bin/env python3
"""Runs both workers on every real file and compares the SHA-256 of each result stream
with the table in tests/golden_results.tsv, so that a change that was meant to be only
faster cannot silently change what a viewer shows.

usage: golden_results.py check|update BIN_DIR CORPUS_DIR [TABLE]
  check   exit 1 when a stream differs or a file is missing from the table or the corpus
  update  rewrite the table from the current workers
Exits 77 (skipped) when the corpus folder is absent."""
import concurrent.futures
import hashlib
import os
import subprocess
import sys

FOLDERS = {'prc': 'marlin_scan', 'prc-generated': 'marlin_scan', 'u3d': 'heron_scan', 'u3d-open': 'heron_scan'}
SUFFIXES = ('.prc', '.u3d')
SKIP = 77
PER_FILE_SECONDS = 300


def corpus_files(corpus):
    for folder in sorted(FOLDERS):
        path = os.path.join(corpus, folder)
        if not os.path.isdir(path):
            continue
        for name in sorted(os.listdir(path)):
            if name.endswith(SUFFIXES):
                yield f'{folder}/{name}'


def stream_hash(bin_dir, corpus, relative):
    folder = relative.split('/', 1)[0]
    path = os.path.join(corpus, relative)
    command = [os.path.join(bin_dir, FOLDERS[folder]), path]
    if FOLDERS[folder] == 'heron_scan':
        command.append(os.path.dirname(path))  # a viewer passes the document's folder
    run = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=PER_FILE_SECONDS)
    # The exit code is part of the outcome: a stream cut short by a failed write must not match.
    return hashlib.sha256(run.stdout).hexdigest() + ('' if run.returncode == 0 else f' exit {run.returncode}')


def read_table(table):
    rows = {}
    with open(table, encoding='utf-8') as f:
        for line in f:
            if line.strip() and not line.startswith('#'):
                name, digest = line.rstrip('\n').split('\t')
                rows[name] = digest
    return rows


def main():
    if len(sys.argv) not in (4, 5) or sys.argv[1] not in ('check', 'update'):
        print(__doc__, file=sys.stderr)
        return 2
    mode, bin_dir, corpus = sys.argv[1:4]
    table = sys.argv[4] if len(sys.argv) == 5 else os.path.join(os.path.dirname(__file__), '..', 'tests', 'golden_results.tsv')
    if not os.path.isdir(corpus):
        print(f'no corpus at {corpus}: skipped')
        return SKIP
    files = list(corpus_files(corpus))
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        actual = dict(zip(files, pool.map(lambda f: stream_hash(bin_dir, corpus, f), files)))

    if mode == 'update':
        with open(table, 'w', encoding='utf-8') as f:
            f.write('# file\tSHA-256 of the result stream (tools/golden_results.py update BIN CORPUS)\n')
            for name in files:
                f.write(f'{name}\t{actual[name]}\n')
        print(f'{len(files)} streams recorded in {table}')
        return 0

    expected = read_table(table)
    failures = 0
    for name in files:
        if name not in expected:
            print(f'NEW      {name}: not in the table')
            failures += 1
        elif expected[name] != actual[name]:
            print(f'CHANGED  {name}: {actual[name]} (table: {expected[name]})')
            failures += 1
    for name in sorted(set(expected) - set(files)):
        print(f'MISSING  {name}: in the table, not in the corpus')
        failures += 1
    print(f'{len(files) - failures} of {len(files)} streams as recorded')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
