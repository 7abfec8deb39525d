#include "host/LayerNameRules.h"

#include <QHash>
#include <QSet>
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

class RenameRun {
public:
    RenameRun(const DocumentPtr& doc, const support::ListTable& vRule, bool& bNoChange)
        : doc_(doc), vRule_(vRule), bNoChange_(bNoChange) {}

    // False when the host refused a rename.
    bool applyToLayer(const LayerPtr& layer, const QString& sName) {
        const auto sNew = ruleScan(sName, vRule_);
        settle(sNew.value_or(sName));
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
            attributesRenamed(sName, *sNew);
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
        // Still in use, for instance by objects inside block definitions; the
        // purge at the end removes the layer once nothing uses it.
        blockPass(sOldName, sTargetName);
    }

    // Every block reference, in model and paper space, with its attributes.
    // Found by one selection on the first pass (rather than by asking for each
    // object of model space in turn, a round trip to the host per object) and
    // kept for the later passes: renames and merges move objects between
    // layers but never add or remove a block reference.
    struct BlockReference {
        QString blockName;
        std::vector<EntityPtr> attributes;
    };

    const std::vector<BlockReference>& blockReferences() {
        if (references_) return *references_;
        references_.emplace();
        const auto sets = selectionSetsCollection();
        if (!sets) return *references_;
        const auto ss = skipErrorValue([&] { return sets->add(QStringLiteral("SSetDummy")); }).value_or(nullptr);
        if (!ss) return *references_;
        skipError([&] { ss->select(5, {0}, QVariantList{QStringLiteral("INSERT")}); });
        const int refs = skipErrorValue([&] { return ss->count(); }).value_or(0);
        for (int i = 0; i < refs; ++i) {
            const auto ref = skipErrorValue([&] { return ss->item(i); }).value_or(nullptr);
            if (!ref || skipErrorValue([&] { return ref->objectName(); }).value_or(QString()) !=
                            QLatin1String("AcDbBlockReference"))
                continue;
            BlockReference reference;
            reference.blockName = skipErrorValue([&] { return ref->name(); }).value_or(QString());
            if (skipErrorValue([&] { return ref->hasAttributes(); }).value_or(false))
                reference.attributes =
                    skipErrorValue([&] { return ref->getAttributes(); }).value_or(std::vector<EntityPtr>{});
            references_->push_back(std::move(reference));
        }
        skipError([&] { ss->deleteSet(); });
        return *references_;
    }

    // Each block reference: its definition through the rules, its attributes
    // on the merged layer to the target.
    void blockPass(const QString& sOldName, const QString& sTargetName) {
        // A definition is walked once per run: after its walk every object's
        // layer is settled, protected or matched by no rule, and neither later
        // renames nor merges change that, so walking it again (for another
        // reference or another merge) would change nothing.
        if (!definitionsWalked_) {
            definitionsWalked_ = true;
            QSet<QString> walked;
            for (const BlockReference& reference : blockReferences()) {
                if (walked.contains(reference.blockName.toCaseFolded())) continue;
                walked.insert(reference.blockName.toCaseFolded());
                if (const BlocksPtr blocks = blocksCollection()) {
                    const auto definition =
                        skipErrorValue([&] { return blocks->item(reference.blockName); }).value_or(nullptr);
                    if (definition) renameInDefinition(definition);
                }
            }
        }
        moveAttributes(sOldName, sTargetName);
    }

    // The attributes of every block reference by the layer they are on, read
    // once: a merge then visits those on the merged layer rather than all.
    // Attributes change layer only by these moves and by layer renames, which
    // the index follows; each is checked on the host before it moves.
    void indexAttributes() {
        if (attributesIndexed_) return;
        attributesIndexed_ = true;
        for (const BlockReference& reference : blockReferences())
            for (const auto& attribute : reference.attributes) {
                if (!attribute) continue;
                if (const auto onLayer = skipErrorValue([&] { return attribute->layer(); }))
                    attributesByLayer_[onLayer->toCaseFolded()].push_back(attribute);
            }
    }

