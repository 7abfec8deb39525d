#pragma once
// The main window: the four lists, the options of the four modes, the
// toolbar that switches modes and exchanges rules, and the start-up and
// shut-down that restore and keep the window's settings. Controls carry the
// names the system gives them and are public so that tests can drive them as
// a user would.
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "main/BatchRun.h"
#include "main/ScriptEnv.h"
#include "support/StatusLabel.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace mainwin {

class FileDropList;

// What the window asks of the world outside it. The file dialogs, the text
// editor, starting a program and ending this one have working defaults; the
// dialogs and the spreadsheet exchange are supplied by their own parts.
// Tests replace any of them.
struct MainWindowServices {
    // Ends the program ("閉じる").
    std::function<void()> endProgram;
    // Asks for drawings to add; an empty list when cancelled.
    std::function<QStringList()> chooseDrawings;
    // Asks for the script base file, starting at the given file when it exists; empty when cancelled.
    std::function<QString(const QString& current)> chooseBaseFile;
    // Asks for a rule file to load or to save; empty when cancelled.
    std::function<QString()> chooseRuleFileToOpen;
    std::function<QString()> chooseRuleFileToSave;
    // The spreadsheet exchange of toolbar buttons 2 and 5. Reading gives the
    // rows of the user's selection (each "No" first, then the rule's fields),
    // or nothing when there is nothing to import, after telling the user why.
    // Writing puts the header-and-all-rows table of the mode's list into a new
    // workbook. Without them the buttons do nothing.
    std::function<std::optional<QList<QStringList>>(int mode)> readRulesFromSpreadsheet;
    std::function<void(int mode, const support::ListTable& table)> writeRulesToSpreadsheet;
    // Opens a text file in the desktop's text editor; false when the desktop
    // has no launcher for it ("開く" then tries the editor command of
    // Laminor.ini).
    std::function<bool(const QString& path)> openInTextEditor;
    // Starts a program with its arguments, without a shell and without waiting for it.
    std::function<bool(const QString& program, const QStringList& arguments)> startProgram;
    // Rule and keyword dialogs: true when the user confirmed. They are
    // supplied by the rule editors; without one the command does nothing.
    std::function<bool(QString& sNameBefore, QString& sNameAfter)> editLayerNameRule;
    std::function<bool(QString& sTgtLayerName, QStringList& vStateRule)> editLayerStateRule;
    std::function<bool(const QString& sCaption, const QString& sLbl1, const QString& sLbl2, QString& sString1,
                       QString& sString2)>
        get2Item;
    std::function<void(ScriptEnv& env)> showScriptEnv;
};

class frmMain : public QWidget {
    Q_OBJECT
public:
    // Builds the controls and runs the start-up sequence.
    explicit frmMain(QWidget* parent = nullptr, MainWindowServices services = {});
    ~frmMain() override;

    MainWindowServices& services() { return services_; }

    int iMode = 1;
    ScriptEnv scriptEnv;
    // The per-drawing operations that "実行" runs.
    DrawingOperations operations;

    // Toolbar: buttons by their index 1..9 (3, 6 and 8 are separators);
    // button 7 is the mode button with its menu.
    QToolBar* Toolbar1 = nullptr;
    std::array<QAction*, 10> toolbarButtons{};
    QToolButton* ToolMode = nullptr;
    QMenu* MenuMode = nullptr;

    // Mode 1: rename rules.
    QFrame* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QTreeWidget* LstvLayerName = nullptr;
    QPushButton* CmdAddRule = nullptr;
    QPushButton* CmdDeleteRule = nullptr;
    QPushButton* CmdResetLayerName = nullptr;
    QPushButton* CmdSelectAllLayerName = nullptr;

    // Mode 2: state rules.
    QFrame* Frame2 = nullptr;
    QLabel* Label4 = nullptr;
    QTreeWidget* LstvLayerState = nullptr;
    QPushButton* CmdAddRuleState = nullptr;
    QPushButton* CmdDeleteRuleState = nullptr;
    QPushButton* CmdResetLayerNameState = nullptr;
    QPushButton* CmdSelectAllLayerNameState = nullptr;

    // Mode 3: layer information export.
    QFrame* Frame3 = nullptr;
    QLabel* LblFilterLayer = nullptr;
    QComboBox* CboFilterLayer = nullptr;
    QComboBox* CboFilterLayerClass = nullptr;
    QLabel* LblFilterString = nullptr;
    QComboBox* CboFilterString = nullptr;
    QComboBox* CboFilterStringClass = nullptr;
    QLabel* Label8 = nullptr;
    QCheckBox* ChkOutputTextToCSV = nullptr;
    QCheckBox* ChkNum = nullptr;
    QPushButton* CmdTagseek = nullptr;

