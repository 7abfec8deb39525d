#include "host/frmDialogModal.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "host/HostWindow.h"
#include "support/MessageBox.h"

namespace host {

namespace {
// The form is laid out in twips; 15 twips make a pixel.
QRect twips(int left, int top, int width, int height) { return QRect(left / 15, top / 15, width / 15, height / 15); }
}  // namespace

frmDialogModal::frmDialogModal(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDialogModal"));
    Image1 = new QLabel(this);
    LblMsg = new QLabel(this);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    Image1->setObjectName(QStringLiteral("Image1"));
    LblMsg->setObjectName(QStringLiteral("LblMsg"));
    OKButton->setObjectName(QStringLiteral("OKButton"));

    Image1->setGeometry(twips(270, 300, 705, 705));
    Image1->setAlignment(Qt::AlignCenter);
    LblMsg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The six lines of the wait message need more room than the designed
    // label gives them in a CJK font: the label grows to its text below.
    LblMsg->move(twips(1170, 210, 0, 0).topLeft());
    OKButton->setDefault(true);

    // Load: the caption, and the hint that keeps the dialog above the host.
    // Setting the hint before the dialog is shown matters: changing window
    // flags later hides the window, which would end the modal display.
    setWindowTitle(support::kLaminorTitle);
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    connect(OKButton, &QPushButton::clicked, this, [this] { hide(); });
}

void frmDialogModal::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) subSetTopmost(this);
}

void frmDialogModal::pu_subShow(const QString& sMsg, int iIcon) {
    frmDialogModal form;
    form.LblMsg->setText(sMsg);
    form.LblMsg->adjustSize();
    const QRect designed = twips(1170, 210, 4605, 1275);
    form.LblMsg->resize(std::max(designed.width(), form.LblMsg->width()),
                        std::max(designed.height(), form.LblMsg->height()));
    QStyle::StandardPixmap picture = QStyle::SP_CustomBase;
    if (iIcon == support::vbCritical) picture = QStyle::SP_MessageBoxCritical;
    if (iIcon == support::vbExclamation) picture = QStyle::SP_MessageBoxWarning;
    if (iIcon == support::vbInformation) picture = QStyle::SP_MessageBoxInformation;
    if (picture != QStyle::SP_CustomBase)
        form.Image1->setPixmap(form.style()->standardIcon(picture).pixmap(form.Image1->size()));

    // The button sits under the message, centred as designed.
    const QRect button = twips(2640, 1650, 1215, 375);
    const int buttonTop = std::max(button.top(), form.LblMsg->geometry().bottom() + 12);
    const int width = std::max(6030 / 15, form.LblMsg->geometry().right() + 20);
    form.OKButton->setGeometry((width - button.width()) / 2, buttonTop, button.width(),
                               std::max(button.height(), form.OKButton->sizeHint().height()));
    form.setFixedSize(width, std::max(2115 / 15, form.OKButton->geometry().bottom() + 12));
    form.exec();
}

}  // namespace host