    void moveAttributes(const QString& sOldName, const QString& sTargetName) {
        indexAttributes();
        const auto it = attributesByLayer_.find(sOldName.toCaseFolded());
        if (it == attributesByLayer_.end()) return;
        const std::vector<EntityPtr> onOld = std::move(it.value());
        attributesByLayer_.erase(it);
        for (const auto& attribute : onOld) {
            const auto onLayer = skipErrorValue([&] { return attribute->layer(); });
            if (!onLayer) continue;
            QString now = *onLayer;
            if (sameLayerName(now, sOldName) && skipError([&] { attribute->setLayer(sTargetName); }))
                now = sTargetName;
            attributesByLayer_[now.toCaseFolded()].push_back(attribute);
        }
    }

    // A renamed layer takes its attributes along.
    void attributesRenamed(const QString& sOldName, const QString& sNewName) {
        const QString from = sOldName.toCaseFolded(), to = sNewName.toCaseFolded();
        if (!attributesIndexed_ || from == to) return;
        const auto it = attributesByLayer_.find(from);
        if (it == attributesByLayer_.end()) return;
        std::vector<EntityPtr> moved = std::move(it.value());
        attributesByLayer_.erase(it);
        auto& bucket = attributesByLayer_[to];
        bucket.insert(bucket.end(), moved.begin(), moved.end());
    }

    void renameInDefinition(const EntityCollectionPtr& definition) {
        const LayersPtr layers = layersCollection();
        if (!layers) return;
        const int count = skipErrorValue([&] { return definition->count(); }).value_or(0);
        for (int i = 0; i < count; ++i) {
            const auto entity = skipErrorValue([&] { return definition->item(i); }).value_or(nullptr);
            if (!entity) continue;
            const auto sLayer = skipErrorValue([&] { return entity->layer(); });
            if (!sLayer || isProtectedLayerName(*sLayer)) continue;
            // A layer name this run has already given out is final: applying
            // the rules to it again (a block referenced twice, a second merge)
            // would rename what is renamed already, "CX" to "CXX".
            if (isSettled(*sLayer)) continue;
            const auto sNew = ruleScan(*sLayer, vRule_);
            if (!sNew) continue;
            settle(*sNew);
            const LayerPtr existing = skipErrorValue([&] { return layers->item(*sNew); }).value_or(nullptr);
            if (!existing) {
                const LayerPtr created = skipErrorValue([&] { return layers->add(*sNew); }).value_or(nullptr);
                const LayerPtr current = skipErrorValue([&] { return layers->item(*sLayer); }).value_or(nullptr);
                if (created && current) {
                    skipError([&] { created->setColor(current->color()); });
                    skipError([&] { created->setFreeze(current->freeze()); });
                    skipError([&] { created->setLayerOn(current->layerOn()); });
                    skipError([&] { created->setLinetype(current->linetype()); });
                    skipError([&] { created->setLineweight(current->lineweight()); });
                    skipError([&] { created->setLock(current->lock()); });
                }
            }
            skipError([&] { entity->setLayer(*sNew); });
        }
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

    // Names the walk has given their final layer, compared as the host compares them.
    void settle(const QString& sName) { settled_.insert(sName.toCaseFolded()); }
    bool isSettled(const QString& sName) const { return settled_.contains(sName.toCaseFolded()); }

    DocumentPtr doc_;
    LayersPtr layers_;
    BlocksPtr blocks_;
    SelectionSetsPtr selectionSets_;
    std::optional<std::vector<BlockReference>> references_;
    bool definitionsWalked_ = false;
    QHash<QString, std::vector<EntityPtr>> attributesByLayer_;
    bool attributesIndexed_ = false;
    const support::ListTable& vRule_;
    bool& bNoChange_;
    QSet<QString> settled_;
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
    if (!fun_bFindOrOpenDrawing(acadApp, sDWGName, sDWGFullPath, drawing)) return false;
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
