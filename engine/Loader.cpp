// One pass over the file: cut it into records at every group 0 and note what
// the operations need (layer value position, handle, section, block, flags).
// Tags are not materialised here; this loop is the engine's hot path.
#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/DrawingData.h"
#include "engine/DwgSource.h"

namespace dxf {

namespace {

constexpr char kBinarySentinel[] = "AutoCAD Binary DXF\r\n\x1a";  // followed by NUL
constexpr std::size_t kBinarySentinelSize = 22;

Section sectionByName(std::string_view n) {
    if (n == "HEADER") return Section::Header;
    if (n == "CLASSES") return Section::Classes;
    if (n == "TABLES") return Section::Tables;
    if (n == "BLOCKS") return Section::Blocks;
    if (n == "ENTITIES") return Section::Entities;
    if (n == "OBJECTS") return Section::Objects;
    return Section::Other;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char a = s[i], b = prefix[i];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
        if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
        if (a != b) return false;
    }
    return true;
}

std::uint64_t lineOf(std::string_view bytes, std::size_t offset) {
    offset = std::min(offset, bytes.size());
    return 1 + static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.begin() + offset, '\n'));
}

// Position of the next '\n' at or after p, or n. Lines in DXF are short (a
// value is usually under 16 bytes), where a library memchr call costs more
// than the scan; 16 bytes are compared at once while they fit.
inline std::size_t findNewline(const char* base, std::size_t p, std::size_t n) {
#if defined(__SSE2__)
    const __m128i nl = _mm_set1_epi8('\n');
    while (p + 16 <= n) {
        __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + p));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, nl)));
        if (mask) return p + static_cast<std::size_t>(__builtin_ctz(mask));
        p += 16;
    }
#endif
    while (p < n && base[p] != '\n') ++p;
    return p;
}

// Fast path for ASCII code lines such as "  0", " 10", "1001" followed by the
// line end; anything unusual goes through the general parser.
inline bool fastAsciiTag(const char* base, std::size_t n, std::size_t& pos, int& code, std::size_t& vb,
                         std::size_t& ve) {
    std::size_t p = pos;
    int c = 0;
    if (detail::threeWideCode(base + pos, n - pos, c, p)) {
        p += pos;
    } else {
        while (p < n && base[p] == ' ') ++p;
        std::size_t digits = 0;
        while (p < n && base[p] >= '0' && base[p] <= '9' && digits < 6) {
            c = c * 10 + (base[p] - '0');
            ++p;
            ++digits;
        }
        if (digits == 0 || p >= n) return false;
        if (base[p] == '\r') ++p;
        if (p >= n || base[p] != '\n') return false;
    }
    code = c;
    vb = p + 1;
    std::size_t lineEnd = findNewline(base, vb, n);
    ve = lineEnd;
    if (ve > vb && base[ve - 1] == '\r') --ve;
    pos = lineEnd < n ? lineEnd + 1 : n;
    return true;
}

}  // namespace

