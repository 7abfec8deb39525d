#pragma once
// The settings of the serial script mode: the keywords for the drawing's
// folder and file name, the layer-name and layout-name keywords with their
// filters, and the printer and paper keywords with the printer and paper that
// replace them. The twelve values live in section "ScriptEnv" of Laminor.ini;
// the dialog always hands back what is stored there: after OK the values just
// saved, after Cancel the ones it opened with.
#include <QDialog>
#include <memory>

#include "main/ScriptEnv.h"
#include "script/Printers.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace script {

class frmScriptEnv : public QDialog {
    Q_OBJECT
public:
    // Shows the dialog modally and copies the stored values into env when it
    // closes. printers: where printers and paper names come from (the
    // system's when null).
    static void pu_subShow(mainwin::ScriptEnv& env, std::shared_ptr<PrinterSource> printers = nullptr,
                           QWidget* parent = nullptr);

    explicit frmScriptEnv(std::shared_ptr<PrinterSource> printers = nullptr, QWidget* parent = nullptr);

    // Loads the stored values into the controls and into env.
    void pu_subGetDefValue(mainwin::ScriptEnv& env);
    // Writes the controls' values to the INI file.
    void subSaveEnv();

    // The values the dialog hands back.
    const mainwin::ScriptEnv& values() const { return values_; }

    QLabel* LblKeyPath;
    QLineEdit* TxtKeyPath;
    QLabel* LblKeyPath2;
    QLabel* LblKeyFileName;
    QLineEdit* TxtKeyFileName;
    QLabel* LblKeyFileName2;
    QLabel* LblKeyPtinter;
    QLineEdit* TxtKeyPtinter;
    QLabel* LblKeyPtinter2;
    QComboBox* CboKeyPtinter;
    QLabel* LblKeyPaperSize;
    QLineEdit* TxtKeyPaperSize;
    QLabel* LblKeyPaperSize2;
    QComboBox* CboKeyPaperSize;
    QGroupBox* Frame1;
    QLabel* LblKeyLayerName;
    QLineEdit* TxtKeyLayerName;
    QLabel* LblKeyLayerName2;
    QLabel* LblKeyLayerName3;
    QLabel* LblKeyLayerName4;
    QComboBox* CboScriptFilterLayer;
    QComboBox* CboScriptFilterLayerClass;
    QLabel* LblKeyLayout;
    QLineEdit* TxtKeyLayout;
    QLabel* LblKeyLayout2;
    QLabel* LblKeyLayout3;
    QLabel* LblKeyLayout4;
    QComboBox* CboScriptFilterLayout;
    QComboBox* CboScriptFilterLayoutClass;
    QLabel* LblNote;
    QPushButton* OKButton;
    QPushButton* CancelButton;

private:
    void buildControls();
    void Form_Load();
    void subSetFilterList();
    void subSetPrinterList();
    void CboKeyPtinter_Click();
    void CboScriptFilterLayer_Change();
    void CboScriptFilterLayout_Change();
    void OKButton_Click();

    std::shared_ptr<PrinterSource> printers_;
    mainwin::ScriptEnv values_;
};

}  // namespace script
