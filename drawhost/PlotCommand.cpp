// -PLOT: the command-line plot, asking the questions scripts written for the
// host answer, in the host's order. With "detailed configuration" the user
// answers every setting; without, the layout's stored page setup is used.
//
// Model space:  detailed? layout, device, paper, units, orientation, upside
//   down, area (window corners), scale, offset, plot styles, style table,
//   lineweights, shade plot (or remove hidden lines), write to file (file
//   name), save page setup, proceed.
// A layout: the same, with "scale lineweights", "plot paper space first" and
//   "hide paper space objects" in place of the shade plot.
// Not detailed: layout, page setup name, device, write to file, save page
//   setup, proceed.
#include <QDir>
#include <QFileInfo>

#include "CommandLine.h"
#include "Plot.h"
#include "engine/Drawing.h"

namespace drawhost {

namespace {

std::optional<bool> yesNo(const QString& text, bool fallback) {
    const QString a = text.trimmed().toUpper();
    if (a.isEmpty()) return fallback;
    if (a == u"Y" || a == u"YES") return true;
    if (a == u"N" || a == u"NO") return false;
    return std::nullopt;
}

QString yn(bool b) { return b ? QStringLiteral("Yes") : QStringLiteral("No"); }

bool parsePoint(const QString& text, QPointF& p) {
    const QStringList parts = text.split(u',');
    if (parts.size() < 2 || parts.size() > 3) return false;
    bool okX = false, okY = false;
    p = QPointF(parts[0].trimmed().toDouble(&okX), parts[1].trimmed().toDouble(&okY));
    return okX && okY;
}

// A word matches an option when it is the option's first letters (at least one).
bool isOption(const QString& word, const char* option) {
    const QString o = QString::fromLatin1(option);
    const QString w = word.trimmed();
    return !w.isEmpty() && o.startsWith(w, Qt::CaseInsensitive);
}

class PlotCommand : public Command {
public:
    Step start(CommandLine& cl) override {
        cl_ = &cl;
        doc_ = cl.host().activeDocument();
        if (!doc_) return Step::failed(QStringLiteral("No drawing is open."));
        stage_ = Stage::Detailed;
        return ask();
    }

    Step answer(CommandLine& cl, const Word& w) override {
        if (doc_->closed()) return Step::failed(QStringLiteral("The drawing was closed."));
        const QString a = w.text.trimmed();
        switch (stage_) {
        case Stage::Detailed: return yesNoAnswer(a, detailed_, Stage::Layout);
        case Stage::Layout: return layoutAnswer(a);
        case Stage::PageSetup:
            if (!a.isEmpty()) return Step::retry(QStringLiteral("Page setup \"%1\" not found.").arg(a));
            return go(Stage::Device);
        case Stage::Device: return deviceAnswer(a);
        case Stage::Paper: return paperAnswer(a);
        case Stage::Units:
            if (a.isEmpty()) return go(Stage::Orientation);
            if (isOption(a, "Inches")) job_.millimeters = false;
            else if (isOption(a, "Millimeters")) job_.millimeters = true;
            else return Step::retry(QStringLiteral("Invalid option keyword."));
            return go(Stage::Orientation);
        case Stage::Orientation:
            if (a.isEmpty()) return go(Stage::UpsideDown);
            if (isOption(a, "Portrait")) job_.landscape = false;
            else if (isOption(a, "Landscape")) job_.landscape = true;
            else return Step::retry(QStringLiteral("Invalid option keyword."));
            return go(Stage::UpsideDown);
        case Stage::UpsideDown: return yesNoAnswer(a, job_.upsideDown, Stage::Area);
        case Stage::Area: return areaAnswer(a);
        case Stage::WindowLower:
        case Stage::WindowUpper: return cornerAnswer(a);
        case Stage::Scale:
            if (!a.isEmpty() && !parseScale(a, job_.fit, job_.plotted, job_.units))
                return Step::retry(QStringLiteral("Requires a scale such as 1:100, or Fit."));
            return go(Stage::Offset);
        case Stage::Offset: return offsetAnswer(a);
        case Stage::PlotStyles: return yesNoAnswer(a, job_.plotStyles, Stage::StyleTable);
        case Stage::StyleTable:
            if (a == u"?") {
                cl.print(QStringLiteral("Plot style tables: monochrome.ctb, acad.ctb (any other name plots in colour)"));
                return ask();
            }
            if (a == u".") job_.styleTable.clear();
            else if (!a.isEmpty()) job_.styleTable = a;
            return go(Stage::Lineweights);
        case Stage::Lineweights:
            return yesNoAnswer(a, job_.lineweights, job_.layout.compare(QStringLiteral("Model"), Qt::CaseInsensitive) == 0
                                                        ? Stage::Shade
                                                        : Stage::ScaleLineweights);
        case Stage::Shade:
            // The host's later versions ask for a shade plot setting here,
            // earlier ones whether to remove hidden lines: either answer is taken.
            if (!a.isEmpty() && !yesNo(a, false) && !isOption(a, "As displayed") && !isOption(a, "Wireframe") &&
                !isOption(a, "Hidden") && !isOption(a, "Rendered") && !isOption(a, "Visual styles"))
                return Step::retry(QStringLiteral("Invalid option keyword."));
            return go(Stage::WriteFile);
        // Accepted as the host would; drawhost plots paper space last and shows it.
        case Stage::ScaleLineweights: return yesNoAnswer(a, scaleLineweights_, Stage::PaperFirst);
        case Stage::PaperFirst: return yesNoAnswer(a, paperFirst_, Stage::HidePaper);
        case Stage::HidePaper: return yesNoAnswer(a, hidePaper_, Stage::WriteFile);
        case Stage::WriteFile: return writeFileAnswer(a);
        case Stage::FileName:
            job_.fileName = fileNameOf(a);
            return go(Stage::SavePageSetup);
        case Stage::SavePageSetup: {
            const auto save = yesNo(a, false);
            if (!save) return Step::retry(QStringLiteral("Please answer Yes or No."));
            if (*save) cl.print(QStringLiteral("drawhost keeps no page setups: the drawing is not changed."));
            return go(Stage::Proceed);
        }
        case Stage::Proceed: {
            const auto proceed = yesNo(a, true);
            if (!proceed) return Step::retry(QStringLiteral("Please answer Yes or No."));
            if (!*proceed) return Step::done();
            return run();
        }
        }
        return Step::done();
    }

