#include "MessageBoxQt.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace support {

namespace {

struct ButtonSpec {
    QMessageBox::StandardButton button;
    int answer;
    const char16_t* text;
};

const ButtonSpec kOk{QMessageBox::Ok, vbOK, u"OK"};
const ButtonSpec kCancel{QMessageBox::Cancel, vbCancel, u"ｷｬﾝｾﾙ"};
const ButtonSpec kYes{QMessageBox::Yes, vbYes, u"はい(&Y)"};
const ButtonSpec kNo{QMessageBox::No, vbNo, u"いいえ(&N)"};

// The buttons of a style in their order on screen; a style this program
// does not use gets OK.
std::vector<ButtonSpec> buttonsOf(int style) {
    switch (style & 7) {
    case vbOKCancel: return {kOk, kCancel};
    case vbYesNoCancel: return {kYes, kNo, kCancel};
    case vbYesNo: return {kYes, kNo};
    default: return {kOk};
    }
}

QMessageBox::Icon iconOf(int style) {
    switch (style & 0x70) {
    case vbCritical: return QMessageBox::Critical;
    case vbQuestion: return QMessageBox::Question;
    case vbExclamation: return QMessageBox::Warning;
    case vbInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

}  // namespace

QMessageBox* createMessageBox(const QString& text, int style, const QString& title) {
    auto* box = new QMessageBox(QApplication::activeWindow());
    box->setWindowTitle(title);
    box->setIcon(iconOf(style));
    // Messages are plain text: a layer name or a keyword such as "<DWGNAME>"
    // must not be taken for markup. Lines are joined with CR LF by the callers.
    box->setTextFormat(Qt::PlainText);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    box->setText(shown);

    const std::vector<ButtonSpec> buttons = buttonsOf(style);
    QMessageBox::StandardButtons standard;
    for (const ButtonSpec& b : buttons) standard |= b.button;
    box->setStandardButtons(standard);
    for (const ButtonSpec& b : buttons) box->button(b.button)->setText(QString::fromUtf16(b.text));
    // The second or third button as the default (256, 512); the first otherwise.
    const size_t defaultIndex = static_cast<size_t>((style >> 8) & 3);
    box->setDefaultButton(buttons[defaultIndex < buttons.size() ? defaultIndex : 0].button);
    return box;
}

int QtMessageBoxService::show(const QString& text, int style, const QString& title) {
    QMessageBox* box = createMessageBox(text, style, title);
    const int pressed = box->exec();
    delete box;
    for (const ButtonSpec& b : buttonsOf(style))
        if (b.button == pressed) return b.answer;
    // Closed without a button (only possible where Escape has no button of
    // its own): the last button, Cancel or No, or OK for a lone OK.
    return buttonsOf(style).back().answer;
}

void installQtMessageBoxService() {
    static QtMessageBoxService service;
    setMessageBoxService(&service);
}

}  // namespace support
