#!/usr/bin/python3
"""Compare the engine's reading of every corpus DWG with two independent readers.

    bench/dwg/install-oracles.sh          # once: the npm oracles, not shipped
    /usr/bin/python3 bench/dwg/check_oracles.py [--dxftool PATH] [FILE...]

For each DWG, `dxftool layers` (the engine) is compared with LibreDWG's and
libdxfrw's WebAssembly builds (bench/dwg/oracles.mjs run by Debian's nodejs):
layer names, on, frozen and colour, and the number of top-level objects per
layer in model and paper space. A reader that cannot open a file is reported,
not counted against the engine. Layer names, on and frozen must agree;
colours and counts are reported (the readers differ in what they count as
top level and in true colours). Prints one line per file and reader, and a
summary; exits non-zero when an oracle that read a file disagrees on the
layer table.
"""
import argparse
import glob
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))


def engine(dxftool, path):
    out = subprocess.run([dxftool, "layers", path], capture_output=True, text=True)
    if out.returncode != 0:
        return None, out.stderr.strip()
    layers, counts = [], {}
    for line in out.stdout.splitlines():
        f = line.split("\t")
        layers.append({"name": f[0], "on": f[1] == "1", "frozen": f[2] == "1", "locked": f[3] == "1", "color": int(f[4])})
        counts[f[0]] = int(f[9])
    return {"layers": layers, "counts": counts}, ""


def oracle(reader, files):
    # One process per file: a WebAssembly module that aborted on one file
    # is not trusted with the next.
    results = {}
    for f in files:
        try:
            out = subprocess.run(["node", os.path.join(HERE, "oracles.mjs"), reader, f], capture_output=True,
                                 text=True, cwd=HERE, timeout=600)
        except subprocess.TimeoutExpired:
            results[f] = {"error": "timed out"}
            continue
        for line in out.stdout.splitlines():
            if line.startswith("{"):
                results[os.path.abspath(line and json.loads(line)["file"])] = json.loads(line)
        results.setdefault(f, {"error": (out.stderr.strip().splitlines() or ["no answer"])[-1]})
    return results


def compare(ours, theirs):
    """Differences in the layer table and in the per-layer counts."""
    table, counts = [], []
    mine = {l["name"]: l for l in ours["layers"]}
    other = {l["name"]: l for l in theirs["layers"]}
    for name in sorted(set(mine) | set(other)):
        a, b = mine.get(name), other.get(name)
        if a is None or b is None:
            table.append(f"layer {name!r} only in {'theirs' if a is None else 'ours'}")
            continue
        for key in ("on", "frozen"):
            if a[key] != b[key]:
                table.append(f"{name}.{key}: {a[key]} vs {b[key]}")
        if a["color"] != b["color"]:
            counts.append(f"{name}.color: {a['color']} vs {b['color']}")
    for name in sorted(set(ours["counts"]) | set(theirs.get("counts", {}))):
        # Counts differ in what each reader takes as top level (attributes,
        # vertices, objects of newer types): they are reported, not judged.
        a, b = ours["counts"].get(name, 0), theirs.get("counts", {}).get(name, 0)
        if a != b:
            counts.append(f"{name}: {a} vs {b}")
    return table, counts


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("files", nargs="*")
    ap.add_argument("--readers", default="libredwg,libdxfrw")
    ap.add_argument("--dxftool", default=os.path.join(REPO, "build", "bin", "dxftool"))
    args = ap.parse_args()
    files = [os.path.abspath(f) for f in (args.files or sorted(glob.glob(os.path.join(REPO, "testdata", "corpus", "*.dwg"))))]
    if not os.path.isdir(os.path.join(HERE, "node_modules")):
        sys.exit("run bench/dwg/install-oracles.sh first")
    failures = 0
    for reader in args.readers.split(","):
        results = oracle(reader, files)
        agree = 0
        for f in files:
            ours, err = engine(args.dxftool, f)
            name = os.path.basename(f)
            theirs = results.get(f)
            if ours is None:
                print(f"{reader}\t{name}\tengine refuses: {err}")
                continue
            if theirs is None or "error" in theirs:
                print(f"{reader}\t{name}\toracle cannot read it ({(theirs or {}).get('error', 'no answer')})")
                continue
            table, counts = compare(ours, theirs)
            if not table:
                agree += 1
            if not table and not counts:
                print(f"{reader}\t{name}\tagrees ({len(ours['layers'])} layers)")
                continue
            failures += bool(table)
            print(f"{reader}\t{name}\tlayer table: {'; '.join(table) or 'same'}\tcounts: {'; '.join(counts) or 'same'}")
        print(f"{reader}: same layer table on {agree} of {len(files)} files")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
