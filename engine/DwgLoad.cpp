// Lays out a DWG drawing's objects as the records of its DXF equivalent, so
// that every operation of the engine reads a DWG as it reads a DXF.
#include <algorithm>
#include <unordered_set>

#include "engine/DrawingData.h"
#include "engine/DwgSource.h"
#include "engine/dwg/Groups.h"
#include "engine/dwg/Tables.h"

namespace dxf {

namespace {

using dwg::ObjectInfo;
namespace t = dwg::type;

std::string hex(std::uint64_t h) { return formatHandle(h); }

class Builder {
public:
    Builder(DrawingData& d, DwgSource& src) : d_(d), src_(src), doc_(*src.doc) {}

    void run() {
        readTables();
        header();
        tables();
        blocks();
        objects();
    }

private:
    // ---- records ----
    std::uint32_t add(const std::string& type, Section sec, std::uint64_t objectIndex) {
        Record rec;
        rec.type = d_.internType(type);
        rec.section = sec;
        rec.off = objectIndex;
        if (objectIndex != kNoDwgObject) {
            rec.handle = doc_.objects()[objectIndex].handle;
            placed_[objectIndex] = 1;
        }
        d_.records.push_back(rec);
        return static_cast<std::uint32_t>(d_.records.size() - 1);
    }
    // A record whose groups are fixed when the drawing opens.
    void setTags(std::uint32_t r, const std::vector<Tag>& tags) {
        d_.records[r].patch = static_cast<std::uint32_t>(d_.patches.size());
        d_.patches.push_back(serializeTags(tags, d_.fmt));
    }
    static Tag tag(int code, std::string value) { return Tag{code, std::move(value), {}, {}}; }

    long indexOf(std::uint64_t handle) const { return doc_.find(handle); }
    const ObjectInfo* object(std::uint64_t handle) const {
        long i = indexOf(handle);
        return i < 0 ? nullptr : &doc_.objects()[static_cast<std::size_t>(i)];
    }
    bool placed(long i) const { return i >= 0 && placed_[static_cast<std::size_t>(i)]; }

    // ---- tables, read when the drawing opens ----
    void readTables() {
        placed_.assign(doc_.objects().size(), 0);
        for (std::size_t i = 0; i < doc_.objects().size(); ++i) {
            const ObjectInfo& o = doc_.objects()[i];
            if (o.flags & dwg::kUnread) continue;
            try {
                switch (o.type) {
                case t::Layer: {
                    dwg::LayerData l = dwg::readLayer(doc_, o);
                    src_.names[o.handle] = l.entry.name;
                    layers_.emplace(o.handle, std::move(l));
                    break;
                }
                case t::BlockHeader: {
                    dwg::BlockHeaderData b = dwg::readBlockHeader(doc_, o);
                    src_.names[o.handle] = b.entry.name;
                    src_.blockOfBegin[b.blockEntity] = o.handle;
                    blockHeaders_.emplace(o.handle, std::move(b));
                    break;
                }
                case t::Ltype:
                case t::Style:
                case t::View:
                case t::Ucs:
                case t::Vport:
                case t::Appid:
                case t::Dimstyle:
                case t::Vx: {
                    dwg::BitReader data = doc_.dataReader(o), strings = doc_.stringReader(o);
                    src_.names[o.handle] = dwg::readTableEntry(doc_, o, data, strings).name;
                    break;
                }
                case t::BlockControl: blockControl_ = o.handle; break;
                default: break;
                }
            } catch (const dwg::BitOverrun&) {
                // A record we cannot read keeps its handle; it has no name.
            }
        }
        if (const ObjectInfo* bc = object(blockControl_)) {
            std::vector<std::uint64_t> extra;
            try {
                blockOrder_ = dwg::readControlEntries(doc_, *bc, &extra);
            } catch (const dwg::BitOverrun&) {
            }
            if (extra.size() >= 1) src_.modelSpace = extra[0];
            if (extra.size() >= 2) src_.paperSpace = extra[1];
        }
        if (!src_.modelSpace) src_.modelSpace = doc_.header().modelSpace;
        if (!src_.paperSpace) src_.paperSpace = doc_.header().paperSpace;
        numberAnonymousBlocks();
    }

