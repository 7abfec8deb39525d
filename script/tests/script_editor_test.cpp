// The script editor: the three files it shows and stores, Execute's final
// script, Cancel, and the resize rule.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "rules/tests/DialogDriver.h"
#include "script/frmScript.h"
#include "support/Ini.h"
#include "support/ProgramFolder.h"
#include "support/RecordingMessageBox.h"

namespace {

using script::frmScript;
using rulestest::whenShown;

struct ScriptEditorTest : ::testing::Test {
    QTemporaryDir folder;
    support::RecordingMessageBox messages;
    QStringList dispatched;
    QString merged;

    ScriptEditorTest() {
        support::setProgramFolder(folder.path());
        support::resetIniState();
        merged = folder.filePath(QStringLiteral("Laminor_script.scr"));
        frmScript::setDispatcher([this](const QString& path) { dispatched << path; });
    }
    ~ScriptEditorTest() override {
        frmScript::setDispatcher(nullptr);
        support::setProgramFolder(QString());
    }
    QByteArray bytes(const char* name) {
        QFile f(folder.filePath(QString::fromLatin1(name)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void put(const char* name, const QByteArray& content) {
        QFile f(folder.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    // Replaces a box's text as typing (or an input method) does, then leaves the box for another.
    static void edit(QPlainTextEdit* box, QWidget* next, const QString& text) {
        box->setFocus();
        box->selectAll();
        box->insertPlainText(text);
        next->setFocus();
    }
};

TEST_F(ScriptEditorTest, FirstRunCreatesEmptyHeaderAndFooterAndSendsTheMergedScript) {
    put("Laminor_script.scr", "open\r\n\"/d/\x95\xc7.dxf\"\r\nclose\r\ny\r\n");
    whenShown<frmScript>([](frmScript* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("画層対応連続スクリプトの実行"));
        EXPECT_EQ(d->LblScript->text(), QStringLiteral("連続スクリプト本文"));
        EXPECT_EQ(d->TxtHeader->toPlainText(), QString());
        EXPECT_EQ(d->TxtScript->toPlainText(), QStringLiteral("open\n\"/d/壁.dxf\"\nclose\ny\n"));
        QTest::mouseClick(d->CmdExecute, Qt::LeftButton);
    });
    EXPECT_TRUE(frmScript::pu_fun_bShow(merged));
    EXPECT_EQ(bytes("Laminor_script_Header.scr"), QByteArray());
    EXPECT_EQ(bytes("Laminor_script_Footer.scr"), QByteArray());
    EXPECT_EQ(bytes("Laminor_script.scr"), QByteArray("open\r\n\"/d/\x95\xc7.dxf\"\r\nclose\r\ny\r\n"));
    EXPECT_EQ(dispatched, QStringList{merged});
}

TEST_F(ScriptEditorTest, EditsAreStoredTrimmedWhenTheBoxIsLeftAndExecuteJoinsTheThree) {
    put("Laminor_script.scr", "open\r\nclose\r\n");
    put("Laminor_script_Footer.scr", "keep\n");  // not CR LF: shows whether it is rewritten
    whenShown<frmScript>([this](frmScript* d) {
        edit(d->TxtHeader, d->TxtScript, QStringLiteral("filedia 0\n\n\n"));
        EXPECT_EQ(bytes("Laminor_script_Header.scr"), QByteArray("filedia 0\r\n"));
        d->TxtFooter->setFocus();
        d->TxtScript->setFocus();  // left unchanged
        EXPECT_EQ(bytes("Laminor_script_Footer.scr"), QByteArray("keep\n"));
        edit(d->TxtScript, d->TxtHeader, QStringLiteral("open\nREGEN\nclose"));
        QTest::mouseClick(d->CmdExecute, Qt::LeftButton);
    });
    EXPECT_TRUE(frmScript::pu_fun_bShow(merged));
    EXPECT_EQ(bytes("Laminor_script.scr"), QByteArray("filedia 0\r\nopen\r\nREGEN\r\nclose\r\nkeep\n"));
}

TEST_F(ScriptEditorTest, EmptiedBoxStoresAnEmptyFileAndCancelKeepsWhatWasStored) {
    put("Laminor_script_Header.scr", "old header\r\n");
    put("Laminor_script.scr", "body\r\n");
    whenShown<frmScript>([this](frmScript* d) {
        d->TxtHeader->setFocus();
        d->TxtHeader->selectAll();
        QTest::keyClick(d->TxtHeader, Qt::Key_Delete);
        edit(d->TxtScript, d->TxtFooter, QStringLiteral("edited"));
        QTest::mouseClick(d->CmdCancel, Qt::LeftButton);
    });
    EXPECT_FALSE(frmScript::pu_fun_bShow(merged));
    EXPECT_EQ(bytes("Laminor_script_Header.scr"), QByteArray());
    EXPECT_EQ(bytes("Laminor_script.scr"), QByteArray("edited\r\n"));
    EXPECT_TRUE(dispatched.isEmpty());
}

TEST_F(ScriptEditorTest, TextThatCp932CannotHoldIsRefusedAndTheFileKept) {
    put("Laminor_script.scr", "body\r\n");
    whenShown<frmScript>([](frmScript* d) {
        edit(d->TxtScript, d->TxtHeader, QStringLiteral("😀"));
        QTest::mouseClick(d->CmdCancel, Qt::LeftButton);
    });
    frmScript::pu_fun_bShow(merged);
    EXPECT_EQ(bytes("Laminor_script.scr"), QByteArray("body\r\n"));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().icon(), support::vbCritical);
}

TEST_F(ScriptEditorTest, ResizeRuleAndSizeKeptInSectionScript) {
    whenShown<frmScript>([](frmScript* d) {
        EXPECT_EQ(d->size(), QSize(6450 / 15, 7000 / 15));
        d->resize(100, 100);  // below the smallest size
        EXPECT_EQ(d->size(), QSize(2535 / 15, 4455 / 15));
        d->resize(600, 500);
        EXPECT_EQ(d->TxtScript->size(), QSize(600 - 21, 500 - 244));
        EXPECT_EQ(d->TxtHeader->width(), 600 - 21);
        EXPECT_EQ(d->Frame1->pos(), QPoint(600 - 162, 500 - 67));
        EXPECT_EQ(d->TxtFooter->y(), 500 - 125);
        EXPECT_EQ(d->TxtHeader->y(), 360 / 15);
        d->close();
    });
    EXPECT_FALSE(frmScript::pu_fun_bShow(merged));
    auto stored = [](const char* key) {
        return support::GetINI(QStringLiteral("Laminor.ini"), QStringLiteral("Script"), QString::fromLatin1(key), 0, true)
            .toInt();
    };
    EXPECT_EQ(stored("Width"), 600 * 15);
    EXPECT_EQ(stored("Height"), 500 * 15);
}

}  // namespace
