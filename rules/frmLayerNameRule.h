#pragma once
// The dialog in which one rename rule is written or edited: a search pattern
// and a replacement, with a preview of what the rule does to the layers of
// the drawing that is active in the host.
#include <QDialog>

#include "rules/RuleHost.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace rules {

class frmLayerNameRule : public QDialog {
    Q_OBJECT
public:
    // Shows the dialog with the rule's texts (empty for a new rule). True when
    // the user confirmed; the texts then hold the rule. On cancel they are
    // left as they were.
    static bool pu_fun_bGetRule(QString& sNameBefore, QString& sNameAfter, QWidget* parent = nullptr);

    explicit frmLayerNameRule(QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* TxtNameBefore;
    QLabel* Label2;
    QLineEdit* TxtNameAfter;
    QLabel* Label3;
    QTreeWidget* LstvLayerSample;
    QLabel* LblMsg;
    QPushButton* CmdUpdateAutoCAD;
    QCheckBox* ChkAutoUpdate;
    QPushButton* OKButton;
    QPushButton* CancelButton;

    // Fills the preview from the held drawing.
    void subUpdateLayerSample();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Form_Load();
    void CmdUpdateAutoCAD_Click();
    void OKButton_Click();
    void CancelButton_Click();
    void textChanged();

    RuleHost host_;
    QString sNameBefore_;
    QString sNameAfter_;
    bool bOK = false;
};

}  // namespace rules
