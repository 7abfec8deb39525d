#include "host/client/RemoteHost.h"

#include <QCborArray>
#include <QCborMap>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <deque>
#include <map>
#include <optional>
#include <unistd.h>

#include "host/client/RemoteProtocol.h"
#include "host/client/SocketIo.h"

namespace host {

namespace {

int& callTimeout() {
    static int ms = 60000;
    return ms;
}

quint64& roundTrips() {
    static quint64 n = 0;
    return n;
}

// One connection to the host, shared by every proxy obtained through it.
//
// Caches: proxies may keep what they read (layer properties, the layer list)
// tagged with the session's generation. The host reports its change counter
// before and after each call; any change the session cannot account for
// (another client, the user at the host's command line, a call of ours whose
// effect the proxy does not update itself) starts a new generation, which
// invalidates every cached value at once. A cached value is also dropped once
// the last answer is older than kFreshMs, so a proxy kept aside while the user
// works in the host never shows what was true long ago.
//
// Posting: moving an object to a layer that the session knows to exist in the
// object's drawing cannot fail, so the move is not waited for: moves gather
// into one request that leaves just before the next call, and that call waits
// for its answer first (the host answers in order, so the call sees the
// moves). Only a change by someone else between the two (another client
// deleting the layer or closing the drawing) could make a posted move fail;
// it then counts as overtaken by that change.
constexpr qint64 kFreshMs = 250;
constexpr size_t kMaxPosted = 256;
constexpr int kMaxMoves = 4096;

class Session {
public:
    explicit Session(const QString& path, int timeoutMs) {
        // Nothing is sent (no drawing path, no request) before the folder and
        // the peer are known to be this user's.
        QString why;
        if (!wire::socketFolderIsSafe(path, &why))
            throw HostError(errc::kNotRunning, QStringLiteral("ActiveX component can't create object (%1)").arg(why));
        fd_ = io::connectTo(path, timeoutMs);
        if (fd_ < 0) throw HostError(errc::kNotRunning, QStringLiteral("ActiveX component can't create object"));
        if (io::peerUid(fd_) != long(::geteuid())) {
            io::closeSocket(fd_);
            fd_ = -1;
            throw HostError(errc::kNotRunning,
                            QStringLiteral("ActiveX component can't create object (%1 is served by another user)").arg(path));
        }
    }
    ~Session() {
        // Posted requests are done before the connection goes.
        if (!dead_ && (!posted_.empty() || pendingMoves_ > 0)) {
            try {
                drain();
            } catch (const HostError&) {
                // The host went away meanwhile; nothing is left to wait for.
            }
        }
        io::closeSocket(fd_);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    quint64 generation() const { return generation_; }
    bool fresh(quint64 generation) const {
        return generation == generation_ && lastReply_.isValid() && lastReply_.elapsed() < kFreshMs;
    }

    void release(qint64 id) {
        if (id != 0 && !dead_) released_.append(id);
    }

    // Layers known to exist, per drawing, for the current generation.
    void noteLayer(const QString& doc, const QString& name) {
        if (doc.isEmpty()) return;
        if (knownGeneration_ != generation_) {
            known_.clear();
            knownGeneration_ = generation_;
        }
        known_[doc].insert(name);
    }
    void forgetLayer(const QString& doc, const QString& name) {
        if (knownGeneration_ == generation_) known_[doc].remove(name);
    }
    bool knowsLayer(const QString& doc, const QString& name) const {
        if (doc.isEmpty() || !fresh(knownGeneration_)) return false;
        auto it = known_.find(doc);
        return it != known_.end() && it->contains(name);
    }

    // Selection sets change only by their own members; a proxy's member list
    // is kept while neither the generation nor this epoch moves.
    quint64 selectionEpoch() const { return selectionEpoch_; }
    void selectionChanged() { ++selectionEpoch_; }

    // A layer renamed by this client changes the layer name of objects on it:
    // objects' cached layers follow this epoch as well as the generation. Each
    // step of the epoch is a rename (drawing, old name, the record's new name)
    // or, when the outcome is unknown, an empty step that a cached layer name
    // cannot be carried over.
    quint64 entityEpoch() const { return entityEpoch_; }
    void layerRenamed(const QString& doc, const QString& oldName, const QString& newName) {
        renames_.push_back({doc, oldName, newName});
        ++entityEpoch_;
    }
    void entityLayersChanged() { layerRenamed({}, {}, {}); }
    // A layer deleted by this client held no object: cached object layers
    // stay; cached copies of the layer and layer lists do not.
    void layerDeleted(const QString& doc, const QString& name) {
        forgetLayer(doc, name);
        layerRenamed(doc, name, {});
        ++layersEpoch_;
    }
    // A layer name cached at epoch `since` brought up to now; false when a step
    // in between is unknown.
    bool carryLayerName(const QString& doc, quint64 since, QString& name) const {
        if (since > entityEpoch_ || entityEpoch_ - since > renames_.size()) return false;
        for (size_t i = renames_.size() - size_t(entityEpoch_ - since); i < renames_.size(); ++i) {
            const Rename& r = renames_[i];
            if (r.doc.isEmpty() || doc.isEmpty()) return false;
            if (r.doc == doc && name.compare(r.oldName, Qt::CaseInsensitive) == 0) {
                if (r.newName.isEmpty()) return false;  // deleted
                name = r.newName;
            }
        }
        return true;
    }

    // A layer added or deleted by this client changes the layer list and
    // nothing else: layer lists follow this epoch as well as the generation.
    quint64 layersEpoch() const { return layersEpoch_; }
    void layersChanged() { ++layersEpoch_; }

    // Moves an object to a layer without waiting (see Posting above). Moves
    // are gathered, in order, into one request that leaves with the next call.
    void postMove(qint64 object, const QString& layer) {
        if (dead_) throw gone();
        if (runIds_.isEmpty() || runLayer_ != layer) {
            closeRun();
            runLayer_ = layer;
        }
        runIds_.append(object);
        if (++pendingMoves_ >= kMaxMoves) sendMoves();
    }

    // selfAccounted: the caller updates its own cache from the answer, so a
    // change made by this very call does not need a new generation.
    QCborValue call(qint64 object, const char* member, const QCborArray& args = {}, bool selfAccounted = false,
                    QString* docKey = nullptr) {
        if (dead_) throw gone();
        sendMoves();
        const qint64 requestId = send(object, member, args);
        ++roundTrips();
        QCborMap reply = awaitReply(requestId);
        account(reply, selfAccounted);
        if (docKey) *docKey = reply.value(QStringLiteral("k")).toString();
        if (reply.contains(QStringLiteral("e")))
            throw HostError(reply.value(QStringLiteral("e")).toInteger(), reply.value(QStringLiteral("d")).toString());
        return reply.value(QStringLiteral("v"));
    }

private:
    // Queues a request; requests leave when an answer is awaited.
    qint64 send(qint64 object, const char* member, const QCborArray& args) {
        const qint64 requestId = ++requestCounter_;
        QCborMap request;
        request.insert(QStringLiteral("i"), requestId);
        request.insert(QStringLiteral("o"), object);
        request.insert(QStringLiteral("m"), QString::fromLatin1(member));
        if (!args.isEmpty()) request.insert(QStringLiteral("a"), args);
        if (!released_.isEmpty()) {
            request.insert(QStringLiteral("r"), released_);
            released_ = QCborArray();
        }
        out_.append(wire::encodeFrame(request));
        return requestId;
    }

    void account(const QCborMap& reply, bool selfAccounted) {
        const qint64 before = reply.value(QStringLiteral("g0")).toInteger();
        const qint64 after = reply.value(QStringLiteral("g")).toInteger();
        if (before != lastCounter_ || (after != before && !selfAccounted)) ++generation_;
        lastCounter_ = after;
        lastReply_.start();
    }

    void drain() {
        sendMoves();
        if (!posted_.empty()) awaitReply(-1);
    }

    void closeRun() {
        if (runIds_.isEmpty()) return;
        runs_.append(QCborArray{runLayer_, runIds_});
        runIds_ = QCborArray();
    }

    // The gathered moves as one posted request: [[layer, [object, ...]], ...].
    void sendMoves() {
        if (pendingMoves_ == 0) return;
        closeRun();
        const QCborArray runs = std::move(runs_);
        runs_ = QCborArray();
        pendingMoves_ = 0;
        posted_.push_back(send(0, "MoveToLayers", QCborArray{runs}));
        if (posted_.size() >= kMaxPosted) awaitReply(-1);
    }

    // Reads answers in order: those of posted requests first, then the one
    // awaited (-1: none, only the posted ones).
    QCborMap awaitReply(qint64 requestId) {
        QDeadlineTimer deadline(callTimeout());
        if (!out_.isEmpty()) {
            if (!io::writeAll(fd_, out_.constData(), out_.size(), deadline)) fail();
            out_.clear();
        }
        for (;;) {
            try {
                while (auto message = reader_.next()) {
                    QCborMap reply = message->toMap();
                    const qint64 id = reply.value(QStringLiteral("i")).toInteger();
                    if (!posted_.empty() && id == posted_.front()) {
                        posted_.pop_front();
                        account(reply, true);
                        // A posted move overtaken by someone else's change: the
                        // world is not what the session assumed; forget it all.
                        if (reply.contains(QStringLiteral("e"))) ++generation_;
                        if (requestId == -1 && posted_.empty()) return reply;
                        continue;
                    }
                    if (id == requestId) return reply;
                }
            } catch (const HostError&) {
                fail();
            }
            if (deadline.hasExpired()) fail();
            QByteArray bytes;
            switch (io::readSome(fd_, bytes, deadline)) {
            case io::ReadResult::kData:
                reader_.append(bytes);
                break;
            case io::ReadResult::kNothing:
                break;  // the deadline, checked above
            case io::ReadResult::kClosed:
                fail();
            }
        }
    }

    [[noreturn]] void fail() {
        dead_ = true;
        io::closeSocket(fd_);
        fd_ = -1;
        throw gone();
    }

    static HostError gone() {
        return HostError(errc::kDisconnected, QStringLiteral("The drawing host is not answering (disconnected)"));
    }

    int fd_ = -1;
    QByteArray out_;  // requests not sent yet
    wire::FrameReader reader_;
    QElapsedTimer lastReply_;
    QCborArray released_;
    std::deque<qint64> posted_;
    QCborArray runs_;
    QCborArray runIds_;
    QString runLayer_;
    int pendingMoves_ = 0;
    QHash<QString, QSet<QString>> known_;
    quint64 knownGeneration_ = ~0ull;
    quint64 selectionEpoch_ = 0;
    quint64 entityEpoch_ = 0;
    struct Rename {
        QString doc, oldName, newName;
    };
    std::vector<Rename> renames_;
    quint64 layersEpoch_ = 0;
    qint64 requestCounter_ = 0;
    qint64 lastCounter_ = -1;
    quint64 generation_ = 0;
    bool dead_ = false;
};

using SessionPtr = std::shared_ptr<Session>;

// Base of every proxy: the session and the object's id in the host's table.
class Remote {
public:
    Remote(SessionPtr s, qint64 id) : s_(std::move(s)), id_(id) {}
    ~Remote() { s_->release(id_); }
    Remote(const Remote&) = delete;
    Remote& operator=(const Remote&) = delete;
    qint64 id() const { return id_; }
    // A reading member of this object, with the drawing the answer came from.
    QCborValue callMember(const char* member, QString* docKey) { return call(member, {}, false, docKey); }

protected:
    QCborValue call(const char* member, const QCborArray& args = {}, bool selfAccounted = false,
                    QString* docKey = nullptr) {
        return s_->call(id_, member, args, selfAccounted, docKey);
    }
    template <class P>
    std::shared_ptr<P> wrap(const QCborValue& v) {
        auto id = wire::objectId(v);
        if (!id) throw HostError(errc::kKeyNotFound, QStringLiteral("The key was not found"));
        return std::make_shared<P>(s_, *id);
    }
    static QString str(const QCborValue& v) { return v.toString(); }
    static int integer(const QCborValue& v) { return int(v.toInteger()); }
    static QStringList strings(const QCborValue& v) {
        QStringList out;
        for (const QCborValue& x : v.toArray()) out.append(x.toString());
        return out;
    }
    SessionPtr s_;
    qint64 id_;
};

class RemoteLayer;
class RemoteEntity;
class RemoteDocument;

class RemoteLayer : public Layer, public Remote {
public:
    using Remote::Remote;
    enum Prop { kName, kOn, kFreeze, kLock, kPlottable, kColor, kLinetype, kLineweight, kPlotStyle, kPropCount };

