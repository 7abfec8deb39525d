#include "rules/frmLayerStateRule.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "host/SkipError.h"
#include "host/ValueLists.h"
#include "support/MessageBox.h"
#include "support/RegExp.h"

namespace rules {

namespace {

QComboBox* makeCombo(QWidget* parent, const char* name) {
    // Editable: a stored rule may hold any text, such as a linetype the
    // active drawing lacks, and is shown and stored back as it is.
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMaxVisibleItems(20);
    return box;
}

void fill(QComboBox* box, const QStringList& entries) {
    const QSignalBlocker blocker(box);
    box->clear();
    box->addItems(entries);
    box->setCurrentIndex(0);
}

}  // namespace

frmLayerStateRule::frmLayerStateRule(QWidget* parent) : QDialog(parent) {
    Label1 = new QLabel(QStringLiteral("画層名規則"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    TxtLayerName = new QLineEdit(this);
    TxtLayerName->setObjectName(QStringLiteral("TxtLayerName"));
    TxtLayerName->setToolTip(QStringLiteral(
        "正規表現による画層の指定を行います。（ワイルドカードの\"*\"は、正規表現では\".*\"（ドットとアスタリスク）に相当します）"));
    CboLayerOn = makeCombo(this, "CboLayerOn");
    CboFreeze = makeCombo(this, "CboFreeze");
    CboLock = makeCombo(this, "CboLock");
    CboColor = makeCombo(this, "CboColor");
    CmdColor = new QPushButton(this);
    CmdColor->setObjectName(QStringLiteral("CmdColor"));
    CmdColor->setFixedWidth(28);
    CmdColor->setFocusPolicy(Qt::NoFocus);
    CboLinetype = makeCombo(this, "CboLinetype");
    CboLineweight = makeCombo(this, "CboLineweight");
    CboPlotStyleName = makeCombo(this, "CboPlotStyleName");
    CboPlottable = makeCombo(this, "CboPlottable");
    Label10 = new QLabel(QStringLiteral("現在の図面に適用した場合の例"), this);
    Label10->setObjectName(QStringLiteral("Label10"));
    LstvLayerSample = new QTreeWidget(this);
    LstvLayerSample->setObjectName(QStringLiteral("LstvLayerSample"));
    LblMsg = new QLabel(this);
    LblMsg->setObjectName(QStringLiteral("LblMsg"));
    CmdUpdateAutoCAD = new QPushButton(QStringLiteral("更新"), this);
    CmdUpdateAutoCAD->setObjectName(QStringLiteral("CmdUpdateAutoCAD"));
    ChkAutoUpdate = new QCheckBox(QStringLiteral("自動更新"), this);
    ChkAutoUpdate->setObjectName(QStringLiteral("ChkAutoUpdate"));
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    CancelButton = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(TxtLayerName, 0, 1, 1, 7);
    // Two rows of four settings: caption above its list.
    const char* const captions[8] = {"表示", "フリーズ", "ロック", "色", "線種", "線の太さ", "印刷ｽﾀｲﾙ", "印刷"};
    const auto boxes = settingBoxes();
    for (int i = 0; i < 8; ++i) {
        auto* caption = new QLabel(QString::fromUtf8(captions[i]), this);
        caption->setObjectName(QStringLiteral("Label%1").arg(i + 2));
        const int row = 1 + (i / 4) * 2, column = (i % 4) * 2;
        grid->addWidget(caption, row, column, 1, 2);
        if (boxes[i] == CboColor) {
            auto* colorRow = new QHBoxLayout;
            colorRow->addWidget(CboColor, 1);
            colorRow->addWidget(CmdColor);
            grid->addLayout(colorRow, row + 1, column, 1, 2);
        } else {
            grid->addWidget(boxes[i], row + 1, column, 1, 2);
        }
    }
    grid->addWidget(Label10, 5, 0, 1, 4);
    grid->addWidget(ChkAutoUpdate, 5, 6);
    grid->addWidget(CmdUpdateAutoCAD, 5, 7);
    grid->addWidget(LstvLayerSample, 6, 0, 1, 8);
    grid->addWidget(LblMsg, 7, 0, 1, 8);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    grid->addLayout(buttons, 8, 0, 1, 8);
    resize(760, 520);

    ChkAutoUpdate->setChecked(true);
    OKButton->setDefault(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    Form_Load();

    connect(TxtLayerName, &QLineEdit::textChanged, this, [this] { settingChanged(); });
    for (QComboBox* box : settingBoxes()) {
        if (box == CboColor) continue;
        connect(box, &QComboBox::currentTextChanged, this, [this] { settingChanged(); });
    }
    connect(CboColor, &QComboBox::currentTextChanged, this, [this] { CboColor_Click(); });
    connect(ChkAutoUpdate, &QCheckBox::toggled, this, [this](bool on) {
        if (on) CmdUpdateAutoCAD_Click();
    });
    connect(CmdUpdateAutoCAD, &QPushButton::clicked, this, [this] { CmdUpdateAutoCAD_Click(); });
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButton_Click(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButton_Click(); });
}

std::array<QComboBox*, 8> frmLayerStateRule::settingBoxes() const {
    return {CboLayerOn, CboFreeze, CboLock, CboColor, CboLinetype, CboLineweight, CboPlotStyleName, CboPlottable};
}

void frmLayerStateRule::Form_Load() {
    bOK = false;
    setWindowTitle(QStringLiteral("画層状態変更規則の設定"));
    preparePreviewList(LstvLayerSample,
                       {QStringLiteral("画層名規則"), QStringLiteral("表示"), QStringLiteral("ﾌﾘｰｽﾞ"), QStringLiteral("ﾛｯｸ"),
                        QStringLiteral("色"), QStringLiteral("線種"), QStringLiteral("線の太さ"),
                        QStringLiteral("印刷ｽﾀｲﾙ"), QStringLiteral("印刷")});
    host_.load(LblMsg);
    fillChoiceLists();
    CboColor_Click();
}

void frmLayerStateRule::fillChoiceLists() {
    for (QComboBox* box : {CboLayerOn, CboFreeze, CboLock, CboPlottable}) fill(box, host::yesNoChoices());
    fill(CboColor, host::colorChoices());
    fill(CboLineweight, host::lineweightChoices());

    QStringList linetypes;
    QStringList plotStyles;
    if (const host::DocumentPtr doc = host_.acadDoc) {
        linetypes = host::skipErrorValue([&] { return doc->linetypes(); }).value_or(QStringList{});
        host::skipError([&] {
            const host::LayersPtr layers = doc->layers();
            const int count = layers->count();
            for (int i = 0; i < count; ++i) plotStyles << layers->item(i)->plotStyleName();
        });
    }
    fill(CboLinetype, host::linetypeChoices(linetypes));
    fill(CboPlotStyleName, host::plotStyleChoices(plotStyles));
}

void frmLayerStateRule::CboColor_Click() {
    // The swatch follows a colour chosen or typed; "(変更なし)" leaves it as it was.
    const int position = CboColor->findText(CboColor->currentText(), Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (position > 0) {
        long r = 0, g = 0, b = 0;
        host::subGetColorRGB(position, r, g, b);
        CmdColor->setStyleSheet(QStringLiteral("background-color: rgb(%1, %2, %3); border: 1px solid gray;")
                                    .arg(r)
                                    .arg(g)
                                    .arg(b));
        CmdColor->setProperty("swatch", QColor(int(r), int(g), int(b)));
    }
    settingChanged();
}

void frmLayerStateRule::settingChanged() {
    if (ChkAutoUpdate->isChecked()) subUpdateLayerSample();
}

void frmLayerStateRule::CmdUpdateAutoCAD_Click() {
    if (host_.update(LblMsg)) subUpdateLayerSample();
    else if (!host_.acadDoc) LstvLayerSample->clear();
}

void frmLayerStateRule::subUpdateLayerSample() {
    if (!host_.acadDoc) return;
    const QString sPattern = TxtLayerName->text();
    int count = 0;
    LstvLayerSample->clear();
    try {
        const host::LayersPtr layers = host_.acadDoc->layers();
        const int n = layers->count();
        for (int i = 0; i < n; ++i) {
            const host::LayerPtr layer = layers->item(i);
            QStringList vState;  // fresh for every layer
            if (!host::fun_bGetLayerState(layer, vState)) continue;
            auto* row = new QTreeWidgetItem(LstvLayerSample);
            row->setText(0, layer->name());
            for (int c = 0; c < 8; ++c) row->setText(c + 1, vState[c]);
        }
        const auto boxes = settingBoxes();
        QTreeWidgetItem* firstHit = nullptr;
        for (int i = 0; i < LstvLayerSample->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = LstvLayerSample->topLevelItem(i);
            const bool matches = support::fun_bRegExpMatch(row->text(0), sPattern, nullptr, true);
            row->setSelected(matches);
            if (!matches) continue;
            if (!firstHit) firstHit = row;
            ++count;
            for (int c = 0; c < 8; ++c)
                if (boxes[c]->currentText() != host::kNoChange) row->setText(c + 1, boxes[c]->currentText());
        }
        if (firstHit) LstvLayerSample->scrollToItem(firstHit, QAbstractItemView::PositionAtTop);
        LblMsg->setText(matchCountText(host_.acadDoc->name(), count));
    } catch (const host::HostError& error) {
        showUnexpectedError(error);
    }
}

void frmLayerStateRule::OKButton_Click() {
    if (TxtLayerName->text().isEmpty()) {
        support::MsgBox(QStringLiteral("画層名規則 がブランクです。"), support::vbExclamation, support::kLaminorTitle);
        return;
    }
    bOK = true;
    sTgtLayerName_ = TxtLayerName->text();
    vStateRule_.clear();
    for (QComboBox* box : settingBoxes()) vStateRule_ << box->currentText();
    accept();
}

void frmLayerStateRule::CancelButton_Click() {
    bOK = false;
    reject();
}

bool frmLayerStateRule::pu_fun_bGetRule(QString& sTgtLayerName, QStringList& vStateRule, QWidget* parent) {
    frmLayerStateRule form(parent);
    form.TxtLayerName->setText(sTgtLayerName);
    if (!vStateRule.isEmpty()) {
        const auto boxes = form.settingBoxes();
        for (int i = 0; i < 8; ++i) boxes[i]->setEditText(vStateRule.value(i));
    }
    form.exec();
    if (form.bOK) {
        sTgtLayerName = form.sTgtLayerName_;
        vStateRule = form.vStateRule_;
    }
    return form.bOK;
}

}  // namespace rules
