#pragma once
// Finding one object by its handle in the drawing that is active in the
// running host, zooming the host's view onto it and describing it; and the
// texts Tagseek shows around a search.
#include <QString>
#include <QStringList>

#include "host/HostApi.h"

namespace tagseek {

// Title of every window and message of Tagseek.
inline const QString kTagseekTitle = QStringLiteral("PickwellFree版 Ver1.00");
inline const QString kIniFileName = QStringLiteral("Tagseek.ini");

// Dropped text cut into handles. Lines end with CR LF (Windows programs) or
// with LF alone (Linux programs); both separate. n is the number of
// separators, which is one less than the number of handles when the text does
// not end with a line break (the last handle of three then counts 3/2).
struct DroppedHandles {
    QStringList pieces;  // empty pieces included: they are skipped but counted in n
    int n = 0;
};
DroppedHandles splitDroppedText(const QString& text);

// The running host, or nothing; never starts one.
bool fun_bConnectRunningHost(host::ApplicationPtr& oAcadApp);

// The object of the active drawing with that handle, or nothing (no host
// answer, no drawing open, no such handle).
host::EntityPtr fun_oHandleToObject(const host::ApplicationPtr& oAcadApp, const QString& sHandle);

// Looks the handle up, zooms the host's view onto the object (to its extents,
// then out by half) and replaces sHandle with the object's description.
// Returns false, sHandle unchanged, when it is not found. Connects to the
// running host first when oAcadApp holds none, and says so when none runs.
bool fun_bSearchHandle(host::ApplicationPtr& oAcadApp, QString& sHandle);

// The text of a result: the description (found) or the handle as dropped
// (not found), with the counter k/n.
QString resultMessage(bool found, const QString& text, int k, int n);

// Icon codes of the result dialog.
inline constexpr int kIconFound = 64;
inline constexpr int kIconNotFound = 48;

}  // namespace tagseek
