#include "ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace mainwin {

namespace {

constexpr int kSize = 24;

// A sheet of paper with a folded corner and a short label ("CSV").
void drawPaper(QPainter& p, const QColor& tint, const QString& label) {
    QPainterPath sheet;
    sheet.moveTo(4, 2);
    sheet.lineTo(14, 2);
    sheet.lineTo(19, 7);
    sheet.lineTo(19, 22);
    sheet.lineTo(4, 22);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(70, 70, 70), 1));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    p.drawLine(14, 2, 14, 7);
    p.drawLine(14, 7, 19, 7);
    p.setBrush(tint);
    p.setPen(Qt::NoPen);
    p.drawRect(5, 10, 13, 7);
    QFont f = p.font();
    f.setPixelSize(6);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(5, 10, 13, 7), Qt::AlignCenter, label);
}

// A small green grid: a spreadsheet.
void drawGrid(QPainter& p) {
    p.setPen(QPen(QColor(20, 110, 50), 1));
    p.setBrush(QColor(225, 245, 230));
    p.drawRect(3, 3, 14, 14);
    for (int x = 8; x < 17; x += 5) p.drawLine(x, 3, x, 17);
    for (int y = 8; y < 17; y += 5) p.drawLine(3, y, 17, y);
}

// An arrow from (x1, y1) to (x2, y2) with a head at the end.
void drawArrow(QPainter& p, QPointF from, QPointF to, const QColor& color) {
    p.setPen(QPen(color, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const QPointF d = to - from;
    const double len = std::hypot(d.x(), d.y());
    const QPointF u = d / len;
    const QPointF n(-u.y(), u.x());
    QPolygonF head;
    head << to + u * 2.0 << to - u * 4.0 + n * 3.5 << to - u * 4.0 - n * 3.5;
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(head);
}

void drawFolder(QPainter& p) {
    p.setPen(QPen(QColor(150, 110, 20), 1));
    p.setBrush(QColor(250, 205, 90));
    QPainterPath folder;
    folder.moveTo(2, 8);
    folder.lineTo(8, 8);
    folder.lineTo(10, 10);
    folder.lineTo(21, 10);
    folder.lineTo(21, 21);
    folder.lineTo(2, 21);
    folder.closeSubpath();
    p.drawPath(folder);
}

void drawFloppy(QPainter& p) {
    p.setPen(QPen(QColor(30, 50, 110), 1));
    p.setBrush(QColor(60, 100, 190));
    p.drawRoundedRect(QRectF(9.5, 9.5, 13, 13), 1.5, 1.5);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(12, 10, 8, 5));
    p.setBrush(QColor(200, 210, 230));
    p.drawRect(QRectF(12, 17, 8, 5));
}

// Three layers seen at a slant, one above the other, the top one lit: the
// layer tools, one of which is active.
void drawLayerStack(QPainter& p) {
    const QColor fills[] = {QColor(170, 180, 195), QColor(130, 170, 215), QColor(45, 110, 210)};
    for (int i = 0; i < 3; ++i) {
        const double y = 16 - i * 4.5;
        QPolygonF sheet;
        sheet << QPointF(2, y) << QPointF(9, y - 3.5) << QPointF(17, y) << QPointF(10, y + 3.5);
        p.setPen(QPen(QColor(40, 60, 90), 0.8));
        p.setBrush(fills[i]);
        p.drawPolygon(sheet);
    }
}

// A round arrow turning clockwise at the right: step to the next tool.
void drawTurn(QPainter& p) {
    const QColor color(200, 90, 20);
    p.setPen(QPen(color, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QRectF circle(13, 11, 9, 9);
    p.drawArc(circle, 100 * 16, -250 * 16);
    QPolygonF head;
    head << QPointF(14.2, 8.6) << QPointF(19.2, 11.4) << QPointF(14.0, 14.2);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(head);
}

void drawInfo(QPainter& p) {
    p.setPen(QPen(QColor(20, 70, 160), 1));
    p.setBrush(QColor(45, 110, 210));
    p.drawEllipse(QRectF(2, 2, 20, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(10.5, 5, 3, 3));
    p.drawRect(QRectF(10.5, 10, 3, 8));
}

}  // namespace

QIcon toolbarIcon(ToolbarIcon which) {
    QPixmap pixmap(kSize * 2, kSize * 2);
    pixmap.setDevicePixelRatio(2.0);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (which) {
    case ToolbarIcon::OpenCsv:
        drawFolder(p);
        p.save();
        p.translate(6, -2);
        p.scale(0.7, 0.7);
        drawPaper(p, QColor(40, 120, 60), QStringLiteral("CSV"));
        p.restore();
        break;
    case ToolbarIcon::ImportSheet:
        drawGrid(p);
        drawArrow(p, QPointF(10, 10), QPointF(21, 21), QColor(200, 90, 20));
        break;
    case ToolbarIcon::SaveCsv:
        drawPaper(p, QColor(40, 120, 60), QStringLiteral("CSV"));
        drawFloppy(p);
        break;
    case ToolbarIcon::ExportSheet:
        p.save();
        p.translate(6, 6);
        drawGrid(p);
        p.restore();
        drawArrow(p, QPointF(3, 12), QPointF(13, 2), QColor(200, 90, 20));
        break;
    case ToolbarIcon::ToolSelect:
        drawLayerStack(p);
        drawTurn(p);
        break;
    case ToolbarIcon::Version:
        drawInfo(p);
        break;
    }
    p.end();
    return QIcon(pixmap);
}

}  // namespace mainwin
