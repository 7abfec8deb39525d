#!/usr/bin/python3
"""The drawing engine against the ezdxf baseline, measured in one run.

    /usr/bin/python3 bench/engine/run_bench.py [FOLDER] [--dxftool PATH] [--ezdxf-json FILE]

FOLDER (default: bench-data/ at the top of the clone) holds the drawings of
`bench/gen_drawings.py set`, which are made first when the folder has none.
The small and medium drawings are measured by one `dxftool bench` process, one
after the other as a batch run opens them; each large drawing in a process of
its own (its peak RSS); then our ezdxf reference `bench/ezdxf_reference.py`
runs over the same folder. The table gives MB/s per profile (input MB divided
by the summed time) and the ratios.

`--ezdxf-json` reuses the JSON of an earlier baseline run instead of running it
again (the baseline takes minutes); the report then says so.

Columns of `dxftool bench`: load, save (durable: waits for the disk), save
without that wait (what ezdxf's save does), and the mode 1 job (load, the
benchmark's rename/merge rules, durable save).
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BENCH = os.path.dirname(HERE)
REPO = os.path.dirname(BENCH)


def profile_of(name):
    for p in ("small", "medium", "large"):
        if name.startswith(p):
            return p
    return "other"


def run_engine(dxftool, files):
    # A batch run opens drawing after drawing in one host process: the small
    # and medium drawings go through one dxftool process in that way. Each
    # large drawing gets a process of its own, so that its peak RSS is its own.
    rows = {}
    batches = [[f for f in files if profile_of(os.path.basename(f)) != "large"]]
    batches += [[f] for f in files if profile_of(os.path.basename(f)) == "large"]
    for batch in batches:
        if not batch:
            continue
        p = subprocess.run([dxftool, "bench"] + batch, capture_output=True, text=True)
        if p.returncode != 0:
            print(f"dxftool bench failed: {p.stderr.strip()}", file=sys.stderr)
            continue
        lines = p.stdout.strip().splitlines()
        head = lines[0].split("\t")
        for line in lines[1:]:
            rec = dict(zip(head, line.split("\t")))
            f = rec["file"]
            r = rows[os.path.basename(f)] = {
                "bytes": os.path.getsize(f),
                "load": float(rec["load_s"]),
                "save": float(rec["save_s"]),
                "save_nosync": float(rec["save_nosync_s"]),
                "mode1": float(rec["mode1_s"]),
                "rss": float(rec["peak_rss_MB"]),
                "load_cpu": float(rec["load_cpu_s"]),
                "save_cpu": float(rec["save_nosync_cpu_s"]),
                "mode1_cpu": float(rec["mode1_cpu_s"]),
                "own_process": len(batch) == 1,
            }
            print(f"engine {os.path.basename(f)}: load {r['load']:.3f}s save {r['save']:.3f}s "
                  f"(no sync {r['save_nosync']:.3f}s) mode1 {r['mode1']:.3f}s rss {r['rss']:.0f} MB", flush=True)
    return rows


def run_ezdxf(folder):
    with tempfile.TemporaryDirectory(prefix="ezdxf-bench-") as out:
        js = os.path.join(out, "results.json")
        subprocess.run(["/usr/bin/python3", os.path.join(BENCH, "ezdxf_reference.py"), folder, "--json", js],
                       stdout=sys.stderr)
        with open(js) as fh:
            return json.load(fh)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("folder", nargs="?", default=os.path.join(REPO, "bench-data"))
    ap.add_argument("--dxftool", default=os.path.join(REPO, "build", "bin", "dxftool"))
    ap.add_argument("--ezdxf-json", default=None)
    a = ap.parse_args()

    if not os.path.isdir(a.folder) or not any(f.endswith(".dxf") for f in os.listdir(a.folder)):
        subprocess.run(["/usr/bin/python3", os.path.join(BENCH, "gen_drawings.py"), "set", a.folder], check=True)
    files = sorted(os.path.join(a.folder, f) for f in os.listdir(a.folder) if f.endswith(".dxf"))
    t0 = time.time()
    engine = run_engine(a.dxftool, files)
    if a.ezdxf_json:
        with open(a.ezdxf_json) as fh:
            ez = json.load(fh)
        source = f"ezdxf figures reused from {a.ezdxf_json}"
    else:
        ez = run_ezdxf(a.folder)
        source = f"ezdxf {ez.get('ezdxf')} run in this run"
    ezr = {r["file"]: r for r in ez["results"]}

    groups = {}
    for name, r in engine.items():
        if name in ezr:
            groups.setdefault(profile_of(name), []).append((r, ezr[name]))
    order = [g for g in ("small", "medium", "large", "other") if g in groups]

    def mbps(pairs, pick):
        mb = sum(r["bytes"] for r, _ in pairs) / 1e6
        t = sum(pick(r, e) for r, e in pairs)
        return mb / t if t > 0 else float("inf")

    rows = [
        ("load", lambda r, e: r["load"], lambda r, e: e["load"]),
        ("load + save unchanged (durable save)", lambda r, e: r["load"] + r["save"], lambda r, e: e["load"] + e["save"]),
        ("load + save unchanged (no disk wait)", lambda r, e: r["load"] + r["save_nosync"],
         lambda r, e: e["load"] + e["save"]),
        ("mode 1 job: load + rename/merge + save", lambda r, e: r["mode1"],
         lambda r, e: e["load"] + e["rename_op"] + e["rename_save"]),
        # The engine's CPU time against ezdxf's wall time: ezdxf is CPU-bound
        # (pure Python), so its wall time is close to its CPU time.
        ("load + save unchanged, engine CPU time", lambda r, e: r["load_cpu"] + r["save_cpu"],
         lambda r, e: e["load"] + e["save"]),
        ("mode 1 job, engine CPU time", lambda r, e: r["mode1_cpu"],
         lambda r, e: e["load"] + e["rename_op"] + e["rename_save"]),
    ]
    print()
    print(f"{source}; engine: {a.dxftool}; wall time {time.time() - t0:.0f}s")
    print()
    print("| pass | " + " | ".join(f"{g} engine MB/s | {g} ezdxf MB/s | {g} ratio" for g in order) + " |")
    print("|---|" + "---|---|---|" * len(order))
    for label, ours, theirs in rows:
        cells = []
        for g in order:
            o, t = mbps(groups[g], ours), mbps(groups[g], theirs)
            cells.append(f"{o:.0f} | {t:.2f} | {o / t:.0f}x")
        print(f"| {label} | " + " | ".join(cells) + " |")
    print()
    for g in order:
        own = [p for p in groups[g] if p[0]["own_process"]]
        if not own:
            continue  # measured together in one process: no per-file peak
        r, e = max(own, key=lambda p: p[0]["rss"] * 1e6 / p[0]["bytes"])
        print(f"peak RSS {g}: engine {r['rss']:.0f} MB for {r['bytes'] / 1e6:.0f} MB "
              f"({r['rss'] * 1e6 / r['bytes']:.2f}x file size), ezdxf {e['peak_rss_mb']:.0f} MB")

if __name__ == "__main__":
    main()
