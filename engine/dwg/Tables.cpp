#include "engine/dwg/Tables.h"

#include <cmath>

namespace dxf::dwg {

namespace {

std::string stripNul(std::string s) {
    while (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
}

// Data, string and handle readers of an object, positioned after the common data.
struct Streams {
    BitReader data, strings, handles;
    Streams(const Document& d, const ObjectInfo& o)
        : data(d.dataReader(o)), strings(d.stringReader(o)), handles(d.handleReader(o)) {
        if (o.flags & kUnread) throw BitOverrun("object not readable");
    }
    std::string text(const Document& d) { return stripNul(d.text(data, strings)); }
};

}  // namespace

// The RGB of an index colour: 1-9 fixed, 10-249 in 24 hues of five
// brightnesses at full and half saturation, 250-255 greys.
std::uint32_t aciRgb(int index) {
    static const std::uint32_t fixed[] = {0x000000, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF,
                                          0x0000FF, 0xFF00FF, 0xFFFFFF, 0x808080, 0xC0C0C0};
    if (index >= 0 && index <= 9) return fixed[index];
    if (index >= 250 && index <= 255) {
        static const int greys[] = {51, 91, 132, 173, 214, 255};
        std::uint32_t g = static_cast<std::uint32_t>(greys[index - 250]);
        return (g << 16) | (g << 8) | g;
    }
    if (index < 10 || index > 255) return 0xFFFFFF;
    static const double values[] = {255, 165, 127, 76, 38};
    const int sub = index % 10;
    const double v = values[sub / 2];
    const double lo = (sub & 1) ? v / 2 : 0;
    const double hue = (index / 10 - 1) * 15.0;
    auto channel = [&](double h) {
        h = std::fmod(h + 360.0, 360.0);
        double f;
        if (h < 60) f = h / 60;
        else if (h < 180) f = 1;
        else if (h < 240) f = (240 - h) / 60;
        else f = 0;
        return static_cast<std::uint32_t>(lo + (v - lo) * f);
    };
    return (channel(hue + 120) << 16) | (channel(hue) << 8) | channel(hue - 120);
}

int nearestAci(std::uint32_t rgb) {
    int best = 7;
    long bestDistance = -1;
    for (int i = 1; i <= 255; ++i) {
        std::uint32_t c = aciRgb(i);
        long dr = static_cast<long>((c >> 16) & 0xFF) - static_cast<long>((rgb >> 16) & 0xFF);
        long dg = static_cast<long>((c >> 8) & 0xFF) - static_cast<long>((rgb >> 8) & 0xFF);
        long db = static_cast<long>(c & 0xFF) - static_cast<long>(rgb & 0xFF);
        long dist = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || dist < bestDistance) best = i, bestDistance = dist;
    }
    return best;
}

int lineweightOf(unsigned index) {
    static const int table[] = {0, 5, 9, 13, 15, 18, 20, 25, 30, 35, 40, 50, 53, 60, 70, 80, 90, 100, 106, 120, 140, 158, 200, 211};
    if (index < sizeof table / sizeof table[0]) return table[index];
    if (index == 29) return -1;
    if (index == 30) return -2;
    return -3;
}

TableEntry readTableEntry(const Document& d, const ObjectInfo&, BitReader& data, BitReader& strings) {
    TableEntry e;
    e.name = stripNul(d.text(data, strings));
    if (d.release() <= Release::R14) {
        data.B();   // 64-flag
        data.BS();  // xref index
        e.xrefDependent = data.B();
        return e;
    }
    data.B();  // referenced
    // The xref index went away in R2007 (checked on every R2010+ sample).
    if (d.release() < Release::R2007) data.BS();
    e.xrefDependent = data.B();
    return e;
}

std::vector<std::uint64_t> readControlEntries(const Document& d, const ObjectInfo& o, std::vector<std::uint64_t>* extra) {
    Streams s(d, o);
    std::uint32_t n = s.data.BL();
    if (n > o.size * 8u) throw BitOverrun("control object: count beyond the object");
    std::vector<std::uint64_t> out;
    out.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) out.push_back(Document::ref(o, s.handles.H()));
    // BLOCK control: *Model_Space and *Paper_Space; LTYPE control: ByBlock and ByLayer.
    if (extra)
        while (s.handles.remaining() >= 8) {
            HandleRef h = s.handles.H();
            if (h.size == 0 && h.code < 6) break;
            extra->push_back(Document::ref(o, h));
        }
    return out;
}

