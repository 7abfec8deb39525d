// The LZ77 variant of R2004-family pages. Every read of the input and every
// write of the output is checked: a damaged stream is a FormatError, never a
// read or write outside the buffers.
#include <algorithm>
#include <cstring>
#include <string>

#include "engine/dwg/Container.h"

namespace dxf::dwg {

namespace {

class Lz {
public:
    Lz(const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t cap, std::uint64_t at)
        : in_(in), n_(n), out_(out), cap_(cap), at_(at) {}

    std::size_t run() {
        unsigned op = next();
        if (op < 0x10) {
            literal(litLength(op));
            op = next();
        }
        for (;;) {
            if (op == 0x11) return produced_;
            std::size_t len, off, lits;
            if (op >= 0x40) {
                len = (op >> 4) - 1;
                unsigned b = next();
                off = ((b << 2) | ((op >> 2) & 3)) + 1;
                lits = op & 3;
            } else if (op >= 0x20) {
                len = longLength(op, 0x1F);
                unsigned b1 = next(), b2 = next();
                off = ((b2 << 6) | (b1 >> 2)) + 1;
                lits = b1 & 3;
            } else if (op >= 0x10) {
                len = longLength(op, 0x07);
                unsigned b1 = next(), b2 = next();
                off = (((op & 8) << 11) | (b2 << 6) | (b1 >> 2)) + 0x4000;
                lits = b1 & 3;
            } else {
                fail("invalid opcode in compressed data");
            }
            copyBack(off, len);
            if (lits) {
                literal(lits);
                op = next();
            } else {
                op = next();
                if (op < 0x10) {
                    literal(litLength(op));
                    op = next();
                }
            }
        }
    }

private:
    [[noreturn]] void fail(const char* why) const { throw FormatError(at_ + pos_, why); }
    unsigned next() {
        if (pos_ >= n_) fail("compressed data ends early");
        return in_[pos_++];
    }
    std::size_t litLength(unsigned x) {
        if (x != 0) return x + 3;
        std::size_t n = 0x0F;
        unsigned b;
        while ((b = next()) == 0) n += 0xFF;
        return n + b + 3;
    }
    std::size_t longLength(unsigned op, unsigned mask) {
        std::size_t n = op & mask;
        if (n) return n + 2;
        n = mask;
        unsigned b;
        while ((b = next()) == 0) n += 0xFF;
        return n + b + 2;
    }
    void literal(std::size_t k) {
        if (k > n_ - pos_) fail("literal run past the end of the compressed data");
        if (k > cap_ - produced_) fail("decompressed data larger than its page");
        // Short runs copy a fixed 16 bytes where both buffers have room: the
        // bytes past the run are written over by what follows.
        if (k <= 16 && n_ - pos_ >= 16 && cap_ - produced_ >= 16) std::memcpy(out_ + produced_, in_ + pos_, 16);
        else std::memcpy(out_ + produced_, in_ + pos_, k);
        produced_ += k;
        pos_ += k;
    }
    void copyBack(std::size_t off, std::size_t len) {
        if (off > produced_) fail("back reference before the start of the page");
        if (len > cap_ - produced_) fail("decompressed data larger than its page");
        if (off >= 16 && len <= 16 && cap_ - produced_ >= 16) {
            std::memcpy(out_ + produced_, out_ + produced_ - off, 16);  // as short literal runs
            produced_ += len;
            return;
        }
        if (off >= len) {
            std::memcpy(out_ + produced_, out_ + produced_ - off, len);
            produced_ += len;
            return;
        }
        // Source and destination overlap: the last `off` bytes repeat. Each
        // copy takes the whole pattern written so far, so copies do not
        // overlap and double in size.
        const std::size_t from = produced_ - off;
        while (len) {
            const std::size_t n = std::min(produced_ - from, len);
            std::memcpy(out_ + produced_, out_ + from, n);
            produced_ += n;
            len -= n;
        }
    }

    const std::uint8_t* in_;
    std::size_t n_;
    std::uint8_t* out_;
    std::size_t cap_;
    std::uint64_t at_;
    std::size_t pos_ = 0;
    std::size_t produced_ = 0;
};

}  // namespace

std::size_t decompressR2004(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t cap,
                            std::uint64_t fileOffset) {
    return Lz(in, inSize, out, cap, fileOffset).run();
}

}  // namespace dxf::dwg
