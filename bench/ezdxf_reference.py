#!/usr/bin/python3
"""The ezdxf side of our benchmarks: the layer passes of modes 1 to 3 done with
python3-ezdxf (pure Python), on the rules of bench/batch/rename.csv and
bench/batch/state.csv, timed per drawing.

    /usr/bin/python3 bench/ezdxf_reference.py FOLDER [--out OUTDIR] [--json FILE]

Every drawing of FOLDER runs in a child process of its own, so each figure is
a whole-process figure and the peak RSS is the drawing's. Timed per drawing:
load (ezdxf.readfile), save unchanged, survey (the rows of mode 3 in memory),
state pass + save, rename pass + save. Not timed: the renamed drawing is
loaded again and checked (every layer referenced exists, no old name is
left, the object counts per layer are the old ones carried through the
rename). Outputs go to OUTDIR (default: a temporary folder, removed after).

The passes are importable: bench/engine/check_against_ezdxf.py,
bench/modes/ezdxf_modes.py and bench/survey/ezdxf_survey.py use them.

Rename, as laminor's mode 1 does it: the LAYER table is walked in order;
"0", "Defpoints" (any case) and names holding "|" are left alone; the first
rule whose pattern is found gives the new name (every match replaced, the
replacement taken literally); when a layer of that name exists (compared
ignoring case, in the table as it stands at that moment) the layer is merged
into it, otherwise renamed. Every reference by name follows: group 8 of every
entity (blocks and attributes included), $CLAYER, viewport freeze lists
(R12: the MVIEW XDATA names), XDATA 1003 and layer-state records.

State, as mode 2: every rule whose pattern matches the whole name is applied
in row order; freezing the current layer is refused, as the host does.
"""
import argparse
import csv
import json
import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time
from collections import Counter, defaultdict

import ezdxf

HERE = os.path.dirname(os.path.abspath(__file__))
RULES = os.path.join(HERE, "batch")
NO_CHANGE = "(変更なし)"
YES = "する"

LINEWEIGHT_NAMES = {-1: "ByLayer", -2: "ByBlock", -3: "Default", 158: "1.48 mm"}


def lineweight_name(value):
    if value in LINEWEIGHT_NAMES:
        return LINEWEIGHT_NAMES[value]
    if value in (0, 5, 9, 13, 15, 18, 20, 25, 30, 35, 40, 50, 53, 60, 70, 80, 90, 100, 106, 120, 140, 200, 211):
        return f"{value / 100:.2f} mm"
    return ""


def lineweight_value(name):
    for value, text in LINEWEIGHT_NAMES.items():
        if text == name:
            return value
    m = re.fullmatch(r"(\d+)\.(\d\d) mm", name)
    return int(m.group(1)) * 100 + int(m.group(2)) if m else -3


def read_rules(name):
    """The data rows of one of our rule files (CP932, a header row first)."""
    with open(os.path.join(RULES, name), encoding="cp932", newline="") as f:
        rows = list(csv.reader(f))
    return rows[1:]


def rename_rules():
    return [(re.compile(row[1]), row[2]) for row in read_rules("rename.csv") if row[1] and row[2]]


def state_rules():
    return [(re.compile(row[1]), row[2:10]) for row in read_rules("state.csv")]


def key(name):
    return name.lower()


def protected(name):
    return name == "0" or name.lower() == "defpoints" or "|" in name


# ---------------------------------------------------------------- survey
LAYER_HEADERS = ["No", "ファイル名", "画層名", "表示", "ﾌﾘｰｽﾞ", "ﾛｯｸ", "色", "線種", "線の太さ", "印刷ｽﾀｲﾙ", "印刷",
                 "オブジェクト総数", "ブロック総数", "ダイナミックテキスト総数"]
TEXT_HEADERS = ["No", "ファイル名", "画層名", "ダイナミックテキスト", "ハンドル値"]


