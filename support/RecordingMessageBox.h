#pragma once
// A message-box service for tests: installs itself for its lifetime, records
// every message (text, style, title) and answers from a queue. Without a
// queued answer it answers as the user who presses the first button would:
// OK, or Yes.
#include "support/MessageBox.h"

#include <QString>
#include <deque>
#include <functional>
#include <vector>

namespace support {

class RecordingMessageBox : public MessageBoxService {
public:
    struct Message {
        QString text;
        int style = 0;
        QString title;
        int icon() const { return style & 0x70; }
        int buttons() const { return style & 7; }
    };

    RecordingMessageBox() { setMessageBoxService(this); }
    ~RecordingMessageBox() override { setMessageBoxService(nullptr); }
    RecordingMessageBox(const RecordingMessageBox&) = delete;
    RecordingMessageBox& operator=(const RecordingMessageBox&) = delete;

    int show(const QString& text, int style, const QString& title) override {
        messages.push_back(Message{text, style, title});
        if (onShow) onShow(messages.back());
        if (!answers.empty()) {
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        }
        const int b = style & 7;
        return (b == vbYesNo || b == vbYesNoCancel) ? vbYes : vbOK;
    }

    // Answers the next message with answer (vbOK, vbCancel, vbYes, vbNo).
    void answerNext(int answer) { answers.push_back(answer); }
    const Message& last() const { return messages.back(); }
    int count() const { return static_cast<int>(messages.size()); }
    void clear() { messages.clear(); }

    std::vector<Message> messages;
    std::deque<int> answers;
    // Runs while a message is "shown", e.g. to look at the window behind it.
    std::function<void(const Message&)> onShow;
};

}  // namespace support
