// How fast drawhost's view shows a drawing, and what it draws:
//
//   view_bench [--size 1600x1000] [--png DIR [--plain]] [--window X0,Y0,X1,Y1] [--layout NAME] [--frames N]
//              [--repeat N] FILE...
//
// Per drawing: the time to read it, to build its scene, to paint the first
// complete view at extents (scene + paint: the "first view" once the drawing
// is loaded), then N pan frames (the drag moves the view by 37 pixels a
// frame) and N wheel-zoom frames (each wheel step, and the full redraw when
// the wheel stops), each as the view's widget paints it at the given size.
// With --repeat N the drawing is read and first shown N times, each time
// anew, and the shortest times are given (on a shared machine the others
// mostly measure the neighbours).
// With --png the first view (or the layout asked for) is saved as DIR/NAME.png;
// --window saves that part of model space instead of its extents. The view
// settles smoothly or plainly depending on how long its last frame took;
// --plain saves the extents as a first view draws them (no antialiasing,
// the drawing's extents fitted within a margin), the same on any machine.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QThreadPool>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "drawhost/DrawingScene.h"
#include "drawhost/DrawingView.h"
#include "drawhost/LayoutRender.h"
#include "drawhost/ScenePainter.h"
#include "drawhost/SceneText.h"
#include "engine/Drawing.h"

namespace {

double msSince(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e6; }

struct Stats {
    double median = 0, worst = 0;
};
Stats stats(std::vector<double> v) {
    if (v.empty()) return {};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.back()};
}

// One repaint of the view, as the event loop would do it after an input event.
double frame(drawhost::DrawingView& view) {
    QElapsedTimer t;
    t.start();
    view.repaint();
    return msSince(t);
}

