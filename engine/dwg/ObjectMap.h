#pragma once
// Writing the object map: (handle, offset) pairs in handle order, as
// differences in modular chars, cut into chunks that each carry their size
// and a CRC; an empty chunk ends the map.
//
// Writers cut chunks differently (2032, 2033, 2034 bytes and odd splits are
// all seen), so a rewritten map keeps the chunks of the map it replaces: a
// chunk starts at the same handle as before and holds at most as many bytes
// as before (at least 2032). New handles go to the end, in chunks of at most
// 2032 bytes. An unchanged object set in unchanged places gives the same map.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/dwg/Container.h"

namespace dxf::dwg {

struct MapEntry {
    std::uint64_t handle = 0;
    std::uint64_t offset = 0;
};

// The first handle and the size of each chunk of a map as stored.
struct MapChunk {
    std::uint64_t firstHandle = 0;
    std::size_t size = 0;
};
std::vector<MapChunk> mapChunks(const SectionBytes& map);

// entries must be in ascending handle order.
std::string encodeMap(const std::vector<MapEntry>& entries, const std::vector<MapChunk>& layout);

}  // namespace dxf::dwg
