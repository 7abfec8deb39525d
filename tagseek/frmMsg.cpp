#include "tagseek/frmMsg.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

#include "host/HostWindow.h"
#include "host/SkipError.h"
#include "support/Ini.h"
#include "tagseek/HandleSearch.h"
#include "tagseek/WindowPlacement.h"

namespace tagseek {

namespace {
const QString kSection = QStringLiteral("MSGBOX");

// Designed layout, in pixels (15 twips each).
constexpr int kClientWidth = 382, kClientHeight = 111;
constexpr int kLabelLeft = 64, kLabelTop = 6, kLabelWidth = 237, kLabelHeight = 97;
constexpr int kLongestLabel = 480;  // a longer description scrolls
}  // namespace

frmMsg::frmMsg(host::ApplicationPtr oAcadApp) : oAcadApp_(std::move(oAcadApp)) {
    setObjectName(QStringLiteral("frmMsg"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    // The host was activated just before: the dialog comes up without taking
    // the activation from it (window managers otherwise focus a new window).
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFont(tagseekFont());

    const QStyle* style = QApplication::style();
    const QStyle::StandardPixmap pictures[] = {QStyle::SP_MessageBoxInformation, QStyle::SP_MessageBoxWarning,
                                               QStyle::SP_MessageBoxCritical};
    for (size_t i = 0; i < ImageList1.size(); ++i) ImageList1[i] = style->standardIcon(pictures[i]).pixmap(32, 32);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(8, 12, 49, 45);
    Image1->setAlignment(Qt::AlignCenter);

    Label1 = new QLabel;
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setTextInteractionFlags(Qt::TextSelectableByMouse);
    labelArea_ = new QScrollArea(this);
    labelArea_->setFrameShape(QFrame::NoFrame);
    labelArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    labelArea_->setWidgetResizable(true);
    labelArea_->setWidget(Label1);
    labelArea_->viewport()->setAutoFillBackground(false);
    Label1->setAutoFillBackground(false);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(308, 10, 67, 21);
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(308, 36, 67, 21);

    connect(OKButton, &QPushButton::clicked, this, [this] {
        bResult = true;
        accept();
    });
    connect(CancelButton, &QPushButton::clicked, this, [this] {
        bResult = false;
        reject();
    });
}

void frmMsg::setMessage(const QString& sMsg, int iIcon) {
    if (iIcon == 16) Image1->setPixmap(ImageList1[2]);
    else if (iIcon == 48) Image1->setPixmap(ImageList1[1]);
    else if (iIcon == 64) Image1->setPixmap(ImageList1[0]);
    setWindowTitle(kTagseekTitle);
    Label1->setText(QString(sMsg).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    // The designed area holds five lines; a longer description makes the
    // dialog taller, up to a limit past which it scrolls.
    const int needed = Label1->heightForWidth(kLabelWidth - labelArea_->verticalScrollBar()->sizeHint().width()) + 4;
    const int height = std::clamp(needed, kLabelHeight, kLongestLabel);
    labelArea_->setGeometry(kLabelLeft, kLabelTop, kLabelWidth, height);
    setFixedSize(kClientWidth, std::max(kClientHeight, kLabelTop + height + 8));
}

bool frmMsg::pu_fun_bFromShow(const QString& sMsg, int iIcon, host::ApplicationPtr oAcadApp) {
    frmMsg dialog(std::move(oAcadApp));
    dialog.bResult = false;
    dialog.setMessage(sMsg, iIcon);
    dialog.subLoadMsgPos();
    dialog.exec();
    dialog.hide();
    const bool result = dialog.bResult;
    dialog.subSaveMsgPos();
    return result;
}

void frmMsg::subLoadMsgPos() {
    const int top = support::GetINI(kIniFileName, kSection, QStringLiteral("top"), 0, true).toInt();
    const int left = support::GetINI(kIniFileName, kSection, QStringLiteral("left"), 0, true).toInt();
    move(onScreen(QPoint(left / kTwipsPerPixel, top / kTwipsPerPixel), size()));
}

void frmMsg::subSaveMsgPos() {
    support::WriteINI(kIniFileName, kSection, QStringLiteral("top"), y() * kTwipsPerPixel);
    support::WriteINI(kIniFileName, kSection, QStringLiteral("left"), x() * kTwipsPerPixel);
}

bool frmMsg::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) Form_Activate();
    return QDialog::event(e);
}

// Topmost on every activation; the host gets the focus back on the first one,
// so that the user can work in the host's view while reading the result.
void frmMsg::Form_Activate() {
    host::subSetTopmost(this);
    if (!handBack_ || !oAcadApp_) return;
    handBack_ = false;
    host::skipError([&] { oAcadApp_->activateWindow(); });
}

}  // namespace tagseek
