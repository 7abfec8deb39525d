#include "host/LayerNameRules.h"

#include <QHash>
#include <optional>

#include "host/DrawingAccess.h"
#include "host/SkipError.h"
#include "support/RegExp.h"

namespace host {

bool isProtectedLayerName(const QString& sLayerName) {
    return sLayerName.contains(QLatin1Char('|')) || sLayerName == QLatin1String("0") ||
           sLayerName.toLower() == QLatin1String("defpoints");
}

bool isMarker(const QString& sNewName) {
    return sNewName.contains(QStringLiteral("(変更")) || sNewName.contains(QStringLiteral("(検索文字")) ||
           sNewName.contains(QStringLiteral("(置換文字"));
}

QString newLayerName(const QString& sLayerName, const QString& sSearch, const QString& sReplace, bool& bMatched) {
    bMatched = false;
    if (isProtectedLayerName(sLayerName)) return kMarkerProtected;
    if (sSearch.isEmpty()) return kMarkerNoSearch;
    QStringList vMatch;
    if (!support::fun_bRegExpMatch(sLayerName, sSearch, &vMatch, false)) return sLayerName;
    bMatched = true;
    if (sReplace.isEmpty()) return kMarkerNoReplace;

    // The walk works on texts, not on match positions: each matched text is
    // replaced where it first occurs (letter case ignored) from the start
    // position on, and the start position then moves past the replacement of
    // its first exact occurrence in the text before this step.
    QString text = sLayerName;
    qsizetype start = 1;  // character positions count from 1
    for (const QString& matched : vMatch) {
        const QString previous = text;
        if (!matched.isEmpty()) {
            const qsizetype at = text.indexOf(matched, start - 1, Qt::CaseInsensitive);
            if (at >= 0) text.replace(at, matched.size(), sReplace);
        }
        start = previous.indexOf(matched, 0, Qt::CaseSensitive) + 1 + sReplace.size();
    }
    return text;
}

QString fun_sGetNewLayerName(const QString& sLayerName, const QString& sSearch, const QString& sReplace) {
    bool matched = false;
    return newLayerName(sLayerName, sSearch, sReplace, matched);
}

namespace {

// The new name that the rules give a layer: the first rule whose pattern
// matches decides, even when its new name is the old one. Rules that yield a
// marker are passed over. No value when no rule applies.
std::optional<QString> ruleScan(const QString& sLayerName, const support::ListTable& vRule) {
    if (vRule.upperColumn() < 2) return std::nullopt;
    for (int row = 0; row < vRule.rows(); ++row) {
        bool matched = false;
        const QString sNew = newLayerName(sLayerName, vRule.at(row, 1), vRule.at(row, 2), matched);
        if (isMarker(sNew) || !matched) continue;
        return sNew;
    }
    return std::nullopt;
}

bool sameLayerName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// A layer's objects follow every decision the walk makes for the layer: a
// rename takes them all along (they refer to the layer), a merge moves them
// all to the target, wherever they are. The selection of a merge reaches the
// objects of model and paper space; when the merged layer cannot be deleted
// afterwards, its objects elsewhere (inside block definitions, anonymous
// ones such as the *D of dimensions and the *T of tables included, whether
// or not a reference reaches them, and as attributes of block references)
// are moved by the block pass. So after a run no object is left on a layer
// the rules gave a new name, and chained rules (S to T, T to U) treat the
// objects of a block like those of model space.
class RenameRun {
public:
    RenameRun(const DocumentPtr& doc, const support::ListTable& vRule, bool& bNoChange)
        : doc_(doc), vRule_(vRule), bNoChange_(bNoChange) {}

