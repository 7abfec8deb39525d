#include "DryRun.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "host/client/InProcessHost.h"
#include "host/LayerNameRules.h"
#include "host/SkipError.h"
#include "support/MessageBox.h"

namespace batch {

namespace {

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

const LayerSnapshot* findLayer(const std::vector<LayerSnapshot>& layers, const QString& name, bool exact) {
    for (const LayerSnapshot& l : layers)
        if (exact ? l.name == name : sameName(l.name, name)) return &l;
    return nullptr;
}

// The name the rename gives a layer: the first rule whose pattern matches
// and whose result is a usable name.
std::optional<QString> ruleName(const QString& layer, const support::ListTable& rules) {
    if (rules.upperColumn() < 2) return std::nullopt;
    for (int row = 0; row < rules.rows(); ++row) {
        bool matched = false;
        const QString name = host::newLayerName(layer, rules.at(row, 1), rules.at(row, 2), matched);
        if (matched && !host::isMarker(name)) return name;
    }
    return std::nullopt;
}

QString yesNo(const std::optional<bool>& v) {
    if (!v) return QStringLiteral("?");
    return *v ? QStringLiteral("する") : QStringLiteral("しない");
}
QString number(const std::optional<int>& v) { return v ? QString::number(*v) : QStringLiteral("?"); }
QString text(const std::optional<QString>& v) { return v ? *v : QStringLiteral("?"); }

QStringList stateChanges(const LayerSnapshot& a, const LayerSnapshot& b) {
    QStringList out;
    auto field = [&](const char* label, const QString& x, const QString& y) {
        if (x != y) out << QString::fromUtf8(label) + u' ' + x + QStringLiteral(" -> ") + y;
    };
    field("表示", yesNo(a.on), yesNo(b.on));
    field("ﾌﾘｰｽﾞ", yesNo(a.freeze), yesNo(b.freeze));
    field("ﾛｯｸ", yesNo(a.lock), yesNo(b.lock));
    field("色", number(a.color), number(b.color));
    field("線種", text(a.linetype), text(b.linetype));
    field("線の太さ", number(a.lineweight), number(b.lineweight));
    // In a colour-dependent drawing the plot style follows the colour
    // ("Color_7"); it is not a setting of its own there.
    if (!(text(a.plotStyle).startsWith(QStringLiteral("Color_")) && text(b.plotStyle).startsWith(QStringLiteral("Color_"))))
        field("印刷ｽﾀｲﾙ", text(a.plotStyle), text(b.plotStyle));
    field("印刷", yesNo(a.plottable), yesNo(b.plottable));
    return out;
}

}  // namespace

bool snapshotLayers(const QString& path, std::vector<LayerSnapshot>& layers, QString& error) {
    layers.clear();
    auto inProcess = host::InProcessHost::create();
    host::ApplicationPtr app = inProcess->application();
    try {
        host::DocumentPtr doc = app->documents()->open(path);
        host::LayersPtr all = doc->layers();
        const int n = all->count();
        for (int i = 0; i < n; ++i) {
            host::LayerPtr l = all->item(i);
            LayerSnapshot s;
            s.name = l->name();
            s.on = host::skipErrorValue([&] { return l->layerOn(); });
            s.freeze = host::skipErrorValue([&] { return l->freeze(); });
            s.lock = host::skipErrorValue([&] { return l->lock(); });
            s.plottable = host::skipErrorValue([&] { return l->plottable(); });
            s.color = host::skipErrorValue([&] { return l->color(); });
            s.lineweight = host::skipErrorValue([&] { return l->lineweight(); });
            s.linetype = host::skipErrorValue([&] { return l->linetype(); });
            s.plotStyle = host::skipErrorValue([&] { return l->plotStyleName(); });
            layers.push_back(std::move(s));
        }
        doc->close(false);
        return true;
    } catch (const host::HostError& e) {
        error = e.description();
        return false;
    }
}

QStringList describeChanges(int mode, const std::vector<LayerSnapshot>& before,
                            const std::vector<LayerSnapshot>& after, const support::ListTable& rules) {
    QStringList out;
    for (const LayerSnapshot& b : before) {
        const LayerSnapshot* a = findLayer(after, b.name, true);
        if (mode == 1) {
            if (a) continue;
            const std::optional<QString> target = ruleName(b.name, rules);
            const QString to = target ? *target : QStringLiteral("?");
            // Taking the name of another layer of the drawing is a merge.
            const LayerSnapshot* existing = target ? findLayer(before, *target, false) : nullptr;
            const bool merge = existing && !sameName(existing->name, b.name);
            out << (merge ? QStringLiteral("merge ") : QStringLiteral("rename ")) + b.name + QStringLiteral(" -> ") + to;
            continue;
        }
        if (!a) continue;
        const QStringList fields = stateChanges(b, *a);
        if (!fields.isEmpty()) out << QStringLiteral("state ") + b.name + QStringLiteral(": ") + fields.join(QStringLiteral(", "));
    }
    return out;
}

bool dryRunDrawing(const mainwin::RuleOperation& op, int mode, const QString& sDWGName, const QString& sDWGFullPath,
                   const support::ListTable& vRule, bool& bNoChange, support::StatusLabel& lblStatus,
                   QStringList& changes) {
    changes.clear();
    bNoChange = false;
    QTemporaryDir folder;
    const QString copy = folder.isValid() ? QDir(folder.path()).filePath(sDWGName) : QString();
    if (copy.isEmpty() || !QFile::copy(sDWGFullPath, copy)) {
        support::MsgBox(QStringLiteral("図面を一時フォルダに複写できません。") + QStringLiteral("\r\n") +
                            QDir::toNativeSeparators(sDWGFullPath),
                        support::vbCritical, support::kLaminorTitle);
        return false;
    }
    // A host of its own: the copy cannot be mistaken for a drawing of the
    // same name that some host has open.
    auto inProcess = host::InProcessHost::create();
    if (!op || !op(inProcess->application(), sDWGName, copy, vRule, bNoChange, lblStatus)) return false;
    if (bNoChange) return true;
    std::vector<LayerSnapshot> before, after;
    QString error;
    if (!snapshotLayers(sDWGFullPath, before, error) || !snapshotLayers(copy, after, error)) {
        changes << QStringLiteral("? ") + error;
        return true;
    }
    changes = describeChanges(mode, before, after, vRule);
    return true;
}

}  // namespace batch
