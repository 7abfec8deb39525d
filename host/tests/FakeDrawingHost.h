#pragma once
// An in-memory drawing host for tests of the operations and the rule dialogs.
// It keeps drawings "on disk" (a map of full path to contents) and open
// documents, and refuses what the real host refuses: duplicate and invalid
// layer names, deleting a layer in use or 0, Defpoints or the current one,
// colours out of range, unknown linetypes and plot styles, freezing the
// current layer, a save that fails. Layer names are looked up without regard
// to letter case; the selection filter on group code 8 compares whole names,
// ignoring case, with no wildcards.
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "host/HostApi.h"
#include "host/HostConnection.h"

namespace fakehost {

struct LayerData {
    QString name;
    bool on = true;
    bool frozen = false;
    bool locked = false;
    bool plottable = true;
    int color = 7;
    QString linetype = QStringLiteral("Continuous");
    int lineweight = -3;
    QString plotStyle = QStringLiteral("Normal");
};
using LayerDataPtr = std::shared_ptr<LayerData>;

struct EntityData {
    QString handle;
    QString objectName;
    LayerDataPtr layer;
    QString blockName;  // block references
    QString text;       // texts and attributes
    std::vector<std::shared_ptr<EntityData>> attributes;
};
using EntityDataPtr = std::shared_ptr<EntityData>;

struct BlockData {
    QString name;
    std::vector<EntityDataPtr> entities;
};

// The contents of one drawing.
struct DrawingData {
    DrawingData();  // layers "0" (current) and "Defpoints", linetypes, plot styles
    DrawingData clone() const;

    std::vector<LayerDataPtr> layers;
    LayerDataPtr current;
    QStringList linetypes;
    QStringList plotStyles;
    std::vector<EntityDataPtr> modelSpace;
    std::vector<EntityDataPtr> paperSpace;
    std::vector<BlockData> blocks;
    QStringList layouts{QStringLiteral("Model"), QStringLiteral("Layout1")};  // tab order
    int nextHandle = 0x100;

    LayerDataPtr findLayer(const QString& name) const;  // ignores case; null when missing
    LayerData& layer(const QString& name);               // the layer; added when missing
    EntityDataPtr addEntity(const QString& layerName, const QString& objectName = QStringLiteral("AcDbLine"));
    EntityDataPtr addPaperEntity(const QString& layerName);
    BlockData& block(const QString& name);  // added when missing
    EntityDataPtr addBlockEntity(const QString& blockName, const QString& layerName);
    EntityDataPtr addBlockReference(const QString& blockName, const QString& layerName);
    EntityDataPtr addAttribute(const EntityDataPtr& reference, const QString& layerName);

    QStringList layerNames() const;
    // Objects on a layer (exact name) in model space, paper space, block definitions and attributes.
    int objectsOn(const QString& layerName) const;
    bool layerInUse(const LayerData& layer) const;
    std::vector<EntityDataPtr> allObjects() const;

private:
    QString newHandle();
};

struct SelectionSetData {
    QString name;
    std::vector<EntityDataPtr> items;
};

struct OpenDocument {
    QString fullName;
    DrawingData data;
    std::vector<std::shared_ptr<SelectionSetData>> selectionSets;
    bool open = true;
    bool modified = false;
    int regens = 0;
    int purges = 0;
    QString fileName() const;
};
using OpenDocumentPtr = std::shared_ptr<OpenDocument>;

// Everything the host holds, shared by all its objects.
struct HostState {
    std::map<QString, DrawingData> disk;
    std::vector<OpenDocumentPtr> documents;
    std::vector<OpenDocumentPtr> closed;  // documents closed since, newest last
    QSet<QString> failingSaves;  // full paths whose save fails
    bool sloppyFilter = false;   // a selection filter that lets every object through
    bool gone = false;           // the host has gone away: the application's calls fail
    std::function<void()> afterOpen;  // runs after each Documents.Open (a test's host may die there)
    int opens = 0;
    int saves = 0;
    // The application window as the script dispatch drives it.
    int windowState = host::kWindowNormal;
    QStringList windowCalls;  // "activate", "state N", "keys TEXT", "add" in call order

    DrawingData& file(const QString& fullPath) { return disk[fullPath]; }
    // Opens a drawing as the user would have before a run.
    OpenDocumentPtr openByUser(const QString& fullPath);
    OpenDocumentPtr findOpen(const QString& fullPath) const;
};

std::shared_ptr<host::Application> makeApplication(const std::shared_ptr<HostState>& state);

// Serves the fake as the running host (or none, when running is false).
class FakeProvider : public host::HostProvider {
public:
    explicit FakeProvider(std::shared_ptr<HostState> state) : state(std::move(state)) {}
    host::ApplicationPtr getRunning() override;
    host::ApplicationPtr create() override;
    std::shared_ptr<HostState> state;
    bool running = true;
};

}  // namespace fakehost
