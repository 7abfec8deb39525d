// Layers: the LAYER table and its properties as the host exposes them. The
// references that renames, merges and deletes keep consistent are handled in
// References.cpp.
#include <algorithm>
#include <unordered_set>

#include "engine/DrawingData.h"
#include "engine/DwgSource.h"

namespace dxf {

namespace {

constexpr int kFrozen = 1;
constexpr int kLocked = 4;
constexpr int kXrefDependent = 16;

bool isProtectedName(const std::string& name) {
    return name == "0" || equalsNoCase(name, "Defpoints");
}

Tag* findTag(std::vector<Tag>& tags, int code) {
    for (Tag& t : tags) {
        if (t.code == 1001) break;  // extended data follows
        if (t.code == code) return &t;
    }
    return nullptr;
}

const Tag* findTag(const std::vector<Tag>& tags, int code) {
    return findTag(const_cast<std::vector<Tag>&>(tags), code);
}

// Inserts before extended data (or at the end) when the tag is missing.
Tag& ensureTag(std::vector<Tag>& tags, int code, const TagFormat& fmt) {
    if (Tag* t = findTag(tags, code)) return *t;
    auto at = std::find_if(tags.begin(), tags.end(), [](const Tag& t) { return t.code == 1001; });
    at = tags.insert(at, makeLongTag(code, 0, fmt));
    return *at;
}

void checkLayerName(const std::string& name) {
    if (name.empty() || name.size() > 255)
        throw EngineError(err::kInvalidInput, "invalid layer name: \"" + name + "\"");
    for (unsigned char c : name)
        if (c < 0x20 || std::string_view("<>/\\\":;?*|,=`").find(static_cast<char>(c)) != std::string_view::npos)
            throw EngineError(err::kInvalidInput, "invalid layer name: \"" + name + "\"");
    if (name.front() == ' ' || name.back() == ' ')
        throw EngineError(err::kInvalidInput, "invalid layer name: \"" + name + "\"");
}

const int kLineweights[] = {-3, 0, 5, 9, 13, 15, 18, 20, 25, 30, 35, 40, 50, 53, 60, 70, 80, 90, 100, 106, 120, 140, 158, 200, 211};

}  // namespace

// ---- Drawing: layer collection ----

std::size_t Drawing::layerCount() const {
    std::size_t n = 0;
    for (const LayerRec& l : d_->layers) n += !l.deleted;
    return n;
}

Layer Drawing::layerAt(std::size_t index) const {
    for (std::uint32_t i = 0; i < d_->layers.size(); ++i) {
        if (d_->layers[i].deleted) continue;
        if (index-- == 0) return Layer(const_cast<Drawing*>(this), i);
    }
    throw EngineError(err::kInvalidArgument, "layer index out of range");
}

std::vector<Layer> Drawing::layers() const {
    std::vector<Layer> out;
    for (std::uint32_t i = 0; i < d_->layers.size(); ++i)
        if (!d_->layers[i].deleted) out.emplace_back(const_cast<Drawing*>(this), i);
    return out;
}

std::optional<Layer> Drawing::findLayer(const std::string& name) const {
    if (auto id = d_->findLayerId(name)) return Layer(const_cast<Drawing*>(this), *id);
    return std::nullopt;
}

Layer Drawing::layer(const std::string& name) const {
    if (auto l = findLayer(name)) return *l;
    throw EngineError(err::kKeyNotFound, "layer not found: " + name);
}

Layer Drawing::addLayer(const std::string& name) {
    if (auto l = findLayer(name)) return *l;
    checkLayerName(name);
    DrawingData& d = *d_;
    if (d.layerTableEnd == kNone) throw EngineError(err::kNotApplicable, "the drawing has no layer table");
    const TagFormat& f = d.fmt;
    std::vector<Tag> t;
    std::string continuous = "CONTINUOUS";
    for (const std::string& lt : linetypes())
        if (equalsNoCase(lt, "CONTINUOUS")) continuous = d.codec->encode(lt);
    if (!d.layers.empty()) {
        // Model the new record on the first layer's, so it reads like its neighbours.
        const std::vector<Tag>& model = d.layers.front().tags;
        bool inGroup = false;
        for (const Tag& m : model) {
            if (m.code == 1001) break;
            if (m.code == 102) {
                inGroup = !m.value.empty() && m.value[0] == '{';
                continue;
            }
            if (inGroup || m.code == 420 || m.code == 430 || m.code == 440 || m.code == 1071) continue;
            Tag c = m;
            if (c.code == 2) c.value = d.codec->encode(name);
            else if (c.code == 70) setTagLong(c, 0, f);
            else if (c.code == 62) setTagLong(c, 7, f);
            else if (c.code == 6) c.value = continuous;
            else if (c.code == 290) setTagLong(c, 1, f);
            else if (c.code == 370) setTagLong(c, -3, f);
            t.push_back(std::move(c));
        }
    } else {
        t.push_back(makeTag(0, "LAYER", f));
        if (d.acadver >= "AC1012") {
            t.push_back(makeTag(5, "0", f));
            t.push_back(makeTag(330, formatHandle(d.layerTableHandle), f));
            t.push_back(makeTag(100, "AcDbSymbolTableRecord", f));
            t.push_back(makeTag(100, "AcDbLayerTableRecord", f));
        }
        t.push_back(makeTag(2, d.codec->encode(name), f));
        t.push_back(makeLongTag(70, 0, f));
        t.push_back(makeLongTag(62, 7, f));
        t.push_back(makeTag(6, continuous, f));
    }
    bool hasHandle = std::any_of(t.begin(), t.end(), [](const Tag& x) { return x.code == 5; });
    if (hasHandle) {
        std::string handle = formatHandle(d.nextHandle());
        for (Tag& x : t)
            if (x.code == 5) x.value = handle;
    }
    std::uint32_t r = d.insertRecordAfter(d.layerTableEnd, t, "LAYER");
    LayerRec l;
    l.record = r;
    l.tags = t;
    l.name = name;
    d.layers.push_back(std::move(l));
    // Keep the table's entry count (group 70) no lower than the records it holds.
    if (d.layerTable != kNone) {
        std::vector<Tag> tt = d.tags(d.layerTable);
        for (Tag& x : tt)
            if (x.code == 70) {
                long count = static_cast<long>(layerCount());
                if (tagLong(x, f) < count) {
                    setTagLong(x, count, f);
                    d.setPatch(d.layerTable, tt);
                }
                break;
            }
    }
    return Layer(this, static_cast<std::uint32_t>(d.layers.size() - 1));
}

Layer Drawing::activeLayer() const {
    if (auto l = findLayer(d_->currentLayerName())) return *l;
    if (auto l = findLayer("0")) return *l;
    if (layerCount()) return layerAt(0);
    throw EngineError(err::kKeyNotFound, "the drawing has no layers");
}

void Drawing::setActiveLayer(const Layer& layer) {
    if (!layer.valid() || layer.isDeleted()) throw EngineError(err::kInvalidArgument, "no such layer");
    if (layer.freeze()) throw EngineError(err::kInvalidInput, "a frozen layer cannot be made current: " + layer.name());
    if (d_->headerRecord == kNone) throw EngineError(err::kNotApplicable, "the drawing has no header");
    if (foldCase(d_->currentLayerName()) == foldCase(layer.name()) && d_->currentLayerName() == layer.name()) return;
    d_->setHeaderValue("$CLAYER", 8, d_->layerRaw(layer.name()));
}

void Drawing::mergeLayer(const std::string& from, const std::string& to) {
    auto a = d_->findLayerId(from);
    auto b = d_->findLayerId(to);
    if (!a) throw EngineError(err::kKeyNotFound, "layer not found: " + from);
    if (!b) throw EngineError(err::kKeyNotFound, "layer not found: " + to);
    if (*a == *b) return;
    Layer la(this, *a);
    if (isProtectedName(la.name()) || la.isXrefDependent())
        throw EngineError(err::kObjectInUse, "layer cannot be merged: " + la.name());
    const std::string target = d_->layers[*b].name;
    if (d_->dwg) {
        // Whatever cannot follow the merge in a DWG keeps the layer.
        std::string why;
        const std::uint64_t from = d_->records[d_->layers[*a].record].handle;
        const std::uint64_t into = d_->records[d_->layers[*b].record].handle;
        if (!dwgLayerRefs(*d_, d_->layers[*a].record, from, into, false, &why)) throw EngineError(err::kObjectInUse, why);
    }
    d_->renameReferences(d_->layers[*a].name, target, true);
    d_->deleteLayer(*a, *b);
}

std::size_t Drawing::purgeAll() {
    std::size_t n = 0;
    const std::string current = foldCase(d_->currentLayerName());
    for (std::uint32_t i = 0; i < d_->layers.size(); ++i) {
        if (d_->layers[i].deleted) continue;
        Layer l(this, i);
        if (isProtectedName(l.name()) || l.isXrefDependent() || foldCase(l.name()) == current) continue;
        if (d_->layerInUse(i, nullptr)) continue;
        d_->deleteLayer(i, std::nullopt);
        ++n;
    }
    return n;
}

LayerUsage Drawing::layerUsage(const Layer& layer) const {
    LayerUsage u;
    for (const Entity& e : selectAll(SelectFilter{layer.name(), std::nullopt})) {
        ++u.objects;
        const std::string& t = d_->typeOf(e.record());
        if (t == "INSERT") ++u.blockReferences;
        if (t == "TEXT" || t == "MTEXT") ++u.texts;
    }
    return u;
}

bool Drawing::isColorDependent() const {
    if (d_->acadver < "AC1015") return true;
    auto mode = d_->headerValue("$PSTYLEMODE");
    if (!mode) return true;
    return trimAscii(*mode) != "0";
}

// Named plot styles: the ACAD_PLOTSTYLENAME dictionary of the root dictionary.
static std::vector<std::pair<std::string, std::uint64_t>> plotStyles(const DrawingData& d) {
    std::vector<std::pair<std::string, std::uint64_t>> out;
    std::uint32_t root = kNone;
    for (std::uint32_t r = 0; r < d.loadedRecords; ++r)
        if (d.records[r].section == Section::Objects && d.typeOf(r) == "DICTIONARY") {
            root = r;
            break;
        }
    if (root == kNone) return out;
    std::vector<Tag> t = d.tags(root);
    std::uint64_t dict = 0;
    for (std::size_t i = 0; i + 1 < t.size(); ++i)
        if (t[i].code == 3 && tagText(t[i], d.fmt) == "ACAD_PLOTSTYLENAME") dict = parseHandle(tagText(t[i + 1], d.fmt));
    auto rec = d.findRecordByHandle(dict);
    if (!rec) return out;
    t = d.tags(*rec);
    for (std::size_t i = 0; i + 1 < t.size(); ++i)
        if (t[i].code == 3 && (t[i + 1].code == 350 || t[i + 1].code == 360))
            out.emplace_back(d.codec->decode(tagText(t[i], d.fmt)), parseHandle(tagText(t[i + 1], d.fmt)));
    return out;
}

std::vector<std::string> Drawing::plotStyleNames() const {
    std::vector<std::string> out;
    if (isColorDependent()) return out;
    for (auto& [n, h] : plotStyles(*d_)) out.push_back(n);
    return out;
}

// ---- Layer ----

bool Layer::isDeleted() const { return d_->d_->layers[id_].deleted; }

static LayerRec& rec(Drawing* d, std::uint32_t id) {
    LayerRec& l = d->data().layers[id];
    if (l.deleted) throw EngineError(err::kKeyNotFound, "the layer was deleted: " + l.name);
    return l;
}

std::string Layer::name() const { return d_->d_->layers[id_].name; }

bool Layer::isXrefDependent() const {
    const LayerRec& l = d_->d_->layers[id_];
    const Tag* f = findTag(l.tags, 70);
    long flags = f ? tagLong(*f, d_->d_->fmt) : 0;
    return (flags & kXrefDependent) || l.name.find('|') != std::string::npos;
}

void Layer::setName(const std::string& newName) {
    LayerRec& l = rec(d_, id_);
    DrawingData& d = *d_->d_;
    if (newName == l.name) return;
    checkLayerName(newName);
    if (isProtectedName(l.name)) throw EngineError(err::kInvalidInput, "layer " + l.name + " cannot be renamed");
    if (isXrefDependent()) throw EngineError(err::kInvalidInput, "a layer of an external reference cannot be renamed");
    if (auto other = d.findLayerId(newName); other && *other != id_)
        throw EngineError(err::kDuplicateKey, "a layer named " + newName + " exists already");
    const std::string old = l.name;
    if (Tag* t = findTag(l.tags, 2)) t->value = d.codec->encodeLike(newName, tagText(*t, d.fmt));
    l.name = newName;
    d.commitLayer(id_);
    d.renameReferences(old, newName);
}

void Layer::remove() {
    LayerRec& l = rec(d_, id_);
    DrawingData& d = *d_->d_;
    if (isProtectedName(l.name)) throw EngineError(err::kObjectInUse, "layer " + l.name + " cannot be deleted");
    if (foldCase(d.currentLayerName()) == foldCase(l.name))
        throw EngineError(err::kObjectInUse, "the current layer cannot be deleted: " + l.name);
    std::string why;
    if (d.layerInUse(id_, &why)) throw EngineError(err::kObjectInUse, why);
    d.deleteLayer(id_, std::nullopt);
}

static long layerFlags(const DrawingData& d, const LayerRec& l) {
    const Tag* f = findTag(l.tags, 70);
    return f ? tagLong(*f, d.fmt) : 0;
}

static void setLayerFlag(Drawing* dr, std::uint32_t id, int bit, bool on) {
    DrawingData& d = dr->data();
    LayerRec& l = rec(dr, id);
    Tag& f = ensureTag(l.tags, 70, d.fmt);
    long v = tagLong(f, d.fmt);
    v = on ? (v | bit) : (v & ~static_cast<long>(bit));
    setTagLong(f, v, d.fmt);
    d.commitLayer(id);
}

static long rawColor(const DrawingData& d, const LayerRec& l) {
    const Tag* c = findTag(l.tags, 62);
    return c ? tagLong(*c, d.fmt, 7) : 7;
}

bool Layer::layerOn() const { return rawColor(*d_->d_, d_->d_->layers[id_]) >= 0; }

void Layer::setLayerOn(bool on) {
    DrawingData& d = *d_->d_;
    LayerRec& l = rec(d_, id_);
    long c = rawColor(d, l);
    long mag = c < 0 ? -c : c;
    if (mag == 0) mag = 7;
    setTagLong(ensureTag(l.tags, 62, d.fmt), on ? mag : -mag, d.fmt);
    d.commitLayer(id_);
}

bool Layer::freeze() const { return layerFlags(*d_->d_, d_->d_->layers[id_]) & kFrozen; }

void Layer::setFreeze(bool on) {
    DrawingData& d = *d_->d_;
    if (on && foldCase(d.currentLayerName()) == foldCase(rec(d_, id_).name))
        throw EngineError(err::kObjectInUse, "the current layer cannot be frozen: " + name());
    setLayerFlag(d_, id_, kFrozen, on);
}

bool Layer::lock() const { return layerFlags(*d_->d_, d_->d_->layers[id_]) & kLocked; }
void Layer::setLock(bool on) { setLayerFlag(d_, id_, kLocked, on); }

bool Layer::plottable() const {
    const LayerRec& l = d_->d_->layers[id_];
    const Tag* p = findTag(l.tags, 290);
    // Without a stored setting (R12-R14) every layer plots except Defpoints,
    // which never does.
    return p ? tagLong(*p, d_->d_->fmt, 1) != 0 : !equalsNoCase(l.name, "Defpoints");
}

void Layer::setPlottable(bool on) {
    DrawingData& d = *d_->d_;
    LayerRec& l = rec(d_, id_);
    if (d.acadver < "AC1015") {
        if (on) return;
        throw EngineError(err::kNotApplicable, "this drawing version has no plot setting for layers");
    }
    Tag* p = findTag(l.tags, 290);
    if (!p) {
        // 290 sits before 370 in AutoCAD's order; before extended data otherwise.
        auto at = std::find_if(l.tags.begin(), l.tags.end(), [](const Tag& t) { return t.code == 370 || t.code == 1001; });
        at = l.tags.insert(at, makeLongTag(290, 1, d.fmt));
        p = &*at;
    }
    setTagLong(*p, on ? 1 : 0, d.fmt);
    d.commitLayer(id_);
}

int Layer::color() const {
    long c = rawColor(*d_->d_, d_->d_->layers[id_]);
    return static_cast<int>(c < 0 ? -c : c);
}

void Layer::setColor(int index) {
    if (index < 1 || index > 255) throw EngineError(err::kInvalidInput, "colour out of range: " + std::to_string(index));
    DrawingData& d = *d_->d_;
    LayerRec& l = rec(d_, id_);
    bool on = rawColor(d, l) >= 0;
    setTagLong(ensureTag(l.tags, 62, d.fmt), on ? index : -index, d.fmt);
    // A true colour would override the index colour: the index colour replaces it.
    std::erase_if(l.tags, [](const Tag& t) { return t.code == 420 || t.code == 430; });
    d.commitLayer(id_);
}

std::string Layer::linetype() const {
    const Tag* t = findTag(d_->d_->layers[id_].tags, 6);
    return t ? d_->d_->codec->decode(t->value) : std::string("CONTINUOUS");
}

void Layer::setLinetype(const std::string& lt) {
    DrawingData& d = *d_->d_;
    LayerRec& l = rec(d_, id_);
    std::optional<std::string> stored;
    for (const std::string& n : d_->linetypes())
        if (equalsNoCase(n, lt)) stored = n;
    if (!stored) throw EngineError(err::kKeyNotFound, "linetype not found: " + lt);
    Tag* t = findTag(l.tags, 6);
    if (!t) {
        auto at = std::find_if(l.tags.begin(), l.tags.end(),
                               [](const Tag& x) { return x.code == 290 || x.code == 370 || x.code == 1001; });
        t = &*l.tags.insert(at, makeTag(6, "", d.fmt));
    }
    t->value = d.codec->encode(*stored);
    d.commitLayer(id_);
}

int Layer::lineweight() const {
    const Tag* t = findTag(d_->d_->layers[id_].tags, 370);
    return t ? static_cast<int>(tagLong(*t, d_->d_->fmt, -3)) : -3;
}

void Layer::setLineweight(int value) {
    DrawingData& d = *d_->d_;
    LayerRec& l = rec(d_, id_);
    if (std::find(std::begin(kLineweights), std::end(kLineweights), value) == std::end(kLineweights))
        throw EngineError(err::kInvalidInput, "invalid lineweight: " + std::to_string(value));
    if (d.acadver < "AC1015") {
        if (value == -3) return;
        throw EngineError(err::kNotApplicable, "this drawing version has no lineweights");
    }
    Tag* t = findTag(l.tags, 370);
    if (!t) {
        auto at = std::find_if(l.tags.begin(), l.tags.end(), [](const Tag& x) { return x.code == 390 || x.code == 1001; });
        t = &*l.tags.insert(at, makeLongTag(370, -3, d.fmt));
    }
    setTagLong(*t, value, d.fmt);
    d.commitLayer(id_);
}

std::string Layer::plotStyleName() const {
    if (d_->isColorDependent()) return "Color_" + std::to_string(color());
    const Tag* t = findTag(d_->d_->layers[id_].tags, 390);
    std::uint64_t h = t ? parseHandle(tagText(*t, d_->d_->fmt)) : 0;
    for (auto& [n, ph] : plotStyles(*d_->d_))
        if (ph == h) return n;
    return "Normal";
}

void Layer::setPlotStyleName(const std::string& styleName) {
    DrawingData& d = *d_->d_;
    LayerRec& l = rec(d_, id_);
    if (d_->isColorDependent())
        throw EngineError(err::kNotApplicable, "the drawing uses colour-dependent plot styles");
    for (auto& [n, h] : plotStyles(d)) {
        if (!equalsNoCase(n, styleName)) continue;
        Tag* t = findTag(l.tags, 390);
        if (!t) {
            auto at = std::find_if(l.tags.begin(), l.tags.end(), [](const Tag& x) { return x.code == 1001 || x.code == 347; });
            t = &*l.tags.insert(at, makeTag(390, "0", d.fmt));
        }
        t->value = formatHandle(h);
        d.commitLayer(id_);
        return;
    }
    throw EngineError(err::kKeyNotFound, "plot style not found: " + styleName);
}

}  // namespace dxf
