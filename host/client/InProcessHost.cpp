#include "host/client/InProcessHost.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "host/HostConnection.h"
#include "engine/Drawing.h"

namespace host {

namespace {

// Runs an engine call, raising its refusal as the host's error.
template <class F>
auto engine(F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const dxf::EngineError& e) {
        throw HostError(e.number(), QString::fromUtf8(e.description()));
    }
}

std::string utf8(const QString& s) { return s.toStdString(); }
QString qs(const std::string& s) { return QString::fromStdString(s); }

[[noreturn]] void badArgument() {
    throw HostError(errc::kInvalidArgument, QStringLiteral("Invalid procedure call or argument"));
}

// A new drawing: the least an R2000 file needs for the engine and for other readers.
const char* const kEmptyDrawing =
    "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1015\n9\n$CLAYER\n8\n0\n9\n$HANDSEED\n5\n100\n"
    "0\nENDSEC\n0\nSECTION\n2\nTABLES\n"
    "0\nTABLE\n2\nLTYPE\n5\n5\n100\nAcDbSymbolTable\n70\n1\n"
    "0\nLTYPE\n5\n14\n100\nAcDbSymbolTableRecord\n100\nAcDbLinetypeTableRecord\n2\nContinuous\n70\n0\n3\nSolid line\n72\n65\n73\n0\n40\n0.0\n"
    "0\nENDTAB\n"
    "0\nTABLE\n2\nLAYER\n5\n2\n100\nAcDbSymbolTable\n70\n1\n"
    "0\nLAYER\n5\n10\n100\nAcDbSymbolTableRecord\n100\nAcDbLayerTableRecord\n2\n0\n70\n0\n62\n7\n6\nContinuous\n370\n-3\n"
    "0\nENDTAB\n0\nENDSEC\n"
    "0\nSECTION\n2\nBLOCKS\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n";

// Shared by every object of one drawing: the host, and the document, which
// may be closed under the object's feet.
struct DocRef {
    std::shared_ptr<InProcessHost> host;
    std::shared_ptr<OpenDocument> doc;
    dxf::Drawing& drawing() const {
        if (doc->closed()) throw HostError(errc::kNoDocument, QStringLiteral("The drawing has been closed"));
        return *doc->drawing;
    }
    void changed() const { host->changed(doc->drawing.get()); }
};

class InLayer : public Layer {
public:
    InLayer(DocRef ref, dxf::Layer layer) : ref_(std::move(ref)), layer_(layer) {}
    const dxf::Layer& raw() {
        ref_.drawing();
        if (layer_.isDeleted()) throw HostError(errc::kKeyNotFound, QStringLiteral("The layer has been deleted"));
        return layer_;
    }
    QString name() override { return get([&] { return qs(raw().name()); }); }
    void setName(const QString& n) override { set([&] { layer_.setName(utf8(n)); }); }
    void deleteLayer() override { set([&] { layer_.remove(); }); }
    bool layerOn() override { return get([&] { return raw().layerOn(); }); }
    void setLayerOn(bool on) override { set([&] { layer_.setLayerOn(on); }); }
    bool freeze() override { return get([&] { return raw().freeze(); }); }
    void setFreeze(bool on) override { set([&] { layer_.setFreeze(on); }); }
    bool lock() override { return get([&] { return raw().lock(); }); }
    void setLock(bool on) override { set([&] { layer_.setLock(on); }); }
    bool plottable() override { return get([&] { return raw().plottable(); }); }
    void setPlottable(bool on) override { set([&] { layer_.setPlottable(on); }); }
    int color() override { return get([&] { return raw().color(); }); }
    void setColor(int index) override { set([&] { layer_.setColor(index); }); }
    QString linetype() override { return get([&] { return qs(raw().linetype()); }); }
    void setLinetype(const QString& n) override { set([&] { layer_.setLinetype(utf8(n)); }); }
    int lineweight() override { return get([&] { return raw().lineweight(); }); }
    void setLineweight(int v) override { set([&] { layer_.setLineweight(v); }); }
    QString plotStyleName() override { return get([&] { return qs(raw().plotStyleName()); }); }
    void setPlotStyleName(const QString& n) override { set([&] { layer_.setPlotStyleName(utf8(n)); }); }

private:
    template <class F>
    auto get(F&& f) -> decltype(f()) {
        return engine(f);
    }
    template <class F>
    void set(F&& f) {
        raw();
        engine(f);
        ref_.changed();
    }
    DocRef ref_;
    dxf::Layer layer_;
};

class InLayers : public Layers {
public:
    explicit InLayers(DocRef ref) : ref_(std::move(ref)) {}
    int count() override { return int(ref_.drawing().layerCount()); }
    LayerPtr item(int index) override {
        dxf::Drawing& d = ref_.drawing();
        if (index < 0 || size_t(index) >= d.layerCount()) badArgument();
        return std::make_shared<InLayer>(ref_, engine([&] { return d.layerAt(size_t(index)); }));
    }
    LayerPtr item(const QString& name) override {
        dxf::Drawing& d = ref_.drawing();
        return std::make_shared<InLayer>(ref_, engine([&] { return d.layer(utf8(name)); }));
    }
    LayerPtr add(const QString& name) override {
        dxf::Drawing& d = ref_.drawing();
        auto layer = engine([&] { return d.addLayer(utf8(name)); });
        ref_.changed();
        return std::make_shared<InLayer>(ref_, layer);
    }

private:
    DocRef ref_;
};

class InEntity : public Entity {
public:
    InEntity(DocRef ref, dxf::Entity e) : ref_(std::move(ref)), e_(e) {}
    QString handle() override { return get([&] { return qs(e_.handle()); }); }
    QString objectName() override { return get([&] { return qs(e_.objectName()); }); }
    QString layer() override { return get([&] { return qs(e_.layer()); }); }
    void setLayer(const QString& name) override {
        get([&] {
            e_.setLayer(utf8(name));
            return 0;
        });
        ref_.changed();
    }
    QString textString() override { return get([&] { return qs(e_.textString()); }); }
    void getBoundingBox(Point3& lo, Point3& hi) override {
        const dxf::BoundingBox box = get([&] { return e_.boundingBox(); });
        lo = {box.min.x, box.min.y, box.min.z};
        hi = {box.max.x, box.max.y, box.max.z};
    }
    QString name() override {
        return get([&] {
            if (e_.type() != "INSERT")
                throw HostError(errc::kNotApplicable, QStringLiteral("Object doesn't support this property or method"));
            return qs(e_.blockName());
        });
    }
    bool hasAttributes() override { return get([&] { return e_.type() == "INSERT" && e_.hasAttributes(); }); }
    std::vector<EntityPtr> getAttributes() override {
        std::vector<EntityPtr> out;
        for (const dxf::Entity& a : get([&] { return e_.attributes(); })) out.push_back(std::make_shared<InEntity>(ref_, a));
        return out;
    }

private:
    template <class F>
    auto get(F&& f) -> decltype(f()) {
        ref_.drawing();
        return engine(f);
    }
    DocRef ref_;
    dxf::Entity e_;
};

// Model space or a block: the list is taken once, as objects are never added
// or removed through this interface.
class InCollection : public EntityCollection {
public:
    InCollection(DocRef ref, QString name, std::vector<dxf::Entity> items)
        : ref_(std::move(ref)), name_(std::move(name)), items_(std::move(items)) {}
    QString name() override { return name_; }
    int count() override {
        ref_.drawing();
        return int(items_.size());
    }
    EntityPtr item(int index) override {
        ref_.drawing();
        if (index < 0 || size_t(index) >= items_.size()) badArgument();
        return std::make_shared<InEntity>(ref_, items_[size_t(index)]);
    }

private:
    DocRef ref_;
    QString name_;
    std::vector<dxf::Entity> items_;
};

class InBlocks : public Blocks {
public:
    explicit InBlocks(DocRef ref) : ref_(std::move(ref)) {}
    int count() override { return int(ref_.drawing().blockCount()); }
    EntityCollectionPtr item(int index) override {
        auto all = engine([&] { return ref_.drawing().blocks(); });
        if (index < 0 || size_t(index) >= all.size()) badArgument();
        return wrap(all[size_t(index)]);
    }
    EntityCollectionPtr item(const QString& name) override {
        return wrap(engine([&] { return ref_.drawing().block(utf8(name)); }));
    }

private:
    EntityCollectionPtr wrap(const dxf::Block& b) {
        return std::make_shared<InCollection>(ref_, qs(b.name()), engine([&] { return b.entities(); }));
    }
    DocRef ref_;
};

class InSelectionSet : public SelectionSet {
public:
    InSelectionSet(DocRef ref, std::string name) : ref_(std::move(ref)), name_(std::move(name)) {}
    QString name() override { return qs(name_); }
    void select(int mode, const std::vector<short>& types, const QVariantList& data) override {
        if (mode != 5 || types.size() != size_t(data.size())) badArgument();
        dxf::SelectFilter filter;
        bool contradictory = false;
        // Each pair must hold; two different values for one code hold for nothing.
        auto put = [&](std::optional<std::string>& slot, const QString& value) {
            if (slot && QString::compare(qs(*slot), value, Qt::CaseInsensitive) != 0) contradictory = true;
            slot = utf8(value);
        };
        for (size_t i = 0; i < types.size(); ++i) {
            const QString value = data[qsizetype(i)].toString();
            if (types[i] == 8) put(filter.layer, value);
            else if (types[i] == 0) put(filter.type, value);
            else badArgument();
        }
        auto& items = set().items;
        if (contradictory) return;
        for (const dxf::Entity& e : engine([&] { return ref_.drawing().selectAll(filter); }))
            if (std::find(items.begin(), items.end(), e) == items.end()) items.push_back(e);
    }
    void clear() override { set().items.clear(); }
    void deleteSet() override {
        auto& sets = ref_.drawing().selectionSets();
        std::erase_if(sets, [&](const dxf::SelectionSet& s) { return s.name == name_; });
    }
    int count() override { return int(set().items.size()); }
    EntityPtr item(int index) override {
        auto& items = set().items;
        if (index < 0 || size_t(index) >= items.size()) badArgument();
        return std::make_shared<InEntity>(ref_, items[size_t(index)]);
    }

private:
    // Looked up on each use: the drawing's list of sets may grow and move.
    dxf::SelectionSet& set() {
        for (auto& s : ref_.drawing().selectionSets())
            if (s.name == name_) return s;
        throw HostError(errc::kKeyNotFound, QStringLiteral("The selection set has been deleted"));
    }
    DocRef ref_;
    std::string name_;
};

class InSelectionSets : public SelectionSets {
public:
    explicit InSelectionSets(DocRef ref) : ref_(std::move(ref)) {}
    int count() override { return int(ref_.drawing().selectionSets().size()); }
    SelectionSetPtr item(int index) override {
        auto& sets = ref_.drawing().selectionSets();
        if (index < 0 || size_t(index) >= sets.size()) badArgument();
        return std::make_shared<InSelectionSet>(ref_, sets[size_t(index)].name);
    }
    SelectionSetPtr item(const QString& name) override {
        for (auto& s : ref_.drawing().selectionSets())
            if (QString::compare(qs(s.name), name, Qt::CaseInsensitive) == 0)
                return std::make_shared<InSelectionSet>(ref_, s.name);
        throw HostError(errc::kKeyNotFound, QStringLiteral("The key was not found"));
    }
    SelectionSetPtr add(const QString& name) override {
        const std::string n = utf8(name);
        engine([&] { return ref_.drawing().addSelectionSet(n).name; });
        return std::make_shared<InSelectionSet>(ref_, n);
    }

private:
    DocRef ref_;
};

QStringList toList(const std::vector<std::string>& v) {
    QStringList out;
    out.reserve(qsizetype(v.size()));
    for (const auto& s : v) out.append(qs(s));
    return out;
}

class InDocument : public Document {
public:
    explicit InDocument(DocRef ref) : ref_(std::move(ref)) {}
    QString name() override {
        ref_.drawing();
        return ref_.doc->name;
    }
    QString fullName() override {
        ref_.drawing();
        return ref_.doc->fullName;
    }
    LayersPtr layers() override {
        ref_.drawing();
        return std::make_shared<InLayers>(ref_);
    }
    LayerPtr activeLayer() override {
        return std::make_shared<InLayer>(ref_, engine([&] { return ref_.drawing().activeLayer(); }));
    }
    void setActiveLayer(const LayerPtr& layer) override {
        auto* in = dynamic_cast<InLayer*>(layer.get());
        if (!in) badArgument();
        const dxf::Layer& raw = in->raw();
        engine([&] {
            ref_.drawing().setActiveLayer(raw);
            return 0;
        });
        ref_.changed();
    }
    QStringList linetypes() override { return toList(engine([&] { return ref_.drawing().linetypes(); })); }
    QStringList layouts() override { return toList(engine([&] { return ref_.drawing().layouts(); })); }
    EntityCollectionPtr modelSpace() override {
        return std::make_shared<InCollection>(ref_, QStringLiteral("*Model_Space"),
                                              engine([&] { return ref_.drawing().modelSpace(); }));
    }
    BlocksPtr blocks() override {
        ref_.drawing();
        return std::make_shared<InBlocks>(ref_);
    }
    SelectionSetsPtr selectionSets() override {
        ref_.drawing();
        return std::make_shared<InSelectionSets>(ref_);
    }
    void purgeAll() override {
        engine([&] { return ref_.drawing().purgeAll(); });
        ref_.changed();
    }
    void regen(int) override {
        ref_.drawing();
        ref_.changed();
    }
    void close(bool save) override {
        ref_.drawing();
        ref_.host->close(ref_.doc, save);
    }
    EntityPtr handleToObject(const QString& handle) override {
        return std::make_shared<InEntity>(ref_, engine([&] { return ref_.drawing().handleToObject(utf8(handle)); }));
    }

private:
    DocRef ref_;
};

class InDocuments : public Documents {
public:
    explicit InDocuments(std::shared_ptr<InProcessHost> host) : host_(std::move(host)) {}
    int count() override { return int(host_->documents().size()); }
    DocumentPtr item(int index) override {
        const auto& docs = host_->documents();
        if (index < 0 || size_t(index) >= docs.size()) badArgument();
        return wrap(docs[size_t(index)]);
    }
    DocumentPtr item(const QString& fileName) override {
        // The exact name first; letter case only decides when nothing matches exactly.
        for (const auto& d : host_->documents())
            if (d->name == fileName) return wrap(d);
        for (const auto& d : host_->documents())
            if (d->name.compare(fileName, Qt::CaseInsensitive) == 0) return wrap(d);
        throw HostError(errc::kKeyNotFound, QStringLiteral("The key was not found"));
    }
    DocumentPtr open(const QString& fullPath) override { return wrap(host_->open(fullPath)); }
    DocumentPtr add() override { return wrap(host_->addNew()); }

private:
    DocumentPtr wrap(std::shared_ptr<OpenDocument> d) { return std::make_shared<InDocument>(DocRef{host_, std::move(d)}); }
    std::shared_ptr<InProcessHost> host_;
};

class InApplication : public Application {
public:
    explicit InApplication(std::shared_ptr<InProcessHost> host) : host_(std::move(host)) {}
    bool visible() override { return host_->shell().visible(); }
    void setVisible(bool on) override { host_->shell().setVisible(on); }
    int windowState() override { return host_->shell().windowState(); }
    void setWindowState(int state) override {
        if (state < kWindowNormal || state > kWindowMaximized) badArgument();
        host_->shell().setWindowState(state);
    }
    QString caption() override { return host_->shell().caption(); }
    DocumentPtr activeDocument() override {
        auto doc = host_->activeDocument();
        if (!doc) throw HostError(errc::kNoDocument, QStringLiteral("No active document"));
        return std::make_shared<InDocument>(DocRef{host_, doc});
    }
    DocumentsPtr documents() override { return std::make_shared<InDocuments>(host_); }
    void update() override { host_->shell().update(); }
    void zoomWindow(const Point3& lo, const Point3& hi) override {
        if (!host_->activeDocument()) throw HostError(errc::kNoDocument, QStringLiteral("No active document"));
        host_->shell().zoomWindow(lo, hi);
    }
    void zoomScaled(double scale, int scaleType) override {
        if (!host_->activeDocument()) throw HostError(errc::kNoDocument, QStringLiteral("No active document"));
        if (scale <= 0) badArgument();
        host_->shell().zoomScaled(scale, scaleType);
    }
    void getViewExtents(Point3& lo, Point3& hi) override {
        if (!host_->activeDocument()) throw HostError(errc::kNoDocument, QStringLiteral("No active document"));
        host_->shell().getViewExtents(lo, hi);
    }
    void activateWindow() override { host_->shell().activateWindow(); }
    void sendKeys(const QString& keys) override { host_->shell().sendKeys(keys); }

private:
    std::shared_ptr<InProcessHost> host_;
};

}  // namespace

