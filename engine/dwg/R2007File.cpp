// The R2007 container (AC1021): a Reed-Solomon coded file header at 0x80, a
// page map and a section map in Reed-Solomon coded, compressed system pages,
// and data pages that are Reed-Solomon coded and compressed (or plain).
//
// Every Reed-Solomon code word is checked (its syndromes must all be zero):
// the file header and the system pages use (255,239) words over GF(256)
// with the polynomial 0x169, data pages (255,251) words with 0x11D, the
// code words of a page interleaved byte by byte. Damage is reported with the
// file offset of the page; it is not corrected.
#include <array>
#include <cstring>
#include <string>
#include <unordered_map>

#include "engine/dwg/Container.h"

namespace dxf::dwg {

namespace {

std::uint64_t le64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

constexpr std::uint64_t kPagesStart = 0x480;
constexpr std::size_t kMaxSystemPage = 16u << 20;

// Reed-Solomon syndromes of (255, 255 - parity) code words; byte i of a word
// is the coefficient of x^i, the roots are alpha^1 .. alpha^parity.
class ReedSolomon {
public:
    ReedSolomon(unsigned poly, unsigned parity) : parity_(parity) {
        unsigned x = 1;
        for (int i = 0; i < 255; ++i) {
            exp_[i] = exp_[i + 255] = static_cast<std::uint8_t>(x);
            log_[x] = static_cast<std::uint8_t>(i);
            x <<= 1;
            if (x & 0x100) x ^= poly;
        }
    }
    unsigned dataBytes() const { return 255 - parity_; }
    // Word `w` of `count` words interleaved byte by byte at p.
    bool valid(const std::uint8_t* p, std::size_t w, std::size_t count) const {
        for (unsigned j = 1; j <= parity_; ++j) {
            unsigned s = 0;
            for (int i = 254; i >= 0; --i) {
                s = s ? exp_[log_[s] + j] : 0;
                s ^= p[static_cast<std::size_t>(i) * count + w];
            }
            if (s) return false;
        }
        return true;
    }
    // Checks the `count` interleaved words at p and gathers their data bytes,
    // word after word, into out (count * dataBytes() bytes).
    void decode(const std::uint8_t* p, std::size_t count, std::uint8_t* out, std::uint64_t at, const std::string& what) const {
        const unsigned k = dataBytes();
        for (std::size_t w = 0; w < count; ++w) {
            if (!valid(p, w, count))
                throw FormatError(at, what + ": Reed-Solomon check failed (code word " + std::to_string(w) + ")");
            for (unsigned j = 0; j < k; ++j) out[w * k + j] = p[j * count + w];
        }
    }

private:
    unsigned parity_;
    std::array<std::uint8_t, 510> exp_{};
    std::array<std::uint8_t, 256> log_{};
};

const ReedSolomon& systemCode() {
    static const ReedSolomon rs(0x169, 16);
    return rs;
}
const ReedSolomon& dataCode() {
    static const ReedSolomon rs(0x11D, 4);
    return rs;
}

// The fields of the decompressed file header (64-bit each) this reader uses.
enum HeaderField {
    kFileSize = 1,
    kPageMapCorrection = 3,
    kPageMapOffset = 7,
    kPageMapId = 8,
    kPageMapSizeCompressed = 10,
    kPageMapSize = 11,
    kSectionMapSizeCompressed = 22,
    kSectionMapId = 24,
    kSectionMapSize = 25,
    kSectionMapCorrection = 27,
    kHeaderFields = 34
};

// A system page: Reed-Solomon words over the compressed bytes repeated
// `correction` times; the first copy is decompressed.
std::vector<std::uint8_t> systemPage(std::string_view file, std::uint64_t at, std::uint64_t csize, std::uint64_t usize,
                                     std::uint64_t correction, const char* what) {
    if (csize == 0 || csize > kMaxSystemPage || usize > kMaxSystemPage || correction == 0 || correction > 64)
        throw FormatError(at, std::string(what) + ": implausible size in the file header");
    const std::uint64_t coded = ((csize + 7) & ~std::uint64_t{7}) * correction;
    const std::size_t words = static_cast<std::size_t>((coded + 238) / 239);
    if (at > file.size() || file.size() - at < words * 255)
        throw FormatError(at, std::string(what) + " lies outside the file");
    std::vector<std::uint8_t> data(words * 239);
    systemCode().decode(reinterpret_cast<const std::uint8_t*>(file.data()) + at, words, data.data(), at, what);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(usize));
    const std::size_t got = decompressR2007(data.data(), static_cast<std::size_t>(csize), out.data(), out.size(), at);
    if (got != usize) throw FormatError(at, std::string(what) + " decompresses to " + std::to_string(got) + " bytes, not " + std::to_string(usize));
    return out;
}

}  // namespace