    // DWG stores anonymous block names without their number ("*D", "*U");
    // readers number them, per prefix, in block table order.
    void numberAnonymousBlocks() {
        std::unordered_map<std::string, int> next;
        std::vector<std::uint64_t> order = blockOrder_;
        for (std::uint64_t h : order) {
            auto it = blockHeaders_.find(h);
            if (it == blockHeaders_.end()) continue;
            std::string& n = src_.names[h];
            if (n.size() >= 2 && n[0] == '*' && (n.size() == 2 || n.find_first_not_of("0123456789", 2) == std::string::npos)) {
                if (n.size() == 2) n += std::to_string(next[n]++);
            }
        }
        // The paper space layouts other than the active one.
        int paper = 0;
        for (std::uint64_t h : order) {
            std::string& n = src_.names[h];
            if (h != src_.paperSpace && (n == "*Paper_Space" || n == "*PAPER_SPACE")) n += std::to_string(paper++);
        }
    }

    // ---- header ----
    void header() {
        const dwg::HeaderVars& h = doc_.header();
        std::vector<Tag> tags{tag(0, "SECTION"), tag(2, "HEADER"), tag(9, "$ACADVER"), tag(1, doc_.acadver())};
        std::string cp = codepageName(doc_.codepage());
        if (!cp.empty()) tags.push_back(tag(9, "$DWGCODEPAGE")), tags.push_back(tag(3, cp));
        std::string clayer = src_.nameOf(h.clayer);
        tags.push_back(tag(9, "$CLAYER"));
        tags.push_back(tag(8, clayer.empty() ? "0" : clayer));
        tags.push_back(tag(9, "$HANDSEED"));
        tags.push_back(tag(5, hex(h.handseed)));
        if (h.flagsKnown) {
            tags.push_back(tag(9, "$PSTYLEMODE"));
            tags.push_back(tag(290, (h.flags & 0x2000) ? "1" : "0"));
            tags.push_back(tag(9, "$INSUNITS"));
            tags.push_back(tag(70, std::to_string(h.insunits)));
        }
        if (h.settingsKnown) settings(h, tags);
        std::uint32_t r = add("SECTION", Section::Header, kNoDwgObject);
        setTags(r, tags);
        d_.headerRecord = r;
        d_.parseHeader();
        d_.headerParsed = true;
    }

    // The drawing settings the view draws with (extents, limits, scales,
    // sizes), as a DXF header gives them.
    static void settings(const dwg::HeaderVars& h, std::vector<Tag>& tags) {
        dwg::GroupWriter w;
        auto var = [&](const char* name) { w.str(9, name); };
        var("$EXTMIN"), w.point(10, h.extmin);
        var("$EXTMAX"), w.point(10, h.extmax);
        var("$LIMMIN"), w.point(10, h.limmin, false);
        var("$LIMMAX"), w.point(10, h.limmax, false);
        var("$LTSCALE"), w.num(40, h.ltscale);
        var("$TEXTSIZE"), w.num(40, h.textsize);
        var("$DIMSCALE"), w.num(40, h.dimscale);
        var("$DIMASZ"), w.num(40, h.dimasz);
        var("$DIMTXT"), w.num(40, h.dimtxt);
        var("$PDMODE"), w.integer(70, h.pdmode);
        var("$PDSIZE"), w.num(40, h.pdsize);
        var("$CELTSCALE"), w.num(40, h.celtscale);
        for (Tag& t : w.tags) tags.push_back(std::move(t));
    }

