#pragma once
// The bytes of the object stream. AC1015 and earlier keep their objects in
// the file itself, so the stream is a view into it. R2004 and later cut the
// stream into compressed pages; holding them all decompressed would cost
// several times the file, so pages are decompressed when their bytes are
// asked for and only the two used last are kept. An object that crosses a
// page boundary is copied together into a buffer of its own.
//
// A pointer from read() stays valid until bytes of two other pages (or two
// other crossing objects) have been asked for: read what you need from one
// object before moving on to others. Not for use from several threads at once.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/dwg/Container.h"

namespace dxf::dwg {

class ObjectStream {
public:
    ObjectStream() = default;
    // The objects lie in memory as they are (AC1015 and earlier).
    explicit ObjectStream(const SectionBytes& plain);
    // The pages of a compressed section of `file` (which must outlive this).
    ObjectStream(std::string_view file, const SectionDesc& section);
    ObjectStream(const ObjectStream&) = delete;
    ObjectStream& operator=(const ObjectStream&) = delete;

    std::uint64_t size() const { return size_; }
    // n bytes from `offset`, in one piece; throws FormatError when a page
    // does not decompress. offset + n must not pass size().
    const std::uint8_t* read(std::uint64_t offset, std::size_t n) const;
    // How many bytes from `offset` lie in the same page (at least 1 while
    // offset < size()), so that long runs can be copied a page at a time.
    std::size_t runAt(std::uint64_t offset) const;
    // Decompresses every page not yet read, so that a damaged one is found
    // while the drawing opens rather than when it is saved.
    void checkAllPages() const;
    // Bytes held decompressed (pages and crossing objects) right now.
    std::size_t cachedBytes() const;
    // Frees what is held decompressed. Every pointer read() gave is invalid
    // after it: call it only where no reader of an object is alive.
    void release() const;

private:
    struct Slot {
        std::int64_t page = -1;  // index into pages_ (or a span's offset)
        std::uint64_t spanOffset = 0;
        std::size_t spanSize = 0;
        std::vector<std::uint8_t> bytes;
        std::uint64_t used = 0;
    };
    // A page's bytes; the slot `keep` is not reused for it.
    const std::uint8_t* page(std::size_t index, const Slot* keep = nullptr) const;

    const std::uint8_t* plain_ = nullptr;
    std::uint64_t size_ = 0;
    std::string_view file_;
    std::uint64_t pageSize_ = 0;
    SectionDesc section_;
    std::vector<std::int32_t> pages_;  // by offset / pageSize_: index into section_.pages (-1: none, zeros)
    std::vector<std::uint8_t> whole_;  // pages that do not tile the section, decompressed together
    mutable std::vector<bool> seen_;
    mutable Slot pageSlots_[2];
    mutable Slot spanSlots_[2];
    mutable std::uint64_t clock_ = 0;
};

}  // namespace dxf::dwg
