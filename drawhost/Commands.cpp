// The commands of drawhost's command line, except -LAYER (LayerCommand.cpp).
#include <QFileInfo>

#include "CommandLine.h"
#include "engine/Drawing.h"

namespace drawhost {

std::unique_ptr<Command> makeLayerCommand();
std::unique_ptr<Command> makeLayoutCommand();
std::unique_ptr<Command> makePlotCommand();

namespace {

QString describe(const host::HostError& e) { return e.description(); }

// OPEN: a file dialog, or a path prompt when FILEDIA is 0 or a script runs.
class OpenCommand : public Command {
public:
    Step start(CommandLine& cl) override {
        if (cl.filedia() != 0 && !cl.inScript() && cl.ui() &&
            cl.ui()->chooseFile(QStringLiteral("Select File"), QStringLiteral("Drawing (*.dxf *.DXF *.dwg *.DWG)"),
                                [&cl](QString path) { cl.resume(path); }))
            return Step::wait();
        return Step::prompt(QStringLiteral("Enter name of drawing to open: "));
    }
    Step answer(CommandLine& cl, const Word& w) override {
        if (w.text.isEmpty()) return Step::done(QStringLiteral("*Cancel*"));
        try {
            auto doc = cl.host().open(w.text);
            return Step::done(QStringLiteral("Opened \"%1\".").arg(doc->fullName));
        } catch (const host::HostError& e) {
            return Step::failed(QStringLiteral("Cannot open drawing \"%1\": %2").arg(w.text, describe(e)));
        }
    }
};

class CloseCommand : public Command {
public:
    Step start(CommandLine& cl) override {
        doc_ = cl.host().activeDocument();
        if (!doc_) return Step::failed(QStringLiteral("No drawing is open."));
        return Step::prompt(QStringLiteral("Really want to discard all changes to drawing? <N>"));
    }
    Step answer(CommandLine& cl, const Word& w) override {
        const QString a = w.text.trimmed().toUpper();
        bool save;
        if (a == u"Y" || a == u"YES") save = false;
        else if (a.isEmpty() || a == u"N" || a == u"NO") save = true;
        else return Step::retry(QStringLiteral("Please answer y or n."));
        try {
            cl.host().close(doc_, save);
        } catch (const host::HostError& e) {
            return Step::failed(QStringLiteral("Cannot save \"%1\": %2 (the drawing stays open)").arg(doc_->name, describe(e)));
        }
        return Step::done(save ? QStringLiteral("Saved and closed \"%1\".").arg(doc_->name)
                               : QStringLiteral("Closed \"%1\" without saving.").arg(doc_->name));
    }

private:
    std::shared_ptr<host::OpenDocument> doc_;
};

class QsaveCommand : public Command {
public:
    Step start(CommandLine& cl) override {
        auto doc = cl.host().activeDocument();
        if (!doc) return Step::failed(QStringLiteral("No drawing is open."));
        try {
            cl.host().save(doc);
        } catch (const host::HostError& e) {
            return Step::failed(QStringLiteral("Cannot save \"%1\": %2").arg(doc->name, describe(e)));
        }
        return Step::done(QStringLiteral("Saved \"%1\".").arg(doc->fullName));
    }
    Step answer(CommandLine&, const Word&) override { return Step::done(); }
};

// A point typed as "x,y" (or "x,y,z").
bool parsePoint(const QString& text, double& x, double& y) {
    const QStringList parts = text.split(u',');
    if (parts.size() < 2 || parts.size() > 3) return false;
    bool okX = false, okY = false;
    x = parts[0].trimmed().toDouble(&okX);
    y = parts[1].trimmed().toDouble(&okY);
    return okX && okY;
}

// A scale factor: "n" (of the whole drawing), "nX" (of the current view), "nXP" (taken as nX).
bool parseScale(QString text, double& scale, bool& relative) {
    text = text.trimmed().toUpper();
    relative = false;
    if (text.endsWith(QStringLiteral("XP"))) {
        text.chop(2);
        relative = true;
    } else if (text.endsWith(u'X')) {
        text.chop(1);
        relative = true;
    }
    bool ok = false;
    scale = text.toDouble(&ok);
    return ok && scale > 0;
}

class ZoomCommand : public Command {
public:
    Step start(CommandLine& cl) override {
        if (!cl.host().activeDocument()) return Step::failed(QStringLiteral("No drawing is open."));
        return Step::prompt(kMain);
    }
    Step answer(CommandLine& cl, const Word& w) override {
        CommandUi* ui = cl.ui();
        const QString a = w.text.trimmed().toUpper();
        switch (stage_) {
        case Stage::Option: {
            if (a.isEmpty()) return Step::done();
            if (a == u"A" || a == u"ALL" || a == u"E" || a == u"EXTENTS") {
                if (ui) ui->zoomExtents();
                return Step::done();
            }
            if (a == u"W" || a == u"WINDOW") {
                stage_ = Stage::First;
                return Step::prompt(QStringLiteral("Specify first corner: "));
            }
            if (a == u"S" || a == u"SCALE") {
                stage_ = Stage::Scale;
                return Step::prompt(QStringLiteral("Enter a scale factor (nX or nXP): "));
            }
            if (parsePoint(a, x1_, y1_)) {
                stage_ = Stage::Second;
                return Step::prompt(QStringLiteral("Specify opposite corner: "));
            }
            [[fallthrough]];
        }
        case Stage::Scale: {
            double scale;
            bool relative;
            if (!parseScale(a, scale, relative)) return Step::retry(QStringLiteral("Invalid option or scale: %1").arg(w.text));
            if (ui) ui->zoomScaled(scale, relative);
            return Step::done();
        }
        case Stage::First:
            if (!parsePoint(a, x1_, y1_)) return Step::retry(QStringLiteral("Point or option keyword required."));
            stage_ = Stage::Second;
            return Step::prompt(QStringLiteral("Specify opposite corner: "));
        case Stage::Second: {
            double x2, y2;
            if (!parsePoint(a, x2, y2)) return Step::retry(QStringLiteral("Point or option keyword required."));
            if (ui) ui->zoomWindow(x1_, y1_, x2, y2);
            return Step::done();
        }
        }
        return Step::done();
    }

private:
    static inline const QString kMain = QStringLiteral(
        "Specify corner of window, enter a scale factor (nX or nXP), or [All/Extents/Window/Scale] <Extents>: ");
    enum class Stage { Option, Scale, First, Second } stage_ = Stage::Option;
    double x1_ = 0, y1_ = 0;
};

class RegenCommand : public Command {
public:
    Step start(CommandLine& cl) override {
        auto doc = cl.host().activeDocument();
        if (!doc) return Step::failed(QStringLiteral("No drawing is open."));
        cl.host().changed(doc->drawing.get());
        return Step::done(QStringLiteral("Regenerating model."));
    }
    Step answer(CommandLine&, const Word&) override { return Step::done(); }
};

class FiledialCommand : public Command {
public:
    Step start(CommandLine& cl) override {
        return Step::prompt(QStringLiteral("Enter new value for FILEDIA <%1>: ").arg(cl.filedia()));
    }
    Step answer(CommandLine& cl, const Word& w) override {
        const QString a = w.text.trimmed();
        if (a.isEmpty()) return Step::done();
        if (a == u"0" || a == u"1") {
            cl.setFiledia(a.toInt());
            return Step::done();
        }
        return Step::retry(QStringLiteral("Requires 0 or 1."));
    }
};

class ScriptCommand : public Command {
public:
    Step start(CommandLine& cl) override {
        if (cl.filedia() != 0 && !cl.inScript() && cl.ui() &&
            cl.ui()->chooseFile(QStringLiteral("Select Script File"), QStringLiteral("Script (*.scr *.SCR)"),
                                [&cl](QString path) { cl.resume(path); }))
            return Step::wait();
        return Step::prompt(QStringLiteral("Enter script file name: "));
    }
    Step answer(CommandLine& cl, const Word& w) override {
        if (w.text.isEmpty()) return Step::done(QStringLiteral("*Cancel*"));
        QString path = w.text;
        if (!QFileInfo::exists(path) && QFileInfo::exists(path + QStringLiteral(".scr"))) path += QStringLiteral(".scr");
        if (!cl.runScriptFile(path)) return Step::failed(QStringLiteral("The script was not run."));
        return Step::done();
    }
};

}  // namespace

std::unique_ptr<Command> makeCommand(const QString& typed) {
    QString name = typed.toUpper();
    while (name.startsWith(u'_') || name.startsWith(u'.')) name.remove(0, 1);
    if (name == u"OPEN") return std::make_unique<OpenCommand>();
    if (name == u"CLOSE") return std::make_unique<CloseCommand>();
    if (name == u"QSAVE") return std::make_unique<QsaveCommand>();
    if (name == u"ZOOM" || name == u"Z") return std::make_unique<ZoomCommand>();
    if (name == u"-LAYER" || name == u"-LA") return makeLayerCommand();
    if (name == u"REGEN" || name == u"RE") return std::make_unique<RegenCommand>();
    if (name == u"FILEDIA") return std::make_unique<FiledialCommand>();
    if (name == u"SCRIPT" || name == u"SCR") return std::make_unique<ScriptCommand>();
    if (name == u"-PLOT" || name == u"PLOT" || name == u"-PRINT" || name == u"PRINT") return makePlotCommand();
    if (name == u"-LAYOUT" || name == u"-LO") return makeLayoutCommand();
    return nullptr;
}

}  // namespace drawhost
