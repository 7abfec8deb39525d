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

// The same for an operation that changes the drawing and saves it: a drawing
// that is not open in the host and whose file may not be replaced (read-only,
// immutable, other hard links, an owner the save could not keep) is told,
// with the reason, and left alone before anything is done to it.
bool fun_bFindOrOpenDrawingToChange(const ApplicationPtr& app, const QString& sDWGName, const QString& sDWGFullPath,
                                    OperationDrawing& drawing);

// Why the file at path may not be replaced by a save; empty when it may.
QString whyDrawingNotSavable(const QString& path);

// Ends the work on the drawing: closes one opened here, saving it when
// bNoChange is false; regenerates one that was open before (a changed one is
// noted in drawingNotes() as left unsaved). False when the save failed: the
// user is told the cause, the drawing is closed unsaved and the file on disk
// keeps its previous contents.
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
