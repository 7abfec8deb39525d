// Object stream pages decompressed on demand, with a cache of two pages and
// two page-crossing objects.
#include "engine/dwg/ObjectStream.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace dxf::dwg {

namespace {

std::uint32_t le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Decompresses (or copies) one data page of `s` into out (s.maxPageSize
// bytes); `want` of them must come out. The page's checksums were checked
// when the container was read.
void decodePage(std::string_view file, const SectionDesc& s, const SectionPage& pg, std::size_t want,
                std::uint8_t* out) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(file.data());
    const std::uint64_t at = pg.address;
    const std::uint32_t mask = 0x4164536B ^ static_cast<std::uint32_t>(at);
    const std::uint32_t csize = le32(b + at + 8) ^ mask;
    if (csize > file.size() - at - 32) throw FormatError(at, "page of " + s.name + " is truncated");
    if (s.compressed) {
        const std::size_t got = decompressR2004(b + at + 32, csize, out, s.maxPageSize, at + 32);
        if (got < want) throw FormatError(at, "page of " + s.name + " decompresses to fewer bytes than its section needs");
    } else {
        if (csize < want) throw FormatError(at, "page of " + s.name + " is shorter than its section needs");
        std::memcpy(out, b + at + 32, want);
    }
}

}  // namespace

ObjectStream::ObjectStream(const SectionBytes& plain) : plain_(plain.data), size_(plain.size) {}

ObjectStream::ObjectStream(std::string_view file, const SectionDesc& s)
    : size_(s.size), file_(file), pageSize_(s.maxPageSize), section_(s) {
    if (pageSize_ == 0) throw FormatError(0, "section " + s.name + ": invalid page size");
    pages_.assign(static_cast<std::size_t>((size_ + pageSize_ - 1) / pageSize_), -1);
    bool aligned = true;
    for (std::size_t i = 0; i < s.pages.size(); ++i) {
        const SectionPage& pg = s.pages[i];
        const std::uint64_t k = pg.startOffset / pageSize_;
        if (pg.startOffset % pageSize_ || k >= pages_.size() || pages_[k] >= 0) aligned = false;
        else pages_[k] = static_cast<std::int32_t>(i);
    }
    if (aligned) {
        seen_.assign(pages_.size(), false);
        return;
    }
    // Pages that do not tile the section: it is decompressed whole.
    pages_.clear();
    auto& whole = whole_;
    whole.assign(static_cast<std::size_t>(size_ ? size_ : 1), 0);
    std::vector<std::uint8_t> page(static_cast<std::size_t>(pageSize_));
    for (const SectionPage& pg : s.pages) {
        if (pg.startOffset > size_) throw FormatError(pg.address, "page of " + s.name + ": inconsistent offset");
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(pageSize_, size_ - pg.startOffset));
        decodePage(file, s, pg, want, page.data());
        std::memcpy(whole.data() + pg.startOffset, page.data(), want);
    }
    plain_ = whole.data();
}

const std::uint8_t* ObjectStream::page(std::size_t k, const Slot* keep) const {
    Slot* free = nullptr;
    for (Slot& s : pageSlots_) {
        if (s.page == static_cast<std::int64_t>(k)) {
            s.used = ++clock_;
            return s.bytes.data();
        }
        if (&s != keep && (!free || s.used < free->used)) free = &s;
    }
    free->page = -1;
    free->bytes.resize(static_cast<std::size_t>(pageSize_));
    const std::uint64_t start = k * pageSize_;
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(pageSize_, size_ - start));
    if (pages_[k] >= 0) decodePage(file_, section_, section_.pages[static_cast<std::size_t>(pages_[k])], want, free->bytes.data());
    else std::fill(free->bytes.begin(), free->bytes.end(), 0);
    seen_[k] = true;
    free->page = static_cast<std::int64_t>(k);
    free->used = ++clock_;
    return free->bytes.data();
}

std::size_t ObjectStream::runAt(std::uint64_t offset) const {
    if (plain_ || offset >= size_) return static_cast<std::size_t>(size_ - std::min(offset, size_));
    const std::uint64_t end = std::min(size_, (offset / pageSize_ + 1) * pageSize_);
    return static_cast<std::size_t>(end - offset);
}

const std::uint8_t* ObjectStream::read(std::uint64_t offset, std::size_t n) const {
    if (plain_) return plain_ + offset;
    const std::size_t k = static_cast<std::size_t>(offset / pageSize_);
    const std::uint64_t inPage = offset - k * pageSize_;
    if (inPage + n <= pageSize_) return page(k) + inPage;
    // Crossing pages: the bytes go together into a span slot.
    Slot* free = &spanSlots_[0];
    for (Slot& s : spanSlots_) {
        if (s.page >= 0 && offset >= s.spanOffset && offset + n <= s.spanOffset + s.spanSize) {
            s.used = ++clock_;
            return s.bytes.data() + (offset - s.spanOffset);
        }
        if (s.used < free->used) free = &s;
    }
    free->page = -1;
    // Exactly the object's size: a large object's buffer is not kept for small ones.
    if (free->bytes.capacity() < n || free->bytes.capacity() > std::max<std::size_t>(n, pageSize_) * 2)
        std::vector<std::uint8_t>(n).swap(free->bytes);
    else
        free->bytes.resize(n);
    // The page read last stays, so that bytes given out just before remain valid.
    const Slot* last = pageSlots_[0].used > pageSlots_[1].used ? &pageSlots_[0] : &pageSlots_[1];
    for (std::size_t done = 0; done < n;) {
        const std::uint64_t at = offset + done;
        const std::size_t take = std::min(n - done, runAt(at));
        std::memcpy(free->bytes.data() + done, page(static_cast<std::size_t>(at / pageSize_), last) + (at % pageSize_), take);
        done += take;
    }
    free->page = 0;
    free->spanOffset = offset;
    free->spanSize = n;
    free->used = ++clock_;
    return free->bytes.data();
}

std::size_t ObjectStream::cachedBytes() const {
    std::size_t n = whole_.capacity();
    for (const Slot& s : pageSlots_) n += s.bytes.capacity();
    for (const Slot& s : spanSlots_) n += s.bytes.capacity();
    return n;
}

void ObjectStream::release() const {
    for (Slot* group : {pageSlots_, spanSlots_})
        for (int i = 0; i < 2; ++i) {
            group[i].page = -1;
            group[i].used = 0;
            std::vector<std::uint8_t>().swap(group[i].bytes);
        }
}

void ObjectStream::checkAllPages() const {
    if (plain_) return;
    for (std::size_t k = 0; k < pages_.size(); ++k)
        if (!seen_[k]) page(k);
}

}  // namespace dxf::dwg