void DrawingData::load() {
    const std::string_view all = bytes;
    std::size_t pos = 0;
    if (all.size() >= kBinarySentinelSize && std::memcmp(all.data(), kBinarySentinel, kBinarySentinelSize - 1) == 0 &&
        all[kBinarySentinelSize - 1] == '\0') {
        fmt.binary = true;
        pos = kBinarySentinelSize;
        // The first tag is "0 SECTION": R12 writes its code in one byte.
        fmt.binaryShortCodes = all.size() > pos + 1 && all[pos + 1] != '\0';
    } else if (all.size() >= 6 && ((all.compare(0, 4, "AC10") == 0 && all[4] >= '0' && all[4] <= '9') ||
                                   all.compare(0, 5, "AC1.") == 0 || all.compare(0, 5, "AC2.") == 0 ||
                                   all.compare(0, 5, "MC0.") == 0)) {
        loadDwg(*this);
        return;
    } else {
        std::size_t nl = all.find('\n');
        fmt.eol = (nl != std::string_view::npos && nl > 0 && all[nl - 1] == '\r') ? "\r\n" : "\n";
        // New tags copy the writer's style of the first group 0 ("  0" or "0").
        std::string_view head = all.substr(0, 4096);
        std::size_t zero = head.find(fmt.eol == "\n" ? "0\n" : "0\r\n");
        fmt.padCodes = zero == std::string_view::npos || (zero >= 2 && head[zero - 1] == ' ');
    }

    auto fail = [&](const std::string& why, std::size_t at) -> void {
        std::uint64_t line = fmt.binary ? 0 : lineOf(all, at);
        std::string where = fmt.binary ? "byte " + std::to_string(at) : "line " + std::to_string(line);
        throw ParseError("cannot read " + path + ": " + where + ": " + why, line, at);
    };

    records.reserve(all.size() / 120 + 16);
    Section sec = Section::None;
    std::string tableName;
    std::uint32_t curBlock = kNone;
    bool sawEof = false;
    bool sawSection = false;

    // the record being read
    std::uint32_t cur = kNone;
    std::size_t first2b = 0, first2e = 0;
    bool have2 = false;

    auto finish = [&](std::uint32_t r, std::size_t endOff) {
        Record& rec = records[r];
        rec.len = static_cast<std::uint32_t>(endOff - rec.off);
        const std::string& type = typeNames[rec.type];
        std::string_view name2 = have2 ? all.substr(first2b, first2e - first2b) : std::string_view();
        if (type == "SECTION") {
            sec = sectionByName(trimAscii(name2));
            sawSection = true;
            if (sec == Section::Header) headerRecord = r;
        } else if (type == "ENDSEC") {
            rec.section = sec;
            sec = Section::None;
            rec.layerOff = kNone;
            return;
        }
        rec.section = sec;
        if (sec == Section::Header && r == headerRecord) {
            rec.handle = 0;  // that 5 was $HANDSEED's value
            parseHeader();
        }
        if (sec == Section::Tables) {
            if (type == "TABLE") {
                tableName = std::string(trimAscii(name2));
                if (tableName == "LAYER") {
                    layerTable = r;
                    layerTableHandle = rec.handle;
                }
            } else if (type == "ENDTAB") {
                if (tableName == "LAYER") layerTableEnd = r;
                tableName.clear();
            } else if (type == "LAYER" && tableName == "LAYER") {
                LayerRec l;
                l.record = r;
                layers.push_back(std::move(l));
            } else if (type == "LTYPE" && tableName == "LTYPE") {
                linetypeRecords.push_back(r);
            }
        } else if (sec == Section::Blocks) {
            if (type == "BLOCK") {
                if (!codec) codec = std::make_unique<Codec>(acadver, codepage);
                BlockRec b;
                b.begin = r;
                b.name = codec->decode(name2);
                b.paper = startsWithNoCase(b.name, "*Paper_Space") || startsWithNoCase(b.name, "$Paper_Space");
                b.layout = b.paper || startsWithNoCase(b.name, "*Model_Space") ||
                           startsWithNoCase(b.name, "$Model_Space");
                curBlock = static_cast<std::uint32_t>(blocks.size());
                blocks.push_back(std::move(b));
                rec.block = curBlock;
            } else if (type == "ENDBLK") {
                rec.block = curBlock;
                if (curBlock != kNone) blocks[curBlock].end = r;
                curBlock = kNone;
            } else {
                rec.block = curBlock;
            }
        } else if (sec == Section::Objects) {
            if (type == "LAYOUT") layoutObjects.push_back(r);
        }
        if (type == "VERTEX" || type == "SEQEND" || type == "ATTRIB") rec.flags |= kSubEntity;

        if (rec.layerOff != kNone) {
            if (sec == Section::Entities || sec == Section::Blocks) {
                std::uint32_t s = internSlot(all.substr(rec.off + rec.layerOff, rec.layerLen));
                rec.slot = s;
                ++slots[s].uses;
                if (isTopLevelInLayout(r)) slots[s].top.push_back(r);
            } else {
                if (sec != Section::Header) rec.flags |= kHasNameRef;
                rec.layerOff = kNone;
            }
        }
    };

    const char* base = all.data();
    const std::size_t n = all.size();
    if (pos < n) {
        // Comments or anything before the first group 0 form a record of no type.
        Record pre;
        pre.off = 0;  // includes the binary sentinel
        pre.type = internType("");
        records.push_back(pre);
        cur = 0;
    }
    while (pos < n) {
        std::size_t tagStart = pos;
        int code;
        std::size_t vb, ve;
        bool ok = fmt.binary ? detail::nextTag(all, pos, fmt, code, vb, ve)
                             : (fastAsciiTag(base, n, pos, code, vb, ve) || detail::nextTag(all, pos, fmt, code, vb, ve));
        if (!ok) {
            if (fmt.binary)
                fail("truncated or malformed tag", tagStart);
            std::size_t nl = all.find('\n', tagStart);
            if (nl == std::string_view::npos)
                fail("unexpected end of file: group code without a value", tagStart);
            fail("expected a group code, found \"" +
                     std::string(trimAscii(all.substr(tagStart, std::min<std::size_t>(nl - tagStart, 40)))) + "\"",
                 tagStart);
        }
        if (code == 0) {
            if (cur != kNone) finish(cur, tagStart);
            Record rec;
            rec.off = tagStart;
            rec.type = internType(trimAscii(all.substr(vb, ve - vb)));
            records.push_back(rec);
            cur = static_cast<std::uint32_t>(records.size() - 1);
            have2 = false;
            if (typeNames[rec.type] == "EOF") {
                // Whatever follows EOF is kept as part of it.
                sawEof = true;
                finish(cur, n);
                cur = kNone;
                break;
            }
            continue;
        }
        Record& rec = records[cur];
        switch (code) {
        case 8:
            if (rec.layerOff == kNone) {
                rec.layerOff = static_cast<std::uint32_t>(vb - rec.off);
                rec.layerLen = static_cast<std::uint32_t>(ve - vb);
            } else {
                rec.flags |= kHasNameRef;
            }
            break;
        case 5:
        case 105:
            if (rec.handle == 0) rec.handle = parseHandle(fmt.binary ? all.substr(vb, ve - vb) : all.substr(vb, ve - vb));
            break;
        case 67:
            if (fmt.binary ? (ve - vb >= 1 && all[vb] == 1) : trimAscii(all.substr(vb, ve - vb)) == "1")
                rec.flags |= kPaperSpace;
            break;
        case 1003: rec.flags |= kHasXdataName; break;
        case 2:
            if (!have2) {
                have2 = true;
                first2b = vb;
                first2e = ve;
            }
            break;
        default: break;
        }
    }
    if (cur != kNone) finish(cur, n);
    if (!sawSection) fail("not a DXF drawing: no SECTION found", 0);
    if (!sawEof) fail("unexpected end of file: the EOF marker is missing (truncated drawing?)", n);
    if (!codec) codec = std::make_unique<Codec>(acadver, codepage);

    for (LayerRec& l : layers) {
        l.tags = tags(l.record);
        for (const Tag& t : l.tags)
            if (t.code == 2) {
                l.name = codec->decode(tagText(t, fmt));
                break;
            }
    }
}