    // ---- tables ----
    void tables() {
        const dwg::HeaderVars& h = doc_.header();
        struct Table {
            unsigned control;
            const char* name;
            const char* entry;
        };
        static const Table order[] = {{t::VportControl, "VPORT", "VPORT"},   {t::LtypeControl, "LTYPE", "LTYPE"},
                                      {t::LayerControl, "LAYER", "LAYER"},   {t::StyleControl, "STYLE", "STYLE"},
                                      {t::ViewControl, "VIEW", "VIEW"},      {t::UcsControl, "UCS", "UCS"},
                                      {t::AppidControl, "APPID", "APPID"},   {t::DimstyleControl, "DIMSTYLE", "DIMSTYLE"},
                                      {t::BlockControl, "BLOCK_RECORD", "BLOCK_RECORD"}, {t::VxControl, "VX", "VX_TABLE_RECORD"}};
        (void)h;
        for (const Table& tb : order) {
            long ci = -1;
            for (std::size_t i = 0; i < doc_.objects().size() && ci < 0; ++i)
                if (doc_.objects()[i].type == tb.control) ci = static_cast<long>(i);
            if (ci < 0) continue;
            const ObjectInfo& control = doc_.objects()[static_cast<std::size_t>(ci)];
            std::vector<std::uint64_t> entries, extra;
            try {
                entries = dwg::readControlEntries(doc_, control, &extra);
            } catch (const dwg::BitOverrun&) {
            }
            // The special records (ByLayer/ByBlock, model and paper space) come first, as in DXF.
            std::vector<std::uint64_t> all;
            if (tb.control == t::LtypeControl || tb.control == t::BlockControl)
                for (auto it = extra.rbegin(); it != extra.rend(); ++it) all.push_back(*it);
            if (tb.control == t::BlockControl) std::reverse(all.begin(), all.end());
            for (std::uint64_t e : entries) all.push_back(e);
            std::uint32_t tr = add("TABLE", Section::Tables, static_cast<std::uint64_t>(ci));
            setTags(tr, {tag(0, "TABLE"), tag(2, tb.name), tag(5, hex(control.handle)), tag(330, "0"),
                         tag(100, "AcDbSymbolTable"), tag(70, std::to_string(entries.size()))});
            const bool layerTable = tb.control == t::LayerControl;
            if (layerTable) {
                d_.layerTable = tr;
                d_.layerTableHandle = control.handle;
            }
            std::unordered_set<std::uint64_t> seen;
            for (std::uint64_t e : all) {
                long i = indexOf(e);
                if (i < 0 || placed(i) || !seen.insert(e).second) continue;
                const ObjectInfo& o = doc_.objects()[static_cast<std::size_t>(i)];
                std::uint32_t r = add(doc_.dxfName(o).empty() ? tb.entry : doc_.dxfName(o), Section::Tables,
                                      static_cast<std::uint64_t>(i));
                if (o.type == t::Layer) addLayer(r, o);
                else if (o.type == t::Ltype) d_.linetypeRecords.push_back(r);
            }
            std::uint32_t end = add("ENDTAB", Section::Tables, kNoDwgObject);
            setTags(end, {tag(0, "ENDTAB")});
            if (layerTable) d_.layerTableEnd = end;
        }
    }

    void addLayer(std::uint32_t r, const ObjectInfo& o) {
        auto it = layers_.find(o.handle);
        LayerRec l;
        l.record = r;
        std::vector<Tag> tags{tag(0, "LAYER"), tag(5, hex(o.handle)), tag(330, hex(o.owner)),
                              tag(100, "AcDbSymbolTableRecord"), tag(100, "AcDbLayerTableRecord")};
        if (it != layers_.end()) {
            const dwg::LayerData& x = it->second;
            tags.push_back(tag(2, x.entry.name));
            tags.push_back(tag(70, std::to_string(x.flags)));
            tags.push_back(tag(62, std::to_string(x.off ? -x.colorIndex : x.colorIndex)));
            if (x.trueColor >= 0) tags.push_back(tag(420, std::to_string(x.trueColor)));
            std::string lt = src_.nameOf(x.linetype);
            tags.push_back(tag(6, lt.empty() ? "Continuous" : lt));
            if (doc_.release() >= dwg::Release::R2000) {
                tags.push_back(tag(290, x.plottable ? "1" : "0"));
                tags.push_back(tag(370, std::to_string(x.lineweight)));
                tags.push_back(tag(390, hex(x.plotStyle)));
            }
        } else {
            tags.push_back(tag(2, hex(o.handle)));  // unreadable record: named by its handle
        }
        setTags(r, tags);
        l.tags = tags;
        l.name = d_.codec->decode(tags[5].value);
        d_.layers.push_back(std::move(l));
    }

