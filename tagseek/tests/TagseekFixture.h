#pragma once
// Each Tagseek test gets its own empty program folder (so its own
// Tagseek.ini), a message box that records instead of showing, and a drawing
// host of the test's choosing; result dialogs are answered as a user would,
// by clicking their buttons.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
#include <ostream>
#include <vector>

#include "host/HostConnection.h"
#include "support/Ini.h"
#include "support/ProgramFolder.h"
#include "support/RecordingMessageBox.h"
#include "tagseek/frmMsg.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '{' << l.join(", ").toStdString() << '}'; }

namespace tagseek::testing {

// Answers every result dialog that comes up: records what it says and where
// it stands, then clicks OK, or the answer queued for it.
class ResultAnswerer {
public:
    struct Shown {
        QString text;  // Label1 as shown (lines separated by \n)
        QPoint pos;
    };
    ResultAnswerer() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }
    void cancelAt(int showing) { cancelAt_.push_back(showing); }
    // Runs while a dialog is shown, before it is answered.
    std::function<void(frmMsg&)> onShow;
    std::vector<Shown> shown;

    QStringList lastLines() const { return shown.empty() ? QStringList() : shown.back().text.split(u'\n'); }
    QStringList counters() const {
        QStringList out;
        for (const Shown& s : shown) out << s.text.split(u'\n').back();
        return out;
    }

private:
    void poll() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<frmMsg*>(w);
            if (!dialog || !dialog->isVisible() || dialog == answering_) continue;
            answering_ = dialog;
            shown.push_back({dialog->Label1->text(), dialog->pos()});
            if (onShow) onShow(*dialog);
            const bool cancel = std::find(cancelAt_.begin(), cancelAt_.end(), int(shown.size())) != cancelAt_.end();
            (cancel ? dialog->CancelButton : dialog->OKButton)->click();
            answering_ = nullptr;
        }
    }
    QTimer timer_;
    std::vector<int> cancelAt_;
    frmMsg* answering_ = nullptr;
};

class TagseekTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        support::setProgramFolder(folder.path());
        support::resetIniState();
        host::setHostProvider(nullptr);
    }
    void TearDown() override {
        host::setHostProvider(nullptr);
        support::setProgramFolder(QString());
    }
    QString readIni(const QString& section, const QString& key) {
        return support::GetINI(QStringLiteral("Tagseek.ini"), section, key, QStringLiteral("<missing>"), false)
            .toString();
    }

    QTemporaryDir folder;
    support::RecordingMessageBox messages;
};

}  // namespace tagseek::testing
