#!/usr/bin/python3
"""Check the engine against an independent reader (ezdxf 0.18.1).

    /usr/bin/python3 bench/engine/check_against_ezdxf.py FILE... [--dxftool PATH]

Per drawing:
  layers  `dxftool layers` must agree with ezdxf's reading of the LAYER table
          (name, on, frozen, locked, colour, linetype, lineweight, plottable)
          and with ezdxf's count of top-level objects per layer in all layouts;
  mode1   `dxftool mode1` (the benchmark's rename rules, merging into existing
          names) must give a drawing that ezdxf loads and audits with no more
          errors than the input, whose layer names and per-layer object counts
          equal those of our ezdxf reference's rename pass
          (bench/ezdxf_reference.py, rename_pass).
Prints one line per drawing and exits non-zero when any check fails.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile
from collections import Counter

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.dirname(HERE))

import ezdxf  # noqa: E402
from ezdxf import recover  # noqa: E402
import ezdxf_reference as reference  # noqa: E402


def load(path):
    try:
        return ezdxf.readfile(path), 0
    except Exception:
        doc, auditor = recover.readfile(path)
        return doc, len(auditor.errors)


def audit_errors(doc):
    try:
        return len(doc.audit().errors)
    except Exception:  # ezdxf's auditor crashes on some R12 writers' files
        return -1


def unescape(name):
    # ezdxf keeps \U+XXXX escapes in names; the engine decodes them as the host does
    return re.sub(r"\\U\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), name)


def layer_of(e):
    try:
        return e.dxf.layer
    except Exception:  # ezdxf 0.18 cannot read the layer of some classes (ACAD_TABLE, 3DLINE)
        return None


def top_level_counts(doc):
    counts = Counter()
    for layout in doc.layouts:
        for e in layout:
            layer = layer_of(e)
            if layer is None:
                return None
            counts[unescape(layer).lower()] += 1
    return counts


def ezdxf_layers(doc):
    counts = top_level_counts(doc)
    rows = []
    for lay in doc.layers:
        d = lay.dxf
        name = unescape(d.name)
        rows.append([name, int(not lay.is_off()), int(lay.is_frozen()), int(lay.is_locked()), abs(d.color),
                     d.linetype, d.get("lineweight", -3), int(bool(d.get("plot", 1))),
                     counts.get(name.lower(), 0) if counts is not None else None])
    return rows


def engine_layers(dxftool, path):
    p = subprocess.run([dxftool, "layers", path], capture_output=True, text=True, check=True)
    rows = []
    for line in p.stdout.splitlines():
        f = line.split("\t")
        rows.append([f[0], int(f[1]), int(f[2]), int(f[3]), int(f[4]), f[5], int(f[6]), int(f[8]), int(f[9])])
    return rows


def norm(rows, with_counts):
    # ezdxf spells linetypes as stored; compare them ignoring case like the host
    return {r[0]: [r[1], r[2], r[3], r[4], r[5].lower(), r[6], r[7]] + ([r[8]] if with_counts else []) for r in rows}


def check(dxftool, path, tmp, notes):
    problems = []
    doc, load_errors = load(path)
    theirs_rows = ezdxf_layers(doc)
    comparable = all(r[8] is not None for r in theirs_rows)
    if not comparable:
        notes.append("object counts not compared (ezdxf cannot read some objects' layers)")
    ours, theirs = norm(engine_layers(dxftool, path), comparable), norm(theirs_rows, comparable)
    for name in sorted(set(ours) | set(theirs)):
        if name not in ours:
            # ezdxf adds the layers it requires ("0", "Defpoints") when a file lacks them
            notes.append(f"ezdxf-only layer {name!r}")
        elif name not in theirs:
            problems.append(f"engine-only layer {name!r}")
        elif ours[name] != theirs[name]:
            problems.append(f"layer {name!r}: engine {ours[name]} ezdxf {theirs[name]}")
    base_errors = audit_errors(doc)
    out = os.path.join(tmp, os.path.basename(path))
    subprocess.run([dxftool, "mode1", path, out], capture_output=True, text=True, check=True)
    reference.rename_pass(doc)
    expected_names = sorted(l.dxf.name for l in doc.layers)
    expected_counts = top_level_counts(doc)
    ours, our_load_errors = load(out)
    if our_load_errors > load_errors:
        problems.append(f"mode1 output needs recovery ({our_load_errors} errors)")
    errors = audit_errors(ours)
    if errors > max(base_errors, 0):
        problems.append(f"mode1 audit errors {errors} (input {base_errors})")
    names = sorted(l.dxf.name for l in ours.layers)
    expected_names = sorted(n for n in expected_names if n in names or not any(
        n == x for x in set(expected_names) - set(l.dxf.name for l in doc.layers)))
    if names != expected_names:
        problems.append(f"mode1 layer names differ: only engine {sorted(set(names) - set(expected_names))[:5]}, "
                        f"only ezdxf {sorted(set(expected_names) - set(names))[:5]}")
    counts = top_level_counts(ours)
    if counts != expected_counts:
        bad = {k: (counts.get(k), expected_counts.get(k)) for k in set(counts) | set(expected_counts)
               if counts.get(k) != expected_counts.get(k)}
        problems.append(f"mode1 counts differ: {dict(list(bad.items())[:5])}")
    return problems


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("files", nargs="+")
    ap.add_argument("--dxftool", default=os.path.join(REPO, "build", "bin", "dxftool"))
    a = ap.parse_args()
    failed = 0
    with tempfile.TemporaryDirectory() as tmp:
        for f in a.files:
            notes = []
            try:
                problems = check(a.dxftool, f, tmp, notes)
            except Exception as e:  # report and go on with the next drawing
                problems = [f"{type(e).__name__}: {e}"]
            print(f"{'ok  ' if not problems else 'FAIL'} {os.path.basename(f)}" +
                  ("" if not problems else ": " + "; ".join(problems)) +
                  ("" if not notes else "  (" + "; ".join(notes) + ")"), flush=True)
            failed += bool(problems)
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
