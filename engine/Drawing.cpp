// The document: open, save atomically, collections and selection.
#include "engine/Drawing.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/DrawingData.h"
#include "engine/DwgSource.h"
#include "engine/FileSave.h"

namespace dxf {

namespace {

class FileOut : public dwg::Output {
public:
    explicit FileOut(FileWriter& writer) : writer_(writer) {}
    void write(const char* p, std::size_t n) override { writer_(p, n); }
    void patch(std::uint64_t at, const char* p, std::size_t n) override { writer_.patch(at, p, n); }

private:
    FileWriter& writer_;
};

class StringOut : public dwg::Output {
public:
    explicit StringOut(std::string& s) : s_(s) {}
    void write(const char* p, std::size_t n) override { s_.append(p, n); }
    void patch(std::uint64_t at, const char* p, std::size_t n) override { s_.replace(at, n, p, n); }

private:
    std::string& s_;
};

}  // namespace

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& o) noexcept {
    if (this == &o) return *this;
    if (map_) munmap(map_, mapCap_);
    str_ = std::move(o.str_);
    map_ = o.map_;
    mapSize_ = o.mapSize_;
    mapCap_ = o.mapCap_;
    o.map_ = nullptr;
    o.mapSize_ = o.mapCap_ = 0;
    return *this;
}

ByteBuffer::~ByteBuffer() {
    if (map_) munmap(map_, mapCap_);
}

ByteBuffer ByteBuffer::fromFile(const std::string& path) {
    // Not blocking: opening a FIFO or a device named like a drawing would
    // otherwise wait for a writer. Only a regular file is read.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw EngineError(err::kFileError, "cannot open " + path + ": " + std::strerror(errno));
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw EngineError(err::kFileError, "cannot open " + path + ": not a regular file");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    ByteBuffer b;
    std::size_t n = static_cast<std::size_t>(st.st_size);
    char* dst = nullptr;
    if (n >= (1u << 20)) {
        std::size_t cap = (n + (2u << 20) - 1) & ~static_cast<std::size_t>((2u << 20) - 1);
        void* m = mmap(nullptr, cap, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m != MAP_FAILED) {
            madvise(m, cap, MADV_HUGEPAGE);
            b.map_ = m;
            b.mapCap_ = cap;
            b.mapSize_ = n;
            dst = static_cast<char*>(m);
        }
    }
    if (!dst) {
        b.str_.resize(n);
        dst = b.str_.data();
    }
    std::size_t got = 0;
    while (got < n) {
        ssize_t r = ::read(fd, dst + got, n - got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            int e = r == 0 ? EIO : errno;
            ::close(fd);
            throw EngineError(err::kFileError, "cannot read " + path + ": " + std::strerror(e));
        }
        got += static_cast<std::size_t>(r);
    }
    ::close(fd);
    return b;
}

template <class Sink>
void DrawingData::emit(Sink&& sink) const {
    const char* b = bytes.data();
    std::size_t runBegin = 0, runEnd = 0;
    auto flush = [&] {
        if (runEnd > runBegin) sink(b + runBegin, runEnd - runBegin);
        runBegin = runEnd = 0;
    };
    auto writeRecord = [&](std::uint32_t r) {
        if (records[r].flags & kDeleted) return;
        std::string s = recordBytes(r);
        sink(s.data(), s.size());
    };
    // Records past the loaded ones are insertions; they are written where they were anchored.
    for (std::uint32_t r = 0; r < loadedRecords; ++r) {
        const Record& rec = records[r];
        if (rec.flags & kHasInserts) {
            flush();
            auto it = inserts.find(r);
            if (it != inserts.end())
                for (std::uint32_t ins : it->second) writeRecord(ins);
        }
        bool simple = rec.patch == kNone && !(rec.flags & (kDeleted | kLayerChanged)) &&
                      !(rec.slot != kNone && slots[rec.slot].renamed);
        if (simple) {
            if (runEnd != rec.off) {
                flush();
                runBegin = rec.off;
            }
            runEnd = rec.off + rec.len;
        } else {
            flush();
            writeRecord(r);
        }
    }
    flush();
}

