#include "ColorDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "DrawingScene.h"

namespace drawhost {

namespace {

constexpr int kCell = 16;

// The palette: the 240 colours 10-249 by hue (columns) and shade (rows),
// then the nine standard colours and the six greys.
class Palette : public QWidget {
public:
    explicit Palette(ColorDialog* dialog) : dialog_(dialog) { setFixedSize(24 * kCell + 1, 12 * kCell + 8); }
    int selected = 0;

    static QRect cellOf(int index) {
        if (index >= 10 && index <= 249) return QRect((index / 10 - 1) * kCell, (index % 10) * kCell, kCell, kCell);
        if (index >= 1 && index <= 9) return QRect((index - 1) * kCell, 10 * kCell + 8, kCell, kCell);
        if (index >= 250 && index <= 255) return QRect((index - 250 + 12) * kCell, 10 * kCell + 8, kCell, kCell);
        return QRect();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        for (int i = 1; i <= 255; ++i) {
            const QRect r = cellOf(i);
            p.fillRect(r.adjusted(1, 1, 0, 0), aciColor(i));
        }
        if (selected) {
            p.setPen(QPen(palette().color(QPalette::Highlight), 2));
            p.drawRect(cellOf(selected).adjusted(1, 1, -1, -1));
        }
    }
    void mousePressEvent(QMouseEvent* e) override {
        for (int i = 1; i <= 255; ++i)
            if (cellOf(i).contains(e->pos())) dialog_->setColor(i);
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        mousePressEvent(e);
        if (selected) dialog_->accept();
    }

private:
    ColorDialog* dialog_;
};

}  // namespace

ColorDialog::ColorDialog(int current, QWidget* parent) : QDialog(parent), color_(current) {
    setWindowTitle(QStringLiteral("Select Color"));
    palette_ = new Palette(this);
    chosen_ = new QLabel;
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(palette_);
    layout->addWidget(chosen_);
    layout->addWidget(buttons);
    setColor(current);
}

void ColorDialog::setColor(int index) {
    if (index < 1 || index > 255) return;
    color_ = index;
    static_cast<Palette*>(palette_)->selected = index;
    palette_->update();
    static const char* names[] = {"", "red", "yellow", "green", "cyan", "blue", "magenta", "white"};
    chosen_->setText(index <= 7 ? QStringLiteral("Color %1 (%2)").arg(index).arg(QLatin1String(names[index]))
                                : QStringLiteral("Color %1").arg(index));
}

}  // namespace drawhost