QString HostShell::caption() { return QStringLiteral("drawhost"); }

void HostShell::getViewExtents(Point3&, Point3&) {
    throw HostError(errc::kNotApplicable, QStringLiteral("The host shows no view"));
}

InProcessHost::InProcessHost(std::shared_ptr<HostShell> shell)
    : shell_(shell ? std::move(shell) : std::make_shared<HostShell>()) {}

std::shared_ptr<InProcessHost> InProcessHost::create(std::shared_ptr<HostShell> shell) {
    return std::shared_ptr<InProcessHost>(new InProcessHost(std::move(shell)));
}

ApplicationPtr InProcessHost::application() { return std::make_shared<InApplication>(shared_from_this()); }

std::shared_ptr<OpenDocument> InProcessHost::activeDocument() const {
    auto doc = active_.lock();
    if (doc && !doc->closed()) return doc;
    return docs_.empty() ? nullptr : docs_.back();
}

void InProcessHost::setActiveDocument(const std::shared_ptr<OpenDocument>& doc) {
    active_ = doc;
    shell_->documentsChanged();
}

std::shared_ptr<OpenDocument> InProcessHost::open(const QString& path) {
    const QFileInfo info(path);
    const QString full = QDir::cleanPath(info.absoluteFilePath());
    for (const auto& d : docs_)
        if (d->fullName == full) {
            setActiveDocument(d);
            return d;
        }
    if (!info.isFile())
        throw HostError(errc::kFileError, QStringLiteral("Cannot open the drawing file: %1").arg(path));
    auto doc = std::make_shared<OpenDocument>();
    doc->drawing = engine([&] { return dxf::Drawing::open(QFile::encodeName(full).toStdString()); });
    doc->fullName = full;
    doc->name = info.fileName();
    docs_.push_back(doc);
    setActiveDocument(doc);
    return doc;
}

