#pragma once
// The integrity checks of the DWG format.
#include <cstddef>
#include <cstdint>

namespace dxf::dwg {

// CRC-16 with the reflected 0x8005 polynomial; DWG always seeds it with 0xC0C1.
std::uint16_t crc16(std::uint16_t seed, const std::uint8_t* p, std::size_t n);
constexpr std::uint16_t kCrc16Seed = 0xC0C1;

// CRC-32 with the zlib polynomial (R2004 encrypted header).
std::uint32_t crc32(std::uint32_t seed, const std::uint8_t* p, std::size_t n);

// The R2004 page checksum: Adler-32 arithmetic from a given start value.
std::uint32_t pageChecksum(std::uint32_t seed, const std::uint8_t* p, std::size_t n);

}  // namespace dxf::dwg
