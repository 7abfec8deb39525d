#include "engine/dwg/Checksum.h"

#include <array>
#include <vector>

#include "engine/Encoding.h"
#include "engine/dwg/BitReader.h"

namespace dxf::dwg {

namespace {

// Eight tables: table k gives the CRC of a byte followed by k zero bytes,
// so eight bytes are folded in at a time (every object is checked on open).
using Crc16Tables = std::array<std::array<std::uint16_t, 256>, 8>;

Crc16Tables makeCrc16Tables() {
    Crc16Tables t{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t c = static_cast<std::uint16_t>(i);
        for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<std::uint16_t>((c >> 1) ^ 0xA001) : static_cast<std::uint16_t>(c >> 1);
        t[0][i] = c;
    }
    for (unsigned i = 0; i < 256; ++i)
        for (int k = 1; k < 8; ++k)
            t[k][i] = static_cast<std::uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
    return t;
}

std::array<std::uint32_t, 256> makeCrc32Table() {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        t[i] = c;
    }
    return t;
}

}  // namespace

std::uint16_t crc16(std::uint16_t seed, const std::uint8_t* p, std::size_t n) {
    static const Crc16Tables t = makeCrc16Tables();
    std::uint16_t c = seed;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const std::uint8_t b0 = static_cast<std::uint8_t>(p[i] ^ (c & 0xFF));
        const std::uint8_t b1 = static_cast<std::uint8_t>(p[i + 1] ^ (c >> 8));
        c = static_cast<std::uint16_t>(t[7][b0] ^ t[6][b1] ^ t[5][p[i + 2]] ^ t[4][p[i + 3]] ^ t[3][p[i + 4]] ^
                                       t[2][p[i + 5]] ^ t[1][p[i + 6]] ^ t[0][p[i + 7]]);
    }
    for (; i < n; ++i) c = static_cast<std::uint16_t>((c >> 8) ^ t[0][(c ^ p[i]) & 0xFF]);
    return c;
}

std::uint32_t crc32(std::uint32_t seed, const std::uint8_t* p, std::size_t n) {
    static const auto table = makeCrc32Table();
    std::uint32_t c = ~seed;
    for (std::size_t i = 0; i < n; ++i) c = (c >> 8) ^ table[(c ^ p[i]) & 0xFF];
    return ~c;
}

std::uint32_t pageChecksum(std::uint32_t seed, const std::uint8_t* p, std::size_t n) {
    std::uint32_t a = seed & 0xFFFF, b = seed >> 16;
    while (n) {
        std::size_t chunk = n < 0x15B0 ? n : 0x15B0;
        for (std::size_t i = 0; i < chunk; ++i) {
            a += p[i];
            b += a;
        }
        a %= 0xFFF1;
        b %= 0xFFF1;
        p += chunk;
        n -= chunk;
    }
    return (b << 16) | a;
}

// ---- strings (kept here to avoid a file for one function) ----

std::string utf16ToUtf8(const std::uint16_t* u, std::size_t n) {
    std::string out;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t cp = u[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && u[i + 1] >= 0xDC00 && u[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (u[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        appendUtf8(out, cp);
    }
    return out;
}

std::string BitReader::TU() {
    unsigned n = BS();
    need(static_cast<std::uint64_t>(n) * 16);
    std::vector<std::uint16_t> units(n);
    for (unsigned i = 0; i < n; ++i) units[i] = RS();
    // A trailing NUL is part of the stored length; it is not text.
    std::size_t len = n;
    while (len && units[len - 1] == 0) --len;
    return utf16ToUtf8(units.data(), len);
}

}  // namespace dxf::dwg