void wheel(drawhost::DrawingView& view, int delta) {
    const QPointF at(view.width() * 0.4, view.height() * 0.6);
    QWheelEvent e(at, view.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &e);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QSize size(1600, 1000);
    QString pngDir, layout;
    bool plain = false;
    QRectF window;
    int frames = 20, repeat = 1;
    QStringList files;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "--size" && i + 1 < args.size()) {
            const QStringList wh = args[++i].split('x');
            size = QSize(wh.value(0).toInt(), wh.value(1).toInt());
        } else if (a == "--png" && i + 1 < args.size()) {
            pngDir = args[++i];
        } else if (a == "--plain") {
            plain = true;
        } else if (a == "--window" && i + 1 < args.size()) {
            const QStringList c = args[++i].split(',');
            window = QRectF(QPointF(c.value(0).toDouble(), c.value(1).toDouble()),
                            QPointF(c.value(2).toDouble(), c.value(3).toDouble())).normalized();
        } else if (a == "--layout" && i + 1 < args.size()) {
            layout = args[++i];
        } else if (a == "--frames" && i + 1 < args.size()) {
            frames = args[++i].toInt();
        } else if (a == "--repeat" && i + 1 < args.size()) {
            repeat = std::max(1, args[++i].toInt());
        } else {
            files << a;
        }
    }
    if (files.isEmpty() || size.isEmpty()) {
        std::fprintf(stderr, "usage: view_bench [--size WxH] [--png DIR [--plain]] [--window X0,Y0,X1,Y1] [--layout NAME] [--frames N] [--repeat N] FILE...\n");
        return 2;
    }
    // drawhost readies its text font when its window opens, before any drawing.
    drawhost::TextMetrics::instance();
    std::printf("| drawing | MB | read ms | scene ms | paint ms | first view ms | pan ms (median/worst) | "
                "wheel step ms (median/worst) | redraw after zoom ms (median/worst) |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (const QString& file : files) {
        std::unique_ptr<dxf::Drawing> drawing;
        std::shared_ptr<const drawhost::Scene> scene;
        std::unique_ptr<drawhost::DrawingView> shown;
        double readMs = 1e300, sceneMs = 1e300, paintMs = 1e300, firstViewMs = 1e300;
        for (int round = 0; round < repeat; ++round) {
            shown.reset();
            scene.reset();
            drawing.reset();
            QElapsedTimer t;
            t.start();
            try {
                drawing = dxf::Drawing::open(QFile::encodeName(file).toStdString());
            } catch (const std::exception& e) {
                std::fprintf(stderr, "%s: %s\n", qPrintable(file), e.what());
                return 1;
            }
            readMs = std::min(readMs, msSince(t));

            t.restart();
            scene = std::make_shared<const drawhost::Scene>(drawhost::buildScene(*drawing));
            const double built = msSince(t);

            shown = std::make_unique<drawhost::DrawingView>();
            shown->setAttribute(Qt::WA_DontShowOnScreen);
            shown->resize(size);
            shown->show();
            shown->setScene(scene);
            shown->zoomExtents();
            const double painted = frame(*shown);
            sceneMs = std::min(sceneMs, built);
            paintMs = std::min(paintMs, painted);
            firstViewMs = std::min(firstViewMs, built + painted);
            // The view indexes the scene once its first frame is up: done
            // before the next round, or the pans, are timed.
            QThreadPool::globalInstance()->waitForDone();
        }
        drawhost::DrawingView& view = *shown;

        // The view draws smoothly again a moment after the wheel stops; here at once.
        if (auto* settleTimer = view.findChild<QTimer*>()) settleTimer->setInterval(0);
        std::vector<double> pan, step, settle;
        const double px = view.visibleWorld().width() / size.width();
        for (int i = 0; i < frames; ++i) pan.push_back(frame((view.pan(QPointF(37 * px, (i % 2 ? 11 : -11) * px)), view)));
        for (int i = 0; i < frames; ++i) {
            wheel(view, i % 4 == 3 ? -240 : 120);
            step.push_back(frame(view));
            // The wheel stopped: the view is drawn anew, smoothly.
            QElapsedTimer s;
            s.start();
            QCoreApplication::processEvents();
            view.repaint();
            settle.push_back(msSince(s));
        }
        const Stats p = stats(pan), w = stats(step), r = stats(settle);
        std::printf("| %s | %.1f | %.0f | %.0f | %.0f | %.0f | %.1f / %.1f | %.1f / %.1f | %.1f / %.1f |\n",
                    qPrintable(QFileInfo(file).fileName()), QFileInfo(file).size() / 1e6, readMs, sceneMs, paintMs,
                    firstViewMs, p.median, p.worst, w.median, w.worst, r.median, r.worst);
        std::fflush(stdout);

        if (!pngDir.isEmpty()) {
            QDir().mkpath(pngDir);
            QImage image(size, QImage::Format_RGB32);
            QPainter painter(&image);
            if (plain && layout.isEmpty() && window.isEmpty() && !scene->extents.isEmpty()) {
                image.fill(QColor(33, 40, 48));
                const QRectF e = scene->extents;
                const double k = std::min(size.width() * 0.95 / e.width(), size.height() * 0.9 / e.height());
                QTransform t;
                t.translate(size.width() / 2.0, size.height() / 2.0);
                t.scale(k, -k);
                t.translate(-e.center().x(), -e.center().y());
                drawhost::PaintOptions o;
                o.antialias = false;
                drawhost::paintScene(painter, *scene, t, QRectF(image.rect()), o);
            } else if (layout.isEmpty()) {
                if (window.isEmpty()) view.zoomExtents();
                else view.zoomWindow(window);
                painter.end();
                // The zoom is drawn anew (and smoothly) once the view settles,
                // not scaled from the last frame.
                QCoreApplication::processEvents();
                view.repaint();
                QCoreApplication::processEvents();
                image = view.grab().toImage();
            } else {
                image.fill(Qt::white);
                const drawhost::LayoutRender page(*drawing, layout, scene);
                const QRectF area = page.limits().isEmpty() ? page.extents() : page.limits();
                drawhost::RenderStyle style;
                style.lineweights = true;
                style.pixelsPerMm = std::min(size.width() / area.width(), size.height() / area.height());
                page.render(painter, area, QRectF(QPointF(), QSizeF(size)), style);
            }
            if (painter.isActive()) painter.end();
            image.save(QDir(pngDir).filePath(QFileInfo(file).completeBaseName() + ".png"));
        }
    }
    return 0;
}
