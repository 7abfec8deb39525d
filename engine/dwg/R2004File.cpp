// The R2004 container (also AC1024, AC1027, AC1032): an encrypted file
// header, a page map and a section map in compressed system pages, and data
// pages whose headers are masked with their own file offset.
#include <algorithm>
#include <cstring>

#include "engine/dwg/Checksum.h"
#include "engine/dwg/Container.h"

namespace dxf::dwg {

namespace {

std::uint32_t le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint64_t le64(const std::uint8_t* p) { return le32(p) | (static_cast<std::uint64_t>(le32(p + 4)) << 32); }

constexpr std::uint32_t kPageMapType = 0x41630E3B;
constexpr std::uint32_t kSectionMapType = 0x4163003B;
constexpr std::uint32_t kDataPageType = 0x4163043B;
constexpr std::size_t kMaxSystemPage = 64u << 20;  // far above any real map

// Reads and decompresses a system page (page map or section map) at `at`.
std::vector<std::uint8_t> systemPage(std::string_view file, std::uint64_t at, std::uint32_t type, const char* what) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(file.data());
    if (at > file.size() || file.size() - at < 20) throw FormatError(at, std::string(what) + " lies outside the file");
    const std::uint8_t* h = b + at;
    if (le32(h) != type) throw FormatError(at, std::string(what) + ": wrong page type");
    std::uint32_t usize = le32(h + 4), csize = le32(h + 8), method = le32(h + 12), sum = le32(h + 16);
    if (csize > file.size() - at - 20) throw FormatError(at, std::string(what) + " is truncated");
    if (usize > kMaxSystemPage) throw FormatError(at + 4, std::string(what) + ": implausible size");
    std::uint8_t hdr[20];
    std::memcpy(hdr, h, 20);
    std::memset(hdr + 16, 0, 4);
    std::uint32_t calc = pageChecksum(pageChecksum(0, hdr, 20), h + 20, csize);
    if (calc != sum) throw FormatError(at + 16, std::string(what) + " checksum mismatch");
    std::vector<std::uint8_t> out(usize);
    if (method == 2) {
        std::size_t got = decompressR2004(h + 20, csize, out.data(), usize, at + 20);
        // The page map of some writers records more than it holds (§ the last page).
        out.resize(got);
    } else if (method == 1) {
        if (csize < usize) throw FormatError(at, std::string(what) + " is truncated");
        std::memcpy(out.data(), h + 20, usize);
    } else {
        throw FormatError(at + 12, std::string(what) + ": unknown compression " + std::to_string(method));
    }
    return out;
}

struct DataPage {
    std::uint32_t csize = 0;
    std::uint64_t start = 0;
};

// Unmasks and checks a data page's header and data checksums.
DataPage dataPage(std::string_view file, std::uint64_t at, const std::string& name) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(file.data());
    if (at > file.size() || file.size() - at < 32) throw FormatError(at, "page of " + name + " lies outside the file");
    std::uint8_t ph[32];
    const std::uint32_t mask = 0x4164536B ^ static_cast<std::uint32_t>(at);
    for (int w = 0; w < 8; ++w) {
        std::uint32_t v = le32(b + at + 4 * w) ^ mask;
        std::memcpy(ph + 4 * w, &v, 4);
    }
    if (le32(ph) != kDataPageType) throw FormatError(at, "page of " + name + ": wrong page type");
    DataPage p;
    p.csize = le32(ph + 8);
    p.start = le64(ph + 16);
    const std::uint32_t headSum = le32(ph + 24), dataSum = le32(ph + 28);
    if (p.csize > file.size() - at - 32) throw FormatError(at, "page of " + name + " is truncated");
    if (pageChecksum(0, b + at + 32, p.csize) != dataSum) throw FormatError(at + 32, "page data checksum mismatch in " + name);
    std::memset(ph + 24, 0, 4);
    if (pageChecksum(dataSum, ph, 32) != headSum) throw FormatError(at, "page header checksum mismatch in " + name);
    return p;
}

}  // namespace

