#include "engine/dwg/BitWriter.h"

namespace dxf::dwg {

namespace {

// Up to 57 bits of data starting at bit `at`, most significant first.
std::uint64_t gather(const std::uint8_t* data, std::uint64_t at, unsigned n) {
    const std::uint64_t byte = at >> 3;
    const unsigned shift = static_cast<unsigned>(at & 7);
    const unsigned bytes = (shift + n + 7) / 8;
    std::uint64_t w = 0;
    for (unsigned i = 0; i < bytes; ++i) w = (w << 8) | data[byte + i];
    w >>= bytes * 8 - shift - n;
    return n == 64 ? w : (w & ((1ull << n) - 1));
}

}  // namespace

void BitWriter::copy(const std::uint8_t* data, std::uint64_t from, std::uint64_t to) {
    if (to <= from) return;
    std::uint64_t n = to - from;
    // Same bit phase: whole bytes can be copied as they are.
    if ((from & 7) == (bits_ & 7)) {
        const unsigned head = static_cast<unsigned>((8 - (from & 7)) & 7);
        if (head) {
            const unsigned take = n < head ? static_cast<unsigned>(n) : head;
            put(gather(data, from, take), take);
            from += take;
            n -= take;
        }
        const std::uint64_t whole = n / 8;
        if (whole) {
            buf_.insert(buf_.end(), data + from / 8, data + from / 8 + whole);
            bits_ += whole * 8;
            from += whole * 8;
            n -= whole * 8;
        }
        if (n) put(gather(data, from, static_cast<unsigned>(n)), static_cast<unsigned>(n));
        return;
    }
    buf_.reserve(buf_.size() + n / 8 + 2);
    while (n) {
        const unsigned take = n < 48 ? static_cast<unsigned>(n) : 48;
        put(gather(data, from, take), take);
        from += take;
        n -= take;
    }
}

void BitWriter::overwrite(std::uint64_t at, std::uint64_t value, unsigned n) {
    for (unsigned i = 0; i < n; ++i, ++at) {
        const bool bit = (value >> (n - 1 - i)) & 1;
        const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (at & 7));
        std::uint8_t& b = buf_[at >> 3];
        b = static_cast<std::uint8_t>(bit ? (b | mask) : (b & ~mask));
    }
}

void appendMS(std::string& out, std::uint32_t v) {
    do {
        std::uint16_t w = static_cast<std::uint16_t>(v & 0x7FFF);
        v >>= 15;
        if (v) w |= 0x8000;
        out += static_cast<char>(w & 0xFF);
        out += static_cast<char>(w >> 8);
    } while (v);
}

void appendMC(std::string& out, std::uint64_t v) {
    do {
        std::uint8_t b = static_cast<std::uint8_t>(v & 0x7F);
        v >>= 7;
        if (v) b |= 0x80;
        out += static_cast<char>(b);
    } while (v);
}

void appendMCs(std::string& out, std::int64_t v) {
    const bool negative = v < 0;
    std::uint64_t m = negative ? static_cast<std::uint64_t>(-v) : static_cast<std::uint64_t>(v);
    // Seven value bits per byte; the last byte holds six and the sign.
    while (m >= 0x40) {
        out += static_cast<char>(0x80 | (m & 0x7F));
        m >>= 7;
    }
    out += static_cast<char>(m | (negative ? 0x40 : 0));
}

void appendLE(std::string& out, std::uint64_t v, unsigned bytes) {
    for (unsigned i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void putLE(std::uint8_t* p, std::uint64_t v, unsigned bytes) {
    for (unsigned i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
}

std::vector<std::uint16_t> utf8ToUtf16(std::string_view s) {
    std::vector<std::uint16_t> out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::uint32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (c < 0x80) cp = c;
        else if ((c >> 5) == 6) cp = c & 0x1F, len = 2;
        else if ((c >> 4) == 14) cp = c & 0x0F, len = 3;
        else if ((c >> 3) == 30) cp = c & 0x07, len = 4;
        if (len > 1) {
            if (i + len > s.size()) {
                cp = 0xFFFD, len = 1;
            } else {
                for (std::size_t k = 1; k < len; ++k) {
                    const unsigned char t = static_cast<unsigned char>(s[i + k]);
                    if ((t >> 6) != 2) {
                        cp = 0xFFFD, len = k;
                        break;
                    }
                    cp = (cp << 6) | (t & 0x3F);
                }
            }
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<std::uint16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<std::uint16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<std::uint16_t>(cp));
        }
    }
    return out;
}

}  // namespace dxf::dwg
