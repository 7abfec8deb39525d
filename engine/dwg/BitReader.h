#pragma once
// Reading the DWG bit codes. A DWG object is a stream of bits taken from the
// most significant bit of each byte first; multi-byte raw values inside it are
// little-endian even when they start in the middle of a byte.
//
// Every read is bounded by the reader's end: running past it throws
// BitOverrun, which the callers turn into a ParseError naming the object and
// the byte offset. Nothing here allocates more than the bytes that remain.
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

namespace dxf::dwg {

struct BitOverrun : std::runtime_error {
    explicit BitOverrun(const char* what) : std::runtime_error(what) {}
};

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

// A handle reference: the code says what kind (2-5 owner/pointer, 6/8/A/C
// relative to the referencing object's own handle).
struct HandleRef {
    std::uint8_t code = 0;
    std::uint8_t size = 0;
    std::uint64_t value = 0;
    // The handle it names, resolved against the object's own handle.
    std::uint64_t resolve(std::uint64_t self) const {
        switch (code) {
        case 6: return self + 1;
        case 8: return self - 1;
        case 0xA: return self + value;
        case 0xC: return self - value;
        default: return value;
        }
    }
};

class BitReader {
public:
    BitReader() = default;
    // Reads bits [startBit, endBit) of data.
    BitReader(const std::uint8_t* data, std::uint64_t startBit, std::uint64_t endBit)
        : data_(data), pos_(startBit), end_(endBit) {}

    std::uint64_t pos() const { return pos_; }
    std::uint64_t end() const { return end_; }
    std::uint64_t remaining() const { return pos_ < end_ ? end_ - pos_ : 0; }
    void seek(std::uint64_t bit) {
        if (bit > end_) throw BitOverrun("seek past the end of the data");
        pos_ = bit;
    }
    void setEnd(std::uint64_t bit) { end_ = bit; }
    const std::uint8_t* data() const { return data_; }

    // n <= 32 bits, most significant first.
    std::uint32_t bits(unsigned n) {
        if (n == 0) return 0;
        need(n);
        std::uint64_t byte = pos_ >> 3;
        unsigned shift = static_cast<unsigned>(pos_ & 7);
        // Gather the (at most 5) bytes covering the field.
        unsigned bytes = (shift + n + 7) / 8;
        std::uint64_t w = 0;
        for (unsigned i = 0; i < bytes; ++i) w = (w << 8) | data_[byte + i];
        w >>= bytes * 8 - shift - n;
        pos_ += n;
        return static_cast<std::uint32_t>(w & ((n == 32) ? 0xFFFFFFFFull : ((1ull << n) - 1)));
    }

    bool B() { return bits(1) != 0; }
    unsigned BB() { return bits(2); }
    std::uint8_t RC() { return static_cast<std::uint8_t>(bits(8)); }
    std::uint16_t RS() {
        std::uint16_t lo = RC();
        return static_cast<std::uint16_t>(lo | (RC() << 8));
    }
    std::uint32_t RL() {
        std::uint32_t lo = RS();
        return lo | (static_cast<std::uint32_t>(RS()) << 16);
    }
    std::uint64_t RLL() {
        std::uint64_t lo = RL();
        return lo | (static_cast<std::uint64_t>(RL()) << 32);
    }
    double RD() {
        std::uint64_t v = RLL();
        double d;
        std::memcpy(&d, &v, 8);
        return d;
    }