    // False when the host refused a rename.
    bool applyToLayer(const LayerPtr& layer, const QString& sName) {
        const auto sNew = ruleScan(sName, vRule_);
        if (!sNew || *sNew == sName) return true;

        const LayersPtr layers = layersCollection();
        if (!layers) return true;
        const LayerPtr target = skipErrorValue([&] { return layers->item(*sNew); }).value_or(nullptr);
        // The host finds layers without regard to letter case, so a new name
        // that only changes the case finds the layer itself: that is a rename.
        const bool targetIsSelf =
            target && sameLayerName(skipErrorValue([&] { return target->name(); }).value_or(QString()), sName);
        if (!target || targetIsSelf) {
            if (!skipError([&] { layer->setName(*sNew); })) return false;
            bNoChange_ = false;
            objectsRenamed(sName, *sNew);
            return true;
        }
        merge(layer, sName, target);
        return true;
    }

private:
    void merge(const LayerPtr& layer, const QString& sOldName, const LayerPtr& target) {
        const QString sTargetName = skipErrorValue([&] { return target->name(); }).value_or(QString());
        const auto sets = selectionSetsCollection();
        if (sets) {
            const int n = skipErrorValue([&] { return sets->count(); }).value_or(0);
            for (int i = 0; i < n; ++i) skipError([&] { sets->item(0)->deleteSet(); });
            const auto ss = skipErrorValue([&] { return sets->add(QStringLiteral("SSetDummy")); }).value_or(nullptr);
            if (ss) {
                skipError([&] { ss->select(5, {8}, QVariantList{sOldName}); });
                const int count = skipErrorValue([&] { return ss->count(); }).value_or(0);
                for (int i = 0; i < count; ++i) {
                    const auto entity = skipErrorValue([&] { return ss->item(i); }).value_or(nullptr);
                    if (!entity) continue;
                    // Only objects of the merged layer move, whatever the filter let through.
                    const auto onLayer = skipErrorValue([&] { return entity->layer(); });
                    if (!onLayer || !sameLayerName(*onLayer, sOldName)) continue;
                    skipError([&] { entity->setLayer(sTargetName); });
                }
                skipError([&] { ss->deleteSet(); });
            }
        }
        bNoChange_ = false;
        if (skipError([&] { layer->deleteLayer(); })) return;
        // Still in use, by objects the selection does not reach; the purge at
        // the end removes the layer once they have moved.
        moveObjects(sOldName, sTargetName);
    }

    // Every block reference of model and paper space, found by one selection
    // (rather than by asking for each object in turn, a round trip to the
    // host per object), for its attributes.
    std::vector<EntityPtr> attributesOfLayoutReferences() {
        std::vector<EntityPtr> out;
        const auto sets = selectionSetsCollection();
        if (!sets) return out;
        const auto ss = skipErrorValue([&] { return sets->add(QStringLiteral("SSetDummy")); }).value_or(nullptr);
        if (!ss) return out;
        skipError([&] { ss->select(5, {0}, QVariantList{QStringLiteral("INSERT")}); });
        const int refs = skipErrorValue([&] { return ss->count(); }).value_or(0);
        for (int i = 0; i < refs; ++i)
            if (const auto ref = skipErrorValue([&] { return ss->item(i); }).value_or(nullptr)) addAttributesOf(ref, out);
        skipError([&] { ss->deleteSet(); });
        return out;
    }

    static void addAttributesOf(const EntityPtr& ref, std::vector<EntityPtr>& out) {
        if (skipErrorValue([&] { return ref->objectName(); }).value_or(QString()) != QLatin1String("AcDbBlockReference"))
            return;
        if (!skipErrorValue([&] { return ref->hasAttributes(); }).value_or(false)) return;
        for (const auto& attribute : skipErrorValue([&] { return ref->getAttributes(); }).value_or(std::vector<EntityPtr>{}))
            if (attribute) out.push_back(attribute);
    }

    static bool isLayoutBlock(const QString& name) {
        return name.startsWith(QStringLiteral("*Model_Space"), Qt::CaseInsensitive) ||
               name.startsWith(QStringLiteral("*Paper_Space"), Qt::CaseInsensitive);
    }

    // The objects the selection does not reach, by the layer they are on,
    // read once per drawing: those of every block definition but the
    // layouts', and every attribute (of references in the layouts and in
    // definitions). Objects change layer only by the moves below and by
    // layer renames, which the index follows; each object is checked on the
    // host before it moves.
    void indexObjects() {
        if (indexed_) return;
        indexed_ = true;
        std::vector<EntityPtr> objects = attributesOfLayoutReferences();
        if (const BlocksPtr blocks = blocksCollection()) {
            const int n = skipErrorValue([&] { return blocks->count(); }).value_or(0);
            for (int b = 0; b < n; ++b) {
                const auto definition = skipErrorValue([&] { return blocks->item(b); }).value_or(nullptr);
                if (!definition || isLayoutBlock(skipErrorValue([&] { return definition->name(); }).value_or(QString())))
                    continue;
                const int count = skipErrorValue([&] { return definition->count(); }).value_or(0);
                for (int i = 0; i < count; ++i) {
                    const auto entity = skipErrorValue([&] { return definition->item(i); }).value_or(nullptr);
                    if (!entity) continue;
                    objects.push_back(entity);
                    addAttributesOf(entity, objects);
                }
            }
        }
        for (const auto& object : objects)
            if (const auto onLayer = skipErrorValue([&] { return object->layer(); }))
                objectsByLayer_[onLayer->toCaseFolded()].push_back(object);
    }