    // ---- blocks and their entities ----
    void blocks() {
        // Entities by owner (an explicit owner, or the layout their mode names).
        for (std::size_t i = 0; i < doc_.objects().size(); ++i) {
            const ObjectInfo& o = doc_.objects()[i];
            if (!(o.flags & dwg::kIsEntity)) continue;
            std::uint64_t owner = o.entmode == 1 ? src_.paperSpace : o.entmode == 2 ? src_.modelSpace : o.owner;
            byOwner_[owner].push_back(static_cast<std::uint32_t>(i));
        }
        // As in DXF, the active paper space's entities come after every block
        // definition (they are the ENTITIES section there).
        std::vector<std::uint64_t> order;
        if (src_.modelSpace) order.push_back(src_.modelSpace);
        for (std::uint64_t h : blockOrder_)
            if (h != src_.paperSpace) order.push_back(h);
        if (src_.paperSpace) order.push_back(src_.paperSpace);
        std::unordered_set<std::uint64_t> done;
        for (std::uint64_t h : order) {
            if (!done.insert(h).second) continue;
            auto it = blockHeaders_.find(h);
            if (it == blockHeaders_.end()) continue;
            block(h, it->second);
        }
    }

    void block(std::uint64_t h, const dwg::BlockHeaderData& bh) {
        BlockRec b;
        b.name = d_.codec->decode(src_.nameOf(h));
        b.paper = h == src_.paperSpace || b.name.rfind("*Paper_Space", 0) == 0 || b.name.rfind("*PAPER_SPACE", 0) == 0;
        b.layout = b.paper || h == src_.modelSpace;
        const std::uint32_t idx = static_cast<std::uint32_t>(d_.blocks.size());
        long bi = indexOf(bh.blockEntity);
        std::uint32_t begin;
        if (bi >= 0 && !placed(bi)) {
            begin = add("BLOCK", Section::Blocks, static_cast<std::uint64_t>(bi));
        } else {
            begin = add("BLOCK", Section::Blocks, kNoDwgObject);
            setTags(begin, {tag(0, "BLOCK"), tag(8, "0"), tag(2, src_.nameOf(h)), tag(70, "0")});
        }
        b.begin = begin;
        d_.records[begin].block = idx;
        d_.blocks.push_back(b);
        if (d_.records[begin].off != kNoDwgObject) slotFor(begin, doc_.objects()[static_cast<std::size_t>(bi)]);

        for (std::uint32_t i : topLevel(h, bh)) placeEntity(i, idx, 0);

        long ei = indexOf(bh.endblk);
        std::uint32_t end;
        if (ei >= 0 && !placed(ei)) {
            end = add("ENDBLK", Section::Blocks, static_cast<std::uint64_t>(ei));
            slotFor(end, doc_.objects()[static_cast<std::size_t>(ei)]);
        } else {
            end = add("ENDBLK", Section::Blocks, kNoDwgObject);
            setTags(end, {tag(0, "ENDBLK"), tag(8, "0")});
        }
        d_.records[end].block = idx;
        d_.blocks[idx].end = end;
    }

