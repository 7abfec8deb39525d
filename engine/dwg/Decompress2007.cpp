// The LZ77 variant of R2007 pages. Literal runs are stored with their bytes
// in a shuffled order (groups of eight and four swapped end for end); copies
// refer back into the output. Every read of the input and every write of the
// output is checked: a damaged stream is a FormatError, never a read or write
// outside the buffers.
#include <cstring>
#include <string>

#include "engine/dwg/Container.h"

namespace dxf::dwg {

namespace {

// Where the bytes of a literal run of n < 32 bytes go: output byte i is
// input byte kOrder[n][i]. Groups of eight and four keep their order inside,
// the groups and single bytes are stored end for end.
constexpr std::uint8_t kOrder[32][31] = {
    {},
    {0},
    {1, 0},
    {2, 1, 0},
    {0, 1, 2, 3},
    {4, 0, 1, 2, 3},
    {5, 1, 2, 3, 4, 0},
    {6, 5, 1, 2, 3, 4, 0},
    {0, 1, 2, 3, 4, 5, 6, 7},
    {8, 0, 1, 2, 3, 4, 5, 6, 7},
    {9, 1, 2, 3, 4, 5, 6, 7, 8, 0},
    {10, 9, 1, 2, 3, 4, 5, 6, 7, 8, 0},
    {8, 9, 10, 11, 0, 1, 2, 3, 4, 5, 6, 7},
    {12, 8, 9, 10, 11, 0, 1, 2, 3, 4, 5, 6, 7},
    {13, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6, 7, 8, 0},
    {14, 13, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6, 7, 8, 0},
    {8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {9, 10, 11, 12, 13, 14, 15, 16, 8, 0, 1, 2, 3, 4, 5, 6, 7},
    {17, 9, 10, 11, 12, 13, 14, 15, 16, 1, 2, 3, 4, 5, 6, 7, 8, 0},
    {18, 17, 16, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {16, 17, 18, 19, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {20, 16, 17, 18, 19, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {21, 20, 16, 17, 18, 19, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {22, 21, 20, 16, 17, 18, 19, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {16, 17, 18, 19, 20, 21, 22, 23, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {17, 18, 19, 20, 21, 22, 23, 24, 16, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {25, 17, 18, 19, 20, 21, 22, 23, 24, 16, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {26, 25, 17, 18, 19, 20, 21, 22, 23, 24, 16, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {24, 25, 26, 27, 16, 17, 18, 19, 20, 21, 22, 23, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {28, 24, 25, 26, 27, 16, 17, 18, 19, 20, 21, 22, 23, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {29, 28, 24, 25, 26, 27, 16, 17, 18, 19, 20, 21, 22, 23, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7},
    {30, 26, 27, 28, 29, 18, 19, 20, 21, 22, 23, 24, 25, 10, 11, 12, 13, 14, 15, 16, 17, 2, 3, 4, 5, 6, 7, 8, 9, 1, 0},
};

class Lz7 {
public:
    Lz7(const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t cap, std::uint64_t at)
        : in_(in), n_(n), out_(out), cap_(cap), at_(at) {}

    std::size_t run() {
        if (n_ == 0) return 0;
        unsigned op = next();
        std::size_t len = 0;
        if ((op & 0xF0) == 0x20) {
            need(2);
            pos_ += 2;
            len = next() & 7;
        }
        while (pos_ < n_) {
            if (len == 0) len = litLength(op);
            literal(len);
            len = 0;
            if (pos_ >= n_) break;
            op = next();
            std::size_t off = 0;
            instruction(op, off, len);
            for (;;) {
                copy(off, len);
                len = op & 7;
                if (len != 0 || pos_ >= n_) break;
                op = next();
                if ((op >> 4) == 0) break;
                if ((op >> 4) == 15) op &= 15;
                instruction(op, off, len);
            }
        }
        return produced_;
    }

private:
    [[noreturn]] void fail(const char* why) const {
        throw FormatError(at_ + pos_, std::string("compressed page is damaged: ") + why);
    }
    void need(std::size_t k) const {
        if (k > n_ - pos_) fail("it ends early");
    }
    unsigned next() {
        need(1);
        return in_[pos_++];
    }
    std::size_t litLength(unsigned op) {
        std::size_t len = op + 8;
        if (len == 0x17) {
            unsigned b = next();
            len += b;
            if (b == 0xFF) {
                do {
                    b = next();
                    b |= next() << 8;
                    len += b;
                } while (b == 0xFFFF);
            }
        }
        return len;
    }
    void instruction(unsigned& op, std::size_t& off, std::size_t& len) {
        switch (op >> 4) {
        case 0:
            len = (op & 0xF) + 0x13;
            off = next();
            op = next();
            len += (op >> 3) & 0x10;
            off += ((op & 0x78) << 5) + 1;
            break;
        case 1:
            len = (op & 0xF) + 3;
            off = next();
            op = next();
            off += ((op & 0xF8) << 5) + 1;
            break;
        case 2:
            off = next();
            off |= next() << 8;
            len = op & 7;
            if ((op & 8) == 0) {
                op = next();
                len += op & 0xF8;
            } else {
                ++off;
                len += static_cast<std::size_t>(next()) << 3;
                op = next();
                len += (static_cast<std::size_t>(op & 0xF8) << 8) + 0x100;
            }
            break;
        default:
            len = op >> 4;
            off = op & 15;
            op = next();
            off += ((op & 0xF8) << 1) + 1;
            break;
        }
    }
    void copy(std::size_t off, std::size_t len) {
        if (off == 0 || off > produced_) fail("a copy reaches before the start");
        if (len > cap_ - produced_) fail("it decompresses to more than the page holds");
        // Byte by byte: source and destination may overlap.
        for (std::size_t i = 0; i < len; ++i, ++produced_) out_[produced_] = out_[produced_ - off];
    }
    void literal(std::size_t len) {
        need(len);
        if (len > cap_ - produced_) fail("it decompresses to more than the page holds");
        const std::uint8_t* s = in_ + pos_;
        std::uint8_t* d = out_ + produced_;
        pos_ += len;
        produced_ += len;
        for (; len >= 32; len -= 32, s += 32, d += 32)
            for (int g = 0; g < 4; ++g) std::memcpy(d + 8 * g, s + 24 - 8 * g, 8);
        if (len == 0) return;
        for (std::size_t i = 0; i < len; ++i) d[i] = s[kOrder[len][i]];
    }

    const std::uint8_t* in_;
    std::size_t n_;
    std::uint8_t* out_;
    std::size_t cap_;
    std::uint64_t at_;
    std::size_t pos_ = 0, produced_ = 0;
};

}  // namespace

std::size_t decompressR2007(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t cap,
                            std::uint64_t fileOffset) {
    return Lz7(in, inSize, out, cap, fileOffset).run();
}

}  // namespace dxf::dwg
