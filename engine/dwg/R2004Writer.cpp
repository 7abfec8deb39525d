// Writing the R2004 container (also AC1024, AC1027, AC1032). Data pages are
// written in the order they had; a section nobody changed keeps its pages
// byte for byte (a page that moves gets its header masked for its new place).
// A changed section gets new pages, compressed, except the object pages
// whose content did not change at all. The section map and the page map
// follow the data pages, then an empty system page header and the copy of
// the encrypted file header; pages are numbered in file order and gaps are
// dropped.
#include <algorithm>
#include <cstring>
#include <map>

#include "engine/dwg/BitWriter.h"
#include "engine/dwg/Checksum.h"
#include "engine/dwg/Compress.h"
#include "engine/dwg/Writer.h"

namespace dxf::dwg {

namespace {

constexpr std::uint32_t kDataPage = 0x4163043B;
constexpr std::uint32_t kSectionMapType = 0x4163003B;
constexpr std::uint32_t kPageMapType = 0x41630E3B;

std::uint32_t le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t roundUp32(std::uint64_t v) { return (v + 31) & ~std::uint64_t{31}; }

std::uint32_t mask(std::uint64_t address) { return 0x4164536B ^ static_cast<std::uint32_t>(address); }

struct PageOut {
    std::int64_t id = 0;
    std::uint64_t size = 0;
    std::uint64_t address = 0;
};

struct SectionPageOut {
    std::int64_t id = 0;
    std::uint64_t dataSize = 0;
    std::uint64_t start = 0;
};

class PageWriter {
public:
    explicit PageWriter(Output& out) : out_(out) {}
    std::uint64_t pos() const { return pos_; }
    const std::vector<PageOut>& pages() const { return pages_; }
    void raw(const void* p, std::size_t n) {
        out_.write(static_cast<const char*>(p), n);
        pos_ += n;
    }
    void patch(std::uint64_t at, const std::string& s) { out_.patch(at, s.data(), s.size()); }

    // A new data page holding n decompressed bytes of the section from `start`.
    SectionPageOut data(const SectionDesc& s, std::uint64_t start, const std::uint8_t* p, std::size_t n) {
        if (!s.compressed) throw WriteError("an uncompressed section cannot be rewritten: " + s.name);
        const std::string comp = compressR2004(p, n);
        const std::uint64_t size = roundUp32(32 + comp.size());
        std::uint8_t h[32] = {};
        putLE(h, kDataPage, 4);
        putLE(h + 4, s.id, 4);
        putLE(h + 8, comp.size(), 4);
        putLE(h + 12, size, 4);
        putLE(h + 16, start, 8);
        const std::uint32_t dataSum = pageChecksum(0, reinterpret_cast<const std::uint8_t*>(comp.data()), comp.size());
        putLE(h + 28, dataSum, 4);
        putLE(h + 24, pageChecksum(dataSum, h, 32), 4);
        maskHeader(h, pos_);
        const SectionPageOut rec{begin(size), comp.size(), start};
        raw(h, 32);
        raw(comp.data(), comp.size());
        pad(size - 32 - comp.size());
        return rec;
    }

    // A page copied from the file, its header masked for its new place.
    SectionPageOut copy(std::string_view file, const PageRecord& old, const SectionPage& sp) {
        const auto* b = reinterpret_cast<const std::uint8_t*>(file.data());
        const std::uint64_t have = std::min<std::uint64_t>(old.size, file.size() - old.address);
        std::uint8_t h[32];
        for (int w = 0; w < 8; ++w) putLE(h + 4 * w, le32(b + old.address + 4 * w) ^ mask(old.address), 4);
        maskHeader(h, pos_);
        const SectionPageOut rec{begin(old.size), sp.dataSize, sp.startOffset};
        raw(h, 32);
        raw(b + old.address + 32, have - 32);
        pad(old.size - have);
        return rec;
    }

