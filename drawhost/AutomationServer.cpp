#include "drawhost/AutomationServer.h"

#include <QCborArray>
#include <QCborMap>
#include <QFile>
#include <QDeadlineTimer>
#include <chrono>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <fcntl.h>
#include <unistd.h>
#include <functional>
#include <optional>
#include <unordered_map>
#include <variant>

#include "host/client/RemoteProtocol.h"
#include "host/client/SocketIo.h"

namespace host {

// Takes each accepted connection's socket as it is, non-blocking.
class AutomationServer::Listener : public QLocalServer {
public:
    Listener(std::function<void(int)> accepted, QObject* parent)
        : QLocalServer(parent), accepted_(std::move(accepted)) {}

protected:
    void incomingConnection(quintptr socketDescriptor) override {
        const int fd = int(socketDescriptor);
        // Only this user's programs drive this user's drawings.
        if (io::peerUid(fd) != long(::geteuid())) {
            io::closeSocket(fd);
            return;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        accepted_(fd);
    }

private:
    std::function<void(int)> accepted_;
};

namespace {

constexpr int kServerSpinUs = 30;

quint64& changeCounter() {
    static quint64 counter = 0;
    return counter;
}

using Handle = std::variant<ApplicationPtr, DocumentsPtr, DocumentPtr, LayersPtr, LayerPtr, EntityPtr,
                            EntityCollectionPtr, BlocksPtr, SelectionSetsPtr, SelectionSetPtr>;

[[noreturn]] void notApplicable() {
    throw HostError(errc::kNotApplicable, QStringLiteral("Object doesn't support this property or method"));
}

[[noreturn]] void badArgument() {
    throw HostError(errc::kInvalidArgument, QStringLiteral("Invalid procedure call or argument"));
}

QCborValue arg(const QCborArray& args, qsizetype i) {
    if (i >= args.size()) badArgument();
    return args.at(i);
}

QString argString(const QCborArray& args, qsizetype i) {
    const QCborValue v = arg(args, i);
    if (!v.isString()) badArgument();
    return v.toString();
}
qint64 argInt(const QCborArray& args, qsizetype i) {
    const QCborValue v = arg(args, i);
    if (v.isInteger()) return v.toInteger();
    if (v.isDouble()) return static_cast<qint64>(v.toDouble());
    badArgument();
}
bool argBool(const QCborArray& args, qsizetype i) {
    const QCborValue v = arg(args, i);
    if (v.isBool()) return v.toBool();
    if (v.isInteger()) return v.toInteger() != 0;
    badArgument();
}
double argDouble(const QCborArray& args, qsizetype i) {
    const QCborValue v = arg(args, i);
    if (!v.isDouble() && !v.isInteger()) badArgument();
    return v.toDouble();
}

// One client connection: its socket, its object table, its request loop.
// Which drawing an object belongs to, by its full path (a new drawing by its
// name); clients use it to know which layers an object can move to.
QString docKeyOf(Document& doc) {
    try {
        const QString full = doc.fullName();
        return full.isEmpty() ? doc.name() : full;
    } catch (const HostError&) {
        return QString();
    }
}

// The socket is read and written directly (see SocketIo.h); answers that the
// socket cannot take at once wait in a buffer until it can.
class Connection : public QObject {
public:
    Connection(int fd, ApplicationPtr app, QObject* parent)
        : QObject(parent), fd_(fd), readable_(fd, QSocketNotifier::Read), writable_(fd, QSocketNotifier::Write) {
        objects_.emplace(0, Entry{Handle(std::move(app)), QString()});
        writable_.setEnabled(false);
        connect(&readable_, &QSocketNotifier::activated, this, &Connection::onReadable);
        connect(&writable_, &QSocketNotifier::activated, this, &Connection::sendPending);
    }
    ~Connection() override {
        readable_.setEnabled(false);
        writable_.setEnabled(false);
        io::closeSocket(fd_);
    }

private:
    void drop() {
        if (dropped_) return;
        dropped_ = true;
        readable_.setEnabled(false);
        writable_.setEnabled(false);
        discardOpened();
        objects_.clear();
        deleteLater();
    }