Drawing::Drawing(std::unique_ptr<DrawingData> d) : d_(std::move(d)) {}
Drawing::~Drawing() = default;

static std::unique_ptr<DrawingData> loaded(ByteBuffer bytes, const std::string& path) {
    auto d = std::make_unique<DrawingData>();
    d->path = path;
    d->bytes = std::move(bytes);
    d->load();
    d->loadedRecords = static_cast<std::uint32_t>(d->records.size());
    return d;
}

std::unique_ptr<Drawing> Drawing::open(const std::string& path) {
    return std::unique_ptr<Drawing>(new Drawing(loaded(ByteBuffer::fromFile(path), path)));
}

std::unique_ptr<Drawing> Drawing::fromBytes(std::string bytes, const std::string& path) {
    return std::unique_ptr<Drawing>(new Drawing(loaded(ByteBuffer(std::move(bytes)), path)));
}

std::string Drawing::fullName() const { return d_->path; }

std::string Drawing::name() const {
    auto slash = d_->path.rfind('/');
    return slash == std::string::npos ? d_->path : d_->path.substr(slash + 1);
}

bool Drawing::dirty() const { return d_->dirty; }
std::string Drawing::version() const { return d_->acadver; }
Format Drawing::format() const { return d_->fmt.binary ? Format::Binary : Format::Ascii; }
std::string Drawing::codepage() const { return d_->codepage; }
bool Drawing::isDwg() const { return d_->dwg != nullptr; }

std::string Drawing::serialize() const {
    std::string out;
    if (d_->dwg) {
        StringOut o(out);
        writeDwgDrawing(*d_, o);
        return out;
    }
    out.reserve(d_->bytes.size() + 4096);
    d_->emit([&](const char* p, std::size_t n) { out.append(p, n); });
    return out;
}

void Drawing::save(const SaveOptions& options) {
    // An unchanged DWG is already on disk as it is: nothing is written.
    if (d_->dwg && !d_->dirty) return;
    saveAs(d_->path, options);
}

void Drawing::saveAs(const std::string& path, const SaveOptions& options) {
    saveFileAtomically(path, options.sync, [&](FileWriter& writer) {
        if (d_->dwg) {
            FileOut out(writer);
            writeDwgDrawing(*d_, out);
        } else {
            d_->emit(writer);
        }
    });
    d_->path = path;
    d_->dirty = false;
}

// ---- collections ----

std::vector<std::string> Drawing::linetypes() const {
    std::vector<std::string> out;
    for (std::uint32_t r : d_->linetypeRecords) {
        if (d_->records[r].flags & kDeleted) continue;
        for (const Tag& t : d_->tags(r))
            if (t.code == 2) {
                out.push_back(d_->codec->decode(tagText(t, d_->fmt)));
                break;
            }
    }
    return out;
}

