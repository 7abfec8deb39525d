#!/usr/bin/python3
"""Laminor's benchmark drawings: realistic ASCII DXF files, R12 to R2018,
made the same way on every run (seeded choices, fixed header stamps).

    /usr/bin/python3 bench/gen_drawings.py set [FOLDER] [--no-large]
    /usr/bin/python3 bench/gen_drawings.py one OUT.dxf [--version R2004] [--size medium]
                                           [--seed 7] [--english] [--lf]

`set` writes the benchmark set into FOLDER (default: bench-data/ at the top
of the clone, which git ignores): 20 small drawings cycling through R12,
R2000, R2004, R2007, R2010, R2013 and R2018 (every fifth one English, every
fourth one with LF line ends), 5 medium ones (R2000, R2004, R2007, R2013,
R2018) and one large R2010 drawing of about 144 MB; 26 files, about 230 MB,
3 to 4 minutes. A drawing this version of the script made on an earlier run
is kept (FOLDER/.generated records them), so `set` costs nothing the second
time.

What every drawing holds, for the layer passes to meet:
  - layers "0" and "Defpoints" (not plotted), Japanese names (壁, 通り芯, ...)
    and ASCII names with "-", "_" and "$"; an xref-dependent layer
    "SITE|C-TOPO" with its xref block; the mixed-case pair "A-Furn" and
    "B-FURN"; pairs made for the benchmark's rename rules (^A- -> B-,
    ^TMP_ -> A-, ^旧 -> 既存, 通り芯 -> GRID): A-x beside B-x and 旧x beside
    既存x merge, TMP_WALL takes the name A-WALL freed by an earlier merge;
  - layer states: some off, frozen or locked, colours 1 to 255, linetypes
    beyond Continuous (one with a Japanese description), standard
    lineweights, plot off, true colour and transparency where the version
    has them; some layers used only inside blocks, some by nothing;
  - entities in the shares of a floor plan (lines, polylines, texts, block
    references, circles, arcs, multi-line texts, a few hatches, points and
    dimensions); R12 gets POLYLINE and TEXT where it lacks the newer kinds;
  - blocks with entities on "0" and on other layers, attribute definitions,
    nested references; references whose attributes sit on other layers;
  - paper space: Layout1, Layout2 and 配置3 (R12: its one paper space), each
    with a title block and viewports that freeze layers;
  - $CLAYER "A-WALL" (which the rename merges away), XDATA 1003 layer names,
    multi-line texts long enough to be split into group 3 chunks, and one
    character CP932 lacks (written \\U+2300 before R2007).

Japanese drawings carry $DWGCODEPAGE ANSI_932: R12 to R2004 are written in
CP932, R2007 and later in UTF-8. The bytes on disk are checked after writing.
"""
import argparse
import hashlib
import os
import random
import sys
from dataclasses import dataclass

import ezdxf

ezdxf.options.write_fixed_meta_data_for_testing = True

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_FOLDER = os.path.join(os.path.dirname(HERE), "bench-data")