    // A client closes every drawing it opened before it goes; one that went
    // away first (killed half-way through its work) leaves drawings it had
    // half changed. They are closed without saving, so that the next client
    // opens the file afresh instead of taking the half-changed drawing for
    // one the user has open. The files keep what was last saved.
    void discardOpened() {
        bool discarded = false;
        for (const DocumentPtr& doc : opened_) {
            try {
                doc->close(false);
                discarded = true;
            } catch (const HostError&) {
                // Closed already, by the client or by the user.
            }
        }
        opened_.clear();
        if (discarded) AutomationServer::noteChange();
    }

    // Answers what has arrived. A client usually sends its next request right
    // after reading an answer: the socket is polled for it a little while
    // before going back to the event loop, which would have to be woken.
    void onReadable() {
        bool answered = false;
        for (;;) {
            if (dropped_) return;
            QByteArray bytes;
            io::ReadResult read = io::readAvailable(fd_, bytes);
            if (read == io::ReadResult::kNothing && answered && io::spinningPays()) {
                const QDeadlineTimer spin{std::chrono::microseconds(kServerSpinUs)};
                while (read == io::ReadResult::kNothing && !spin.hasExpired()) read = io::readAvailable(fd_, bytes);
            }
            if (read == io::ReadResult::kClosed) return drop();
            if (read == io::ReadResult::kNothing) return;
            answer(bytes);
            answered = true;
        }
    }

    void answer(const QByteArray& bytes) {
        if (dropped_) return;
        reader_.append(bytes);
        // A member that runs the event loop (a command typed into the host)
        // must not start this client's next request before it answers.
        readable_.setEnabled(false);
        try {
            // Every request that has arrived is answered before the answers go
            // out together: a client that posts requests without waiting sends
            // them in one piece and gets their answers in one piece.
            bool answered = false;
            while (auto message = reader_.next()) {
                out_.append(wire::encodeFrame(handle(message->toMap())));
                if (dropped_) return;
                answered = true;
            }
            readable_.setEnabled(true);
            if (answered) {
                sendPending();
                if (!dropped_) emit static_cast<AutomationServer*>(parent())->requestAnswered();
            }
        } catch (const HostError&) {
            // A stream we cannot read is a client we cannot answer.
            drop();
        }
    }

    void sendPending() {
        if (dropped_) return;
        const qsizetype sent = io::writeSome(fd_, out_.constData(), out_.size());
        if (sent < 0) return drop();
        out_.remove(0, sent);
        writable_.setEnabled(!out_.isEmpty());
    }

    QCborMap handle(const QCborMap& request) {
        QCborMap reply;
        reply.insert(QStringLiteral("i"), request.value(QStringLiteral("i")));
        const quint64 before = changeCounter();
        reply.insert(QStringLiteral("g0"), static_cast<qint64>(before));
        try {
            const qint64 id = request.value(QStringLiteral("o")).toInteger(-1);
            auto it = objects_.find(id);
            if (it == objects_.end())
                throw HostError(errc::kInvalidArgument, QStringLiteral("Unknown object"));
            const Handle target = it->second.handle;  // a copy: the call may change the table
            currentDoc_ = it->second.doc;
            const QString member = request.value(QStringLiteral("m")).toString();
            const QCborArray args = request.value(QStringLiteral("a")).toArray();
            reply.insert(QStringLiteral("v"), std::visit([&](auto& obj) { return call(*obj, member, args); }, target));
            if (!currentDoc_.isEmpty()) reply.insert(QStringLiteral("k"), currentDoc_);
        } catch (const HostError& e) {
            reply.insert(QStringLiteral("e"), static_cast<qint64>(e.number()));
            reply.insert(QStringLiteral("d"), e.description());
        } catch (const std::exception& e) {
            reply.insert(QStringLiteral("e"), static_cast<qint64>(errc::kInvalidArgument));
            reply.insert(QStringLiteral("d"), QString::fromUtf8(e.what()));
        }
        reply.insert(QStringLiteral("g"), static_cast<qint64>(changeCounter()));
        // Objects the client let go of, forgotten after the call: a posted
        // move may name an object whose proxy is gone by the time it is sent.
        for (const QCborValue& released : request.value(QStringLiteral("r")).toArray())
            if (released.toInteger() != 0) objects_.erase(released.toInteger());
        return reply;
    }