    void setProps(const QCborValue& props, const QString& doc) {
        props_ = props.toArray();
        propsGeneration_ = s_->generation();
        propsEpoch_ = s_->entityEpoch();
        hasProps_ = props_.size() == kPropCount;
        doc_ = doc;
        if (hasProps_ && props_.at(kName).isString()) s_->noteLayer(doc, props_.at(kName).toString());
    }

    QString name() override {
        knownName();
        return prop(kName).toString();
    }
    void setName(const QString& n) override { set("SetName", n); }
    void deleteLayer() override {
        const QString before = knownName();
        call("Delete", {}, true);
        hasProps_ = false;
        if (before.isEmpty() || doc_.isEmpty()) {
            s_->entityLayersChanged();
            s_->layersChanged();
        } else {
            s_->layerDeleted(doc_, before);
        }
    }
    bool layerOn() override { return prop(kOn).toBool(); }
    void setLayerOn(bool on) override { setUnlessSame(kOn, "SetLayerOn", on); }
    bool freeze() override { return prop(kFreeze).toBool(); }
    void setFreeze(bool on) override { set("SetFreeze", on); }
    bool lock() override { return prop(kLock).toBool(); }
    void setLock(bool on) override { setUnlessSame(kLock, "SetLock", on); }
    bool plottable() override { return prop(kPlottable).toBool(); }
    void setPlottable(bool on) override { setUnlessSame(kPlottable, "SetPlottable", on); }
    int color() override { return int(prop(kColor).toInteger()); }
    void setColor(int index) override { set("SetColor", index); }
    QString linetype() override { return prop(kLinetype).toString(); }
    void setLinetype(const QString& n) override { setUnlessSame(kLinetype, "SetLinetype", n); }
    int lineweight() override { return int(prop(kLineweight).toInteger()); }
    void setLineweight(int v) override { setUnlessSame(kLineweight, "SetLineweight", v); }
    QString plotStyleName() override { return prop(kPlotStyle).toString(); }
    void setPlotStyleName(const QString& n) override { set("SetPlotStyleName", n); }

private:
    // The cached name, brought up to date without asking the host: a copy of
    // a layer that this client renamed through another proxy learns its name
    // from the session's renames. Empty when not known.
    QString knownName() {
        if (!hasProps_ || !props_.at(kName).isString()) return QString();
        if (propsEpoch_ != s_->entityEpoch()) {
            QString n = props_.at(kName).toString();
            if (!s_->carryLayerName(doc_, propsEpoch_, n)) {
                hasProps_ = false;
                return QString();
            }
            props_[kName] = n;
            propsEpoch_ = s_->entityEpoch();
        }
        return props_.at(kName).toString();
    }
    QCborValue prop(Prop p) {
        if (!hasProps_ || !s_->fresh(propsGeneration_)) {
            QString doc;
            const QCborValue props = call("Props", {}, false, &doc);
            setProps(props, doc);
        }
        const QCborValue v = props_.at(p);
        if (v.isMap()) throw HostError(v[QStringLiteral("e")].toInteger(), v[QStringLiteral("d")].toString());
        return v;
    }
    // A property set to the value it has (as of the current generation) is
    // left alone: the host would change nothing. Not for the name, the freeze
    // (freezing the current layer is refused, and callers report that), the
    // colour (an index colour replaces a true colour of the same index) or the
    // plot style.
    template <class V>
    void setUnlessSame(Prop p, const char* member, const V& value) {
        if (hasProps_ && s_->fresh(propsGeneration_) && props_.at(p) == QCborValue(value)) return;
        set(member, value);
    }
    template <class V>
    void set(const char* member, const V& value) {
        const QString before = knownName();
        QString doc;
        const bool rename = qstrcmp(member, "SetName") == 0;
        QCborValue props;
        try {
            props = call(member, QCborArray{value}, true, &doc);
        } catch (...) {
            if (rename) s_->entityLayersChanged();
            throw;
        }
        if (!before.isEmpty()) s_->forgetLayer(doc, before);
        setProps(props, doc);
        if (rename) {
            if (!before.isEmpty() && hasProps_ && props_.at(kName).isString())
                s_->layerRenamed(doc, before, props_.at(kName).toString());
            else
                s_->entityLayersChanged();
        }
    }

