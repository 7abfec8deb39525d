// Building a large drawing's scene on two threads: the objects go in chunks,
// the later half of each built on a second thread into a geometry of its own
// and appended in order once both halves are done. Layers, linetypes, blocks
// and the text decoder are shared, under the owner's lock while both run.
#include <exception>

#include "SceneBuild.h"
#include "SceneText.h"

namespace drawhost {

namespace {
constexpr std::size_t kChunk = 4096;  // objects per step
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

void SceneBuilder::Impl::Helper::start(std::size_t from, std::size_t to) {
    {
        const std::lock_guard<std::mutex> lock(m_);
        from_ = from, to_ = to, busy_ = true;
    }
    wake_.notify_all();
}

Geometry SceneBuilder::Impl::Helper::finish(bool& extents) {
    std::unique_lock<std::mutex> lock(m_);
    done_.wait(lock, [this] { return !busy_; });
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
    extents = builder_.anyExtents_;
    return std::exchange(geometry_, Geometry());
}

void SceneBuilder::Impl::Helper::loop() {
    std::unique_lock<std::mutex> lock(m_);
    for (;;) {
        wake_.wait(lock, [this] { return busy_ || quit_; });
        if (quit_) return;
        lock.unlock();
        try {
            builder_.anyExtents_ = false;
            builder_.addRange(geometry_, from_, to_);
        } catch (...) {
            error_ = std::current_exception();
        }
        lock.lock();
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
        // The first half here, the second on the helper's thread.
        const std::size_t end = std::min(objects_.size(), next_ + kChunk), mid = next_ + (end - next_) / 2;
        struct Parallel {
            bool& on;
            explicit Parallel(bool& flag) : on(flag) { on = true; }
            ~Parallel() { on = false; }
        } parallel(parallel_);
        helper_->start(mid, end);
        bool extents = false;
        try {
            addRange(scene_.space, next_, mid);
        } catch (...) {
            try {
                helper_->finish(extents);
            } catch (...) {
            }
            throw;
        }
        Geometry part = helper_->finish(extents);
        append(scene_.space, std::move(part), extents);
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
