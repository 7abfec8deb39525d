// The script environment dialog, driven as a user would, with printers the
// test supplies (and the system's, with no CUPS answering).
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <map>

#include "rules/tests/DialogDriver.h"
#include "script/frmScriptEnv.h"
#include "support/Ini.h"
#include "support/ProgramFolder.h"
#include "support/RecordingMessageBox.h"

namespace {

using script::frmScriptEnv;
using rulestest::whenShown;

struct TestPrinters : script::PrinterSource {
    QStringList names;
    QString byDefault;
    std::map<QString, QStringList> papers;
    QStringList printerNames() override { return names; }
    QString defaultPrinter() override { return byDefault; }
    QStringList paperNames(const QString& printer) override {
        if (!papers.count(printer)) throw script::PrinterError(482, QStringLiteral("no driver for ") + printer);
        return papers.at(printer);
    }
};

struct ScriptEnvTest : ::testing::Test {
    QTemporaryDir folder;
    support::RecordingMessageBox messages;
    std::shared_ptr<TestPrinters> printers = std::make_shared<TestPrinters>();

    ScriptEnvTest() {
        support::setProgramFolder(folder.path());
        support::resetIniState();
        printers->names = {QStringLiteral("Office"), QStringLiteral("Plotter")};
        printers->byDefault = QStringLiteral("Plotter");
        printers->papers[QStringLiteral("Office")] = {QStringLiteral("Letter"), QStringLiteral("A4")};
        printers->papers[QStringLiteral("Plotter")] = {QStringLiteral("A4"), QStringLiteral("A3"),
                                                       QStringLiteral("A3 Extra"), QStringLiteral("B4")};
    }
    ~ScriptEnvTest() override { support::setProgramFolder(QString()); }

    QString stored(const char* key) {
        return support::GetINI(QStringLiteral("Laminor.ini"), QStringLiteral("ScriptEnv"), QString::fromLatin1(key),
                               QStringLiteral("<missing>"), false)
            .toString();
    }
    mainwin::ScriptEnv show(std::function<void(frmScriptEnv*)> steps) {
        whenShown<frmScriptEnv>(std::move(steps));
        mainwin::ScriptEnv env;
        env.sKeywordPath = QStringLiteral("<not what the dialog hands back>");
        frmScriptEnv::pu_subShow(env, printers);
        return env;
    }
};

TEST_F(ScriptEnvTest, WithoutIniShowsDefaultsAndDefaultPrinterWithItsLastA3) {
    const mainwin::ScriptEnv env = show([](frmScriptEnv* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("画層対応連続スクリプトの環境設定"));
        EXPECT_EQ(d->TxtKeyPath->text(), QStringLiteral("<DWGPATH>"));
        EXPECT_EQ(d->TxtKeyPtinter->text(), QStringLiteral("<PRINTER>"));
        EXPECT_EQ(d->CboScriptFilterLayer->currentText(), QStringLiteral("(全てを対象)"));
        EXPECT_EQ(d->CboScriptFilterLayout->currentText(), QStringLiteral("model"));
        EXPECT_EQ(d->CboScriptFilterLayoutClass->count(), 4);
        EXPECT_EQ(d->CboScriptFilterLayoutClass->itemText(3), QStringLiteral("を含む画層以外を処理"));
        EXPECT_FALSE(d->CboScriptFilterLayerClass->isVisible());
        EXPECT_TRUE(d->CboScriptFilterLayoutClass->isVisible());
        EXPECT_EQ(d->CboKeyPtinter->currentText(), QStringLiteral("Plotter"));
        EXPECT_EQ(d->CboKeyPaperSize->currentText(), QStringLiteral("A3 Extra"));
        QTest::mouseClick(d->CancelButton, Qt::LeftButton);
    });
    EXPECT_EQ(env, mainwin::ScriptEnv());  // the stored values: here the defaults, printer and paper empty
    EXPECT_EQ(stored("TxtKeyPath"), QStringLiteral("<missing>"));
}

TEST_F(ScriptEnvTest, ClassBoxFollowsTheFilterBox) {
    show([](frmScriptEnv* d) {
        d->CboScriptFilterLayer->setFocus();
        QTest::keyClicks(d->CboScriptFilterLayer, QStringLiteral("^W"));
        EXPECT_TRUE(d->CboScriptFilterLayerClass->isVisible());
        d->CboScriptFilterLayer->setCurrentIndex(0);
        EXPECT_FALSE(d->CboScriptFilterLayerClass->isVisible());
        d->CboScriptFilterLayout->setCurrentIndex(0);
        EXPECT_FALSE(d->CboScriptFilterLayoutClass->isVisible());
        QTest::mouseClick(d->CancelButton, Qt::LeftButton);
    });
}

