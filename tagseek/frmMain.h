#pragma once
// Tagseek's window: handles are dropped (or listed and selected), looked up
// in the drawing active in the running host one at a time, and each result is
// shown in frmMsg with OK to go on and Cancel to stop. The window stays on
// top; its position, size and the "search on drop" box live in section
// "Main" of Tagseek.ini.
#include <QWidget>

#include "host/HostApi.h"

class QCheckBox;
class QMimeData;
class QPushButton;
class QStatusBar;
class QTreeWidget;

namespace tagseek {

class frmMain : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);

    // Processes a drop: connects, lists every non-empty line and, when
    // ChkDropFind is ticked, searches them one by one until the user cancels.
    void subSearchDropped(const QMimeData& data);
    // The shared key handler: Ctrl+A (exactly) selects every handle. True when handled.
    bool subSelectAllKey(int key, Qt::KeyboardModifiers shift);

    QCheckBox* ChkDropFind = nullptr;
    QPushButton* CmdExecute = nullptr;
    QPushButton* CmdReset = nullptr;
    QTreeWidget* LstvHandle = nullptr;
    QStatusBar* StatusBar1 = nullptr;

    // The host of the last connect (nothing before the first or after a failed one).
    const host::ApplicationPtr& host() const { return oAcadApp; }

protected:
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void Form_Resize();
    void subLoadMainIni();
    void subSaveMainIni();
    void subInitLstvHandle();
    void CmdExecute_Click();
    void CmdReset_Click();
    void ChkDropFind_Click();
    bool fun_bConnect();
    bool searchAndAsk(const QString& sHandle, int k, int n, bool activateHostWhenFound);
    void comeBack();

    host::ApplicationPtr oAcadApp;
};

}  // namespace tagseek
