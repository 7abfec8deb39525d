#!/usr/bin/python3
"""Makes the drawings in samples/: a small office's floor plan, a site plan
and a detail sheet, each with a title block on a paper-space layout.

    /usr/bin/python3 tools/make_samples.py samples

The output is the same on every run (fixed GUIDs and dates), so the files only
change when this script does. Needs python3-ezdxf.
"""
import math
import os
import sys

import ezdxf
from ezdxf import units
from ezdxf.enums import TextEntityAlignment

# Fixed dates, GUIDs and ezdxf's own marker, and one order of iteration, so
# that a run writes the same bytes as the last.
ezdxf.options.write_fixed_meta_data_for_testing = True
if os.environ.get("PYTHONHASHSEED") != "0":
    os.environ["PYTHONHASHSEED"] = "0"
    os.execv(sys.executable, [sys.executable] + sys.argv)


# Layers as a Japanese office names them, with the A-/B- layers other
# offices use beside them: name -> (colour, linetype, lineweight).
LAYERS_JA = {
    "通り芯": (1, "CENTER", 13), "壁": (7, "CONTINUOUS", 50), "柱": (8, "CONTINUOUS", 50),
    "建具": (3, "CONTINUOUS", 25), "寸法": (2, "CONTINUOUS", 13), "文字": (7, "CONTINUOUS", 18),
    "家具": (6, "CONTINUOUS", 18), "ハッチ": (9, "CONTINUOUS", 9), "図枠": (7, "CONTINUOUS", 35),
    "A-WALL": (4, "CONTINUOUS", 35), "A-DOOR": (3, "CONTINUOUS", 18), "B-FURN": (30, "CONTINUOUS", 13),
    "A-ANNO-NOTE": (7, "CONTINUOUS", 13), "旧壁": (8, "HIDDEN", 18), "既存_設備": (5, "DASHED", 13),
    "VP": (7, "CONTINUOUS", -3),
}
LAYERS_EN = {
    "A-GRID": (1, "CENTER", 13), "A-WALL": (7, "CONTINUOUS", 50), "S-COLS": (8, "CONTINUOUS", 50),
    "A-DOOR": (3, "CONTINUOUS", 25), "A-GLAZ": (4, "CONTINUOUS", 25), "A-ANNO-DIMS": (2, "CONTINUOUS", 13),
    "A-ANNO-TEXT": (7, "CONTINUOUS", 18), "A-FURN": (6, "CONTINUOUS", 18), "A-PATT": (9, "CONTINUOUS", 9),
    "A-ANNO-TTLB": (7, "CONTINUOUS", 35), "A-WALL-DEMO": (8, "HIDDEN", 18), "VP": (7, "CONTINUOUS", -3),
}
LAYER_STATES = {"旧壁": "off", "既存_設備": "frozen", "図枠": "locked", "A-WALL-DEMO": "off", "A-ANNO-TTLB": "locked"}
# Which layer each part goes on, by language.
ROLES = {
    "ja": dict(grid="通り芯", wall="壁", col="柱", door="建具", win="建具", dim="寸法", text="文字",
               furn="家具", hatch="ハッチ", title="図枠", note="A-ANNO-NOTE", old="旧壁", svc="既存_設備",
               wall2="A-WALL", furn2="B-FURN", door2="A-DOOR"),
    "en": dict(grid="A-GRID", wall="A-WALL", col="S-COLS", door="A-DOOR", win="A-GLAZ", dim="A-ANNO-DIMS",
               text="A-ANNO-TEXT", furn="A-FURN", hatch="A-PATT", title="A-ANNO-TTLB", note="A-ANNO-TEXT",
               old="A-WALL-DEMO", svc="A-WALL-DEMO", wall2="A-WALL", furn2="A-FURN", door2="A-DOOR"),
}