// One page of a section: checked and decompressed into out (pg.size bytes).
void readR2007Page(std::string_view file, const SectionDesc& s, const SectionPage& pg, std::uint8_t* out) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(file.data());
    const std::uint64_t at = pg.address;
    if (!s.compressed) {
        if (pg.dataSize != pg.size || at > file.size() || file.size() - at < pg.size)
            throw FormatError(at, "page of " + s.name + " lies outside the file");
        std::memcpy(out, b + at, static_cast<std::size_t>(pg.size));
        return;
    }
    const ReedSolomon& rs = dataCode();
    const std::size_t words = static_cast<std::size_t>((pg.dataSize + rs.dataBytes() - 1) / rs.dataBytes());
    if (words * 255 > pg.diskSize || at > file.size() || file.size() - at < words * 255)
        throw FormatError(at, "page of " + s.name + " is larger than its place in the file");
    std::vector<std::uint8_t> data(words * rs.dataBytes());
    rs.decode(b + at, words, data.data(), at, "page of " + s.name);
    // A page that would not get smaller is stored as it is.
    if (pg.dataSize == pg.size) {
        std::memcpy(out, data.data(), static_cast<std::size_t>(pg.size));
        return;
    }
    const std::size_t got = decompressR2007(data.data(), static_cast<std::size_t>(pg.dataSize), out,
                                            static_cast<std::size_t>(pg.size), at);
    if (got != pg.size)
        throw FormatError(at, "page of " + s.name + " decompresses to " + std::to_string(got) + " bytes, not " + std::to_string(pg.size));
}

