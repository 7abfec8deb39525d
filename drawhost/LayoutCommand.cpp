// -LAYOUT: the layout options a script uses. "Set" makes a layout current,
// which -PLOT then offers first; "?" lists the layouts. The options that
// create, copy, rename or delete layouts are refused: drawhost does not
// change layouts.
#include "CommandLine.h"
#include "engine/Drawing.h"

namespace drawhost {

namespace {

class LayoutCommand : public Command {
public:
    Step start(CommandLine& cl) override {
        doc_ = cl.host().activeDocument();
        if (!doc_) return Step::failed(QStringLiteral("No drawing is open."));
        return Step::prompt(QStringLiteral("Enter layout option [Copy/Delete/New/Template/Rename/SAveas/Set/?] <set>: "));
    }

    Step answer(CommandLine& cl, const Word& w) override {
        if (doc_->closed()) return Step::failed(QStringLiteral("The drawing was closed."));
        const QString a = w.text.trimmed();
        QStringList layouts;
        for (const std::string& name : doc_->drawing->layouts()) layouts << QString::fromStdString(name);
        if (!choosing_) {
            if (a == u"?") return Step::done(QStringLiteral("Layouts: ") + layouts.join(QStringLiteral(", ")));
            if (a.isEmpty() || a.compare(QStringLiteral("S"), Qt::CaseInsensitive) == 0 ||
                a.compare(QStringLiteral("Set"), Qt::CaseInsensitive) == 0) {
                choosing_ = true;
                const QString current = doc_->currentLayout.isEmpty() ? QStringLiteral("Model") : doc_->currentLayout;
                return Step::prompt(QStringLiteral("Enter layout to make current <%1>: ").arg(current));
            }
            for (const char* option : {"C", "COPY", "D", "DELETE", "N", "NEW", "T", "TEMPLATE", "R", "RENAME", "SA", "SAVEAS"})
                if (a.compare(QLatin1String(option), Qt::CaseInsensitive) == 0)
                    return Step::failed(QStringLiteral("drawhost does not change layouts (-LAYOUT %1).").arg(a.toUpper()));
            return Step::retry(QStringLiteral("Invalid option keyword."));
        }
        if (a.isEmpty()) return Step::done();
        for (const QString& name : layouts) {
            if (name.compare(a, Qt::CaseInsensitive) != 0) continue;
            doc_->currentLayout = name.compare(QStringLiteral("Model"), Qt::CaseInsensitive) == 0 ? QString() : name;
            cl.host().changed(doc_->drawing.get());
            return Step::done(QStringLiteral("Current layout: %1").arg(name));
        }
        return Step::retry(QStringLiteral("Layout \"%1\" not found.").arg(a));
    }

    bool takesSpaces() const override { return choosing_; }

private:
    std::shared_ptr<host::OpenDocument> doc_;
    bool choosing_ = false;
};

}  // namespace

std::unique_ptr<Command> makeLayoutCommand() { return std::make_unique<LayoutCommand>(); }

}  // namespace drawhost