    template <class T>
    QCborValue ref(std::shared_ptr<T> obj) {
        if (!obj) return QCborValue(QCborValue::Null);
        QString doc = currentDoc_;
        if constexpr (std::is_same_v<T, Document>) doc = docKeyOf(*obj);
        const qint64 id = nextId_++;
        objects_.emplace(id, Entry{Handle(std::move(obj)), std::move(doc)});
        return wire::objectRef(id);
    }

    template <class T>
    std::shared_ptr<T> argObject(const QCborArray& args, qsizetype i) {
        auto id = wire::objectId(arg(args, i));
        if (!id) badArgument();
        auto it = objects_.find(*id);
        if (it == objects_.end()) badArgument();
        auto* p = std::get_if<std::shared_ptr<T>>(&it->second.handle);
        if (!p) badArgument();
        return *p;
    }

    static QCborValue stringList(const QStringList& list) {
        QCborArray a;
        for (const QString& s : list) a.append(s);
        return a;
    }

    static QCborValue done() {
        AutomationServer::noteChange();
        return QCborValue(QCborValue::Null);
    }

    QCborValue call(Application& app, const QString& m, const QCborArray& a) {
        if (m == u"Visible") return app.visible();
        if (m == u"SetVisible") return app.setVisible(argBool(a, 0)), done();
        if (m == u"WindowState") return app.windowState();
        if (m == u"SetWindowState") return app.setWindowState(int(argInt(a, 0))), done();
        if (m == u"Caption") return app.caption();
        if (m == u"ActiveDocument") return ref(app.activeDocument());
        if (m == u"Documents") return ref(app.documents());
        if (m == u"Update") return app.update(), done();
        if (m == u"ZoomWindow") return app.zoomWindow(wire::toPoint(arg(a, 0)), wire::toPoint(arg(a, 1))), done();
        if (m == u"ZoomScaled") return app.zoomScaled(argDouble(a, 0), int(argInt(a, 1))), done();
        if (m == u"GetViewExtents") {
            Point3 lo, hi;
            app.getViewExtents(lo, hi);
            return QCborArray{wire::fromPoint(lo), wire::fromPoint(hi)};
        }
        if (m == u"Activate") return app.activateWindow(), done();
        if (m == u"SendKeys") return app.sendKeys(argString(a, 0)), done();
        if (m == u"MoveToLayers") return moveToLayers(arg(a, 0).toArray());
        notApplicable();
    }

    // Moves posted by a client, gathered: [[layer, [object, ...]], ...], done
    // in order. Every move is tried; the first refusal is the answer.
    QCborValue moveToLayers(const QCborArray& runs) {
        std::optional<HostError> refused;
        for (const QCborValue& run : runs) {
            const QString layer = run.toArray().at(0).toString();
            for (const QCborValue& object : run.toArray().at(1).toArray()) {
                try {
                    auto it = objects_.find(object.toInteger(-1));
                    auto* entity = it == objects_.end() ? nullptr : std::get_if<EntityPtr>(&it->second.handle);
                    if (!entity) badArgument();
                    (*entity)->setLayer(layer);
                    AutomationServer::noteChange();
                } catch (const HostError& e) {
                    if (!refused) refused = e;
                }
            }
        }
        if (refused) throw *refused;
        return QCborValue(QCborValue::Null);
    }

