#pragma once
// Tagseek's result dialog: a message with an icon, OK (go on) and Cancel
// (stop). It floats above the drawing host while the host keeps the keyboard:
// it comes up without taking the activation, makes itself topmost whenever it
// is activated, and the first time that happens after showing it hands the
// activation back to the host's window. Its position is kept in section
// "MSGBOX" of Tagseek.ini, so the next result opens where the user left this one.
#include <QDialog>
#include <QPixmap>
#include <array>

#include "host/HostApi.h"

class QLabel;
class QPushButton;
class QScrollArea;

namespace tagseek {

class frmMsg : public QDialog {
    Q_OBJECT
public:
    // Shows sMsg with the icon for iIcon (16 error, 48 warning, 64 information;
    // other values show none) and waits for the answer: true for OK, false for
    // Cancel or when the dialog was closed otherwise. oAcadApp is the host whose
    // window gets the activation back (none: the dialog keeps it).
    static bool pu_fun_bFromShow(const QString& sMsg, int iIcon, host::ApplicationPtr oAcadApp = nullptr);

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;

protected:
    bool event(QEvent* e) override;

private:
    explicit frmMsg(host::ApplicationPtr oAcadApp);
    void setMessage(const QString& sMsg, int iIcon);
    void subLoadMsgPos();
    void subSaveMsgPos();
    void Form_Activate();

    host::ApplicationPtr oAcadApp_;
    std::array<QPixmap, 3> ImageList1;  // information, warning, error
    QScrollArea* labelArea_ = nullptr;
    bool bResult = false;
    // The first activation after showing hands the focus to the host; later
    // ones (the user coming back to the dialog) keep it.
    bool handBack_ = true;
};

}  // namespace tagseek