    bool takesSpaces() const override {
        switch (stage_) {
        case Stage::Layout:
        case Stage::PageSetup:
        case Stage::Device:
        case Stage::Paper:
        case Stage::StyleTable:
        case Stage::FileName:
            return true;
        case Stage::WriteFile:
            return isPdfDevice(job_.device);  // answered with a file name
        default:
            return false;
        }
    }

private:
    enum class Stage {
        Detailed, Layout, PageSetup, Device, Paper, Units, Orientation, UpsideDown, Area, WindowLower, WindowUpper,
        Scale, Offset, PlotStyles, StyleTable, Lineweights, Shade, ScaleLineweights, PaperFirst, HidePaper,
        WriteFile, FileName, SavePageSetup, Proceed
    };

    bool model() const { return job_.layout.compare(QStringLiteral("Model"), Qt::CaseInsensitive) == 0; }

    Step go(Stage next) {
        stage_ = next;
        return ask();
    }

    Step ask() {
        switch (stage_) {
        case Stage::Detailed: return Step::prompt(QStringLiteral("Detailed plot configuration? [Yes/No] <No>: "));
        case Stage::Layout:
            return Step::prompt(QStringLiteral("Enter a layout name or [?] <%1>: ").arg(currentLayout()));
        case Stage::PageSetup: return Step::prompt(QStringLiteral("Enter a page setup name <>: "));
        case Stage::Device:
            return Step::prompt(QStringLiteral("Enter an output device name or [?] <%1>: ")
                                    .arg(job_.device.isEmpty() ? QStringLiteral("None") : job_.device));
        case Stage::Paper: return Step::prompt(QStringLiteral("Enter paper size or [?] <%1>: ").arg(job_.paper.name()));
        case Stage::Units:
            return Step::prompt(QStringLiteral("Enter paper units [Inches/Millimeters] <%1>: ")
                                    .arg(job_.millimeters ? QStringLiteral("Millimeters") : QStringLiteral("Inches")));
        case Stage::Orientation:
            return Step::prompt(QStringLiteral("Enter drawing orientation [Portrait/Landscape] <%1>: ")
                                    .arg(job_.landscape ? QStringLiteral("Landscape") : QStringLiteral("Portrait")));
        case Stage::UpsideDown:
            return Step::prompt(QStringLiteral("Plot upside down? [Yes/No] <%1>: ").arg(yn(job_.upsideDown)));
        case Stage::Area:
            return Step::prompt(model() ? QStringLiteral("Enter plot area [Display/Extents/Limits/View/Window] <Display>: ")
                                        : QStringLiteral("Enter plot area [Display/Extents/Layout/View/Window] <Layout>: "));
        case Stage::WindowLower: return Step::prompt(QStringLiteral("Enter lower left corner of window <0.000000,0.000000>: "));
        case Stage::WindowUpper: return Step::prompt(QStringLiteral("Enter upper right corner of window <0.000000,0.000000>: "));
        case Stage::Scale:
            return Step::prompt(QStringLiteral("Enter plot scale (Plotted %1=Drawing Units) or [Fit] <%2>: ")
                                    .arg(job_.millimeters ? QStringLiteral("Millimeters") : QStringLiteral("Inches"),
                                         model() ? QStringLiteral("Fit") : QStringLiteral("1:1")));
        case Stage::Offset: return Step::prompt(QStringLiteral("Enter plot offset (x,y) or [Center] <0.00,0.00>: "));
        case Stage::PlotStyles: return Step::prompt(QStringLiteral("Plot with plot styles? [Yes/No] <Yes>: "));
        case Stage::StyleTable:
            return Step::prompt(QStringLiteral("Enter plot style table name or [?] (enter . for none) <%1>: ").arg(job_.styleTable));
        case Stage::Lineweights: return Step::prompt(QStringLiteral("Plot with lineweights? [Yes/No] <Yes>: "));
        case Stage::Shade:
            return Step::prompt(QStringLiteral("Enter shade plot setting [As displayed/Wireframe/Hidden/Rendered] <As displayed>: "));
        case Stage::ScaleLineweights: return Step::prompt(QStringLiteral("Scale lineweights with plot scale? [Yes/No] <No>: "));
        case Stage::PaperFirst: return Step::prompt(QStringLiteral("Plot paper space first? [Yes/No] <No>: "));
        case Stage::HidePaper: return Step::prompt(QStringLiteral("Hide paperspace objects? [Yes/No] <No>: "));
        case Stage::WriteFile: return Step::prompt(QStringLiteral("Write the plot to a file [Yes/No] <N>: "));
        case Stage::FileName: return Step::prompt(QStringLiteral("Enter file name <%1>: ").arg(defaultFile()));
        case Stage::SavePageSetup: return Step::prompt(QStringLiteral("Save changes to page setup [Yes/No]? <N> "));
        case Stage::Proceed: return Step::prompt(QStringLiteral("Proceed with plot [Yes/No] <Y>: "));
        }
        return Step::done();
    }