    QCborValue call(Documents& docs, const QString& m, const QCborArray& a) {
        if (m == u"Count") return docs.count();
        if (m == u"Item") {
            if (arg(a, 0).isString()) return ref(docs.item(argString(a, 0)));
            return ref(docs.item(int(argInt(a, 0))));
        }
        if (m == u"Open") {
            // A drawing open already (the user's, or another client's) stays theirs.
            const int before = docs.count();
            auto doc = docs.open(argString(a, 0));
            if (docs.count() > before) opened_.push_back(doc);
            AutomationServer::noteChange();
            return ref(doc);
        }
        if (m == u"Add") {
            auto doc = docs.add();
            opened_.push_back(doc);
            AutomationServer::noteChange();
            return ref(doc);
        }
        notApplicable();
    }

    QCborValue call(Document& doc, const QString& m, const QCborArray& a) {
        currentDoc_ = docKeyOf(doc);
        if (m == u"Name") return doc.name();
        if (m == u"FullName") return doc.fullName();
        if (m == u"Layers") return ref(doc.layers());
        if (m == u"ActiveLayer") return ref(doc.activeLayer());
        if (m == u"SetActiveLayer") return doc.setActiveLayer(argObject<Layer>(a, 0)), done();
        if (m == u"Linetypes") return stringList(doc.linetypes());
        if (m == u"Layouts") return stringList(doc.layouts());
        if (m == u"ModelSpace") return ref(doc.modelSpace());
        if (m == u"Blocks") return ref(doc.blocks());
        if (m == u"SelectionSets") return ref(doc.selectionSets());
        if (m == u"PurgeAll") return doc.purgeAll(), done();
        if (m == u"Regen") return doc.regen(int(argInt(a, 0))), done();
        if (m == u"Close") return doc.close(argBool(a, 0)), done();
        if (m == u"HandleToObject") return ref(doc.handleToObject(argString(a, 0)));
        notApplicable();
    }

    // Every readable property of a layer in one go; a property the layer
    // refuses to give is carried as its error, so the client raises it when read.
    static QCborValue layerProps(Layer& layer) {
        QCborArray out;
        auto put = [&](auto get) {
            try {
                out.append(get());
            } catch (const HostError& e) {
                out.append(QCborMap{{QStringLiteral("e"), static_cast<qint64>(e.number())},
                                    {QStringLiteral("d"), e.description()}});
            }
        };
        put([&] { return QCborValue(layer.name()); });
        put([&] { return QCborValue(layer.layerOn()); });
        put([&] { return QCborValue(layer.freeze()); });
        put([&] { return QCborValue(layer.lock()); });
        put([&] { return QCborValue(layer.plottable()); });
        put([&] { return QCborValue(layer.color()); });
        put([&] { return QCborValue(layer.linetype()); });
        put([&] { return QCborValue(layer.lineweight()); });
        put([&] { return QCborValue(layer.plotStyleName()); });
        return out;
    }

    // An object with what loops read of it: [ref, ObjectName, Layer, Handle,
    // and of a block reference Name, HasAttributes and the rows of its
    // attributes (else null)]; a member the object refuses is carried as its error.
    QCborValue entityRow(const EntityPtr& e) {
        QCborArray row{ref(e)};
        auto put = [&](auto get) {
            try {
                row.append(get());
            } catch (const HostError& err) {
                row.append(QCborMap{{QStringLiteral("e"), static_cast<qint64>(err.number())},
                                    {QStringLiteral("d"), err.description()}});
            }
        };
        QString objectName;
        put([&] { return QCborValue(objectName = e->objectName()); });
        put([&] { return QCborValue(e->layer()); });
        put([&] { return QCborValue(e->handle()); });
        if (objectName == u"AcDbBlockReference") {
            put([&] { return QCborValue(e->name()); });
            bool hasAttributes = false;
            put([&] { return QCborValue(hasAttributes = e->hasAttributes()); });
            QCborArray attributes;
            if (hasAttributes) {
                try {
                    for (auto& attr : e->getAttributes()) attributes.append(entityRow(attr));
                } catch (const HostError&) {
                    // Left out: the client then asks for them itself and meets the error.
                    row.append(QCborValue(QCborValue::Null));
                    return row;
                }
            }
            row.append(hasAttributes ? QCborValue(attributes) : QCborValue(QCborValue::Null));
        } else {
            row.append(QCborValue(QCborValue::Null));
            row.append(QCborValue(QCborValue::Null));
            row.append(QCborValue(QCborValue::Null));
        }
        return row;
    }

