#include "host/tests/FakeDrawingHost.h"

#include <QFileInfo>
#include <algorithm>

namespace fakehost {

using namespace host;

namespace {

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

[[noreturn]] void raise(long number, const QString& text) { throw HostError(number, text); }

bool validLayerName(const QString& name) {
    if (name.isEmpty() || name.size() > 255 || name != name.trimmed()) return false;
    static const QString forbidden = QStringLiteral("<>/\\\":;?*|,=`");
    return std::none_of(name.begin(), name.end(), [](QChar c) { return forbidden.contains(c) || c < QChar(32); });
}

bool reservedLayer(const QString& name) {
    return name == QLatin1String("0") || sameName(name, QStringLiteral("Defpoints"));
}

}  // namespace

// ---- drawing contents ------------------------------------------------------

DrawingData::DrawingData() {
    layer(QStringLiteral("0"));
    current = layers.front();
    layer(QStringLiteral("Defpoints")).plottable = false;
    linetypes = {QStringLiteral("ByBlock"), QStringLiteral("ByLayer"), QStringLiteral("Continuous"),
                 QStringLiteral("DASHED"), QStringLiteral("CENTER")};
    plotStyles = {QStringLiteral("Normal"), QStringLiteral("Style1"), QStringLiteral("Style")};
}

DrawingData DrawingData::clone() const {
    DrawingData copy(*this);
    std::map<const LayerData*, LayerDataPtr> layerMap;
    for (auto& l : copy.layers) {
        auto fresh = std::make_shared<LayerData>(*l);
        layerMap[l.get()] = fresh;
        l = fresh;
    }
    copy.current = current ? layerMap[current.get()] : nullptr;
    std::function<EntityDataPtr(const EntityDataPtr&)> cloneEntity = [&](const EntityDataPtr& e) {
        auto fresh = std::make_shared<EntityData>(*e);
        fresh->layer = layerMap[e->layer.get()];
        for (auto& a : fresh->attributes) a = cloneEntity(a);
        return fresh;
    };
    for (auto& e : copy.modelSpace) e = cloneEntity(e);
    for (auto& e : copy.paperSpace) e = cloneEntity(e);
    for (auto& b : copy.blocks)
        for (auto& e : b.entities) e = cloneEntity(e);
    return copy;
}

LayerDataPtr DrawingData::findLayer(const QString& name) const {
    for (const auto& l : layers)
        if (sameName(l->name, name)) return l;
    return nullptr;
}

LayerData& DrawingData::layer(const QString& name) {
    if (auto l = findLayer(name)) return *l;
    auto l = std::make_shared<LayerData>();
    l->name = name;
    layers.push_back(l);
    return *l;
}

QString DrawingData::newHandle() { return QString::number(nextHandle++, 16).toUpper(); }

EntityDataPtr DrawingData::addEntity(const QString& layerName, const QString& objectName) {
    layer(layerName);
    auto e = std::make_shared<EntityData>();
    e->handle = newHandle();
    e->objectName = objectName;
    e->layer = findLayer(layerName);
    modelSpace.push_back(e);
    return e;
}

EntityDataPtr DrawingData::addPaperEntity(const QString& layerName) {
    auto e = addEntity(layerName);
    modelSpace.pop_back();
    paperSpace.push_back(e);
    return e;
}

BlockData& DrawingData::block(const QString& name) {
    for (auto& b : blocks)
        if (sameName(b.name, name)) return b;
    blocks.push_back(BlockData{name, {}});
    return blocks.back();
}

EntityDataPtr DrawingData::addBlockEntity(const QString& blockName, const QString& layerName) {
    layer(layerName);
    auto e = std::make_shared<EntityData>();
    e->handle = newHandle();
    e->objectName = QStringLiteral("AcDbLine");
    e->layer = findLayer(layerName);
    block(blockName).entities.push_back(e);
    return e;
}

EntityDataPtr DrawingData::addBlockReference(const QString& blockName, const QString& layerName) {
    block(blockName);
    auto e = addEntity(layerName, QStringLiteral("AcDbBlockReference"));
    e->blockName = blockName;
    return e;
}

EntityDataPtr DrawingData::addAttribute(const EntityDataPtr& reference, const QString& layerName) {
    layer(layerName);
    auto a = std::make_shared<EntityData>();
    a->handle = newHandle();
    a->objectName = QStringLiteral("AcDbAttribute");
    a->layer = findLayer(layerName);
    reference->attributes.push_back(a);
    return a;
}

QStringList DrawingData::layerNames() const {
    QStringList names;
    for (const auto& l : layers) names << l->name;
    return names;
}

std::vector<EntityDataPtr> DrawingData::allObjects() const {
    std::vector<EntityDataPtr> all;
    auto addWithAttributes = [&](const EntityDataPtr& e) {
        all.push_back(e);
        for (const auto& a : e->attributes) all.push_back(a);
    };
    for (const auto& e : modelSpace) addWithAttributes(e);
    for (const auto& e : paperSpace) addWithAttributes(e);
    for (const auto& b : blocks)
        for (const auto& e : b.entities) addWithAttributes(e);
    return all;
}

int DrawingData::objectsOn(const QString& layerName) const {
    int n = 0;
    for (const auto& e : allObjects())
        if (e->layer && e->layer->name == layerName) ++n;
    return n;
}

bool DrawingData::layerInUse(const LayerData& l) const {
    const auto all = allObjects();
    return std::any_of(all.begin(), all.end(), [&](const EntityDataPtr& e) { return e->layer.get() == &l; });
}

QString OpenDocument::fileName() const { return QFileInfo(fullName).fileName(); }

OpenDocumentPtr HostState::openByUser(const QString& fullPath) {
    auto doc = std::make_shared<OpenDocument>();
    doc->fullName = fullPath;
    doc->data = disk.at(fullPath).clone();
    documents.push_back(doc);
    return doc;
}

OpenDocumentPtr HostState::findOpen(const QString& fullPath) const {
    for (const auto& d : documents)
        if (d->fullName == fullPath) return d;
    return nullptr;
}

// ---- the interface -----------------------------------------------------------

namespace {

using StatePtr = std::shared_ptr<HostState>;

void requireOpen(const OpenDocumentPtr& doc) {
    if (!doc->open) raise(errc::kDisconnected, QStringLiteral("The document is closed"));
}

class FakeLayer : public Layer {
public:
    FakeLayer(OpenDocumentPtr doc, LayerDataPtr data) : doc_(std::move(doc)), data_(std::move(data)) {}
    QString name() override { return live().name; }
    void setName(const QString& name) override {
        LayerData& l = live();
        if (reservedLayer(l.name) || l.name.contains(QLatin1Char('|')) || !validLayerName(name))
            raise(errc::kInvalidInput, QStringLiteral("Invalid input"));
        if (auto other = doc_->data.findLayer(name); other && other != data_)
            raise(errc::kDuplicateKey, QStringLiteral("Duplicate record name"));
        l.name = name;
        doc_->modified = true;
    }
    void deleteLayer() override {
        LayerData& l = live();
        if (reservedLayer(l.name) || doc_->data.current == data_ || doc_->data.layerInUse(l))
            raise(errc::kObjectInUse, QStringLiteral("Object is referenced"));
        auto& layers = doc_->data.layers;
        layers.erase(std::find(layers.begin(), layers.end(), data_));
        doc_->modified = true;
    }
    bool layerOn() override { return live().on; }
    void setLayerOn(bool on) override { live().on = on, touch(); }
    bool freeze() override { return live().frozen; }
    void setFreeze(bool on) override {
        live();
        if (on && doc_->data.current == data_) raise(errc::kInvalidInput, QStringLiteral("Cannot freeze the current layer"));
        data_->frozen = on;
        touch();
    }
    bool lock() override { return live().locked; }
    void setLock(bool on) override { live().locked = on, touch(); }
    bool plottable() override { return live().plottable; }
    void setPlottable(bool on) override { live().plottable = on, touch(); }
    int color() override { return live().color; }
    void setColor(int index) override {
        live();
        if (index < 1 || index > 255) raise(errc::kInvalidInput, QStringLiteral("Invalid input"));
        data_->color = index;
        touch();
    }
    QString linetype() override { return live().linetype; }
    void setLinetype(const QString& name) override {
        live();
        const auto& types = doc_->data.linetypes;
        auto it = std::find_if(types.begin(), types.end(), [&](const QString& t) { return sameName(t, name); });
        if (it == types.end() || sameName(name, QStringLiteral("ByBlock")) || sameName(name, QStringLiteral("ByLayer")))
            raise(errc::kKeyNotFound, QStringLiteral("Key not found"));
        data_->linetype = *it;
        touch();
    }
    int lineweight() override { return live().lineweight; }
    void setLineweight(int value) override {
        live();
        static const QList<int> valid{-3, 0, 5, 9, 13, 15, 18, 20, 25, 30, 35, 40, 50, 53,
                                      60, 70, 80, 90, 100, 106, 120, 140, 158, 200, 211};
        if (!valid.contains(value)) raise(errc::kInvalidInput, QStringLiteral("Invalid input"));
        data_->lineweight = value;
        touch();
    }
    QString plotStyleName() override { return live().plotStyle; }
    void setPlotStyleName(const QString& name) override {
        live();
        const auto& styles = doc_->data.plotStyles;
        auto it = std::find_if(styles.begin(), styles.end(), [&](const QString& s) { return sameName(s, name); });
        if (it == styles.end()) raise(errc::kKeyNotFound, QStringLiteral("Key not found"));
        data_->plotStyle = *it;
        touch();
    }

private:
    LayerData& live() {
        requireOpen(doc_);
        const auto& layers = doc_->data.layers;
        if (std::find(layers.begin(), layers.end(), data_) == layers.end())
            raise(errc::kKeyNotFound, QStringLiteral("Object was erased"));
        return *data_;
    }
    void touch() { doc_->modified = true; }
    OpenDocumentPtr doc_;
    LayerDataPtr data_;
};

class FakeEntity : public Entity {
public:
    FakeEntity(OpenDocumentPtr doc, EntityDataPtr data) : doc_(std::move(doc)), data_(std::move(data)) {}
    QString handle() override { return live().handle; }
    QString objectName() override { return live().objectName; }
    QString layer() override { return live().layer->name; }
    void setLayer(const QString& name) override {
        live();
        auto target = doc_->data.findLayer(name);
        if (!target) raise(errc::kKeyNotFound, QStringLiteral("Key not found"));
        data_->layer = target;
        doc_->modified = true;
    }
    QString textString() override {
        if (live().objectName != QLatin1String("AcDbText") && data_->objectName != QLatin1String("AcDbAttribute"))
            raise(errc::kNotApplicable, QStringLiteral("Object doesn't support this property or method"));
        return data_->text;
    }
    void getBoundingBox(Point3& minPoint, Point3& maxPoint) override {
        live();
        minPoint = {0, 0, 0};
        maxPoint = {1, 1, 0};
    }
    QString name() override { return reference().blockName; }
    bool hasAttributes() override { return !reference().attributes.empty(); }
    std::vector<EntityPtr> getAttributes() override {
        std::vector<EntityPtr> list;
        for (const auto& a : reference().attributes) list.push_back(std::make_shared<FakeEntity>(doc_, a));
        return list;
    }

private:
    EntityData& live() {
        requireOpen(doc_);
        return *data_;
    }
    EntityData& reference() {
        if (live().objectName != QLatin1String("AcDbBlockReference"))
            raise(errc::kNotApplicable, QStringLiteral("Object doesn't support this property or method"));
        return *data_;
    }
    OpenDocumentPtr doc_;
    EntityDataPtr data_;
};

class FakeEntityCollection : public EntityCollection {
public:
    FakeEntityCollection(OpenDocumentPtr doc, QString name, std::function<std::vector<EntityDataPtr>&()> items)
        : doc_(std::move(doc)), name_(std::move(name)), items_(std::move(items)) {}
    QString name() override { return name_; }
    int count() override {
        requireOpen(doc_);
        return static_cast<int>(items_().size());
    }
    EntityPtr item(int index) override {
        requireOpen(doc_);
        auto& items = items_();
        if (index < 0 || index >= static_cast<int>(items.size())) raise(errc::kInvalidArgument, QStringLiteral("Invalid index"));
        return std::make_shared<FakeEntity>(doc_, items[static_cast<size_t>(index)]);
    }

private:
    OpenDocumentPtr doc_;
    QString name_;
    std::function<std::vector<EntityDataPtr>&()> items_;
};

class FakeBlocks : public Blocks {
public:
    explicit FakeBlocks(OpenDocumentPtr doc) : doc_(std::move(doc)) {}
    int count() override { return static_cast<int>(doc_->data.blocks.size()); }
    EntityCollectionPtr item(int index) override {
        requireOpen(doc_);
        if (index < 0 || index >= count()) raise(errc::kInvalidArgument, QStringLiteral("Invalid index"));
        return collection(doc_->data.blocks[static_cast<size_t>(index)].name);
    }
    EntityCollectionPtr item(const QString& name) override {
        requireOpen(doc_);
        for (const auto& b : doc_->data.blocks)
            if (sameName(b.name, name)) return collection(b.name);
        raise(errc::kKeyNotFound, QStringLiteral("Key not found"));
    }

private:
    EntityCollectionPtr collection(const QString& name) {
        auto doc = doc_;
        return std::make_shared<FakeEntityCollection>(doc_, name, [doc, name]() -> std::vector<EntityDataPtr>& {
            return doc->data.block(name).entities;
        });
    }
    OpenDocumentPtr doc_;
};

// The object type as a selection filter names it.
QString dxfType(const QString& objectName) {
    if (objectName == QLatin1String("AcDbBlockReference")) return QStringLiteral("INSERT");
    if (objectName == QLatin1String("AcDbText")) return QStringLiteral("TEXT");
    if (objectName == QLatin1String("AcDbLine")) return QStringLiteral("LINE");
    return objectName;
}

class FakeSelectionSet : public SelectionSet {
public:
    FakeSelectionSet(OpenDocumentPtr doc, std::shared_ptr<SelectionSetData> data, const HostState* state)
        : doc_(std::move(doc)), data_(std::move(data)), state_(state) {}
    QString name() override { return live().name; }
    void select(int mode, const std::vector<short>& filterType, const QVariantList& filterData) override {
        live();
        if (mode != 5 || filterType.size() != static_cast<size_t>(filterData.size()))
            raise(errc::kInvalidArgument, QStringLiteral("Invalid argument"));
        std::vector<EntityDataPtr> candidates = doc_->data.modelSpace;
        candidates.insert(candidates.end(), doc_->data.paperSpace.begin(), doc_->data.paperSpace.end());
        for (const auto& e : candidates) {
            bool pass = true;
            for (size_t i = 0; i < filterType.size(); ++i) {
                const QString value = filterData[static_cast<qsizetype>(i)].toString();
                if (filterType[i] == 8 && !state_->sloppyFilter) pass = pass && sameName(e->layer->name, value);
                else if (filterType[i] == 0) pass = pass && (sameName(e->objectName, value) || sameName(dxfType(e->objectName), value));
            }
            if (pass) data_->items.push_back(e);
        }
    }
    void clear() override { live().items.clear(); }
    void deleteSet() override {
        live();
        auto& sets = doc_->selectionSets;
        sets.erase(std::find(sets.begin(), sets.end(), data_));
    }
    int count() override { return static_cast<int>(live().items.size()); }
    EntityPtr item(int index) override {
        if (index < 0 || index >= count()) raise(errc::kInvalidArgument, QStringLiteral("Invalid index"));
        return std::make_shared<FakeEntity>(doc_, data_->items[static_cast<size_t>(index)]);
    }

private:
    SelectionSetData& live() {
        requireOpen(doc_);
        const auto& sets = doc_->selectionSets;
        if (std::find(sets.begin(), sets.end(), data_) == sets.end())
            raise(errc::kKeyNotFound, QStringLiteral("Selection set was deleted"));
        return *data_;
    }
    OpenDocumentPtr doc_;
    std::shared_ptr<SelectionSetData> data_;
    const HostState* state_;
};

class FakeSelectionSets : public SelectionSets {
public:
    FakeSelectionSets(OpenDocumentPtr doc, const HostState* state) : doc_(std::move(doc)), state_(state) {}
    int count() override {
        requireOpen(doc_);
        return static_cast<int>(doc_->selectionSets.size());
    }
    SelectionSetPtr item(int index) override {
        if (index < 0 || index >= count()) raise(errc::kInvalidArgument, QStringLiteral("Invalid index"));
        return std::make_shared<FakeSelectionSet>(doc_, doc_->selectionSets[static_cast<size_t>(index)], state_);
    }
    SelectionSetPtr item(const QString& name) override {
        requireOpen(doc_);
        for (const auto& s : doc_->selectionSets)
            if (sameName(s->name, name)) return std::make_shared<FakeSelectionSet>(doc_, s, state_);
        raise(errc::kKeyNotFound, QStringLiteral("Key not found"));
    }
    SelectionSetPtr add(const QString& name) override {
        requireOpen(doc_);
        for (const auto& s : doc_->selectionSets)
            if (sameName(s->name, name)) raise(errc::kDuplicateKey, QStringLiteral("Duplicate record name"));
        auto data = std::make_shared<SelectionSetData>(SelectionSetData{name, {}});
        doc_->selectionSets.push_back(data);
        return std::make_shared<FakeSelectionSet>(doc_, data, state_);
    }

private:
    OpenDocumentPtr doc_;
    const HostState* state_;
};

class FakeLayers : public Layers {
public:
    explicit FakeLayers(OpenDocumentPtr doc) : doc_(std::move(doc)) {}
    int count() override {
        requireOpen(doc_);
        return static_cast<int>(doc_->data.layers.size());
    }
    LayerPtr item(int index) override {
        if (index < 0 || index >= count()) raise(errc::kInvalidArgument, QStringLiteral("Invalid index"));
        return std::make_shared<FakeLayer>(doc_, doc_->data.layers[static_cast<size_t>(index)]);
    }
    LayerPtr item(const QString& name) override {
        requireOpen(doc_);
        if (auto l = doc_->data.findLayer(name)) return std::make_shared<FakeLayer>(doc_, l);
        raise(errc::kKeyNotFound, QStringLiteral("Key not found"));
    }
    LayerPtr add(const QString& name) override {
        requireOpen(doc_);
        if (auto l = doc_->data.findLayer(name)) return std::make_shared<FakeLayer>(doc_, l);
        if (!validLayerName(name)) raise(errc::kInvalidInput, QStringLiteral("Invalid input"));
        doc_->data.layer(name);
        doc_->modified = true;
        return std::make_shared<FakeLayer>(doc_, doc_->data.findLayer(name));
    }

private:
    OpenDocumentPtr doc_;
};

class FakeDocument : public Document {
public:
    FakeDocument(StatePtr state, OpenDocumentPtr doc) : state_(std::move(state)), doc_(std::move(doc)) {}
    QString name() override { return live().fileName(); }
    QString fullName() override { return live().fullName; }
    LayersPtr layers() override { return live(), std::make_shared<FakeLayers>(doc_); }
    LayerPtr activeLayer() override { return live(), std::make_shared<FakeLayer>(doc_, doc_->data.current); }
    void setActiveLayer(const LayerPtr& layer) override {
        live();
        if (!layer) raise(errc::kInvalidArgument, QStringLiteral("Invalid argument"));
        auto data = doc_->data.findLayer(layer->name());
        if (!data) raise(errc::kKeyNotFound, QStringLiteral("Key not found"));
        if (data->frozen) raise(errc::kInvalidInput, QStringLiteral("Cannot make a frozen layer current"));
        doc_->data.current = data;
    }
    QStringList linetypes() override { return live().data.linetypes; }
    QStringList layouts() override { return live().data.layouts; }
    EntityCollectionPtr modelSpace() override {
        live();
        auto doc = doc_;
        return std::make_shared<FakeEntityCollection>(doc_, QStringLiteral("*Model_Space"),
                                                      [doc]() -> std::vector<EntityDataPtr>& { return doc->data.modelSpace; });
    }
    BlocksPtr blocks() override { return live(), std::make_shared<FakeBlocks>(doc_); }
    SelectionSetsPtr selectionSets() override { return live(), std::make_shared<FakeSelectionSets>(doc_, state_.get()); }
    void purgeAll() override {
        live();
        ++doc_->purges;
        auto& layers = doc_->data.layers;
        const auto before = layers.size();
        layers.erase(std::remove_if(layers.begin(), layers.end(),
                                    [&](const LayerDataPtr& l) {
                                        return !reservedLayer(l->name) && l != doc_->data.current &&
                                               !doc_->data.layerInUse(*l);
                                    }),
                     layers.end());
        if (layers.size() != before) doc_->modified = true;
    }
    void regen(int) override { ++live().regens; }
    void close(bool save) override {
        live();
        if (save) {
            if (state_->failingSaves.contains(doc_->fullName)) raise(errc::kFileError, QStringLiteral("Cannot save the drawing"));
            state_->disk[doc_->fullName] = doc_->data.clone();
            ++state_->saves;
        }
        doc_->open = false;
        state_->closed.push_back(doc_);
        auto& docs = state_->documents;
        docs.erase(std::find(docs.begin(), docs.end(), doc_));
    }
    EntityPtr handleToObject(const QString& handle) override {
        live();
        for (const auto& e : doc_->data.allObjects())
            if (sameName(e->handle, handle)) return std::make_shared<FakeEntity>(doc_, e);
        raise(errc::kKeyNotFound, QStringLiteral("Invalid handle"));
    }

private:
    OpenDocument& live() {
        requireOpen(doc_);
        return *doc_;
    }
    StatePtr state_;
    OpenDocumentPtr doc_;
};

class FakeDocuments : public Documents {
public:
    explicit FakeDocuments(StatePtr state) : state_(std::move(state)) {}
    int count() override { return static_cast<int>(state_->documents.size()); }
    DocumentPtr item(int index) override {
        if (index < 0 || index >= count()) raise(errc::kInvalidArgument, QStringLiteral("Invalid index"));
        return std::make_shared<FakeDocument>(state_, state_->documents[static_cast<size_t>(index)]);
    }
    DocumentPtr item(const QString& fileName) override {
        for (const auto& d : state_->documents)
            if (sameName(d->fileName(), fileName)) return std::make_shared<FakeDocument>(state_, d);
        raise(errc::kKeyNotFound, QStringLiteral("Key not found"));
    }
    DocumentPtr open(const QString& fullPath) override {
        if (!state_->disk.count(fullPath)) raise(errc::kFileError, QStringLiteral("Cannot open the drawing"));
        ++state_->opens;
        auto doc = std::make_shared<FakeDocument>(state_, state_->openByUser(fullPath));
        if (state_->afterOpen) state_->afterOpen();
        return doc;
    }
    DocumentPtr add() override {
        state_->windowCalls << QStringLiteral("add");
        auto doc = std::make_shared<OpenDocument>();
        doc->fullName = QStringLiteral("Drawing%1.dwg").arg(state_->documents.size() + 1);
        state_->documents.push_back(doc);
        return std::make_shared<FakeDocument>(state_, doc);
    }

private:
    StatePtr state_;
};

class FakeApplication : public Application {
public:
    explicit FakeApplication(StatePtr state) : state_(std::move(state)) {}
    bool visible() override { return true; }
    void setVisible(bool) override {}
    int windowState() override {
        if (state_->gone) raise(errc::kDisconnected, QStringLiteral("The host has gone away"));
        return state_->windowState;
    }
    void setWindowState(int state) override {
        state_->windowCalls << QStringLiteral("state %1").arg(state);
        state_->windowState = state;
    }
    QString caption() override { return QStringLiteral("drawhost"); }
    DocumentPtr activeDocument() override {
        if (state_->gone) raise(errc::kDisconnected, QStringLiteral("The host has gone away"));
        if (state_->documents.empty()) raise(errc::kNoDocument, QStringLiteral("No document"));
        return std::make_shared<FakeDocument>(state_, state_->documents.back());
    }
    DocumentsPtr documents() override {
        if (state_->gone) raise(errc::kDisconnected, QStringLiteral("The host has gone away"));
        return std::make_shared<FakeDocuments>(state_);
    }
    void update() override {}
    void zoomWindow(const Point3&, const Point3&) override {}
    void zoomScaled(double, int) override {}
    void activateWindow() override { state_->windowCalls << QStringLiteral("activate"); }
    void sendKeys(const QString& keys) override { state_->windowCalls << QStringLiteral("keys ") + keys; }

private:
    StatePtr state_;
};

}  // namespace

std::shared_ptr<Application> makeApplication(const std::shared_ptr<HostState>& state) {
    return std::make_shared<FakeApplication>(state);
}

ApplicationPtr FakeProvider::getRunning() {
    if (!running) raise(errc::kNotRunning, QStringLiteral("not running"));
    return makeApplication(state);
}

ApplicationPtr FakeProvider::create() {
    running = true;
    return makeApplication(state);
}

}  // namespace fakehost
