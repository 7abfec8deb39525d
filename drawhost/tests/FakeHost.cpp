#include "FakeHost.h"

#include <QFileInfo>

namespace fake {

using namespace host;

namespace {

HostError notFound() { return HostError(errc::kKeyNotFound, QStringLiteral("Key not found")); }

class FakeLayer : public Layer {
public:
    FakeLayer(std::shared_ptr<DocData> doc, std::shared_ptr<LayerData> d) : doc_(std::move(doc)), d_(std::move(d)) {}
    QString name() override { return d_->name; }
    void setName(const QString& n) override {
        if (n.isEmpty() || n.contains(u'<')) throw HostError(errc::kInvalidInput, QStringLiteral("Invalid input"));
        for (auto& l : doc_->layers)
            if (l != d_ && l->name.compare(n, Qt::CaseInsensitive) == 0)
                throw HostError(errc::kDuplicateKey, QStringLiteral("Duplicate record name"));
        for (auto& e : doc_->entities)
            if (e->layer.compare(d_->name, Qt::CaseInsensitive) == 0) e->layer = n;
        d_->name = n;
    }
    void deleteLayer() override {
        for (auto& e : doc_->entities)
            if (e->layer.compare(d_->name, Qt::CaseInsensitive) == 0)
                throw HostError(errc::kObjectInUse, QStringLiteral("Object is referenced"));
        std::erase(doc_->layers, d_);
    }
    bool layerOn() override { return d_->on; }
    void setLayerOn(bool on) override { d_->on = on; }
    bool freeze() override { return d_->frozen; }
    void setFreeze(bool on) override { d_->frozen = on; }
    bool lock() override { return d_->locked; }
    void setLock(bool on) override { d_->locked = on; }
    bool plottable() override { return d_->plot; }
    void setPlottable(bool on) override { d_->plot = on; }
    int color() override { return d_->color; }
    void setColor(int index) override {
        if (index < 1 || index > 255) throw HostError(errc::kInvalidInput, QStringLiteral("Invalid input"));
        d_->color = index;
    }
    QString linetype() override { return d_->linetype; }
    void setLinetype(const QString& n) override { d_->linetype = n; }
    int lineweight() override { return d_->lineweight; }
    void setLineweight(int v) override { d_->lineweight = v; }
    QString plotStyleName() override { throw HostError(errc::kNotApplicable, QStringLiteral("colour-dependent")); }
    void setPlotStyleName(const QString&) override { throw HostError(errc::kInvalidInput, QStringLiteral("refused")); }
    std::shared_ptr<LayerData> data() const { return d_; }

private:
    std::shared_ptr<DocData> doc_;
    std::shared_ptr<LayerData> d_;
};

class FakeLayers : public Layers {
public:
    explicit FakeLayers(std::shared_ptr<DocData> doc) : doc_(std::move(doc)) {}
    int count() override { return int(doc_->layers.size()); }
    LayerPtr item(int i) override {
        if (i < 0 || i >= count()) throw HostError(errc::kInvalidArgument, QStringLiteral("Invalid argument"));
        return std::make_shared<FakeLayer>(doc_, doc_->layers[size_t(i)]);
    }
    LayerPtr item(const QString& name) override {
        for (auto& l : doc_->layers)
            if (l->name.compare(name, Qt::CaseInsensitive) == 0) return std::make_shared<FakeLayer>(doc_, l);
        throw notFound();
    }
    LayerPtr add(const QString& name) override {
        for (auto& l : doc_->layers)
            if (l->name.compare(name, Qt::CaseInsensitive) == 0) return std::make_shared<FakeLayer>(doc_, l);
        auto l = std::make_shared<LayerData>();
        l->name = name;
        doc_->layers.push_back(l);
        return std::make_shared<FakeLayer>(doc_, l);
    }

private:
    std::shared_ptr<DocData> doc_;
};

class FakeEntity : public Entity {
public:
    FakeEntity(std::shared_ptr<EntityData> d, std::shared_ptr<DocData> doc) : d_(std::move(d)), doc_(std::move(doc)) {}
    QString handle() override { return d_->handle; }
    QString objectName() override { return d_->objectName; }
    QString layer() override { return d_->layer; }
    void setLayer(const QString& n) override {
        for (auto& l : doc_->layers)
            if (l->name.compare(n, Qt::CaseInsensitive) == 0) {
                d_->layer = l->name;
                return;
            }
        throw notFound();
    }
    QString textString() override {
        if (d_->objectName != u"AcDbText") throw HostError(errc::kNotApplicable, QStringLiteral("not a text"));
        return d_->text;
    }
    void getBoundingBox(Point3& lo, Point3& hi) override {
        lo = {0, 0, 0};
        hi = {10, 5, 0};
    }
    QString name() override { throw HostError(errc::kNotApplicable, QStringLiteral("no name")); }
    bool hasAttributes() override { return false; }
    std::vector<EntityPtr> getAttributes() override { return {}; }

private:
    std::shared_ptr<EntityData> d_;
    std::shared_ptr<DocData> doc_;
};

class FakeSelectionSet : public SelectionSet {
public:
    FakeSelectionSet(std::shared_ptr<DocData> doc, QString name) : doc_(std::move(doc)), name_(std::move(name)) {}
    QString name() override { return name_; }
    void select(int mode, const std::vector<short>& types, const QVariantList& data) override {
        if (mode != 5 || types.size() != size_t(data.size()))
            throw HostError(errc::kInvalidArgument, QStringLiteral("Invalid argument"));
        for (auto& e : doc_->entities) {
            bool ok = true;
            for (size_t i = 0; i < types.size(); ++i) {
                const QString want = data[int(i)].toString();
                if (types[i] == 8) ok = ok && e->layer.compare(want, Qt::CaseInsensitive) == 0;
                if (types[i] == 0) ok = ok && e->objectName.compare(want, Qt::CaseInsensitive) == 0;
            }
            if (ok) items_.push_back(e);
        }
    }
    void clear() override { items_.clear(); }
    void deleteSet() override { items_.clear(); }
    int count() override { return int(items_.size()); }
    EntityPtr item(int i) override { return std::make_shared<FakeEntity>(items_.at(size_t(i)), doc_); }

private:
    std::shared_ptr<DocData> doc_;
    QString name_;
    std::vector<std::shared_ptr<EntityData>> items_;
};

class FakeSelectionSets : public SelectionSets {
public:
    explicit FakeSelectionSets(std::shared_ptr<DocData> doc) : doc_(std::move(doc)) {}
    int count() override { return 0; }
    SelectionSetPtr item(int) override { throw notFound(); }
    SelectionSetPtr item(const QString&) override { throw notFound(); }
    SelectionSetPtr add(const QString& name) override { return std::make_shared<FakeSelectionSet>(doc_, name); }

private:
    std::shared_ptr<DocData> doc_;
};

class FakeDocument : public Document {
public:
    FakeDocument(std::shared_ptr<DocData> d, std::function<void()> onClose) : d_(std::move(d)), onClose_(std::move(onClose)) {}
    QString name() override { return QFileInfo(d_->fullName).fileName(); }
    QString fullName() override { return d_->fullName; }
    LayersPtr layers() override { return std::make_shared<FakeLayers>(d_); }
    LayerPtr activeLayer() override { return std::make_shared<FakeLayer>(d_, d_->layers.front()); }
    void setActiveLayer(const LayerPtr& layer) override {
        auto* l = dynamic_cast<FakeLayer*>(layer.get());
        if (!l) throw HostError(errc::kInvalidArgument, QStringLiteral("bad layer"));
        std::erase(d_->layers, l->data());
        d_->layers.insert(d_->layers.begin(), l->data());
    }
    QStringList linetypes() override { return {QStringLiteral("ByBlock"), QStringLiteral("ByLayer"), QStringLiteral("Continuous")}; }
    QStringList layouts() override { return {QStringLiteral("Model"), QStringLiteral("Layout1")}; }
    EntityCollectionPtr modelSpace() override { throw HostError(errc::kNotApplicable, QStringLiteral("n/a")); }
    BlocksPtr blocks() override { throw HostError(errc::kNotApplicable, QStringLiteral("n/a")); }
    SelectionSetsPtr selectionSets() override { return std::make_shared<FakeSelectionSets>(d_); }
    void purgeAll() override {}
    void regen(int) override {}
    void close(bool save) override {
        if (save) d_->saved = true;
        d_->closed = true;
        onClose_();
    }
    EntityPtr handleToObject(const QString& handle) override {
        for (auto& e : d_->entities)
            if (e->handle.compare(handle, Qt::CaseInsensitive) == 0) return std::make_shared<FakeEntity>(e, d_);
        throw HostError(errc::kInvalidInput, QStringLiteral("Invalid handle"));
    }

private:
    std::shared_ptr<DocData> d_;
    std::function<void()> onClose_;
};

struct State {
    Library library;
    std::vector<std::shared_ptr<DocData>> open;
    std::function<void(const QString&)> onKeys;
    int windowState = kWindowNormal;
    bool visible = false;
    void prune() { std::erase_if(open, [](auto& d) { return d->closed; }); }
};

class FakeDocuments : public Documents {
public:
    explicit FakeDocuments(std::shared_ptr<State> s) : s_(std::move(s)) {}
    int count() override { return int(s_->open.size()); }
    DocumentPtr item(int i) override {
        if (i < 0 || i >= count()) throw HostError(errc::kInvalidArgument, QStringLiteral("Invalid argument"));
        return wrap(s_->open[size_t(i)]);
    }
    DocumentPtr item(const QString& fileName) override {
        for (auto& d : s_->open)
            if (QFileInfo(d->fullName).fileName().compare(fileName, Qt::CaseInsensitive) == 0) return wrap(d);
        throw notFound();
    }
    DocumentPtr open(const QString& path) override {
        if (!s_->library.contains(path)) throw HostError(errc::kFileError, QStringLiteral("Cannot open ") + path);
        auto d = std::make_shared<DocData>(s_->library.value(path));
        s_->open.push_back(d);
        return wrap(d);
    }
    DocumentPtr add() override {
        auto d = std::make_shared<DocData>(sampleDrawing(QStringLiteral("/tmp/Drawing%1.dxf").arg(s_->open.size() + 1)));
        s_->open.push_back(d);
        return wrap(d);
    }

private:
    DocumentPtr wrap(std::shared_ptr<DocData> d) {
        auto s = s_;
        return std::make_shared<FakeDocument>(std::move(d), [s] { s->prune(); });
    }
    std::shared_ptr<State> s_;
};

class FakeApp : public Application {
public:
    explicit FakeApp(std::shared_ptr<State> s) : s_(std::move(s)) {}
    bool visible() override { return s_->visible; }
    void setVisible(bool on) override { s_->visible = on; }
    int windowState() override { return s_->windowState; }
    void setWindowState(int state) override {
        if (state < 1 || state > 3) throw HostError(errc::kInvalidArgument, QStringLiteral("Invalid argument"));
        s_->windowState = state;
    }
    QString caption() override {
        return s_->open.empty() ? QStringLiteral("drawhost") : QStringLiteral("drawhost - ") + s_->open.back()->fullName;
    }
    DocumentPtr activeDocument() override {
        if (s_->open.empty()) throw HostError(errc::kNoDocument, QStringLiteral("No active document"));
        return FakeDocuments(s_).item(count() - 1);
    }
    DocumentsPtr documents() override { return std::make_shared<FakeDocuments>(s_); }
    void update() override {}
    void zoomWindow(const Point3&, const Point3&) override {}
    void zoomScaled(double, int) override {}
    void activateWindow() override {}
    void sendKeys(const QString& keys) override {
        if (s_->onKeys) s_->onKeys(keys);
    }

private:
    int count() const { return int(s_->open.size()); }
    std::shared_ptr<State> s_;
};

}  // namespace

ApplicationPtr makeFakeApp(Library library, std::function<void(const QString&)> onKeys) {
    auto s = std::make_shared<State>();
    s->library = std::move(library);
    s->onKeys = std::move(onKeys);
    return std::make_shared<FakeApp>(s);
}

DocData sampleDrawing(const QString& fullName) {
    DocData d;
    d.fullName = fullName;
    for (const char* n : {"0", "壁", "WALL-A"}) {
        auto l = std::make_shared<LayerData>();
        l->name = QString::fromUtf8(n);
        d.layers.push_back(l);
    }
    auto add = [&](const char* h, const char* type, const char* layer, const char* text) {
        d.entities.push_back(std::make_shared<EntityData>(
            EntityData{QString::fromUtf8(h), QString::fromUtf8(type), QString::fromUtf8(layer), QString::fromUtf8(text)}));
    };
    add("1A", "AcDbText", "壁", "通り芯 X1");
    add("1B", "AcDbText", "WALL-A", "north");
    add("1C", "AcDbLine", "壁", "");
    return d;
}

}  // namespace fake