    QCborValue call(Layers& layers, const QString& m, const QCborArray& a) {
        if (m == u"Count") return layers.count();
        if (m == u"Item") {
            if (arg(a, 0).isString()) return ref(layers.item(argString(a, 0)));
            return ref(layers.item(int(argInt(a, 0))));
        }
        if (m == u"Add") {
            auto layer = layers.add(argString(a, 0));
            AutomationServer::noteChange();
            return ref(layer);
        }
        if (m == u"AddProps") {
            auto layer = layers.add(argString(a, 0));
            AutomationServer::noteChange();
            return QCborArray{ref(layer), layerProps(*layer)};
        }
        if (m == u"ItemProps") {
            LayerPtr layer = layers.item(argString(a, 0));
            return QCborArray{ref(layer), layerProps(*layer)};
        }
        if (m == u"Snapshot") {
            // [[layer ref, props], ...] for the whole collection, in order.
            QCborArray out;
            const int n = layers.count();
            for (int i = 0; i < n; ++i) {
                LayerPtr layer = layers.item(i);
                out.append(QCborArray{ref(layer), layerProps(*layer)});
            }
            return out;
        }
        notApplicable();
    }

    QCborValue call(Layer& l, const QString& m, const QCborArray& a) {
        if (m == u"Props") return layerProps(l);
        if (m == u"Name") return l.name();
        if (m == u"LayerOn") return l.layerOn();
        if (m == u"Freeze") return l.freeze();
        if (m == u"Lock") return l.lock();
        if (m == u"Plottable") return l.plottable();
        if (m == u"Color") return l.color();
        if (m == u"Linetype") return l.linetype();
        if (m == u"Lineweight") return l.lineweight();
        if (m == u"PlotStyleName") return l.plotStyleName();
        if (m == u"Delete") return l.deleteLayer(), done();
        // A setter answers the layer's properties as they now read, so a
        // caching client stays exact without asking again.
        auto set = [&](auto apply) {
            apply();
            AutomationServer::noteChange();
            return layerProps(l);
        };
        if (m == u"SetName") return set([&] { l.setName(argString(a, 0)); });
        if (m == u"SetLayerOn") return set([&] { l.setLayerOn(argBool(a, 0)); });
        if (m == u"SetFreeze") return set([&] { l.setFreeze(argBool(a, 0)); });
        if (m == u"SetLock") return set([&] { l.setLock(argBool(a, 0)); });
        if (m == u"SetPlottable") return set([&] { l.setPlottable(argBool(a, 0)); });
        if (m == u"SetColor") return set([&] { l.setColor(int(argInt(a, 0))); });
        if (m == u"SetLinetype") return set([&] { l.setLinetype(argString(a, 0)); });
        if (m == u"SetLineweight") return set([&] { l.setLineweight(int(argInt(a, 0))); });
        if (m == u"SetPlotStyleName") return set([&] { l.setPlotStyleName(argString(a, 0)); });
        notApplicable();
    }

    QCborValue call(Entity& e, const QString& m, const QCborArray& a) {
        if (m == u"Handle") return e.handle();
        if (m == u"ObjectName") return e.objectName();
        if (m == u"Layer") return e.layer();
        if (m == u"SetLayer") return e.setLayer(argString(a, 0)), done();
        if (m == u"TextString") return e.textString();
        if (m == u"GetBoundingBox") {
            Point3 lo, hi;
            e.getBoundingBox(lo, hi);
            return QCborArray{wire::fromPoint(lo), wire::fromPoint(hi)};
        }
        if (m == u"Name") return e.name();
        if (m == u"HasAttributes") return e.hasAttributes();
        if (m == u"GetAttributes") {
            QCborArray out;
            for (auto& attr : e.getAttributes()) out.append(ref(attr));
            return out;
        }
        if (m == u"AttributeRows") {
            QCborArray out;
            for (auto& attr : e.getAttributes()) out.append(entityRow(attr));
            return out;
        }
        notApplicable();
    }

