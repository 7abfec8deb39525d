#include "tagseek/frmMain.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include "host/HostWindow.h"
#include "host/SkipError.h"
#include "support/Ini.h"
#include "support/MessageBox.h"
#include "tagseek/HandleSearch.h"
#include "tagseek/WindowPlacement.h"
#include "tagseek/frmMsg.h"

namespace tagseek {

namespace {
const QString kSection = QStringLiteral("Main");
const QString kDropHere = QStringLiteral("ハンドル値をここにドラック＆ドロップしてください");

// The stored width and height are the outer size of the window, which adds a
// frame of 75 × 390 twips to the client area that the layout below works in.
constexpr int kFrameWidthTwips = 75, kFrameHeightTwips = 390;
constexpr int kStatusHeight = 22;
// The resize rule, in client pixels: the list leaves 3 pixels on the right and
// 42 pixels for the controls above and the status bar below it.
constexpr int kListTop = 20, kListRightGap = 3, kListHeightGap = 42, kListLeast = 2;
constexpr int kResetFromRight = 54, kExecuteFromRight = 108;
constexpr int kLeastClientHeight = (1050 - kFrameHeightTwips) / kTwipsPerPixel;

// Whether the drop carries plain text. Qt also offers dropped files as text
// (their URLs); files are not handles.
bool hasPlainText(const QMimeData& data) {
    for (const QString& format : data.formats())
        if (format == u"text/plain" || format.startsWith(u"text/plain;")) return true;
    return false;
}
}  // namespace

frmMain::frmMain(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmMain"));
    setFont(tagseekFont());

    ChkDropFind = new QCheckBox(QStringLiteral("ﾄﾞﾛｯﾌﾟ＆検索"), this);
    ChkDropFind->setObjectName(QStringLiteral("ChkDropFind"));
    ChkDropFind->setGeometry(2, 2, 101, 19);
    CmdExecute = new QPushButton(QStringLiteral("検索(&F)"), this);
    CmdExecute->setObjectName(QStringLiteral("CmdExecute"));
    CmdExecute->setGeometry(112, 4, 49, 17);
    CmdExecute->setToolTip(kDropHere);
    CmdExecute->setAcceptDrops(true);
    CmdReset = new QPushButton(QStringLiteral("ﾘｾｯﾄ(&R)"), this);
    CmdReset->setObjectName(QStringLiteral("CmdReset"));
    CmdReset->setGeometry(162, 4, 51, 17);
    LstvHandle = new QTreeWidget(this);
    LstvHandle->setObjectName(QStringLiteral("LstvHandle"));
    LstvHandle->setGeometry(0, kListTop, 213, 159);
    LstvHandle->setToolTip(kDropHere);
    LstvHandle->setAcceptDrops(true);
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);

    for (QObject* control : {static_cast<QObject*>(ChkDropFind), static_cast<QObject*>(CmdExecute),
                             static_cast<QObject*>(CmdReset), static_cast<QObject*>(LstvHandle)})
        control->installEventFilter(this);
    LstvHandle->viewport()->installEventFilter(this);

    connect(CmdExecute, &QPushButton::clicked, this, [this] { CmdExecute_Click(); });
    connect(CmdReset, &QPushButton::clicked, this, [this] { CmdReset_Click(); });
    connect(ChkDropFind, &QCheckBox::clicked, this, [this] { ChkDropFind_Click(); });

    setMinimumHeight(kLeastClientHeight);
    Form_Load();
}

void frmMain::Form_Load() {
    subLoadMainIni();
    setWindowTitle(kTagseekTitle);
    subInitLstvHandle();
    // A host that is not running now is looked for again at the first search.
    fun_bConnectRunningHost(oAcadApp);
}

void frmMain::subLoadMainIni() {
    auto number = [](const char* key, int def) {
        return support::GetINI(kIniFileName, kSection, QString::fromLatin1(key), def, true).toInt();
    };
    const int top = number("Top", 0), left = number("Left", 0);
    const int width = number("Width", 3360), height = number("Height", 3525);
    resize(std::max(1, (width - kFrameWidthTwips) / kTwipsPerPixel),
           std::max(kLeastClientHeight, (height - kFrameHeightTwips) / kTwipsPerPixel));
    move(onScreen(QPoint(left / kTwipsPerPixel, top / kTwipsPerPixel), size()));
    Form_Resize();  // the controls follow the size at once, as the list's column does
    ChkDropFind->setChecked(
        support::GetINI(kIniFileName, kSection, QStringLiteral("ChkDropFind"), QStringLiteral("T"), false).toString() ==
        u"T");
}

void frmMain::subSaveMainIni() {
    auto write = [](const char* key, const QVariant& value) {
        support::WriteINI(kIniFileName, kSection, QString::fromLatin1(key), value);
    };
    write("Top", y() * kTwipsPerPixel);
    write("Left", x() * kTwipsPerPixel);
    write("Width", width() * kTwipsPerPixel + kFrameWidthTwips);
    write("Height", height() * kTwipsPerPixel + kFrameHeightTwips);
    write("ChkDropFind", ChkDropFind->isChecked() ? QStringLiteral("T") : QStringLiteral("F"));
}

