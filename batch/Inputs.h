#pragma once
// What a headless run reads before it starts: the rule table from a rule
// file, and the drawing table from files and folders.
#include <QString>
#include <QStringList>

#include "support/ListTable.h"

namespace batch {

// Reads the rule file of a mode (1 rename, 2 state) the way the main window
// loads it, every rule row taken as selected: rows (0..n-1) × (3 or 10)
// columns, "No" first. False with *error set when the file is missing or
// unreadable, its field count does not fit the mode, or it holds no rule.
bool loadRuleTable(const QString& path, int mode, support::ListTable& table, QString& error);

// The drawings named by the arguments, in order: a file is taken when the
// drawing list would take it; a folder stands for its drawings, sorted by
// name (with recursive, its subfolders' drawings follow, folder by folder).
// Paths come back absolute; arguments that yield nothing go to *skipped.
//
// A drawing (or, with recursive, a subfolder) in a folder whose name is not
// valid UTF-8 cannot be carried by a path of text. With unusable given, each
// is listed after its folder's drawings as the folder and the name with its
// odd bytes written \xNN, and also added to *unusable, so that the run
// reports it instead of skipping it silently.
QStringList collectDrawings(const QStringList& args, bool recursive, QStringList* skipped = nullptr,
                            QStringList* unusable = nullptr);

// The drawing table of the run: (0, k) file name, (1, k) full path.
support::ListTable drawingTable(const QStringList& paths);

}  // namespace batch
