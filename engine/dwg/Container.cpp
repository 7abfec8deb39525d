// Version dispatch and the R13-R2000 container: section locators in the file
// header, sections stored as plain bytes.
#include "engine/dwg/Container.h"

#include <cstring>

#include "engine/dwg/Checksum.h"

namespace dxf::dwg {

namespace {

std::uint32_t le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

bool releaseOf(std::string_view v, Release& out) {
    if (v == "AC1012") out = Release::R13;
    else if (v == "AC1014") out = Release::R14;
    else if (v == "AC1015") out = Release::R2000;
    else if (v == "AC1018") out = Release::R2004;
    else if (v == "AC1021") out = Release::R2007;
    else if (v == "AC1024") out = Release::R2010;
    else if (v == "AC1027") out = Release::R2013;
    else if (v == "AC1032") out = Release::R2018;
    else return false;
    return true;
}

std::string versionLabel(std::string_view v) {
    struct Name {
        const char* id;
        const char* release;
    };
    static const Name names[] = {{"MC0.0", "R1.0"}, {"AC1.2", "R1.2"}, {"AC1.40", "R1.40"}, {"AC1.50", "R2.05"},
                                 {"AC2.10", "R2.10"}, {"AC1001", "R2.22"}, {"AC1002", "R2.5"}, {"AC1003", "R2.6"},
                                 {"AC1004", "R9"}, {"AC1006", "R10"}, {"AC1009", "R11/R12"}, {"AC1012", "R13"},
                                 {"AC1014", "R14"}, {"AC1015", "R2000"}, {"AC1018", "R2004"}, {"AC1021", "R2007"},
                                 {"AC1024", "R2010"}, {"AC1027", "R2013"}, {"AC1032", "R2018"}};
    for (const Name& n : names)
        if (v == n.id) return std::string(v) + " (" + n.release + ")";
    std::string printable;
    for (char c : v) printable += (c >= 0x20 && c < 0x7F) ? c : '?';
    return printable;
}

SectionBytes Container::keep(std::unique_ptr<std::uint8_t[]> bytes, const SectionDesc& d) {
    SectionBytes s;
    s.data = bytes.get();
    s.size = d.size;
    s.fileOffset = d.pages.empty() ? 0 : d.pages.front().address;
    storage.push_back(std::move(bytes));
    return s;
}

std::uint64_t Container::fileOffsetOf(const SectionBytes& s, std::uint64_t off) const {
    if (release < Release::R2004) return s.fileOffset + off;
    if (release == Release::R2007) {
        for (const SectionDesc& d : sections)
            if (!d.pages.empty() && s.fileOffset == d.pages.front().address)
                for (const SectionPage& p : d.pages)
                    if (off >= p.startOffset && off - p.startOffset < p.size) return p.address;
        return s.fileOffset;
    }
    for (const SectionDesc& d : sections)
        for (const SectionPage& p : d.pages)
            if (s.fileOffset == d.pages.front().address && off >= p.startOffset && off - p.startOffset < d.maxPageSize)
                return p.address;
    return s.fileOffset;
}

const SectionDesc* Container::section(const std::string& name, bool required, std::uint64_t fileSize,
                                      std::uint64_t mapAt) const {
    const SectionDesc* d = nullptr;
    for (const SectionDesc& x : sections)
        if (x.name == name) d = &x;
    if (!d) {
        if (required) throw FormatError(mapAt, "section " + name + " is missing");
        return nullptr;
    }
    if (d->size > fileSize * 64ull + (1u << 20)) throw FormatError(mapAt, "section " + name + ": implausible size");
    return d;
}

Container readContainer(std::string_view file) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(file.data());
    if (file.size() < 6) throw FormatError(0, "not a DWG drawing: the file is too short");
    Container c;
    std::size_t idLen = 6;
    while (idLen > 0 && (b[idLen - 1] == 0 || b[idLen - 1] == ' ')) --idLen;
    c.acadver.assign(file.data(), idLen);
    if (!releaseOf(c.acadver, c.release))
        throw Unsupported(0, "DWG version " + versionLabel(c.acadver) + " is not supported");
    if (file.size() < 0x100) throw FormatError(file.size(), "the file is truncated (no complete file header)");
    c.maintenance = b[0x0B];
    c.codepage = static_cast<std::uint16_t>(b[0x13] | (b[0x14] << 8));
    if (c.release <= Release::R2000) return readR2000(file, std::move(c));
    if (c.release == Release::R2007) return readR2007(file, std::move(c));
    return readR2004(file, std::move(c));
}

Container readR2000(std::string_view file, Container c) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(file.data());
    std::uint32_t n = le32(b + 0x15);
    // Six records in practice; the header must also fit the file.
    if (n == 0 || n > 16 || 0x19 + 9ull * n + 2 > file.size())
        throw FormatError(0x15, "invalid number of section locators: " + std::to_string(n));
    std::size_t end = 0x19 + 9ull * n;
    std::uint16_t stored = static_cast<std::uint16_t>(b[end] | (b[end + 1] << 8));
    if (crc16(kCrc16Seed, b, end) != stored) throw FormatError(end, "file header CRC mismatch");
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint8_t* p = b + 0x19 + 9 * i;
        Locator l;
        l.id = p[0];
        l.offset = le32(p + 1);
        l.size = le32(p + 5);
        if (l.size && (l.offset > file.size() || l.size > file.size() - l.offset))
            throw FormatError(0x19 + 9 * i, "section locator " + std::to_string(l.id) + " points outside the file");
        c.locators.push_back(l);
    }
    auto view = [&](std::uint8_t id) {
        SectionBytes s;
        for (const Locator& l : c.locators)
            if (l.id == id && l.size) {
                s.data = b + l.offset;
                s.size = l.size;
                s.fileOffset = l.offset;
            }
        return s;
    };
    c.header = view(0);
    c.classes = view(1);
    c.handles = view(2);
    c.auxHeader = view(5);
    if (!c.header.present() || !c.classes.present() || !c.handles.present())
        throw FormatError(0x15, "a required section (header, classes or object map) is missing");
    c.objects.data = b;
    c.objects.size = file.size();
    c.objects.fileOffset = 0;
    return c;
}

}  // namespace dxf::dwg