    QCborValue call(EntityCollection& c, const QString& m, const QCborArray& a) {
        if (m == u"Name") return c.name();
        if (m == u"Count") return c.count();
        if (m == u"Item") return ref(c.item(int(argInt(a, 0))));
        if (m == u"Rows") {
            QCborArray out;
            const int n = c.count();
            for (int i = 0; i < n; ++i) out.append(entityRow(c.item(i)));
            return out;
        }
        notApplicable();
    }

    QCborValue call(Blocks& b, const QString& m, const QCborArray& a) {
        if (m == u"Count") return b.count();
        if (m == u"Item") {
            if (arg(a, 0).isString()) return ref(b.item(argString(a, 0)));
            return ref(b.item(int(argInt(a, 0))));
        }
        notApplicable();
    }

    QCborValue call(SelectionSets& s, const QString& m, const QCborArray& a) {
        if (m == u"Count") return s.count();
        if (m == u"Item") {
            if (arg(a, 0).isString()) return ref(s.item(argString(a, 0)));
            return ref(s.item(int(argInt(a, 0))));
        }
        if (m == u"Add") return ref(s.add(argString(a, 0)));
        notApplicable();
    }

    QCborValue call(SelectionSet& s, const QString& m, const QCborArray& a) {
        if (m == u"Name") return s.name();
        if (m == u"Select") {
            std::vector<short> types;
            QVariantList data;
            for (const QCborValue& t : arg(a, 1).toArray()) types.push_back(static_cast<short>(t.toInteger()));
            for (const QCborValue& d : arg(a, 2).toArray()) data.append(d.toVariant());
            s.select(int(argInt(a, 0)), types, data);
            return done();
        }
        if (m == u"Clear") return s.clear(), done();
        if (m == u"Delete") return s.deleteSet(), done();
        if (m == u"Count") return s.count();
        if (m == u"Item") return ref(s.item(int(argInt(a, 0))));
        if (m == u"Items") {
            // Every member at once, for clients that walk the set.
            QCborArray out;
            const int n = s.count();
            for (int i = 0; i < n; ++i) out.append(ref(s.item(i)));
            return out;
        }
        if (m == u"Rows") {
            QCborArray out;
            const int n = s.count();
            for (int i = 0; i < n; ++i) out.append(entityRow(s.item(i)));
            return out;
        }
        notApplicable();
    }

    int fd_;
    QSocketNotifier readable_;
    QSocketNotifier writable_;
    QByteArray out_;  // answers the socket has not taken yet
    wire::FrameReader reader_;
    struct Entry {
        Handle handle;
        QString doc;  // the drawing the object belongs to; empty for the application and documents
    };
    std::unordered_map<qint64, Entry> objects_;
    std::vector<DocumentPtr> opened_;  // drawings this client opened (see discardOpened)
    QString currentDoc_;
    qint64 nextId_ = 1;
    bool dropped_ = false;
};

}  // namespace

AutomationServer::AutomationServer(ApplicationPtr app, QObject* parent) : QObject(parent), app_(std::move(app)) {}

AutomationServer::~AutomationServer() = default;

void AutomationServer::noteChange() { ++changeCounter(); }

bool AutomationServer::listen(const QString& path, QString* reason) {
    if (!wire::prepareSocketFolder(path, reason)) return false;
    if (QFile::exists(path)) {
        // Another host answering there owns the name; a file nobody answers
        // on was left by a host that died, and is taken over.
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(500)) {
            if (reason) *reason = QStringLiteral("a drawhost already answers on %1").arg(path);
            return false;
        }
        QLocalServer::removeServer(path);
    }
    server_ = new Listener([this](int fd) { onNewConnection(fd); }, this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path)) {
        if (reason) *reason = server_->errorString();
        delete server_;
        server_ = nullptr;
        return false;
    }
    return true;
}

QString AutomationServer::path() const { return server_ ? server_->fullServerName() : QString(); }

void AutomationServer::onNewConnection(int fd) { new Connection(fd, app_, this); }

}  // namespace host
