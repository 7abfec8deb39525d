#pragma once
// Layer rename (mode 1) on one drawing, and the new name of one layer under
// one rename rule, which the rename rule dialog shows as its preview.
#include <QString>

#include "host/HostApi.h"
#include "support/ListTable.h"
#include "support/StatusLabel.h"

namespace host {

// Texts returned instead of a name when a rule cannot be applied.
inline const QString kMarkerProtected = QStringLiteral("(変更不可)");
inline const QString kMarkerNoSearch = QStringLiteral("(検索文字を設定して下さい)");
inline const QString kMarkerNoReplace = QStringLiteral("(置換文字を設定して下さい)");

// A layer whose name contains "|" (external reference), is "0", or is
// "defpoints" in any letter case never gets a new name.
bool isProtectedLayerName(const QString& sLayerName);
// True when a computed name is (or contains) one of the marker texts.
bool isMarker(const QString& sNewName);

// The new name of a layer under one rule, or a marker. Every text the pattern
// matches is replaced, one after the other, at its first occurrence (found
// without regard to letter case) from the end of the previous replacement on.
QString fun_sGetNewLayerName(const QString& sLayerName, const QString& sSearch, const QString& sReplace);
// The same, also telling whether the pattern matched the name at all.
QString newLayerName(const QString& sLayerName, const QString& sSearch, const QString& sReplace, bool& bMatched);

// Applies the rename rules (rows of vRule: column 1 the pattern, column 2 the
// replacement; rows of unselected rules are empty) to every layer of the
// drawing. The first rule whose pattern matches a layer decides its new name;
// a layer that takes the name of an existing layer is merged into it.
// bNoChange ends true when nothing was changed. False when the drawing could
// not be found or opened, a rename was refused, or the changed drawing could
// not be saved.
bool fun_bApplyLayerNameRules(ApplicationPtr acadApp, const QString& sDWGName, const QString& sDWGFullPath,
                              const support::ListTable& vRule, bool& bNoChange, support::StatusLabel& lblStatus);

}  // namespace host
