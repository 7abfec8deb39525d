#include "script/Printers.h"

#include <QPageSize>
#include <QPrinterInfo>

namespace script {

namespace {

class CupsPrinters : public PrinterSource {
public:
    QStringList printerNames() override { return QPrinterInfo::availablePrinterNames(); }
    QString defaultPrinter() override { return QPrinterInfo::defaultPrinterName(); }
    QStringList paperNames(const QString& printer) override {
        const QPrinterInfo info = QPrinterInfo::printerInfo(printer);
        if (info.isNull())
            throw PrinterError(482, QStringLiteral("プリンタ %1 が見つかりません。 (printer not found)").arg(printer));
        QStringList names;
        for (const QPageSize& size : info.supportedPageSizes()) names << size.name();
        return names;
    }
};

}  // namespace

std::shared_ptr<PrinterSource> systemPrinters() { return std::make_shared<CupsPrinters>(); }

}  // namespace script
