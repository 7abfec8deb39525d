// -PLOT and -LAYOUT on drawhost's command line, as base scripts use them: one
// PDF per layout, read back with poppler's pdfinfo and pdftotext; paper names
// and scales as scripts write them; refusals that stop the script.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>

#include "TestDrawings.h"
#include "drawhost/CommandLine.h"
#include "drawhost/Plot.h"
#include "support/TextFile.h"

using namespace drawhost;
using testdrawings::copySample;

namespace {

// What pdfinfo says of a file: "Pages" and "Page size" (in points).
struct PdfInfo {
    int pages = 0;
    QString pageSize;
};

PdfInfo pdfInfo(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {path});
    PdfInfo info;
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return info;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n')) {
        if (line.startsWith(QStringLiteral("Pages:"))) info.pages = line.mid(6).trimmed().toInt();
        if (line.startsWith(QStringLiteral("Page size:"))) info.pageSize = line.mid(10).trimmed().section(u' ', 0, 2);
    }
    return info;
}

QString pdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

class PlotTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        host_ = host::InProcessHost::create();
        cl_ = std::make_unique<CommandLine>(host_);
        QObject::connect(cl_.get(), &CommandLine::output, [this](const QString& l) { out_ << l; });
        plan_ = copySample(dir_, QStringLiteral("floor-plan.dxf"), QStringLiteral("floor plan.dxf"));
    }
    // Runs script lines as a script file would, and waits for the end.
    bool run(const QStringList& lines) {
        bool ok = false;
        QObject::connect(cl_.get(), &CommandLine::scriptFinished, cl_.get(), [&ok](bool r) { ok = r; },
                         Qt::SingleShotConnection);
        cl_->runScript(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        QElapsedTimer t;
        t.start();
        while (cl_->busy() && t.elapsed() < 60000) QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return ok;
    }
    QString pdf(const char* layout) const { return dir_.filePath(QStringLiteral("floor plan-%1.pdf").arg(QString::fromUtf8(layout))); }
    // A detailed plot of a layout to the PDF device, centred and fitted.
    static QStringList detailed(const QString& layout, const QString& paper, const char* orientation, bool model) {
        QStringList l{QStringLiteral("-PLOT"), QStringLiteral("Y"), layout, QStringLiteral("DWG To PDF.pc3"), paper,
                      QStringLiteral("M"), QString::fromLatin1(orientation), QStringLiteral("N"),
                      QStringLiteral("E"), QStringLiteral("F"), QStringLiteral("C"), QStringLiteral("Y"),
                      QStringLiteral("monochrome.ctb"), QStringLiteral("Y")};
        if (model) l << QStringLiteral("A");
        else l << QStringLiteral("N") << QStringLiteral("N") << QStringLiteral("N");
        return l << QString() << QStringLiteral("N") << QStringLiteral("Y");
    }
    QStringList openPlan() const { return {QStringLiteral("open"), u'"' + plan_ + u'"'}; }

    QTemporaryDir dir_;
    std::shared_ptr<host::InProcessHost> host_;
    std::unique_ptr<CommandLine> cl_;
    QStringList out_;
    QString plan_;
};

TEST_F(PlotTest, EveryLayoutToItsOwnPdfBesideTheDrawing) {
    QStringList script = openPlan();
    script << detailed(QStringLiteral("Model"), QStringLiteral("ISO A3 (420.00 x 297.00 MM)"), "L", true);
    for (const char* layout : {"Layout1", "Layout2", "配置3"})
        script << detailed(QString::fromUtf8(layout), QStringLiteral("A4"), "P", false);
    ASSERT_TRUE(run(script << QStringLiteral("close") << QStringLiteral("y"))) << out_.join(u'\n').toStdString();

    const PdfInfo model = pdfInfo(pdf("Model"));
    EXPECT_EQ(model.pages, 1);
    EXPECT_EQ(model.pageSize, QStringLiteral("1191 x 842"));  // A3 landscape
    for (const char* layout : {"Layout1", "Layout2", "配置3"}) {
        const PdfInfo info = pdfInfo(pdf(layout));
        EXPECT_EQ(info.pages, 1) << layout;
        EXPECT_EQ(info.pageSize, QStringLiteral("595 x 842")) << layout;  // A4 portrait
    }
    // Drawn, not blank: model space texts are in the model's PDF.
    EXPECT_TRUE(pdfText(pdf("Model")).contains(QStringLiteral("CORRIDOR 250")));
}

TEST_F(PlotTest, HiddenLayersAreNotPlottedAndStoredPageSetupIsUsedWithoutDetails) {
    // The layout keeps "DWG to PDF.pc3" on an 841 x 594 mm sheet.
    ASSERT_TRUE(run(openPlan() << QStringLiteral("-LAYER") << QStringLiteral("OFF") << QStringLiteral("壁")
                               << QString() << QStringLiteral("-LAYOUT") << QStringLiteral("S")
                               << QStringLiteral("Layout2") << QStringLiteral("-PLOT") << QStringLiteral("N")
                               << QString() << QString() << QString() << QString() << QString() << QString()))
        << out_.join(u'\n').toStdString();
    EXPECT_EQ(pdfInfo(pdf("Layout2")).pageSize, QStringLiteral("2384 x 1684"));
    ASSERT_TRUE(run(detailed(QStringLiteral("Model"), QStringLiteral("A3"), "L", true)));
    EXPECT_FALSE(pdfText(pdf("Model")).contains(QStringLiteral("CORRIDOR 250")));
}

