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

// OPEN: a file dialog, or a path prompt when FILEDIA is 0 or a script runs
// (-OPEN: always the prompt).
class OpenCommand : public Command {
public:
    explicit OpenCommand(bool dialog) : dialog_(dialog) {}
    Step start(CommandLine& cl) override {
        if (dialog_ && cl.filedia() != 0 && !cl.inScript() && cl.ui() &&
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

private:
    bool dialog_;
};

// SAVEAS: saves the active drawing under another name, in its own format, which
// it then stands for; a file dialog, or prompts as OPEN has them. An
// existing file is replaced only when the answer says so.
class SaveAsCommand : public Command {
public:
    Step start(CommandLine& cl) override {
        doc_ = cl.host().activeDocument();
        if (!doc_) return Step::failed(QStringLiteral("No drawing is open."));
        suggested_ = doc_->fullName.isEmpty() ? doc_->name : doc_->fullName;
        // A drawing is written in the format it was read from, DXF or DWG.
        extension_ = doc_->drawing->isDwg() ? QStringLiteral(".dwg") : QStringLiteral(".dxf");
        const QString& suggested = suggested_;
        const QString filter = QStringLiteral("Drawing (*%1 *%2)").arg(extension_, extension_.toUpper());
        if (cl.filedia() != 0 && !cl.inScript() && cl.ui() &&
            cl.ui()->chooseSaveFile(QStringLiteral("Save Drawing As"), filter, suggested,
                                    [&cl](QString path) { cl.resume(path); })) {
            confirmed_ = true;  // the dialog has asked about replacing a file
            return Step::wait();
        }
        return Step::prompt(QStringLiteral("Enter file name <%1>: ").arg(suggested));
    }
    Step answer(CommandLine& cl, const Word& w) override {
        if (asking_) {
            const QString a = w.text.trimmed().toUpper();
            if (a == u"Y" || a == u"YES") return save(cl);
            if (a.isEmpty() || a == u"N" || a == u"NO") return Step::done(QStringLiteral("*Cancel*"));
            return Step::retry(QStringLiteral("Please answer y or n."));
        }
        if (doc_->closed()) return Step::failed(QStringLiteral("The drawing has been closed."));
        QString path = w.text.trimmed();
        if (path.isEmpty() && (confirmed_ || w.quoted)) return Step::done(QStringLiteral("*Cancel*"));
        if (path.isEmpty()) path = suggested_;
        if (!path.endsWith(QStringLiteral(".dxf"), Qt::CaseInsensitive) && !path.endsWith(QStringLiteral(".dwg"), Qt::CaseInsensitive))
            path += extension_;
        path_ = QFileInfo(path).absoluteFilePath();
        const bool same = QFileInfo(path_) == QFileInfo(doc_->fullName);
        if (QFileInfo::exists(path_) && !same && !confirmed_) {
            asking_ = true;
            return Step::prompt(QStringLiteral("\"%1\" already exists. Replace it? [Yes/No] <No>: ").arg(path_));
        }
        return save(cl);
    }
private:
    Step save(CommandLine& cl) {
        try {
            cl.host().saveAs(doc_, path_);
        } catch (const host::HostError& e) {
            return Step::failed(QStringLiteral("Cannot save \"%1\": %2").arg(path_, describe(e)));
        }
        return Step::done(QStringLiteral("Saved \"%1\".").arg(doc_->fullName));
    }
    std::shared_ptr<host::OpenDocument> doc_;
    QString suggested_, extension_, path_;
    bool asking_ = false;
    bool confirmed_ = false;
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

class QuitCommand : public Command {
public:
    Step start(CommandLine& cl) override {
        emit cl.quitRequested();
        return Step::done();
    }
    Step answer(CommandLine&, const Word&) override { return Step::done(); }
};

class HelpCommand : public Command {
public:
    Step start(CommandLine& cl) override {
        cl.print(QStringLiteral("Commands (a leading _ or . is allowed; case does not matter):"));
        for (const CommandInfo& c : commandList()) {
            const QString name = c.aliases.isEmpty() ? c.name : QStringLiteral("%1 (%2)").arg(c.name, c.aliases);
            cl.print(QStringLiteral("  %1  %2").arg(name.leftJustified(22), c.description));
        }
        return Step::done();
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

std::unique_ptr<Command> makeViewCommand(const QString& name);

const std::vector<CommandInfo>& commandList() {
    static const std::vector<CommandInfo> list = {
        {"OPEN", "", "opens a drawing (a file dialog; a path prompt when FILEDIA is 0 or in a script)"},
        {"-OPEN", "", "opens a drawing named at the prompt"},
        {"QSAVE", "", "saves the active drawing"},
        {"SAVEAS", "", "saves the active drawing under another name (DXF as DXF, DWG as DWG)"},
        {"CLOSE", "", "closes the active drawing (y discards changes, n or Enter saves)"},
        {"QUIT", "EXIT", "ends drawhost (asking about unsaved drawings)"},
        {"ZOOM", "Z", "All/Extents, Window, Previous, Scale (n, nX), or two corners"},
        {"PAN", "P", "moves the view from a base point to a second point"},
        {"REGEN", "RE", "draws the active drawing again from its objects"},
        {"LWDISPLAY", "", "shows lineweights (On/Off)"},
        {"-LAYER", "-LA", "layer options: ?/Make/Set/New/ON/OFF/Color/Ltype/LWeight/Plot/Freeze/Thaw/LOck/Unlock"},
        {"-LAYOUT", "-LO", "Set makes a layout current; ? lists the layouts"},
        {"-PLOT", "PLOT", "plots a layout to a printer or a PDF file"},
        {"SCRIPT", "SCR", "runs a script file (CP932), one line at a time"},
        {"FILEDIA", "", "0: commands ask for files at the prompt; 1: with dialogs"},
        {"HELP", "?", "lists the commands"},
    };
    return list;
}

std::unique_ptr<Command> makeCommand(const QString& typed) {
    QString name = typed.toUpper();
    while (name.startsWith(u'_') || name.startsWith(u'.')) name.remove(0, 1);
    if (name == u"OPEN") return std::make_unique<OpenCommand>(true);
    if (name == u"-OPEN") return std::make_unique<OpenCommand>(false);
    if (name == u"CLOSE") return std::make_unique<CloseCommand>();
    if (name == u"QSAVE") return std::make_unique<QsaveCommand>();
    if (name == u"SAVEAS" || name == u"-SAVEAS") return std::make_unique<SaveAsCommand>();
    if (name == u"QUIT" || name == u"EXIT") return std::make_unique<QuitCommand>();
    if (name == u"HELP" || name == u"?") return std::make_unique<HelpCommand>();
    if (name == u"-LAYER" || name == u"-LA") return makeLayerCommand();
    if (name == u"FILEDIA") return std::make_unique<FiledialCommand>();
    if (name == u"SCRIPT" || name == u"SCR") return std::make_unique<ScriptCommand>();
    if (name == u"-PLOT" || name == u"PLOT" || name == u"-PRINT" || name == u"PRINT") return makePlotCommand();
    if (name == u"-LAYOUT" || name == u"-LO") return makeLayoutCommand();
    return makeViewCommand(name);
}

}  // namespace drawhost
