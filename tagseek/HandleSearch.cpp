#include "tagseek/HandleSearch.h"

#include <QRegularExpression>

#include "host/HostConnection.h"
#include "host/SkipError.h"
#include "support/MessageBox.h"

namespace tagseek {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kHostMissing = QStringLiteral("AutoCAD（レギュラー版）が見つかりません。");
}  // namespace

DroppedHandles splitDroppedText(const QString& text) {
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\n"));
    DroppedHandles out;
    out.pieces = text.split(lineBreak);
    out.n = int(out.pieces.size()) - 1;
    return out;
}

bool fun_bConnectRunningHost(host::ApplicationPtr& oAcadApp) {
    bool found = false;
    host::fun_bGetRunningHost(oAcadApp, found);
    return found;
}

host::EntityPtr fun_oHandleToObject(const host::ApplicationPtr& oAcadApp, const QString& sHandle) {
    if (!oAcadApp) return nullptr;
    auto object = host::skipErrorValue([&] { return oAcadApp->activeDocument()->handleToObject(sHandle); });
    return object ? *object : nullptr;
}

bool fun_bSearchHandle(host::ApplicationPtr& oAcadApp, QString& sHandle) {
    if (!oAcadApp && !fun_bConnectRunningHost(oAcadApp)) {
        support::MsgBox(kHostMissing + kCrLf + QStringLiteral("AutoCADを起動してから本ソフトを実行してください。"),
                        support::vbCritical, kTagseekTitle);
        return false;
    }
    const host::EntityPtr object = fun_oHandleToObject(oAcadApp, sHandle);
    if (!object) return false;

    // An object without extents is described without zooming: zooming to
    // corners that were never read would show the drawing's origin instead.
    host::Point3 lowerLeft, upperRight;
    if (host::skipError([&] { object->getBoundingBox(lowerLeft, upperRight); })) {
        host::skipError([&] { oAcadApp->zoomWindow(lowerLeft, upperRight); });
        host::skipError([&] { oAcadApp->zoomScaled(0.5, 1); });
    }

    const QString objectName = host::skipErrorValue([&] { return object->objectName(); }).value_or(QString());
    QString description = QStringLiteral("【ハンドル値】") + sHandle + kCrLf + QStringLiteral("【ｵﾌﾞｼﾞｪｸﾄ名】") + objectName;
    if (objectName == u"AcDbText") {
        description += kCrLf + QStringLiteral("【データ】") +
                       host::skipErrorValue([&] { return object->textString(); }).value_or(QString());
    }
    sHandle = description;
    return true;
}

QString resultMessage(bool found, const QString& text, int k, int n) {
    return QStringList{text, QString(),
                       found ? QStringLiteral(" が見つかりました。") : QStringLiteral(" が見つかりませんでした。"),
                       QStringLiteral("処理を続けますか？"),
                       QStringLiteral("( %1/%2 )").arg(k).arg(n)}
        .join(kCrLf);
}

}  // namespace tagseek