void frmMain::subInitLstvHandle() {
    LstvHandle->setColumnCount(1);
    LstvHandle->setHeaderLabels({QStringLiteral("AutoCADﾊﾝﾄﾞﾙ値")});
    LstvHandle->setRootIsDecorated(false);
    LstvHandle->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LstvHandle->setUniformRowHeights(true);
    LstvHandle->header()->setStretchLastSection(false);
    LstvHandle->setColumnWidth(0, int(LstvHandle->width() * 0.9));
}

void frmMain::resizeEvent(QResizeEvent*) { Form_Resize(); }

void frmMain::Form_Resize() {
    if (isMinimized()) return;
    const int w = width(), h = height();
    LstvHandle->setGeometry(0, kListTop, std::max(1, w - kListRightGap), std::max(kListLeast, h - kListHeightGap));
    CmdReset->move(w - kResetFromRight, CmdReset->y());
    CmdExecute->move(w - kExecuteFromRight, CmdExecute->y());
    StatusBar1->setGeometry(0, h - kStatusHeight, w, kStatusHeight);
}

void frmMain::closeEvent(QCloseEvent* e) {
    subSaveMainIni();
    e->accept();
}

void frmMain::changeEvent(QEvent* e) {
    // Every activation makes the window topmost again: the hint can be lost
    // while the host is in front.
    if (e->type() == QEvent::ActivationChange && isVisible() && isActiveWindow()) host::subSetTopmost(this);
    QWidget::changeEvent(e);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    const bool dropTarget = watched == LstvHandle->viewport() || watched == CmdExecute;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
        if (!dropTarget) break;
        static_cast<QDropEvent*>(event)->acceptProposedAction();
        return true;
    case QEvent::Drop: {
        if (!dropTarget) break;
        auto* drop = static_cast<QDropEvent*>(event);
        drop->acceptProposedAction();
        // The search shows dialogs and waits for the user; it runs after the
        // drop has finished so that the program the text came from is not
        // held waiting for the end of the drag meanwhile.
        auto data = std::make_shared<QMimeData>();
        if (hasPlainText(*drop->mimeData())) data->setText(drop->mimeData()->text());
        QTimer::singleShot(0, this, [this, data] { subSearchDropped(*data); });
        return true;
    }
    case QEvent::KeyPress: {
        if (watched == LstvHandle->viewport()) break;
        auto* key = static_cast<QKeyEvent*>(event);
        if (subSelectAllKey(key->key(), key->modifiers())) return true;
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

bool frmMain::subSelectAllKey(int key, Qt::KeyboardModifiers shift) {
    const Qt::KeyboardModifiers held = shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (key != Qt::Key_A || held != Qt::ControlModifier) return false;
    LstvHandle->selectAll();
    return true;
}

// Connecting before a search: the running host, or a message and nothing done.
bool frmMain::fun_bConnect() {
    if (!fun_bConnectRunningHost(oAcadApp)) {
        support::MsgBox(QStringLiteral("AutoCAD（レギュラー版）が見つかりません。\r\n"
                                       "ドロップしたハンドルを含むAutoCAD図面をアクティブにしてから実行してください。"),
                        support::vbCritical, kTagseekTitle);
        return false;
    }
    hide();
    host::skipError([&] { oAcadApp->activateWindow(); });
    return true;
}

// The window comes back, on top, after a search.
void frmMain::comeBack() {
    show();
    host::subSetTopmost(this);
}

bool frmMain::searchAndAsk(const QString& sHandle, int k, int n, bool activateHostWhenFound) {
    QString text = sHandle;
    const bool found = fun_bSearchHandle(oAcadApp, text);
    if (found && activateHostWhenFound) host::skipError([&] { oAcadApp->activateWindow(); });
    return frmMsg::pu_fun_bFromShow(resultMessage(found, text, k, n), found ? kIconFound : kIconNotFound, oAcadApp);
}

void frmMain::subSearchDropped(const QMimeData& data) {
    if (!fun_bConnect()) return;
    if (hasPlainText(data)) {
        const DroppedHandles dropped = splitDroppedText(data.text());
        int k = 0;
        bool goOn = true;
        for (const QString& piece : dropped.pieces) {
            if (piece.isEmpty()) continue;
            new QTreeWidgetItem(LstvHandle, {piece});
            if (ChkDropFind->isChecked() && goOn) {
                ++k;
                goOn = searchAndAsk(piece, k, dropped.n, false);
            }
        }
    }
    comeBack();
}

void frmMain::CmdExecute_Click() {
    LstvHandle->setFocus();
    if (!fun_bConnect()) return;
    QStringList selected;
    for (int i = 0; i < LstvHandle->topLevelItemCount(); ++i)
        if (LstvHandle->topLevelItem(i)->isSelected()) selected << LstvHandle->topLevelItem(i)->text(0);
    const int n = int(selected.size());
    int k = 0;
    for (const QString& handle : selected) {
        ++k;
        if (!searchAndAsk(handle, k, n, true)) break;
    }
    comeBack();
}

void frmMain::CmdReset_Click() {
    LstvHandle->setFocus();
    for (int i = LstvHandle->topLevelItemCount() - 1; i >= 0; --i) delete LstvHandle->takeTopLevelItem(i);
}

void frmMain::ChkDropFind_Click() { LstvHandle->setFocus(); }

}  // namespace tagseek