    // A system page (section map, page map): plain header, compressed data.
    void system(std::uint32_t type, const std::string& content, const std::string& comp, std::uint64_t size) {
        std::uint8_t h[20] = {};
        putLE(h, type, 4);
        putLE(h + 4, content.size(), 4);
        putLE(h + 8, comp.size(), 4);
        putLE(h + 12, 2, 4);
        const std::uint32_t sum =
            pageChecksum(pageChecksum(0, h, 20), reinterpret_cast<const std::uint8_t*>(comp.data()), comp.size());
        putLE(h + 16, sum, 4);
        begin(size);
        raw(h, 20);
        raw(comp.data(), comp.size());
        pad(size - 20 - comp.size());
    }
    std::int64_t nextId() const { return nextId_; }

private:
    static void maskHeader(std::uint8_t* h, std::uint64_t address) {
        for (int w = 0; w < 8; ++w) putLE(h + 4 * w, le32(h + 4 * w) ^ mask(address), 4);
    }
    std::int64_t begin(std::uint64_t size) {
        pages_.push_back(PageOut{nextId_, size, pos_});
        return nextId_++;
    }
    void pad(std::uint64_t n) {
        static const char zeros[64] = {};
        while (n) {
            const std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(n, sizeof zeros));
            raw(zeros, k);
            n -= k;
        }
    }
    Output& out_;
    std::uint64_t pos_ = 0;
    std::int64_t nextId_ = 1;
    std::vector<PageOut> pages_;
};

// The new object section, produced a page at a time. A page whose bytes all
// come from the same place of the old section is copied from the file.
class ObjectSectionWriter {
public:
    ObjectSectionWriter(PageWriter& w, std::string_view file, const Container& c, const SectionDesc& s,
                        const ObjectStream& old)
        : w_(w), file_(file), c_(c), s_(s), old_stream_(old), max_(s.maxPageSize) {
        for (const SectionPage& p : s.pages) old_[p.startOffset] = &p;
    }
    // n bytes of the old section from `from`. While a page holds only old
    // bytes in their old places they are not even read: the page is copied
    // from the file.
    void keep(std::uint64_t from, std::uint64_t n) {
        while (n) {
            const std::size_t filled = lazy_ + page_.size();
            const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(n, max_ - filled));
            if (same_ && page_.empty() && from == start_ + lazy_) {
                lazy_ += take;
            } else {
                same_ = false;
                materialize();
                for (std::size_t done = 0; done < take;) {
                    const std::size_t run = std::min(take - done, old_stream_.runAt(from + done));
                    const std::uint8_t* p = old_stream_.read(from + done, run);
                    page_.insert(page_.end(), p, p + run);
                    done += run;
                }
            }
            from += take;
            n -= take;
            if (lazy_ + page_.size() == max_) flush();
        }
    }
    // New bytes.
    void append(const std::uint8_t* p, std::size_t n) {
        while (n) {
            same_ = false;
            materialize();
            const std::size_t take = std::min<std::size_t>(n, max_ - page_.size());
            page_.insert(page_.end(), p, p + take);
            p += take;
            n -= take;
            if (page_.size() == max_) flush();
        }
    }
    std::vector<SectionPageOut> finish() {
        flush();
        return std::move(out_);
    }

private:
    // The old bytes not yet read into the page.
    void materialize() {
        // Only a page that is rebuilt needs the buffer: one that is copied
        // from the file never does.
        if (page_.capacity() < max_) page_.reserve(max_);
        for (std::size_t done = 0; done < lazy_;) {
            const std::uint64_t at = start_ + done;
            const std::size_t run = std::min(lazy_ - done, old_stream_.runAt(at));
            const std::uint8_t* p = old_stream_.read(at, run);
            page_.insert(page_.end(), p, p + run);
            done += run;
        }
        lazy_ = 0;
    }
    void flush() {
        const std::size_t size = lazy_ + page_.size();
        if (size == 0) return;
        auto it = old_.find(start_);
        const std::uint64_t oldLen = it == old_.end() ? 0 : std::min<std::uint64_t>(max_, s_.size - start_);
        const PageRecord* rec = nullptr;
        if (same_ && it != old_.end() && oldLen == size)
            for (const PageRecord& r : c_.pages)
                if (r.id == it->second->pageId) rec = &r;
        if (rec) {
            out_.push_back(w_.copy(file_, *rec, *it->second));
        } else {
            materialize();
            out_.push_back(w_.data(s_, start_, page_.data(), page_.size()));
        }
        start_ += size;
        page_.clear();
        lazy_ = 0;
        same_ = true;
    }
    PageWriter& w_;
    std::string_view file_;
    const Container& c_;
    const SectionDesc& s_;
    const ObjectStream& old_stream_;
    const std::size_t max_;
    std::size_t lazy_ = 0;  // old bytes from start_ that the page holds but has not read
    std::map<std::uint64_t, const SectionPage*> old_;
    std::vector<std::uint8_t> page_;
    std::uint64_t start_ = 0;
    bool same_ = true;
    std::vector<SectionPageOut> out_;
};

