#pragma once
// The message-box service of the windowed programs: a modal QMessageBox with
// the icon and buttons the style asks for and the programs' Japanese button
// texts, returning the answer.
#include "support/MessageBox.h"

class QMessageBox;

namespace support {

class QtMessageBoxService : public MessageBoxService {
public:
    int show(const QString& text, int style, const QString& title) override;
};

// Builds the box for a message without showing it (the service shows it;
// tests look at it).
QMessageBox* createMessageBox(const QString& text, int style, const QString& title);

// Installs one QtMessageBoxService for the rest of the program.
void installQtMessageBoxService();

}  // namespace support
