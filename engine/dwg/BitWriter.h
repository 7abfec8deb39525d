#pragma once
// Writing the DWG bit codes: the mirror of BitReader. Bits go into each byte
// from its most significant bit; raw multi-byte values are little-endian even
// when they start in the middle of a byte.
//
// The writer's main job is copying: an edited object is mostly bit ranges of
// the original put back unchanged, with a few fields written anew between
// them (copy() keeps the original bits exactly, whatever codes they hold).
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace dxf::dwg {

class BitWriter {
public:
    std::uint64_t size() const { return bits_; }  // in bits
    const std::vector<std::uint8_t>& bytes() const { return buf_; }
    // The bytes, the last one padded with zero bits.
    std::string str() const { return std::string(reinterpret_cast<const char*>(buf_.data()), buf_.size()); }

    // n <= 64 bits of value, most significant first.
    void put(std::uint64_t value, unsigned n) {
        while (n) {
            const unsigned used = static_cast<unsigned>(bits_ & 7);
            if (used == 0) buf_.push_back(0);
            const unsigned room = 8 - used;
            const unsigned take = n < room ? n : room;
            const unsigned chunk = static_cast<unsigned>((value >> (n - take)) & ((1u << take) - 1));
            buf_.back() = static_cast<std::uint8_t>(buf_.back() | (chunk << (room - take)));
            bits_ += take;
            n -= take;
        }
    }

    void B(bool v) { put(v ? 1 : 0, 1); }
    void BB(unsigned v) { put(v & 3, 2); }
    void RC(std::uint8_t v) { put(v, 8); }
    void RS(std::uint16_t v) {
        RC(static_cast<std::uint8_t>(v & 0xFF));
        RC(static_cast<std::uint8_t>(v >> 8));
    }
    void RL(std::uint32_t v) {
        RS(static_cast<std::uint16_t>(v & 0xFFFF));
        RS(static_cast<std::uint16_t>(v >> 16));
    }
    void RD(double d) {
        std::uint64_t v;
        std::memcpy(&v, &d, 8);
        RL(static_cast<std::uint32_t>(v));
        RL(static_cast<std::uint32_t>(v >> 32));
    }
    // The shortest form of each code.
    void BS(std::uint16_t v) {
        if (v == 0) BB(2);
        else if (v == 256) BB(3);
        else if (v < 256) BB(1), RC(static_cast<std::uint8_t>(v));
        else BB(0), RS(v);
    }
    void BL(std::uint32_t v) {
        if (v == 0) BB(2);
        else if (v < 256) BB(1), RC(static_cast<std::uint8_t>(v));
        else BB(0), RL(v);
    }
    void BD(double d) {
        std::uint64_t bitsOf;
        std::memcpy(&bitsOf, &d, 8);
        if (d == 1.0) BB(1);
        else if (bitsOf == 0) BB(2);  // +0.0 only: -0.0 keeps its sign as a full double
        else BB(0), RD(d);
    }
    // A handle reference with the fewest value bytes.
    void H(unsigned code, std::uint64_t value) {
        unsigned n = 0;
        for (std::uint64_t v = value; v; v >>= 8) ++n;
        put(code & 0xF, 4);
        put(n, 4);
        for (unsigned i = n; i-- > 0;) RC(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    // Text of a release before R2007: the length, then the bytes.
    void TV(std::string_view raw) {
        BS(static_cast<std::uint16_t>(raw.size()));
        for (char c : raw) RC(static_cast<std::uint8_t>(c));
    }
    // R2007+ text: UTF-16LE units (already converted), their count first.
    void TU(const std::vector<std::uint16_t>& units) {
        BS(static_cast<std::uint16_t>(units.size()));
        for (std::uint16_t u : units) RS(u);
    }

    // Bits [from, to) of data, exactly as they are.
    void copy(const std::uint8_t* data, std::uint64_t from, std::uint64_t to);
    void copy(const BitWriter& other) { copy(other.buf_.data(), 0, other.bits_); }
    // Zero bits up to the next byte boundary.
    void padToByte() {
        if (bits_ & 7) put(0, 8 - static_cast<unsigned>(bits_ & 7));
    }
    // Overwrites bits [at, at + n) with value (the range must exist).
    void overwrite(std::uint64_t at, std::uint64_t value, unsigned n);

private:
    std::vector<std::uint8_t> buf_;
    std::uint64_t bits_ = 0;
};

// Byte-level encodings outside the bit streams.
void appendMS(std::string& out, std::uint32_t v);    // modular short
void appendMC(std::string& out, std::uint64_t v);    // unsigned modular char
void appendMCs(std::string& out, std::int64_t v);    // signed modular char
void appendLE(std::string& out, std::uint64_t v, unsigned bytes);
void putLE(std::uint8_t* p, std::uint64_t v, unsigned bytes);

// UTF-8 to UTF-16 units (invalid bytes become U+FFFD).
std::vector<std::uint16_t> utf8ToUtf16(std::string_view s);

}  // namespace dxf::dwg
