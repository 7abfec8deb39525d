#include "script/frmScript.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "host/HostWindow.h"
#include "host/ScriptDispatch.h"
#include "main/MainSettings.h"
#include "script/ScriptFiles.h"
#include "support/EventYield.h"
#include "support/Ini.h"
#include "support/MessageBox.h"
#include "support/TextFile.h"

namespace script {

namespace {

const QString kSection = QStringLiteral("Script");
constexpr int kTwips = 15;
// The smallest size the boxes and buttons still fit in, in twips.
constexpr int kMinWidth = 2535;
constexpr int kMinHeight = 4455;

QRect twips(int left, int top, int width, int height) {
    return QRect(left / kTwips, top / kTwips, width / kTwips, height / kTwips);
}

std::function<void(const QString&)>& dispatcher() {
    static std::function<void(const QString&)> d = host::subSendScript;
    return d;
}

// The boxes show lines; the files hold them with CR LF.
QString forBox(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

void tellFailure(const QString& error) {
    support::MsgBox(error, support::vbCritical, support::kLaminorTitle);
}

}  // namespace

void frmScript::setDispatcher(std::function<void(const QString&)> dispatch) {
    dispatcher() = dispatch ? std::move(dispatch) : std::function<void(const QString&)>(host::subSendScript);
}

frmScript::frmScript(const QString& mergeScript, QWidget* parent)
    : QDialog(parent), sMergeScriptFullName(mergeScript) {
    setObjectName(QStringLiteral("frmScript"));
    auto box = [this](const char* name, bool horizontalBar) {
        auto* b = new QPlainTextEdit(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setLineWrapMode(horizontalBar ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
        b->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        b->installEventFilter(this);
        return b;
    };
    LblHeader = new QLabel(QStringLiteral("ヘッダー"), this);
    TxtHeader = box("TxtHeader", false);
    LblScript = new QLabel(QStringLiteral("連続スクリプト本文"), this);
    TxtScript = box("TxtScript", true);
    TxtScript->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    LblFooter = new QLabel(QStringLiteral("フッター"), this);
    TxtFooter = box("TxtFooter", false);
    Frame1 = new QFrame(this);
    CmdExecute = new QPushButton(QStringLiteral("実行"), Frame1);
    CmdCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), Frame1);
    LblHeader->setObjectName(QStringLiteral("LblHeader"));
    LblScript->setObjectName(QStringLiteral("LblScript"));
    LblFooter->setObjectName(QStringLiteral("LblFooter"));
    Frame1->setObjectName(QStringLiteral("Frame1"));
    CmdExecute->setObjectName(QStringLiteral("CmdExecute"));
    CmdCancel->setObjectName(QStringLiteral("CmdCancel"));

    LblHeader->setGeometry(twips(150, 120, 1965, 255));
    TxtHeader->setGeometry(twips(120, 360, 6135, 705));
    LblScript->setGeometry(twips(150, 1170, 1965, 255));
    TxtScript->setGeometry(twips(120, 1410, 6135, 795));
    LblFooter->setGeometry(twips(150, 2340, 1965, 255));
    TxtFooter->setGeometry(twips(120, 2580, 6135, 705));
    Frame1->setGeometry(twips(4020, 3450, 2205, 435));
    CmdExecute->setGeometry(twips(30, 60, 1035, 345));
    CmdCancel->setGeometry(twips(1170, 60, 1035, 345));
    setMinimumSize(kMinWidth / kTwips, kMinHeight / kTwips);

    setWindowTitle(QStringLiteral("画層対応連続スクリプトの実行"));
    // Set before the first show: changing the flags of a shown dialog hides it.
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    connect(CmdExecute, &QPushButton::clicked, this, [this] { CmdExecute_Click(); });
    connect(CmdCancel, &QPushButton::clicked, this, [this] {
        bExecute = false;
        hide();
    });
    Form_Load();
}

frmScript::~frmScript() = default;

void frmScript::Form_Load() {
    sHeaderFullName = headerScriptPath();
    sFooterFullName = footerScriptPath();
    subLoadFormPos();
    subLoadScriptText();
    Form_Resize();
}

void frmScript::subLoadFormPos() {
    auto number = [](const char* key, int def) {
        return support::GetINI(mainwin::kIniFileName, kSection, QString::fromLatin1(key), def, true).toInt();
    };
    move(number("left", 0) / kTwips, number("top", 0) / kTwips);
    resize(number("Width", 6450) / kTwips, number("Height", 7000) / kTwips);
}

void frmScript::subSaveFormPos() {
    auto write = [](const char* key, int value) {
        support::WriteINI(mainwin::kIniFileName, kSection, QString::fromLatin1(key), value);
    };
    write("left", x() * kTwips);
    write("top", y() * kTwips);
    write("Width", width() * kTwips);
    write("Height", height() * kTwips);
}

void frmScript::subLoadScriptText() {
    TxtHeader->setPlainText(forBox(readScriptText(sHeaderFullName)));
    TxtScript->setPlainText(forBox(readScriptText(sMergeScriptFullName)));
    TxtFooter->setPlainText(forBox(readScriptText(sFooterFullName)));
}

void frmScript::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    Form_Resize();
}

void frmScript::Form_Resize() {
    if (isMinimized()) return;
    const int w = std::max(width(), kMinWidth / kTwips);
    const int h = std::max(height(), kMinHeight / kTwips);
    TxtScript->resize(w - 315 / kTwips, h - 3660 / kTwips);
    TxtHeader->resize(w - 315 / kTwips, TxtHeader->height());
    TxtFooter->resize(w - 315 / kTwips, TxtFooter->height());
    Frame1->move(w - 2430 / kTwips, h - 1005 / kTwips);
    LblFooter->move(LblFooter->x(), h - 2115 / kTwips);
    TxtFooter->move(TxtFooter->x(), h - 1875 / kTwips);
}

void frmScript::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) host::subSetTopmost(this);
}