    QCborArray props_;
    QString doc_;
    quint64 propsGeneration_ = 0;
    quint64 propsEpoch_ = 0;
    bool hasProps_ = false;
};

class RemoteLayers : public Layers, public Remote {
public:
    using Remote::Remote;
    // The whole list is fetched at once and kept while nothing changes it:
    // enumerating layers and reading their properties is the hot loop of
    // every batch operation.
    int count() override { return int(snapshot().size()); }
    LayerPtr item(int index) override {
        const auto& all = snapshot();
        if (index < 0 || index >= int(all.size()))
            throw HostError(errc::kInvalidArgument, QStringLiteral("Invalid procedure call or argument"));
        return all[size_t(index)];
    }
    LayerPtr item(const QString& name) override {
        if (const auto known = lookUp(name)) {
            if (*known) return *known;
            throw HostError(errc::kKeyNotFound, QStringLiteral("layer not found: ") + name);
        }
        QString doc;
        const QCborArray row = call("ItemProps", QCborArray{name}, false, &doc).toArray();
        auto layer = wrap<RemoteLayer>(row.at(0));
        layer->setProps(row.at(1), doc);
        return layer;
    }
    LayerPtr add(const QString& name) override {
        const auto known = lookUp(name);
        if (known && *known) return *known;
        QString doc;
        const QCborArray row = call("AddProps", QCborArray{name}, true, &doc).toArray();
        auto layer = wrap<RemoteLayer>(row.at(0));
        layer->setProps(row.at(1), doc);
        s_->layersChanged();
        if (known) {
            // Certainly a new layer: this list stays current with it at the end.
            layers_.push_back(layer);
            epoch_ = s_->layersEpoch();
        }
        return layer;
    }

private:
    // A lookup by name answered from the list (fetched from the second
    // lookup on), when the answer is certain: an exact match is the layer the
    // host would find; no match even by the widest letter-case comparison
    // means the host has no such layer. A match that differs in letter case
    // only is left to the host, whose rule for letter case decides. No value:
    // ask the host.
    std::optional<std::shared_ptr<RemoteLayer>> lookUp(const QString& name) {
        const bool current = hasSnapshot_ && s_->fresh(generation_) && epoch_ == s_->layersEpoch();
        if (!current && lookUps_++ == 0) return std::nullopt;  // a single lookup asks for one layer
        bool similar = false;
        for (const auto& layer : snapshot()) {
            const QString n = layer->name();
            if (n == name) return layer;
            if (n.compare(name, Qt::CaseInsensitive) == 0) similar = true;
        }
        if (similar) return std::nullopt;
        return std::shared_ptr<RemoteLayer>();
    }
    const std::vector<std::shared_ptr<RemoteLayer>>& snapshot() {
        if (!hasSnapshot_ || !s_->fresh(generation_) || epoch_ != s_->layersEpoch()) {
            QString doc;
            const QCborArray rows = call("Snapshot", {}, false, &doc).toArray();
            std::vector<std::shared_ptr<RemoteLayer>> layers;
            layers.reserve(size_t(rows.size()));
            for (const QCborValue& row : rows) {
                auto layer = wrap<RemoteLayer>(row.toArray().at(0));
                layer->setProps(row.toArray().at(1), doc);
                layers.push_back(std::move(layer));
            }
            layers_ = std::move(layers);
            generation_ = s_->generation();
            epoch_ = s_->layersEpoch();
            hasSnapshot_ = true;
        }
        return layers_;
    }
    std::vector<std::shared_ptr<RemoteLayer>> layers_;
    quint64 generation_ = 0;
    quint64 epoch_ = 0;
    int lookUps_ = 0;
    bool hasSnapshot_ = false;
};

class RemoteEntity : public Entity, public Remote {
public:
    using Remote::Remote;
    RemoteEntity(SessionPtr s, qint64 id, QString doc) : Remote(std::move(s), id), doc_(std::move(doc)) {}

