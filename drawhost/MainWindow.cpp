#include "MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "DrawingPage.h"
#include "DrawingView.h"
#include "Icons.h"
#include "LayerPanel.h"
#include "SceneText.h"
#include "drawhost/AutomationServer.h"
#include "engine/Drawing.h"

namespace drawhost {

namespace {
constexpr int kQuietMs = 200;      // the view is built once automation requests pause this long
constexpr double kSliceMs = 15;    // and a slice at a time, so that a request waits at most this long
constexpr int kRecentFiles = 8;

QSettings settings() {
    return QSettings(QCoreApplication::applicationDirPath() + QStringLiteral("/drawhost.ini"), QSettings::IniFormat);
}

QString number(double v) { return QString::number(v, 'g', 12); }
}  // namespace

MainWindow::MainWindow(std::shared_ptr<host::InProcessHost> host, QWidget* parent)
    : QMainWindow(parent), host_(std::move(host)) {
    commandLine_ = std::make_unique<CommandLine>(host_, this);

    tabs_ = new QTabWidget;
    tabs_->setDocumentMode(true);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (syncing_ || index < 0) return;
        rebuildTimer_->start();
        layersDirty_ = true;
        for (auto it = pages_.begin(); it != pages_.end(); ++it)
            if (it.value() == tabs_->widget(index))
                for (const auto& doc : host_->documents())
                    if (doc.get() == it.key()) host_->setActiveDocument(doc);
    });

    history_ = new QPlainTextEdit;
    history_->setReadOnly(true);
    history_->setMaximumBlockCount(5000);
    history_->setFocusPolicy(Qt::NoFocus);
    prompt_ = new QLabel(commandLine_->prompt());
    input_ = new QLineEdit;
    input_->installEventFilter(this);
    auto* commandArea = new QWidget;
    auto* commandLayout = new QVBoxLayout(commandArea);
    commandLayout->setContentsMargins(2, 2, 2, 2);
    commandLayout->addWidget(history_);
    auto* inputRow = new QHBoxLayout;
    inputRow->addWidget(prompt_);
    inputRow->addWidget(input_, 1);
    commandLayout->addLayout(inputRow);

    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(tabs_);
    split->addWidget(commandArea);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    split->setSizes({560, 160});
    setCentralWidget(split);

    layers_ = new LayerPanel;
    connect(layers_, &LayerPanel::commandRequested, this, [this](const QString& keys) {
        commandLine_->type(keys);
        input_->setFocus();
    });
    auto* dock = new QDockWidget(QStringLiteral("Layers"));
    dock->setObjectName(QStringLiteral("layers"));
    dock->setWidget(layers_);
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable | QDockWidget::DockWidgetClosable);
    addDockWidget(Qt::RightDockWidgetArea, dock);
    resizeDocks({dock}, {420}, Qt::Horizontal);

    status_ = new QLabel;
    coordinates_ = new QLabel;
    progress_ = new QLabel;
    statusBar()->addWidget(status_, 1);
    statusBar()->addPermanentWidget(progress_);
    statusBar()->addPermanentWidget(coordinates_);

    // Batches of automation calls change a drawing many times in a row; the
    // view and the layer panel follow once the calls pause, a slice at a time.
    rebuildTimer_ = new QTimer(this);
    rebuildTimer_->setSingleShot(true);
    rebuildTimer_->setInterval(kQuietMs);
    connect(rebuildTimer_, &QTimer::timeout, this, &MainWindow::rebuildDirtyViews);

    connect(commandLine_.get(), &CommandLine::output, this, [this](const QString& line) { history_->appendPlainText(line); });
    connect(commandLine_.get(), &CommandLine::promptChanged, this, [this](const QString& p) {
        prompt_->setText(p);
        followPrompt();
    });
    connect(commandLine_.get(), &CommandLine::commandDone, this, [this] {
        host::AutomationServer::noteChange();
        refreshStatus();
        // A command typed or clicked shows its layer changes at once, so that
        // the next click in the layer panel acts on what the drawing now holds.
        if (layersDirty_ && !commandLine_->inScript()) refreshLayers();
        // -LAYOUT may have made another layout current.
        if (auto doc = host_->activeDocument())
            if (DrawingPage* page = pages_.value(doc.get())) page->showLayout(doc->currentLayout);
    });
    connect(commandLine_.get(), &CommandLine::quitRequested, this, &QWidget::close, Qt::QueuedConnection);

    buildMenus();
    resize(1280, 820);
    documentsChanged();
    input_->setFocus();
    // The text font and its measures, ready before the first drawing is shown.
    QTimer::singleShot(0, this, [] { TextMetrics::instance(); });
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenus() {
    // Each item types its command, Escape first (as menu macros cancel
    // whatever was pending).
    auto command = [this](QMenu* menu, const QString& text, const QString& keys, const QKeySequence& shortcut = {},
                          std::optional<IconKind> kind = std::nullopt) {
        QAction* action = menu->addAction(text);
        if (kind) action->setIcon(icon(*kind));
        action->setShortcut(shortcut);
        action->setData(keys);
        action->setToolTip(QStringLiteral("%1 (%2)").arg(QString(text).remove(u'&').remove(QStringLiteral("...")),
                                                        QString(keys).replace(u'\r', u' ').trimmed()));
        connect(action, &QAction::triggered, this, [this, keys] { runCommand(keys); });
        return action;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* open = command(file, QStringLiteral("&Open..."), QStringLiteral("OPEN\r"), QKeySequence::Open, IconKind::Open);
    QAction* save = command(file, QStringLiteral("&Save"), QStringLiteral("QSAVE\r"), QKeySequence::Save, IconKind::Save);
    command(file, QStringLiteral("Save &As..."), QStringLiteral("SAVEAS\r"), QKeySequence::SaveAs);
    command(file, QStringLiteral("&Close"), QStringLiteral("CLOSE\r"), QKeySequence::Close);
    file->addSeparator();
    recentMenu_ = file->addMenu(QStringLiteral("&Recent Files"));
    file->addSeparator();
    command(file, QStringLiteral("&Quit"), QStringLiteral("QUIT\r"), QKeySequence::Quit);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* extents = command(view, QStringLiteral("Zoom &Extents"), QStringLiteral("ZOOM\rE\r"), QKeySequence(Qt::Key_Home),
                               IconKind::ZoomExtents);
    QAction* window = command(view, QStringLiteral("Zoom &Window"), QStringLiteral("ZOOM\rW\r"), {}, IconKind::ZoomWindow);
    QAction* previous = command(view, QStringLiteral("Zoom &Previous"), QStringLiteral("ZOOM\rP\r"),
                                QKeySequence(Qt::ALT | Qt::Key_Left), IconKind::ZoomPrevious);
    QAction* pan = command(view, QStringLiteral("P&an"), QStringLiteral("PAN\r"), {}, IconKind::Pan);
    view->addSeparator();
    QAction* regen = command(view, QStringLiteral("&Regen"), QStringLiteral("REGEN\r"), QKeySequence(Qt::Key_F5), IconKind::Regen);
    view->addSeparator();
    lineweightAction_ = view->addAction(icon(IconKind::Lineweight), QStringLiteral("&Lineweights"));
    lineweightAction_->setCheckable(true);
    lineweightAction_->setToolTip(QStringLiteral("Show lineweights (LWDISPLAY)"));
    connect(lineweightAction_, &QAction::triggered, this, [this](bool on) {
        lineweightAction_->setChecked(lineweights_);  // the command sets it
        runCommand(QStringLiteral("LWDISPLAY\r%1\r").arg(on ? QStringLiteral("On") : QStringLiteral("Off")));
    });
    view->addSeparator();
    view->addAction(findChild<QDockWidget*>(QStringLiteral("layers"))->toggleViewAction());

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    command(help, QStringLiteral("&Commands"), QStringLiteral("HELP\r"), QKeySequence::HelpContents, IconKind::Help);
    help->addAction(QStringLiteral("&About drawhost"), this, [this] {
        QMessageBox::about(this, QStringLiteral("About drawhost"),
                           QStringLiteral("drawhost, the drawing host of Laminor.\n\nIt opens DXF and DWG drawings, shows them, "
                                          "runs commands typed or from scripts and serves the automation socket."));
    });

    auto* bar = addToolBar(QStringLiteral("Standard"));
    bar->setObjectName(QStringLiteral("standard"));
    bar->setIconSize(QSize(22, 22));
    bar->addActions({open, save});
    bar->addSeparator();
    bar->addActions({extents, window, previous, pan, regen});
    bar->addSeparator();
    bar->addAction(lineweightAction_);
    refreshRecent();
}

void MainWindow::refreshRecent() {
    recentMenu_->clear();
    const QStringList files = settings().value(QStringLiteral("RecentFiles")).toStringList();
    for (const QString& path : files) {
        QAction* a = recentMenu_->addAction(QFileInfo(path).fileName());
        a->setToolTip(path);
        a->setData(path);
        connect(a, &QAction::triggered, this, [this, path] { runCommand(QStringLiteral("-OPEN\r\"%1\"\r").arg(path)); });
    }
    recentMenu_->setEnabled(!files.isEmpty());
}

void MainWindow::runCommand(const QString& keys) {
    commandLine_->type(QStringLiteral("\x1b") + keys);
    input_->setFocus();
}

QString MainWindow::captionText() const {
    auto doc = host_->activeDocument();
    if (!doc) return QStringLiteral("drawhost");
    return QStringLiteral("drawhost - [%1]").arg(doc->fullName.isEmpty() ? doc->name : doc->fullName);
}

void MainWindow::deferRedraw() {
    lastRequest_.start();
    if (rebuildTimer_->isActive()) rebuildTimer_->start(kQuietMs);
}

void MainWindow::setServerStatus(const QString& text) {
    serverStatus_ = text;
    refreshStatus();
}

void MainWindow::refreshStatus() {
    status_->setText(QStringLiteral("Drawings: %1    FILEDIA: %2    %3")
                         .arg(host_->documents().size())
                         .arg(commandLine_->filedia())
                         .arg(serverStatus_));
}

DrawingPage* MainWindow::activePage() const { return qobject_cast<DrawingPage*>(tabs_->currentWidget()); }

DrawingView* MainWindow::activeView() const {
    DrawingPage* page = activePage();
    return page ? page->currentView() : nullptr;
}

bool MainWindow::viewsReady() const {
    DrawingPage* page = activePage();
    return !page || (!page->dirty() && !layersDirty_);
}

// A command asking for a point lets the view pick it (and show the window being drawn).
void MainWindow::followPrompt() {
    QPointF from(qQNaN(), qQNaN());
    const bool wants = commandLine_->wantsPoint(&from);
    for (DrawingPage* page : std::as_const(pages_))
        if (DrawingView* view = page->currentView())
            view->setPicking(wants, wants && !qIsNaN(from.x()) ? std::optional<QPointF>(from) : std::nullopt);
}

void MainWindow::documentsChanged() {
    syncing_ = true;
    // Drop the tabs of closed drawings, add tabs for new ones, in the host's order.
    for (auto it = pages_.begin(); it != pages_.end();) {
        bool open = false;
        for (const auto& doc : host_->documents()) open = open || doc.get() == it.key();
        if (!open) {
            tabs_->removeTab(tabs_->indexOf(it.value()));
            it.value()->deleteLater();
            it = pages_.erase(it);
        } else {
            ++it;
        }
    }
    QStringList recent = settings().value(QStringLiteral("RecentFiles")).toStringList();
    const QStringList before = recent;
    for (const auto& doc : host_->documents()) {
        if (DrawingPage* existing = pages_.value(doc.get())) {
            tabs_->setTabText(tabs_->indexOf(existing), doc->name);  // SAVEAS renames it
        } else {
            auto* page = new DrawingPage(doc);
            page->setLineweights(lineweights_);
            connect(page, &DrawingPage::layoutChosen, this, [this](const QString& name) {
                runCommand(QStringLiteral("-LAYOUT\rS\r%1\r").arg(name));
            });
            connect(page, &DrawingPage::pointPicked, this, [this](const QPointF& p) {
                if (commandLine_->wantsPoint()) commandLine_->type(QStringLiteral("%1,%2\r").arg(number(p.x()), number(p.y())));
            });
            connect(page, &DrawingPage::cursorMoved, this, [this](const QPointF& p) {
                coordinates_->setText(QStringLiteral("%1, %2").arg(p.x(), 0, 'f', 2).arg(p.y(), 0, 'f', 2));
            });
            pages_.insert(doc.get(), page);
            tabs_->addTab(page, doc->name);
        }
        if (!doc->fullName.isEmpty()) {
            recent.removeAll(doc->fullName);
            recent.prepend(doc->fullName);
        }
    }
    if (auto active = host_->activeDocument()) tabs_->setCurrentWidget(pages_.value(active.get()));
    syncing_ = false;
    if (recent != before) {
        settings().setValue(QStringLiteral("RecentFiles"), recent.mid(0, kRecentFiles));
        refreshRecent();
    }
    setWindowTitle(captionText());
    host::AutomationServer::noteChange();
    layersDirty_ = true;
    rebuildTimer_->start();
    refreshStatus();
    followPrompt();
}

void MainWindow::drawingChanged(dxf::Drawing* drawing) {
    host::AutomationServer::noteChange();
    for (const auto& doc : host_->documents())
        if (doc->drawing.get() == drawing)
            if (DrawingPage* page = pages_.value(doc.get())) page->markDirty();
    layersDirty_ = true;
    rebuildTimer_->start();
}

void MainWindow::refreshLayers() {
    layersDirty_ = false;
    auto doc = host_->activeDocument();
    layers_->showLayers(doc ? doc->drawing.get() : nullptr);
    if (DrawingPage* page = activePage()) page->refreshLayers();
}

// The view on show and the layer panel follow the drawing, once automation
// requests pause; other drawings' views wait until their tab comes up, and
// nothing is built while the window is minimised.
void MainWindow::rebuildDirtyViews() {
    if (isMinimized() || !isVisible()) return;
    if (lastRequest_.isValid() && lastRequest_.elapsed() < kQuietMs) {
        rebuildTimer_->start(int(kQuietMs - lastRequest_.elapsed()));
        return;
    }
    DrawingPage* page = activePage();
    auto doc = host_->activeDocument();
    if (layersDirty_) refreshLayers();
    if (page && page->dirty()) {
        if (!page->build(kSliceMs)) {
            progress_->setText(QStringLiteral("Building view %1%").arg(int(page->buildProgress() * 100)));
            rebuildTimer_->start(0);
            return;
        }
        if (doc) page->showLayout(doc->currentLayout);
        followPrompt();
    }
    progress_->clear();
}

bool MainWindow::chooseFile(const QString& title, const QString& filter, std::function<void(QString)> done) {
    if (!isVisible()) return false;
    auto* dialog = new QFileDialog(this, title, QString(), filter);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Not modal in the event-loop sense: automation requests keep being served meanwhile.
    connect(dialog, &QFileDialog::fileSelected, this, [done](const QString& path) { done(path); });
    connect(dialog, &QFileDialog::rejected, this, [done] { done(QString()); });
    dialog->setWindowModality(Qt::WindowModal);
    dialog->show();
    return true;
}

bool MainWindow::chooseSaveFile(const QString& title, const QString& filter, const QString& suggested,
                                std::function<void(QString)> done) {
    if (!isVisible()) return false;
    auto* dialog = new QFileDialog(this, title, suggested, filter);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("dxf"));
    dialog->selectFile(suggested);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [done](const QString& path) { done(path); });
    connect(dialog, &QFileDialog::rejected, this, [done] { done(QString()); });
    dialog->setWindowModality(Qt::WindowModal);
    dialog->show();
    return true;
}

