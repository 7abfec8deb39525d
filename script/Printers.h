#pragma once
// The installed printers and their paper names, as the script environment
// dialog lists them. The product asks CUPS through Qt Print Support; tests
// supply their own printers. With no CUPS running there are no printers and
// no error.
#include <QString>
#include <QStringList>
#include <memory>
#include <stdexcept>

namespace script {

// A printer whose paper names cannot be had (it is gone, or its driver does
// not answer): a number and a description, as the dialog reports them.
class PrinterError : public std::runtime_error {
public:
    PrinterError(long number, const QString& description)
        : std::runtime_error(description.toStdString()), number_(number), description_(description) {}
    long number() const { return number_; }
    const QString& description() const { return description_; }

private:
    long number_;
    QString description_;
};

class PrinterSource {
public:
    virtual ~PrinterSource() = default;
    // Device names of the installed printers, in the system's order.
    virtual QStringList printerNames() = 0;
    // The system's default printer; empty when there is none.
    virtual QString defaultPrinter() = 0;
    // The printer's paper names in the driver's order; throws PrinterError
    // when the printer is unknown.
    virtual QStringList paperNames(const QString& printer) = 0;
};

// The printers of the system, through CUPS.
std::shared_ptr<PrinterSource> systemPrinters();

}  // namespace script
