#pragma once
// Linetypes: their patterns read from the drawing, and polylines cut into
// the dashes, gaps and dots of a pattern.
#include <QLineF>
#include <QPointF>
#include <vector>

#include "DrawingScene.h"

namespace drawhost {

// The drawing's LTYPE table; patterns in drawing units, unscaled.
std::vector<Linetype> readLinetypes(const dxf::Drawing& drawing);

// Cuts the polyline pts[0..n) into the dashes and dots of `pattern` with its
// lengths multiplied by `scale`; the pattern starts at the polyline's start
// and runs on across its vertices. Dashes go to `lines`, dots to `dots`.
// Returns false (adding nothing) when the pattern has no length or would
// repeat more than `maxRepeats` times: the polyline is then drawn solid.
bool strokePattern(const QPointF* pts, std::size_t n, bool closed, const std::vector<double>& pattern, double scale,
                   std::vector<QLineF>& lines, std::vector<QPointF>& dots, double maxRepeats = 20000);

}  // namespace drawhost