QString frmScript::fileOf(const QPlainTextEdit* box) const {
    if (box == TxtHeader) return sHeaderFullName;
    if (box == TxtFooter) return sFooterFullName;
    return sMergeScriptFullName;
}

bool frmScript::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QPlainTextEdit*>(watched);
    if (box && event->type() == QEvent::FocusIn) sFocusText = box->toPlainText();
    if (box && event->type() == QEvent::FocusOut) storeBox(box);
    return QDialog::eventFilter(watched, event);
}

// An unchanged box writes nothing.
void frmScript::storeBox(QPlainTextEdit* box) {
    const QString text = box->toPlainText();
    if (text == sFocusText) return;
    sFocusText = text;
    QString error;
    if (!storeScriptText(fileOf(box), support::toCrLf(text), &error)) tellFailure(error);
}

void frmScript::CmdExecute_Click() {
    // A button pressed from the keyboard leaves the box's focus in place.
    for (QPlainTextEdit* box : {TxtHeader, TxtScript, TxtFooter})
        if (box->hasFocus()) storeBox(box);
    bExecute = true;
    QString error;
    if (!writeFinalScript(sHeaderFullName, sMergeScriptFullName, sFooterFullName, sMergeScriptFullName, &error)) {
        // Nothing half-made reaches the host.
        bExecute = false;
        tellFailure(error);
        return;
    }
    hide();
    support::yieldEvents(1);
    dispatcher()(sMergeScriptFullName);
}

bool frmScript::pu_fun_bShow(const QString& sMergeScriptFullName, QWidget* parent) {
    QString error;
    if (!ensureHeaderAndFooter(&error)) tellFailure(error);
    frmScript form(sMergeScriptFullName, parent);
    form.exec();
    form.subSaveFormPos();
    return form.bExecute;
}

}  // namespace script
