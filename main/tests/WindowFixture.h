#pragma once
// Each window test gets its own empty program folder, a message box that
// records instead of showing, and no drawing host unless it installs one.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <memory>
#include <ostream>
#include <vector>

#include "host/HostConnection.h"
#include "main/FileDropList.h"
#include "main/frmMain.h"
#include "support/Ini.h"
#include "support/RecordingMessageBox.h"
#include "support/ProgramFolder.h"

// Readable failure output for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '{' << l.join(", ").toStdString() << '}'; }

namespace mainwin::testing {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        support::setProgramFolder(folder.path());
        support::resetIniState();
        host::setHostProvider(nullptr);
    }
    void TearDown() override {
        window.reset();
        support::setProgramFolder(QString());
        host::setHostProvider(nullptr);
    }

    frmMain& open(MainWindowServices services = {}) {
        if (!services.endProgram) services.endProgram = [this] { ++endProgramCalls; };
        window = std::make_unique<frmMain>(nullptr, std::move(services));
        return *window;
    }
    // Closes the window as the user does with the close box.
    void closeWindow() { window->close(); }

    QString iniPath() const { return folder.filePath(QStringLiteral("Laminor.ini")); }
    // Stores a value in section "MAIN" before the window opens.
    static void setMain(const char* key, const QString& value) {
        support::WriteINI(QStringLiteral("Laminor.ini"), QStringLiteral("MAIN"), QString::fromLatin1(key), value);
    }
    QString readMain(const char* key) {
        return support::GetINI(QStringLiteral("Laminor.ini"), QStringLiteral("MAIN"), QString::fromLatin1(key),
                               QStringLiteral("<missing>"), false)
            .toString();
    }
    // Creates an empty file in the program folder and returns its path.
    QString touch(const QString& name) {
        const QString path = folder.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return path;
    }

    static QStringList column(const QTreeWidget& list, int c) {
        QStringList out;
        for (int i = 0; i < list.topLevelItemCount(); ++i) out << list.topLevelItem(i)->text(c);
        return out;
    }

    QTemporaryDir folder;
    support::RecordingMessageBox messages;  // installed for the test's lifetime
    std::unique_ptr<frmMain> window;
    int endProgramCalls = 0;
};

}  // namespace mainwin::testing
