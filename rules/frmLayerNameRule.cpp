#include "rules/frmLayerNameRule.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "host/LayerNameRules.h"
#include "support/MessageBox.h"

namespace rules {

frmLayerNameRule::frmLayerNameRule(QWidget* parent) : QDialog(parent) {
    Label1 = new QLabel(QStringLiteral("検索文字"), this);
    TxtNameBefore = new QLineEdit(this);
    TxtNameBefore->setToolTip(QStringLiteral(
        "正規表現による検索を行います。（ワイルドカードの\"*\"は、正規表現では\".*\"（ドットとアスタリスク）に相当します）"));
    Label2 = new QLabel(QStringLiteral("置換文字"), this);
    TxtNameAfter = new QLineEdit(this);
    Label3 = new QLabel(QStringLiteral("現在の図面に適用した場合の例"), this);
    LstvLayerSample = new QTreeWidget(this);
    LblMsg = new QLabel(this);
    CmdUpdateAutoCAD = new QPushButton(QStringLiteral("更新"), this);
    ChkAutoUpdate = new QCheckBox(QStringLiteral("自動更新"), this);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    CancelButton = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    for (auto [widget, name] : std::initializer_list<std::pair<QWidget*, const char*>>{
             {Label1, "Label1"}, {TxtNameBefore, "TxtNameBefore"}, {Label2, "Label2"},
             {TxtNameAfter, "TxtNameAfter"}, {Label3, "Label3"}, {LstvLayerSample, "LstvLayerSample"},
             {LblMsg, "LblMsg"}, {CmdUpdateAutoCAD, "CmdUpdateAutoCAD"}, {ChkAutoUpdate, "ChkAutoUpdate"},
             {OKButton, "OKButton"}, {CancelButton, "CancelButton"}})
        widget->setObjectName(QString::fromLatin1(name));

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(TxtNameBefore, 0, 1, 1, 3);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(TxtNameAfter, 1, 1, 1, 3);
    grid->addWidget(Label3, 2, 0, 1, 2);
    grid->addWidget(ChkAutoUpdate, 2, 2);
    grid->addWidget(CmdUpdateAutoCAD, 2, 3);
    grid->addWidget(LstvLayerSample, 3, 0, 1, 4);
    grid->addWidget(LblMsg, 4, 0, 1, 4);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    grid->addLayout(buttons, 5, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    resize(480, 420);

    ChkAutoUpdate->setChecked(true);
    OKButton->setDefault(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    connect(TxtNameBefore, &QLineEdit::textChanged, this, [this] { textChanged(); });
    connect(TxtNameAfter, &QLineEdit::textChanged, this, [this] { textChanged(); });
    connect(ChkAutoUpdate, &QCheckBox::toggled, this, [this](bool on) {
        if (on) CmdUpdateAutoCAD_Click();
    });
    connect(CmdUpdateAutoCAD, &QPushButton::clicked, this, [this] { CmdUpdateAutoCAD_Click(); });
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButton_Click(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButton_Click(); });
    Form_Load();
}

void frmLayerNameRule::Form_Load() {
    bOK = false;
    setWindowTitle(QStringLiteral("画層名変更規則の設定"));
    preparePreviewList(LstvLayerSample, {QStringLiteral("変更前"), QStringLiteral("変更後")});
    host_.load(LblMsg);
}

void frmLayerNameRule::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    subUpdateLayerSample();
}

void frmLayerNameRule::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    // Coming back to the dialog (from the host, say) shows the current state.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible()) subUpdateLayerSample();
}

void frmLayerNameRule::textChanged() {
    if (ChkAutoUpdate->isChecked()) subUpdateLayerSample();
}

void frmLayerNameRule::CmdUpdateAutoCAD_Click() {
    if (host_.update(LblMsg)) subUpdateLayerSample();
    else if (!host_.acadDoc) LstvLayerSample->clear();
}

void frmLayerNameRule::subUpdateLayerSample() {
    if (!host_.acadDoc) return;
    const QString sSearch = TxtNameBefore->text();
    const QString sReplace = TxtNameAfter->text();
    LstvLayerSample->clear();
    try {
        const host::LayersPtr layers = host_.acadDoc->layers();
        const int count = layers->count();
        for (int i = 0; i < count; ++i) {
            const QString sName = layers->item(i)->name();
            auto* row = new QTreeWidgetItem(LstvLayerSample);
            row->setText(0, sName);
            row->setText(1, host::fun_sGetNewLayerName(sName, sSearch, sReplace));
        }
        int selected = 0;
        QTreeWidgetItem* firstHit = nullptr;
        for (int i = 0; i < LstvLayerSample->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = LstvLayerSample->topLevelItem(i);
            const bool changes = !host::isProtectedLayerName(row->text(0)) && !host::isMarker(row->text(1)) &&
                                 row->text(1) != row->text(0);
            row->setSelected(changes);
            if (changes && !firstHit) firstHit = row;
            if (changes) ++selected;
        }
        // The user sees what the rule does without scrolling for it.
        if (firstHit) LstvLayerSample->scrollToItem(firstHit, QAbstractItemView::PositionAtTop);
        LblMsg->setText(matchCountText(host_.acadDoc->name(), selected));
    } catch (const host::HostError& error) {
        showUnexpectedError(error);
    }
}

void frmLayerNameRule::OKButton_Click() {
    sNameBefore_ = TxtNameBefore->text();
    sNameAfter_ = TxtNameAfter->text();
    if (sNameBefore_.isEmpty()) {
        support::MsgBox(QStringLiteral("検索文字を指定してください。"), support::vbExclamation, support::kLaminorTitle);
        TxtNameBefore->setFocus();
    } else if (sNameAfter_.isEmpty()) {
        support::MsgBox(QStringLiteral("置換文字を指定してください。"), support::vbExclamation, support::kLaminorTitle);
        TxtNameAfter->setFocus();
    } else {
        bOK = true;
        accept();
    }
}

void frmLayerNameRule::CancelButton_Click() {
    bOK = false;
    reject();
}

bool frmLayerNameRule::pu_fun_bGetRule(QString& sNameBefore, QString& sNameAfter, QWidget* parent) {
    frmLayerNameRule form(parent);
    form.TxtNameBefore->setText(sNameBefore);
    form.TxtNameAfter->setText(sNameAfter);
    form.exec();
    if (form.bOK) {
        sNameBefore = form.sNameBefore_;
        sNameAfter = form.sNameAfter_;
    }
    return form.bOK;
}

}  // namespace rules
