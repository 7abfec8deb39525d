#include "script/frmScriptEnv.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "main/MainSettings.h"
#include "support/Ini.h"
#include "support/MessageBox.h"

namespace script {

namespace {

const QString kSection = QStringLiteral("ScriptEnv");

// The form is laid out in twips; 15 twips make a pixel.
QRect twips(int left, int top, int width, int height) { return QRect(left / 15, top / 15, width / 15, height / 15); }

template <class W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// The list index as the class boxes see it: the entry whose text is shown,
// or -1 for typed text.
int listIndex(const QComboBox& combo) {
    const int index = combo.currentIndex();
    return index >= 0 && combo.itemText(index) == combo.currentText() ? index : -1;
}

// Puts a stored text into an editable combo: its entry when it has one.
void setComboText(QComboBox& combo, const QString& text) {
    const int index = combo.findText(text);
    if (index >= 0) combo.setCurrentIndex(index);
    combo.setEditText(text);
}

QString readText(const char* key, const QString& def) {
    return support::GetINI(mainwin::kIniFileName, kSection, QString::fromLatin1(key), def, false).toString();
}

int readNumber(const char* key, int def) {
    return support::GetINI(mainwin::kIniFileName, kSection, QString::fromLatin1(key), def, true).toInt();
}

void write(const char* key, const QVariant& value) {
    support::WriteINI(mainwin::kIniFileName, kSection, QString::fromLatin1(key), value);
}

}  // namespace

frmScriptEnv::frmScriptEnv(std::shared_ptr<PrinterSource> printers, QWidget* parent)
    : QDialog(parent), printers_(printers ? std::move(printers) : systemPrinters()) {
    setObjectName(QStringLiteral("frmScriptEnv"));
    buildControls();
    connect(CboKeyPtinter, &QComboBox::currentIndexChanged, this, [this] { CboKeyPtinter_Click(); });
    for (auto [combo, handler] : {std::pair{CboScriptFilterLayer, &frmScriptEnv::CboScriptFilterLayer_Change},
                                  std::pair{CboScriptFilterLayout, &frmScriptEnv::CboScriptFilterLayout_Change}}) {
        connect(combo, &QComboBox::currentIndexChanged, this, handler);
        connect(combo, &QComboBox::editTextChanged, this, handler);
    }
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButton_Click(); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    Form_Load();
}

void frmScriptEnv::buildControls() {
    auto label = [this](QWidget* parent, const char* name, const QString& text, QRect at) {
        auto* l = named(new QLabel(text, parent), name);
        l->setGeometry(at);
        return l;
    };
    auto edit = [](QWidget* parent, const char* name, QRect at) {
        auto* e = named(new QLineEdit(parent), name);
        e->setGeometry(at);
        return e;
    };
    auto combo = [](QWidget* parent, const char* name, bool editable, QRect at) {
        auto* c = named(new QComboBox(parent), name);
        c->setEditable(editable);
        if (editable) c->setInsertPolicy(QComboBox::NoInsert);
        c->setGeometry(at);
        return c;
    };
    // One keyword row: the keyword's label and box, the replacement's label.
    auto row = [&](QWidget* parent, int top, const char* lbl, const QString& caption, const char* txt,
                   const char* lbl2, const QString& caption2, QLabel*& l1, QLineEdit*& t, QLabel*& l2) {
        l1 = label(parent, lbl, caption, twips(150, top + 45, 1950, 255));
        t = edit(parent, txt, twips(2160, top, 1455, 315));
        l2 = label(parent, lbl2, caption2, twips(3720, top + 45, 1170, 255));
    };

    row(this, 480, "LblKeyPath", QStringLiteral("パス名の検索ｷｰﾜｰﾄﾞ"), "TxtKeyPath", "LblKeyPath2",
        QStringLiteral("置換パス名"), LblKeyPath, TxtKeyPath, LblKeyPath2);
    label(this, "LblKeyPath3", QStringLiteral("DWGファイルのパス名"), twips(4980, 525, 4305, 255));
    row(this, 900, "LblKeyFileName", QStringLiteral("ファイル名の検索ｷｰﾜｰﾄﾞ"), "TxtKeyFileName", "LblKeyFileName2",
        QStringLiteral("置換ﾌｧｲﾙ名"), LblKeyFileName, TxtKeyFileName, LblKeyFileName2);
    label(this, "LblKeyFileName3", QStringLiteral("DWGファイルのファイル名"), twips(4980, 945, 4305, 255));
    row(this, 1380, "LblKeyPtinter", QStringLiteral("ﾌﾟﾘﾝﾀｰの検索ｷｰﾜｰﾄﾞ"), "TxtKeyPtinter", "LblKeyPtinter2",
        QStringLiteral("置換ﾌﾟﾘﾝﾀｰ"), LblKeyPtinter, TxtKeyPtinter, LblKeyPtinter2);
    CboKeyPtinter = combo(this, "CboKeyPtinter", false, twips(4920, 1365, 4305, 345));
    row(this, 1830, "LblKeyPaperSize", QStringLiteral("用紙ｻｲｽﾞの検索ｷｰﾜｰﾄﾞ"), "TxtKeyPaperSize",
        "LblKeyPaperSize2", QStringLiteral("置換用紙ｻｲｽﾞ"), LblKeyPaperSize, TxtKeyPaperSize, LblKeyPaperSize2);
    CboKeyPaperSize = combo(this, "CboKeyPaperSize", false, twips(4920, 1815, 4305, 345));

    Frame1 = named(new QGroupBox(QStringLiteral("同一ファイル内で繰り返し処理を行う項目"), this), "Frame1");
    Frame1->setGeometry(twips(90, 2430, 9375, 2115));
    row(Frame1, 360, "LblKeyLayerName", QStringLiteral("画層名の検索ｷｰﾜｰﾄﾞ"), "TxtKeyLayerName",
        "LblKeyLayerName2", QStringLiteral("置換画層名"), LblKeyLayerName, TxtKeyLayerName, LblKeyLayerName2);
    LblKeyLayerName4 = label(Frame1, "LblKeyLayerName4", QStringLiteral("下記画層名"), twips(4920, 405, 2000, 255));
    LblKeyLayerName3 = label(Frame1, "LblKeyLayerName3", QStringLiteral("画層の絞込み"), twips(3720, 735, 1170, 255));
    CboScriptFilterLayer = combo(Frame1, "CboScriptFilterLayer", true, twips(4920, 690, 1635, 345));
    CboScriptFilterLayerClass = combo(Frame1, "CboScriptFilterLayerClass", false, twips(6570, 690, 2655, 345));
    row(Frame1, 1230, "LblKeyLayout", QStringLiteral("ﾚｲｱｳﾄ名の検索ｷｰﾜｰﾄﾞ"), "TxtKeyLayout", "LblKeyLayout2",
        QStringLiteral("置換ﾚｲｱｳﾄ名"), LblKeyLayout, TxtKeyLayout, LblKeyLayout2);
    LblKeyLayout4 = label(Frame1, "LblKeyLayout4", QStringLiteral("下記ﾚｲｱｳﾄ名"), twips(4920, 1275, 2000, 255));
    LblKeyLayout3 = label(Frame1, "LblKeyLayout3", QStringLiteral("ﾚｲｱｳﾄの絞込み"), twips(3720, 1605, 1170, 255));
    CboScriptFilterLayout = combo(Frame1, "CboScriptFilterLayout", true, twips(4920, 1560, 1635, 345));
    CboScriptFilterLayoutClass = combo(Frame1, "CboScriptFilterLayoutClass", false, twips(6570, 1560, 2655, 345));

    LblNote = label(this, "LblNote",
                    QStringLiteral("絞込みには正規表現が利用できます。(全てを対象)や対象が複数となる場合、その数分だけ"
                                   "ベースファイルが連続複写され<キーワード>が当該名称に置換されます。"),
                    twips(660, 4620, 5925, 585));
    LblNote->setWordWrap(true);
    LblNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    OKButton = named(new QPushButton(QStringLiteral("OK"), this), "OKButton");
    OKButton->setGeometry(twips(6810, 4830, 1215, 375));
    CancelButton = named(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this), "CancelButton");
    CancelButton->setGeometry(twips(8160, 4830, 1215, 375));
    OKButton->setDefault(true);
    // The note's three lines need more height than designed in a CJK font: the form grows below it.
    LblNote->resize(LblNote->width(), std::max(LblNote->height(), LblNote->heightForWidth(LblNote->width())));
    setFixedSize(9555 / 15, std::max(5295 / 15, LblNote->geometry().bottom() + 8));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void frmScriptEnv::Form_Load() {
    setWindowTitle(QStringLiteral("画層対応連続スクリプトの環境設定"));
    subSetFilterList();
    subSetPrinterList();
    pu_subGetDefValue(values_);
    CboScriptFilterLayer_Change();
    CboScriptFilterLayout_Change();
}

void frmScriptEnv::subSetFilterList() {
    const QStringList classes = mainwin::filterClassTexts();
    CboScriptFilterLayer->clear();
    CboScriptFilterLayer->addItem(mainwin::kAllEntry);
    CboScriptFilterLayer->setCurrentIndex(0);
    CboScriptFilterLayerClass->clear();
    CboScriptFilterLayerClass->addItems(classes);
    CboScriptFilterLayerClass->setCurrentIndex(0);
    CboScriptFilterLayout->clear();
    CboScriptFilterLayout->addItems({mainwin::kAllEntry, QStringLiteral("model")});
    CboScriptFilterLayout->setCurrentIndex(0);
    CboScriptFilterLayoutClass->clear();
    CboScriptFilterLayoutClass->addItems(classes);
    CboScriptFilterLayoutClass->setCurrentIndex(0);
}

// Errors in listing the printers are ignored: the list is then shorter or empty.
void frmScriptEnv::subSetPrinterList() {
    {
        // Filling the list selects nothing yet; choosing the default printer
        // below is what fills the paper list.
        const QSignalBlocker quiet(CboKeyPtinter);
        CboKeyPtinter->clear();
        CboKeyPtinter->addItems(printers_->printerNames());
        CboKeyPtinter->setCurrentIndex(-1);
    }
    CboKeyPtinter->setCurrentText(printers_->defaultPrinter());
}

void frmScriptEnv::pu_subGetDefValue(mainwin::ScriptEnv& env) {
    const mainwin::ScriptEnv d;
    move(readNumber("left", 0) / 15, readNumber("top", 0) / 15);

    env.sKeywordPath = readText("TxtKeyPath", d.sKeywordPath);
    TxtKeyPath->setText(env.sKeywordPath);
    env.sKeywordFileName = readText("TxtKeyFileName", d.sKeywordFileName);
    TxtKeyFileName->setText(env.sKeywordFileName);
    env.sKeywordLayerName = readText("TxtKeyLayerName", d.sKeywordLayerName);
    TxtKeyLayerName->setText(env.sKeywordLayerName);
    env.sFilterLayer = readText("CboScriptFilterLayer", d.sFilterLayer);
    setComboText(*CboScriptFilterLayer, env.sFilterLayer);
    env.iFilterLayerClass = readNumber("CboScriptFilterLayerClass", d.iFilterLayerClass);
    CboScriptFilterLayerClass->setCurrentIndex(env.iFilterLayerClass);
    env.sKeywordLayout = readText("TxtKeyLayout", d.sKeywordLayout);
    TxtKeyLayout->setText(env.sKeywordLayout);
    env.sFilterLayout = readText("CboScriptFilterLayout", d.sFilterLayout);
    setComboText(*CboScriptFilterLayout, env.sFilterLayout);
    env.iFilterLayoutClass = readNumber("CboScriptFilterLayoutClass", d.iFilterLayoutClass);
    CboScriptFilterLayoutClass->setCurrentIndex(env.iFilterLayoutClass);
    env.sKeywordPtinter = readText("TxtKeyPtinter", d.sKeywordPtinter);
    TxtKeyPtinter->setText(env.sKeywordPtinter);
    env.sKeywordPaperSize = readText("TxtKeyPaperSize", d.sKeywordPaperSize);
    TxtKeyPaperSize->setText(env.sKeywordPaperSize);

    // A stored printer or paper that is not listed leaves the box as it is;
    // the caller still receives the stored names.
    env.sReplacePrinter = readText("CboKeyPtinter", d.sReplacePrinter);
    CboKeyPtinter->setCurrentText(env.sReplacePrinter);
    env.sReplacePrinterSize = readText("CboKeyPaperSize", d.sReplacePrinterSize);
    CboKeyPaperSize->setCurrentText(env.sReplacePrinterSize);
}

void frmScriptEnv::subSaveEnv() {
    write("left", x() * 15);
    write("top", y() * 15);
    write("TxtKeyPath", TxtKeyPath->text());
    write("TxtKeyFileName", TxtKeyFileName->text());
    write("TxtKeyLayerName", TxtKeyLayerName->text());
    write("CboScriptFilterLayer", CboScriptFilterLayer->currentText());
    write("CboScriptFilterLayerClass", QString::number(CboScriptFilterLayerClass->currentIndex()));
    write("TxtKeyLayout", TxtKeyLayout->text());
    write("CboScriptFilterLayout", CboScriptFilterLayout->currentText());
    write("CboScriptFilterLayoutClass", QString::number(CboScriptFilterLayoutClass->currentIndex()));
    write("TxtKeyPtinter", TxtKeyPtinter->text());
    write("TxtKeyPaperSize", TxtKeyPaperSize->text());
    write("CboKeyPtinter", CboKeyPtinter->currentText());
    write("CboKeyPaperSize", CboKeyPaperSize->currentText());
}

void frmScriptEnv::CboKeyPtinter_Click() {
    CboKeyPaperSize->clear();
    QStringList names;
    try {
        names = printers_->paperNames(CboKeyPtinter->currentText());
    } catch (const PrinterError& e) {
        support::MsgBox(QStringLiteral("予期せぬエラーが発生しました。\r\n%1\r\n%2").arg(e.number()).arg(e.description()),
                        support::vbCritical, support::kLaminorTitle);
        return;
    }
    int a3 = -1, a4 = -1;
    for (const QString& name : names) {
        CboKeyPaperSize->addItem(name);
        const int index = CboKeyPaperSize->count() - 1;
        if (name.contains(QStringLiteral("A3")))
            a3 = index;
        else if (name.contains(QStringLiteral("A4")))
            a4 = index;
    }
    // The first paper is the fallback, so an A3 or A4 at the top is not a reason to choose it.
    if (a3 > 0)
        CboKeyPaperSize->setCurrentIndex(a3);
    else if (a4 > 0)
        CboKeyPaperSize->setCurrentIndex(a4);
    else
        CboKeyPaperSize->setCurrentIndex(0);
}

void frmScriptEnv::CboScriptFilterLayer_Change() {
    CboScriptFilterLayerClass->setVisible(listIndex(*CboScriptFilterLayer) != 0);
}

void frmScriptEnv::CboScriptFilterLayout_Change() {
    CboScriptFilterLayoutClass->setVisible(listIndex(*CboScriptFilterLayout) != 0);
}

void frmScriptEnv::OKButton_Click() {
    subSaveEnv();
    pu_subGetDefValue(values_);
    accept();
}

void frmScriptEnv::pu_subShow(mainwin::ScriptEnv& env, std::shared_ptr<PrinterSource> printers, QWidget* parent) {
    frmScriptEnv form(std::move(printers), parent);
    form.exec();
    env = form.values();
}

}  // namespace script