    // An object with the members loops read of it, as the host sent them in a
    // row; the row is as current as the session's generation and epoch given.
    static std::shared_ptr<RemoteEntity> fromRow(const SessionPtr& s, const QCborValue& value, const QString& doc,
                                                 quint64 generation, quint64 epoch) {
        const QCborArray row = value.toArray();
        auto id = wire::objectId(row.at(0));
        if (!id) throw HostError(errc::kKeyNotFound, QStringLiteral("The key was not found"));
        auto e = std::make_shared<RemoteEntity>(s, *id, doc);
        e->row_ = row;
        e->rowGeneration_ = generation;
        e->rowEpoch_ = epoch;
        e->layerCached_ = true;
        return e;
    }
    static std::shared_ptr<RemoteEntity> fromRow(const SessionPtr& s, const QCborValue& value, const QString& doc) {
        return fromRow(s, value, doc, s->generation(), s->entityEpoch());
    }
    // The objects of a collection (model space, a block, a selection set) in
    // one call: the collection's "Rows".
    static std::vector<EntityPtr> readRows(Remote& collection, const SessionPtr& s) {
        QString doc;
        const QCborArray rows = collection.callMember("Rows", &doc).toArray();
        std::vector<EntityPtr> items;
        items.reserve(size_t(rows.size()));
        for (const QCborValue& row : rows) items.push_back(fromRow(s, row, doc));
        return items;
    }