    // The block's own entities in drawing order.
    std::vector<std::uint32_t> topLevel(std::uint64_t h, const dwg::BlockHeaderData& bh) {
        std::vector<std::uint32_t> out;
        // Marks what is in `out` (cleared again before returning).
        listed_.resize(doc_.objects().size());
        auto take = [&](long i) {
            if (i < 0 || placed(i) || listed_[static_cast<std::size_t>(i)]) return;
            const ObjectInfo& o = doc_.objects()[static_cast<std::size_t>(i)];
            if (!(o.flags & dwg::kIsEntity) || o.type == t::Block || o.type == t::Endblk) return;
            listed_[static_cast<std::size_t>(i)] = true;
            out.push_back(static_cast<std::uint32_t>(i));
        };
        if (doc_.release() >= dwg::Release::R2004) {
            for (std::uint64_t e : bh.owned) take(indexOf(e));
        } else if (bh.firstEntity) {
            // Follow the next links from the first entity to the last.
            std::uint64_t cur = bh.firstEntity;
            for (std::size_t guard = 0; cur && guard <= doc_.objects().size(); ++guard) {
                long i = indexOf(cur);
                if (i < 0) break;
                take(i);
                if (cur == bh.lastEntity) break;
                cur = doc_.nextOf(static_cast<std::size_t>(i));
            }
        }
        // Anything else that names this block as its owner, in handle order.
        auto it = byOwner_.find(h);
        if (it != byOwner_.end()) {
            std::vector<std::uint32_t> rest = it->second;
            std::sort(rest.begin(), rest.end(), [&](std::uint32_t a, std::uint32_t b) {
                return doc_.objects()[a].handle < doc_.objects()[b].handle;
            });
            for (std::uint32_t i : rest) take(static_cast<long>(i));
        }
        for (std::uint32_t i : out) listed_[i] = false;
        return out;
    }

    // An entity and, after it, what it owns (attributes, vertices, SEQEND).
    void placeEntity(std::uint32_t i, std::uint32_t blockIdx, int depth) {
        if (placed_[i]) return;
        const ObjectInfo& o = doc_.objects()[i];
        std::uint32_t r = add(doc_.dxfName(o).empty() ? "ACAD_PROXY_ENTITY" : doc_.dxfName(o), Section::Blocks, i);
        Record& rec = d_.records[r];
        rec.block = blockIdx;
        if (depth > 0) rec.flags |= kSubEntity;
        slotFor(r, o);
        // As AutoCAD numbers them: the active layout's viewports in order
        // (1 is the sheet), those of other layouts 0.
        if (o.type == t::Viewport)
            src_.viewportIds[o.handle] = d_.blocks[blockIdx].name == "*Paper_Space" ? ++viewports_[blockIdx] : 0;
        if (depth > 4) return;
        auto it = byOwner_.find(o.handle);
        if (it == byOwner_.end()) return;
        std::vector<std::uint32_t> kids = it->second;
        std::sort(kids.begin(), kids.end(), [&](std::uint32_t a, std::uint32_t b) {
            const ObjectInfo& x = doc_.objects()[a];
            const ObjectInfo& y = doc_.objects()[b];
            bool xs = x.type == t::Seqend, ys = y.type == t::Seqend;
            if (xs != ys) return ys;  // SEQEND last
            return x.handle < y.handle;
        });
        for (std::uint32_t k : kids) placeEntity(k, blockIdx, depth + 1);
    }

    void slotFor(std::uint32_t r, const ObjectInfo& o) {
        std::string layer = src_.nameOf(o.layer);
        if (layers_.find(o.layer) == layers_.end()) layer = "0";
        std::uint32_t s = d_.internSlot(layer);
        Record& rec = d_.records[r];
        rec.slot = s;
        ++d_.slots[s].uses;
        if (d_.isTopLevelInLayout(r)) d_.slots[s].top.push_back(r);
    }

    // ---- objects ----
    void objects() {
        // The named-object dictionary first: it is the root of the objects.
        long nod = indexOf(doc_.header().dictNamed);
        if (nod < 0)
            for (std::size_t i = 0; i < doc_.objects().size() && nod < 0; ++i)
                if (doc_.objects()[i].type == t::Dictionary && doc_.objects()[i].owner == 0) nod = static_cast<long>(i);
        if (nod >= 0 && !placed(nod)) addObject(static_cast<std::uint32_t>(nod));
        std::vector<std::uint32_t> rest;
        for (std::uint32_t i = 0; i < doc_.objects().size(); ++i)
            if (!placed_[i]) rest.push_back(i);
        std::sort(rest.begin(), rest.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return doc_.objects()[a].handle < doc_.objects()[b].handle; });
        for (std::uint32_t i : rest) addObject(i);
    }

