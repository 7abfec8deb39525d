#pragma once
// The script editor of the serial script mode: the header, the merged script
// and the footer in three boxes. Every edit is stored in its file when the
// box loses the focus; Execute writes header, body and footer over the merged
// file and hands it to the drawing host.
#include <QDialog>
#include <functional>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace script {

class frmScript : public QDialog {
    Q_OBJECT
public:
    // Shows the editor for the merged script; true when the user chose Execute
    // (the script has then been handed to the host).
    static bool pu_fun_bShow(const QString& sMergeScriptFullName, QWidget* parent = nullptr);

    // How Execute hands the final script to the host (the script dispatch by
    // default); tests replace it.
    static void setDispatcher(std::function<void(const QString& path)> dispatch);

    explicit frmScript(const QString& sMergeScriptFullName, QWidget* parent = nullptr);
    ~frmScript() override;

    QLabel* LblHeader;
    QPlainTextEdit* TxtHeader;
    QLabel* LblScript;
    QPlainTextEdit* TxtScript;
    QLabel* LblFooter;
    QPlainTextEdit* TxtFooter;
    QFrame* Frame1;
    QPushButton* CmdExecute;
    QPushButton* CmdCancel;

    bool executed() const { return bExecute; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void Form_Resize();
    void subLoadFormPos();
    void subSaveFormPos();
    void subLoadScriptText();
    QString fileOf(const QPlainTextEdit* box) const;
    void storeBox(QPlainTextEdit* box);
    void CmdExecute_Click();

    QString sHeaderFullName;
    QString sFooterFullName;
    QString sMergeScriptFullName;
    QString sFocusText;
    bool bExecute = false;
};

}  // namespace script