Container readR2004(std::string_view file, Container c) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(file.data());
    std::uint32_t security = le32(b + 0x18);
    if (security != 0)
        throw Unsupported(0x18, "the drawing is password-protected or signed (security flags " +
                                    std::to_string(security) + "); such drawings are not supported");

    // The encrypted header: XOR with a linear congruential sequence.
    std::uint8_t hdr[0x6C];
    std::uint32_t s = 1;
    for (int i = 0; i < 0x6C; ++i) {
        s = s * 0x343FD + 0x269EC3;
        hdr[i] = static_cast<std::uint8_t>(b[0x80 + i] ^ ((s >> 16) & 0xFF));
    }
    if (std::memcmp(hdr, "AcFssFcAJMB", 11) != 0) throw FormatError(0x80, "the file header is damaged (no file id)");
    std::uint32_t storedCrc = le32(hdr + 0x68);
    std::memset(hdr + 0x68, 0, 4);
    if (crc32(0, hdr, 0x6C) != storedCrc) throw FormatError(0x80 + 0x68, "file header CRC mismatch");
    c.r2004HeaderCrc = storedCrc;
    c.fileHeader.assign(hdr, hdr + 0x6C);
    std::uint32_t pageMapId = le32(hdr + 0x50);
    std::uint64_t pageMapAddr = le64(hdr + 0x54) + 0x100;
    std::uint32_t sectionMapId = le32(hdr + 0x5C);
    c.pageMapId = pageMapId;
    c.sectionMapId = sectionMapId;

    // Page map: (id, size) records; addresses follow from the sizes.
    std::vector<std::uint8_t> pm = systemPage(file, pageMapAddr, kPageMapType, "page map");
    std::uint64_t addr = 0x100;
    for (std::size_t p = 0; p + 8 <= pm.size();) {
        PageRecord r;
        r.id = static_cast<std::int32_t>(le32(pm.data() + p));
        r.size = le32(pm.data() + p + 4);
        r.address = addr;
        p += 8;
        if (r.id < 0) {
            if (p + 16 > pm.size()) throw FormatError(pageMapAddr, "page map: truncated gap record");
            p += 16;
        }
        if (r.size > file.size()) throw FormatError(pageMapAddr, "page map: page larger than the file");
        addr += r.size;
        c.pages.push_back(r);
        if (c.pages.size() > file.size() / 32 + 16) throw FormatError(pageMapAddr, "page map: too many pages");
    }
    auto pageAddress = [&](std::int64_t id) -> std::uint64_t {
        for (const PageRecord& r : c.pages)
            if (r.id == id) return r.address;
        throw FormatError(pageMapAddr, "page " + std::to_string(id) + " is not in the page map");
    };

    // Section map.
    std::uint64_t smAddr = pageAddress(sectionMapId);
    std::vector<std::uint8_t> sm = systemPage(file, smAddr, kSectionMapType, "section map");
    if (sm.size() < 20) throw FormatError(smAddr, "section map is truncated");
    std::uint32_t count = le32(sm.data());
    std::size_t p = 20;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (p + 0x60 > sm.size()) throw FormatError(smAddr, "section map is truncated");
        SectionDesc d;
        const std::uint8_t* e = sm.data() + p;
        d.size = le64(e);
        std::uint32_t pageCount = le32(e + 8);
        d.maxPageSize = le32(e + 12);
        d.compressed = le32(e + 20) == 2;
        d.id = le32(e + 24);
        d.encrypted = le32(e + 28);
        const char* name = reinterpret_cast<const char*>(e + 32);
        d.name.assign(name, strnlen(name, 64));
        d.mapOffset = p;
        p += 0x60;
        if (pageCount > sm.size() / 16) throw FormatError(smAddr, "section map: too many pages in " + d.name);
        for (std::uint32_t k = 0; k < pageCount; ++k) {
            if (p + 16 > sm.size()) throw FormatError(smAddr, "section map is truncated");
            SectionPage pg;
            pg.pageId = le32(sm.data() + p);
            pg.dataSize = le32(sm.data() + p + 4);
            pg.startOffset = le64(sm.data() + p + 8);
            pg.address = pageAddress(pg.pageId);
            p += 16;
            d.pages.push_back(pg);
        }
        if (d.encrypted == 1) throw Unsupported(smAddr, "section " + d.name + " is encrypted; such drawings are not supported");
        if (d.name == "AcDb:Security" || d.name == "AcDb:Signature")
            throw Unsupported(smAddr, "the drawing is protected (" + d.name + "); such drawings are not supported");
        c.sections.push_back(std::move(d));
    }

    c.sectionMap = sm;
    // Assembles a section from its pages.
    std::vector<std::uint8_t> page;
    auto assemble = [&](const std::string& name, bool required, bool withBytes = true) -> SectionBytes {
        const SectionDesc* d = c.section(name, required, file.size(), smAddr);
        if (!d) return {};
        if (d->maxPageSize == 0 || d->maxPageSize > (1u << 24))
            throw FormatError(smAddr, "section " + name + ": invalid page size");
        if (!withBytes) {
            // Only where it lies; its pages are read when they are needed (ObjectStream).
            SectionBytes s;
            s.size = d->size;
            s.fileOffset = d->pages.empty() ? 0 : d->pages.front().address;
            return s;
        }
        auto buf = std::make_unique<std::uint8_t[]>(d->size ? d->size : 1);  // zeroed
        for (const SectionPage& pg : d->pages) {
            const std::uint64_t at = pg.address;
            const DataPage h = dataPage(file, at, name);
            if (h.start != pg.startOffset || h.start > d->size) throw FormatError(at, "page of " + name + ": inconsistent offset");
            const std::uint64_t start = h.start;
            const std::uint32_t csize = h.csize;
            // A page decompresses to at most the section's page size; the last
            // one may hold more than the section size says (padding).
            std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(d->maxPageSize, d->size - start));
            if (d->compressed && d->size - start >= d->maxPageSize) {
                // A whole page: straight into the section.
                std::size_t got = decompressR2004(b + at + 32, csize, buf.get() + start, want, at + 32);
                if (got < want) throw FormatError(at, "page of " + name + " decompresses to fewer bytes than its section needs");
            } else if (d->compressed) {
                if (page.size() < d->maxPageSize) page.resize(d->maxPageSize);
                std::size_t got = decompressR2004(b + at + 32, csize, page.data(), d->maxPageSize, at + 32);
                if (got < want) throw FormatError(at, "page of " + name + " decompresses to fewer bytes than its section needs");
                std::memcpy(buf.get() + start, page.data(), want);
            } else {
                if (csize < want) throw FormatError(at, "page of " + name + " is shorter than its section needs");
                std::memcpy(buf.get() + start, b + at + 32, want);
            }
        }
        return c.keep(std::move(buf), *d);
    };
    // Every page is checked, also those of sections not read here.
    for (const SectionDesc& d : c.sections)
        for (const SectionPage& pg : d.pages) dataPage(file, pg.address, d.name);
    c.header = assemble("AcDb:Header", true);
    c.classes = assemble("AcDb:Classes", true);
    c.handles = assemble("AcDb:Handles", true);
    c.objects = assemble("AcDb:AcDbObjects", true, false);
    c.auxHeader = assemble("AcDb:AuxHeader", false);
    return c;
}

}  // namespace dxf::dwg
