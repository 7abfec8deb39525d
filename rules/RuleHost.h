#pragma once
// What the two rule dialogs share: the running host and its active drawing,
// fetched as the dialogs' load and update button do, and the preview list
// that keeps its selection visible while the focus is in a text box.
#include <QLabel>
#include <QStringList>
#include <QTreeWidget>

#include "host/HostApi.h"

namespace rules {

// The host application and the drawing the preview is taken from.
struct RuleHost {
    host::ApplicationPtr acadApp;
    host::DocumentPtr acadDoc;

    // Load: the running host (none is started) and its active drawing;
    // LblMsg says which drawing, or why there is none.
    void load(QLabel* LblMsg);
    // The update button. Without a held host this only fetches it (and its
    // drawing); with one it fetches the active drawing again. True when the
    // preview is to be refreshed.
    bool update(QLabel* LblMsg);

private:
    bool fetchDocument(QLabel* LblMsg);
};

// Report view with several selected rows, shown in the active colours also
// while another control has the focus. Columns fit their header and content,
// the last one takes the rest of the width.
void preparePreviewList(QTreeWidget* list, const QStringList& headers);

// "予期せぬエラーが発生しました。" with the error's number and description.
void showUnexpectedError(const host::HostError& error);

// The status text after a refresh: "<drawing> - <n>個該当".
QString matchCountText(const QString& sDocName, int count);

}  // namespace rules