TEST_F(ScriptEnvTest, OkStoresTheTwelveValuesAndTheyComeBackNextTime) {
    const mainwin::ScriptEnv env = show([](frmScriptEnv* d) {
        d->TxtKeyLayerName->setText(QStringLiteral("<画層>"));
        d->CboScriptFilterLayer->setEditText(QStringLiteral("^壁"));
        d->CboScriptFilterLayerClass->setCurrentIndex(3);
        d->CboScriptFilterLayout->setCurrentIndex(0);
        d->CboKeyPtinter->setCurrentText(QStringLiteral("Office"));
        EXPECT_EQ(d->CboKeyPaperSize->currentText(), QStringLiteral("A4"));
        d->CboKeyPaperSize->setCurrentText(QStringLiteral("Letter"));
        QTest::mouseClick(d->OKButton, Qt::LeftButton);
    });
    EXPECT_EQ(env.sKeywordLayerName, QStringLiteral("<画層>"));
    EXPECT_EQ(env.sFilterLayer, QStringLiteral("^壁"));
    EXPECT_EQ(env.iFilterLayerClass, 3);
    EXPECT_EQ(env.sFilterLayout, QStringLiteral("(全てを対象)"));
    EXPECT_EQ(env.sReplacePrinter, QStringLiteral("Office"));
    EXPECT_EQ(env.sReplacePrinterSize, QStringLiteral("Letter"));
    EXPECT_EQ(env.sKeywordPath, QStringLiteral("<DWGPATH>"));
    EXPECT_EQ(stored("CboScriptFilterLayerClass"), QStringLiteral("3"));
    EXPECT_EQ(stored("CboKeyPtinter"), QStringLiteral("Office"));
    EXPECT_EQ(stored("left"), QStringLiteral("0"));
    EXPECT_EQ(mainwin::loadScriptEnv(QStringLiteral("Laminor.ini")), env);

    // Next time the stored printer and paper are chosen; Cancel hands back
    // what is stored, not what was typed.
    const mainwin::ScriptEnv again = show([](frmScriptEnv* d) {
        EXPECT_EQ(d->CboKeyPtinter->currentText(), QStringLiteral("Office"));
        EXPECT_EQ(d->CboKeyPaperSize->currentText(), QStringLiteral("Letter"));
        EXPECT_TRUE(d->CboScriptFilterLayerClass->isVisible());
        d->TxtKeyLayerName->setText(QStringLiteral("typed"));
        QTest::keyClick(d, Qt::Key_Escape);
    });
    EXPECT_EQ(again, env);
}

TEST_F(ScriptEnvTest, StoredPrinterThatIsGoneKeepsTheDefaultButIsHandedBack) {
    support::WriteINI(QStringLiteral("Laminor.ini"), QStringLiteral("ScriptEnv"), QStringLiteral("CboKeyPtinter"),
                      QStringLiteral("Removed"));
    const mainwin::ScriptEnv env = show([](frmScriptEnv* d) {
        EXPECT_EQ(d->CboKeyPtinter->currentText(), QStringLiteral("Plotter"));
        QTest::mouseClick(d->CancelButton, Qt::LeftButton);
    });
    EXPECT_EQ(env.sReplacePrinter, QStringLiteral("Removed"));
}

TEST_F(ScriptEnvTest, PaperPreselectionSkipsTheFirstEntry) {
    printers->papers[QStringLiteral("Plotter")] = {QStringLiteral("A3"), QStringLiteral("Letter"), QStringLiteral("A4")};
    printers->papers[QStringLiteral("Office")] = {QStringLiteral("A4"), QStringLiteral("Letter")};
    show([](frmScriptEnv* d) {
        EXPECT_EQ(d->CboKeyPaperSize->currentText(), QStringLiteral("A4"));
        EXPECT_EQ(d->CboKeyPaperSize->currentIndex(), 2);
        d->CboKeyPtinter->setCurrentText(QStringLiteral("Office"));
        EXPECT_EQ(d->CboKeyPaperSize->currentIndex(), 0);
        QTest::mouseClick(d->CancelButton, Qt::LeftButton);
    });
}

TEST_F(ScriptEnvTest, PrinterWithoutPaperNamesIsAnUnexpectedError) {
    printers->papers.erase(QStringLiteral("Office"));
    show([](frmScriptEnv* d) {
        d->CboKeyPtinter->setCurrentText(QStringLiteral("Office"));
        EXPECT_EQ(d->CboKeyPaperSize->count(), 0);
        QTest::mouseClick(d->CancelButton, Qt::LeftButton);
    });
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("予期せぬエラーが発生しました。\r\n482\r\nno driver for Office"));
    EXPECT_EQ(messages.last().icon(), support::vbCritical);
}

// The test program points CUPS at a socket nobody serves.
TEST_F(ScriptEnvTest, SystemPrintersWithoutCupsAreAnEmptyListAndNoError) {
    printers.reset();
    whenShown<frmScriptEnv>([](frmScriptEnv* d) {
        EXPECT_EQ(d->CboKeyPtinter->count(), 0);
        EXPECT_EQ(d->CboKeyPaperSize->count(), 0);
        QTest::mouseClick(d->OKButton, Qt::LeftButton);
    });
    mainwin::ScriptEnv env;
    frmScriptEnv::pu_subShow(env);
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(env.sReplacePrinter, QString());
}

}  // namespace
