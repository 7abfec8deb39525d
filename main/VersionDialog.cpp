#include "VersionDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "main/ToolbarIcons.h"
#include "support/MessageBox.h"

namespace mainwin {

VersionDialog::VersionDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("バージョン情報"));
    setObjectName(QStringLiteral("frmVersion"));

    auto* icon = new QLabel(this);
    icon->setPixmap(toolbarIcon(ToolbarIcon::Version).pixmap(48, 48));  // the picture of the button that opens it

    LblTitle = new QLabel(support::kLaminorTitle, this);
    QFont big = LblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    LblTitle->setFont(big);

    LblDescription = new QLabel(QStringLiteral("DWGファイルの画層を一括で変更・出力するツール\n"
                                               "画層名一発変換／画層状態一発変更／\n"
                                               "画層情報Excel出力／画層対応連続スクリプト"),
                                this);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(LblTitle, 0, 1);
    layout->addWidget(LblDescription, 1, 1);
    layout->addWidget(OKButton, 2, 1, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace mainwin
