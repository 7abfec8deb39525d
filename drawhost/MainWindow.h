#pragma once
// drawhost's window: one tab per open drawing, the layer panel, the command
// line and the status bar. It is also the host's shell: what the automation
// interface asks of a window (caption, visibility, zoom, keystrokes) lands here.
#include <QHash>
#include <QElapsedTimer>
#include <QMainWindow>
#include <memory>

#include "CommandLine.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;
class QTimer;
class QTreeWidget;

namespace drawhost {

class DrawingView;

class MainWindow : public QMainWindow, public CommandUi {
    Q_OBJECT
public:
    explicit MainWindow(std::shared_ptr<host::InProcessHost> host, QWidget* parent = nullptr);
    ~MainWindow() override;

    CommandLine& commandLine() { return *commandLine_; }
    void setServerStatus(const QString& text);
    // Postpones a pending redraw while automation requests keep coming.
    void deferRedraw();

    // Called by the shell.
    void documentsChanged();
    void drawingChanged(dxf::Drawing* drawing);
    QString captionText() const;
    // What the active drawing's view shows; empty when no drawing is open.
    QRectF visibleWorld() const;

    // CommandUi
    bool chooseFile(const QString& title, const QString& filter, std::function<void(QString)> done) override;
    void zoomExtents() override;
    void zoomWindow(double x1, double y1, double x2, double y2) override;
    void zoomScaled(double scale, bool relative) override;

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DrawingView* activeView() const;
    void refreshLayers();
    void refreshStatus();
    void rebuildDirtyViews();
    void submitInput(const QString& terminator);

    std::shared_ptr<host::InProcessHost> host_;
    std::unique_ptr<CommandLine> commandLine_;
    QTabWidget* tabs_;
    QTreeWidget* layers_;
    QPlainTextEdit* history_;
    QLabel* prompt_;
    QLineEdit* input_;
    QLabel* status_;
    QString serverStatus_;
    QTimer* rebuildTimer_;
    QHash<const host::OpenDocument*, DrawingView*> views_;
    QHash<DrawingView*, bool> dirty_;
    QHash<DrawingView*, qint64> buildCost_;  // ms the last build of a view took
    QElapsedTimer lastRequest_;  // since a client's last request was answered
    QStringList inputHistory_;
    int historyPos_ = 0;
    bool syncing_ = false;
    bool layersDirty_ = true;
};

// The shell of a host shown in a MainWindow.
class WindowShell : public host::HostShell {
public:
    void setWindow(MainWindow* w) { window_ = w; }
    bool visible() override;
    void setVisible(bool on) override;
    int windowState() override;
    void setWindowState(int state) override;
    QString caption() override;
    void activateWindow() override;
    void sendKeys(const QString& keys) override;
    void zoomWindow(const host::Point3& lo, const host::Point3& hi) override;
    void zoomScaled(double scale, int scaleType) override;
    void getViewExtents(host::Point3& lo, host::Point3& hi) override;
    void update() override;
    void documentsChanged() override;
    void drawingChanged(dxf::Drawing* drawing) override;

private:
    MainWindow* window_ = nullptr;
};

}  // namespace drawhost
