#pragma once
// The one message-box service every window and operation calls. A message is
// text, a style (buttons + icon, with the classic numeric values) and a title;
// the answer is the button pressed. Tests install their own service to read
// and answer messages; laminor installs the Qt one; a headless run prints.
#include <QString>

namespace support {

// Buttons (low bits) and icons, combined with |.
enum MsgStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
};

// Answers.
enum MsgAnswer : int {
    vbOK = 1,
    vbCancel = 2,
    vbYes = 6,
    vbNo = 7,
};

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual int show(const QString& text, int style, const QString& title) = 0;
};

// Installs a service (not owned); nullptr restores the default, which writes
// the message to standard error and answers as if OK (or Yes) was pressed.
void setMessageBoxService(MessageBoxService* service);
MessageBoxService& messageBoxService();

// Shows a message through the installed service.
int MsgBox(const QString& text, int style, const QString& title);

// Title of every message of the main program.
inline const QString kLaminorTitle = QStringLiteral("Stratakit Ver1.00");

}  // namespace support