    Step yesNoAnswer(const QString& a, bool& value, Stage next) {
        const auto b = yesNo(a, value);
        if (!b) return Step::retry(QStringLiteral("Please answer Yes or No."));
        value = *b;
        return go(next);
    }

    QString currentLayout() const {
        return doc_->currentLayout.isEmpty() ? QStringLiteral("Model") : doc_->currentLayout;
    }

    Step layoutAnswer(const QString& a) {
        QStringList layouts;
        for (const std::string& name : doc_->drawing->layouts()) layouts << QString::fromStdString(name);
        if (a == u"?") {
            print(QStringLiteral("Layouts: ") + layouts.join(QStringLiteral(", ")));
            return ask();
        }
        const QString wanted = a.isEmpty() ? currentLayout() : a;
        QString found;
        for (const QString& name : layouts)
            if (name.compare(wanted, Qt::CaseInsensitive) == 0) found = name;
        if (found.isEmpty()) return Step::retry(QStringLiteral("Layout \"%1\" not found.").arg(wanted));
        job_ = storedPlotJob(*doc_->drawing, found);
        if (!detailed_) return go(Stage::PageSetup);
        // Asked for every setting, the host starts from a fit of the whole layout.
        job_.area = model() ? PlotArea::Display : PlotArea::Layout;
        job_.fit = model();
        job_.plotted = job_.units = 1;
        job_.center = false;
        job_.offset = QPointF();
        return go(Stage::Device);
    }

    Step deviceAnswer(const QString& a) {
        if (a == u"?") {
            print(QStringLiteral("Output devices: ") + (plotPrinters() << QStringLiteral("DWG To PDF.pc3")).join(QStringLiteral(", ")));
            return ask();
        }
        if (!a.isEmpty() && a.compare(QStringLiteral("None"), Qt::CaseInsensitive) != 0) {
            if (!isPrinter(a) && !isPdfDevice(a)) return Step::retry(QStringLiteral("Plot device \"%1\" not found.").arg(a));
            // Another device keeps the paper when it offers that size.
            if (a != job_.device && !pageSizeFor(job_.paper.name(), paperSizesOf(a))) job_.paper = defaultPaperOf(a);
            job_.device = a;
        } else if (!a.isEmpty()) {
            job_.device.clear();
        }
        return go(detailed_ ? Stage::Paper : Stage::WriteFile);
    }

