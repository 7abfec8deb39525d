// -LAYER: the command-line form of the layer command. Each option asks for
// its value and the layers it applies to, then returns to the option prompt;
// Enter there finishes.
#include <QRegularExpression>
#include <cmath>

#include "CommandLine.h"
#include "engine/Drawing.h"

namespace drawhost {

namespace {

const QString kOptions = QStringLiteral(
    "Enter an option [?/Make/Set/New/ON/OFF/Color/Ltype/LWeight/Plot/Freeze/Thaw/LOck/Unlock]: ");

int colorNumber(const QString& text) {
    static const QStringList names = {QStringLiteral("RED"),     QStringLiteral("YELLOW"), QStringLiteral("GREEN"),
                                      QStringLiteral("CYAN"),    QStringLiteral("BLUE"),   QStringLiteral("MAGENTA"),
                                      QStringLiteral("WHITE")};
    const int named = int(names.indexOf(text.trimmed().toUpper()));
    if (named >= 0) return named + 1;
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok && n >= 1 && n <= 255 ? n : 0;
}

// A lineweight typed in millimetres ("0.25", "0.25mm") or "Default"; -99 when unreadable.
int lineweightValue(QString text) {
    text = text.trimmed().toUpper();
    if (text == u"DEFAULT" || text == u"D") return -3;
    if (text.endsWith(QStringLiteral("MM"))) text.chop(2);
    bool ok = false;
    const double mm = text.toDouble(&ok);
    if (!ok || mm < 0 || mm > 2.11) return -99;
    return int(std::lround(mm * 100));
}

class LayerCommand : public Command {
public:
    Step start(CommandLine& cl) override {
        doc_ = cl.host().activeDocument();
        if (!doc_) return Step::failed(QStringLiteral("No drawing is open."));
        try {
            cl.print(QStringLiteral("Current layer:  \"%1\"").arg(QString::fromStdString(drawing().activeLayer().name())));
        } catch (const dxf::EngineError&) {
            // A drawing whose current layer is missing still takes the command.
        }
        return Step::prompt(kOptions);
    }

    Step answer(CommandLine& cl, const Word& w) override {
        if (doc_->closed()) return Step::failed(QStringLiteral("The drawing has been closed."));
        cl_ = &cl;
        if (!option_.isEmpty()) return value(w);
        const QString a = w.text.trimmed().toUpper();
        if (a.isEmpty()) return Step::done();
        if (a == u"?") {
            listLayers();
            return Step::prompt(kOptions);
        }
        static const QMap<QString, QString> aliases = {
            {"S", "SET"},       {"SET", "SET"},         {"M", "MAKE"},     {"MAKE", "MAKE"},     {"N", "NEW"},
            {"NEW", "NEW"},     {"ON", "ON"},           {"OFF", "OFF"},    {"F", "FREEZE"},      {"FREEZE", "FREEZE"},
            {"T", "THAW"},      {"THAW", "THAW"},       {"LO", "LOCK"},    {"LOCK", "LOCK"},     {"U", "UNLOCK"},
            {"UNLOCK", "UNLOCK"}, {"C", "COLOR"},       {"COLOR", "COLOR"}, {"L", "LTYPE"},      {"LTYPE", "LTYPE"},
            {"LW", "LWEIGHT"},  {"LWEIGHT", "LWEIGHT"}, {"P", "PLOT"},     {"PLOT", "PLOT"}};
        option_ = aliases.value(a);
        if (option_.isEmpty()) return Step::retry(QStringLiteral("Invalid option keyword: %1").arg(w.text));
        stage_ = 0;
        static const QMap<QString, QString> prompts = {
            {"SET", "Enter layer name to make current: "},
            {"MAKE", "Enter name for new layer (becomes the current layer): "},
            {"NEW", "Enter name list for new layer(s): "},
            {"ON", "Enter name list of layer(s) to turn On: "},
            {"OFF", "Enter name list of layer(s) to turn Off: "},
            {"FREEZE", "Enter name list of layer(s) to freeze: "},
            {"THAW", "Enter name list of layer(s) to thaw: "},
            {"LOCK", "Enter name list of layer(s) to lock: "},
            {"UNLOCK", "Enter name list of layer(s) to unlock: "},
            {"COLOR", "Enter color name or number (1-255): "},
            {"LTYPE", "Enter a loaded linetype name <Continuous>: "},
            {"LWEIGHT", "Enter lineweight (0.0mm - 2.11mm) or Default: "},
            {"PLOT", "Enter a plotting preference [Plot/No plot] <Plot>: "}};
        return Step::prompt(prompts.value(option_));
    }

private:
    dxf::Drawing& drawing() { return *doc_->drawing; }

