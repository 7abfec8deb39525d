#pragma once
// The drawing host's automation interface: the objects and members the system
// calls, and nothing else. Two implementations exist: in-process over the
// drawing engine, and remote over drawhost's local socket. Every member that
// the host refuses throws HostError (see HostError.h); the callers rely on
// those errors.
//
// Objects are shared handles: holding one keeps nothing open in the host;
// releasing the application never closes the host.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

#include "HostError.h"

namespace host {

class Application;
class Documents;
class Document;
class Layers;
class Layer;
class Entity;
class EntityCollection;
class Blocks;
class SelectionSets;
class SelectionSet;

using ApplicationPtr = std::shared_ptr<Application>;
using DocumentsPtr = std::shared_ptr<Documents>;
using DocumentPtr = std::shared_ptr<Document>;
using LayersPtr = std::shared_ptr<Layers>;
using LayerPtr = std::shared_ptr<Layer>;
using EntityPtr = std::shared_ptr<Entity>;
using EntityCollectionPtr = std::shared_ptr<EntityCollection>;
using BlocksPtr = std::shared_ptr<Blocks>;
using SelectionSetsPtr = std::shared_ptr<SelectionSets>;
using SelectionSetPtr = std::shared_ptr<SelectionSet>;

struct Point3 {
    double x = 0, y = 0, z = 0;
};

// Window states of the application window.
enum WindowState : int { kWindowNormal = 1, kWindowMinimized = 2, kWindowMaximized = 3 };

class Application {
public:
    virtual ~Application() = default;
    virtual bool visible() = 0;
    virtual void setVisible(bool on) = 0;
    virtual int windowState() = 0;
    virtual void setWindowState(int state) = 0;
    virtual QString caption() = 0;
    virtual DocumentPtr activeDocument() = 0;  // throws when no drawing is open
    virtual DocumentsPtr documents() = 0;
    virtual void update() = 0;
    virtual void zoomWindow(const Point3& lowerLeft, const Point3& upperRight) = 0;
    virtual void zoomScaled(double scale, int scaleType) = 0;
    // The corners of the part of the active drawing that the host's view
    // shows (lower left, upper right). Throws when no drawing is open or the
    // host shows no view (a host without a window).
    virtual void getViewExtents(Point3& lowerLeft, Point3& upperRight) {
        (void)lowerLeft, (void)upperRight;
        throw HostError(errc::kNotApplicable, QStringLiteral("Object doesn't support this property or method"));
    }
    // Brings the host's window to the front (activation by its caption).
    virtual void activateWindow() = 0;
    // Types keystrokes into the host's command line; returns once they are processed.
    // "\x1b" is Escape, "\r" or "\n" is Enter.
    virtual void sendKeys(const QString& keys) = 0;
};

class Documents {
public:
    virtual ~Documents() = default;
    virtual int count() = 0;
    virtual DocumentPtr item(int index) = 0;              // from 0
    virtual DocumentPtr item(const QString& fileName) = 0;  // throws when not open
    virtual DocumentPtr open(const QString& fullPath) = 0;  // throws when it cannot open
    virtual DocumentPtr add() = 0;                          // a new empty drawing
};

class Document {
public:
    virtual ~Document() = default;
    virtual QString name() = 0;      // file name
    virtual QString fullName() = 0;  // full path
    virtual LayersPtr layers() = 0;
    virtual LayerPtr activeLayer() = 0;
    virtual void setActiveLayer(const LayerPtr& layer) = 0;
    virtual QStringList linetypes() = 0;  // names, in the drawing's order
    virtual QStringList layouts() = 0;    // names, model space included
    virtual EntityCollectionPtr modelSpace() = 0;
    virtual BlocksPtr blocks() = 0;
    virtual SelectionSetsPtr selectionSets() = 0;
    virtual void purgeAll() = 0;
    virtual void regen(int which) = 0;  // 0: the active viewport
    // Closes the document, saving first when save is true. A failed save throws
    // and leaves the document open.
    virtual void close(bool save) = 0;
    virtual EntityPtr handleToObject(const QString& handle) = 0;  // throws when missing
};

class Layers {
public:
    virtual ~Layers() = default;
    virtual int count() = 0;
    virtual LayerPtr item(int index) = 0;            // from 0, in the collection's order
    virtual LayerPtr item(const QString& name) = 0;  // ignores letter case; throws when missing
    virtual LayerPtr add(const QString& name) = 0;   // returns the existing layer when present
};

class Layer {
public:
    virtual ~Layer() = default;
    virtual QString name() = 0;
    virtual void setName(const QString& name) = 0;  // throws when refused
    virtual void deleteLayer() = 0;                 // throws while in use, 0, Defpoints, current
    virtual bool layerOn() = 0;
    virtual void setLayerOn(bool on) = 0;
    virtual bool freeze() = 0;
    virtual void setFreeze(bool on) = 0;
    virtual bool lock() = 0;
    virtual void setLock(bool on) = 0;
    virtual bool plottable() = 0;
    virtual void setPlottable(bool on) = 0;
    virtual int color() = 0;
    virtual void setColor(int index) = 0;  // 1 to 255, else throws
    virtual QString linetype() = 0;
    virtual void setLinetype(const QString& name) = 0;  // throws when the drawing lacks it
    virtual int lineweight() = 0;
    virtual void setLineweight(int value) = 0;
    virtual QString plotStyleName() = 0;
    virtual void setPlotStyleName(const QString& name) = 0;  // throws when refused
};

// An object of the drawing. Members that an object does not support throw
// (as a late-bound call would): TextString on a line, Name on a circle.
class Entity {
public:
    virtual ~Entity() = default;
    virtual QString handle() = 0;
    virtual QString objectName() = 0;  // "AcDbLine", "AcDbText", "AcDbBlockReference", ...
    virtual QString layer() = 0;
    virtual void setLayer(const QString& name) = 0;
    virtual QString textString() = 0;
    virtual void getBoundingBox(Point3& minPoint, Point3& maxPoint) = 0;
    // Block references:
    virtual QString name() = 0;
    virtual bool hasAttributes() = 0;
    virtual std::vector<EntityPtr> getAttributes() = 0;
};

// Model space or a block definition: an enumerable collection of objects.
class EntityCollection {
public:
    virtual ~EntityCollection() = default;
    virtual QString name() = 0;
    virtual int count() = 0;
    virtual EntityPtr item(int index) = 0;
};

class Blocks {
public:
    virtual ~Blocks() = default;
    virtual int count() = 0;
    virtual EntityCollectionPtr item(int index) = 0;
    virtual EntityCollectionPtr item(const QString& name) = 0;  // throws when missing
};

class SelectionSets {
public:
    virtual ~SelectionSets() = default;
    virtual int count() = 0;
    virtual SelectionSetPtr item(int index) = 0;
    virtual SelectionSetPtr item(const QString& name) = 0;
    virtual SelectionSetPtr add(const QString& name) = 0;  // a new empty set; throws when the name exists
};

class SelectionSet {
public:
    virtual ~SelectionSet() = default;
    virtual QString name() = 0;
    // mode 5 selects every object of the drawing that passes the filter: pairs of
    // group code (8 layer name, 0 object type) and value, all of which must hold.
    virtual void select(int mode, const std::vector<short>& filterType, const QVariantList& filterData) = 0;
    virtual void clear() = 0;
    virtual void deleteSet() = 0;
    virtual int count() = 0;
    virtual EntityPtr item(int index) = 0;
};

}  // namespace host
