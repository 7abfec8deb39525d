#pragma once
// Records the messages an operation shows, answering each with OK.
#include <QString>
#include <vector>

#include "support/MessageBox.h"

namespace fakehost {

struct RecordedMessages : support::MessageBoxService {
    struct Message {
        QString text;
        int style;
        QString title;
    };
    std::vector<Message> messages;
    int show(const QString& text, int style, const QString& title) override {
        messages.push_back({text, style, title});
        return support::vbOK;
    }
    RecordedMessages() { support::setMessageBoxService(this); }
    ~RecordedMessages() override { support::setMessageBoxService(nullptr); }
};

}  // namespace fakehost