    std::uint16_t BS() {
        switch (BB()) {
        case 0: return RS();
        case 1: return RC();
        case 2: return 0;
        default: return 256;
        }
    }
    std::uint32_t BL() {
        switch (BB()) {
        case 0: return RL();
        case 1: return RC();
        case 2: return 0;
        default: throw BitOverrun("invalid bit long code");
        }
    }
    std::uint64_t BLL() {
        unsigned n = bits(3);
        std::uint64_t v = 0;
        for (unsigned i = 0; i < n; ++i) v |= static_cast<std::uint64_t>(RC()) << (8 * i);
        return v;
    }
    double BD() {
        switch (BB()) {
        case 0: return RD();
        case 1: return 1.0;
        case 2: return 0.0;
        default: throw BitOverrun("invalid bit double code");
        }
    }
    double DD(double def) {
        unsigned c = BB();
        if (c == 0) return def;
        if (c == 3) return RD();
        unsigned char b[8];
        std::memcpy(b, &def, 8);
        if (c == 2) {
            b[4] = RC();
            b[5] = RC();
        }
        for (int i = 0; i < 4; ++i) b[i] = RC();
        double d;
        std::memcpy(&d, b, 8);
        return d;
    }
    double BT() { return B() ? 0.0 : BD(); }
    Vec3 BE() {
        if (B()) return Vec3{0, 0, 1};
        Vec3 v;
        v.x = BD(), v.y = BD(), v.z = BD();
        return v;
    }
    Vec3 BD3() {
        Vec3 v;
        v.x = BD(), v.y = BD(), v.z = BD();
        return v;
    }
    Vec3 RD2() {
        Vec3 v;
        v.x = RD(), v.y = RD();
        return v;
    }
    Vec3 BD2() {
        Vec3 v;
        v.x = BD(), v.y = BD();
        return v;
    }

    // Modular char: 7 value bits per byte, high bit = more follow.
    std::uint64_t MC() {
        std::uint64_t v = 0;
        for (unsigned shift = 0; shift < 64; shift += 7) {
            std::uint8_t b = RC();
            v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80)) return v;
        }
        throw BitOverrun("modular char too long");
    }
    // Signed form: the last byte holds 6 value bits and the sign (0x40).
    std::int64_t MCs() {
        std::uint64_t v = 0;
        for (unsigned shift = 0; shift < 64; shift += 7) {
            std::uint8_t b = RC();
            if (b & 0x80) {
                v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
                continue;
            }
            v |= static_cast<std::uint64_t>(b & 0x3F) << shift;
            std::int64_t s = static_cast<std::int64_t>(v);
            return (b & 0x40) ? -s : s;
        }
        throw BitOverrun("modular char too long");
    }
    // Modular short: 15 value bits per 16-bit little-endian word.
    std::uint32_t MS() {
        std::uint32_t v = 0;
        for (unsigned shift = 0; shift < 32; shift += 15) {
            std::uint16_t w = RS();
            v |= static_cast<std::uint32_t>(w & 0x7FFF) << shift;
            if (!(w & 0x8000)) return v;
        }
        throw BitOverrun("modular short too long");
    }

    HandleRef H() {
        HandleRef h;
        h.code = static_cast<std::uint8_t>(bits(4));
        h.size = static_cast<std::uint8_t>(bits(4));
        if (h.size > 8) throw BitOverrun("handle longer than 8 bytes");
        for (unsigned i = 0; i < h.size; ++i) h.value = (h.value << 8) | RC();
        return h;
    }

    // Object type: BS before R2010; the two-bit OT form from R2010 on.
    unsigned OT() {
        switch (BB()) {
        case 0: return RC();
        case 1: return RC() + 0x1F0u;
        default: return RS();
        }
    }

    // TV: the length in BS, then bytes in the drawing's code page.
    std::string TV() {
        unsigned n = BS();
        need(static_cast<std::uint64_t>(n) * 8);
        std::string s(n, '\0');
        for (unsigned i = 0; i < n; ++i) s[i] = static_cast<char>(RC());
        return s;
    }
    // TU: the length in UTF-16 units, then the units; returned as UTF-8.
    std::string TU();

    // Skips n bits, or n bytes.
    void skip(std::uint64_t n) {
        need(n);
        pos_ += n;
    }
    void skipBytes(std::uint64_t n) { skip(n * 8); }

private:
    void need(std::uint64_t n) const {
        if (pos_ > end_ || end_ - pos_ < n) throw BitOverrun("read past the end of the data");
    }
    const std::uint8_t* data_ = nullptr;
    std::uint64_t pos_ = 0;
    std::uint64_t end_ = 0;
};

// UTF-16LE units to UTF-8 (unpaired surrogates become U+FFFD).
std::string utf16ToUtf8(const std::uint16_t* units, std::size_t n);

}  // namespace dxf::dwg
