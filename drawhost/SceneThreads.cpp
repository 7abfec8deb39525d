// Building a large drawing's scene on two threads: the objects go in chunks,
// each chunk in slices that this thread takes from the front and a second
// thread from the back, the second's built into geometries of their own and
// appended in order once the chunk is done. Layers, linetypes, blocks
// and the text decoder are shared, under the owner's lock while both run.
#include <algorithm>
#include <exception>

#include "SceneBuild.h"
#include "SceneText.h"

namespace drawhost {

namespace {
constexpr std::size_t kChunk = 4096;  // objects per step
constexpr std::size_t kSlice = 256;   // objects taken at a time by either thread
}  // namespace

SceneBuilder::Impl::Helper::Helper(Impl& owner) : builder_(owner), thread_([this] { loop(); }) {}

SceneBuilder::Impl::Helper::~Helper() {
    {
        const std::lock_guard<std::mutex> lock(m_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void SceneBuilder::Impl::Helper::start(std::size_t from, std::size_t to, std::size_t slice) {
    {
        const std::lock_guard<std::mutex> lock(m_);
        from_ = from, to_ = to, slice_ = std::max<std::size_t>(slice, 1);
        front_ = 0, back_ = (to - from + slice_ - 1) / slice_;
        parts_.clear();
        busy_ = true;
    }
    wake_.notify_all();
}

bool SceneBuilder::Impl::Helper::claimFront(std::size_t& from, std::size_t& to) {
    const std::lock_guard<std::mutex> lock(m_);
    if (front_ >= back_) return false;
    from = from_ + front_ * slice_;
    to = std::min(to_, from + slice_);
    ++front_;
    return true;
}

bool SceneBuilder::Impl::Helper::claimBack(std::size_t& from, std::size_t& to) {
    // With m_ held.
    if (front_ >= back_) return false;
    --back_;
    from = from_ + back_ * slice_;
    to = std::min(to_, from + slice_);
    return true;
}

std::vector<SceneBuilder::Impl::Helper::Part> SceneBuilder::Impl::Helper::finish() {
    std::unique_lock<std::mutex> lock(m_);
    done_.wait(lock, [this] { return !busy_; });
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
    std::vector<Part> parts = std::exchange(parts_, {});
    std::reverse(parts.begin(), parts.end());
    return parts;
}

void SceneBuilder::Impl::Helper::loop() {
    std::unique_lock<std::mutex> lock(m_);
    for (;;) {
        wake_.wait(lock, [this] { return busy_ || quit_; });
        if (quit_) return;
        std::size_t from = 0, to = 0;
        while (!error_ && claimBack(from, to)) {
            lock.unlock();
            Part part;
            try {
                builder_.anyExtents_ = false;
                builder_.addRange(part.geometry, from, to);
                part.extents = builder_.anyExtents_;
            } catch (...) {
                lock.lock();
                error_ = std::current_exception();
                break;
            }
            lock.lock();
            parts_.push_back(std::move(part));
        }
        busy_ = false;
        done_.notify_all();
    }
}

void SceneBuilder::Impl::startHelper() {
    TextMetrics::instance();  // its font is made on this thread
    helper_ = std::make_unique<Helper>(*this);
}

SceneBuilder::Impl::~Impl() = default;

std::unique_lock<std::recursive_mutex> SceneBuilder::Impl::shared() {
    return owner_.parallel_ ? std::unique_lock<std::recursive_mutex>(owner_.mutex_)
                            : std::unique_lock<std::recursive_mutex>();
}

std::string SceneBuilder::Impl::decode(std::string_view raw) { return d_.decodeText(raw); }

void SceneBuilder::Impl::addRange(Geometry& g, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
        try {
            add(g, owner_.objects_[i], 0);
        } catch (const dxf::EngineError&) {
            // An object the engine cannot describe is not drawn; the rest is.
        }
    }
}

void SceneBuilder::Impl::append(Geometry& g, Geometry&& part, bool partExtents) {
    const auto points = std::uint32_t(g.points.size()), arcs = std::uint32_t(g.arcs.size());
    const auto texts = std::uint32_t(g.texts.size()), fills = std::uint32_t(g.fills.size());
    const auto hatches = std::uint32_t(g.hatches.size()), instances = std::uint32_t(g.instances.size());
    g.items.reserve(g.items.size() + part.items.size());
    for (Item item : part.items) {
        switch (item.kind) {
        case Item::Polyline:
        case Item::Dot: item.first += points; break;
        case Item::Arc: item.first += arcs; break;
        case Item::Text: item.first += texts; break;
        case Item::Fill: item.first += fills; break;
        case Item::Hatch: item.first += hatches; break;
        case Item::Instance: item.first += instances; break;
        }
        g.items.push_back(item);
    }
    const auto moveAll = [](auto& to, auto& from) {
        to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
    };
    moveAll(g.points, part.points);
    moveAll(g.arcs, part.arcs);
    moveAll(g.texts, part.texts);
    moveAll(g.fills, part.fills);
    moveAll(g.hatches, part.hatches);
    moveAll(g.instances, part.instances);
    if (partExtents) extend(g.bounds, anyExtents_, part.bounds);
}

bool SceneBuilder::Impl::run(double budgetMs) {
    QElapsedTimer clock;
    clock.start();
    while (helper_ && next_ < objects_.size()) {
        // Slices from the front here, from the back on the helper's thread:
        // whichever is quicker builds more of the chunk.
        const std::size_t end = std::min(objects_.size(), next_ + kChunk);
        struct Parallel {
            bool& on;
            explicit Parallel(bool& flag) : on(flag) { on = true; }
            ~Parallel() { on = false; }
        } parallel(parallel_);
        helper_->start(next_, end, kSlice);
        try {
            std::size_t from = 0, to = 0;
            while (helper_->claimFront(from, to)) addRange(scene_.space, from, to);
        } catch (...) {
            try {
                helper_->finish();
            } catch (...) {
            }
            throw;
        }
        for (Helper::Part& part : helper_->finish()) append(scene_.space, std::move(part.geometry), part.extents);
        next_ = end;
        if (budgetMs >= 0 && next_ < objects_.size() && clock.nsecsElapsed() > budgetMs * 1e6) return false;
    }
    while (next_ < objects_.size()) {
        try {
            add(scene_.space, objects_[next_], 0);
        } catch (const dxf::EngineError&) {
            // An object the engine cannot describe is not drawn; the rest is.
        }
        ++next_;
        if (budgetMs >= 0 && (next_ & 255) == 0 && clock.nsecsElapsed() > budgetMs * 1e6) return false;
    }
    finish();
    return true;
}

}  // namespace drawhost