    void addObject(std::uint32_t i) {
        const ObjectInfo& o = doc_.objects()[i];
        std::string name = doc_.dxfName(o);
        if (name.empty()) name = (o.flags & dwg::kIsEntity) ? "ACAD_PROXY_ENTITY" : "ACAD_PROXY_OBJECT";
        std::uint32_t r = add(name, Section::Objects, i);
        if (name == "LAYOUT") d_.layoutObjects.push_back(r);
    }

    DrawingData& d_;
    DwgSource& src_;
    const dwg::Document& doc_;
    std::vector<std::uint8_t> placed_;
    std::vector<bool> listed_;
    std::unordered_map<std::uint64_t, dwg::LayerData> layers_;
    std::unordered_map<std::uint64_t, dwg::BlockHeaderData> blockHeaders_;
    std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> byOwner_;
    std::vector<std::uint64_t> blockOrder_;
    std::unordered_map<std::uint32_t, int> viewports_;
    std::uint64_t blockControl_ = 0;
};

}  // namespace

std::string codepageName(unsigned n) {
    static const char* const names[] = {
        "",          "ASCII",     "ISO8859-1", "ISO8859-2", "ISO8859-3", "ISO8859-4", "ISO8859-5", "ISO8859-6",
        "ISO8859-7", "ISO8859-8", "ISO8859-9", "DOS437",    "DOS850",    "DOS852",    "DOS855",    "DOS857",
        "DOS860",    "DOS861",    "DOS863",    "DOS864",    "DOS865",    "DOS869",    "DOS932",    "MACINTOSH",
        "BIG5",      "KSC5601",   "JOHAB",     "DOS866",    "ANSI_1250", "ANSI_1251", "ANSI_1252", "GB2312",
        "ANSI_1253", "ANSI_1254", "ANSI_1255", "ANSI_1256", "ANSI_1257", "ANSI_874",  "ANSI_932",  "ANSI_936",
        "ANSI_949",  "ANSI_950",  "ANSI_1361", "UTF8",      "ANSI_1258"};
    return n < sizeof names / sizeof names[0] ? names[n] : "";
}

void loadDwg(DrawingData& d) {
    auto src = std::make_shared<DwgSource>();
    try {
        src->doc = std::make_unique<dwg::Document>(std::string_view(d.bytes));
    } catch (const dwg::Unsupported& e) {
        throw EngineError(err::kFileError, "cannot open " + d.path + ": " + e.what());
    } catch (const dwg::FormatError& e) {
        throw ParseError("cannot read " + d.path + ": byte " + std::to_string(e.offset) + ": " + e.what(), 0, e.offset);
    }
    d.dwg = src;
    d.fmt = TagFormat{};
    d.acadver = src->doc->acadver();
    d.codepage = codepageName(src->doc->codepage());
    d.codec = std::make_unique<Codec>(d.acadver, d.codepage);
    // One record an object, and a few markers (header, table ends).
    d.records.reserve(src->doc->objects().size() + 64);
    Builder(d, *src).run();
    src->doc->objectStream().release();
}