std::vector<std::string> Drawing::layouts() const {
    std::vector<std::pair<long, std::string>> named;
    for (std::uint32_t r : d_->layoutObjects) {
        std::string name;
        long order = 0;
        bool inLayout = false;
        for (const Tag& t : d_->tags(r)) {
            if (t.code == 100) inLayout = tagText(t, d_->fmt) == "AcDbLayout";
            if (inLayout && t.code == 1 && name.empty()) name = d_->codec->decode(tagText(t, d_->fmt));
            if (inLayout && t.code == 71) order = tagLong(t, d_->fmt);
        }
        if (name.empty()) continue;
        if (equalsNoCase(name, "Model")) order = -1;
        named.emplace_back(order, name);
    }
    std::stable_sort(named.begin(), named.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (auto& [o, n] : named) out.push_back(n);
    if (out.empty() || !equalsNoCase(out.front(), "Model")) out.insert(out.begin(), "Model");
    if (out.size() == 1) out.push_back("Layout1");  // pre-R2000: the one paper space
    return out;
}

namespace {
// The top-level objects of model space (paper false) or of the paper space layouts.
std::vector<Entity> layoutObjects(const Drawing& drawing, const DrawingData& d, bool paper) {
    std::vector<Entity> out;
    auto* self = const_cast<Drawing*>(&drawing);
    for (std::uint32_t r = 0; r < d.records.size(); ++r) {
        if (!d.isTopLevelInLayout(r)) continue;
        const Record& rec = d.records[r];
        const bool inPaper = rec.section == Section::Entities ? (rec.flags & kPaperSpace) != 0 : d.blocks[rec.block].paper;
        if (inPaper == paper) out.emplace_back(self, r);
    }
    return out;
}
}  // namespace

std::vector<Entity> Drawing::modelSpace() const { return layoutObjects(*this, *d_, false); }

std::vector<Entity> Drawing::paperSpace() const { return layoutObjects(*this, *d_, true); }

std::size_t Drawing::blockCount() const { return d_->blocks.size(); }

std::optional<Block> Drawing::findBlock(const std::string& name) const {
    std::string key = foldCase(name);
    for (std::uint32_t i = 0; i < d_->blocks.size(); ++i)
        if (foldCase(d_->blocks[i].name) == key) return Block(const_cast<Drawing*>(this), i);
    return std::nullopt;
}

Block Drawing::block(const std::string& name) const {
    if (auto b = findBlock(name)) return *b;
    throw EngineError(err::kKeyNotFound, "block not found: " + name);
}

std::vector<Block> Drawing::blocks() const {
    std::vector<Block> out;
    for (std::uint32_t i = 0; i < d_->blocks.size(); ++i) out.emplace_back(const_cast<Drawing*>(this), i);
    return out;
}

std::optional<Entity> Drawing::findHandle(const std::string& handle) const {
    std::uint64_t h = parseHandle(handle);
    if (auto r = d_->findRecordByHandle(h)) return Entity(const_cast<Drawing*>(this), *r);
    return std::nullopt;
}

Entity Drawing::handleToObject(const std::string& handle) const {
    if (auto e = findHandle(handle)) return *e;
    throw EngineError(err::kKeyNotFound, "no object with handle " + handle);
}

// ---- selection ----

std::vector<Entity> Drawing::selectAll(const SelectFilter& filter) const {
    auto* self = const_cast<Drawing*>(this);
    std::vector<std::uint32_t> recs;
    if (filter.layer) {
        std::string key = foldCase(*filter.layer);
        for (std::uint32_t s = 0; s < d_->slots.size(); ++s) {
            Slot& slot = d_->slots[s];
            if (foldCase(slot.name) != key) continue;
            if (slot.topUnsorted) {
                std::sort(slot.top.begin(), slot.top.end());
                slot.top.erase(std::unique(slot.top.begin(), slot.top.end()), slot.top.end());
                slot.topUnsorted = false;
            }
            // Entries of objects moved away since are stale; drop them here.
            std::erase_if(slot.top, [&](std::uint32_t r) { return d_->records[r].slot != s; });
            recs.insert(recs.end(), slot.top.begin(), slot.top.end());
        }
        std::sort(recs.begin(), recs.end());
    } else {
        for (std::uint32_t r = 0; r < d_->records.size(); ++r)
            if (d_->isTopLevelInLayout(r)) recs.push_back(r);
        if (!filter.type) {
            std::vector<Entity> out;
            out.reserve(recs.size());
            for (std::uint32_t r : recs) out.emplace_back(self, r);
            return out;
        }
    }
    std::vector<Entity> out;
    std::string type = filter.type ? foldCase(*filter.type) : std::string();
    for (std::uint32_t r : recs) {
        if (!d_->isTopLevelInLayout(r)) continue;
        if (filter.type && foldCase(d_->typeOf(r)) != type) continue;
        out.emplace_back(self, r);
    }
    return out;
}

std::vector<SelectionSet>& Drawing::selectionSets() { return d_->selectionSets; }

SelectionSet& Drawing::addSelectionSet(const std::string& name) {
    for (const SelectionSet& s : d_->selectionSets)
        if (equalsNoCase(s.name, name)) throw EngineError(err::kDuplicateKey, "selection set exists: " + name);
    d_->selectionSets.push_back(SelectionSet{name, {}});
    return d_->selectionSets.back();
}

}  // namespace dxf