// Where the objects go in the new object section, and its size.
struct ObjectLayout {
    std::vector<std::uint64_t> offsets;
    std::vector<std::uint64_t> addedOffsets;
    std::uint64_t size = 0;
};

ObjectLayout layOut(const Document& d, const Edits& e, const std::vector<std::uint32_t>& order, ObjectBytes& objects) {
    ObjectLayout l;
    l.offsets.assign(d.objects().size(), 0);
    const std::uint64_t oldSize = d.container().objects.size;
    std::uint64_t prevEnd = order.empty() ? oldSize : d.objects()[order.front()].offset;
    std::uint64_t pos = prevEnd;
    for (std::uint32_t i : order) {
        const ObjectInfo& o = d.objects()[i];
        if (o.offset > prevEnd) pos += o.offset - prevEnd;
        prevEnd = std::max<std::uint64_t>(prevEnd, o.offset + o.headerBytes + o.size + 2);
        if (e.isDeleted(i)) continue;
        l.offsets[i] = pos;
        pos += objects.size(i);
    }
    if (oldSize > prevEnd) pos += oldSize - prevEnd;
    for (const auto& a : e.added) {
        l.addedOffsets.push_back(pos);
        pos += a.second.size();
    }
    l.size = pos;
    return l;
}

}  // namespace