    Step back(const QString& message = QString()) {
        if (!message.isEmpty()) cl_->print(message);
        option_.clear();
        stage_ = 0;
        return Step::prompt(kOptions);
    }

    Step refused(const dxf::EngineError& e) { return Step::retry(QString::fromUtf8(e.description())); }

    // The layers a name list names: comma-separated names and wildcard
    // patterns, letter case ignored; a quoted word is one literal name.
    std::vector<dxf::Layer> matching(const Word& w) {
        std::vector<dxf::Layer> out;
        const QStringList items = w.quoted ? QStringList{w.text} : w.text.split(u',', Qt::SkipEmptyParts);
        for (const QString& item : items) {
            if (!w.quoted && (item.contains(u'*') || item.contains(u'?'))) {
                const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(item),
                                            QRegularExpression::CaseInsensitiveOption);
                for (const dxf::Layer& l : drawing().layers())
                    if (re.match(QString::fromStdString(l.name())).hasMatch() &&
                        std::find(out.begin(), out.end(), l) == out.end())
                        out.push_back(l);
            } else if (auto l = drawing().findLayer(item.toStdString())) {
                if (std::find(out.begin(), out.end(), *l) == out.end()) out.push_back(*l);
            }
        }
        return out;
    }

    // Applies a change to the layers named by the word (the current layer when empty).
    template <class F>
    Step applyToLayers(const Word& w, F change) {
        std::vector<dxf::Layer> layers;
        if (w.text.trimmed().isEmpty()) layers.push_back(drawing().activeLayer());
        else layers = matching(w);
        if (layers.empty()) return Step::retry(QStringLiteral("No matching layer names found: %1").arg(w.text));
        for (dxf::Layer& l : layers) {
            try {
                change(l);
            } catch (const dxf::EngineError& e) {
                changed();
                return refused(e);
            }
        }
        changed();
        return back();
    }

    void changed() { cl_->host().changed(doc_->drawing.get()); }