    Step paperAnswer(const QString& a) {
        const QList<QPageSize> sizes = paperSizesOf(job_.device);
        if (a == u"?") {
            QStringList names;
            for (const QPageSize& s : sizes) names << s.name();
            print(QStringLiteral("Paper sizes: ") + names.join(QStringLiteral(", ")));
            return ask();
        }
        if (a.isEmpty()) return go(Stage::Units);
        const auto size = pageSizeFor(a, sizes);
        if (!size) return Step::retry(QStringLiteral("Paper size \"%1\" not found.").arg(a));
        job_.paper = *size;
        return go(Stage::Units);
    }

    Step areaAnswer(const QString& a) {
        if (a.isEmpty()) {
            job_.area = model() ? PlotArea::Display : PlotArea::Layout;
            return go(Stage::Scale);
        }
        if (isOption(a, "Display")) job_.area = PlotArea::Display;
        else if (isOption(a, "Extents")) job_.area = PlotArea::Extents;
        else if (model() && isOption(a, "Limits")) job_.area = PlotArea::Limits;
        else if (!model() && isOption(a, "Layout")) job_.area = PlotArea::Layout;
        else if (isOption(a, "Window")) {
            job_.area = PlotArea::Window;
            return go(Stage::WindowLower);
        } else if (isOption(a, "View")) {
            return Step::failed(QStringLiteral("drawhost has no named views to plot."));
        } else {
            return Step::retry(QStringLiteral("Invalid option keyword."));
        }
        return go(Stage::Scale);
    }

    Step cornerAnswer(const QString& a) {
        QPointF p;
        if (a.isEmpty()) p = QPointF();
        else if (!parsePoint(a, p)) return Step::retry(QStringLiteral("Requires a point x,y."));
        if (stage_ == Stage::WindowLower) {
            job_.window.setTopLeft(p);
            return go(Stage::WindowUpper);
        }
        job_.window.setBottomRight(p);
        return go(Stage::Scale);
    }

    Step offsetAnswer(const QString& a) {
        if (a.isEmpty()) return go(Stage::PlotStyles);
        if (isOption(a, "Center")) {
            job_.center = true;
            return go(Stage::PlotStyles);
        }
        QPointF p;
        if (!parsePoint(a, p)) return Step::retry(QStringLiteral("Requires a point x,y, or Center."));
        job_.center = false;
        job_.offset = p;
        return go(Stage::PlotStyles);
    }

    Step writeFileAnswer(const QString& a) {
        const auto toFile = yesNo(a, false);
        if (!toFile) {
            // The PDF device's own question is a file name: a name answers it.
            if (isPdfDevice(job_.device)) {
                job_.fileName = fileNameOf(a);
                return go(Stage::SavePageSetup);
            }
            return Step::retry(QStringLiteral("Please answer Yes or No."));
        }
        job_.toFile = *toFile;
        return go(job_.toFile ? Stage::FileName : Stage::SavePageSetup);
    }

    QString defaultFile() const { return defaultPlotFile(doc_->fullName, job_.layout); }

    // A typed name is a PDF in the drawing's folder unless it names a folder of its own.
    QString fileNameOf(const QString& a) const {
        if (a.isEmpty()) return defaultFile();
        QString name = a;
        if (QFileInfo(name).suffix().isEmpty()) name += QStringLiteral(".pdf");
        return QFileInfo(name).isAbsolute() ? name : QFileInfo(defaultFile()).dir().filePath(name);
    }

    Step run() {
        if (job_.device.isEmpty() && !job_.toFile)
            return Step::failed(QStringLiteral("No plot device is selected for layout \"%1\".").arg(job_.layout));
        const PlotResult result = plot(*doc_->drawing, job_);
        return result.ok ? Step::done(result.message) : Step::failed(result.message);
    }

    void print(const QString& line) { cl_->print(line); }

    CommandLine* cl_ = nullptr;
    std::shared_ptr<host::OpenDocument> doc_;
    Stage stage_ = Stage::Detailed;
    bool detailed_ = false;
    bool scaleLineweights_ = false, paperFirst_ = false, hidePaper_ = false;
    PlotJob job_;
};

}  // namespace

std::unique_ptr<Command> makePlotCommand() { return std::make_unique<PlotCommand>(); }

}  // namespace drawhost