std::vector<Tag> DwgSource::groups(const DrawingData& d, std::uint32_t r) const {
    const Record& rec = d.records[r];
    const ObjectInfo& o = doc->objects()[static_cast<std::size_t>(rec.off)];
    dwg::GroupContext ctx{*doc, [this](std::uint64_t h) { return nameOf(h); },
                          rec.slot != kNone ? d.slots[rec.slot].curRaw : std::string("0"),
                          rec.section == Section::Blocks && rec.block != kNone && d.blocks[rec.block].paper};
    if (o.type == t::Block) {
        // BLOCK: its name and base point live in the block record.
        std::vector<Tag> out;
        out.push_back(Tag{0, "BLOCK", {}, {}});
        out.push_back(Tag{5, formatHandle(o.handle), {}, {}});
        if (o.owner) out.push_back(Tag{330, formatHandle(o.owner), {}, {}});
        out.push_back(Tag{100, "AcDbEntity", {}, {}});
        out.push_back(Tag{8, ctx.layer, {}, {}});
        out.push_back(Tag{100, "AcDbBlockBegin", {}, {}});
        auto it = blockOfBegin.find(o.handle);
        std::uint64_t bh = it == blockOfBegin.end() ? 0 : it->second;
        out.push_back(Tag{2, nameOf(bh), {}, {}});
        out.push_back(Tag{70, "0", {}, {}});
        long bi = bh ? doc->find(bh) : -1;
        if (bi >= 0) {
            try {
                dwg::BlockHeaderData b = dwg::readBlockHeader(*doc, doc->objects()[static_cast<std::size_t>(bi)]);
                dwg::GroupWriter w;
                w.point(10, b.base);
                for (Tag& t : w.tags) out.push_back(std::move(t));
            } catch (const dwg::BitOverrun&) {
            }
        }
        return out;
    }
    if (o.type == t::Dictionary || doc->dxfName(o) == "ACDBDICTIONARYWDFLT") {
        std::vector<Tag> out = dwg::objectGroups(ctx, o);
        try {
            dwg::DictionaryData dict = dwg::readDictionary(*doc, o);
            out.push_back(Tag{280, dict.hardOwner ? "1" : "0", {}, {}});
            for (auto& [key, h] : dict.entries) {
                out.push_back(Tag{3, key, {}, {}});
                out.push_back(Tag{dict.hardOwner ? 360 : 350, formatHandle(h), {}, {}});
            }
        } catch (const dwg::BitOverrun&) {
        }
        return out;
    }
    if (o.type == t::Layout || doc->dxfName(o) == "LAYOUT") {
        std::vector<Tag> out = dwg::objectGroups(ctx, o);
        try {
            dwg::LayoutData l = dwg::readLayout(*doc, o);
            // The class marker objectGroups() gave is the plot settings' one here.
            if (!out.empty() && out.back().code == 100) out.back().value = "AcDbPlotSettings";
            dwg::GroupWriter w;
            w.str(1, l.pageSetup);
            w.str(2, l.printer);
            w.str(4, l.paper);
            for (int i = 0; i < 4; ++i) w.num(40 + i, l.margins[i]);
            w.num(44, l.paperWidth);
            w.num(45, l.paperHeight);
            w.num(46, l.origin.x);
            w.num(47, l.origin.y);
            w.num(48, l.windowMin.x);
            w.num(49, l.windowMin.y);
            w.num(140, l.windowMax.x);
            w.num(141, l.windowMax.y);
            w.num(142, l.realUnits);
            w.num(143, l.drawingUnits);
            w.integer(70, l.plotFlags);
            w.integer(72, l.units);
            w.integer(73, l.rotation);
            w.integer(74, l.plotType);
            w.str(7, l.styleSheet);
            w.integer(75, l.scaleType);
            w.num(147, l.scaleFactor);
            w.str(100, "AcDbLayout");
            w.str(1, l.name);
            w.integer(70, l.flags);
            w.integer(71, l.tabOrder);
            w.point(10, l.limitsMin, false);
            w.point(11, l.limitsMax, false);
            w.handle(330, l.blockRecord);
            for (Tag& t : w.tags) out.push_back(std::move(t));
        } catch (const dwg::BitOverrun&) {
        }
        return out;
    }
    std::vector<Tag> out = dwg::objectGroups(ctx, o);
    if (o.type == t::Viewport) {
        auto it = viewportIds.find(o.handle);
        if (it != viewportIds.end()) {
            out.push_back(Tag{68, std::to_string(it->second), {}, {}});
            out.push_back(Tag{69, std::to_string(it->second), {}, {}});
        }
    }
    std::string n = nameOf(o.handle);
    const bool named = std::any_of(out.begin(), out.end(), [](const Tag& t) { return t.code == 2; });
    if (!n.empty() && !named && !(o.flags & dwg::kIsEntity)) out.push_back(Tag{2, n, {}, {}});
    return out;
}

}  // namespace dxf
