#pragma once
// Helpers shared by the readers of the header, classes and objects.
#include <cstdint>

#include "engine/dwg/BitReader.h"
#include "engine/dwg/Container.h"

namespace dxf::dwg {

inline const std::uint8_t* kHeaderStart() {
    static const std::uint8_t s[16] = {0xCF, 0x7B, 0x1F, 0x23, 0xFD, 0xDE, 0x38, 0xA9,
                                       0x5F, 0x7C, 0x68, 0xB8, 0x4E, 0x6D, 0x33, 0x5F};
    return s;
}
inline const std::uint8_t* kClassesStart() {
    static const std::uint8_t s[16] = {0x8D, 0xA1, 0xC4, 0xB8, 0xC4, 0xA9, 0xF8, 0xC5,
                                       0xC0, 0xDC, 0xF4, 0x5F, 0xE7, 0xCF, 0xB6, 0x8A};
    return s;
}

// The data of a header or classes section, after its sentinel and size and
// with its CRC checked.
struct Framed {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};
Framed framed(const Container& c, const SectionBytes& s, const std::uint8_t* sentinel, const char* what);

// R2007+: the string stream of a bit stream whose data ends at bit e (where
// the handle stream starts). An empty reader when the stream has no strings.
BitReader stringStream(const std::uint8_t* p, std::uint64_t e, std::uint64_t dataStart);

}  // namespace dxf::dwg
