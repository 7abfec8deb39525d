#include "rules/frmGet2Item.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace rules {

namespace {
// The form is laid out in twips; 15 twips make a pixel.
QRect twips(int left, int top, int width, int height) { return QRect(left / 15, top / 15, width / 15, height / 15); }
// Text boxes and buttons get at least the height their font needs.
QRect atLeast(QRect r, int height) {
    if (r.height() < height) r.setHeight(height);
    return r;
}
}  // namespace

frmGet2Item::frmGet2Item(QWidget* parent) : QDialog(parent) {
    Label1 = new QLabel(this);
    Text1 = new QLineEdit(this);
    Label2 = new QLabel(this);
    Text2 = new QLineEdit(this);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    CancelButton = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Text1->setObjectName(QStringLiteral("Text1"));
    Label2->setObjectName(QStringLiteral("Label2"));
    Text2->setObjectName(QStringLiteral("Text2"));
    OKButton->setObjectName(QStringLiteral("OKButton"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    const int editHeight = Text1->sizeHint().height();
    const int buttonHeight = OKButton->sizeHint().height();
    const int extra = std::max(0, editHeight - 285 / 15);  // keeps the rows apart when fonts are tall
    Label1->setGeometry(twips(270, 180, 1845, 255));
    Text1->setGeometry(atLeast(twips(2160, 150, 4305, 285), editHeight));
    Label2->setGeometry(twips(270, 690, 1845, 255).translated(0, extra));
    Text2->setGeometry(atLeast(twips(2160, 660, 4305, 285), editHeight).translated(0, extra));
    OKButton->setGeometry(atLeast(twips(3960, 1410, 1215, 375), buttonHeight).translated(0, 2 * extra));
    CancelButton->setGeometry(atLeast(twips(5250, 1410, 1215, 375), buttonHeight).translated(0, 2 * extra));
    setFixedSize(6810 / 15, std::max(1935 / 15, CancelButton->geometry().bottom() + 10));

    // Enter confirms and Escape cancels, as in the other dialogs.
    OKButton->setDefault(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButton_Click(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButton_Click(); });
    Form_Load();
}

void frmGet2Item::Form_Load() { bOK = false; }

void frmGet2Item::OKButton_Click() {
    bOK = true;
    accept();
}

void frmGet2Item::CancelButton_Click() { reject(); }

bool frmGet2Item::pu_fun_bGet2Item(const QString& sCaption, const QString& sLbl1, const QString& sLbl2,
                                   QString& sString1, QString& sString2, QWidget* parent) {
    // A fresh form for every call: nothing, bOK included, survives the last one.
    frmGet2Item form(parent);
    form.setWindowTitle(sCaption);
    form.Label1->setText(sLbl1);
    form.Label2->setText(sLbl2);
    form.Text1->setText(sString1);
    form.Text2->setText(sString2);
    form.exec();
    sString1 = form.Text1->text();
    sString2 = form.Text2->text();
    return form.bOK;
}

}  // namespace rules
