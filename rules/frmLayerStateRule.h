#pragma once
// The dialog in which one state rule is written or edited: a layer-name
// pattern and eight settings, each a value or "(変更なし)". The choice lists
// come from the drawing active in the host, and a preview lists its layers,
// selecting those the pattern matches with the settings they would get.
#include <QDialog>
#include <QStringList>
#include <array>

#include "rules/RuleHost.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace rules {

class frmLayerStateRule : public QDialog {
    Q_OBJECT
public:
    // Shows the dialog with the pattern and, when vStateRule holds the eight
    // settings (表示 to 印刷), those; an empty vStateRule leaves every setting
    // at "(変更なし)". True when the user confirmed; both then hold the rule.
    // On cancel they are left as they were.
    static bool pu_fun_bGetRule(QString& sTgtLayerName, QStringList& vStateRule, QWidget* parent = nullptr);

    explicit frmLayerStateRule(QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* TxtLayerName;
    QComboBox* CboLayerOn;
    QComboBox* CboFreeze;
    QComboBox* CboLock;
    QComboBox* CboColor;
    QPushButton* CmdColor;
    QComboBox* CboLinetype;
    QComboBox* CboLineweight;
    QComboBox* CboPlotStyleName;
    QComboBox* CboPlottable;
    QLabel* Label10;
    QTreeWidget* LstvLayerSample;
    QLabel* LblMsg;
    QPushButton* CmdUpdateAutoCAD;
    QCheckBox* ChkAutoUpdate;
    QPushButton* OKButton;
    QPushButton* CancelButton;

    // The eight combo boxes in the order of the settings.
    std::array<QComboBox*, 8> settingBoxes() const;
    void subUpdateLayerSample();

protected:

private:
    void Form_Load();
    void fillChoiceLists();
    void CboColor_Click();
    void CmdUpdateAutoCAD_Click();
    void OKButton_Click();
    void CancelButton_Click();
    void settingChanged();

    RuleHost host_;
    QString sTgtLayerName_;
    QStringList vStateRule_;
    bool bOK = false;
};

}  // namespace rules
