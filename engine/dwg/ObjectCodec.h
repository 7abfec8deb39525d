#pragma once
// Re-encoding single objects. An object is a size (MS, plus from R2010 on the
// size of its handle stream in bits, MC), a bit stream and a CRC-16. Its bit
// stream holds three parts an edit may change separately:
//
//   data     type, [R2000-R2004: bitsize], own handle, extended data, common
//            data, the type's fields
//   strings  R2007+: the text fields, followed by their length and a flag
//   handles  references to other objects, then padding to a byte
//
// split() cuts an object into these parts and assemble() puts them back with
// the sizes, the bitsize and the CRC made good; an object split and assembled
// unchanged comes out byte for byte as it was.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/dwg/BitWriter.h"
#include "engine/dwg/Document.h"

namespace dxf::dwg {

struct ObjectParts {
    BitWriter data;
    BitWriter strings;
    bool stringFlag = false;  // R2007+: the flag bit before the handle stream
    bool longLength = false;  // R2007+: the string length took two shorts
    BitWriter handles;
};

// The parts of an object as it is in the file.
ObjectParts split(const Document& d, const ObjectInfo& o);

// The object's bytes (MS, [MC], stream, CRC) from its parts. The data part
// must start with the object type as the release writes it.
std::string assemble(Release r, const ObjectParts& parts);

// The object's bytes as stored (MS through CRC).
std::string rawObject(const Document& d, const ObjectInfo& o);

// One reference of an object's handle stream to replace or drop. `bit` is
// where the reference starts (bits from the stream start); the reference
// there is read again, so only its position is needed.
struct HandleEdit {
    std::uint64_t bit = 0;
    bool drop = false;
    unsigned code = 5;
    std::uint64_t value = 0;
};

// The object with those references replaced (code and value, fewest bytes)
// or dropped; everything else keeps its bits. Edits must lie in the handle
// stream; they are applied in order of position.
std::string editHandles(const Document& d, const ObjectInfo& o, std::vector<HandleEdit> edits);

// Where each reference of an object's handle stream starts, from `from` to
// the end of the stream (stops before padding or at what cannot be a handle).
struct HandleAt {
    std::uint64_t bit = 0;
    HandleRef ref;
};
std::vector<HandleAt> handlesOf(const Document& d, const ObjectInfo& o, std::uint64_t from);

}  // namespace dxf::dwg
