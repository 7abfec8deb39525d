#include "MessageBox.h"

#include <cstdio>

namespace support {

namespace {
// Without a window: the message goes to standard error and is answered as OK/Yes.
class ConsoleMessageBox : public MessageBoxService {
public:
    int show(const QString& text, int style, const QString& title) override {
        std::fprintf(stderr, "[%s] %s\n", title.toUtf8().constData(), text.toUtf8().constData());
        const int buttons = style & 7;
        return (buttons == vbYesNo || buttons == vbYesNoCancel) ? vbYes : vbOK;
    }
};

MessageBoxService*& installed() {
    static MessageBoxService* service = nullptr;
    return service;
}
}  // namespace

void setMessageBoxService(MessageBoxService* service) { installed() = service; }

MessageBoxService& messageBoxService() {
    static ConsoleMessageBox console;
    return installed() ? *installed() : console;
}

int MsgBox(const QString& text, int style, const QString& title) {
    return messageBoxService().show(text, style, title);
}

}  // namespace support
