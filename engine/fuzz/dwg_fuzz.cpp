// libFuzzer target for the DWG reader and writer.
//
// The first byte picks what the rest feeds:
//   0  a whole file, through Drawing (container, maps, objects, groups),
//      then a rename written out;
//   1  the same, after the CRCs of an R2000 file are made to match again,
//      so that mutations reach the object decoders behind the checks;
//   2  the R2004 page decompressor alone;
//   3  the bit-code reader, driven as a small opcode interpreter;
//   4  layer edits on a whole file: a count, that many edit bytes, then the
//      file (seed with corpus DWGs behind "\x04\x00");
//   5  the R2007 page decompressor alone (two bytes of output size, then
//      the stream).
// Whatever the input: no crash, no hang, no unbounded allocation; what the
// writer writes reads back with the same layers, or the save is refused.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/Drawing.h"
#include "engine/dwg/BitReader.h"
#include "engine/dwg/Checksum.h"
#include "engine/dwg/Container.h"

namespace {

std::vector<std::string> layerNames(dxf::Drawing& d) {
    std::vector<std::string> out;
    for (const dxf::Layer& l : d.layers()) out.push_back(l.name());
    return out;
}

// The drawing as the writer writes it must read back with the same layers;
// the writer may refuse (EngineError), never write something else.
void writtenBack(dxf::Drawing& d) {
    std::string bytes;
    try {
        bytes = d.serialize();
    } catch (const dxf::EngineError&) {
        return;
    }
    std::unique_ptr<dxf::Drawing> back;
    try {
        back = dxf::Drawing::fromBytes(bytes, "/nonexistent/fuzz-back.dwg");
    } catch (const dxf::EngineError&) {
        std::abort();  // written, but not readable
    }
    if (layerNames(*back) != layerNames(d) || back->activeLayer().name() != d.activeLayer().name()) std::abort();
}

void exercise(dxf::Drawing& d) {
    for (const dxf::Layer& l : d.layers()) {
        (void)l.name();
        (void)l.color();
        (void)l.plotStyleName();
        (void)l.linetype();
        (void)d.layerUsage(l);
    }
    (void)d.layouts();
    (void)d.linetypes();
    for (const dxf::Entity& e : d.selectAll({})) {
        (void)e.objectName();
        (void)e.layer();
        (void)e.groups();
        try {
            (void)e.boundingBox();
        } catch (const dxf::EngineError&) {
        }
        if (e.type() == "INSERT") (void)e.attributes();
    }
    for (const dxf::Block& b : d.blocks()) (void)b.entities().size();
    try {
        if (d.layerCount() > 1) d.layerAt(1).setName("FUZZ_RENAMED");
    } catch (const dxf::EngineError&) {
    }
    writtenBack(d);
}

void open(const std::string& bytes) {
    try {
        auto d = dxf::Drawing::fromBytes(bytes, "/nonexistent/fuzz.dwg");
        exercise(*d);
    } catch (const dxf::EngineError&) {
    }
}

std::uint32_t le32(const std::string& s, std::size_t at) {
    if (at + 4 > s.size()) return 0;
    const auto* p = reinterpret_cast<const std::uint8_t*>(s.data() + at);
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void putCrc(std::string& s, std::size_t at, std::uint16_t crc, bool bigEndian = false) {
    if (at + 2 > s.size()) return;
    s[at] = static_cast<char>(bigEndian ? crc >> 8 : crc & 0xFF);
    s[at + 1] = static_cast<char>(bigEndian ? crc & 0xFF : crc >> 8);
}

const std::uint8_t* u8(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

// Recomputes the CRCs of an R2000 file wherever its structure can be followed.
void fixR2000Crcs(std::string& s) {
    if (s.size() < 0x100 || s.compare(0, 6, "AC1015") != 0) return;
    std::uint32_t n = le32(s, 0x15);
    if (n == 0 || n > 16) return;
    std::size_t end = 0x19 + 9ull * n;
    putCrc(s, end, dxf::dwg::crc16(dxf::dwg::kCrc16Seed, u8(s), end));
    for (std::uint32_t i = 0; i < n; ++i) {
        std::size_t rec = 0x19 + 9 * i;
        std::uint8_t id = static_cast<std::uint8_t>(s[rec]);
        std::uint32_t off = le32(s, rec + 1), size = le32(s, rec + 5);
        if (off > s.size() || size > s.size() - off) continue;
        if (id == 0 || id == 1) {  // sentinel, RL size, data, CRC
            std::uint32_t len = le32(s, off + 16);
            if (off + 20ull + len + 2 <= s.size())
                putCrc(s, off + 20 + len, dxf::dwg::crc16(dxf::dwg::kCrc16Seed, u8(s) + off + 16, 4 + len));
        } else if (id == 2) {  // object map chunks, then the objects they list
            std::size_t pos = off;
            for (int guard = 0; guard < 4096 && pos + 4 <= off + size && pos + 4 <= s.size(); ++guard) {
                std::size_t len = (static_cast<std::uint8_t>(s[pos]) << 8) | static_cast<std::uint8_t>(s[pos + 1]);
                if (len < 2 || pos + len + 2 > s.size()) break;
                putCrc(s, pos + len, dxf::dwg::crc16(dxf::dwg::kCrc16Seed, u8(s) + pos, len), true);
                if (len == 2) break;
                try {
                    dxf::dwg::BitReader b(u8(s), (pos + 2) * 8, (pos + len) * 8);
                    std::int64_t at = 0;
                    while (b.remaining() >= 8) {
                        b.MC();
                        at += b.MCs();
                        if (at < 0 || static_cast<std::uint64_t>(at) + 4 > s.size()) break;
                        dxf::dwg::BitReader ms(u8(s), static_cast<std::uint64_t>(at) * 8, s.size() * 8ull);
                        std::uint32_t osize = ms.MS();
                        std::size_t head = ms.pos() / 8 - static_cast<std::size_t>(at);
                        if (static_cast<std::size_t>(at) + head + osize + 2 <= s.size())
                            putCrc(s, static_cast<std::size_t>(at) + head + osize,
                                   dxf::dwg::crc16(dxf::dwg::kCrc16Seed, u8(s) + at, head + osize));
                    }
                } catch (const dxf::dwg::BitOverrun&) {
                }
                pos += len + 2;
            }
        }
    }
}

void decompress(const std::string& in) {
    if (in.size() < 2) return;
    std::size_t cap = (static_cast<std::uint8_t>(in[0]) << 8 | static_cast<std::uint8_t>(in[1])) % 0x7401;
    std::vector<std::uint8_t> out(cap ? cap : 1);
    try {
        std::size_t got = dxf::dwg::decompressR2004(u8(in) + 2, in.size() - 2, out.data(), cap, 0);
        if (got > cap) std::abort();
    } catch (const dxf::dwg::FormatError&) {
    }
}

void decompress2007(const std::string& in) {
    if (in.size() < 2) return;
    std::size_t cap = static_cast<std::uint8_t>(in[0]) << 8 | static_cast<std::uint8_t>(in[1]);
    std::vector<std::uint8_t> out(cap ? cap : 1);
    try {
        std::size_t got = dxf::dwg::decompressR2007(u8(in) + 2, in.size() - 2, out.data(), cap, 0);
        if (got > cap) std::abort();
    } catch (const dxf::dwg::FormatError&) {
    }
}

void bitCodes(const std::string& in) {
    if (in.size() < 2) return;
    std::size_t split = std::min<std::size_t>(static_cast<std::uint8_t>(in[0]), in.size() - 1);
    const std::uint8_t* ops = u8(in) + 1;
    dxf::dwg::BitReader b(u8(in) + 1 + split, 0, (in.size() - 1 - split) * 8ull);
    try {
        for (std::size_t i = 0; i < split; ++i) {
            switch (ops[i] % 20) {
            case 0: b.B(); break;
            case 1: b.BB(); break;
            case 2: b.BS(); break;
            case 3: b.BL(); break;
            case 4: b.BLL(); break;
            case 5: b.BD(); break;
            case 6: b.DD(1.5); break;
            case 7: b.BT(); break;
            case 8: b.BE(); break;
            case 9: b.MC(); break;
            case 10: b.MCs(); break;
            case 11: b.MS(); break;
            case 12: b.H(); break;
            case 13: b.TV(); break;
            case 14: b.TU(); break;
            case 15: b.OT(); break;
            case 16: b.RD(); break;
            case 17: b.RLL(); break;
            case 18: b.bits(ops[i] % 33); break;
            default: b.skip(ops[i] % 7); break;
            }
            if (b.pos() > b.end()) std::abort();
        }
    } catch (const dxf::dwg::BitOverrun&) {
    }
}

void editAndWrite(const std::string& in) {
    if (in.size() < 2) return;
    const std::size_t n = std::min<std::size_t>(static_cast<std::uint8_t>(in[0]), in.size() - 1);
    const std::string ops = in.substr(1, n);
    std::unique_ptr<dxf::Drawing> d;
    try {
        d = dxf::Drawing::fromBytes(in.substr(1 + n), "/nonexistent/fuzz.dwg");
    } catch (const dxf::EngineError&) {
        return;
    }
    static const char* const names[] = {"A-WALL", "壁", "x", "TMP_1", "with space", "ﾊﾝｶｸ"};
    for (std::size_t i = 0; i < ops.size(); ++i) {
        const auto op = static_cast<std::uint8_t>(ops[i]);
        const std::vector<dxf::Layer> layers = d->layers();
        if (layers.empty()) break;
        dxf::Layer l = layers[op % layers.size()];
        dxf::Layer m = layers[(op >> 3) % layers.size()];
        const std::string fresh = std::string(names[op % 6]) + std::to_string(i);
        try {
            switch ((op >> 4) % 9) {
            case 0: l.setName(fresh); break;
            case 1: d->mergeLayer(l.name(), m.name()); break;
            case 2: l.setLayerOn(op & 1); break;
            case 3: l.setFreeze(op & 1); break;
            case 4: l.setColor(1 + op); break;
            case 5: d->addLayer(fresh); break;
            case 6: l.remove(); break;
            case 7: d->setActiveLayer(l); break;
            default: d->purgeAll(); break;
            }
        } catch (const dxf::EngineError&) {
        }
    }
    writtenBack(*d);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 6) {
    case 0: open(rest); break;
    case 1:
        fixR2000Crcs(rest);
        open(rest);
        break;
    case 2: decompress(rest); break;
    case 3: bitCodes(rest); break;
    case 5: decompress2007(rest); break;
    default: editAndWrite(rest); break;
    }
    return 0;
}
