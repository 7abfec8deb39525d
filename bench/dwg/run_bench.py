#!/usr/bin/python3
"""Open a DWG and list its layers with per-layer object counts: the engine
against python3-ezdxf reading the DXF twin, and against both npm DWG readers
reading the same DWG, measured in one run.

    bench/dwg/install-oracles.sh     # once (npm readers, not shipped)
    /usr/bin/python3 bench/dwg/run_bench.py [--dxftool PATH] [DWG...]

Without arguments: the largest corpus DWGs that have a DXF twin (there is no
large public DWG; the writer of the next issue can grow one). Times are the
best of several runs in one process each: the engine's and ezdxf's CPU time
(`dxftool layer-bench`, time.process_time), the npm readers' wall time of the
read and the listing after their WebAssembly module is loaded. Peak memory is
the process's peak RSS (ours includes the program itself, about 4 MB).
"""
import argparse
import json
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
CORPUS = os.path.join(REPO, "testdata", "corpus")
PAIRS = [
    ("libredwg_example_2004.dwg", "libredwg_example_2004.dxf"),
    ("libredwg_example_2018.dwg", "libredwg_example_2018.dxf"),
    ("acadsharp_sample_AC1015.dwg", "acadsharp_sample_AC1015_ascii.dxf"),
    ("libredwg_2000_PolyLine2D.dwg", "libredwg_2000_PolyLine2D.dxf"),
    ("libredwg_2013_gh109_1.dwg", "libredwg_2013_gh109_1.dxf"),
    ("acadsharp_sample_AC1032.dwg", "acadsharp_sample_AC1032_ascii.dxf"),
]

EZDXF = r"""
import sys, time, resource, ezdxf
from collections import Counter
best = 1e9
for _ in range(3):
    t = time.process_time()
    doc = ezdxf.readfile(sys.argv[1])
    counts = Counter()
    for layout in doc.layouts:
        for e in layout:
            counts[(e.dxf.layer if e.dxf.is_supported("layer") else "0").upper()] += 1
    rows = [(l.dxf.name, counts.get(l.dxf.name.upper(), 0)) for l in doc.layers]
    best = min(best, time.process_time() - t)
print(best, len(rows), sum(c for _, c in rows), resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024)
"""


def ours(dxftool, path):
    out = subprocess.run([dxftool, "layer-bench", path], capture_output=True, text=True, check=True).stdout
    f = out.splitlines()[1].split("\t")
    return float(f[4]), int(f[2]), int(f[3]), float(f[5])


def ezdxf_time(path):
    out = subprocess.run(["/usr/bin/python3", "-c", EZDXF, path], capture_output=True, text=True, check=True).stdout
    f = out.split()
    return float(f[0]), int(f[1]), int(f[2]), float(f[3])


def npm_time(reader, path):
    try:
        out = subprocess.run(["/usr/bin/time", "-f", "%M", "node", os.path.join(HERE, "oracles.mjs"), reader, path, path,
                              path], capture_output=True, text=True, cwd=HERE, timeout=600)
    except subprocess.TimeoutExpired:
        return None, None
    times = [json.loads(l)["ms"] / 1000 for l in out.stdout.splitlines() if l.startswith("{") and '"ms"' in l]
    rss = out.stderr.strip().splitlines()[-1] if out.stderr.strip() else "0"
    try:
        rss_mb = int(rss) / 1024
    except ValueError:
        rss_mb = None
    return (min(times) if times else None), rss_mb


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("files", nargs="*")
    ap.add_argument("--dxftool", default=os.path.join(REPO, "build", "bin", "dxftool"))
    args = ap.parse_args()
    pairs = [(f, None) for f in args.files] or [(os.path.join(CORPUS, d), os.path.join(CORPUS, x)) for d, x in PAIRS]
    have_npm = os.path.isdir(os.path.join(HERE, "node_modules"))
    print("file\tKB\tlayers\tobjects\tengine_ms\tpeak_MB\tezdxf_dxf_ms\tx_ezdxf\tlibredwg_ms\tx_libredwg\t"
          "libdxfrw_ms\tx_libdxfrw")
    for dwg, dxf in pairs:
        t, layers, objects, rss = ours(args.dxftool, dwg)
        row = [os.path.basename(dwg), f"{os.path.getsize(dwg) / 1024:.0f}", str(layers), str(objects), f"{t * 1000:.2f}",
               f"{rss:.1f}"]
        if dxf:
            e, _, _, _ = ezdxf_time(dxf)
            row += [f"{e * 1000:.1f}", f"{e / t:.0f}x"]
        else:
            row += ["-", "-"]
        for reader in ("libredwg", "libdxfrw"):
            n, _ = npm_time(reader, dwg) if have_npm else (None, None)
            row += [f"{n * 1000:.1f}", f"{n / t:.0f}x"] if n else ["fails", "-"]
        print("\t".join(row))
        sys.stdout.flush()


if __name__ == "__main__":
    main()