VERSIONS = ("R12", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018")


@dataclass(frozen=True)
class Size:
    layers: int
    entities: int
    blocks: int


SIZES = {
    "small": Size(50, 2_100, 12),
    "medium": Size(300, 52_500, 60),
    "large": Size(1_000, 545_000, 150),
}

# Entity kinds and their shares of model space.
SHARES = (("LINE", 34), ("LWPOLYLINE", 15), ("TEXT", 15), ("INSERT", 12), ("CIRCLE", 8), ("ARC", 8),
          ("MTEXT", 4), ("HATCH", 1.5), ("POINT", 1.5), ("DIMENSION", 1))

# Layers every drawing has, whatever its size: the names the rename and state
# rules of the benchmarks are written against.
ASCII_FIXED = ("A-WALL", "B-WALL", "A-DOOR", "A-WIND", "B-WIND", "A-Furn", "B-FURN", "TMP_WALL", "TMP_GRID",
               "A-GRID", "A-ANNO-TEXT", "S-COLS", "E-LITE$1", "E-POWR", "M-HVAC_SUPPLY", "C-TOPO", "$TEMP",
               "A-DIMS", "VIEWPORTS-FRAME")
JAPANESE_FIXED = ("壁", "通り芯", "寸法", "柱", "旧壁", "既存壁", "旧建具", "A-通り芯", "B-通り芯", "設備-衛生",
                  "文字_注記", "図枠")
XREF_LAYER = "SITE|C-TOPO"

DISCIPLINES = ("A-", "B-", "S-", "E-", "M-", "P-", "C-", "TMP_", "X-")
ELEMENTS = ("WALL", "DOOR", "WIND", "GRID", "FURN", "CASE", "FLOR", "CLNG", "ROOF", "STRS", "COLS", "BEAM", "SLAB",
            "DIMS", "ANNO", "NOTE", "SYMB", "EQPM", "DUCT", "PIPE", "LITE", "POWR", "COMM", "FIRE", "SITE", "TREE",
            "ROAD", "PRKG", "ELEV", "SECT")
MODIFIERS = ("", "-NEW", "-EXST", "-DEMO", "_PATT", "$1", "-2F", "_OTLN", "-IDEN", "-HIDN")
JA_WORDS = ("壁", "通り芯", "寸法", "建具", "家具", "設備", "文字", "仕上", "柱", "梁", "階段", "外構", "図枠",
            "注記", "衛生", "空調", "電気", "照明", "ハッチ", "補助線", "開口", "躯体", "天井", "床", "屋根",
            "植栽", "手摺", "防火区画")
JA_PREFIXES = ("", "A-", "B-", "旧", "既存", "1F_", "2F_", "S-", "RF_")
JA_SUFFIXES = ("", "-既存", "_新設", "$1", "-2", "(仮)")

LINETYPES = (
    ("DASHED", "Dashed __ __ __", [0.6, 0.5, -0.1]),
    ("HIDDEN", "Hidden _ _ _ _", [0.3, 0.2, -0.1]),
    ("CENTER", "Center ____ _ ____", [2.0, 1.25, -0.25, 0.25, -0.25]),
    ("DASHDOT", "Dash dot __ . __", [1.0, 0.5, -0.25, 0.0, -0.25]),
    ("PHANTOM", "Phantom ___ _ _ ___", [2.5, 1.25, -0.25, 0.25, -0.25, 0.25, -0.25]),
    ("JIS_02_1.0", "一点鎖線 JIS 1.0", [1.6, 1.0, -0.2, 0.2, -0.2]),
)
LINEWEIGHTS = (0, 5, 9, 13, 15, 18, 20, 25, 30, 35, 40, 50, 53, 60, 70, 80, 90, 100, 106, 120, 140, 158, 200, 211)

ROOMS_JA = ("事務室", "会議室", "倉庫", "廊下", "玄関", "便所", "湯沸室", "更衣室", "機械室", "電気室", "階段室",
            "応接室", "書庫", "休憩室")
ROOMS_EN = ("OFFICE", "MEETING", "STORE", "CORRIDOR", "ENTRANCE", "WC", "PANTRY", "PLANT", "STAIR", "LOBBY")
FINISHES = ("PB t12.5 EP", "ﾋﾞﾆﾙｸﾛｽ貼", "ﾀｲﾙｶｰﾍﾟｯﾄ", "ｺﾝｸﾘｰﾄ打放し", "岩綿吸音板")


@dataclass(frozen=True)
class Plan:
    name: str
    version: str
    size: str
    seed: int
    japanese: bool
    crlf: bool


def benchmark_plan(large=True):
    plans = []
    for i in range(20):
        version = VERSIONS[i % len(VERSIONS)]
        japanese = i % 5 != 4
        plans.append(Plan(f"small_{i:02d}_{version}_{'ja' if japanese else 'en'}.dxf", version, "small", 1100 + i,
                          japanese, i % 4 != 3))
    for i, version in enumerate(("R2000", "R2004", "R2007", "R2013", "R2018")):
        plans.append(Plan(f"medium_{i:02d}_{version}_ja.dxf", version, "medium", 2100 + i, True, True))
    if large:
        plans.append(Plan("large_00_R2010_ja.dxf", "R2010", "large", 3100, True, True))
    return plans


class DrawingMaker:
    """Builds one drawing; every choice comes from one seeded generator."""

    def __init__(self, plan, size):
        self.plan = plan
        self.size = size
        self.rand = random.Random(plan.seed)
        self.r12 = plan.version == "R12"
        self.has_plot_flag = not self.r12
        self.has_true_colour = plan.version not in ("R12", "R2000")
        self.doc = ezdxf.new(plan.version, setup=True)
        if plan.japanese:
            self.doc.encoding = "cp932"  # sets $DWGCODEPAGE ANSI_932
        # The model extends with the entity count so that density stays alike.
        self.span = 25_000.0 + (size.entities ** 0.5) * 350.0

    # ---------------------------------------------------------------- names
    def layer_names(self):
        fixed = ["0", "Defpoints"] + list(ASCII_FIXED) + (list(JAPANESE_FIXED) if self.plan.japanese else [])
        fixed.append(XREF_LAYER)
        candidates = [d + e + m for d in DISCIPLINES for e in ELEMENTS for m in MODIFIERS]
        if self.plan.japanese:
            candidates += [p + w + s for p in JA_PREFIXES for w in JA_WORDS for s in JA_SUFFIXES]
        self.rand.shuffle(candidates)
        taken = {n.lower() for n in fixed}
        names = list(fixed)
        for name in candidates:
            if len(names) >= self.size.layers:
                break
            if name.lower() not in taken:
                taken.add(name.lower())
                names.append(name)
        serial = 0
        while len(names) < self.size.layers:
            serial += 1
            names.append(f"Z-EXTRA-{serial:05d}")
        return names

    # --------------------------------------------------------------- tables
    def add_tables(self):
        doc, rand = self.doc, self.rand
        known = {lt.dxf.name.upper() for lt in doc.linetypes}
        for name, description, pattern in LINETYPES:
            if name not in known:
                doc.linetypes.add(name, pattern, description=description)
        self.linetypes = ["Continuous"] + [lt[0] for lt in LINETYPES]
        if self.plan.japanese and "JP-GOTHIC" not in doc.styles:
            doc.styles.add("JP-GOTHIC", font="msgothic.ttc")
        doc.add_xref_def("..\\site\\site-plan.dwg", "SITE")

        self.layers = []
        for name in self.layer_names():
            layer = doc.layers.get(name) if name in doc.layers else doc.layers.new(name)
            self.layers.append(layer)
            if name != "0":
                self.style_layer(layer)

        current = doc.layers.get("A-WALL")
        current.on()
        current.thaw()
        doc.header["$CLAYER"] = "A-WALL"

        ordinary = [l for l in self.layers if l.dxf.name not in ("0", XREF_LAYER, "Defpoints")]
        # The last few layers appear only inside block definitions; B-WIND is
        # one of them, so a merge of A-WIND reaches into blocks.
        inner_count = max(3, len(ordinary) // 18)
        self.block_only = ordinary[-inner_count:] + [doc.layers.get("B-WIND")]
        inner = {l.dxf.name for l in self.block_only}
        usable = [l for l in ordinary if l.dxf.name not in inner]
        unused = max(1, len(usable) // 14)
        self.model_layers = [l.dxf.name for l in usable[:-unused]]
        # A few layers carry most of the entities, as in real drawings.
        weights = [1.0 / (rank + 1) ** 0.75 for rank in range(len(self.model_layers))]
        rand.shuffle(weights)
        self.layer_weights = weights

    def style_layer(self, layer):
        rand, name = self.rand, layer.dxf.name
        layer.dxf.color = rand.randint(1, 8) if rand.random() < 0.55 else rand.randint(9, 255)
        layer.dxf.linetype = "Continuous" if rand.random() < 0.55 else rand.choice(self.linetypes[1:])
        if self.has_plot_flag:
            if rand.random() < 0.6:
                layer.dxf.lineweight = rand.choice(LINEWEIGHTS)
            if rand.random() < 0.06:
                layer.dxf.plot = 0
        if self.has_true_colour:
            if rand.random() < 0.05:
                layer.dxf.true_color = ezdxf.rgb2int((rand.randrange(256), rand.randrange(256), rand.randrange(256)))
            if rand.random() < 0.03:
                layer.transparency = rand.choice((0.25, 0.5, 0.75))
        if name == "Defpoints":
            layer.dxf.color = 7
            if self.has_plot_flag:
                layer.dxf.plot = 0
            return
        if name == XREF_LAYER:
            layer.dxf.flags = 16 | 32  # xref-dependent, resolved
            return
        pick = rand.random()
        if pick < 0.08:
            layer.off()
        elif pick < 0.13:
            layer.freeze()
        if rand.random() < 0.05:
            layer.lock()

    # ----------------------------------------------------------- attributes
    def layer(self):
        return self.rand.choices(self.model_layers, weights=self.layer_weights)[0]

    def point(self, span=None):
        span = span or self.span
        return (round(self.rand.uniform(0.0, span), 3), round(self.rand.uniform(0.0, span * 0.7), 3))

    def label(self):
        rand = self.rand
        if self.plan.japanese and rand.random() < 0.7:
            kind = rand.randrange(4)
            if kind == 0:
                return f"{rand.choice(ROOMS_JA)}{rand.randint(1, 24)}"
            if kind == 1:
                return f"Y{rand.randint(1, 9)}通り"
            if kind == 2:
                return f"仕上：{rand.choice(FINISHES)}"
            return f"有効 {rand.choice((750, 800, 900, 1000))}×{rand.choice((2000, 2100, 2400))}"
        kind = rand.randrange(4)
        if kind == 0:
            return f"{rand.choice(ROOMS_EN)} {rand.randint(101, 950)}"
        if kind == 1:
            return f"%%c{rand.choice((75, 100, 150, 200))}"
        if kind == 2:
            return f"FL+{rand.randint(0, 4500)}"
        return f"{rand.randint(1, 45)}%%d"

    def paragraph(self):
        rand = self.rand
        if rand.random() < 0.08:  # long enough to be split into group 3 chunks
            lines = "\\P".join(self.label() for _ in range(36))
            return ("{\\fMS Gothic|b0|i0|c128|p49;特記事項}\\P" if self.plan.japanese else "GENERAL NOTES:\\P") + lines
        if self.plan.japanese:
            return "{\\fMS Gothic|b0|i0|c128|p49;%s}\\P%s" % (self.label(), self.label())
        return "\\A1;%s\\P%s" % (self.label(), self.label())

    def properties(self, layer):
        rand = self.rand
        attribs = {"layer": layer}
        pick = rand.random()
        if pick < 0.06:
            attribs["color"] = rand.randint(1, 255)
        elif pick < 0.08:
            attribs["color"] = 0  # by block
        if rand.random() < 0.03:
            attribs["linetype"] = rand.choice(self.linetypes[1:])
        if self.has_plot_flag and rand.random() < 0.03:
            attribs["lineweight"] = rand.choice(LINEWEIGHTS)
        return attribs

    # ------------------------------------------------------------- entities
    def add(self, space, kind, layer, span=None, references=True):
        rand = self.rand
        attribs = self.properties(layer)
        p = self.point(span)
        if kind == "LINE":
            space.add_line(p, (p[0] + rand.uniform(-2500, 2500), p[1] + rand.uniform(-2500, 2500)), dxfattribs=attribs)
        elif kind == "LWPOLYLINE":
            points = [p]
            for _ in range(rand.randint(2, 11)):
                last = points[-1]
                points.append((round(last[0] + rand.uniform(-1800, 1800), 3), round(last[1] + rand.uniform(-1800, 1800), 3)))
            closed = rand.random() < 0.3
            if self.r12:
                space.add_polyline2d(points, dxfattribs=attribs).close(closed)
            else:
                space.add_lwpolyline(points, close=closed, dxfattribs=attribs)
        elif kind == "CIRCLE":
            space.add_circle(p, rand.uniform(15, 1200), dxfattribs=attribs)
        elif kind == "ARC":
            start = rand.uniform(0, 360)
            space.add_arc(p, rand.uniform(15, 1200), start, start + rand.uniform(15, 270), dxfattribs=attribs)
        elif kind == "POINT":
            space.add_point(p, dxfattribs=attribs)
        elif kind == "TEXT" or (kind == "MTEXT" and self.r12):
            attribs.update(height=rand.choice((2.5, 3.5, 5.0, 200, 300)), insert=p)
            if self.plan.japanese and rand.random() < 0.3:
                attribs["style"] = "JP-GOTHIC"
            if rand.random() < 0.1:
                attribs["rotation"] = rand.choice((90, 270, 30))
            text = self.label()
            if rand.random() < 0.002:
                text += " \u2300150"  # not in CP932
            space.add_text(text, dxfattribs=attribs)
        elif kind == "MTEXT":
            attribs.update(char_height=rand.choice((2.5, 3.5, 250)), insert=p)
            if rand.random() < 0.3:
                attribs["width"] = rand.uniform(1200, 7000)
            space.add_mtext(self.paragraph(), dxfattribs=attribs)
        elif kind == "INSERT" and references:
            self.add_reference(space, layer, p, attribs)
        elif kind == "DIMENSION":
            end = (p[0] + rand.uniform(400, 5000), p[1])
            space.add_linear_dim(base=(p[0], p[1] + 700), p1=p, p2=end, dimstyle="EZDXF",
                                 dxfattribs={"layer": layer}).render()
        elif kind == "HATCH" and not self.r12:
            hatch = space.add_hatch(color=rand.randint(1, 9), dxfattribs={"layer": layer})
            w, h = rand.uniform(150, 2500), rand.uniform(150, 2500)
            hatch.paths.add_polyline_path([p, (p[0] + w, p[1]), (p[0] + w, p[1] + h), (p[0], p[1] + h)], is_closed=True)
            if rand.random() < 0.5:
                hatch.set_pattern_fill("ANSI31", scale=rand.choice((10, 25, 50)))
        else:  # a reference inside a block definition, or a hatch in R12
            space.add_line(p, (p[0] + 150, p[1] + 150), dxfattribs=attribs)

    def add_reference(self, space, layer, p, attribs):
        rand = self.rand
        name = rand.choice(self.block_names)
        scale = rand.choice((1, 1, 1, 2, 0.5, -1))
        attribs.update(rotation=rand.choice((0, 0, 0, 90, 180, 270, round(rand.uniform(0, 360), 2))),
                       xscale=scale, yscale=abs(scale))
        reference = space.add_blockref(name, p, dxfattribs=attribs)
        for tag, definition_layer in self.attribute_layers[name]:
            # Attributes keep their definition's layer, follow the reference,
            # or now and then sit on a layer of their own.
            on = definition_layer if definition_layer != "0" and rand.random() < 0.7 else layer
            if rand.random() < 0.1:
                on = self.layer()
            reference.add_attrib(tag, self.label(), (p[0] + 12, p[1] + 12), dxfattribs={"layer": on, "height": 2.5})
        return reference

    # --------------------------------------------------------------- blocks
    def add_blocks(self):
        doc, rand = self.doc, self.rand
        names = (["便器", "洗面器", "机_1200", "椅子"] if self.plan.japanese else []) + \
            ["DR-SGL-900", "WIN_1500", "COL$500", "N-ARROW", "CHAIR-1", "DESK_1600", "WC-PAN", "LUM-600", "OUTLET-2"]
        serial = 0
        while len(names) < self.size.blocks:
            serial += 1
            names.append(f"BLOCK-{serial:03d}")
        names = names[:max(self.size.blocks, 6)]
        self.title_block = "図枠A1" if self.plan.japanese else "TITLE-A1"
        names.append(self.title_block)

        inner_layers = [l.dxf.name for l in self.block_only]
        other_layers = inner_layers + self.model_layers[:40]
        self.block_names, self.attribute_layers = [], {}
        for name in names:
            block = doc.blocks.new(name, base_point=(0, 0))
            for _ in range(rand.randint(3, 40)):
                pick = rand.random()
                layer = "0" if pick < 0.35 else rand.choice(inner_layers) if pick < 0.75 else rand.choice(other_layers)
                kind = rand.choice(("LINE", "LINE", "LWPOLYLINE", "CIRCLE", "ARC", "TEXT", "HATCH"))
                self.add(block, kind, layer, span=900.0, references=False)
            if self.block_names and rand.random() < 0.25:  # a nested reference to an earlier block
                block.add_blockref(rand.choice(self.block_names), (rand.uniform(0, 400), rand.uniform(0, 400)),
                                   dxfattribs={"layer": rand.choice(["0"] + other_layers)})
            definitions = []
            if name == self.title_block:
                tags = ["DRAWING_NO", "TITLE", "SCALE", "DATE"]
            elif rand.random() < 0.4:
                tags = ["NO", "NAME"] + (["品番"] if self.plan.japanese else [])
            else:
                tags = []
            for row, tag in enumerate(tags):
                layer = rand.choice(("0", rand.choice(other_layers)))
                block.add_attdef(tag, (0, -6.0 * (row + 1)), dxfattribs={"layer": layer, "height": 2.5,
                                                                         "prompt": tag.lower()})
                definitions.append((tag, layer))
            self.attribute_layers[name] = definitions
            self.block_names.append(name)

    # ---------------------------------------------------------------- spaces
    def add_paper_space(self, per_layout):
        doc, rand = self.doc, self.rand
        layouts = [doc.layout("Layout1")]
        if not self.r12:
            layouts += [doc.layouts.new("Layout2"), doc.layouts.new("配置3" if self.plan.japanese else "Layout3")]
        frame_layer = "図枠" if self.plan.japanese else "A-ANNO-TEXT"
        for layout in layouts:
            layout.page_setup(size=(841, 594), margins=(10, 10, 10, 10), units="mm")
            title = layout.add_blockref(self.title_block, (0, 0), dxfattribs={"layer": frame_layer})
            for tag, _layer in self.attribute_layers[self.title_block]:
                title.add_attrib(tag, self.label(), (680, 25), dxfattribs={"layer": "A-ANNO-TEXT", "height": 3.5})
            for k in range(rand.randint(1, 2)):
                viewport = layout.add_viewport(center=(280 + 260 * k, 300), size=(360, 250),
                                               view_center_point=(self.span / 2, self.span / 3),
                                               view_height=self.span / 2)
                viewport.dxf.layer = rand.choice(("Defpoints", "VIEWPORTS-FRAME"))
                frozen = set(rand.sample(self.model_layers, k=min(4, len(self.model_layers))))
                viewport.frozen_layers = sorted(frozen | {"A-DOOR", "TMP_GRID"})
            for _ in range(per_layout):
                self.add(layout, rand.choice(("TEXT", "LINE", "LINE", "CIRCLE", "MTEXT")), self.layer(), span=780.0)
        return len(layouts)

    def add_model_space(self, count):
        msp = self.doc.modelspace()
        kinds = [k for k, _ in SHARES]
        weights = [w for _, w in SHARES]
        for kind in self.rand.choices(kinds, weights=weights, k=count):
            self.add(msp, kind, self.layer())
        # A few entities name a layer in their extended data.
        self.doc.appids.new("LAMINOR_BENCH")
        step = max(1, count // 6)
        for entity in list(msp)[::step][:6]:
            entity.set_xdata("LAMINOR_BENCH", [(1000, "layer-ref"), (1003, "A-DOOR"), (1070, 1)])

    def build(self):
        self.add_tables()
        self.add_blocks()
        layouts = 1 if self.r12 else 3
        per_layout = max(5, self.size.entities // 50) // layouts
        self.add_paper_space(per_layout)
        self.add_model_space(max(0, self.size.entities - per_layout * layouts))
        return self.doc


def write(doc, path, crlf):
    # Written through a temporary name, so an interrupted run leaves no
    # half-written drawing that a later run would take for a finished one.
    partial = path + ".partial"
    with open(partial, "w", encoding=doc.output_encoding, errors="dxfreplace",
              newline="\r\n" if crlf else "\n") as stream:
        doc.write(stream)
    os.replace(partial, path)


def encoding_problems(path, plan):
    if not plan.japanese:
        return []
    data = open(path, "rb").read()
    problems = []
    if b"ANSI_932" not in data[:30000]:
        problems.append("no $DWGCODEPAGE ANSI_932")
    if plan.version in ("R12", "R2000", "R2004"):
        if "通り芯".encode("cp932") not in data:
            problems.append("no CP932 bytes of 通り芯")
        try:
            data.decode("utf-8")
            problems.append("decodes as UTF-8")
        except UnicodeDecodeError:
            pass
    elif "通り芯".encode("utf-8") not in data:
        problems.append("no UTF-8 bytes of 通り芯")
    return problems


def stamp_path(folder):
    return os.path.join(folder, ".generated")


def generator_stamp():
    # A drawing made by another version of this script or of ezdxf is made again.
    return f"generator {digest(os.path.abspath(__file__))} ezdxf {ezdxf.__version__}"


def digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            h.update(chunk)
    return h.hexdigest()


def read_stamps(folder):
    """{file name: size} of the drawings this generator made in folder."""
    try:
        with open(stamp_path(folder), encoding="utf-8") as f:
            lines = f.read().splitlines()
    except OSError:
        return {}
    if not lines or lines[0] != generator_stamp():
        return {}
    stamps = {}
    for line in lines[1:]:
        name, _, size = line.partition("\t")
        if size.isdigit():
            stamps[name] = int(size)
    return stamps


def write_stamps(folder, stamps):
    with open(stamp_path(folder), "w", encoding="utf-8") as f:
        f.write(generator_stamp() + "\n")
        for name in sorted(stamps):
            f.write(f"{name}\t{stamps[name]}\n")


def make(plan, folder):
    path = os.path.join(folder, plan.name)
    doc = DrawingMaker(plan, SIZES[plan.size]).build()
    write(doc, path, plan.crlf)
    problems = encoding_problems(path, plan)
    print(f"{plan.name}: {plan.version} {plan.size} layers={len(doc.layers)} objects={len(doc.entitydb)} "
          f"{os.path.getsize(path) / 1e6:.1f} MB" + (f"  ENCODING: {problems}" if problems else ""), flush=True)
    return path, problems


def make_set(folder, large):
    os.makedirs(folder, exist_ok=True)
    stamps = read_stamps(folder)
    failed = 0
    for plan in benchmark_plan(large):
        path = os.path.join(folder, plan.name)
        if plan.name in stamps and os.path.isfile(path) and os.path.getsize(path) == stamps[plan.name]:
            continue  # made by this generator on an earlier run
        _, problems = make(plan, folder)
        failed += bool(problems)
        stamps[plan.name] = os.path.getsize(path)
        write_stamps(folder, stamps)
    return 1 if failed else 0


def main():
    # ezdxf orders some objects through hashed containers: a fixed hash seed
    # keeps the output the same from run to run.
    if os.environ.get("PYTHONHASHSEED") != "0":
        os.execve(sys.executable, [sys.executable] + sys.argv, dict(os.environ, PYTHONHASHSEED="0"))
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    whole = commands.add_parser("set", help="the benchmark set")
    whole.add_argument("folder", nargs="?", default=DEFAULT_FOLDER)
    whole.add_argument("--no-large", action="store_true", help="leave out the large drawing")
    one = commands.add_parser("one", help="one drawing")
    one.add_argument("output")
    one.add_argument("--version", choices=VERSIONS, default="R2000")
    one.add_argument("--size", choices=list(SIZES), default="small")
    one.add_argument("--seed", type=int, default=1)
    one.add_argument("--english", action="store_true", help="ASCII names and texts, code page ANSI_1252")
    one.add_argument("--lf", action="store_true", help="LF line ends instead of CR LF")
    args = parser.parse_args()
    if args.command == "set":
        return make_set(args.folder, not args.no_large)
    plan = Plan(os.path.basename(args.output), args.version, args.size, args.seed, not args.english, not args.lf)
    folder = os.path.dirname(os.path.abspath(args.output))
    _, problems = make(plan, folder)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
