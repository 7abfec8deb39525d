#include "Plot.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <cmath>
#include <vector>

#include "LayoutRender.h"
#include "engine/Drawing.h"

namespace drawhost {

namespace {

constexpr double kMmPerInch = 25.4;
constexpr int kPdfResolution = 600;
constexpr double kLineWidthMm = 0.25;
constexpr double kThinnestMm = 0.1;

// Letters and digits only, lower case: "ISO_A3", "iso a3" and "ISOA3" compare equal.
QString squeezed(const QString& s) {
    QString out;
    for (QChar c : s)
        if (c.isLetterOrNumber()) out += c.toLower();
    return out;
}

QString formatted(double v) { return QString::number(v, 'f', 2); }

// The area of the layout the plot shows, in its units.
QRectF plotArea(const LayoutRender& render, const PlotJob& job) {
    switch (job.area) {
    case PlotArea::Window:
        return job.window.normalized();
    case PlotArea::Limits:
    case PlotArea::Layout:
    case PlotArea::Display:
        // Without a view of its own (a script, the console) the display is the sheet.
        if (!render.limits().isEmpty()) return render.limits();
        return render.extents();
    case PlotArea::Extents:
    case PlotArea::View:
        break;
    }
    return render.extents();
}

// Paints the plot on a page of pageDots device units at dotsPerMm.
PlotResult paintPlot(QPainter& painter, const QSizeF& pageDots, double dotsPerMm, const LayoutRender& render,
                     const PlotJob& job) {
    const QRectF area = plotArea(render, job);
    if (area.isNull() || area.width() <= 0 || area.height() <= 0)
        return {false, QStringLiteral("Nothing to plot: the plot area of layout \"%1\" is empty.").arg(job.layout)};
    const double pageW = pageDots.width() / dotsPerMm, pageH = pageDots.height() / dotsPerMm;
    const double unitMm = job.millimeters ? 1 : kMmPerInch;
    const double mmPerUnit = job.fit ? std::min(pageW / area.width(), pageH / area.height())
                                     : job.plotted / job.units * unitMm;
    const double w = area.width() * mmPerUnit, h = area.height() * mmPerUnit;
    const QPointF lowerLeft = job.center ? QPointF((pageW - w) / 2, (pageH - h) / 2) : job.offset * unitMm;
    const QRectF target(lowerLeft.x() * dotsPerMm, (pageH - lowerLeft.y() - h) * dotsPerMm, w * dotsPerMm,
                        h * dotsPerMm);
    if (job.upsideDown) {
        painter.translate(pageDots.width(), pageDots.height());
        painter.rotate(180);
    }
    painter.setClipRect(QRectF(QPointF(0, 0), pageDots));
    RenderStyle style;
    style.monochrome = job.plotStyles && job.styleTable.contains(QStringLiteral("monochrome"), Qt::CaseInsensitive);
    style.lineweights = job.lineweights;
    style.pixelsPerMm = dotsPerMm;
    // With lineweights the narrowest line is thinner: the default lineweight is 0.25 mm.
    style.lineWidth = (job.lineweights ? kThinnestMm : kLineWidthMm) * dotsPerMm;
    render.render(painter, area, target, style);
    return {true, QStringLiteral("Effective plotting area: %1 wide by %2 high")
                      .arg(formatted(w / unitMm), formatted(h / unitMm))};
}

QPageLayout::Orientation orientationOf(const PlotJob& job) {
    return job.landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
}

PlotResult plotToPdf(const LayoutRender& render, const PlotJob& job, const QString& path) {
    // The PDF replaces an older one only once it is complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {false, QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString())};
    PlotResult result;
    {
        QPdfWriter writer(&file);
        writer.setCreator(QStringLiteral("drawhost"));
        writer.setTitle(QFileInfo(path).completeBaseName());
        writer.setResolution(kPdfResolution);
        writer.setPageLayout(QPageLayout(job.paper, orientationOf(job), QMarginsF(0, 0, 0, 0)));
        QPainter painter;
        if (!painter.begin(&writer)) return {false, QStringLiteral("Cannot write \"%1\".").arg(path)};
        result = paintPlot(painter, QSizeF(writer.width(), writer.height()), kPdfResolution / kMmPerInch, render, job);
        painter.end();
    }
    if (!result.ok) {
        file.cancelWriting();
        return result;
    }
    if (!file.commit()) return {false, QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString())};
    result.message += QStringLiteral("\nPlot written to \"%1\".").arg(path);
    return result;
}

PlotResult plotToPrinter(const LayoutRender& render, const PlotJob& job, const QString& title) {
    QPrinter printer(QPrinterInfo::printerInfo(job.device), QPrinter::HighResolution);
    printer.setDocName(title);
    printer.setFullPage(true);
    printer.setPageLayout(QPageLayout(job.paper, orientationOf(job), QMarginsF(0, 0, 0, 0)));
    QPainter painter;
    if (!painter.begin(&printer)) return {false, QStringLiteral("Cannot plot to \"%1\".").arg(job.device)};
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    PlotResult result = paintPlot(painter, paper.size(), printer.resolution() / kMmPerInch, render, job);
    if (!result.ok) printer.abort();
    painter.end();
    if (result.ok) result.message += QStringLiteral("\nPlot sent to \"%1\".").arg(job.device);
    return result;
}

}  // namespace

