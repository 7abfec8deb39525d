#include "frmMain.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include "host/HostConnection.h"
#include "host/SkipError.h"
#include "main/FileDropList.h"
#include "main/ListConversion.h"
#include "main/MainSettings.h"
#include "main/WindowGeometry.h"
#include "main/VersionDialog.h"
#include "support/EventYield.h"
#include "support/Foreground.h"
#include "support/Ini.h"
#include "support/MessageBox.h"
#include "support/ProgramFolder.h"

namespace mainwin {

using namespace geometry;

// Label3 as the status line operations write to.
class frmMain::Label3Status : public support::StatusLabel {
public:
    explicit Label3Status(QLabel* label) : label_(label) {}
    QString caption() const override { return label_->text(); }
    void setCaption(const QString& text) override { label_->setText(text); }

private:
    QLabel* label_;
};

namespace {

QString countTitle(const QString& head, const QTreeWidget& list) {
    return head + QString::number(selectedCount(list)) + QStringLiteral("/") +
           QString::number(list.topLevelItemCount()) + QStringLiteral(" 件を実行");
}

// A stored position where no screen is any more (another monitor set-up)
// would open the window out of sight; it then opens at the top left.
QPoint onScreen(const QPoint& stored, const QSize& size) {
    const QRect window(stored, size);
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().intersects(window)) return stored;
    return QPoint(0, 0);
}

MainWindowServices withDefaults(MainWindowServices s) {
    if (!s.endProgram) s.endProgram = [] { QCoreApplication::quit(); };
    if (!s.chooseDrawings)
        s.chooseDrawings = [] {
            return QFileDialog::getOpenFileNames(nullptr, QString(), QString(),
                                                 QStringLiteral("AutoCADﾌｧｲﾙ (*.dwg *.DWG *.dxf *.DXF)"));
        };
    if (!s.chooseBaseFile)
        s.chooseBaseFile = [](const QString& current) {
            return QFileDialog::getOpenFileName(
                nullptr, QString(), QFileInfo(current).isFile() ? current : QString(),
                QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ (*.txt);;ｽｸﾘﾌﾟﾄﾌｧｲﾙ (*.scr);;全てのﾌｧｲﾙ (*)"));
        };
    const QString csvFilter = QStringLiteral("CSVﾌｧｲﾙ (*.csv *.CSV)");
    if (!s.chooseRuleFileToOpen)
        s.chooseRuleFileToOpen = [csvFilter] {
            return QFileDialog::getOpenFileName(nullptr, QString(), QString(), csvFilter);
        };
    if (!s.chooseRuleFileToSave)
        s.chooseRuleFileToSave = [csvFilter] {
            return QFileDialog::getSaveFileName(nullptr, QString(), QString(), csvFilter);
        };
    if (!s.openInTextEditor)
        s.openInTextEditor = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    if (!s.startProgram)
        s.startProgram = [](const QString& program, const QStringList& arguments) {
            return QProcess::startDetached(program, arguments);
        };
    return s;
}

}  // namespace

frmMain::frmMain(QWidget* parent, MainWindowServices services)
    : QWidget(parent), services_(withDefaults(std::move(services))) {
    setObjectName(QStringLiteral("frmMain"));
    buildToolbar();
    buildFrames();
    status_ = std::make_unique<Label3Status>(Label3);
    connectControls();
    support::setMainWindowActivator([this] {
        raise();
        activateWindow();
    });
    Form_Load();
}

frmMain::~frmMain() { support::setMainWindowActivator({}); }

support::StatusLabel& frmMain::statusLabel() { return *status_; }

QString frmMain::modeMenuText(int mode) {
    static const QStringList texts{QString(), QStringLiteral("画層名一発変換"), QStringLiteral("画層状態一発変更"),
                                   QStringLiteral("画層データExcel出力"), QStringLiteral("画層対応連続スクリプト")};
    return mode >= 1 && mode <= 4 ? texts[mode] : QString();
}

QString frmMain::modeCaption(int mode) {
    static const QStringList texts{QString(), QStringLiteral("画層名一発変換"), QStringLiteral("画層状態一発変更"),
                                   QStringLiteral("画層情報Excel出力"), QStringLiteral("画層対応連続スクリプト")};
    return mode >= 1 && mode <= 4 ? texts[mode] : QString();
}

void frmMain::connectControls() {
    connect(MenuMode, &QMenu::triggered, this, [this](QAction* a) { MenuMode_Click(a->data().toInt()); });
    connect(CboFilterLayer, &QComboBox::editTextChanged, this, [this] { CboFilterLayer_Change(); });
    connect(CboFilterLayer, &QComboBox::activated, this, [this] { CboFilterLayer_Change(); });
    connect(CboFilterString, &QComboBox::editTextChanged, this, [this] { CboFilterString_Change(); });
    connect(CboFilterString, &QComboBox::activated, this, [this] { CboFilterString_Change(); });
    connect(TxtBaseFile, &QLineEdit::textChanged, this, [this] { TxtBaseFile_Change(); });
    connect(CmdCancel, &QPushButton::clicked, this, [this] { CmdCancel_Click(); });
    connect(CmdExecute, &QPushButton::clicked, this, [this] {
        if (iMode >= 1 && iMode <= 4 && !running_) subExecute(iMode);
    });

    connect(CmdAddRule, &QPushButton::clicked, this, [this] { CmdAddRule_Click(); });
    connect(CmdAddRuleState, &QPushButton::clicked, this, [this] { CmdAddRuleState_Click(); });
    connect(CmdKeywordAdd, &QPushButton::clicked, this, [this] { CmdKeywordAdd_Click(); });
    connect(LstvLayerName, &QTreeWidget::itemDoubleClicked, this, [this] { editLayerNameRow(); });
    connect(LstvLayerState, &QTreeWidget::itemDoubleClicked, this, [this] { editLayerStateRow(); });
    connect(LstvKeyword, &QTreeWidget::itemDoubleClicked, this, [this] { editKeywordRow(); });
    for (QTreeWidget* list : {LstvLayerName, LstvLayerState, LstvKeyword}) list->viewport()->installEventFilter(this);
    connect(CmdDeleteRule, &QPushButton::clicked, this, [this] {
        if (deleteCurrentRow(*LstvLayerName)) subShowRuleCount();
    });
    connect(CmdDeleteRuleState, &QPushButton::clicked, this, [this] {
        if (deleteCurrentRow(*LstvLayerState)) subShowStateCount();
    });
    connect(CmdKeywordDel, &QPushButton::clicked, this, [this] { deleteCurrentRow(*LstvKeyword); });
    connect(CmdResetLayerName, &QPushButton::clicked, this, [this] {
        resetList(*LstvLayerName);
        subShowRuleCount();
    });
    connect(CmdResetLayerNameState, &QPushButton::clicked, this, [this] {
        resetList(*LstvLayerState);
        subShowStateCount();
    });
    connect(CmdKeywordReset, &QPushButton::clicked, this, [this] { resetList(*LstvKeyword); });
    connect(CmdResetDWGs, &QPushButton::clicked, this, [this] {
        resetList(*LstvDWGs);
        subShowDWGCount();
    });
    connect(CmdSelectAllLayerName, &QPushButton::clicked, this, [this] {
        selectAll(*LstvLayerName);
        subShowRuleCount();
    });
    connect(CmdSelectAllLayerNameState, &QPushButton::clicked, this, [this] {
        selectAll(*LstvLayerState);
        subShowStateCount();
    });
    connect(CmdSelectAllDWGs, &QPushButton::clicked, this, [this] { CmdSelectAllDWGs_Click(); });
    // Clicking rows changes the selection; the titles follow at once.
    connect(LstvLayerName, &QTreeWidget::itemSelectionChanged, this, [this] { subShowRuleCount(); });
    connect(LstvLayerState, &QTreeWidget::itemSelectionChanged, this, [this] { subShowStateCount(); });
    connect(LstvDWGs, &QTreeWidget::itemSelectionChanged, this, [this] { subShowDWGCount(); });
    connect(LstvDWGs, &FileDropList::filesDropped, this, [this](const QStringList& p) { LstvDWGs_Drop(p); });
    connect(CmdDWG, &QPushButton::clicked, this, [this] { CmdDWG_Click(); });
    connect(CmdBaseFile, &QPushButton::clicked, this, [this] { CmdBaseFile_Click(); });
    connect(CmdOpen, &QPushButton::clicked, this, [this] { CmdOpen_Click(); });
    connect(CmdEnv, &QPushButton::clicked, this, [this] { CmdEnv_Click(); });
    connect(CmdTagseek, &QPushButton::clicked, this, [this] { CmdTagseek_Click(); });
}

void frmMain::Form_Load() {
    subInitLstvLayerName(*LstvLayerName);
    subInitLstvLayerState(*LstvLayerState);
    subInitLstvDWGs(*LstvDWGs);
    subInitLstvKeyword(*LstvKeyword);
    subInitModeMenu();
    subInitFilters();
    subShowRuleCount();
    subShowStateCount();
    subShowDWGCount();
    resize(kWindowWidth, kWindowHeight);
    setFixedSize(kWindowWidth, kWindowHeight);
    addDrawingsOfRunningHost();
    subLoadSettings();
    scriptEnv = loadScriptEnv(kIniFileName);
    subSetMode(iMode);
    setWindowTitle(modeMenuText(iMode));
    CboFilterLayer_Change();
    CboFilterString_Change();
}

void frmMain::subInitModeMenu() {
    MenuMode->clear();
    for (int mode = 1; mode <= 4; ++mode) MenuMode->addAction(modeMenuText(mode))->setData(mode);
}

void frmMain::subInitFilters() {
    CboFilterLayer->clear();
    CboFilterLayer->addItem(kAllEntry);
    CboFilterLayer->setCurrentIndex(0);
    CboFilterString->clear();
    CboFilterString->addItems({kAllEntry, QStringLiteral("[0-9A-Za-z-/_]+")});
    CboFilterString->setCurrentIndex(0);
    for (QComboBox* box : {CboFilterLayerClass, CboFilterStringClass}) {
        box->clear();
        box->addItems(filterClassTexts());
        box->setCurrentIndex(0);
    }
}

// The drawings open in a running host join the list, all selected. Any host
// error here only means fewer drawings: the step never starts a host.
void frmMain::addDrawingsOfRunningHost() {
    host::ApplicationPtr app;
    bool found = false;
    if (!host::fun_bGetRunningHost(app, found) || !app) return;
    if (!host::skipError([&] { app->activeDocument(); })) return;
    auto documents = host::skipErrorValue([&] { return app->documents(); });
    if (!documents || !*documents) return;
    const int count = host::skipErrorValue([&] { return (*documents)->count(); }).value_or(0);
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        if (auto path = host::skipErrorValue([&] { return (*documents)->item(i)->fullName(); })) paths << *path;
    }
    subAddFiles(paths);
    CmdSelectAllDWGs_Click();
}

