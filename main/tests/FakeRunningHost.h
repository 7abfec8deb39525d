#pragma once
// A drawing host for window tests: a running application whose open
// drawings are a list of paths. It never starts.
#include <QFileInfo>
#include <QStringList>
#include <memory>

#include "host/HostConnection.h"

namespace mainwin::testing {

// A running host with some drawings open.
class FakeDocument : public host::Document {
public:
    explicit FakeDocument(QString path) : path_(std::move(path)) {}
    QString name() override { return QFileInfo(path_).fileName(); }
    QString fullName() override { return path_; }
    host::LayersPtr layers() override { return nullptr; }
    host::LayerPtr activeLayer() override { return nullptr; }
    void setActiveLayer(const host::LayerPtr&) override {}
    QStringList linetypes() override { return {}; }
    QStringList layouts() override { return {}; }
    host::EntityCollectionPtr modelSpace() override { return nullptr; }
    host::BlocksPtr blocks() override { return nullptr; }
    host::SelectionSetsPtr selectionSets() override { return nullptr; }
    void purgeAll() override {}
    void regen(int) override {}
    void close(bool) override {}
    host::EntityPtr handleToObject(const QString&) override { return nullptr; }

private:
    QString path_;
};

class FakeDocuments : public host::Documents {
public:
    QStringList paths;
    int count() override { return static_cast<int>(paths.size()); }
    host::DocumentPtr item(int index) override {
        if (index < 0 || index >= paths.size()) throw host::HostError(host::errc::kInvalidArgument, "index");
        return std::make_shared<FakeDocument>(paths[index]);
    }
    host::DocumentPtr item(const QString&) override { throw host::HostError(host::errc::kKeyNotFound, "no"); }
    host::DocumentPtr open(const QString&) override { throw host::HostError(host::errc::kFileError, "no"); }
    host::DocumentPtr add() override { return nullptr; }
};

class FakeApp : public host::Application {
public:
    std::shared_ptr<FakeDocuments> docs = std::make_shared<FakeDocuments>();
    bool visible() override { return true; }
    void setVisible(bool) override {}
    int state = host::kWindowNormal;
    int updates = 0;
    int windowState() override { return state; }
    void setWindowState(int s) override { state = s; }
    QString caption() override { return "drawhost"; }
    host::DocumentPtr activeDocument() override {
        if (docs->paths.isEmpty()) throw host::HostError(host::errc::kNoDocument, "no document");
        return docs->item(0);
    }
    host::DocumentsPtr documents() override { return docs; }
    void update() override { ++updates; }
    void zoomWindow(const host::Point3&, const host::Point3&) override {}
    void zoomScaled(double, int) override {}
    void activateWindow() override {}
    void sendKeys(const QString&) override {}
};

class RunningHost : public host::HostProvider {
public:
    std::shared_ptr<FakeApp> app = std::make_shared<FakeApp>();
    bool running = true;
    int asked = 0;
    int started = 0;
    host::ApplicationPtr getRunning() override {
        ++asked;
        if (!running) throw host::HostError(host::errc::kNotRunning, "not running");
        return app;
    }
    host::ApplicationPtr create() override {
        ++started;
        throw host::HostError(host::errc::kNotRunning, "cannot start");
    }
};

}  // namespace mainwin::testing