    QString handle() override { return cached(kHandle, "Handle").toString(); }
    QString objectName() override { return cached(kObjectName, "ObjectName").toString(); }
    QString layer() override {
        if (layerCached_ && rowEpoch_ != s_->entityEpoch()) {
            // Layers renamed since the row was read: the object's layer name
            // follows its layer's record.
            QString name = row_.size() == kColumns && row_.at(kLayer).isString() ? row_.at(kLayer).toString() : QString();
            if (!name.isEmpty() && s_->carryLayerName(doc_, rowEpoch_, name)) {
                row_[kLayer] = name;
                rowEpoch_ = s_->entityEpoch();
            } else {
                layerCached_ = false;
            }
        }
        if (!layerCached_) return str(call("Layer"));
        return cached(kLayer, "Layer").toString();
    }
    void setLayer(const QString& n) override {
        if (s_->knowsLayer(doc_, n)) {
            // A known layer is named as its record spells it: the row now says so.
            s_->postMove(id_, n);
            if (layerCached_ && row_.size() == kColumns) {
                row_[kLayer] = n;
                rowEpoch_ = s_->entityEpoch();
            }
            return;
        }
        layerCached_ = false;  // the host may spell the layer as its record does
        call("SetLayer", QCborArray{n}, true);
    }
    QString textString() override { return str(call("TextString")); }
    void getBoundingBox(Point3& lo, Point3& hi) override {
        const QCborArray corners = call("GetBoundingBox").toArray();
        lo = wire::toPoint(corners.at(0));
        hi = wire::toPoint(corners.at(1));
    }
    QString name() override { return cached(kName, "Name").toString(); }
    bool hasAttributes() override { return cached(kHasAttributes, "HasAttributes").toBool(); }
    std::vector<EntityPtr> getAttributes() override {
        std::vector<EntityPtr> out;
        // A block reference's row brings its attributes along. They are handed
        // out once: after that the caller may have moved them, so a second
        // request asks the host.
        if (row_.size() == kColumns && row_.at(kAttributes).isArray() && s_->fresh(rowGeneration_)) {
            const QCborArray rows = row_.at(kAttributes).toArray();
            row_[kAttributes] = QCborValue(QCborValue::Null);
            for (const QCborValue& row : rows) out.push_back(fromRow(s_, row, doc_, rowGeneration_, rowEpoch_));
            return out;
        }
        QString doc;
        for (const QCborValue& row : call("AttributeRows", {}, false, &doc).toArray())
            out.push_back(fromRow(s_, row, doc));
        return out;
    }

private:
    enum Column { kRef, kObjectName, kLayer, kHandle, kName, kHasAttributes, kAttributes, kColumns };

