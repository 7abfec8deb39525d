#include "MainWindow.h"

#include <QCloseEvent>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "DrawingView.h"
#include "drawhost/AutomationServer.h"
#include "engine/Drawing.h"

namespace drawhost {

namespace {
constexpr int kQuietMs = 200;  // changes are drawn once they pause this long
constexpr qint64 kLongestQuietMs = 10000;
}

MainWindow::MainWindow(std::shared_ptr<host::InProcessHost> host, QWidget* parent)
    : QMainWindow(parent), host_(std::move(host)) {
    commandLine_ = std::make_unique<CommandLine>(host_, this);

    tabs_ = new QTabWidget;
    tabs_->setDocumentMode(true);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (syncing_ || index < 0) return;
        rebuildTimer_->start();
        for (auto it = views_.begin(); it != views_.end(); ++it)
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
    split->setSizes({560, 180});
    setCentralWidget(split);

    layers_ = new QTreeWidget;
    layers_->setHeaderLabels({QStringLiteral("Layer"), QStringLiteral("On"), QStringLiteral("Frozen"),
                              QStringLiteral("Locked"), QStringLiteral("Color"), QStringLiteral("Linetype"),
                              QStringLiteral("Lineweight"), QStringLiteral("Plot")});
    layers_->setRootIsDecorated(false);
    layers_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* dock = new QDockWidget(QStringLiteral("Layers"));
    dock->setObjectName(QStringLiteral("layers"));
    dock->setWidget(layers_);
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    addDockWidget(Qt::RightDockWidgetArea, dock);
    resizeDocks({dock}, {400}, Qt::Horizontal);

    status_ = new QLabel;
    statusBar()->addWidget(status_, 1);

    // Batches of automation calls change a drawing many times in a row; the
    // view and the layer panel are rebuilt once the calls pause, not after
    // each one (a rebuild of a large drawing costs far more than a call).
    rebuildTimer_ = new QTimer(this);
    rebuildTimer_->setSingleShot(true);
    rebuildTimer_->setInterval(kQuietMs);
    connect(rebuildTimer_, &QTimer::timeout, this, &MainWindow::rebuildDirtyViews);

    connect(commandLine_.get(), &CommandLine::output, this, [this](const QString& line) { history_->appendPlainText(line); });
    connect(commandLine_.get(), &CommandLine::promptChanged, this, [this](const QString& p) { prompt_->setText(p); });
    connect(commandLine_.get(), &CommandLine::commandDone, this, [this] {
        host::AutomationServer::noteChange();
        refreshStatus();
    });

    resize(1200, 800);
    documentsChanged();
    input_->setFocus();
}

MainWindow::~MainWindow() = default;

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

DrawingView* MainWindow::activeView() const { return qobject_cast<DrawingView*>(tabs_->currentWidget()); }

void MainWindow::documentsChanged() {
    syncing_ = true;
    // Drop the tabs of closed drawings, add tabs for new ones, in the host's order.
    for (auto it = views_.begin(); it != views_.end();) {
        bool open = false;
        for (const auto& doc : host_->documents()) open = open || doc.get() == it.key();
        if (!open) {
            dirty_.remove(it.value());
            buildCost_.remove(it.value());
            tabs_->removeTab(tabs_->indexOf(it.value()));
            it.value()->deleteLater();
            it = views_.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto& doc : host_->documents()) {
        if (views_.contains(doc.get())) continue;
        auto* view = new DrawingView;
        views_.insert(doc.get(), view);
        dirty_.insert(view, true);
        tabs_->addTab(view, doc->name);
    }
    if (auto active = host_->activeDocument()) tabs_->setCurrentWidget(views_.value(active.get()));
    syncing_ = false;
    setWindowTitle(captionText());
    host::AutomationServer::noteChange();
    layersDirty_ = true;
    rebuildTimer_->start();
    refreshStatus();
}

void MainWindow::drawingChanged(dxf::Drawing* drawing) {
    host::AutomationServer::noteChange();
    for (const auto& doc : host_->documents())
        if (doc->drawing.get() == drawing) dirty_.insert(views_.value(doc.get()), true);
    layersDirty_ = true;
    rebuildTimer_->start();
}

// Only the view on show is rebuilt; the others wait until their tab comes up.
void MainWindow::rebuildDirtyViews() {
    for (const auto& doc : host_->documents()) {
        DrawingView* view = views_.value(doc.get());
        if (view && view == activeView() && dirty_.value(view)) {
            // Drawing a big drawing takes long: while a client is at work it
            // waits for a pause in requests in proportion, so the client is not
            // held up by redraws between its requests.
            // Until measured, a build is reckoned at 10 µs an object.
            if (!buildCost_.contains(view)) buildCost_.insert(view, qint64(doc->drawing->modelSpace().size()) / 100);
            const qint64 quiet = std::clamp<qint64>(4 * buildCost_.value(view), kQuietMs, kLongestQuietMs);
            if (lastRequest_.isValid() && lastRequest_.elapsed() < quiet) {
                rebuildTimer_->start(int(quiet - lastRequest_.elapsed()));
                continue;
            }
            dirty_.remove(view);
            QElapsedTimer took;
            took.start();
            view->setScene(buildScene(*doc->drawing));
            buildCost_.insert(view, took.elapsed());
        }
    }
    if (layersDirty_) {
        layersDirty_ = false;
        refreshLayers();
    }
}

void MainWindow::refreshLayers() {
    layers_->clear();
    auto doc = host_->activeDocument();
    if (!doc) return;
    std::string current;
    try {
        current = doc->drawing->activeLayer().name();
    } catch (const dxf::EngineError&) {
    }
    auto yes = [](bool b) { return b ? QStringLiteral("●") : QString(); };
    for (const dxf::Layer& l : doc->drawing->layers()) {
        auto* item = new QTreeWidgetItem(layers_);
        const QString name = QString::fromStdString(l.name());
        item->setText(0, l.name() == current ? name + QStringLiteral("  (current)") : name);
        item->setText(1, yes(l.layerOn()));
        item->setText(2, yes(l.freeze()));
        item->setText(3, yes(l.lock()));
        item->setText(4, QString::number(l.color()));
        item->setIcon(4, [&] {
            QPixmap swatch(12, 12);
            swatch.fill(aciColor(l.color()));
            return QIcon(swatch);
        }());
        item->setText(5, QString::fromStdString(l.linetype()));
        item->setText(6, l.lineweight() < 0 ? QStringLiteral("Default") : QString::number(l.lineweight() / 100.0, 'f', 2));
        item->setText(7, yes(l.plottable()));
    }
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

void MainWindow::zoomExtents() {
    if (auto* v = activeView()) v->zoomExtents();
}

void MainWindow::zoomWindow(double x1, double y1, double x2, double y2) {
    if (auto* v = activeView()) v->zoomWindow(QRectF(QPointF(x1, y1), QPointF(x2, y2)));
}

void MainWindow::zoomScaled(double scale, bool relative) {
    if (auto* v = activeView()) v->zoomScaled(scale, relative);
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

bool WindowShell::visible() { return window_ ? window_->isVisible() : HostShell::visible(); }

void WindowShell::setVisible(bool on) {
    if (!window_) return HostShell::setVisible(on);
    window_->setVisible(on);
}

int WindowShell::windowState() {
    if (!window_) return HostShell::windowState();
    if (window_->isMinimized()) return host::kWindowMinimized;
    if (window_->isMaximized()) return host::kWindowMaximized;
    return host::kWindowNormal;
}

void WindowShell::setWindowState(int state) {
    if (!window_) return HostShell::setWindowState(state);
    if (state == host::kWindowMinimized) window_->showMinimized();
    else if (state == host::kWindowMaximized) window_->showMaximized();
    else window_->showNormal();
}

QString WindowShell::caption() { return window_ ? window_->captionText() : HostShell::caption(); }

void WindowShell::activateWindow() {
    if (!window_) return;
    if (window_->isMinimized()) window_->showNormal();
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void WindowShell::sendKeys(const QString& keys) {
    if (window_) window_->commandLine().type(keys);
}

void WindowShell::zoomWindow(const host::Point3& lo, const host::Point3& hi) {
    if (window_) window_->zoomWindow(lo.x, lo.y, hi.x, hi.y);
}

void WindowShell::zoomScaled(double scale, int scaleType) {
    // Scale type 0 is absolute (of the whole drawing); 1 and 2 are relative to the view.
    if (window_) window_->zoomScaled(scale, scaleType != 0);
}

void WindowShell::getViewExtents(host::Point3& lo, host::Point3& hi) {
    if (!window_) return HostShell::getViewExtents(lo, hi);
    const QRectF r = window_->visibleWorld();
    lo = host::Point3{r.left(), r.top(), 0};
    hi = host::Point3{r.right(), r.bottom(), 0};
}

void WindowShell::update() {
    if (window_) window_->update();
}

void WindowShell::documentsChanged() {
    if (window_) window_->documentsChanged();
    host::AutomationServer::noteChange();
}

void WindowShell::drawingChanged(dxf::Drawing* drawing) {
    if (window_) window_->drawingChanged(drawing);
    host::AutomationServer::noteChange();
}

}  // namespace drawhost
