#!/usr/bin/python3
"""Large DWGs (and a DXF twin) for the benchmarks, grown from a corpus pair,
and the benchmarks on them.

    cmake --build build --target dwg_grow dxftool
    bench/dwg/install-oracles.sh     # once, for the npm readers (optional)
    /usr/bin/python3 bench/dwg/grow_dwg.py [--copies N] [--twin-copies M] [--no-bench]

`dwg_grow` writes every model-space entity of libredwg_example_2018.dwg that
stands alone N times with fresh handles (LINE, CIRCLE, ARC, POINT, ELLIPSE and
LWPOLYLINE moved 1000 units along x a copy): bench-data/dwg/grown_2018_xN.dwg,
made when missing (N = 8000: about 110 MB). The DXF text of that drawing is
18 times larger than its DWG, so the speed comparison with ezdxf uses a
smaller pair, grown_2018_xM.dwg and .dxf (M = 500), the DXF twin grown here on
its text with the same copies. Each file is checked: our reader opens the DWG
(every page checksum and object CRC is checked when it opens), DWG and DXF
have the same layers with the same per-layer counts, and every layer grew by
a multiple of N - 1. Then, unless --no-bench: open and list layers with
per-layer counts (the engine on the DWGs, python3-ezdxf on the DXF twin, the
npm readers on the DWGs), and the mode 1 job on the large DWG after its
layers were renamed to names the rules act on (`dxftool mode1-bench`: CPU
time, the heap the edited drawing holds and the job's peak).
"""
import argparse
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
CORPUS = os.path.join(REPO, "testdata", "corpus")
SOURCE = ("libredwg_example_2018.dwg", "libredwg_example_2018.dxf")
STEP = 1000.0
MOVED = {"LINE": ("10", "11"), "CIRCLE": ("10",), "ARC": ("10",), "POINT": ("10",), "ELLIPSE": ("10",),
         "LWPOLYLINE": ("10",)}
KEPT = {"TEXT", "MTEXT", "3DFACE", "SOLID", "TRACE", "SPLINE", "XLINE", "RAY"}

sys.path.insert(0, HERE)
import run_bench  # noqa: E402


def pairs(lines):
    for i in range(0, len(lines) - 1, 2):
        yield lines[i].strip(), lines[i + 1].rstrip("\r\n")


def grow_dxf(src, dst, copies):
    """The DXF twin with the copies dwg_grow makes, appended to ENTITIES."""
    with open(src, encoding="utf-8", errors="surrogateescape") as fh:
        tags = list(pairs(fh.read().split("\n")))
    # Entities of the ENTITIES section as tag lists.
    start = next(i for i in range(len(tags) - 1) if tags[i] == ("0", "SECTION") and tags[i + 1] == ("2", "ENTITIES"))
    end = next(i for i in range(start, len(tags)) if tags[i] == ("0", "ENDSEC"))
    entities, cur = [], None
    for t in tags[start + 2:end]:
        if t[0] == "0":
            cur = [t]
            entities.append(cur)
        else:
            cur.append(t)

    def copyable(e):
        kind = e[0][1]
        if kind not in MOVED and kind not in KEPT:
            return False
        groups = {c for c, _ in e}
        return ("67", "1") not in e and "430" not in groups and not any(c == "102" for c, _ in e)
    chosen = [e for e in entities if copyable(e)]
    handseed_at = tags.index(("9", "$HANDSEED")) + 1
    seed = int(tags[handseed_at][1], 16)
    with open(dst, "w", encoding="utf-8", errors="surrogateescape", newline="\r\n") as out:
        def put(t):
            out.write(f"{t[0]:>3}\n{t[1]}\n")
        for i, t in enumerate(tags[:end]):
            put((t[0], format(seed + len(chosen) * (copies - 1), "X")) if i == handseed_at else t)
        h = seed
        for k in range(1, copies):
            dx = k * STEP
            for e in chosen:
                moved = MOVED.get(e[0][1], ())
                for c, v in e:
                    if c == "5":
                        v = format(h, "X")
                        h += 1
                    elif c in moved:
                        v = repr(float(v) + dx)
                    put((c, v))
        for t in tags[end:]:
            put(t)
    return len(chosen)


def layer_counts(dxftool, path):
    out = subprocess.run([dxftool, "layers", path], capture_output=True, text=True, check=True).stdout
    return {f[0]: int(f[9]) for f in (line.split("\t") for line in out.splitlines())}


