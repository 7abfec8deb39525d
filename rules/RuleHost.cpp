#include "rules/RuleHost.h"

#include <QHeaderView>

#include "host/HostConnection.h"
#include "host/HostErrorText.h"
#include "host/SkipError.h"
#include "support/MessageBox.h"

namespace rules {

namespace {
const QString kHostNotRunning = QStringLiteral("AutoCADが起動されていません");
const QString kNoDrawing = QStringLiteral("図面が開かれていません");
}  // namespace

bool RuleHost::fetchDocument(QLabel* LblMsg) {
    acadDoc.reset();
    try {
        host::DocumentPtr doc = acadApp->activeDocument();
        const QString name = doc->name();
        acadDoc = std::move(doc);
        LblMsg->setText(name);
        return true;
    } catch (const host::HostError& error) {
        // A host that has gone away is let go, so that the next update finds
        // the host the user starts again.
        if (error.number() == host::errc::kDisconnected) acadApp.reset();
        LblMsg->setText(kNoDrawing);
        return false;
    }
}

void RuleHost::load(QLabel* LblMsg) {
    acadDoc.reset();
    bool found = false;
    if (!host::fun_bGetRunningHost(acadApp, found)) {
        acadApp.reset();
        LblMsg->setText(kHostNotRunning);
        return;
    }
    fetchDocument(LblMsg);
}

bool RuleHost::update(QLabel* LblMsg) {
    if (!acadApp) {
        // Only fetches the host; the next click refreshes the preview.
        load(LblMsg);
        return false;
    }
    // A drawing that is gone is not previewed any more.
    return fetchDocument(LblMsg);
}

void preparePreviewList(QTreeWidget* list, const QStringList& headers) {
    list->setColumnCount(static_cast<int>(headers.size()));
    list->setHeaderLabels(headers);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setTextElideMode(Qt::ElideMiddle);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list->header()->setStretchLastSection(true);
    QPalette palette = list->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    list->setPalette(palette);
}

void showUnexpectedError(const host::HostError& error) {
    support::MsgBox(QStringLiteral("予期せぬエラーが発生しました。\r\n") + QString::number(error.number()) +
                        QStringLiteral("\r\n") + host::japaneseErrorText(error.number(), error.description()),
                    support::vbCritical, support::kLaminorTitle);
}

QString matchCountText(const QString& sDocName, int count) {
    return sDocName + QStringLiteral(" - ") + QString::number(count) + QStringLiteral("個該当");
}

}  // namespace rules