class Sheet:
    """A new drawing with the layers, styles and helpers every sample uses."""

    def __init__(self, version, lang, codepage=None):
        self.doc = ezdxf.new(version, setup=True, units=units.MM)
        self.r12 = version == "R12"
        self.lang = lang
        self.role = ROLES[lang]
        self.msp = self.doc.modelspace()
        if codepage:
            self.doc.header["$DWGCODEPAGE"] = codepage
        for name, (color, ltype, lw) in (LAYERS_JA if lang == "ja" else LAYERS_EN).items():
            attribs = {"color": color, "linetype": ltype}
            if not self.r12:
                attribs["lineweight"] = lw
            layer = self.doc.layers.add(name, **attribs)
            # A few layers off, frozen or locked, as drawings in use have them.
            {"off": layer.off, "frozen": layer.freeze, "locked": layer.lock}.get(LAYER_STATES.get(name), bool)()
        font = "msgothic.ttc" if lang == "ja" else "arial.ttf"
        self.style = "JP" if lang == "ja" else "LABEL"
        self.doc.styles.add(self.style, font=font)
        dim = self.doc.dimstyles.new("PLAN100")
        dim.dxf.dimscale = 100
        dim.dxf.dimtxt = 2.5
        dim.dxf.dimasz = 1.2
        dim.dxf.dimexo = 1.0
        dim.dxf.dimexe = 1.5
        dim.dxf.dimgap = 0.8
        dim.dxf.dimdec = 0
        dim.dxf.dimtad = 1
        dim.dxf.dimtxsty = self.style
        dim.dxf.dimblk = "ARCHTICK" if not self.r12 else ""
        dim.dxf.dimtsz = 1.0 if self.r12 else 0

    def layer(self, role):
        return self.role[role]

    def poly(self, layout, points, role, closed=False, **dxfattribs):
        dxfattribs["layer"] = self.layer(role)
        if self.r12:
            return layout.add_polyline2d(points, close=closed, dxfattribs=dxfattribs)
        return layout.add_lwpolyline(points, close=closed, dxfattribs=dxfattribs)

    def text(self, layout, s, at, height, role="text", align=TextEntityAlignment.MIDDLE_CENTER, rotation=0, **kw):
        t = layout.add_text(s, height=height, rotation=rotation,
                            dxfattribs={"layer": self.layer(role), "style": self.style, **kw})
        t.set_placement(at, align=align)
        return t

    def label(self, layout, lines, at, height, role="text"):
        """Lines of text centred on a point: MTEXT, or TEXTs in R12."""
        if self.r12:
            for i, s in enumerate(lines):
                self.text(layout, s, (at[0], at[1] - i * height * 1.6), height, role)
            return
        layout.add_mtext("\\P".join(lines), dxfattribs={
            "layer": self.layer(role), "style": self.style, "char_height": height,
            "insert": at, "attachment_point": 5})

    def fill(self, layout, points, role="hatch", pattern=None, scale=1.0, angle=0.0, color=None, true_color=None):
        """A solid or patterned area; R12 has no hatches, so there it is SOLIDs
        (four-sided shapes only) or nothing."""
        attribs = {"layer": self.layer(role)}
        if color is not None:
            attribs["color"] = color
        if self.r12:
            if pattern is None and len(points) == 4:
                a, b, c, d = points
                layout.add_solid([a, b, d, c], dxfattribs=attribs)
            return None
        h = layout.add_hatch(dxfattribs=attribs)
        if true_color is not None:
            h.rgb = true_color
        if pattern is None:
            h.set_solid_fill(color=attribs.get("color", 256))
        else:
            h.set_pattern_fill(pattern, scale=scale, angle=angle)
        h.paths.add_polyline_path(points, is_closed=True)
        return h

    def linear_dim(self, layout, p1, p2, base, angle=0, dimstyle="PLAN100"):
        d = layout.add_linear_dim(base=base, p1=p1, p2=p2, angle=angle, dimstyle=dimstyle,
                                  dxfattribs={"layer": self.layer("dim")})
        d.render()

    def title_block(self, name, drawing_title, number, scale, viewports):
        """An A3 layout with a border, the title block and the viewports
        (each: centre on paper, size on paper, centre in the model, scale)."""
        blk = self.doc.blocks.new("図枠A3" if self.lang == "ja" else "TITLE-A3")
        self.build_title_block(blk)
        if self.r12:
            psp = self.doc.layout()
        else:
            self.doc.layouts.rename("Layout1", name)
            psp = self.doc.layouts.get(name)
            psp.page_setup(size=(420, 297), margins=(0, 0, 0, 0), units="mm")
        ref = psp.add_blockref(blk.name, (0, 0), dxfattribs={"layer": self.layer("title")})
        ref.add_auto_attribs({"TITLE": drawing_title, "NUMBER": number, "SCALE": scale,
                              "DATE": "2026.04.01", "PROJECT": self.project})
        for center, size, view_center, view_scale in viewports:
            psp.add_viewport(center=center, size=size, view_center_point=view_center,
                             view_height=size[1] * view_scale, dxfattribs={"layer": "VP"})
        return psp

    def build_title_block(self, blk):
        layer = self.layer("title")
        ja = self.lang == "ja"
        blk.add_line((0, 0), (0, 0))  # keeps the block's extents at the sheet's corner
        for pts in ([(10, 10), (410, 10), (410, 287), (10, 287)], [(5, 5), (415, 5), (415, 292), (5, 292)]):
            self.poly(blk, pts, "title", closed=True)
        x0, y0, x1, y1 = 290, 10, 410, 60
        self.poly(blk, [(x0, y0), (x1, y0), (x1, y1), (x0, y1)], "title", closed=True)
        for y in (20, 30, 40, 50):
            blk.add_line((x0, y), (x1, y), dxfattribs={"layer": layer})
        blk.add_line((320, y0), (320, y1), dxfattribs={"layer": layer})
        captions = (["工事名称", "図面名称", "縮尺", "日付", "図番"] if ja else
                    ["PROJECT", "TITLE", "SCALE", "DATE", "SHEET"])
        tags = ["PROJECT", "TITLE", "SCALE", "DATE", "NUMBER"]
        for i, (cap, tag) in enumerate(zip(captions, tags)):
            y = y1 - 5 - i * 10
            self.text(blk, cap, (305, y), 3, role="title")
            attdef = blk.add_attdef(tag, (325, y - 1.5), dxfattribs={"layer": layer, "height": 3.5, "style": self.style})
            attdef.dxf.prompt = cap
        self.text(blk, "ラミノール設計事務所" if ja else "LAMINOR ARCHITECTS", (350, 65), 4, role="title")

    def save(self, path, encoding=None):
        if encoding:
            self.doc.encoding = encoding
        self.doc.saveas(path)


