#include "host/DrawingAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <utility>

#include "engine/FileSave.h"
#include "host/DrawingNotes.h"
#include "host/SkipError.h"
#include "support/Foreground.h"
#include "support/MessageBox.h"

namespace host {

bool samePath(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty()) return false;
    if (QDir::cleanPath(a) == QDir::cleanPath(b)) return true;
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

DocumentPtr findOpenDocument(const ApplicationPtr& app, const QString& sDWGName, const QString& sDWGFullPath) {
    if (!app) return nullptr;
    const auto documents = skipErrorValue([&] { return app->documents(); });
    if (!documents || !*documents) return nullptr;
    if (sDWGFullPath.isEmpty()) {
        const auto doc = skipErrorValue([&] { return (*documents)->item(sDWGName); });
        return doc ? *doc : nullptr;
    }
    // Drawings of the same name in different project folders are common, so the
    // file name alone could pick the wrong one.
    const int count = skipErrorValue([&] { return (*documents)->count(); }).value_or(0);
    for (int i = 0; i < count; ++i) {
        const auto doc = skipErrorValue([&] { return (*documents)->item(i); });
        if (!doc || !*doc) continue;
        const auto fullName = skipErrorValue([&] { return (*doc)->fullName(); });
        if (fullName && samePath(*fullName, sDWGFullPath)) return *doc;
    }
    return nullptr;
}

bool fun_bFindOrOpenDrawing(const ApplicationPtr& app, const QString& sDWGName, const QString& sDWGFullPath,
                            OperationDrawing& drawing) {
    drawing = OperationDrawing{};
    drawing.doc = findOpenDocument(app, sDWGName, sDWGFullPath);
    if (drawing.doc) return true;
    if (app) {
        const auto opened = skipErrorValue([&] { return app->documents()->open(sDWGFullPath); });
        if (opened && *opened) {
            drawing.doc = *opened;
            drawing.bOpenedHere = true;
            return true;
        }
    }
    support::bringMainWindowToFront();
    support::MsgBox(QStringLiteral("AutoCADファイルを開くことが出来ませんでした。\r\n") + sDWGFullPath,
                    support::vbExclamation, support::kLaminorTitle);
    return false;
}

QString whyDrawingNotSavable(const QString& path) {
    return QString::fromStdString(dxf::whyNotSavable(QFile::encodeName(path).toStdString()));
}

bool fun_bFindOrOpenDrawingToChange(const ApplicationPtr& app, const QString& sDWGName, const QString& sDWGFullPath,
                                    OperationDrawing& drawing) {
    drawing = OperationDrawing{};
    // A drawing open in the host keeps its changes there, unsaved: its file
    // is not written, whatever it allows.
    if (findOpenDocument(app, sDWGName, sDWGFullPath)) return fun_bFindOrOpenDrawing(app, sDWGName, sDWGFullPath, drawing);
    if (QFileInfo::exists(sDWGFullPath)) {
        const QString why = whyDrawingNotSavable(sDWGFullPath);
        if (!why.isEmpty()) {
            support::bringMainWindowToFront();
            support::MsgBox(QStringLiteral("図面ファイルを保存できないため、処理しませんでした。\r\n") +
                                QDir::toNativeSeparators(sDWGFullPath) + QStringLiteral("\r\n") + why,
                            support::vbExclamation, support::kLaminorTitle);
            return false;
        }
    }
    return fun_bFindOrOpenDrawing(app, sDWGName, sDWGFullPath, drawing);
}

namespace {
thread_local QString lastFinishFailure;
}  // namespace

QString takeFinishFailure() { return std::exchange(lastFinishFailure, QString()); }

bool finishDrawing(OperationDrawing& drawing, bool bNoChange) {
    lastFinishFailure.clear();
    if (!drawing.doc) return false;
    if (!drawing.bOpenedHere) {
        skipError([&] { drawing.doc->regen(0); });
        if (!bNoChange) drawingNotes().leftUnsaved = true;
        return true;
    }
    if (bNoChange) {
        skipError([&] { drawing.doc->close(false); });
        drawing.doc.reset();
        return true;
    }
    bool saved = true;
    try {
        drawing.doc->close(true);
    } catch (const HostError& e) {
        if (mustPass(e)) throw;
        saved = false;
        lastFinishFailure = e.description();
    }
    if (!saved) {
        // The host keeps a document whose save failed open; the run opened it,
        // so it closes it again, and the drawing counts as not converted.
        skipError([&] { drawing.doc->close(false); });
        support::bringMainWindowToFront();
        support::MsgBox(QStringLiteral("図面を保存できませんでした。\r\n") + lastFinishFailure, support::vbExclamation,
                        support::kLaminorTitle);
    }
    drawing.doc.reset();
    return saved;
}

void discardDrawing(OperationDrawing& drawing) {
    if (drawing.doc && drawing.bOpenedHere) skipError([&] { drawing.doc->close(false); });
    drawing.doc.reset();
}

std::vector<LayerPtr> layersOf(const DocumentPtr& doc) {
    std::vector<LayerPtr> out;
    const auto layers = skipErrorValue([&] { return doc->layers(); }).value_or(nullptr);
    if (!layers) return out;
    const int count = skipErrorValue([&] { return layers->count(); }).value_or(0);
    for (int i = 0; i < count; ++i)
        if (auto layer = skipErrorValue([&] { return layers->item(i); }).value_or(nullptr)) out.push_back(layer);
    return out;
}

}  // namespace host
