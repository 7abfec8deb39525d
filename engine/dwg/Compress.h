#pragma once
// Compression of R2004-family pages (the reverse of decompressR2004).
#include <cstdint>
#include <string>

namespace dxf::dwg {

// One page compressed (terminator 11 00 00 included), checked by
// decompressing it again. Fewer than four bytes are padded to four.
std::string compressR2004(const std::uint8_t* in, std::size_t n);

// The same bytes as a single literal run: valid for any input, no smaller.
std::string compressLiteral(const std::uint8_t* in, std::size_t n);

}  // namespace dxf::dwg