def door_block(sheet, width):
    blk = sheet.doc.blocks.new(f"DOOR{width}")
    layer = sheet.layer("door")
    blk.add_line((0, 0), (0, width), dxfattribs={"layer": layer})
    blk.add_arc((0, 0), width, 0, 90, dxfattribs={"layer": layer})
    return blk.name


def window_block(sheet, width, wall):
    blk = sheet.doc.blocks.new(f"WIN{width}")
    layer = sheet.layer("win")
    for y in (-wall / 2, -15, 15, wall / 2):
        blk.add_line((0, y), (width, y), dxfattribs={"layer": layer})
    return blk.name


def desk_block(sheet):
    blk = sheet.doc.blocks.new("DESK" if sheet.lang == "en" else "机1400")
    sheet.poly(blk, [(0, 0), (1400, 0), (1400, 700), (0, 700)], "furn", closed=True)
    sheet.poly(blk, [(450, 750), (950, 750), (950, 1200), (450, 1200)], "furn", closed=True,
               **({} if sheet.r12 else {"const_width": 0}))
    blk.add_circle((700, 1000), 200, dxfattribs={"layer": sheet.layer("furn")})
    for tag, y in (("NO", 450), ("NAME", 200)):
        blk.add_attdef(tag, (700, y), dxfattribs={"layer": sheet.layer("furn"), "height": 150,
                                                    "style": sheet.style, "halign": 1, "valign": 2,
                                                    "align_point": (700, y)})
    return blk.name


