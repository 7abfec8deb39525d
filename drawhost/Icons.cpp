#include "Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace drawhost {

namespace {

constexpr int kSize = 32;  // drawn at this size, shown at any

template <class Draw>
QIcon drawn(Draw draw) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    p.end();
    return QIcon(pixmap);
}

const QColor kInk(60, 70, 85);
const QColor kAccent(40, 120, 220);

void magnifier(QPainter& p) {
    p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(QColor(235, 245, 255));
    p.drawEllipse(QPointF(13, 13), 8.5, 8.5);
    p.drawLine(QPointF(19.5, 19.5), QPointF(28, 28));
}

}  // namespace

QIcon icon(IconKind kind) {
    switch (kind) {
    case IconKind::Open:
        return drawn([](QPainter& p) {
            p.setPen(QPen(kInk, 2));
            p.setBrush(QColor(250, 210, 110));
            p.drawPolygon(QPolygonF({QPointF(3, 8), QPointF(12, 8), QPointF(15, 11), QPointF(28, 11), QPointF(28, 26),
                                     QPointF(3, 26)}));
            p.setBrush(QColor(255, 232, 150));
            p.drawPolygon(QPolygonF({QPointF(7, 15), QPointF(31, 15), QPointF(28, 26), QPointF(3, 26)}));
        });
    case IconKind::Save:
        return drawn([](QPainter& p) {
            p.setPen(QPen(kInk, 2));
            p.setBrush(kAccent);
            p.drawRoundedRect(QRectF(4, 4, 24, 24), 3, 3);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(9, 4, 14, 9));
            p.drawRect(QRectF(8, 18, 16, 10));
        });
    case IconKind::ZoomExtents:
        return drawn([](QPainter& p) {
            magnifier(p);
            p.setPen(QPen(kAccent, 2));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(9, 9, 8, 8));
        });
    case IconKind::ZoomWindow:
        return drawn([](QPainter& p) {
            p.setPen(QPen(kAccent, 2, Qt::DashLine));
            p.drawRect(QRectF(2, 2, 17, 13));
            magnifier(p);
        });
    case IconKind::ZoomPrevious:
        return drawn([](QPainter& p) {
            magnifier(p);
            p.setPen(QPen(kAccent, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({QPointF(15, 9), QPointF(10, 13), QPointF(15, 17)}));
        });
    case IconKind::Pan:
        return drawn([](QPainter& p) {
            p.setPen(QPen(kInk, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLine(QPointF(16, 4), QPointF(16, 28));
            p.drawLine(QPointF(4, 16), QPointF(28, 16));
            for (int k = 0; k < 4; ++k) {
                p.save();
                p.translate(16, 16);
                p.rotate(90 * k);
                p.drawPolyline(QPolygonF({QPointF(-4, -8), QPointF(0, -12), QPointF(4, -8)}));
                p.restore();
            }
        });
    case IconKind::Regen:
        return drawn([](QPainter& p) {
            p.setPen(QPen(kAccent, 3, Qt::SolidLine, Qt::RoundCap));
            p.drawArc(QRectF(6, 6, 20, 20), 30 * 16, 290 * 16);
            p.setBrush(kAccent);
            p.setPen(Qt::NoPen);
            p.drawPolygon(QPolygonF({QPointF(27, 4), QPointF(29, 14), QPointF(19, 12)}));
        });
    case IconKind::Lineweight:
        return drawn([](QPainter& p) {
            for (int k = 0; k < 3; ++k) {
                p.setPen(QPen(kInk, 1 + 2.5 * k, Qt::SolidLine, Qt::FlatCap));
                p.drawLine(QPointF(4, 8 + 8 * k), QPointF(28, 8 + 8 * k));
            }
        });
    case IconKind::Help:
        return drawn([](QPainter& p) {
            p.setPen(QPen(kAccent, 2));
            p.setBrush(QColor(230, 240, 255));
            p.drawEllipse(QRectF(3, 3, 26, 26));
            QFont f = p.font();
            f.setPixelSize(20);
            f.setBold(true);
            p.setFont(f);
            p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, QStringLiteral("?"));
        });
    case IconKind::LayerOn:
    case IconKind::LayerOff:
        return drawn([kind](QPainter& p) {
            const bool on = kind == IconKind::LayerOn;
            p.setPen(QPen(on ? QColor(150, 120, 0) : QColor(120, 120, 140), 2));
            p.setBrush(on ? QColor(255, 220, 40) : QColor(170, 180, 200));
            p.drawEllipse(QPointF(16, 13), 9, 9);
            p.setBrush(QColor(140, 140, 150));
            p.drawRect(QRectF(12, 22, 8, 6));
        });
    case IconKind::Thawed:
        return drawn([](QPainter& p) {
            p.setPen(QPen(QColor(230, 150, 0), 2.5, Qt::SolidLine, Qt::RoundCap));
            for (int k = 0; k < 8; ++k) {
                const double a = k * M_PI / 4;
                p.drawLine(QPointF(16 + 9 * std::cos(a), 16 + 9 * std::sin(a)), QPointF(16 + 13 * std::cos(a), 16 + 13 * std::sin(a)));
            }
            p.setBrush(QColor(255, 200, 40));
            p.drawEllipse(QPointF(16, 16), 6, 6);
        });
    case IconKind::Frozen:
        return drawn([](QPainter& p) {
            p.setPen(QPen(QColor(60, 140, 230), 2.5, Qt::SolidLine, Qt::RoundCap));
            for (int k = 0; k < 3; ++k) {
                const double a = k * M_PI / 3;
                p.drawLine(QPointF(16 - 12 * std::cos(a), 16 - 12 * std::sin(a)), QPointF(16 + 12 * std::cos(a), 16 + 12 * std::sin(a)));
            }
        });
    case IconKind::Locked:
    case IconKind::Unlocked:
        return drawn([kind](QPainter& p) {
            const bool locked = kind == IconKind::Locked;
            p.setPen(QPen(kInk, 3));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(9, 3, 14, 16), 0, locked ? 180 * 16 : 150 * 16);
            if (locked) p.drawLine(QPointF(9, 11), QPointF(9, 15));
            p.drawLine(QPointF(23, 11), QPointF(23, 15));
            p.setPen(QPen(kInk, 2));
            p.setBrush(locked ? QColor(240, 190, 60) : QColor(210, 215, 225));
            p.drawRoundedRect(QRectF(6, 14, 20, 15), 2, 2);
        });
    case IconKind::Plot:
    case IconKind::NoPlot:
        return drawn([kind](QPainter& p) {
            p.setPen(QPen(kInk, 2));
            p.setBrush(QColor(220, 225, 235));
            p.drawRoundedRect(QRectF(3, 11, 26, 12), 2, 2);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(9, 4, 14, 7));
            p.drawRect(QRectF(9, 19, 14, 9));
            if (kind == IconKind::NoPlot) {
                p.setPen(QPen(QColor(210, 40, 40), 3, Qt::SolidLine, Qt::RoundCap));
                p.drawLine(QPointF(4, 28), QPointF(28, 4));
            }
        });
    }
    return QIcon();
}

QIcon colorSwatch(const QColor& color) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QColor(60, 60, 60));
    p.setBrush(color);
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.end();
    return QIcon(pixmap);
}

}  // namespace drawhost
