// The main window's controls: the toolbar with its nine buttons, the four
// mode frames, the drawing frame, the status line and the two commands.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

#include "main/FileDropList.h"
#include "main/ToolbarIcons.h"
#include "main/WindowGeometry.h"
#include "main/frmMain.h"

namespace mainwin {

using namespace geometry;

namespace {

QFrame* newFrame(QWidget* parent, const char* name, int top, int height) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(kFrameLeft, top, kFrameWidth, height);
    return frame;
}

template <class W>
W* place(W* widget, const char* name, int x, int y, int w, int h) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(x, y, w, h);
    return widget;
}

QLabel* newLabel(QWidget* parent, const char* name, const QString& text, int x, int y, int w, int h) {
    return place(new QLabel(text, parent), name, x, y, w, h);
}

QPushButton* newButton(QWidget* parent, const char* name, const QString& text, int x, int y, int w = kButtonWidth,
                       int h = kButtonHeight) {
    return place(new QPushButton(text, parent), name, x, y, w, h);
}

QPushButton* columnButton(QWidget* parent, const char* name, const QString& text, int row, int top = 24) {
    return newButton(parent, name, text, kButtonLeft, top + row * (kButtonHeight + 4));
}

}  // namespace

void frmMain::buildToolbar() {
    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setGeometry(0, 0, kWindowWidth, kFrameTop - 2);
    Toolbar1->setIconSize(QSize(20, 20));
    Toolbar1->setMovable(false);

    auto button = [this](int index, ToolbarIcon icon, const QString& tip) {
        QAction* a = Toolbar1->addAction(toolbarIcon(icon), tip);
        a->setToolTip(tip);
        a->setObjectName(QStringLiteral("Toolbar1_%1").arg(index));
        toolbarButtons[static_cast<size_t>(index)] = a;
        connect(a, &QAction::triggered, this, [this, index] { Toolbar1_ButtonClick(index); });
    };
    button(1, ToolbarIcon::OpenCsv, QStringLiteral("規則を記述したCSVﾌｧｲﾙを開く"));
    button(2, ToolbarIcon::ImportSheet, QStringLiteral("Excelシートから規則を読み込む"));
    toolbarButtons[3] = Toolbar1->addSeparator();
    button(4, ToolbarIcon::SaveCsv, QStringLiteral("規則をCSVﾌｧｲﾙに保存する"));
    button(5, ToolbarIcon::ExportSheet, QStringLiteral("規則をExcelﾌｧｲﾙに出力する"));
    toolbarButtons[6] = Toolbar1->addSeparator();

    ToolMode = new QToolButton(Toolbar1);
    ToolMode->setObjectName(QStringLiteral("Toolbar1_7"));
    ToolMode->setIcon(toolbarIcon(ToolbarIcon::ToolSelect));
    ToolMode->setToolTip(QStringLiteral("ツールの選択"));
    ToolMode->setPopupMode(QToolButton::MenuButtonPopup);
    MenuMode = new QMenu(ToolMode);
    ToolMode->setMenu(MenuMode);
    toolbarButtons[7] = Toolbar1->addWidget(ToolMode);
    connect(ToolMode, &QToolButton::clicked, this, [this] { ToolMode_Click(); });

    toolbarButtons[8] = Toolbar1->addSeparator();
    button(9, ToolbarIcon::Version, QStringLiteral("バージョン情報"));
}