void MainWindow::zoomExtents() {
    if (auto* v = activeView()) v->zoomExtents();
}

void MainWindow::zoomWindow(double x1, double y1, double x2, double y2) {
    if (auto* v = activeView()) v->zoomWindow(QRectF(QPointF(x1, y1), QPointF(x2, y2)));
}

void MainWindow::zoomScaled(double scale, bool relative) {
    if (auto* v = activeView()) v->zoomScaled(scale, relative);
}

bool MainWindow::zoomPrevious() {
    auto* v = activeView();
    return v && v->zoomPrevious();
}

void MainWindow::pan(double dx, double dy) {
    if (auto* v = activeView()) v->pan(QPointF(dx, dy));
}

void MainWindow::setLineweights(bool on) {
    lineweights_ = on;
    lineweightAction_->setChecked(on);
    for (DrawingPage* page : std::as_const(pages_)) page->setLineweights(on);
}

QRectF MainWindow::visibleWorld() const {
    auto* v = activeView();
    return v ? v->visibleWorld() : QRectF();
}

void MainWindow::submitInput(const QString& terminator) {
    const QString text = input_->text();
    if (!text.isEmpty()) {
        inputHistory_.append(text);
        historyPos_ = int(inputHistory_.size());
    }
    input_->clear();
    commandLine_->type(text + terminator);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != input_ || event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        submitInput(QStringLiteral("\r"));
        return true;
    case Qt::Key_Space:
        // Inside an open quote a space belongs to the word (a path with spaces),
        // and so it does where the prompt takes a whole line (a device name).
        if (input_->text().count(u'"') % 2 == 1 || commandLine_->answerTakesSpaces()) return false;
        submitInput(QStringLiteral(" "));
        return true;
    case Qt::Key_Escape:
        input_->clear();
        commandLine_->type(QStringLiteral("\x1b"));
        return true;
    case Qt::Key_Up:
        if (historyPos_ > 0) input_->setText(inputHistory_.value(--historyPos_));
        return true;
    case Qt::Key_Down:
        if (historyPos_ < inputHistory_.size()) ++historyPos_;
        input_->setText(inputHistory_.value(historyPos_));
        return true;
    default:
        return false;
    }
}

void MainWindow::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    // Back from minimised: catch up with what changed meanwhile.
    if (e->type() == QEvent::WindowStateChange && !isMinimized()) rebuildTimer_->start(0);
}

void MainWindow::closeEvent(QCloseEvent* e) {
    QStringList changed;
    for (const auto& doc : host_->documents())
        if (doc->drawing && doc->drawing->dirty()) changed << doc->name;
    if (changed.isEmpty()) return e->accept();
    const auto answer = QMessageBox::question(
        this, QStringLiteral("drawhost"),
        QStringLiteral("Save changes to these drawings?\n%1").arg(changed.join(u'\n')),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel) return e->ignore();
    if (answer == QMessageBox::Save) {
        for (const auto& doc : std::vector(host_->documents())) {
            if (!doc->drawing || !doc->drawing->dirty()) continue;
            try {
                host_->save(doc);
            } catch (const host::HostError& err) {
                QMessageBox::critical(this, QStringLiteral("drawhost"), err.description());
                return e->ignore();
            }
        }
    }
    e->accept();
}

}  // namespace drawhost