Container readR2007(std::string_view file, Container c) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(file.data());
    if (file.size() < kPagesStart) throw FormatError(file.size(), "the file is truncated (no complete file header)");

    // The file header: three interleaved (255,239) words at 0x80.
    std::uint8_t block[3 * 239];
    systemCode().decode(b + 0x80, 3, block, 0x80, "file header");
    const std::int32_t stored = static_cast<std::int32_t>(le64(block + 24) & 0xFFFFFFFF);
    const std::uint64_t length = stored < 0 ? 0 - static_cast<std::uint64_t>(static_cast<std::int64_t>(stored)) : stored;
    if (length == 0 || length > sizeof block - 32) throw FormatError(0x80, "file header: invalid data length " + std::to_string(stored));
    std::uint8_t fh[kHeaderFields * 8] = {};
    if (stored < 0) {
        if (length < sizeof fh) throw FormatError(0x80, "file header is too short");
        std::memcpy(fh, block + 32, sizeof fh);
    } else {
        const std::size_t got = decompressR2007(block + 32, static_cast<std::size_t>(length), fh, sizeof fh, 0x80);
        if (got != sizeof fh) throw FormatError(0x80, "file header decompresses to " + std::to_string(got) + " bytes");
    }
    c.fileHeader.assign(fh, fh + sizeof fh);
    auto field = [&](HeaderField f) { return le64(fh + 8 * f); };
    if (field(kFileSize) != file.size())
        throw FormatError(0x80, "the file is " + std::to_string(file.size()) + " bytes, its header says " + std::to_string(field(kFileSize)));

    // Page map: (size, id) pairs; pages lie one after the other from 0x480.
    const std::uint64_t pmAt = kPagesStart + field(kPageMapOffset);
    std::vector<std::uint8_t> pm = systemPage(file, pmAt, field(kPageMapSizeCompressed), field(kPageMapSize),
                                              field(kPageMapCorrection), "page map");
    std::uint64_t addr = kPagesStart;
    for (std::size_t p = 0; p + 16 <= pm.size(); p += 16) {
        PageRecord r;
        r.size = le64(pm.data() + p);
        r.id = static_cast<std::int64_t>(le64(pm.data() + p + 8));
        r.address = addr;
        if (r.size > file.size() - std::min<std::uint64_t>(addr, file.size()))
            throw FormatError(pmAt, "page map: page " + std::to_string(r.id) + " lies outside the file");
        addr += r.size;
        c.pages.push_back(r);
    }
    std::unordered_map<std::int64_t, std::size_t> byId;
    for (std::size_t i = 0; i < c.pages.size(); ++i)
        if (c.pages[i].id > 0) byId.emplace(c.pages[i].id, i);
    auto page = [&](std::int64_t id) -> const PageRecord& {
        auto it = byId.find(id);
        if (it == byId.end()) throw FormatError(pmAt, "page " + std::to_string(id) + " is not in the page map");
        return c.pages[it->second];
    };
    c.pageMapId = static_cast<std::int64_t>(field(kPageMapId));
    c.sectionMapId = static_cast<std::int64_t>(field(kSectionMapId));

    // Section map: per section eight 64-bit fields, its UTF-16 name, then per
    // page seven 64-bit fields.
    const std::uint64_t smAt = page(c.sectionMapId).address;
    const std::vector<std::uint8_t> sm = systemPage(file, smAt, field(kSectionMapSizeCompressed), field(kSectionMapSize),
                                                    field(kSectionMapCorrection), "section map");
    for (std::size_t p = 0; p + 64 <= sm.size();) {
        const std::uint8_t* e = sm.data() + p;
        SectionDesc d;
        d.mapOffset = p;
        d.size = le64(e);
        d.maxPageSize = le64(e + 8);
        d.encrypted = static_cast<std::uint32_t>(le64(e + 16));
        const std::uint64_t nameBytes = le64(e + 32);
        const std::uint64_t encoding = le64(e + 48);
        const std::uint64_t pageCount = le64(e + 56);
        p += 64;
        if (nameBytes > sm.size() - p || nameBytes % 2) throw FormatError(smAt, "section map: invalid name length");
        for (std::size_t i = 0; i + 1 < nameBytes; i += 2) {
            const unsigned ch = sm[p + i] | (sm[p + i + 1] << 8);
            if (ch == 0) break;
            d.name += ch < 0x80 ? static_cast<char>(ch) : '?';
        }
        p += static_cast<std::size_t>(nameBytes);
        if (encoding != 1 && encoding != 4) throw FormatError(smAt, "section " + d.name + ": unknown encoding " + std::to_string(encoding));
        d.compressed = encoding == 4;
        if (pageCount > (sm.size() - p) / 56) throw FormatError(smAt, "section map: too many pages in " + d.name);
        std::uint64_t next = 0;
        for (std::uint64_t k = 0; k < pageCount; ++k, p += 56) {
            const std::uint8_t* q = sm.data() + p;
            SectionPage pg;
            pg.startOffset = le64(q);
            pg.pageId = static_cast<std::int64_t>(le64(q + 16));
            pg.size = le64(q + 24);
            pg.dataSize = le64(q + 32);
            const PageRecord& r = page(pg.pageId);
            pg.address = r.address;
            pg.diskSize = r.size;
            if (pg.startOffset != next || pg.size > d.size - std::min(d.size, pg.startOffset) || pg.size == 0)
                throw FormatError(pg.address, "page of " + d.name + ": inconsistent offset or size");
            if (pg.dataSize > r.size && d.compressed) throw FormatError(pg.address, "page of " + d.name + " is larger than its place in the file");
            next += pg.size;
            d.pages.push_back(pg);
        }
        if (next != d.size) throw FormatError(smAt, "section " + d.name + ": its pages do not add up to its size");
        if (d.encrypted == 1) throw Unsupported(smAt, "section " + d.name + " is encrypted; such drawings are not supported");
        if (d.name == "AcDb:Security" || d.name == "AcDb:Signature")
            throw Unsupported(smAt, "the drawing is protected (" + d.name + "); such drawings are not supported");
        c.sections.push_back(std::move(d));
    }
    c.sectionMap = sm;

    // Every page of every section is checked; the sections the reader uses
    // are kept decompressed.
    auto assemble = [&](const std::string& name, bool required) -> SectionBytes {
        const SectionDesc* d = c.section(name, required, file.size(), smAt);
        if (!d) return {};
        auto buf = std::make_unique<std::uint8_t[]>(d->size ? d->size : 1);
        for (const SectionPage& pg : d->pages) readR2007Page(file, *d, pg, buf.get() + pg.startOffset);
        return c.keep(std::move(buf), *d);
    };
    std::vector<std::uint8_t> scratch;
    for (const SectionDesc& d : c.sections) {
        if (d.name == "AcDb:Header" || d.name == "AcDb:Classes" || d.name == "AcDb:Handles" ||
            d.name == "AcDb:AcDbObjects" || d.name == "AcDb:AuxHeader")
            continue;
        for (const SectionPage& pg : d.pages) {
            scratch.resize(static_cast<std::size_t>(pg.size));
            readR2007Page(file, d, pg, scratch.data());
        }
    }
    c.header = assemble("AcDb:Header", true);
    c.classes = assemble("AcDb:Classes", true);
    c.handles = assemble("AcDb:Handles", true);
    c.objects = assemble("AcDb:AcDbObjects", true);
    c.auxHeader = assemble("AcDb:AuxHeader", false);
    return c;
}

}  // namespace dxf::dwg