void frmMain::buildFrames() {
    const QString add = QStringLiteral("追加"), del = QStringLiteral("削除"), reset = QStringLiteral("リセット"),
                  all = QStringLiteral("全て選択");
    const int listWidth = kButtonLeft - 8 - 8;

    Frame1 = newFrame(this, "Frame1", kFrameTop, kModeFrameHeight);
    Label1 = newLabel(Frame1, "Label1", QStringLiteral("画層名の変更規則"), 8, 4, 430, 18);
    LstvLayerName = place(new QTreeWidget(Frame1), "LstvLayerName", 8, 24, listWidth, kModeFrameHeight - 32);
    LstvLayerName->setToolTip(QStringLiteral("編集する場合は、ダブルクリックしてください。"));
    CmdAddRule = columnButton(Frame1, "CmdAddRule", add, 0);
    CmdDeleteRule = columnButton(Frame1, "CmdDeleteRule", del, 1);
    CmdResetLayerName = columnButton(Frame1, "CmdResetLayerName", reset, 2);
    CmdSelectAllLayerName = columnButton(Frame1, "CmdSelectAllLayerName", all, 3);

    Frame2 = newFrame(this, "Frame2", kFrameTop, kModeFrameHeight);
    Label4 = newLabel(Frame2, "Label4", QStringLiteral("画層状態の変更規則"), 8, 4, 430, 18);
    LstvLayerState = place(new QTreeWidget(Frame2), "LstvLayerState", 8, 24, listWidth, kModeFrameHeight - 32);
    CmdAddRuleState = columnButton(Frame2, "CmdAddRuleState", add, 0);
    CmdDeleteRuleState = columnButton(Frame2, "CmdDeleteRuleState", del, 1);
    CmdResetLayerNameState = columnButton(Frame2, "CmdResetLayerNameState", reset, 2);
    CmdSelectAllLayerNameState = columnButton(Frame2, "CmdSelectAllLayerNameState", all, 3);

    Frame3 = newFrame(this, "Frame3", kFrameTop, kModeFrameHeight);
    LblFilterLayer = newLabel(Frame3, "LblFilterLayer", QStringLiteral("画層の絞込み"), 10, 14, 96, 22);
    CboFilterLayer = place(new QComboBox(Frame3), "CboFilterLayer", 110, 12, 170, 24);
    CboFilterLayer->setEditable(true);
    CboFilterLayer->setInsertPolicy(QComboBox::NoInsert);
    CboFilterLayerClass = place(new QComboBox(Frame3), "CboFilterLayerClass", 286, 12, 240, 24);
    LblFilterString = newLabel(Frame3, "LblFilterString", QStringLiteral("文字列の絞込み"), 10, 46, 96, 22);
    CboFilterString = place(new QComboBox(Frame3), "CboFilterString", 110, 44, 170, 24);
    CboFilterString->setEditable(true);
    CboFilterString->setInsertPolicy(QComboBox::NoInsert);
    CboFilterStringClass = place(new QComboBox(Frame3), "CboFilterStringClass", 286, 44, 240, 24);
    Label8 = newLabel(Frame3, "Label8", QStringLiteral("絞込みには正規表現が利用できます"), 110, 72, 400, 18);
    ChkOutputTextToCSV = place(
        new QCheckBox(QStringLiteral("画層内のダイナミックテキストを「文字出力」シートへ出力"), Frame3),
        "ChkOutputTextToCSV", 10, 102, 510, 22);
    ChkNum = place(new QCheckBox(QStringLiteral("画層内にあるオブジェクトの数を計測する"), Frame3), "ChkNum", 10,
                   128, 510, 22);
    CmdTagseek = newButton(Frame3, "CmdTagseek", QStringLiteral("Pickwellを起動"), 10, 162, 130, 28);

    Frame5 = newFrame(this, "Frame5", kFrameTop, kModeFrameHeight);
    LstvKeyword = place(new QTreeWidget(Frame5), "LstvKeyword", 8, 8, listWidth, 84);
    CmdKeywordAdd = columnButton(Frame5, "CmdKeywordAdd", add, 0, 8);
    CmdKeywordDel = columnButton(Frame5, "CmdKeywordDel", del, 1, 8);
    CmdKeywordReset = columnButton(Frame5, "CmdKeywordReset", reset, 2, 8);
    ChkDWGSave = place(new QCheckBox(QStringLiteral("処理したDWGファイルを閉じる前に保存する"), Frame5),
                       "ChkDWGSave", 8, 97, 430, 22);
    LblBaseFile = newLabel(Frame5, "LblBaseFile", QStringLiteral("スクリプトベースファイル"), 8, 121, 430, 18);
    TxtBaseFile = place(new QLineEdit(Frame5), "TxtBaseFile", 8, 140, 389, 24);
    CmdBaseFile = newButton(Frame5, "CmdBaseFile", QStringLiteral("指定"), 401, 139, 46);
    CmdOpen = newButton(Frame5, "CmdOpen", QStringLiteral("開く"), kButtonLeft, 139);
    CmdEnv = newButton(Frame5, "CmdEnv", QStringLiteral("その他置換規則"), 8, 168, 120);
    Label6 = newLabel(Frame5, "Label6", QStringLiteral("・・・上記以外、ファイル名・画層名の置換規則やプリンタ名の指定"), 134,
                      168, 400, 26);

    const int drawingTop = kFrameTop + kModeFrameHeight + 4;
    Frame4 = newFrame(this, "Frame4", drawingTop, 170);
    Label2 = newLabel(Frame4, "Label2", QStringLiteral("対象DWGファイル"), 8, 4, 430, 18);
    LstvDWGs = place(new FileDropList(Frame4), "LstvDWGs", 8, 24, listWidth, 138);
    LstvDWGs->setToolTip(QStringLiteral(
        "ドラック＆ドロップに対応しています。エクスプローラからDWGファイルをドラック＆ドロップして下さい。"));
    CmdDWG = columnButton(Frame4, "CmdDWG", QStringLiteral("DWG指定"), 0);
    CmdSelectAllDWGs = columnButton(Frame4, "CmdSelectAllDWGs", all, 1);
    CmdResetDWGs = columnButton(Frame4, "CmdResetDWGs", reset, 2);

    const int bottom = drawingTop + 170 + 6;
    Label3 = newLabel(this, "Label3", QString(), 8, bottom + 2, 350, 24);
    CmdExecute = newButton(this, "CmdExecute", QStringLiteral("実行"), kWindowWidth - 2 * 88 - 4, bottom, 84, 28);
    CmdCancel = newButton(this, "CmdCancel", QStringLiteral("閉じる"), kWindowWidth - 88 - 2, bottom, 84, 28);
}

}  // namespace mainwin