LayerData readLayer(const Document& d, const ObjectInfo& o) {
    Streams s(d, o);
    LayerData l;
    l.entry = readTableEntry(d, o, s.data, s.strings);
    if (d.release() <= Release::R14) {
        bool frozen = s.data.B();
        s.data.B();  // "on": R14 files keep the state in the colour's sign
        bool frozenNew = s.data.B();
        bool locked = s.data.B();
        l.flags = (frozen ? 1 : 0) | (frozenNew ? 2 : 0) | (locked ? 4 : 0);
        std::int16_t c = static_cast<std::int16_t>(s.data.BS());
        if (c < 0) l.off = true, c = static_cast<std::int16_t>(-c);
        l.colorIndex = c;
    } else {
        unsigned f = s.data.BS();
        l.off = f & 2;
        l.flags = (f & 1 ? 1 : 0) | (f & 4 ? 2 : 0) | (f & 8 ? 4 : 0);
        l.plottable = f & 0x10;
        l.lineweight = lineweightOf((f >> 5) & 0x1F);
        std::int16_t c = static_cast<std::int16_t>(s.data.BS());
        if (c < 0) l.off = true, c = static_cast<std::int16_t>(-c);
        l.colorIndex = c;
        if (d.release() >= Release::R2004) {
            std::uint32_t rgb = s.data.BL();
            std::uint8_t cf = s.data.RC();
            if (cf & 1) d.text(s.data, s.strings);
            if (cf & 2) d.text(s.data, s.strings);
            if ((rgb >> 24) == 0xC2) {
                l.trueColor = rgb & 0xFFFFFF;
                l.colorIndex = nearestAci(rgb & 0xFFFFFF);
            }
            if ((rgb >> 24) == 0xC3) l.colorIndex = static_cast<int>(rgb & 0xFF);
        }
    }
    if (l.entry.xrefDependent) l.flags |= 16;
    if (l.colorIndex < 1 || l.colorIndex > 255) l.colorIndex = 7;
    s.handles.H();  // xref block
    if (d.release() >= Release::R2000) l.plotStyle = Document::ref(o, s.handles.H());
    if (d.release() >= Release::R2007) s.handles.H();  // material
    l.linetype = Document::ref(o, s.handles.H());
    return l;
}

std::string readLtypeName(const Document& d, const ObjectInfo& o) {
    Streams s(d, o);
    return readTableEntry(d, o, s.data, s.strings).name;
}

std::string readBlockName(const Document& d, const ObjectInfo& o) {
    Streams s(d, o);
    return s.text(d);
}

BlockHeaderData readBlockHeader(const Document& d, const ObjectInfo& o) {
    Streams s(d, o);
    const Release r = d.release();
    BlockHeaderData b;
    b.entry = readTableEntry(d, o, s.data, s.strings);
    b.anonymous = s.data.B();
    b.hasAttdefs = s.data.B();
    b.isXref = s.data.B();
    b.isOverlay = s.data.B();
    if (r >= Release::R2000) s.data.B();  // loaded
    std::uint32_t owned = 0;
    if (r >= Release::R2004 && !b.isXref && !b.isOverlay) {
        owned = s.data.BL();
        if (owned > o.size * 8u) throw BitOverrun("block record: owned count beyond the object");
    }
    b.base = s.data.BD3();
    b.xrefPath = s.text(d);
    unsigned inserts = 0;
    if (r >= Release::R2000) {
        while (s.data.RC() != 0) ++inserts;
        s.text(d);  // description
        std::uint32_t preview = s.data.BL();
        s.data.skipBytes(preview);
    }
    s.handles.H();  // null
    b.blockEntity = Document::ref(o, s.handles.H());
    if (r < Release::R2004) {
        if (!b.isXref && !b.isOverlay) {
            b.firstEntity = Document::ref(o, s.handles.H());
            b.lastEntity = Document::ref(o, s.handles.H());
        }
    } else {
        b.owned.reserve(owned);
        for (std::uint32_t i = 0; i < owned; ++i) b.owned.push_back(Document::ref(o, s.handles.H()));
    }
    b.endblk = Document::ref(o, s.handles.H());
    for (unsigned i = 0; i < inserts; ++i) s.handles.H();
    if (r >= Release::R2000) b.layout = Document::ref(o, s.handles.H());
    return b;
}

LayoutData readLayout(const Document& d, const ObjectInfo& o) {
    Streams s(d, o);
    const Release r = d.release();
    BitReader& b = s.data;
    auto text = [&] { return s.text(d); };
    LayoutData l;
    l.pageSetup = text();
    l.printer = text();
    l.plotFlags = b.BS();
    for (double& m : l.margins) m = b.BD();
    l.paperWidth = b.BD(), l.paperHeight = b.BD();
    l.paper = text();
    l.origin = b.BD2();
    l.units = b.BS(), l.rotation = b.BS(), l.plotType = b.BS();
    l.windowMin = b.BD2(), l.windowMax = b.BD2();
    if (r < Release::R2004) text();  // view name
    l.realUnits = b.BD(), l.drawingUnits = b.BD();
    l.styleSheet = text();
    l.scaleType = b.BS();
    l.scaleFactor = b.BD();
    b.BD2();  // image origin
    if (r >= Release::R2004) b.BS(), b.BS(), b.BS();
    l.name = text();
    l.tabOrder = b.BS();
    l.flags = b.BS();
    b.BD3();  // UCS origin
    l.limitsMin = b.RD2(), l.limitsMax = b.RD2();
    b.BD3();
    b.BD3(), b.BD3();
    b.BD();
    b.BS();
    b.BD3(), b.BD3();
    if (r >= Release::R2004) b.BL();
    if (r >= Release::R2004) s.handles.H();  // plot view
    if (r >= Release::R2007) s.handles.H();  // visual style
    l.blockRecord = Document::ref(o, s.handles.H());
    return l;
}

DictionaryData readDictionary(const Document& d, const ObjectInfo& o) {
    Streams s(d, o);
    DictionaryData out;
    std::uint32_t n = s.data.BL();
    if (n > o.size * 8u) throw BitOverrun("dictionary: count beyond the object");
    if (d.release() <= Release::R14) {
        // R13/R14 dictionaries carry a cloning flag only from R14 on.
        if (d.release() == Release::R14) s.data.RC();
    } else {
        s.data.BS();  // cloning
        out.hardOwner = s.data.RC() != 0;
    }
    for (std::uint32_t i = 0; i < n; ++i) {
        std::string key = s.text(d);
        out.entries.emplace_back(std::move(key), Document::ref(o, s.handles.H()));
    }
    return out;
}

}  // namespace dxf::dwg