    // Mode 4: serial script.
    QFrame* Frame5 = nullptr;
    QTreeWidget* LstvKeyword = nullptr;
    QPushButton* CmdKeywordAdd = nullptr;
    QPushButton* CmdKeywordDel = nullptr;
    QPushButton* CmdKeywordReset = nullptr;
    QCheckBox* ChkDWGSave = nullptr;
    QLabel* LblBaseFile = nullptr;
    QLineEdit* TxtBaseFile = nullptr;
    QPushButton* CmdBaseFile = nullptr;
    QPushButton* CmdOpen = nullptr;
    QPushButton* CmdEnv = nullptr;
    QLabel* Label6 = nullptr;

    // Every mode: the drawings, the status line and the two commands.
    QFrame* Frame4 = nullptr;
    QLabel* Label2 = nullptr;
    FileDropList* LstvDWGs = nullptr;
    QPushButton* CmdDWG = nullptr;
    QPushButton* CmdSelectAllDWGs = nullptr;
    QPushButton* CmdResetDWGs = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* CmdExecute = nullptr;
    QPushButton* CmdCancel = nullptr;

    // The status line as operations see it.
    support::StatusLabel& statusLabel();

    // The mode names of button 7's menu, by mode 1..4 (index 0 unused).
    static QString modeMenuText(int mode);
    static QString modeCaption(int mode);

    void subSetMode(int mode);
    // The batch run of "実行" in a mode, with the inputs read from the window now.
    void subExecute(int mode);
    // Every keyword row, selected or not: (0..n-1) x (keyword, replacement); no table when empty.
    support::OptionalListTable keywordTable() const;
    // Adds existing drawing files (names ending in "dwg" or "dxf", any case)
    // to the drawing list; anything else is skipped silently.
    void subAddFiles(const QStringList& paths);
    void subShowRuleCount();
    void subShowStateCount();
    void subShowDWGCount();

    // List index of an editable filter combo as the class lists see it: the
    // entry whose text is shown, or -1 for typed text.
    static int filterListIndex(const QComboBox& combo);

    // The version window of button 9 while it is open.
    QWidget* versionWindow() const { return versionWindow_; }

    // True between the start and the end of a batch run; the list commands,
    // the mode switch and "実行" are disabled meanwhile.
    bool isRunning() const { return running_; }
    void setRunning(bool running);
    // Set once the window was asked to close; a running batch stops at its next drawing.
    bool closeRequested() const { return closeRequested_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    // A double click on a rule or keyword list where no row is: the list's
    // double click all the same (Qt reports only clicks on rows).
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildToolbar();
    void updateRuleButtons();
    void buildFrames();
    void connectControls();
    void Form_Load();
    void Form_Unload();
    void subInitModeMenu();
    void subInitFilters();
    void addDrawingsOfRunningHost();
    void subLoadSettings();
    void subSaveSettings();

    void Toolbar1_ButtonClick(int index);
    void ToolMode_Click();
    void MenuMode_Click(int mode);
    void CboFilterLayer_Change();
    void CboFilterString_Change();
    void TxtBaseFile_Change();
    void CmdCancel_Click();
    void showVersionWindow();

    // List commands.
    void CmdAddRule_Click();
    void CmdAddRuleState_Click();
    void CmdKeywordAdd_Click();
    void editLayerNameRow();
    void editLayerStateRow();
    void editKeywordRow();
    bool deleteCurrentRow(QTreeWidget& list);
    void resetList(QTreeWidget& list);
    void selectAll(QTreeWidget& list);
    void CmdDWG_Click();
    void CmdSelectAllDWGs_Click();
    void CmdBaseFile_Click();
    void CmdOpen_Click();
    void CmdEnv_Click();
    void CmdTagseek_Click();
    void LstvDWGs_Drop(const QStringList& paths);

    // Rule files of the active rule list (modes 1 and 2). Loading returns
    // false when the user cancelled the dialog.
    bool subLoadRuleCSV();
    void subSaveRuleCSV();
    bool subImportRuleExcel();
    void subExportRuleExcel();
    QTreeWidget& activeRuleList();
    // Replaces the active rule list with the records that are neither a
    // header row nor incomplete.
    void fillRuleList(const QList<QStringList>& records);

    class Label3Status;
    MainWindowServices services_;
    std::unique_ptr<Label3Status> status_;
    QWidget* versionWindow_ = nullptr;
    bool running_ = false;
    bool closeRequested_ = false;
    bool unloaded_ = false;
};

}  // namespace mainwin