def chair_block(sheet):
    blk = sheet.doc.blocks.new("CHAIR")
    sheet.poly(blk, [(-225, -225), (225, -225), (225, 225), (-225, 225)], "furn2", closed=True)
    blk.add_line((-225, 180), (225, 180), dxfattribs={"layer": sheet.layer("furn2")})
    return blk.name


def floor_plan(version, lang, codepage, path, encoding):
    """A small office: 3 x 2 bays of 6 m x 5 m."""
    s = Sheet(version, lang, codepage)
    s.project = "○○ビル新築工事" if lang == "ja" else "Office Fit-out"
    msp = s.msp
    xs, ys = [0, 6000, 12000, 18000], [0, 5000, 10000]
    # The structural grid with its bubbles.
    for i, x in enumerate(xs):
        msp.add_line((x, -2500), (x, 11500), dxfattribs={"layer": s.layer("grid")})
        for y in (-3000, 12000):
            msp.add_circle((x, y), 500, dxfattribs={"layer": s.layer("grid"), "linetype": "CONTINUOUS"})
            s.text(msp, f"X{i + 1}", (x, y), 400, role="grid")
    for j, y in enumerate(ys):
        msp.add_line((-2500, y), (20500, y), dxfattribs={"layer": s.layer("grid")})
        msp.add_circle((-3000, y), 500, dxfattribs={"layer": s.layer("grid"), "linetype": "CONTINUOUS"})
        s.text(msp, f"Y{j + 1}", (-3000, y), 400, role="grid")
    # Columns, filled.
    for x in xs:
        for y in ys:
            pts = [(x - 300, y - 300), (x + 300, y - 300), (x + 300, y + 300), (x - 300, y + 300)]
            s.poly(msp, pts, "col", closed=True)
            s.fill(msp, pts, "col", color=8)
    # Outer walls (200 thick) as outlines with openings; partitions 100 thick.
    wall = 200
    openings = {  # along each outer wall: (start, end) of openings measured from its start
        "south": [(1500, 3300), (7500, 9300), (13500, 15300)],
        "north": [(1500, 3300), (7500, 9300), (14000, 15000)],
        "west": [(3500, 4500)], "east": [(6500, 8300)],
    }

    def wall_run(a, b, gaps, thick, role="wall"):
        ax, ay = a
        bx, by = b
        length = math.hypot(bx - ax, by - ay)
        ux, uy = (bx - ax) / length, (by - ay) / length
        nx, ny = -uy * thick / 2, ux * thick / 2
        cuts = [0] + [v for g in gaps for v in g] + [length]
        for k in range(0, len(cuts), 2):
            t0, t1 = cuts[k], cuts[k + 1]
            p0 = (ax + ux * t0, ay + uy * t0)
            p1 = (ax + ux * t1, ay + uy * t1)
            s.poly(msp, [(p0[0] + nx, p0[1] + ny), (p1[0] + nx, p1[1] + ny),
                         (p1[0] - nx, p1[1] - ny), (p0[0] - nx, p0[1] - ny)], role, closed=True)

    wall_run((0, 0), (18000, 0), openings["south"], wall)
    wall_run((0, 10000), (18000, 10000), openings["north"], wall)
    wall_run((0, 0), (0, 10000), openings["west"], wall)
    wall_run((18000, 0), (18000, 10000), openings["east"], wall)
    wall_run((12000, 0), (12000, 10000), [(1000, 1900), (6000, 6900)], 100, "wall2")
    wall_run((12000, 5000), (18000, 5000), [(2500, 3400)], 100, "wall2")
    wall_run((6000, 6000), (6000, 10000), [(1500, 2400)], 100, "wall2")
    wall_run((0, 6000), (6000, 6000), [(3800, 4700)], 100, "wall2")
    # A wall taken down, kept on its own layer.
    s.poly(msp, [(3000, 3000), (5500, 3000)], "old")
    # Doors with their swings; windows in the outer walls.
    d900, d1000 = door_block(s, 900), door_block(s, 1000)
    for at, rot, name in [((12050, 1000), 0, d900), ((12050, 6000), 0, d900), ((14500, 5050), 90, d900),
                          ((6050, 7500), 0, d900), ((3800, 6050), 90, d900), ((-100, 3500), 0, d1000),
                          ((14000, 9900), 270, d1000)]:
        msp.add_blockref(name, at, dxfattribs={"layer": s.layer("door"), "rotation": rot})
    w1800 = window_block(s, 1800, wall)
    for x0, x1 in openings["south"]:
        msp.add_blockref(w1800, (x0, 0), dxfattribs={"layer": s.layer("win")})
    for x0, x1 in openings["north"][:2]:
        msp.add_blockref(w1800, (x0, 10000), dxfattribs={"layer": s.layer("win")})
    msp.add_blockref(w1800, (18000, 6500), dxfattribs={"layer": s.layer("win"), "rotation": 90})
    # Furniture: desks with their numbers, a row of chairs by rows and columns.
    desk = desk_block(s)
    n = 1
    for row in range(2):
        for col in range(4):
            ref = msp.add_blockref(desk, (1000 + col * 2500, 1500 + row * 2200),
                                   dxfattribs={"layer": s.layer("furn")})
            ref.add_auto_attribs({"NO": f"D-{n:02d}", "NAME": ("事務机" if lang == "ja" else "Desk")})
            n += 1
    chair = chair_block(s)
    table = [(13000, 6800), (17000, 6800), (17000, 8200), (13000, 8200)]
    s.poly(msp, table, "furn", closed=True)
    msp.add_blockref(chair, (13500, 6400), dxfattribs={"layer": s.layer("furn2"), "column_count": 4,
                                                       "column_spacing": 1000, "row_count": 2,
                                                       "row_spacing": 2200})
    # A service line kept from the existing building.
    msp.add_line((0, 9500), (12000, 9500), dxfattribs={"layer": s.layer("svc")})
    # Room names and areas.
    rooms = ([("事務室", "108.0㎡"), ("会議室", "30.0㎡"), ("応接室", "24.0㎡"), ("給湯室", "12.0㎡"), ("倉庫", "14.4㎡")]
             if lang == "ja" else
             [("OFFICE", "108.0 m2"), ("MEETING", "30.0 m2"), ("RECEPTION", "24.0 m2"), ("PANTRY", "12.0 m2"),
              ("STORE", "14.4 m2")])
    for (name, area), at in zip(rooms, [(9000, 5500), (15000, 9400), (15000, 2500), (3000, 8000), (9000, 8000)]):
        s.label(msp, [name, area], at, 350)
    s.text(msp, "1階平面図  S=1/100" if lang == "ja" else "GROUND FLOOR PLAN  1:100", (9000, -5000), 500,
           align=TextEntityAlignment.MIDDLE_CENTER)
    # Dimensions: bays and overall.
    for a, b in zip(xs, xs[1:]):
        s.linear_dim(msp, (a, 10000), (b, 10000), (0, 13800))
    s.linear_dim(msp, (0, 10000), (18000, 10000), (0, 14800))
    for a, b in zip(ys, ys[1:]):
        s.linear_dim(msp, (0, a), (0, b), (-4800, 0), angle=90)
    s.linear_dim(msp, (0, 0), (0, 10000), (-5800, 0), angle=90)
    s.doc.header["$LTSCALE"] = 100
    s.title_block("平面図" if lang == "ja" else "PLAN", "1階平面図" if lang == "ja" else "GROUND FLOOR PLAN",
                  "A-101", "1/100", [((150, 160), (270, 230), (7500, 4500), 100)])
    s.save(path, encoding)


