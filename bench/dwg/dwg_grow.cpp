// dwg_grow: makes a large DWG for the benchmarks out of a small one.
//
//   dwg_grow IN OUT COPIES
//
// Every model-space entity that can be copied on its own (a type below, no
// reactors, no extension dictionary, nothing it owns) is written COPIES - 1
// more times with fresh handles; copy k of LINE, CIRCLE, ARC, POINT, ELLIPSE
// and LWPOLYLINE is moved by k * kStep along x, the others lie on their
// original. The copies go after the drawing's objects, the model space block
// record lists them, and the object map, handle seed and every page follow
// from the engine's writer. R2004 and later (the writer's versions that keep
// entity lists in the block record).
//
// Prints what it copied: "copied N entities x COPIES, K types skipped".
// bench/dwg/grow_dwg.py grows the DXF twin the same way.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/dwg/BitWriter.h"
#include "engine/dwg/ObjectCodec.h"
#include "engine/dwg/TableCodec.h"
#include "engine/dwg/Tables.h"
#include "engine/dwg/Writer.h"

namespace {

using namespace dxf::dwg;

constexpr double kStep = 1000.0;

// DD written in full (code 3) unless it equals its default.
void putDD(BitWriter& w, double v, double def) {
    if (v == def) {
        w.BB(0);
    } else {
        w.BB(3);
        w.RD(v);
    }
}
void putBD(BitWriter& w, double v) { w.BD(v); }

// The types copied; true for those moved along x.
const std::map<unsigned, bool>& copyable() {
    static const std::map<unsigned, bool> types = {
        {type::Line, true},      {type::Circle, true}, {type::Arc, true},     {type::Point, true},
        {type::Ellipse, true},   {type::LwPolyline, true}, {type::Text, false}, {type::Mtext, false},
        {type::Face3d, false},   {type::Solid, false}, {type::Trace, false},  {type::Spline, false},
        {type::Xline, false},    {type::Ray, false}};
    return types;
}

// The data part of a copy: the type, its handle, the common data as they
// were, then the type's own data moved by dx.
BitWriter moved(const Document& d, const ObjectInfo& o, const BitWriter& data, std::uint64_t handle, double dx) {
    const std::uint8_t* p = data.bytes().data();
    BitReader r(p, 0, data.size());
    if (d.release() >= Release::R2010) r.OT(); else r.BS();
    if (d.release() <= Release::R2007) r.RL();
    const std::uint64_t handleAt = r.pos();
    r.H();
    BitWriter w;
    w.copy(p, 0, handleAt);
    w.H(0, handle);
    if (dx == 0) {
        w.copy(p, r.pos(), data.size());
        return w;
    }
    w.copy(p, r.pos(), o.dataBits);
    r = BitReader(p, o.dataBits, data.size());
    switch (d.fixedType(o)) {
    case type::Line: {
        const bool flat = r.B();
        w.B(flat);
        const double sx = r.RD(), ex = r.DD(sx), sy = r.RD(), ey = r.DD(sy);
        w.RD(sx + dx), putDD(w, ex + dx, sx + dx), w.RD(sy), putDD(w, ey, sy);
        break;
    }
    case type::Point:
    case type::Circle:
    case type::Arc:
    case type::Ellipse: {
        const Vec3 c = r.BD3();
        putBD(w, c.x + dx), putBD(w, c.y), putBD(w, c.z);
        break;
    }
    case type::LwPolyline: {
        const unsigned flags = r.BS();
        w.BS(static_cast<std::uint16_t>(flags));
        const std::uint64_t from = r.pos();
        if (flags & 4) r.BD();
        if (flags & 8) r.BD();
        if (flags & 2) r.BD();
        if (flags & 1) r.BD3();
        const std::uint32_t points = r.BL();
        if (flags & 16) r.BL();
        if (d.release() >= Release::R2010 && (flags & 1024)) r.BL();
        if (flags & 32) r.BL();
        w.copy(p, from, r.pos());
        double px = 0, py = 0, nx = 0;
        for (std::uint32_t i = 0; i < points; ++i) {
            const double x = i ? r.DD(px) : r.RD(), y = i ? r.DD(py) : r.RD();
            if (i) putDD(w, x + dx, nx), putDD(w, y, py); else w.RD(x + dx), w.RD(y);
            px = x, py = y, nx = x + dx;
        }
        break;
    }
    default: break;
    }
    w.copy(p, r.pos(), data.size());
    return w;
}

// The handle stream of a copy: references relative to the original's handle
// become absolute ones.
BitWriter absoluteHandles(const Document& d, const ObjectInfo& o) {
    const std::uint8_t* p = d.objectStart(o) + o.headerBytes;
    const std::uint64_t end = static_cast<std::uint64_t>(o.size) * 8;
    BitWriter w;
    std::uint64_t cur = o.handleBits;
    for (const HandleAt& h : handlesOf(d, o, o.handleBits)) {
        if (h.ref.code < 6) continue;
        w.copy(p, cur, h.bit);
        w.H(5, h.ref.resolve(o.handle));
        BitReader skip(p, h.bit, end);
        skip.H();
        cur = skip.pos();
    }
    w.copy(p, cur, end);
    return w;
}

// The model space block record listing `added` after its own entities.
std::string grownBlockRecord(const Document& d, const ObjectInfo& o, const std::vector<std::uint64_t>& added,
                             std::uint32_t owned) {
    ObjectParts parts = split(d, o);
    BitReader data = d.dataReader(o), strings = d.stringReader(o), handles = d.handleReader(o);
    readTableEntry(d, o, data, strings);
    for (int i = 0; i < 5; ++i) data.B();  // anonymous, attdefs, xref, overlay, loaded
    const std::uint64_t countAt = data.pos();
    if (data.BL() != owned) throw std::runtime_error("the block record's entity count is not where it was read");
    const std::uint64_t countEnd = data.pos();
    BitWriter nd;
    nd.copy(parts.data.bytes().data(), 0, countAt);
    nd.BL(static_cast<std::uint32_t>(owned + added.size()));
    nd.copy(parts.data.bytes().data(), countEnd, parts.data.size());
    parts.data = nd;

    handles.H(), handles.H();  // null, BLOCK
    unsigned code = 3;
    for (std::uint32_t i = 0; i < owned; ++i) code = handles.H().code;
    if (code >= 6) code = 3;
    const std::uint64_t at = handles.pos() - o.handleBits;
    BitWriter nh;
    const std::uint8_t* hp = parts.handles.bytes().data();
    nh.copy(hp, 0, at);
    for (std::uint64_t h : added) nh.H(code, h);
    nh.copy(hp, at, parts.handles.size());
    parts.handles = nh;
    return assemble(d.release(), parts);
}

class FileOutput : public Output {
public:
    explicit FileOutput(const std::string& path) : f_(path, std::ios::binary | std::ios::trunc) {
        if (!f_) throw std::runtime_error("cannot write " + path);
    }
    void write(const char* p, std::size_t n) override { f_.write(p, static_cast<std::streamsize>(n)); }
    void patch(std::uint64_t at, const char* p, std::size_t n) override {
        const auto here = f_.tellp();
        f_.seekp(static_cast<std::streamoff>(at));
        f_.write(p, static_cast<std::streamsize>(n));
        f_.seekp(here);
    }
    void close() {
        f_.close();
        if (!f_) throw std::runtime_error("write failed");
    }

private:
    std::ofstream f_;
};

int grow(const std::string& in, const std::string& out, int copies) {
    std::ifstream f(in, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    const std::string bytes = ss.str();
    Document d(bytes);
    if (d.release() < Release::R2004 || !writable(d.release()))
        throw std::runtime_error("only R2004 and later DWGs that the writer saves are grown");
    // *Model_Space: the first extra entry of the block control, else the header's.
    std::uint64_t modelSpace = d.header().modelSpace;
    if (const long bc = d.find(d.header().blockControl); bc >= 0) {
        std::vector<std::uint64_t> extra;
        readControlEntries(d, d.objects()[static_cast<std::size_t>(bc)], &extra);
        if (!extra.empty()) modelSpace = extra[0];
    }
    const long msIndex = d.find(modelSpace);
    if (msIndex < 0) throw std::runtime_error("no model space block record");
    const ObjectInfo& ms = d.objects()[static_cast<std::size_t>(msIndex)];
    const BlockHeaderData bh = readBlockHeader(d, ms);

    std::vector<std::uint32_t> chosen;
    std::map<std::string, int> skipped;
    for (std::uint64_t h : bh.owned) {
        const long i = d.find(h);
        if (i < 0) continue;
        const ObjectInfo& o = d.objects()[static_cast<std::size_t>(i)];
        const bool plain = o.entmode == 2 && o.layerRefBit == o.handleBits && !(o.flags & kUnread);
        if (plain && copyable().count(d.fixedType(o))) chosen.push_back(static_cast<std::uint32_t>(i));
        else ++skipped[d.dxfName(o)];
    }

    Edits e;
    std::uint64_t seed = d.header().handseed;
    std::vector<std::uint64_t> added;
    // In the order they lie, a page at a time.
    std::vector<std::uint32_t> byPlace = chosen;
    std::sort(byPlace.begin(), byPlace.end(), [&](std::uint32_t a, std::uint32_t b) {
        return d.objects()[a].offset < d.objects()[b].offset;
    });
    std::map<std::uint32_t, std::pair<ObjectParts, BitWriter>> proto;
    for (std::uint32_t i : byPlace) {
        const ObjectInfo& o = d.objects()[i];
        proto.emplace(i, std::make_pair(split(d, o), absoluteHandles(d, o)));
    }
    for (int k = 1; k < copies; ++k)
        for (std::uint32_t i : chosen) {
            const ObjectInfo& o = d.objects()[i];
            const auto& [parts, handles] = proto.at(i);
            ObjectParts c;
            const std::uint64_t h = seed++;
            c.data = moved(d, o, parts.data, h, copyable().at(d.fixedType(o)) ? k * kStep : 0.0);
            c.strings = parts.strings;
            c.stringFlag = parts.stringFlag;
            c.longLength = parts.longLength;
            c.handles = handles;
            e.added.emplace_back(h, assemble(d.release(), c));
            added.push_back(h);
        }
    e.replaced[static_cast<std::uint32_t>(msIndex)] =
        grownBlockRecord(d, ms, added, static_cast<std::uint32_t>(bh.owned.size()));
    e.handseed = seed;
    e.header = encodeHeader(d, seed, d.header().clayer);
    FileOutput o(out);
    writeDwg(d, e, o);
    o.close();
    std::printf("copied %zu entities x %d, %zu types skipped:", chosen.size(), copies, skipped.size());
    for (const auto& [name, n] : skipped) std::printf(" %s %d", name.c_str(), n);
    std::printf("\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || std::atoi(argv[3]) < 1) {
        std::cerr << "usage: dwg_grow IN OUT COPIES\n";
        return 2;
    }
    try {
        return grow(argv[1], argv[2], std::atoi(argv[3]));
    } catch (const std::exception& e) {
        std::cerr << "dwg_grow: " << e.what() << '\n';
        return 1;
    }
}
