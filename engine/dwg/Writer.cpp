// What both container writers share: the objects as they will be written,
// their order in the object stream, the new object map and the AuxHeader.
#include "engine/dwg/Writer.h"

#include <algorithm>

#include "engine/dwg/BitWriter.h"
#include "engine/dwg/ObjectCodec.h"
#include "engine/dwg/ObjectMap.h"

namespace dxf::dwg {

namespace {

unsigned msLength(std::uint64_t v) { return v < 0x8000 ? 2 : 4; }

unsigned mcLength(std::uint64_t v) {
    unsigned n = 1;
    while (v >= 0x80) v >>= 7, ++n;
    return n;
}

unsigned valueBytes(std::uint64_t v) {
    unsigned n = 0;
    for (; v; v >>= 8) ++n;
    return n;
}

}  // namespace

bool writable(Release r) {
    return r == Release::R2000 || r == Release::R2004 || r == Release::R2010 || r == Release::R2013 ||
           r == Release::R2018;
}

ObjectBytes::ObjectBytes(const Document& d, const Edits& e) : d_(d), e_(e) {}

std::uint64_t ObjectBytes::relayerTo(std::uint32_t i) const {
    auto it = std::lower_bound(e_.relayer.begin(), e_.relayer.end(), std::make_pair(i, std::uint64_t{0}),
                               [](const auto& a, const auto& b) { return a.first < b.first; });
    return it != e_.relayer.end() && it->first == i ? it->second : 0;
}

bool ObjectBytes::changed(std::uint32_t i) const { return e_.replaced.count(i) || relayerTo(i); }

std::size_t ObjectBytes::size(std::uint32_t i) const {
    auto r = e_.replaced.find(i);
    if (r != e_.replaced.end()) return r->second.size();
    const ObjectInfo& o = d_.objects()[i];
    if (const std::uint64_t layer = relayerTo(i)) {
        const std::uint8_t* p = d_.objectStart(o) + o.headerBytes;
        BitReader at(p, o.layerRefBit, static_cast<std::uint64_t>(o.size) * 8);
        const HandleRef old = at.H();
        const std::int64_t delta = static_cast<std::int64_t>(valueBytes(layer)) - old.size;
        const std::uint64_t size = static_cast<std::uint64_t>(static_cast<std::int64_t>(o.size) + delta);
        std::size_t header = msLength(size);
        if (d_.release() >= Release::R2010) header += mcLength(size * 8 - o.handleBits);
        return header + size + 2;
    }
    return o.headerBytes + o.size + 2u;
}

std::string_view ObjectBytes::bytes(std::uint32_t i) {
    auto r = e_.replaced.find(i);
    if (r != e_.replaced.end()) return r->second;
    const ObjectInfo& o = d_.objects()[i];
    if (const std::uint64_t layer = relayerTo(i)) {
        scratch_ = editHandles(d_, o, {HandleEdit{o.layerRefBit, false, 5, layer}});
        return scratch_;
    }
    return std::string_view(reinterpret_cast<const char*>(d_.objectStart(o)), o.headerBytes + o.size + 2u);
}

std::vector<std::uint32_t> physicalOrder(const Document& d) {
    std::vector<std::uint32_t> order(d.objects().size());
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return d.objects()[a].offset < d.objects()[b].offset; });
    return order;
}

std::string newObjectMap(const Document& d, const Edits& e, const std::vector<std::uint64_t>& offsets,
                         const std::vector<std::uint64_t>& addedOffsets) {
    std::vector<MapEntry> entries;
    entries.reserve(d.objects().size() + e.added.size());
    // Objects are held in map (handle) order; new handles lie above them all.
    for (std::uint32_t i = 0; i < d.objects().size(); ++i)
        if (!e.isDeleted(i)) entries.push_back({d.objects()[i].handle, offsets[i]});
    for (std::size_t k = 0; k < e.added.size(); ++k) entries.push_back({e.added[k].first, addedOffsets[k]});
    std::stable_sort(entries.begin(), entries.end(), [](const MapEntry& a, const MapEntry& b) { return a.handle < b.handle; });
    for (std::size_t k = 1; k < entries.size(); ++k)
        if (entries[k].handle == entries[k - 1].handle) throw WriteError("two objects with one handle");
    return encodeMap(entries, mapChunks(d.container().handles));
}

std::string auxWithSeed(const Document& d, const SectionBytes& aux, std::uint64_t seed) {
    std::string out(reinterpret_cast<const char*>(aux.data), aux.size);
    // The AuxHeader keeps an RL copy of the seed (six bytes later in the
    // longer R2018 AuxHeader); it is changed only where it holds the old one.
    const std::size_t at = aux.size >= 129 ? 85 : 79;
    if (aux.size < at + 4) return out;
    const auto* p = reinterpret_cast<const std::uint8_t*>(out.data()) + at;
    const std::uint32_t old = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    if (old == static_cast<std::uint32_t>(d.header().handseed))
        putLE(reinterpret_cast<std::uint8_t*>(out.data()) + at, seed, 4);
    return out;
}

void writeDwg(const Document& d, const Edits& e, Output& out) {
    if (!writable(d.release())) throw WriteError("DWG version " + versionLabel(d.acadver()) + " cannot be saved");
    if (d.release() == Release::R2000) writeR2000(d, e, out);
    else writeR2004(d, e, out);
}

}  // namespace dxf::dwg