QStringList plotPrinters() { return QPrinterInfo::availablePrinterNames(); }

bool isPrinter(const QString& device) { return !device.isEmpty() && plotPrinters().contains(device); }

bool isPdfDevice(const QString& device) {
    return device.contains(QStringLiteral("pdf"), Qt::CaseInsensitive) && !isPrinter(device);
}

QList<QPageSize> paperSizesOf(const QString& device) {
    if (isPrinter(device)) return QPrinterInfo::printerInfo(device).supportedPageSizes();
    QList<QPageSize> sizes;
    for (auto id : {QPageSize::A0, QPageSize::A1, QPageSize::A2, QPageSize::A3, QPageSize::A4, QPageSize::A5,
                    QPageSize::B4, QPageSize::B5, QPageSize::JisB4, QPageSize::JisB5, QPageSize::Letter,
                    QPageSize::Legal, QPageSize::Tabloid})
        sizes << QPageSize(id);
    return sizes;
}

QPageSize defaultPaperOf(const QString& device) {
    if (isPrinter(device)) {
        const QPageSize size = QPrinterInfo::printerInfo(device).defaultPageSize();
        if (size.isValid()) return size;
    }
    return QPageSize(QPageSize::A4);
}

std::optional<QPageSize> pageSizeFor(const QString& name, const QList<QPageSize>& deviceSizes) {
    const QString key = squeezed(name);
    if (key.isEmpty()) return std::nullopt;
    for (const QPageSize& size : deviceSizes)
        if (squeezed(size.name()) == key || squeezed(size.key()) == key) return size;

    // "ISO A3 (420.00 x 297.00 MM)", "ISO_A3_(420.00_x_297.00_MM)", "(11.00 x 17.00 Inches)"
    static const QRegularExpression dimensions(
        QStringLiteral(R"(([0-9]+(?:\.[0-9]+)?)\s*[x×]\s*([0-9]+(?:\.[0-9]+)?)\s*(mm|millimeters|inches|inch|in)\b)"),
        QRegularExpression::CaseInsensitiveOption);
    QString spaced = name;
    spaced.replace(u'_', u' ');
    const auto m = dimensions.match(spaced);
    if (m.hasMatch()) {
        const double a = m.captured(1).toDouble(), b = m.captured(2).toDouble();
        if (a > 0 && b > 0) {
            const bool mm = m.captured(3).startsWith(u'm', Qt::CaseInsensitive);
            return QPageSize(QSizeF(std::min(a, b), std::max(a, b)), mm ? QPageSize::Millimeter : QPageSize::Inch,
                             name, QPageSize::FuzzyMatch);
        }
    }
    // A standard name, with the prefixes plotter names carry.
    QString bare = key;
    for (const char* prefix : {"iso", "ansi", "arch"})
        if (bare.startsWith(QLatin1String(prefix)) && bare.size() > int(qstrlen(prefix))) bare.remove(0, int(qstrlen(prefix)));
    for (int id = 0; id <= QPageSize::LastPageSize; ++id) {
        const auto pageId = QPageSize::PageSizeId(id);
        if (pageId == QPageSize::Custom) continue;
        if (squeezed(QPageSize::key(pageId)) == bare || squeezed(QPageSize::name(pageId)) == bare)
            return QPageSize(pageId);
    }
    return std::nullopt;
}