void writeR2004(const Document& d, const Edits& e, Output& rawOut) {
    const std::string_view file = d.file();
    const auto* b = reinterpret_cast<const std::uint8_t*>(file.data());
    const Container& c = d.container();
    if (c.fileHeader.size() != 0x6C || c.sectionMap.size() < 20) throw WriteError("the file header was not kept");

    // New contents of the sections that change.
    const std::vector<std::uint32_t> order = physicalOrder(d);
    ObjectBytes objects(d, e);
    const bool objectsChange = !e.replaced.empty() || !e.relayer.empty() || !e.deleted.empty() || !e.added.empty();
    ObjectLayout layout;
    std::map<std::string, std::string> small;  // section name -> new bytes
    if (objectsChange) {
        layout = layOut(d, e, order, objects);
        std::string map = newObjectMap(d, e, layout.offsets, layout.addedOffsets);
        if (map != std::string_view(reinterpret_cast<const char*>(c.handles.data), c.handles.size))
            small["AcDb:Handles"] = std::move(map);
    }
    if (!e.header.empty()) small["AcDb:Header"] = e.header;
    if (e.handseed && c.auxHeader.present()) {
        std::string aux = auxWithSeed(d, c.auxHeader, e.handseed);
        if (aux != std::string_view(reinterpret_cast<const char*>(c.auxHeader.data), c.auxHeader.size))
            small["AcDb:AuxHeader"] = std::move(aux);
    }

    std::map<std::int64_t, std::pair<std::size_t, std::size_t>> owner;  // page id -> (section, page)
    for (std::size_t si = 0; si < c.sections.size(); ++si)
        for (std::size_t k = 0; k < c.sections[si].pages.size(); ++k) owner[c.sections[si].pages[k].pageId] = {si, k};
    std::vector<std::vector<SectionPageOut>> newPages(c.sections.size());
    std::vector<std::uint64_t> newSize(c.sections.size());
    std::vector<bool> done(c.sections.size(), false);
    for (std::size_t si = 0; si < c.sections.size(); ++si) newSize[si] = c.sections[si].size;

    PageWriter w(rawOut);
    w.raw(b, 0x100);  // the file header; patched at the end
    std::map<std::uint64_t, std::uint64_t> moved;  // old page address -> new
    for (const PageRecord& pr : c.pages) {
        if (pr.id < 0 || pr.id == c.sectionMapId || pr.id == c.pageMapId) continue;
        auto it = owner.find(pr.id);
        if (it == owner.end()) continue;  // a page no section uses
        const std::size_t si = it->second.first;
        const SectionDesc& s = c.sections[si];
        const bool isObjects = s.name == "AcDb:AcDbObjects" && objectsChange;
        auto sm = small.find(s.name);
        if (!isObjects && sm == small.end()) {
            moved[pr.address] = w.pos();
            newPages[si].push_back(w.copy(file, pr, s.pages[it->second.second]));
            continue;
        }
        if (done[si]) continue;
        done[si] = true;
        if (isObjects) {
            const ObjectStream& old = d.objectStream();
            ObjectSectionWriter ow(w, file, c, s, old);
            auto keep = [&](std::uint64_t from, std::uint64_t n) { ow.keep(from, n); };
            std::uint64_t prevEnd = order.empty() ? old.size() : d.objects()[order.front()].offset;
            keep(0, prevEnd);
            for (std::uint32_t i : order) {
                const ObjectInfo& o = d.objects()[i];
                if (o.offset > prevEnd) keep(prevEnd, o.offset - prevEnd);
                prevEnd = std::max<std::uint64_t>(prevEnd, o.offset + o.headerBytes + o.size + 2);
                if (e.isDeleted(i)) continue;
                if (!objects.changed(i)) {
                    keep(o.offset, o.headerBytes + o.size + 2u);
                    continue;
                }
                const std::string_view bytes = objects.bytes(i);
                ow.append(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            }
            if (old.size() > prevEnd) keep(prevEnd, old.size() - prevEnd);
            for (const auto& a : e.added) ow.append(reinterpret_cast<const std::uint8_t*>(a.second.data()), a.second.size());
            newPages[si] = ow.finish();
            newSize[si] = layout.size;
        } else {
            const std::string& bytes = sm->second;
            const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
            for (std::uint64_t start = 0; start < bytes.size(); start += s.maxPageSize) {
                const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(s.maxPageSize, bytes.size() - start));
                newPages[si].push_back(w.data(s, start, p + start, n));
            }
            newSize[si] = bytes.size();
        }
    }
    for (std::size_t si = 0; si < c.sections.size(); ++si) {
        const bool changed = (c.sections[si].name == "AcDb:AcDbObjects" && objectsChange) || small.count(c.sections[si].name);
        if (changed && !done[si]) throw WriteError("section " + c.sections[si].name + " has no pages to replace");
    }

    // The section map: the old descriptions with new sizes and page lists.
    std::string sectionMap(reinterpret_cast<const char*>(c.sectionMap.data()), 20);
    for (std::size_t si = 0; si < c.sections.size(); ++si) {
        std::string desc(reinterpret_cast<const char*>(c.sectionMap.data()) + c.sections[si].mapOffset, 0x60);
        putLE(reinterpret_cast<std::uint8_t*>(desc.data()), newSize[si], 8);
        putLE(reinterpret_cast<std::uint8_t*>(desc.data()) + 8, newPages[si].size(), 4);
        sectionMap += desc;
        for (const SectionPageOut& p : newPages[si]) {
            appendLE(sectionMap, static_cast<std::uint64_t>(p.id), 4);
            appendLE(sectionMap, p.dataSize, 4);
            appendLE(sectionMap, p.start, 8);
        }
    }
    const std::string smComp =
        compressR2004(reinterpret_cast<const std::uint8_t*>(sectionMap.data()), sectionMap.size());
    const std::int64_t sectionMapId = w.nextId();
    w.system(kSectionMapType, sectionMap, smComp, roundUp32(20 + smComp.size()));

    // The page map lists every page, itself included: written literally, its
    // size does not depend on what it says.
    const std::int64_t pageMapId = w.nextId();
    const std::uint64_t pageMapAt = w.pos();
    std::string pageMap;
    for (const PageOut& p : w.pages()) {
        appendLE(pageMap, static_cast<std::uint64_t>(p.id), 4);
        appendLE(pageMap, p.size, 4);
    }
    appendLE(pageMap, static_cast<std::uint64_t>(pageMapId), 4);
    appendLE(pageMap, 0, 4);
    const std::uint64_t pageMapSize =
        roundUp32(20 + compressLiteral(reinterpret_cast<const std::uint8_t*>(pageMap.data()), pageMap.size()).size());
    putLE(reinterpret_cast<std::uint8_t*>(pageMap.data()) + pageMap.size() - 4, pageMapSize, 4);
    w.system(kPageMapType, pageMap,
             compressLiteral(reinterpret_cast<const std::uint8_t*>(pageMap.data()), pageMap.size()), pageMapSize);
    const std::uint64_t pageCount = w.pages().size();

    // An empty system page header, then the copy of the file header.
    std::uint8_t blank[20] = {};
    putLE(blank, kPageMapType, 4);
    putLE(blank + 12, 2, 4);
    w.raw(blank, 20);
    const std::uint64_t copyAt = w.pos();

    std::vector<std::uint8_t> h = c.fileHeader;
    putLE(h.data() + 0x18, 0, 4);  // no gaps
    putLE(h.data() + 0x1C, 0, 4);
    putLE(h.data() + 0x20, 0, 4);
    putLE(h.data() + 0x28, static_cast<std::uint64_t>(pageMapId), 4);
    putLE(h.data() + 0x2C, pageMapAt + pageMapSize - 0x100, 8);
    putLE(h.data() + 0x34, copyAt, 8);
    putLE(h.data() + 0x3C, 0, 4);
    putLE(h.data() + 0x40, pageCount, 4);
    putLE(h.data() + 0x50, static_cast<std::uint64_t>(pageMapId), 4);
    putLE(h.data() + 0x54, pageMapAt - 0x100, 8);
    putLE(h.data() + 0x5C, static_cast<std::uint64_t>(sectionMapId), 4);
    putLE(h.data() + 0x60, static_cast<std::uint64_t>(pageMapId), 4);
    putLE(h.data() + 0x64, 0, 4);
    putLE(h.data() + 0x68, 0, 4);
    putLE(h.data() + 0x68, crc32(0, h.data(), 0x6C), 4);
    std::uint32_t s = 1;
    for (int i = 0; i < 0x6C; ++i) {
        s = s * 0x343FD + 0x269EC3;
        h[i] = static_cast<std::uint8_t>(h[i] ^ ((s >> 16) & 0xFF));
    }
    w.raw(h.data(), h.size());

    // The plain header: addresses of pages (preview, summary info, VBA,
    // application info) follow their pages.
    std::string front(file.substr(0, 0x80));
    for (std::size_t at : {std::size_t{0x0D}, std::size_t{0x20}, std::size_t{0x24}, std::size_t{0x2C}, std::size_t{0x30}}) {
        const std::uint32_t v = le32(reinterpret_cast<const std::uint8_t*>(front.data()) + at);
        if (v < 0x20) continue;
        auto it = moved.find(v - 0x20);
        if (it != moved.end()) putLE(reinterpret_cast<std::uint8_t*>(front.data()) + at, it->second + 0x20, 4);
    }
    front.append(reinterpret_cast<const char*>(h.data()), h.size());
    w.patch(0, front);
}

}  // namespace dxf::dwg
