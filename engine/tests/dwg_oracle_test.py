#!/usr/bin/python3
"""Edited DWGs read by two independent readers.

    dwg_oracle_test.py DXFTOOL CORPUS_DIR ORACLES_DIR

Every corpus DWG of a version the engine saves gets the same job through
`dxftool edit` (merge, rename, layer states, add, delete, current layer,
purge). The engine reads the result back (every CRC and checksum checked)
and must show the layer table and per-layer counts the job makes of the
original. Then LibreDWG and libdxfrw (WebAssembly builds from npm, run by
nodejs through ORACLES_DIR/oracles.mjs; never part of the product) read the
original and the result: a reader that reads the original must read the
result, its reading of the result must be the job applied to its reading of
the original (layer names, on, frozen, locked, the edited colour, and the
top-level objects per layer), and its layer names must be the engine's.

Exits 77 (skipped) with the reason when nodejs or the npm readers are absent
(bench/dwg/install-oracles.sh installs them).
"""
import concurrent.futures
import json
import os
import shutil
import subprocess
import sys
import tempfile

SAVED_VERSIONS = {b"AC1015", b"AC1018", b"AC1024", b"AC1027", b"AC1032"}
# What each reader reads of a DWG layer: LibreDWG reads every layer as
# locked; libdxfrw takes "off" from a negative colour, which a DWG does not
# use (it keeps a flag), so every DWG layer reads as on.
READERS = {"libredwg": ("on", "frozen", "color"), "libdxfrw": ("frozen", "locked", "color")}
RENAMED, ADDED = "Renamed layer", "Added"


def engine_layers(dxftool, path):
    """name -> {on, frozen, locked, color}, and name -> objects on it."""
    out = subprocess.run([dxftool, "layers", path], capture_output=True, text=True)
    if out.returncode != 0:
        raise AssertionError(f"the engine cannot read {path}: {out.stderr.strip()}")
    table, counts = {}, {}
    for line in out.stdout.splitlines():
        f = line.split("\t")
        table[f[0]] = {"on": f[1] == "1", "frozen": f[2] == "1", "locked": f[3] == "1", "color": int(f[4])}
        counts[f[0]] = int(f[9])
    return table, counts


def plan(table, counts):
    """The layers the job edits: A (with objects) merges into B, C is renamed."""
    candidates = [n for n in table if n != "0" and n.lower() != "defpoints" and "|" not in n]
    if len(candidates) < 3:
        return None
    a = max(candidates, key=lambda n: (counts.get(n, 0), n))
    rest = [n for n in candidates if n != a]
    return a, rest[0], rest[-1]


def job_ops(a, b, c, table):
    lb, lc = table[b], table[c]
    return [f"merge:{a}={b}", f"rename:{c}={RENAMED}", ("on:" if not lb["on"] else "off:") + b,
            f"color:{b}={4 if lb['color'] == 3 else 3}", ("thaw:" if lc["frozen"] else "freeze:") + RENAMED,
            ("unlock:" if lc["locked"] else "lock:") + RENAMED, f"add:{ADDED}", "add:Unused", "delete:Unused",
            f"current:{ADDED}", "purge"]


def apply_job(a, b, c, table, counts, kept):
    """The job applied to one reader's view; `kept` names the layers left after the purge."""
    table = {n: dict(v) for n, v in table.items()}
    counts = dict(counts)
    fields = table[a].keys()
    del table[a]
    counts[b] = counts.get(b, 0) + counts.pop(a, 0)
    lb = table[b]
    if "on" in fields:
        lb["on"] = not lb["on"]
    lb["color"] = 4 if lb["color"] == 3 else 3
    lc = table[RENAMED] = table.pop(c)
    for toggled in ("frozen", "locked"):
        if toggled in fields:
            lc[toggled] = not lc[toggled]
    if c in counts:
        counts[RENAMED] = counts.pop(c)
    new = {"on": True, "frozen": False, "locked": False, "color": 7}
    table[ADDED] = {k: new[k] for k in fields}
    table = {n: v for n, v in table.items() if n in kept}
    return table, {n: k for n, k in counts.items() if k}


