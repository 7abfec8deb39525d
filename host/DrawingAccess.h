#pragma once
// How a per-drawing operation gets hold of its drawing and lets go of it: the
// drawing is the open document with the listed full path, or else it is
// opened; one it opened is closed again (saved only when changed), one that
// was open stays open, unsaved, and is regenerated.
#include <QString>
#include <vector>

#include "host/HostApi.h"

namespace host {

struct OperationDrawing {
    DocumentPtr doc;
    bool bOpenedHere = false;
};

// True when two paths name the same file: equal after cleaning, or equal once
// symbolic links are resolved.
bool samePath(const QString& a, const QString& b);

// The open document whose full path is sDWGFullPath. A document of the same
// file name from another folder is not it. With no full path given, the file
// name alone decides.
DocumentPtr findOpenDocument(const ApplicationPtr& app, const QString& sDWGName, const QString& sDWGFullPath);

// Finds the drawing or opens it. When neither works, tells the user (the
// drawing file cannot be opened) and returns false.
bool fun_bFindOrOpenDrawing(const ApplicationPtr& app, const QString& sDWGName, const QString& sDWGFullPath,
                            OperationDrawing& drawing);

// Ends the work on the drawing: closes one opened here, saving it when
// bNoChange is false; regenerates one that was open before. False when the
// save failed: the drawing is then closed unsaved and the file on disk keeps
// its previous contents.
bool finishDrawing(OperationDrawing& drawing, bool bNoChange);

// Why the last finishDrawing() on this thread failed ("" when it did not),
// taken once: the host's description of the refused save.
QString takeFinishFailure();

// The drawing's layers in the collection's order, taken once: a layer that
// cannot be read is left out. Walking this list, rather than the live
// collection, keeps a deleted (merged) layer from shifting the walk.
std::vector<LayerPtr> layersOf(const DocumentPtr& doc);

// Closes a drawing opened here without saving; leaves one that was open before.
void discardDrawing(OperationDrawing& drawing);

}  // namespace host