    Step value(const Word& w) {
        const QString name = w.text.trimmed();
        try {
            if (option_ == u"SET") {
                if (name.isEmpty()) return back();
                auto l = drawing().findLayer(name.toStdString());
                if (!l) return Step::retry(QStringLiteral("Cannot find layer \"%1\".").arg(name));
                drawing().setActiveLayer(*l);
                changed();
                return back();
            }
            if (option_ == u"MAKE") {
                if (name.isEmpty()) return back();
                dxf::Layer l = drawing().addLayer(name.toStdString());
                drawing().setActiveLayer(l);
                changed();
                return back();
            }
            if (option_ == u"NEW") {
                const QStringList names = w.quoted ? QStringList{w.text} : w.text.split(u',', Qt::SkipEmptyParts);
                for (const QString& n : names) drawing().addLayer(n.trimmed().toStdString());
                changed();
                return back();
            }
        } catch (const dxf::EngineError& e) {
            changed();
            return refused(e);
        }
        if (option_ == u"ON") return applyToLayers(w, [](dxf::Layer& l) { l.setLayerOn(true); });
        if (option_ == u"OFF") return applyToLayers(w, [](dxf::Layer& l) { l.setLayerOn(false); });
        if (option_ == u"FREEZE") return applyToLayers(w, [](dxf::Layer& l) { l.setFreeze(true); });
        if (option_ == u"THAW") return applyToLayers(w, [](dxf::Layer& l) { l.setFreeze(false); });
        if (option_ == u"LOCK") return applyToLayers(w, [](dxf::Layer& l) { l.setLock(true); });
        if (option_ == u"UNLOCK") return applyToLayers(w, [](dxf::Layer& l) { l.setLock(false); });
        if (stage_ == 0) return firstValue(w);
        if (option_ == u"COLOR") return applyToLayers(w, [c = color_](dxf::Layer& l) { l.setColor(c); });
        if (option_ == u"LTYPE") return applyToLayers(w, [t = text_.toStdString()](dxf::Layer& l) { l.setLinetype(t); });
        if (option_ == u"LWEIGHT") return applyToLayers(w, [v = lineweight_](dxf::Layer& l) { l.setLineweight(v); });
        if (option_ == u"PLOT") return applyToLayers(w, [p = plot_](dxf::Layer& l) { l.setPlottable(p); });
        return back();
    }

    // The value of a two-step option (colour, linetype, lineweight, plot), then its layers.
    Step firstValue(const Word& w) {
        const QString a = w.text.trimmed();
        QString target;
        if (option_ == u"COLOR") {
            color_ = colorNumber(a);
            if (!color_) return Step::retry(QStringLiteral("Color must be 1-255 or a standard color name."));
            target = QStringLiteral("for color %1").arg(color_);
        } else if (option_ == u"LTYPE") {
            text_ = a.isEmpty() ? QStringLiteral("Continuous") : a;
            target = QStringLiteral("for linetype \"%1\"").arg(text_);
        } else if (option_ == u"LWEIGHT") {
            lineweight_ = lineweightValue(a);
            if (lineweight_ == -99) return Step::retry(QStringLiteral("Invalid lineweight: %1").arg(a));
            target = QStringLiteral("for lineweight %1").arg(a);
        } else if (option_ == u"PLOT") {
            const QString u = a.toUpper();
            if (u.isEmpty() || u == u"P" || u == u"PLOT") plot_ = true;
            else if (u == u"N" || u == u"NO" || u == u"NOPLOT" || u == u"NO PLOT") plot_ = false;
            else return Step::retry(QStringLiteral("Invalid option keyword: %1").arg(a));
            target = plot_ ? QStringLiteral("to plot") : QStringLiteral("not to plot");
        }
        stage_ = 1;
        QString current;
        try {
            current = QString::fromStdString(drawing().activeLayer().name());
        } catch (const dxf::EngineError&) {
        }
        return Step::prompt(QStringLiteral("Enter name list of layer(s) %1 <%2>: ").arg(target, current));
    }

    void listLayers() {
        for (const dxf::Layer& l : drawing().layers()) {
            cl_->print(QStringLiteral("%1  %2 %3 %4  color %5  %6")
                           .arg(QString::fromStdString(l.name()), l.layerOn() ? QStringLiteral("On ") : QStringLiteral("Off"),
                                l.freeze() ? QStringLiteral("Frozen") : QStringLiteral("Thawed"),
                                l.lock() ? QStringLiteral("Locked") : QStringLiteral("Unlocked"))
                           .arg(l.color())
                           .arg(QString::fromStdString(l.linetype())));
        }
    }

    std::shared_ptr<host::OpenDocument> doc_;
    CommandLine* cl_ = nullptr;
    QString option_;
    int stage_ = 0;
    int color_ = 0;
    QString text_;
    int lineweight_ = -3;
    bool plot_ = true;
};

}  // namespace

std::unique_ptr<Command> makeLayerCommand() { return std::make_unique<LayerCommand>(); }

}  // namespace drawhost