std::shared_ptr<OpenDocument> InProcessHost::addNew() {
    auto doc = std::make_shared<OpenDocument>();
    doc->name = QStringLiteral("Drawing%1.dxf").arg(++untitled_);
    doc->drawing = engine([&] { return dxf::Drawing::fromBytes(kEmptyDrawing, utf8(doc->name)); });
    docs_.push_back(doc);
    setActiveDocument(doc);
    return doc;
}

void InProcessHost::save(const std::shared_ptr<OpenDocument>& doc) {
    if (doc->closed()) throw HostError(errc::kNoDocument, QStringLiteral("The drawing has been closed"));
    if (doc->fullName.isEmpty())
        throw HostError(errc::kFileError, QStringLiteral("The drawing %1 has no file to save to").arg(doc->name));
    engine([&] {
        doc->drawing->save();
        return 0;
    });
}

void InProcessHost::saveAs(const std::shared_ptr<OpenDocument>& doc, const QString& path) {
    if (doc->closed()) throw HostError(errc::kNoDocument, QStringLiteral("The drawing has been closed"));
    // The engine writes a drawing in the format it was read from: a name
    // with the other format's extension would mislabel the file.
    const bool dwg = doc->drawing->isDwg();
    if (!path.endsWith(dwg ? QStringLiteral(".dwg") : QStringLiteral(".dxf"), Qt::CaseInsensitive))
        throw HostError(errc::kFileError, dwg ? QStringLiteral("A DWG drawing is saved as a DWG file (.dwg)")
                                              : QStringLiteral("A DXF drawing is saved as a DXF file (.dxf)"));
    const QFileInfo info(path);
    const QString full = QDir::cleanPath(info.absoluteFilePath());
    for (const auto& d : docs_)
        if (d != doc && d->fullName == full)
            throw HostError(errc::kFileError, QStringLiteral("The drawing %1 is open: close it first").arg(d->name));
    engine([&] {
        doc->drawing->saveAs(QFile::encodeName(full).toStdString());
        return 0;
    });
    doc->fullName = full;
    doc->name = info.fileName();
    shell_->documentsChanged();
}

void InProcessHost::close(const std::shared_ptr<OpenDocument>& doc, bool save) {
    if (doc->closed()) return;
    if (save) this->save(doc);
    const bool wasActive = activeDocument() == doc;
    std::erase(docs_, doc);
    // Objects a client still holds find the drawing gone and fail cleanly.
    doc->drawing.reset();
    if (wasActive) active_.reset();
    shell_->documentsChanged();
}

void InProcessHost::changed(dxf::Drawing* drawing) { shell_->drawingChanged(drawing); }

namespace {
class InProcessProvider : public HostProvider {
public:
    ApplicationPtr getRunning() override {
        if (!host_) throw HostError(errc::kNotRunning, QStringLiteral("ActiveX component can't create object"));
        return host_->application();
    }
    ApplicationPtr create() override {
        if (!host_) host_ = InProcessHost::create();
        return host_->application();
    }

private:
    std::shared_ptr<InProcessHost> host_;
};
}  // namespace

void installInProcessHostProvider() { setHostProvider(std::make_shared<InProcessProvider>()); }

}  // namespace host
