#pragma once
// A small modal dialog that asks for two texts at once, each under a label
// given by the caller. It accepts any text; checking it is the caller's.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace rules {

class frmGet2Item : public QDialog {
    Q_OBJECT
public:
    // Shows the dialog with the two texts as the fields' contents and returns
    // true when it was closed with OK. The two texts receive the fields'
    // contents however the dialog was closed.
    static bool pu_fun_bGet2Item(const QString& sCaption, const QString& sLbl1, const QString& sLbl2,
                                 QString& sString1, QString& sString2, QWidget* parent = nullptr);

    explicit frmGet2Item(QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* Text1;
    QLabel* Label2;
    QLineEdit* Text2;
    QPushButton* OKButton;
    QPushButton* CancelButton;

private:
    void Form_Load();
    void OKButton_Click();
    void CancelButton_Click();

    bool bOK = false;
};

}  // namespace rules
