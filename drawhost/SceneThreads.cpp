// Building a large drawing's scene on two threads: the objects go in slices
// to whichever thread asks next, each built into a geometry of its own; this
// thread appends them to the scene in order between its own slices, so
// neither waits for the other until the end. Layers, linetypes, blocks and
// the text decoder are shared, under the owner's lock while both run.
#include <algorithm>
#include <exception>

#include "SceneBuild.h"
#include "SceneText.h"

namespace drawhost {

namespace {
constexpr std::size_t kSlice = 256;  // objects taken at a time by either thread
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
        claimed_ = taken_ = 0;
        parts_.clear();
        parts_.resize((to - from + slice_ - 1) / slice_);
        stopped_ = false;
        busy_ = true;
    }
    wake_.notify_all();
}

bool SceneBuilder::Impl::Helper::claim(std::size_t& number, std::size_t& from, std::size_t& to) {
    const std::lock_guard<std::mutex> lock(m_);
    if (stopped_ || error_ || claimed_ >= parts_.size()) return false;
    number = claimed_++;
    from = from_ + number * slice_;
    to = std::min(to_, from + slice_);
    return true;
}

void SceneBuilder::Impl::Helper::put(std::size_t number, Part&& part) {
    const std::lock_guard<std::mutex> lock(m_);
    parts_[number] = std::move(part);
    parts_[number].done = true;
}

std::vector<SceneBuilder::Impl::Helper::Part> SceneBuilder::Impl::Helper::takeDone() {
    const std::lock_guard<std::mutex> lock(m_);
    std::vector<Part> out;
    while (taken_ < parts_.size() && parts_[taken_].done) out.push_back(std::exchange(parts_[taken_++], Part{}));
    return out;
}

std::size_t SceneBuilder::Impl::Helper::finish() {
    std::unique_lock<std::mutex> lock(m_);
    stopped_ = true;
    done_.wait(lock, [this] { return !busy_; });
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
    return std::min(to_, from_ + claimed_ * slice_);
}

void SceneBuilder::Impl::Helper::loop() {
    std::unique_lock<std::mutex> lock(m_);
    for (;;) {
        wake_.wait(lock, [this] { return busy_ || quit_; });
        if (quit_) return;
        lock.unlock();
        std::size_t number = 0, from = 0, to = 0;
        while (claim(number, from, to)) {
            try {
                put(number, builder_.buildPart(from, to));
            } catch (...) {
                const std::lock_guard<std::mutex> failed(m_);
                error_ = std::current_exception();
            }
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

SceneBuilder::Impl::Part SceneBuilder::Impl::buildPart(std::size_t from, std::size_t to) {
    Part part;
    const bool wasAny = anyExtents_;
    anyExtents_ = false;
    addRange(part.geometry, from, to);
    part.extents = anyExtents_;
    anyExtents_ = wasAny;
    return part;
}

bool SceneBuilder::Impl::run(double budgetMs) {
    QElapsedTimer clock;
    clock.start();
    if (helper_ && next_ < objects_.size()) {
        struct Parallel {
            bool& on;
            explicit Parallel(bool& flag) : on(flag) { on = true; }
            ~Parallel() { on = false; }
        } parallel(parallel_);
        const auto appendDone = [this] {
            for (Helper::Part& part : helper_->takeDone()) append(scene_.space, std::move(part.geometry), part.extents);
        };
        helper_->start(next_, objects_.size(), kSlice);
        try {
            std::size_t number = 0, from = 0, to = 0;
            while (helper_->claim(number, from, to)) {
                helper_->put(number, buildPart(from, to));
                appendDone();
                if (budgetMs >= 0 && clock.nsecsElapsed() > budgetMs * 1e6) break;
            }
        } catch (...) {
            try {
                helper_->finish();
            } catch (...) {
            }
            throw;
        }
        // Every slice handed out is built once the helper is done: they all follow in order.
        next_ = helper_->finish();
        appendDone();
        if (next_ < objects_.size()) return false;
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