    void moveObjects(const QString& sOldName, const QString& sTargetName) {
        indexObjects();
        const auto it = objectsByLayer_.find(sOldName.toCaseFolded());
        if (it == objectsByLayer_.end()) return;
        const std::vector<EntityPtr> onOld = std::move(it.value());
        objectsByLayer_.erase(it);
        for (const auto& object : onOld) {
            const auto onLayer = skipErrorValue([&] { return object->layer(); });
            if (!onLayer) continue;
            QString now = *onLayer;
            if (sameLayerName(now, sOldName) && skipError([&] { object->setLayer(sTargetName); })) now = sTargetName;
            objectsByLayer_[now.toCaseFolded()].push_back(object);
        }
    }

    // A renamed layer takes its objects along.
    void objectsRenamed(const QString& sOldName, const QString& sNewName) {
        const QString from = sOldName.toCaseFolded(), to = sNewName.toCaseFolded();
        if (!indexed_ || from == to) return;
        const auto it = objectsByLayer_.find(from);
        if (it == objectsByLayer_.end()) return;
        std::vector<EntityPtr> moved = std::move(it.value());
        objectsByLayer_.erase(it);
        auto& bucket = objectsByLayer_[to];
        bucket.insert(bucket.end(), moved.begin(), moved.end());
    }

    // The document's collections, asked for once per drawing.
    LayersPtr layersCollection() {
        if (!layers_) layers_ = skipErrorValue([&] { return doc_->layers(); }).value_or(nullptr);
        return layers_;
    }
    SelectionSetsPtr selectionSetsCollection() {
        if (!selectionSets_) selectionSets_ = skipErrorValue([&] { return doc_->selectionSets(); }).value_or(nullptr);
        return selectionSets_;
    }
    BlocksPtr blocksCollection() {
        if (!blocks_) blocks_ = skipErrorValue([&] { return doc_->blocks(); }).value_or(nullptr);
        return blocks_;
    }

    DocumentPtr doc_;
    LayersPtr layers_;
    BlocksPtr blocks_;
    SelectionSetsPtr selectionSets_;
    QHash<QString, std::vector<EntityPtr>> objectsByLayer_;
    bool indexed_ = false;
    const support::ListTable& vRule_;
    bool& bNoChange_;
};

LayerPtr layerZero(const DocumentPtr& doc) {
    return skipErrorValue([&] { return doc->layers()->item(QStringLiteral("0")); }).value_or(nullptr);
}

}  // namespace

bool fun_bApplyLayerNameRules(ApplicationPtr acadApp, const QString& sDWGName, const QString& sDWGFullPath,
                              const support::ListTable& vRule, bool& bNoChange, support::StatusLabel& lblStatus) {
    const QString sCaption = lblStatus.caption();
    bNoChange = true;

    OperationDrawing drawing;
    if (!fun_bFindOrOpenDrawingToChange(acadApp, sDWGName, sDWGFullPath, drawing)) return false;
    const DocumentPtr doc = drawing.doc;

    skipError([&] { doc->setActiveLayer(layerZero(doc)); });

    // Taken before the walk: a merge deletes a layer.
    const std::vector<LayerPtr> snapshot = layersOf(doc);

    RenameRun run(doc, vRule, bNoChange);
    for (const LayerPtr& layer : snapshot) {
        const auto sName = skipErrorValue([&] { return layer->name(); });
        if (!sName) continue;
        lblStatus.setCaption(sCaption + QStringLiteral("  Layer：") + *sName);
        if (isProtectedLayerName(*sName)) continue;
        if (!run.applyToLayer(layer, *sName)) {
            // A refused rename: a drawing opened here is closed unsaved, so the
            // file keeps none of this run's changes.
            discardDrawing(drawing);
            return false;
        }
    }

    skipError([&] { doc->setActiveLayer(layerZero(doc)); });
    skipError([&] { doc->purgeAll(); });
    return finishDrawing(drawing, bNoChange);
}

}  // namespace host