bool parseScale(const QString& text, bool& fit, double& plotted, double& units) {
    const QString t = text.trimmed();
    if (t.compare(QStringLiteral("F"), Qt::CaseInsensitive) == 0 ||
        t.compare(QStringLiteral("Fit"), Qt::CaseInsensitive) == 0) {
        fit = true;
        return true;
    }
    static const QRegularExpression ratio(QStringLiteral(R"(^([0-9]*\.?[0-9]+)\s*(?:[:=]\s*([0-9]*\.?[0-9]+))?$)"));
    const auto m = ratio.match(t);
    if (!m.hasMatch()) return false;
    const double a = m.captured(1).toDouble();
    const double b = m.captured(2).isEmpty() ? 1 : m.captured(2).toDouble();
    if (a <= 0 || b <= 0) return false;
    fit = false;
    plotted = a;
    units = b;
    return true;
}

QString defaultPlotFile(const QString& drawingPath, const QString& layout) {
    const QFileInfo drawing(drawingPath);
    return drawing.dir().filePath(drawing.completeBaseName() + u'-' + layout + QStringLiteral(".pdf"));
}

PlotJob storedPlotJob(const dxf::Drawing& drawing, const QString& layout) {
    PlotJob job;
    job.layout = layout;
    const auto settings = drawing.layoutSettings(layout.toStdString());
    if (!settings) return job;
    // The plot settings come first in the LAYOUT object, before its AcDbLayout part.
    std::vector<dxf::GroupValue> g;
    for (const auto& v : settings->groups()) {
        if (v.code == 100 && v.value == "AcDbLayout") break;
        g.push_back(v);
    }
    auto text = [&](int code) {
        for (const auto& v : g)
            if (v.code == code) return QString::fromStdString(v.value).trimmed();
        return QString();
    };
    auto number = [&](int code, double fallback = 0) {
        const QString t = text(code);
        bool ok = false;
        const double v = t.toDouble(&ok);
        return ok ? v : fallback;
    };
    const QString device = text(2);
    job.device = device.compare(QStringLiteral("none"), Qt::CaseInsensitive) == 0 ? QString() : device;
    const double w = number(44), h = number(45);
    if (auto named = pageSizeFor(text(4), paperSizesOf(job.device)))
        job.paper = *named;
    else if (w > 0 && h > 0)
        job.paper = QPageSize(QSizeF(std::min(w, h), std::max(w, h)), QPageSize::Millimeter, text(4));
    const int rotation = int(number(73));
    const bool wideMedia = w > h;
    job.landscape = (w > 0 && h > 0) ? wideMedia != (rotation % 2 == 1) : true;
    job.upsideDown = rotation >= 2;
    job.millimeters = int(number(72, 1)) != 0;
    switch (int(number(74, 1))) {
    case 0: job.area = PlotArea::Display; break;
    case 2: job.area = PlotArea::Limits; break;
    case 4:
        job.area = PlotArea::Window;
        job.window = QRectF(QPointF(number(48), number(49)), QPointF(number(140), number(141))).normalized();
        break;
    case 5: job.area = PlotArea::Layout; break;
    default: job.area = PlotArea::Extents; break;
    }
    const int flags = int(number(70));
    const double numerator = number(142, 1), denominator = number(143, 1);
    job.fit = (flags & 16) && int(number(75)) == 0;
    if (!job.fit && numerator > 0 && denominator > 0) {
        job.plotted = numerator;
        job.units = denominator;
    } else {
        job.fit = true;
    }
    job.center = (flags & 4) != 0;
    job.offset = QPointF(number(46), number(47));
    job.styleTable = text(7);
    return job;
}

PlotResult plot(const dxf::Drawing& drawing, const PlotJob& job) {
    try {
        const LayoutRender render(drawing, job.layout);
        const QString title = QString::fromStdString(drawing.name()) + QStringLiteral(" - ") + job.layout;
        if (job.toFile || isPdfDevice(job.device)) {
            const QString path = job.fileName.isEmpty()
                                     ? defaultPlotFile(QString::fromStdString(drawing.fullName()), job.layout)
                                     : job.fileName;
            return plotToPdf(render, job, path);
        }
        if (!isPrinter(job.device)) return {false, QStringLiteral("Plot device \"%1\" is not available.").arg(job.device)};
        return plotToPrinter(render, job, title);
    } catch (const dxf::EngineError& e) {
        return {false, QStringLiteral("Cannot plot layout \"%1\": %2").arg(job.layout, QString::fromUtf8(e.what()))};
    }
}

}  // namespace drawhost