def unescape(text):
    # ezdxf keeps the \U+XXXX escapes of drawings before R2007; the host
    # reads them as the characters they stand for.
    return re.sub(r"\\U\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), text)


def yes_no(on):
    return "する" if on else "しない"


def plot_style_names(doc):
    """Plot style name per handle, or None for a colour-dependent drawing."""
    if doc.dxfversion <= "AC1009" or doc.header.get("$PSTYLEMODE", 1) != 0:
        return None
    names = {}
    root = doc.rootdict.get("ACAD_PLOTSTYLENAME")
    if root is not None:
        for name, obj in root.items():
            names[obj.dxf.handle] = name
    return names


def objects_in_file_order(doc):
    """The objects of model space and every layout in the order the host's
    selection lists them, which is their order in the file. As ezdxf writes
    a drawing: the layouts other than the active one keep theirs in the
    BLOCKS section, before the ENTITIES section, which holds model space and
    then the active layout."""
    active = doc.layouts.active_layout()
    paper = [doc.layouts.get(name) for name in doc.layouts.names_in_taborder() if name != "Model"]
    for layout in sorted((l for l in paper if l.layout_key != active.layout_key),
                         key=lambda l: l.block_record.dxf.name.upper()):
        yield from layout
    yield from doc.modelspace()
    yield from active


def survey(doc, path, count=True, texts=True):
    """The rows of mode 3 for one drawing: layer rows (14 columns with counts,
    11 without) and text rows, as laminor's layer survey writes them."""
    per_layer, inserts, text_counts = Counter(), Counter(), Counter()
    text_of = defaultdict(list)
    for e in objects_in_file_order(doc):
        k = key(e.dxf.layer)
        per_layer[k] += 1
        kind = e.dxftype()
        if kind == "INSERT":
            inserts[k] += 1
        elif kind == "TEXT":
            text_counts[k] += 1
            if texts:
                text_of[k].append((unescape(e.dxf.text), e.dxf.handle))
    styles = plot_style_names(doc)
    layer_rows, text_rows = [], []
    for number, layer in enumerate(doc.layers, 1):
        d = layer.dxf
        name = unescape(d.name)
        colour = abs(d.color)
        style = f"Color_{colour}" if styles is None else styles.get(d.get("plotstyle_handle"), "")
        row = [number, path, name, yes_no(not layer.is_off()), yes_no(layer.is_frozen()),
               yes_no(layer.is_locked()), colour, d.linetype, lineweight_name(d.get("lineweight", -3)), style,
               yes_no(d.get("plot", 1))]
        k = key(d.name)
        if count:
            row += [per_layer[k], inserts[k], text_counts[k]]
        layer_rows.append(row)
        for text, handle in text_of.get(k, ()):
            text_rows.append([len(text_rows) + 1, path, name, text, "'" + handle])
        text_of.pop(k, None)  # a second layer of the same name does not list them again
    return layer_rows, text_rows


# ---------------------------------------------------------------- state
def state_pass(doc, rules=None):
    rules = state_rules() if rules is None else rules
    current = doc.header.get("$CLAYER", "0")
    pre_r2000 = doc.dxfversion <= "AC1009"
    changed = 0
    for layer in doc.layers:
        name = layer.dxf.name
        for pattern, (on, freeze, lock, colour, linetype, weight, style, plot) in rules:
            if not pattern.fullmatch(name):
                continue
            was_locked = layer.is_locked()
            layer.unlock()
            if on != NO_CHANGE:
                layer.on() if on == YES else layer.off()
            if freeze != NO_CHANGE:
                if freeze != YES:
                    layer.thaw()
                elif name != current:  # the current layer cannot be frozen
                    layer.freeze()
            if colour != NO_CHANGE:
                digits = re.match(r"\d*", colour).group(0)
                off = layer.is_off()
                layer.dxf.color = -int(digits or 0) if off else int(digits or 0)
            if linetype != NO_CHANGE and linetype in doc.linetypes:
                layer.dxf.linetype = linetype
            if weight != NO_CHANGE and not pre_r2000:
                layer.dxf.lineweight = lineweight_value(weight)
            if plot != NO_CHANGE and not pre_r2000:
                layer.dxf.plot = int(plot == YES)
            if lock == NO_CHANGE:
                if was_locked:
                    layer.lock()
            elif lock == YES:
                layer.lock()
            changed += 1
    return changed


# ---------------------------------------------------------------- rename
def new_name(name, rules):
    for pattern, replacement in rules:
        if pattern.search(name):
            return pattern.sub(lambda _m: replacement, name)
    return name


def rename_pass(doc, rules=None):
    """Renames and merges layers; returns {old key: final name} of every
    layer that changed."""
    rules = rename_rules() if rules is None else rules
    layers = doc.layers
    walk = list(layers)
    by_key = {key(l.dxf.name): l for l in walk}
    first_key = {id(l): key(l.dxf.name) for l in walk}
    merged_into = {}
    for layer in walk:
        name = layer.dxf.name
        if protected(name):
            continue
        target_name = new_name(name, rules)
        if target_name == name:
            continue
        target = by_key.get(key(target_name))
        del by_key[key(name)]
        layers.discard(name)
        if target is None or target is layer:
            layer.dxf.name = target_name
            layers._append(layer)  # ezdxf's table keeps entries by name
            by_key[key(target_name)] = layer
        else:
            merged_into[id(layer)] = target

    final = {}
    for layer in walk:
        target = layer
        while id(target) in merged_into:
            target = merged_into[id(target)]
        if id(layer) in merged_into or target.dxf.name != layer.dxf.name or key(layer.dxf.name) != first_key[id(layer)]:
            final[first_key[id(layer)]] = target.dxf.name
    for layer in walk:
        if id(layer) in merged_into:
            doc.entitydb.delete_entity(layer)
    if final:
        rewrite_references(doc, final, {first_key[id(l)] for l in walk if id(l) in merged_into})
    return final


def rewrite_references(doc, final, gone):
    state_dicts = set()
    for dictionary in doc.objects.query("DICTIONARY"):
        for name, obj in dictionary.items():
            if name == "ACAD_LAYERSTATES" and hasattr(obj, "dxf"):
                state_dicts.add(obj.dxf.handle)
    for e in list(doc.entitydb.values()):
        if e.dxf.hasattr("layer"):
            k = key(e.dxf.layer)
            if k in final:
                e.dxf.layer = final[k]
        kind = e.dxftype()
        if kind == "VIEWPORT" and e.frozen_layers:
            names, seen = [], set()
            for n in e.frozen_layers:
                k = key(n)
                if k in gone:
                    continue  # the merged layer no longer exists
                n = final.get(k, n)
                if key(n) not in seen:
                    seen.add(key(n))
                    names.append(n)
            e.frozen_layers = names
        if e.xdata is not None:
            for tags in e.xdata.data.values():
                for i, tag in enumerate(tags):
                    if tag.code == 1003 and key(tag.value) in final:
                        tags[i] = tag.__class__(1003, final[key(tag.value)])
        if kind == "XRECORD" and e.dxf.get("owner") in state_dicts:
            for i, tag in enumerate(e.tags):
                if tag.code == 8 and key(tag.value) in final:
                    e.tags[i] = tag.__class__(8, final[key(tag.value)])
    current = doc.header.get("$CLAYER", "0")
    if key(current) in final:
        doc.header["$CLAYER"] = final[key(current)]


def top_level_counts(doc):
    counts = Counter()
    for layout in doc.layouts:
        for e in layout:
            counts[key(e.dxf.layer)] += 1
    return counts


# ---------------------------------------------------------------- timing
def measure(path, outdir):
    stem = os.path.splitext(os.path.basename(path))[0]
    out = lambda tag: os.path.join(outdir, f"{stem}.{tag}.dxf")  # noqa: E731
    result = {"file": os.path.basename(path), "bytes": os.path.getsize(path)}
    clock = time.perf_counter

    t = clock()
    doc = ezdxf.readfile(path)
    result["load"] = clock() - t
    result["objects"] = len(doc.entitydb)
    t = clock()
    doc.saveas(out("unchanged"))
    result["save"] = clock() - t
    before = top_level_counts(doc)
    t = clock()
    layer_rows, text_rows = survey(doc, path)
    result["survey"] = clock() - t
    result["survey_rows"] = [len(layer_rows), len(text_rows)]
    t = clock()
    state_pass(doc)
    result["state_op"] = clock() - t
    t = clock()
    doc.saveas(out("state"))
    result["state_save"] = clock() - t
    t = clock()
    final = rename_pass(doc)
    result["rename_op"] = clock() - t
    t = clock()
    doc.saveas(out("renamed"))
    result["rename_save"] = clock() - t
    result["peak_rss_mb"] = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
    result["renamed_layers"] = len(final)

    # The check, not timed: the renamed drawing read back.
    again = ezdxf.readfile(out("renamed"))
    names = {key(l.dxf.name) for l in again.layers}
    expected = Counter()
    for k, n in before.items():
        expected[key(final.get(k, k))] += n
    after = top_level_counts(again)
    problems = []
    left = sorted(k for k in final if k in names and k not in {key(v) for v in final.values()})
    if left:
        problems.append(f"old names left: {left[:5]}")
    if after != expected:
        problems.append("object counts per layer differ")
    result["audit_errors"] = len(again.audit().errors)
    result["problems"] = problems
    return result


def profile_of(name):
    return next((p for p in ("small", "medium", "large") if name.startswith(p)), "other")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("folder")
    parser.add_argument("--out", help="keep the outputs here")
    parser.add_argument("--json", help="write every drawing's figures here")
    parser.add_argument("--one", help=argparse.SUPPRESS)
    args = parser.parse_args()
    outdir = args.out or tempfile.mkdtemp(prefix="ezdxf-reference-")
    os.makedirs(outdir, exist_ok=True)
    try:
        if args.one:
            print(json.dumps(measure(args.one, outdir), ensure_ascii=False))
            return 0
        files = sorted(os.path.join(args.folder, f) for f in os.listdir(args.folder) if f.lower().endswith(".dxf"))
        results = []
        for path in files:
            child = subprocess.run([sys.executable, os.path.abspath(__file__), args.folder, "--out", outdir,
                                    "--one", path], capture_output=True, text=True)
            if child.returncode != 0:
                print(f"{path}: FAILED\n{child.stderr[-1500:]}", file=sys.stderr)
                continue
            r = json.loads(child.stdout.strip().splitlines()[-1])
            results.append(r)
            print(f"{r['file']}: load {r['load']:.2f}s save {r['save']:.2f}s survey {r['survey']:.2f}s "
                  f"state {r['state_op'] + r['state_save']:.2f}s rename {r['rename_op'] + r['rename_save']:.2f}s "
                  f"audit errors {r['audit_errors']} {'; '.join(r['problems']) or 'checks ok'}", flush=True)
            for tag in ("unchanged", "state", "renamed"):  # the large outputs would fill the disk
                stem = os.path.splitext(r["file"])[0]
                if not args.out:
                    os.remove(os.path.join(outdir, f"{stem}.{tag}.dxf"))
        if args.json:
            with open(args.json, "w", encoding="utf-8") as f:
                json.dump({"ezdxf": ezdxf.__version__, "results": results}, f, ensure_ascii=False, indent=1)
        groups = defaultdict(list)
        for r in results:
            groups[profile_of(r["file"])].append(r)
        print(f"\nezdxf {ezdxf.__version__}: MB/s per pass (input MB / summed seconds)")
        for group, rs in groups.items():
            mb = sum(r["bytes"] for r in rs) / 1e6
            line = ", ".join(f"{label} {mb / sum(sum(r[p] for p in parts) for r in rs):.2f}"
                             for label, parts in (("load", ("load",)), ("save", ("save",)),
                                                  ("mode 1 job", ("load", "rename_op", "rename_save")),
                                                  ("mode 2 job", ("load", "state_op", "state_save")),
                                                  ("mode 3 job", ("load", "survey"))))
            print(f"  {group} ({len(rs)} files, {mb:.0f} MB): {line}")
        return 1 if any(r["problems"] for r in results) else 0
    finally:
        if not args.out and not args.one:
            shutil.rmtree(outdir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
