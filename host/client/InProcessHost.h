#pragma once
// The host interface over the drawing engine, in this process. drawhost keeps
// its open drawings here and serves them over its socket; tests and headless
// runs use it directly.
//
// Objects handed out stay safe after their drawing is closed: every member
// then fails with an error instead of touching freed memory.
#include <QString>
#include <memory>
#include <vector>

#include "host/HostApi.h"

namespace dxf {
class Drawing;
}

namespace host {

// What a window adds to the host: visibility, caption, view, command line.
// The default is a host without a window, which only remembers its state.
class HostShell {
public:
    virtual ~HostShell() = default;
    virtual bool visible() { return visible_; }
    virtual void setVisible(bool on) { visible_ = on; }
    virtual int windowState() { return state_; }
    virtual void setWindowState(int state) { state_ = state; }
    virtual QString caption();
    virtual void activateWindow() {}
    virtual void sendKeys(const QString& keys) { typed_ += keys; }
    virtual void zoomWindow(const Point3&, const Point3&) {}
    virtual void zoomScaled(double, int) {}
    // What the view shows; a host without a window has no view.
    virtual void getViewExtents(Point3& lowerLeft, Point3& upperRight);
    virtual void update() {}
    // The set of open drawings or the active one changed.
    virtual void documentsChanged() {}
    // A drawing's content changed (layers, objects) or was regenerated.
    virtual void drawingChanged(dxf::Drawing*) {}

    QString typed() const { return typed_; }

private:
    bool visible_ = false;
    int state_ = kWindowNormal;
    QString typed_;
};

// One open drawing. The drawing is gone (nullptr) once the document is closed.
struct OpenDocument {
    std::unique_ptr<dxf::Drawing> drawing;
    QString fullName;  // empty for a new drawing never saved
    QString name;
    QString currentLayout;  // made current by the command line's -LAYOUT; empty: model space
    bool closed() const { return !drawing; }
};

class InProcessHost : public std::enable_shared_from_this<InProcessHost> {
public:
    static std::shared_ptr<InProcessHost> create(std::shared_ptr<HostShell> shell = nullptr);

    ApplicationPtr application();
    HostShell& shell() { return *shell_; }

    const std::vector<std::shared_ptr<OpenDocument>>& documents() const { return docs_; }
    std::shared_ptr<OpenDocument> activeDocument() const;  // nullptr when none is open
    void setActiveDocument(const std::shared_ptr<OpenDocument>& doc);

    // Opens a drawing (or returns it when that file is open already) and makes it active.
    std::shared_ptr<OpenDocument> open(const QString& path);
    // A new empty drawing, active.
    std::shared_ptr<OpenDocument> addNew();
    // Saves the drawing over its file; throws HostError when it cannot.
    void save(const std::shared_ptr<OpenDocument>& doc);
    // Saves the drawing to another file, which it then stands for (atomically;
    // the old file stays as it was), in the format it was read from: refused
    // for a name with the other format's extension and for the file of
    // another open drawing.
    void saveAs(const std::shared_ptr<OpenDocument>& doc, const QString& path);
    // Closes the drawing, saving first when asked; a failed save keeps it open.
    void close(const std::shared_ptr<OpenDocument>& doc, bool save);

    // Called after every change made through this host.
    void changed(dxf::Drawing* drawing);

private:
    explicit InProcessHost(std::shared_ptr<HostShell> shell);
    std::shared_ptr<HostShell> shell_;
    std::vector<std::shared_ptr<OpenDocument>> docs_;
    std::weak_ptr<OpenDocument> active_;
    int untitled_ = 0;
};

// Installs a provider whose host is one InProcessHost of this process: "running"
// once created, never closed.
void installInProcessHostProvider();

}  // namespace host