def oracle_reading(oracles, reader, path):
    # One process a file: LibreDWG's module fails on a second R2010+ file.
    out = subprocess.run(["node", os.path.join(oracles, "oracles.mjs"), reader, path], capture_output=True,
                         text=True, cwd=oracles, timeout=300)
    for line in out.stdout.splitlines():
        if line.startswith("{"):
            return json.loads(line)
    return {"error": (out.stderr.strip().splitlines() or ["no answer"])[-1]}


def compared(view, fields):
    table = {l["name"]: {k: l[k] for k in fields} for l in view["layers"]}
    return table, {n: k for n, k in view["counts"].items() if k}


def differences(got, want):
    keys = sorted(set(got) | set(want))
    return "; ".join(f"{k}: {got.get(k, 'missing')} != {want.get(k, 'missing')}" for k in keys if got.get(k) != want.get(k))


def check_file(dxftool, oracles, original, work):
    """Problems found with one drawing (empty: none), and notes."""
    name = os.path.basename(original)
    problems, notes = [], []
    table, counts = engine_layers(dxftool, original)
    layers = plan(table, counts)
    if layers is None:
        return [], [f"{name}: fewer than three editable layers, not edited"]
    a, b, c = layers
    saved = os.path.join(work, name)
    out = subprocess.run([dxftool, "edit", original, saved, *job_ops(a, b, c, table)], capture_output=True, text=True)
    if out.returncode != 0:
        return [f"{name}: the job failed: {out.stderr.strip()}"], notes
    after_table, after_counts = engine_layers(dxftool, saved)
    kept = set(after_table)
    want_table, want_counts = apply_job(a, b, c, table, counts, kept)
    # The engine's counts include objects in blocks, so purged layers had none.
    if want_table != after_table:
        problems.append(f"{name}: engine layer table (got != expected): {differences(after_table, want_table)}")
    if want_counts != {n: k for n, k in after_counts.items() if k}:
        problems.append(f"{name}: engine counts (got != expected): {differences(after_counts, want_counts)}")
    for reader, fields in READERS.items():
        before = oracle_reading(oracles, reader, original)
        if "error" in before:
            notes.append(f"{name}: {reader} cannot read the original ({before['error']})")
            continue
        after = oracle_reading(oracles, reader, saved)
        if "error" in after:
            problems.append(f"{name}: {reader} reads the original but not the saved file ({after['error']})")
            continue
        o_table, o_counts = compared(before, READERS[reader])
        want_table, want_counts = apply_job(a, b, c, o_table, o_counts, kept)
        got_table, got_counts = compared(after, fields)
        if got_table != want_table:
            problems.append(f"{name}: {reader} layer table (got != expected): {differences(got_table, want_table)}")
        if got_counts != want_counts:
            problems.append(f"{name}: {reader} counts (got != expected): {differences(got_counts, want_counts)}")
        if set(got_table) != kept:
            problems.append(f"{name}: {reader} layers {sorted(got_table)} != the engine's {sorted(kept)}")
        notes.append(f"{name}: {reader} agrees ({len(got_table)} layers, {sum(got_counts.values())} objects)")
    return problems, notes


def main():
    dxftool, corpus, oracles = (os.path.abspath(a) for a in sys.argv[1:4])
    if not shutil.which("node"):
        print("SKIPPED: nodejs is not installed (tools/install-deps.sh installs it)")
        return 77
    if not all(os.path.isdir(os.path.join(oracles, "node_modules", "@mlightcad", m)) for m in ("libredwg-web", "libdxfrw-web")):
        print("SKIPPED: the npm readers are not installed (run bench/dwg/install-oracles.sh)")
        return 77
    files = []
    for f in sorted(os.listdir(corpus)):
        path = os.path.join(corpus, f)
        if f.endswith(".dwg"):
            with open(path, "rb") as fh:
                if fh.read(6) in SAVED_VERSIONS:
                    files.append(path)
    problems = []
    with tempfile.TemporaryDirectory() as work, concurrent.futures.ThreadPoolExecutor(2) as pool:
        for found, notes in pool.map(lambda f: check_file(dxftool, oracles, f, work), files):
            problems += found
            for n in notes:
                print(n)
    for p in problems:
        print("FAILED:", p)
    print(f"{len(files) - len({p.split(':')[0] for p in problems})} passed, "
          f"{len({p.split(':')[0] for p in problems})} failed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