void frmMain::subLoadSettings() {
    const MainSettings s = loadMainSettings(kIniFileName);
    const QString iniPath = QDir::toNativeSeparators(QDir(support::programFolder()).filePath(kIniFileName));
    if (support::iniCreateFailed()) {
        support::MsgBox(QStringLiteral("設定ファイル %1 を作成できません。\r\n設定は保存されません。").arg(iniPath),
                        support::vbExclamation, support::kLaminorTitle);
    } else if (const qint64 size = support::iniTooLargeSize(); size > 0) {
        support::MsgBox(QStringLiteral("設定ファイル %1 は大きすぎるため (%2 バイト)、読み込みません。\r\n設定は保存されません。")
                            .arg(iniPath)
                            .arg(size),
                        support::vbExclamation, support::kLaminorTitle);
    }
    move(onScreen(QPoint(s.left / kTwipsPerPixel, s.top / kTwipsPerPixel), size()));
    iMode = s.mode;
    ChkOutputTextToCSV->setChecked(s.chkOutputTextToCSV);
    // An editable filter takes its list entry when the stored text is one,
    // else the text as typed.
    for (auto [box, text] : {std::pair{CboFilterLayer, s.cboFilterLayer}, std::pair{CboFilterString, s.cboFilterString}}) {
        const int index = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index >= 0)
            box->setCurrentIndex(index);
        else
            box->setEditText(text);
    }
    // A class list only takes one of its four entries; anything else (an INI
    // file edited by hand) leaves the first entry selected.
    for (auto [box, text] :
         {std::pair{CboFilterLayerClass, s.cboFilterLayerClass}, std::pair{CboFilterStringClass, s.cboFilterStringClass}}) {
        const int index = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        box->setCurrentIndex(index >= 0 ? index : 0);
    }
    ChkNum->setChecked(s.chkNum);
    TxtBaseFile->setText(s.txtBaseFile);
    TxtBaseFile_Change();
    ChkDWGSave->setChecked(s.chkDWGSave);
    LstvKeyword->clear();
    for (const auto& [keyword, replacement] : s.keywords) appendRow(*LstvKeyword, {keyword, replacement});
}