def site_plan(version, lang, codepage, path, encoding):
    s = Sheet(version, lang, codepage)
    s.project = "○○ビル新築工事"
    msp = s.msp
    for name, color in (("敷地境界", 1), ("道路", 8), ("植栽", 3), ("駐車場", 7), ("建物", 7)):
        s.doc.layers.add(name, color=color, linetype="DASHDOT" if name == "敷地境界" else "CONTINUOUS")

    def on(layer):
        return {"layer": layer}

    site = [(0, 0), (32000, 0), (34000, 24000), (2000, 26000)]
    msp.add_polyline2d(site, close=True, dxfattribs=on("敷地境界")) if s.r12 else \
        msp.add_lwpolyline(site, close=True, dxfattribs=on("敷地境界"))
    for (a, b) in zip(site, site[1:] + site[:1]):
        length = math.hypot(b[0] - a[0], b[1] - a[1])
        ang = math.degrees(math.atan2(b[1] - a[1], b[0] - a[0]))
        if ang > 90 or ang < -90:  # read from below or from the right
            ang -= math.copysign(180, ang)
        mid = ((a[0] + b[0]) / 2, (a[1] + b[1]) / 2)
        t = msp.add_text(f"{length / 1000:.3f}m", height=500, rotation=ang,
                         dxfattribs={"layer": s.layer("text"), "style": s.style})
        t.set_placement(mid, align=TextEntityAlignment.BOTTOM_CENTER)
    # The road in front, with a curved entrance (bulges).
    msp.add_line((-6000, -1000), (40000, -1000), dxfattribs=on("道路"))
    msp.add_line((-6000, -9000), (40000, -9000), dxfattribs=on("道路"))
    msp.add_line((-6000, -5000), (40000, -5000), dxfattribs={"layer": "道路", "linetype": "DASHED"})
    drive = msp.add_polyline2d([(20000, -1000), (21000, 2000), (21000, 6000)], dxfattribs=on("道路"))
    drive.vertices[0].dxf.bulge = -0.3
    s.text(msp, "市道 幅員8.0m", (6000, -7000), 700)
    # The building, filled, and its name.
    b = [(6000, 8000), (24000, 8000), (24000, 18000), (6000, 18000)]
    msp.add_polyline2d(b, close=True, dxfattribs=on("建物"))
    s.fill(msp, b, "hatch", color=253)
    s.text(msp, "計画建物  RC造 地上3階", (15000, 13000), 800)
    # Parking stalls as one reference with rows and columns.
    stall = s.doc.blocks.new("駐車区画")
    for pts in ([(0, 0), (0, 5000)], [(2500, 0), (2500, 5000)], [(0, 0), (2500, 0)]):
        stall.add_line(*pts, dxfattribs=on("駐車場"))
    msp.add_blockref("駐車区画", (23000, 1000), dxfattribs={"layer": "駐車場", "column_count": 4,
                                                        "column_spacing": 2500, "row_count": 1})
    # Trees, each a block with its species as an attribute.
    tree = s.doc.blocks.new("高木")
    tree.add_circle((0, 0), 1200, dxfattribs=on("植栽"))
    for k in range(8):
        a = math.radians(k * 45)
        tree.add_line((0, 0), (1200 * math.cos(a), 1200 * math.sin(a)), dxfattribs=on("植栽"))
    tree.add_attdef("SPECIES", (0, -1700), dxfattribs={"layer": "植栽", "height": 400, "style": s.style,
                                                         "halign": 1, "align_point": (0, -1700)})
    for k, (x, y) in enumerate([(3000, 3000), (3000, 8000), (3500, 13000), (4000, 18000), (5000, 23000),
                                (28000, 22000), (30000, 16000), (11000, 22000), (19000, 22500)]):
        ref = msp.add_blockref("高木", (x, y), dxfattribs={"layer": "植栽", "xscale": 1 + (k % 3) * 0.2,
                                                          "yscale": 1 + (k % 3) * 0.2})
        ref.add_auto_attribs({"SPECIES": ["ケヤキ", "サクラ", "シラカシ"][k % 3]})
    # North arrow.
    north = s.doc.blocks.new("方位")
    north.add_circle((0, 0), 1500, dxfattribs=on(s.layer("text")))
    north.add_solid([(0, 1500), (-500, -1000), (500, -1000)], dxfattribs=on(s.layer("text")))
    north.add_text("N", dxfattribs={"layer": s.layer("text"), "height": 600, "insert": (-200, 1800)})
    msp.add_blockref("方位", (38000, 22000), dxfattribs={"layer": s.layer("text"), "rotation": -8})
    # Setbacks.
    s.doc.dimstyles.duplicate_entry("PLAN100", "SITE300").dxf.dimscale = 300
    s.linear_dim(msp, (6000, 8000), (6000, 0), (-2500, 0), angle=90, dimstyle="SITE300")
    s.linear_dim(msp, (6000, 18000), (24000, 18000), (0, 20500), dimstyle="SITE300")
    s.doc.header["$LTSCALE"] = 300
    s.text(msp, "配置図  S=1/300", (17000, -11000), 900)
    s.title_block("配置図", "配置図", "A-001", "1/300", [((150, 150), (270, 200), (17000, 8000), 300)])
    s.save(path, encoding)