void DrawingData::parseHeader() {
    headerTags.clear();
    if (headerRecord == kNone) return;
    headerTags = tags(headerRecord);
    headerParsed = true;
    acadver = headerValue("$ACADVER").value_or("AC1009");
    acadver = std::string(trimAscii(acadver));
    codepage = std::string(trimAscii(headerValue("$DWGCODEPAGE").value_or("")));
    if (auto h = headerValue("$HANDLING")) hasHandles = trimAscii(*h) != "0";
    codec = std::make_unique<Codec>(acadver, codepage);
}

std::uint16_t DrawingData::internType(std::string_view t) {
    auto it = typeIndex.find(t);
    if (it != typeIndex.end()) return it->second;
    std::uint16_t id = static_cast<std::uint16_t>(typeNames.size());
    if (typeNames.size() >= 0xFFFF) id = 0;  // absurd input: fold into the first type
    else {
        typeNames.emplace_back(t);
        typeIndex.emplace(std::string(t), id);
    }
    return id;
}

std::uint32_t DrawingData::internSlot(std::string_view raw) {
    auto it = slotByRaw.find(raw);
    if (it != slotByRaw.end()) return it->second;
    if (!codec) codec = std::make_unique<Codec>(acadver, codepage);
    Slot s;
    s.raw = std::string(raw);
    s.name = codec->decode(raw);
    s.curRaw = s.raw;
    std::uint32_t id = static_cast<std::uint32_t>(slots.size());
    slots.push_back(std::move(s));
    slotByRaw.emplace(std::string(raw), id);
    return id;
}

}  // namespace dxf