void frmMain::subSaveSettings() {
    MainSettings s;
    s.left = x() * kTwipsPerPixel;
    s.top = y() * kTwipsPerPixel;
    s.mode = iMode;
    s.chkOutputTextToCSV = ChkOutputTextToCSV->isChecked();
    s.cboFilterLayer = CboFilterLayer->currentText();
    s.cboFilterString = CboFilterString->currentText();
    s.cboFilterLayerClass = CboFilterLayerClass->currentText();
    s.cboFilterStringClass = CboFilterStringClass->currentText();
    s.chkNum = ChkNum->isChecked();
    s.txtBaseFile = TxtBaseFile->text();
    s.chkDWGSave = ChkDWGSave->isChecked();
    s.keywords.clear();
    for (int i = 0; i < LstvKeyword->topLevelItemCount(); ++i) {
        const QTreeWidgetItem& row = *LstvKeyword->topLevelItem(i);
        s.keywords.append({cellText(row, 1), cellText(row, 2)});
    }
    const QStringList failures = saveMainSettings(kIniFileName, s);
    if (!failures.isEmpty()) {
        support::MsgBox(QStringLiteral("設定の一部を保存できませんでした。\r\n") + failures.join(QStringLiteral("\r\n")),
                        support::vbExclamation, support::kLaminorTitle);
    }
}

