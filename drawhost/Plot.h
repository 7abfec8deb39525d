#pragma once
// Plotting one layout of a drawing: the settings the -PLOT command collects,
// how they are read (paper names, scales, devices), and the output to a CUPS
// printer or to a PDF file.
//
// A device is a CUPS printer when one of that name is installed. Otherwise a
// name that holds "PDF" (as "DWG To PDF.pc3" does) is the PDF device, whose
// plot goes to a file; anything else is unknown. A plot to a file is always
// a PDF.
#include <QList>
#include <QPageSize>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <optional>

namespace dxf {
class Drawing;
}

namespace drawhost {

enum class PlotArea { Display, Extents, Limits, Layout, View, Window };

struct PlotJob {
    QString layout = QStringLiteral("Model");
    QString device;        // CUPS printer name or a PDF device; empty: none
    QPageSize paper = QPageSize(QPageSize::A4);
    bool millimeters = true;  // paper units of the scale and the offset
    bool landscape = true;
    bool upsideDown = false;
    PlotArea area = PlotArea::Extents;
    QRectF window;  // PlotArea::Window, drawing units
    bool fit = true;
    double plotted = 1, units = 1;  // plotted paper units = drawing units
    bool center = true;
    QPointF offset;  // paper units, from the sheet's lower left corner
    bool plotStyles = true;
    QString styleTable;
    bool lineweights = true;
    bool toFile = false;
    QString fileName;  // with toFile (or a PDF device): the PDF to write
};

// What came of a plot: the message for the command line, and whether it worked.
struct PlotResult {
    bool ok = false;
    QString message;
};

// Installed CUPS printers (none when CUPS does not answer).
QStringList plotPrinters();
bool isPrinter(const QString& device);
bool isPdfDevice(const QString& device);
// The paper sizes a device offers: the printer's, or the ISO and North
// American sizes for the PDF device.
QList<QPageSize> paperSizesOf(const QString& device);
QPageSize defaultPaperOf(const QString& device);

// The page size a paper name stands for: one of the device's sizes by name
// (letter case ignored), a name with its dimensions ("ISO A3 (420.00 x 297.00
// MM)", also with '_' for spaces, or in inches), or a standard name ("A3",
// "ISO A3", "Letter").
std::optional<QPageSize> pageSizeFor(const QString& name, const QList<QPageSize>& deviceSizes);

// A plot scale "Fit", "1:100", "1=100" or "2" (2:1). False when it is none of these.
bool parseScale(const QString& text, bool& fit, double& plotted, double& units);

// The PDF beside the drawing: "<folder>/<drawing name>-<layout>.pdf".
QString defaultPlotFile(const QString& drawingPath, const QString& layout);

// The settings a layout keeps for plotting (its page setup): device, paper,
// orientation, area, scale and offset; the defaults of an A4 landscape fit of
// the extents where the drawing keeps none.
PlotJob storedPlotJob(const dxf::Drawing& drawing, const QString& layout);

// Plots the job's layout of the drawing to its device or file.
PlotResult plot(const dxf::Drawing& drawing, const PlotJob& job);

}  // namespace drawhost
