// The R2004-family compression, writing side: a greedy LZ77 over one page
// with the opcodes Decompress.cpp reads. A stream is a literal run, then
// matches, each followed by up to three literals in its own bits or by a
// literal run of four or more, then 11 00 00.
//
// Every page is decompressed again and compared before it is used; should
// that ever differ, the page is written as one literal run instead, which is
// always valid (only longer).
#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/dwg/Compress.h"
#include "engine/dwg/Container.h"

namespace dxf::dwg {

namespace {

constexpr std::size_t kMinMatch = 4;
constexpr std::size_t kMaxOffset = 0xBFFF;
constexpr unsigned kHashBits = 14;

void putExtended(std::string& out, std::size_t rest) {
    // rest >= 1: zero bytes of 255 each, then the remainder 1..255.
    const std::size_t zeros = (rest - 1) / 255;
    out.append(zeros, '\0');
    out += static_cast<char>(rest - 255 * zeros);
}

void literalRun(std::string& out, const std::uint8_t* p, std::size_t n) {
    if (n <= 18) {
        out += static_cast<char>(n - 3);
    } else {
        out += '\0';
        putExtended(out, n - 18);
    }
    out.append(reinterpret_cast<const char*>(p), n);
}

void match(std::string& out, std::size_t len, std::size_t off, unsigned lits) {
    if (off <= 0x400 && len <= 14) {
        const std::size_t o = off - 1;
        out += static_cast<char>(((len + 1) << 4) | ((o & 3) << 2) | lits);
        out += static_cast<char>(o >> 2);
        return;
    }
    if (off <= 0x4000) {
        const std::size_t o = off - 1;
        if (len <= 33) {
            out += static_cast<char>(0x20 | (len - 2));
        } else {
            out += static_cast<char>(0x20);
            putExtended(out, len - 33);
        }
        out += static_cast<char>(((o & 0x3F) << 2) | lits);
        out += static_cast<char>((o >> 6) & 0xFF);
        return;
    }
    const std::size_t o = off - 0x4000;
    const unsigned hi = static_cast<unsigned>((o >> 14) & 1) << 3;
    if (len <= 9) {
        out += static_cast<char>(0x10 | hi | (len - 2));
    } else {
        out += static_cast<char>(0x10 | hi);
        putExtended(out, len - 9);
    }
    out += static_cast<char>(((o & 0x3F) << 2) | lits);
    out += static_cast<char>((o >> 6) & 0xFF);
}

std::uint32_t hash4(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return (v * 2654435761u) >> (32 - kHashBits);
}

// How many bytes a and b have in common from their start, at most max.
std::size_t matchLength(const std::uint8_t* a, const std::uint8_t* b, std::size_t max) {
    std::size_t len = 0;
    while (len + 8 <= max) {
        std::uint64_t x, y;
        std::memcpy(&x, a + len, 8);
        std::memcpy(&y, b + len, 8);
        if (x != y) return len + static_cast<std::size_t>(__builtin_ctzll(x ^ y) >> 3);
        len += 8;
    }
    while (len < max && a[len] == b[len]) ++len;
    return len;
}

void greedy(const std::uint8_t* in, std::size_t n, std::string& out) {
    // Positions are stored as base + pos; entries below base are from
    // earlier pages, so the table need not be cleared for each page.
    static thread_local std::vector<std::uint32_t> table(std::size_t{1} << kHashBits, 0);
    static thread_local std::uint32_t base = 1;
    if (n >= 0x7FFFFFFF || base > 0xFFFFFFFFu - n - 1) {
        std::fill(table.begin(), table.end(), 0);
        base = 1;
    }
    const std::uint32_t first = base;
    base += static_cast<std::uint32_t>(n) + 1;
    std::size_t pos = 0, litStart = 0;
    bool pending = false;
    std::size_t pLen = 0, pOff = 0, misses = 0;
    // A match waits for the literals after it: up to three go into its own bits.
    auto flush = [&](std::size_t upTo) {
        const std::size_t lits = upTo - litStart;
        if (!pending) {
            literalRun(out, in + litStart, lits);  // the first run (at least four bytes)
        } else if (lits >= 1 && lits <= 3) {
            match(out, pLen, pOff, static_cast<unsigned>(lits));
            out.append(reinterpret_cast<const char*>(in + litStart), lits);
        } else {
            match(out, pLen, pOff, 0);
            if (lits) literalRun(out, in + litStart, lits);
        }
    };
    while (pos + kMinMatch <= n) {
        const std::uint32_t h = hash4(in + pos);
        const std::int64_t cand = table[h] >= first ? static_cast<std::int64_t>(table[h] - first) : -1;
        table[h] = first + static_cast<std::uint32_t>(pos);
        if (pos >= 4 && cand >= 0 && pos - static_cast<std::size_t>(cand) <= kMaxOffset &&
            std::memcmp(in + cand, in + pos, kMinMatch) == 0) {
            const std::size_t len = kMinMatch + matchLength(in + cand + kMinMatch, in + pos + kMinMatch, n - pos - kMinMatch);
            flush(pos);
            pending = true;
            pLen = len;
            pOff = pos - static_cast<std::size_t>(cand);
            const std::size_t end = pos + len;
            // The start and the end of a match are remembered (long runs
            // would cost more than they find).
            for (std::size_t k = pos + 1; k + kMinMatch <= n && k < end && k < pos + 16; k += 2)
                table[hash4(in + k)] = first + static_cast<std::uint32_t>(k);
            for (std::size_t k = end > pos + 16 + 3 ? end - 3 : end; k + kMinMatch <= n && k < end; ++k)
                table[hash4(in + k)] = first + static_cast<std::uint32_t>(k);
            pos = end;
            litStart = pos;
            misses = 0;
            continue;
        }
        // Where nothing matches, look further apart the longer it lasts:
        // data that does not compress costs little time.
        pos += 1 + (++misses >> 5);
    }
    flush(n);
}

bool roundTrips(const std::string& stream, const std::uint8_t* in, std::size_t n) {
    static thread_local std::vector<std::uint8_t> check;
    check.resize(n < 4 ? 4 : n);
    try {
        const std::size_t got = decompressR2004(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size(),
                                                check.data(), check.size(), 0);
        return got >= n && std::memcmp(check.data(), in, n) == 0;
    } catch (const FormatError&) {
        return false;
    }
}

}  // namespace

std::string compressLiteral(const std::uint8_t* in, std::size_t n) {
    std::string out;
    std::uint8_t pad[4] = {0, 0, 0, 0};
    if (n < 4) {
        std::memcpy(pad, in, n);
        in = pad;
        n = 4;
    }
    literalRun(out, in, n);
    out.append("\x11\x00\x00", 3);
    return out;
}

std::string compressR2004(const std::uint8_t* in, std::size_t n) {
    if (n < 8) return compressLiteral(in, n);
    std::string out;
    out.reserve(n / 2 + 64);
    greedy(in, n, out);
    out.append("\x11\x00\x00", 3);
    if (!roundTrips(out, in, n)) return compressLiteral(in, n);
    return out;
}

}  // namespace dxf::dwg