    // The row's value while it is fresh; else (or when the row has none) the host's answer.
    QCborValue cached(Column c, const char* member) {
        if (row_.size() == kColumns && s_->fresh(rowGeneration_)) {
            const QCborValue v = row_.at(c);
            if (v.isMap()) throw HostError(v[QStringLiteral("e")].toInteger(), v[QStringLiteral("d")].toString());
            if (!v.isNull()) return v;
        }
        return call(member);
    }

    QString doc_;  // the drawing it belongs to, when known
    QCborArray row_;
    quint64 rowGeneration_ = 0;
    quint64 rowEpoch_ = 0;
    bool layerCached_ = false;
};

class RemoteEntityCollection : public EntityCollection, public Remote {
public:
    using Remote::Remote;
    QString name() override { return str(call("Name")); }
    // Walking model space or a block is the loop of the block pass: the
    // objects come in one call, with what the walk reads of each.
    int count() override { return int(rows().size()); }
    EntityPtr item(int index) override {
        const auto& all = rows();
        if (index < 0 || index >= int(all.size()))
            throw HostError(errc::kInvalidArgument, QStringLiteral("Invalid procedure call or argument"));
        return all[size_t(index)];
    }

private:
    const std::vector<EntityPtr>& rows() {
        // Renames by this client need no new read: each object carries its
        // layer name over the renames (see RemoteEntity::layer).
        if (!hasRows_ || !s_->fresh(generation_)) {
            rows_ = RemoteEntity::readRows(*this, s_);
            generation_ = s_->generation();
            hasRows_ = true;
        }
        return rows_;
    }
    std::vector<EntityPtr> rows_;
    quint64 generation_ = 0;
    bool hasRows_ = false;
};

class RemoteBlocks : public Blocks, public Remote {
public:
    using Remote::Remote;
    int count() override { return integer(call("Count")); }
    EntityCollectionPtr item(int index) override {
        return wrap<RemoteEntityCollection>(call("Item", QCborArray{index}));
    }
    // A block looked up again (one per reference to it) is the same collection.
    EntityCollectionPtr item(const QString& name) override {
        auto it = byName_.find(name);
        if (it != byName_.end() && s_->fresh(it->second.first)) return it->second.second;
        auto block = wrap<RemoteEntityCollection>(call("Item", QCborArray{name}));
        byName_[name] = {s_->generation(), block};
        return block;
    }

private:
    std::map<QString, std::pair<quint64, EntityCollectionPtr>> byName_;
};

class RemoteSelectionSet : public SelectionSet, public Remote {
public:
    using Remote::Remote;
    QString name() override { return str(call("Name")); }
    void select(int mode, const std::vector<short>& filterType, const QVariantList& filterData) override {
        QCborArray types, data;
        for (short t : filterType) types.append(t);
        for (const QVariant& d : filterData) data.append(QCborValue::fromVariant(d));
        change("Select", QCborArray{mode, types, data});
    }
    void clear() override { change("Clear"); }
    void deleteSet() override { change("Delete"); }
    // The members are fetched at once and kept while nothing changes them:
    // walking a set (count, then each item) is the loop of every merge.
    int count() override { return int(members().size()); }
    EntityPtr item(int index) override {
        const auto& all = members();
        if (index < 0 || index >= int(all.size()))
            throw HostError(errc::kInvalidArgument, QStringLiteral("Invalid procedure call or argument"));
        return all[size_t(index)];
    }

private:
    // Selection changes touch no layer or object: other caches stay.
    void change(const char* member, const QCborArray& args = {}) {
        s_->selectionChanged();
        try {
            call(member, args, true);
        } catch (...) {
            s_->selectionChanged();
            throw;
        }
        s_->selectionChanged();
    }
    const std::vector<EntityPtr>& members() {
        if (!hasMembers_ || !s_->fresh(generation_) || epoch_ != s_->selectionEpoch()) {
            members_ = RemoteEntity::readRows(*this, s_);
            generation_ = s_->generation();
            epoch_ = s_->selectionEpoch();
            hasMembers_ = true;
        }
        return members_;
    }
    std::vector<EntityPtr> members_;
    quint64 generation_ = 0;
    quint64 epoch_ = 0;
    bool hasMembers_ = false;
};

class RemoteSelectionSets : public SelectionSets, public Remote {
public:
    using Remote::Remote;
    int count() override { return integer(call("Count")); }
    SelectionSetPtr item(int index) override { return wrap<RemoteSelectionSet>(call("Item", QCborArray{index})); }
    SelectionSetPtr item(const QString& name) override {
        return wrap<RemoteSelectionSet>(call("Item", QCborArray{name}));
    }
    SelectionSetPtr add(const QString& name) override { return wrap<RemoteSelectionSet>(call("Add", QCborArray{name})); }
};

class RemoteDocument : public Document, public Remote {
public:
    using Remote::Remote;
    QString name() override { return str(call("Name")); }
    QString fullName() override { return str(call("FullName")); }
    LayersPtr layers() override { return wrap<RemoteLayers>(call("Layers")); }
    LayerPtr activeLayer() override { return wrap<RemoteLayer>(call("ActiveLayer")); }
    void setActiveLayer(const LayerPtr& layer) override {
        auto* remote = dynamic_cast<RemoteLayer*>(layer.get());
        if (!remote) throw HostError(errc::kInvalidArgument, QStringLiteral("Invalid procedure call or argument"));
        // Changes which layer is current and nothing any proxy keeps.
        call("SetActiveLayer", QCborArray{wire::objectRef(remote->id())}, true);
    }
    QStringList linetypes() override { return strings(call("Linetypes")); }
    QStringList layouts() override { return strings(call("Layouts")); }
    EntityCollectionPtr modelSpace() override { return wrap<RemoteEntityCollection>(call("ModelSpace")); }
    BlocksPtr blocks() override { return wrap<RemoteBlocks>(call("Blocks")); }
    SelectionSetsPtr selectionSets() override { return wrap<RemoteSelectionSets>(call("SelectionSets")); }
    void purgeAll() override { call("PurgeAll"); }
    void regen(int which) override { call("Regen", QCborArray{which}); }
    void close(bool save) override { call("Close", QCborArray{save}); }
    EntityPtr handleToObject(const QString& handle) override {
        return wrap<RemoteEntity>(call("HandleToObject", QCborArray{handle}));
    }
};

class RemoteDocuments : public Documents, public Remote {
public:
    using Remote::Remote;
    int count() override { return integer(call("Count")); }
    DocumentPtr item(int index) override { return wrap<RemoteDocument>(call("Item", QCborArray{index})); }
    DocumentPtr item(const QString& fileName) override {
        return wrap<RemoteDocument>(call("Item", QCborArray{fileName}));
    }
    DocumentPtr open(const QString& fullPath) override { return wrap<RemoteDocument>(call("Open", QCborArray{fullPath})); }
    DocumentPtr add() override { return wrap<RemoteDocument>(call("Add")); }
};

class RemoteApplication : public Application, public Remote {
public:
    using Remote::Remote;
    bool visible() override { return call("Visible").toBool(); }
    void setVisible(bool on) override { call("SetVisible", QCborArray{on}); }
    int windowState() override { return integer(call("WindowState")); }
    void setWindowState(int state) override { call("SetWindowState", QCborArray{state}); }
    QString caption() override { return str(call("Caption")); }
    DocumentPtr activeDocument() override { return wrap<RemoteDocument>(call("ActiveDocument")); }
    DocumentsPtr documents() override { return wrap<RemoteDocuments>(call("Documents")); }
    void update() override { call("Update"); }
    void zoomWindow(const Point3& lo, const Point3& hi) override {
        call("ZoomWindow", QCborArray{wire::fromPoint(lo), wire::fromPoint(hi)});
    }
    void zoomScaled(double scale, int scaleType) override { call("ZoomScaled", QCborArray{scale, scaleType}); }
    void getViewExtents(Point3& lo, Point3& hi) override {
        const QCborArray corners = call("GetViewExtents").toArray();
        lo = wire::toPoint(corners.at(0));
        hi = wire::toPoint(corners.at(1));
    }
    void activateWindow() override { call("Activate"); }
    void sendKeys(const QString& keys) override { call("SendKeys", QCborArray{keys}); }
};

}  // namespace

ApplicationPtr connectRemoteHost(const QString& socketPath, int connectTimeoutMs) {
    auto session = std::make_shared<Session>(socketPath.isEmpty() ? wire::socketPath() : socketPath, connectTimeoutMs);
    return std::make_shared<RemoteApplication>(session, 0);
}

void setRemoteCallTimeout(int milliseconds) { callTimeout() = milliseconds; }

quint64 remoteRoundTrips() { return roundTrips(); }

}  // namespace host