def grown_pair(args, dxftool, copies, with_twin):
    """The grown DWG (and DXF twin), made when missing and checked."""
    folder = os.path.join(REPO, "bench-data", "dwg")
    os.makedirs(folder, exist_ok=True)
    dwg = os.path.join(folder, f"grown_2018_x{copies}.dwg")
    dxf = os.path.join(folder, f"grown_2018_x{copies}.dxf")
    src_dwg, src_dxf = (os.path.join(CORPUS, n) for n in SOURCE)
    if not os.path.exists(dwg):
        subprocess.run([os.path.join(args.bin, "dwg_grow"), src_dwg, dwg + ".part", str(copies)], check=True)
        os.replace(dwg + ".part", dwg)
    if with_twin and not os.path.exists(dxf):
        grow_dxf(src_dxf, dxf + ".part", copies)
        os.replace(dxf + ".part", dxf)

    # The grown pair reads alike, and the copies are where they should be.
    before, grown = layer_counts(dxftool, src_dwg), layer_counts(dxftool, dwg)
    if with_twin and grown != layer_counts(dxftool, dxf):
        sys.exit(f"the grown DWG and its DXF twin differ: {grown} vs {layer_counts(dxftool, dxf)}")
    added = {name: grown[name] - before[name] for name in grown}
    if copies > 1 and any(n % (copies - 1) for n in added.values()):
        sys.exit(f"per-layer growth is not a multiple of {copies - 1}: {added}")
    print(f"{os.path.basename(dwg)}: {os.path.getsize(dwg) / 1e6:.1f} MB, {sum(grown.values())} objects on "
          f"{len(grown)} layers" + (f"; DXF twin {os.path.getsize(dxf) / 1e6:.1f} MB with the same counts"
                                    if with_twin else ""))
    return dwg, (dxf if with_twin else None)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--copies", type=int, default=8000, help="copies in the DWG for memory (about 110 MB)")
    ap.add_argument("--twin-copies", type=int, default=500,
                    help="copies in the pair for the speed comparison (the DXF twin grows 18 times faster)")
    ap.add_argument("--bin", default=os.path.join(REPO, "build", "bin"))
    ap.add_argument("--no-bench", action="store_true")
    args = ap.parse_args()
    dxftool = os.path.join(args.bin, "dxftool")
    small_dwg, small_dxf = grown_pair(args, dxftool, args.twin_copies, True)
    big_dwg, _ = grown_pair(args, dxftool, args.copies, False)
    if args.no_bench:
        return

    # Open and list layers with per-layer counts.
    for dwg, dxf in ((small_dwg, small_dxf), (big_dwg, None)):
        t, layers, objects, rss = run_bench.ours(dxftool, dwg)
        mb = os.path.getsize(dwg) / (1024 * 1024)
        print(f"{os.path.basename(dwg)} ({mb:.1f} MiB, {objects} objects): engine {t * 1000:.0f} ms CPU, "
              f"peak RSS {rss:.0f} MiB ({rss / mb:.2f}x the file)")
        if dxf:
            out = subprocess.run(["/usr/bin/python3", "-c", run_bench.EZDXF.replace("range(3)", "range(1)"), dxf],
                                 capture_output=True, text=True, check=True).stdout.split()
            e = float(out[0])
            print(f"  ezdxf on the DXF twin: {e * 1000:.0f} ms CPU, peak RSS {float(out[3]):.0f} MiB; {e / t:.0f}x")
        if os.path.isdir(os.path.join(HERE, "node_modules")):
            for reader in ("libredwg", "libdxfrw"):
                n, nrss = run_bench.npm_time(reader, dwg)
                print(f"  {reader} (npm) on the DWG: " +
                      (f"{n * 1000:.0f} ms, peak RSS {nrss:.0f} MiB; {n / t:.1f}x" if n else "cannot read it"))

    # The mode 1 job on the large DWG, its layers first renamed to names the rules act on.
    names = [n for n in layer_counts(dxftool, big_dwg) if n != "0" and n.lower() != "defpoints" and not n.startswith("*")]
    job = big_dwg[:-4] + "_mode1.dwg"
    # 旧壁 merges into 既存壁 (every entity of the first layer changes layer), TMP_WALL is renamed.
    ops = [f"rename:{old}={new}" for old, new in zip(names, ["旧壁", "TMP_WALL"])] + ["add:既存壁"]
    subprocess.run([dxftool, "edit", big_dwg, job, *ops], check=True)
    try:
        f = subprocess.run([dxftool, "mode1-bench", job], capture_output=True, text=True,
                           check=True).stdout.splitlines()[1].split("\t")
    finally:
        os.remove(job)
    mb = float(f[1]) / 1024
    print(f"mode 1 job on {os.path.basename(big_dwg)}: best {float(f[4]) * 1000:.0f} ms CPU, renamed/merged "
          f"{f[2]}/{f[3]}, held {float(f[5]):.1f} MiB ({float(f[5]) / mb:.2f}x), job peak {float(f[6]):.1f} MiB "
          f"({float(f[7]):.2f}x the file)")


if __name__ == "__main__":
    main()
