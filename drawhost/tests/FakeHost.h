#pragma once
// A small in-memory host for testing the automation socket: documents with
// layers and a few objects, and the errors the real host raises.
#include <QMap>
#include <functional>

#include "host/HostApi.h"

namespace fake {

struct LayerData {
    QString name;
    bool on = true, frozen = false, locked = false, plot = true;
    int color = 7;
    QString linetype = QStringLiteral("Continuous");
    int lineweight = -3;
};

struct EntityData {
    QString handle, objectName, layer, text;
};

struct DocData {
    QString fullName;
    std::vector<std::shared_ptr<LayerData>> layers;
    std::vector<std::shared_ptr<EntityData>> entities;
    bool saved = false;
    bool closed = false;
};


// Drawings that FakeApp can "open": full path -> its content.
using Library = QMap<QString, DocData>;

host::ApplicationPtr makeFakeApp(Library library, std::function<void(const QString&)> onKeys = {});

// A drawing with layers 0, 壁, WALL-A, and two texts and a line.
DocData sampleDrawing(const QString& fullName);

}  // namespace fake
