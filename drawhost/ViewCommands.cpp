// The commands that change what the view shows: ZOOM, PAN, REGEN, LWDISPLAY.
// Points may be typed ("x,y") or, where a window shows the drawing, picked
// in the view.
#include "CommandLine.h"

namespace drawhost {

namespace {

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
            if (a == u"P" || a == u"PREVIOUS") {
                if (ui && !ui->zoomPrevious()) return Step::done(QStringLiteral("No previous view saved."));
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
    bool wantsPoint(QPointF* from) const override {
        if (stage_ == Stage::Second && from) *from = QPointF(x1_, y1_);
        return stage_ != Stage::Scale;
    }

private:
    static inline const QString kMain = QStringLiteral(
        "Specify corner of window, enter a scale factor (nX or nXP), or [All/Extents/Previous/Window/Scale] <Extents>: ");
    enum class Stage { Option, Scale, First, Second } stage_ = Stage::Option;
    double x1_ = 0, y1_ = 0;
};

// PAN: from a base point to a second point, as many times as wanted; Enter ends.
class PanCommand : public Command {
public:
    Step start(CommandLine& cl) override {
        if (!cl.host().activeDocument()) return Step::failed(QStringLiteral("No drawing is open."));
        return Step::prompt(kBase);
    }
    Step answer(CommandLine& cl, const Word& w) override {
        const QString a = w.text.trimmed();
        if (a.isEmpty()) return Step::done();
        double x, y;
        if (!parsePoint(a, x, y)) return Step::retry(QStringLiteral("Point required, or Enter to exit."));
        if (!second_) {
            x0_ = x, y0_ = y;
            second_ = true;
            return Step::prompt(QStringLiteral("Specify second point: "));
        }
        // The drawing moves with the cursor: the view goes the other way.
        if (cl.ui()) cl.ui()->pan(x0_ - x, y0_ - y);
        second_ = false;
        return Step::prompt(kBase);
    }
    bool wantsPoint(QPointF* from) const override {
        (void)from;
        return true;
    }

private:
    static inline const QString kBase =
        QStringLiteral("Specify base point, or press Enter to exit (dragging the view pans as well): ");
    bool second_ = false;
    double x0_ = 0, y0_ = 0;
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

class LineweightDisplayCommand : public Command {
public:
    Step start(CommandLine& cl) override {
        const bool on = cl.ui() && cl.ui()->lineweights();
        return Step::prompt(QStringLiteral("Enter new value for LWDISPLAY [On/Off] <%1>: ")
                                .arg(on ? QStringLiteral("On") : QStringLiteral("Off")));
    }
    Step answer(CommandLine& cl, const Word& w) override {
        const QString a = w.text.trimmed().toUpper();
        if (a.isEmpty()) return Step::done();
        bool on;
        if (a == u"ON" || a == u"1") on = true;
        else if (a == u"OFF" || a == u"0") on = false;
        else return Step::retry(QStringLiteral("Requires On or Off."));
        if (cl.ui()) cl.ui()->setLineweights(on);
        return Step::done();
    }
};

}  // namespace

std::unique_ptr<Command> makeViewCommand(const QString& name) {
    if (name == u"ZOOM" || name == u"Z") return std::make_unique<ZoomCommand>();
    if (name == u"PAN" || name == u"P" || name == u"-PAN") return std::make_unique<PanCommand>();
    if (name == u"REGEN" || name == u"RE") return std::make_unique<RegenCommand>();
    if (name == u"LWDISPLAY") return std::make_unique<LineweightDisplayCommand>();
    return nullptr;
}

}  // namespace drawhost