def detail_sheet(version, lang, codepage, path, encoding):
    """A wall section at the footing and a window head detail, at 1:10 and 1:5."""
    s = Sheet(version, lang, codepage)
    s.project = "○○ビル新築工事"
    msp = s.msp
    mat = {"コンクリート": 8, "断熱材": 30, "モルタル": 9, "地盤": 34}
    for name, color in mat.items():
        s.doc.layers.add(name, color=color, lineweight=18)

    def outline(pts, layer):
        msp.add_lwpolyline(pts, close=True, dxfattribs={"layer": layer})

    def area(pts, layer, pattern, scale, angle=0.0, rgb=None):
        outline(pts, layer)
        h = msp.add_hatch(dxfattribs={"layer": layer})
        if rgb is not None:
            h.rgb = rgb
        h.set_pattern_fill(pattern, scale=scale, angle=angle)
        h.paths.add_polyline_path(pts, is_closed=True)

    # Wall and footing in section (1:10).
    area([(0, 0), (1200, 0), (1200, 300), (0, 300)], "コンクリート", "AR-CONC", 1)        # footing
    area([(450, 300), (750, 300), (750, 2000), (450, 2000)], "コンクリート", "AR-CONC", 1)  # wall
    area([(750, 300), (800, 300), (800, 2000), (750, 2000)], "断熱材", "ANSI37", 10, rgb=(230, 160, 60))
    area([(800, 300), (830, 300), (830, 2000), (800, 2000)], "モルタル", "ANSI31", 3)
    area([(-300, -300), (1500, -300), (1500, 0), (-300, 0)], "地盤", "EARTH", 8, angle=45)
    # Ground line as a spline, the drain pipe as a circle, an elliptic arc
    # for a sealant bead, survey points.
    msp.add_spline([(-600, 900), (0, 950), (450, 1000)], dxfattribs={"layer": "地盤"})
    msp.add_spline_control_frame([(830, 1000), (1100, 960), (1400, 1050), (1700, 980)],
                                 dxfattribs={"layer": "地盤"})
    msp.add_circle((1000, 150), 50, dxfattribs={"layer": s.layer("text")})
    msp.add_ellipse((830, 1900), major_axis=(0, 30), ratio=0.5, start_param=-math.pi / 2,
                    end_param=math.pi / 2, dxfattribs={"layer": "モルタル"})
    for x in (0, 1200):
        msp.add_point((x, 0), dxfattribs={"layer": s.layer("dim")})
    # Dimensions of the section.
    s.doc.dimstyles.duplicate_entry("PLAN100", "DET10").dxf.dimscale = 10
    for p1, p2, base, ang in [((0, 0), (1200, 0), (0, -600), 0), ((450, 2000), (750, 2000), (0, 2200), 0),
                              ((1200, 0), (1200, 300), (1500, 0), 90), ((1200, 300), (1200, 2000), (1500, 0), 90)]:
        d = msp.add_linear_dim(base=base, p1=p1, p2=p2, angle=ang, dimstyle="DET10",
                               dxfattribs={"layer": s.layer("dim")})
        d.render()
    # Notes with leaders; a wipeout behind the label box.
    msp.add_wipeout([(1650, 1550), (2650, 1550), (2650, 1750), (1650, 1750)])
    notes = [("コンクリート Fc24", (600, 1500), (1700, 1650)),
             ("押出法ポリスチレンフォーム ⑦50", (775, 1200), (1700, 1350)),
             ("モルタル金鏝 ⑦30", (815, 900), (1700, 1050))]
    for text, target, at in notes:
        msp.add_leader([target, (at[0] - 100, at[1]), at], dimstyle="DET10", dxfattribs={"layer": s.layer("note")})
        msp.add_mtext(text, dxfattribs={"layer": s.layer("note"), "style": s.style, "char_height": 25,
                                        "insert": (at[0], at[1] + 20), "attachment_point": 7})
    msp.add_mtext("{\\H1.5x;A}\\P壁断面詳細図 S=1/10 %%c13@200 ±0", dxfattribs={
        "layer": s.layer("text"), "style": s.style, "char_height": 40, "insert": (600, -900),
        "attachment_point": 2})
    # Window head (1:5), placed to the right.
    ox = 3000
    area([(ox, 0), (ox + 200, 0), (ox + 200, 400), (ox, 400)], "コンクリート", "AR-CONC", 0.5)
    outline([(ox + 20, -100), (ox + 180, -100), (ox + 180, 0), (ox + 20, 0)], s.layer("win"))
    for x in (ox + 60, ox + 140):
        msp.add_line((x, -100), (x, -600), dxfattribs={"layer": s.layer("win"), "true_color": 0x2060C0})
    msp.add_arc((ox + 100, 0), 100, 180, 360, dxfattribs={"layer": s.layer("note"), "linetype": "DASHED",
                                                          "ltscale": 0.2})
    msp.add_text("B  窓上部詳細図 S=1/5", dxfattribs={"layer": s.layer("text"), "style": s.style, "height": 25,
                                                     "insert": (ox, -800), "width": 0.8})
    s.doc.header["$LTSCALE"] = 10
    s.title_block("詳細図", "矩計・窓廻り詳細図", "A-501", "1/10, 1/5",
                  [((110, 170), (180, 230), (700, 800), 10), ((300, 200), (150, 150), (ox + 100, -150), 5)])
    s.save(path, encoding)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "samples"
    os.makedirs(out, exist_ok=True)
    floor_plan("R2000", "ja", "ANSI_932", os.path.join(out, "floor-plan-R2000.dxf"), "cp932")
    floor_plan("R2004", "en", "ANSI_1252", os.path.join(out, "office-plan-en-R2004.dxf"), "cp1252")
    site_plan("R12", "ja", "ANSI_932", os.path.join(out, "site-plan-R12.dxf"), "cp932")
    detail_sheet("R2018", "ja", None, os.path.join(out, "detail-sheet-R2018.dxf"), None)


if __name__ == "__main__":
    main()
