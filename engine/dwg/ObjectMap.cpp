#include "engine/dwg/ObjectMap.h"

#include "engine/dwg/BitReader.h"
#include "engine/dwg/BitWriter.h"
#include "engine/dwg/Checksum.h"

namespace dxf::dwg {

namespace {
constexpr std::size_t kChunkLimit = 2032;
}

std::vector<MapChunk> mapChunks(const SectionBytes& map) {
    std::vector<MapChunk> out;
    std::size_t pos = 0;
    while (map.size - pos >= 2) {
        const std::size_t size = (map.data[pos] << 8) | map.data[pos + 1];
        if (size <= 2 || size > map.size - pos) break;
        BitReader b(map.data, (pos + 2) * 8, (pos + size) * 8);
        MapChunk c;
        c.size = size;
        try {
            c.firstHandle = b.MC();
        } catch (const BitOverrun&) {
            break;
        }
        out.push_back(c);
        pos += size + 2;
    }
    return out;
}

std::string encodeMap(const std::vector<MapEntry>& entries, const std::vector<MapChunk>& layout) {
    std::string out;
    std::string chunk;
    std::uint64_t lastHandle = 0, lastOffset = 0;
    std::size_t limit = kChunkLimit;
    auto close = [&] {
        if (chunk.empty()) return;
        const std::size_t size = chunk.size() + 2;
        std::string framed;
        framed += static_cast<char>(size >> 8);
        framed += static_cast<char>(size & 0xFF);
        framed += chunk;
        const std::uint16_t crc = crc16(kCrc16Seed, reinterpret_cast<const std::uint8_t*>(framed.data()), framed.size());
        framed += static_cast<char>(crc >> 8);
        framed += static_cast<char>(crc & 0xFF);
        out += framed;
        chunk.clear();
    };
    std::size_t next = 0;  // the next chunk of the old layout
    std::string entry;
    for (const MapEntry& e : entries) {
        // A chunk of the old layout starts here: start it here again.
        bool boundary = false;
        while (next < layout.size() && e.handle >= layout[next].firstHandle) {
            limit = layout[next].size > kChunkLimit ? layout[next].size : kChunkLimit;
            ++next;
            boundary = true;
        }
        if (boundary) close();
        for (int attempt = 0; attempt < 2; ++attempt) {
            const bool fresh = chunk.empty();
            entry.clear();
            appendMC(entry, e.handle - (fresh ? 0 : lastHandle));
            appendMCs(entry, static_cast<std::int64_t>(e.offset) - static_cast<std::int64_t>(fresh ? 0 : lastOffset));
            if (fresh || chunk.size() + 2 + entry.size() <= limit) break;
            close();
            if (next >= layout.size()) limit = kChunkLimit;
        }
        chunk += entry;
        lastHandle = e.handle;
        lastOffset = e.offset;
    }
    close();
    // The empty chunk that ends the map.
    std::string end("\x00\x02", 2);
    const std::uint16_t crc = crc16(kCrc16Seed, reinterpret_cast<const std::uint8_t*>(end.data()), 2);
    end += static_cast<char>(crc >> 8);
    end += static_cast<char>(crc & 0xFF);
    return out + end;
}

}  // namespace dxf::dwg
