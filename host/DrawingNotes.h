#pragma once
// What became of a drawing beyond its operation's result, for the batch
// run's report: a per-drawing operation notes it here (per thread), the run
// clears the notes before each drawing and reads them after.
namespace host {

struct DrawingNotes {
    // The drawing was open in the host already: the changes were made there
    // and left unsaved, so the file on disk does not have them yet.
    bool leftUnsaved = false;
};

inline DrawingNotes& drawingNotes() {
    thread_local DrawingNotes notes;
    return notes;
}

}  // namespace host