void frmMain::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    subSaveSettings();
}

void frmMain::closeEvent(QCloseEvent* event) {
    closeRequested_ = true;
    Form_Unload();
    event->accept();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        for (auto [list, edit] : {std::pair{LstvLayerName, &frmMain::editLayerNameRow},
                                  std::pair{LstvLayerState, &frmMain::editLayerStateRow},
                                  std::pair{LstvKeyword, &frmMain::editKeywordRow}}) {
            if (watched != list->viewport() || mouse->button() != Qt::LeftButton) continue;
            if (!list->isEnabled() || list->itemAt(mouse->position().toPoint())) break;  // a row: itemDoubleClicked
            (this->*edit)();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::CmdCancel_Click() {
    close();
    services_.endProgram();
}

void frmMain::subSetMode(int mode) {
    if (mode < 1 || mode > 4) mode = 1;
    iMode = mode;
    QFrame* shown = mode == 1 ? Frame1 : mode == 2 ? Frame2 : mode == 3 ? Frame3 : Frame5;
    for (QFrame* frame : {Frame1, Frame2, Frame3, Frame5}) {
        if (frame == shown) {
            frame->move(kFrameLeft, kFrameTop);
            frame->setVisible(true);
        } else {
            frame->setVisible(false);
            frame->move(kHiddenFrameLeft, kFrameTop);
        }
    }
    updateRuleButtons();
    setWindowTitle(modeCaption(mode));
}

// Buttons 1 to 5 serve the rule lists of modes 1 and 2, and rest during a run.
void frmMain::updateRuleButtons() {
    for (int index : {1, 2, 4, 5}) toolbarButtons[static_cast<size_t>(index)]->setEnabled(iMode <= 2 && !running_);
}

void frmMain::Toolbar1_ButtonClick(int index) {
    switch (index) {
    case 1:
        // Loaded rules all take part in the next run.
        if (iMode <= 2 && subLoadRuleCSV()) {
            selectAll(activeRuleList());
            iMode == 1 ? subShowRuleCount() : subShowStateCount();
        }
        break;
    case 2:
        if (iMode <= 2 && subImportRuleExcel()) {
            selectAll(activeRuleList());
            iMode == 1 ? subShowRuleCount() : subShowStateCount();
            support::bringMainWindowToFront();
        }
        break;
    case 4:
        if (iMode <= 2) subSaveRuleCSV();
        break;
    case 5:
        if (iMode <= 2) subExportRuleExcel();
        break;
    case 9:
        showVersionWindow();
        break;
    default:
        break;
    }
}

void frmMain::ToolMode_Click() {
    if (running_) return;
    subSetMode(iMode >= 4 || iMode < 1 ? 1 : iMode + 1);
}

void frmMain::MenuMode_Click(int mode) {
    if (running_) return;
    iMode = mode;
    subSetMode(mode);
}

int frmMain::filterListIndex(const QComboBox& combo) {
    const int index = combo.currentIndex();
    return index >= 0 && combo.itemText(index) == combo.currentText() ? index : -1;
}

void frmMain::CboFilterLayer_Change() { CboFilterLayerClass->setVisible(filterListIndex(*CboFilterLayer) != 0); }

void frmMain::CboFilterString_Change() { CboFilterStringClass->setVisible(filterListIndex(*CboFilterString) != 0); }

void frmMain::TxtBaseFile_Change() {
    const QFileInfo file(TxtBaseFile->text());
    if (!TxtBaseFile->text().isEmpty() && file.isFile())
        LblBaseFile->setText(QStringLiteral("スクリプトベースファイル - ") + file.fileName());
    else
        LblBaseFile->setText(QStringLiteral("スクリプトベースファイル"));
}

void frmMain::showVersionWindow() {
    auto* dialog = new VersionDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    versionWindow_ = dialog;
    connect(dialog, &QObject::destroyed, this, [this, dialog] {
        if (versionWindow_ == dialog) versionWindow_ = nullptr;
    });
    dialog->open();
}

void frmMain::subShowRuleCount() { Label1->setText(countTitle(QStringLiteral("画層名の変更規則 - "), *LstvLayerName)); }

void frmMain::subShowStateCount() {
    Label4->setText(countTitle(QStringLiteral("画層状態の変更規則 - "), *LstvLayerState));
}

void frmMain::subShowDWGCount() { Label2->setText(countTitle(QStringLiteral("対象DWGファイル - "), *LstvDWGs)); }

support::OptionalListTable frmMain::keywordTable() const {
    const int n = LstvKeyword->topLevelItemCount();
    if (n == 0) return std::nullopt;
    support::ListTable table(n, 2);
    for (int i = 0; i < n; ++i) {
        table.set(i, 0, cellText(*LstvKeyword->topLevelItem(i), 1));
        table.set(i, 1, cellText(*LstvKeyword->topLevelItem(i), 2));
    }
    return table;
}

void frmMain::subExecute(int mode) {
    BatchInputs in;
    in.mode = mode;
    if (mode == 1) in.ruleTable = subGetLayerNameListSelected(*LstvLayerName);
    if (mode == 2) in.ruleTable = subGetLayerStateListSelected(*LstvLayerState);
    in.drawingTable = subGetDWGListSelected(*LstvDWGs);
    in.survey.outputText = ChkOutputTextToCSV->isChecked();
    in.survey.countObjects = ChkNum->isChecked();
    in.survey.layerFlags = filterFlags(CboFilterLayerClass->currentIndex());
    in.survey.textFlags = filterFlags(CboFilterStringClass->currentIndex());
    in.survey.layerFilter = filterListIndex(*CboFilterLayer) == 0 ? QString() : CboFilterLayer->currentText();
    in.survey.textFilter = filterListIndex(*CboFilterString) == 0 ? QString() : CboFilterString->currentText();
    in.baseFile = TxtBaseFile->text();
    in.env = scriptEnv;
    in.saveDrawings = ChkDWGSave->isChecked();
    in.keywordTable = keywordTable();

    // The script editor takes the place of the main window while it is open.
    DrawingOperations ops = operations;
    if (operations.showScriptEditor)
        ops.showScriptEditor = [this, editor = operations.showScriptEditor](const QString& script) {
            hide();
            editor(script);
            show();
            support::bringMainWindowToFront();
        };
    setRunning(true);
    mainwin::subExecute(in, ops,
               BatchContext{*status_, [] { support::yieldEvents(1); }, [this] { return closeRequested_; }});
    if (!closeRequested_) setRunning(false);
}

void frmMain::setRunning(bool running) {
    running_ = running;
    CmdExecute->setEnabled(!running);
    ToolMode->setEnabled(!running);
    for (QPushButton* b : {CmdAddRule, CmdDeleteRule, CmdResetLayerName, CmdSelectAllLayerName, CmdAddRuleState,
                           CmdDeleteRuleState, CmdResetLayerNameState, CmdSelectAllLayerNameState, CmdKeywordAdd,
                           CmdKeywordDel, CmdKeywordReset, CmdDWG, CmdSelectAllDWGs, CmdResetDWGs, CmdBaseFile, CmdEnv})
        b->setEnabled(!running);
    for (QTreeWidget* list : {static_cast<QTreeWidget*>(LstvLayerName), LstvLayerState,
                              static_cast<QTreeWidget*>(LstvDWGs), LstvKeyword})
        list->setEnabled(!running);
    // The caption stays: it changes with the mode and a rule file, not with a run.
    updateRuleButtons();
}

}  // namespace mainwin
