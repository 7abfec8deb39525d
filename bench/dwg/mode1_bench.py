#!/usr/bin/python3
"""The mode 1 job on DWG: the engine on a DWG against python3-ezdxf on its DXF
twin, in one run.

    /usr/bin/python3 bench/dwg/mode1_bench.py [--dxftool PATH]

The corpus DWGs of the versions the engine saves, and their DXF twins, first
get the same layers renamed to names the benchmark's rename rules act on
(TMP_WALL, A-WALL, 旧壁, 既存壁, A-通り芯, ...; `dxftool edit` on both files),
so that the job renames and merges. Then the job: load, the rename rules
(existing targets merge), save. The engine: `dxftool mode1-bench` (best CPU
time of twenty runs in one process, saving without waiting for the disk; the
heap the drawing holds once edited, and the peak of the job). ezdxf: the
rename pass of bench/ezdxf_reference.py (the rules of bench/batch/rename.csv),
load and saveas, best CPU time of three runs in one process. Both outputs are checked for the same layer names.
Measured numbers are in docs/dwg.md.
"""
import argparse
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
CORPUS = os.path.join(REPO, "testdata", "corpus")
PAIRS = [
    ("acadsharp_sample_AC1015.dwg", "acadsharp_sample_AC1015_ascii.dxf"),
    ("libredwg_2000_PolyLine2D.dwg", "libredwg_2000_PolyLine2D.dxf"),
    ("acadsharp_sample_AC1018.dwg", "acadsharp_sample_AC1018_ascii.dxf"),
    ("libredwg_example_2004.dwg", "libredwg_example_2004.dxf"),
    ("acadsharp_sample_AC1024.dwg", "acadsharp_sample_AC1024_ascii.dxf"),
    ("libredwg_2010_gh209_1.dwg", "libredwg_2010_gh209_1.dxf"),
    ("acadsharp_sample_AC1027.dwg", "acadsharp_sample_AC1027_ascii.dxf"),
    ("libredwg_2013_gh109_1.dwg", "libredwg_2013_gh109_1.dxf"),
    ("acadsharp_sample_AC1032.dwg", "acadsharp_sample_AC1032_ascii.dxf"),
    ("libredwg_example_2018.dwg", "libredwg_example_2018.dxf"),
]
# Names the rules act on: renames (TMP_WALL into the A-WALL a rename frees),
# merges (旧壁 into 既存壁, A-DOOR into B-DOOR), a rename inside a name
# (通り芯). Drawings before R2007 keep a single-byte code page here, so they
# get ASCII names only.
TARGETS = ["A-WALL", "TMP_WALL", "既存壁", "旧壁", "A-通り芯", "A-DOOR", "B-DOOR"]
ASCII_TARGETS = ["A-WALL", "TMP_WALL", "B-DOOR", "A-DOOR", "A-GRID", "TMP_GRID"]

EZDXF = r"""
import sys, time, ezdxf
sys.path.insert(0, sys.argv[1])
import ezdxf_reference as reference
best = 1e9
for _ in range(3):
    t = time.process_time()
    doc = ezdxf.readfile(sys.argv[2])
    reference.rename_pass(doc)
    doc.saveas(sys.argv[3])
    best = min(best, time.process_time() - t)
print(best)
"""


def layer_names(dxftool, path):
    out = subprocess.run([dxftool, "layers", path], capture_output=True, text=True, check=True).stdout
    return [line.split("\t")[0] for line in out.splitlines()]


def prepare(dxftool, dwg, dxf, work):
    """Copies of both files with layers renamed to the rule targets."""
    names = layer_names(dxftool, dwg)
    editable = [n for n in names if n != "0" and n.lower() != "defpoints" and "|" not in n and not n.startswith("*")]
    with open(dwg, "rb") as fh:
        unicode = fh.read(6) >= b"AC1021"
    ops = [f"rename:{old}={new}" for old, new in zip(editable, TARGETS if unicode else ASCII_TARGETS)]
    out = []
    for src in (dwg, dxf):
        dst = os.path.join(work, os.path.basename(src))
        subprocess.run([dxftool, "edit", src, dst, *ops], capture_output=True, check=True)
        out.append(dst)
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dxftool", default=os.path.join(REPO, "build", "bin", "dxftool"))
    args = ap.parse_args()
    print("| DWG | version | KB | renamed / merged | engine ms | ezdxf on the DXF twin ms | ratio | held MB (x file) "
          "| job peak MB (x file) |")
    print("|---|---|---|---|---|---|---|---|---|")
    total_ours = total_theirs = 0.0
    with tempfile.TemporaryDirectory() as work:
        for dwg_name, dxf_name in PAIRS:
            dwg, dxf = prepare(args.dxftool, os.path.join(CORPUS, dwg_name), os.path.join(CORPUS, dxf_name), work)
            f = subprocess.run([args.dxftool, "mode1-bench", dwg], capture_output=True, text=True,
                               check=True).stdout.splitlines()[1].split("\t")
            kb, renamed, merged, ours, held, peak = float(f[1]), f[2], f[3], float(f[4]), float(f[5]), float(f[6])
            saved_dxf = os.path.join(work, "ezdxf_" + dxf_name)
            run = subprocess.run(["/usr/bin/python3", "-c", EZDXF, os.path.dirname(HERE), dxf, saved_dxf], capture_output=True,
                                 text=True)
            if run.returncode != 0:
                sys.exit(f"ezdxf failed on {dxf_name}: {run.stderr.strip().splitlines()[-1]}")
            theirs = float(run.stdout.split()[-1])
            # The same job on both: the same layer names after it.
            saved_dwg = os.path.join(work, "ours_" + dwg_name)
            subprocess.run([args.dxftool, "mode1", dwg, saved_dwg], capture_output=True, check=True)
            ours_names = set(layer_names(args.dxftool, saved_dwg))
            # ezdxf adds a Defpoints layer to a drawing that has none.
            same = ours_names == set(layer_names(args.dxftool, saved_dxf)) - ({"Defpoints"} - ours_names)
            with open(dwg, "rb") as fh:
                version = fh.read(6).decode()
            mb = kb / 1024
            print(f"| {dwg_name} | {version} | {kb:.0f} | {renamed} / {merged} | {ours * 1000:.2f} | "
                  f"{theirs * 1000:.1f} | {theirs / ours:.0f}x | {held:.2f} ({held / mb:.1f}x) | "
                  f"{peak:.2f} ({peak / mb:.1f}x) |" + ("" if same else " layer names differ!"))
            sys.stdout.flush()
            total_ours += ours
            total_theirs += theirs
    print(f"\nall {len(PAIRS)}: engine {total_ours * 1000:.1f} ms, ezdxf {total_theirs * 1000:.1f} ms, "
          f"ratio {total_theirs / total_ours:.0f}x")


if __name__ == "__main__":
    main()
