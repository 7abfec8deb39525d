#pragma once
// The wait dialog of the script dispatch: a picture, a message of several
// lines and one OK button. It stays above the drawing host, which was just
// brought to the front, and blocks until the user presses OK.
#include <QDialog>

class QLabel;
class QPushButton;

namespace host {

class frmDialogModal : public QDialog {
    Q_OBJECT
public:
    // Shows sMsg modally (no owner window) and returns once OK hid the dialog.
    // iIcon 16 shows the error picture, 48 the warning, 64 the information;
    // any other value no picture. Each call uses a fresh dialog.
    static void pu_subShow(const QString& sMsg, int iIcon);

    explicit frmDialogModal(QWidget* parent = nullptr);

    QLabel* Image1;
    QLabel* LblMsg;
    QPushButton* OKButton;

protected:
    void changeEvent(QEvent* event) override;
};

}  // namespace host
