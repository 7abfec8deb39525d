#pragma once
// drawhost's window: menus and a toolbar, one tab per open drawing (with its
// model space and layout tabs), the layer panel, the command line and the
// status bar. Every menu item, toolbar button and layer panel click types a
// command into the command line, as a user would. It is also the host's
// shell: what the automation interface asks of a window (caption,
// visibility, zoom, keystrokes) lands here.
#include <QElapsedTimer>
#include <QHash>
#include <QMainWindow>
#include <memory>

#include "CommandLine.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QTabWidget;
class QTimer;

namespace drawhost {

class DrawingPage;
class DrawingView;
class LayerPanel;

class MainWindow : public QMainWindow, public CommandUi {
    Q_OBJECT
public:
    explicit MainWindow(std::shared_ptr<host::InProcessHost> host, QWidget* parent = nullptr);
    ~MainWindow() override;

    CommandLine& commandLine() { return *commandLine_; }
    void setServerStatus(const QString& text);
    // Postpones a pending redraw while automation requests keep coming.
    void deferRedraw();
    // Types keys into the command line as a menu item does: Escape first.
    void runCommand(const QString& keys);

    // Called by the shell.
    void documentsChanged();
    void drawingChanged(dxf::Drawing* drawing);
    QString captionText() const;
    // What the active drawing's view shows; empty when no drawing is open.
    QRectF visibleWorld() const;
    DrawingPage* activePage() const;
    // Every drawing's view is built and the active one drawn (for tests and benchmarks).
    bool viewsReady() const;

    // CommandUi
    bool chooseFile(const QString& title, const QString& filter, std::function<void(QString)> done) override;
    bool chooseSaveFile(const QString& title, const QString& filter, const QString& suggested,
                        std::function<void(QString)> done) override;
    void zoomExtents() override;
    void zoomWindow(double x1, double y1, double x2, double y2) override;
    void zoomScaled(double scale, bool relative) override;
    bool zoomPrevious() override;
    void pan(double dx, double dy) override;
    void setLineweights(bool on) override;
    bool lineweights() const override { return lineweights_; }

protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DrawingView* activeView() const;
    void buildMenus();
    void refreshRecent();
    void refreshStatus();
    void rebuildDirtyViews();
    void refreshLayers();
    void submitInput(const QString& terminator);
    void followPrompt();

    std::shared_ptr<host::InProcessHost> host_;
    std::unique_ptr<CommandLine> commandLine_;
    QTabWidget* tabs_;
    LayerPanel* layers_;
    QPlainTextEdit* history_;
    QLabel* prompt_;
    QLineEdit* input_;
    QLabel* status_;
    QLabel* coordinates_;
    QLabel* progress_;
    QMenu* recentMenu_ = nullptr;
    QAction* lineweightAction_ = nullptr;
    QString serverStatus_;
    QTimer* rebuildTimer_;
    QHash<const host::OpenDocument*, DrawingPage*> pages_;
    QElapsedTimer lastRequest_;  // since a client's last request was answered
    QStringList inputHistory_;
    int historyPos_ = 0;
    bool syncing_ = false;
    bool layersDirty_ = true;
    bool lineweights_ = false;
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