TEST_F(PlotTest, FileNamesAnsweredAsTheNewerPdfDeviceAsksThem) {
    const QString named = dir_.filePath(QStringLiteral("sheets/one sheet.pdf"));
    QDir().mkpath(dir_.filePath(QStringLiteral("sheets")));
    QStringList script = openPlan();
    script << QStringLiteral("-PLOT") << QStringLiteral("N") << QStringLiteral("Model") << QString()
           << QStringLiteral("DWG To PDF.pc3") << named << QStringLiteral("N") << QStringLiteral("Y");
    ASSERT_TRUE(run(script)) << out_.join(u'\n').toStdString();
    EXPECT_EQ(pdfInfo(named).pages, 1);
}

TEST_F(PlotTest, RefusedAnswersStopTheScript) {
    struct Case {
        QStringList lines;
        const char* said;
    } cases[] = {
        {{QStringLiteral("-PLOT"), QStringLiteral("Y"), QStringLiteral("Sheet9")}, "Layout \"Sheet9\" not found."},
        {{QStringLiteral("-PLOT"), QStringLiteral("Y"), QStringLiteral("Model"), QStringLiteral("No Such Plotter")},
         "Plot device \"No Such Plotter\" not found."},
        {{QStringLiteral("-PLOT"), QStringLiteral("Y"), QStringLiteral("Model"), QStringLiteral("DWG To PDF.pc3"),
          QStringLiteral("Elephant")},
         "Paper size \"Elephant\" not found."},
        {{QStringLiteral("-LAYOUT"), QStringLiteral("N")}, "drawhost does not change layouts"},
    };
    for (const Case& c : cases) {
        out_.clear();
        EXPECT_FALSE(run(openPlan() << c.lines << QStringLiteral("REGEN")));
        EXPECT_TRUE(out_.join(u'\n').contains(QString::fromUtf8(c.said))) << c.said;
        EXPECT_TRUE(out_.contains(QStringLiteral("Script stopped."))) << c.said;
    }
    EXPECT_TRUE(QDir(dir_.path()).entryList({QStringLiteral("*.pdf")}).isEmpty());
}

TEST(PlotSettings, PaperNamesAsScriptsWriteThem) {
    const QList<QPageSize> none;
    auto mm = [&](const char* name) {
        const auto size = pageSizeFor(QString::fromUtf8(name), none);
        return size ? size->size(QPageSize::Millimeter).toSize() : QSize();
    };
    EXPECT_EQ(mm("ISO A3 (420.00 x 297.00 MM)"), QSize(297, 420));
    EXPECT_EQ(mm("ISO_full_bleed_A1_(841.00_x_594.00_MM)"), QSize(594, 841));
    EXPECT_EQ(mm("ANSI B (17.00 x 11.00 Inches)"), QSize(279, 432));
    EXPECT_EQ(mm("A4"), QSize(210, 297));
    EXPECT_EQ(mm("iso a4"), QSize(210, 297));
    EXPECT_EQ(mm("Letter"), QSize(216, 279));
    EXPECT_EQ(mm("Elephant"), QSize());
    // A device's own names come first.
    const QList<QPageSize> device{QPageSize(QSizeF(300, 400), QPageSize::Millimeter, QStringLiteral("Roll 300"))};
    EXPECT_EQ(pageSizeFor(QStringLiteral("roll 300"), device)->name(), QStringLiteral("Roll 300"));
}

TEST(PlotSettings, ScalesAsScriptsWriteThem) {
    bool fit = false;
    double plotted = 0, units = 0;
    EXPECT_TRUE(parseScale(QStringLiteral("1:100"), fit, plotted, units));
    EXPECT_FALSE(fit);
    EXPECT_EQ(units, 100);
    EXPECT_TRUE(parseScale(QStringLiteral("2=1"), fit, plotted, units));
    EXPECT_EQ(plotted, 2);
    EXPECT_TRUE(parseScale(QStringLiteral("0.5"), fit, plotted, units));
    EXPECT_EQ(plotted, 0.5);
    EXPECT_TRUE(parseScale(QStringLiteral("fit"), fit, plotted, units));
    EXPECT_TRUE(fit);
    EXPECT_FALSE(parseScale(QStringLiteral("1:0"), fit, plotted, units));
    EXPECT_FALSE(parseScale(QStringLiteral("big"), fit, plotted, units));
}

}  // namespace

int main(int argc, char** argv) {
    // Plots draw text, which needs a GUI application; no display is needed.
    // No CUPS answers here, so the only device is the PDF one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("CUPS_SERVER", "/nonexistent/laminor-test/cups.sock");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
