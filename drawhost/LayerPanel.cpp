#include "LayerPanel.h"

#include <QHeaderView>
#include <QScrollBar>

#include "ColorDialog.h"
#include "DrawingScene.h"
#include "Icons.h"
#include "engine/Drawing.h"

namespace drawhost {

namespace {
constexpr int kOnRole = Qt::UserRole + 1;  // the state shown in a toggle column
}

LayerPanel::LayerPanel(QWidget* parent) : QTreeWidget(parent) {
    setHeaderLabels({QStringLiteral("Layer"), QStringLiteral("On"), QStringLiteral("Freeze"), QStringLiteral("Lock"),
                     QStringLiteral("Color"), QStringLiteral("Linetype"), QStringLiteral("Lineweight"),
                     QStringLiteral("Plot")});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setSortingEnabled(false);
    connect(this, &QTreeWidget::itemClicked, this, &LayerPanel::clicked);
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int column) {
        if (column == Name) emit commandRequested(layerKeys(QStringLiteral("S"), item->data(Name, Qt::UserRole).toString()));
    });
}

QString LayerPanel::layerKeys(const QString& option, const QString& layer, const QString& value) {
    // Escape first and last: whatever was pending is cancelled, and a refused
    // answer does not leave the command waiting.
    QString keys = QStringLiteral("\x1b-LAYER\r%1\r").arg(option);
    if (!value.isEmpty()) keys += value + u'\r';
    return keys + QStringLiteral("\"%1\"\r\r\x1b").arg(layer);
}

void LayerPanel::showLayers(const dxf::Drawing* drawing) {
    const int scroll = verticalScrollBar()->value();
    const QString selected = currentItem() ? currentItem()->data(Name, Qt::UserRole).toString() : QString();
    clear();
    if (!drawing) return;
    std::string current;
    try {
        current = drawing->activeLayer().name();
    } catch (const dxf::EngineError&) {
    }
    QList<QTreeWidgetItem*> items;
    for (const dxf::Layer& l : drawing->layers()) {
        auto* item = new QTreeWidgetItem;
        const QString name = QString::fromStdString(l.name());
        item->setData(Name, Qt::UserRole, name);
        item->setText(Name, name);
        if (l.name() == current) {
            QFont bold = item->font(Name);
            bold.setBold(true);
            item->setFont(Name, bold);
            item->setToolTip(Name, QStringLiteral("The current layer"));
        }
        auto toggle = [&](int column, bool on, IconKind yes, IconKind no, const QString& tip) {
            item->setIcon(column, icon(on ? yes : no));
            item->setData(column, kOnRole, on);
            item->setToolTip(column, tip);
        };
        toggle(On, l.layerOn(), IconKind::LayerOn, IconKind::LayerOff, QStringLiteral("Click to turn on or off"));
        toggle(Freeze, l.freeze(), IconKind::Frozen, IconKind::Thawed, QStringLiteral("Click to freeze or thaw"));
        toggle(Lock, l.lock(), IconKind::Locked, IconKind::Unlocked, QStringLiteral("Click to lock or unlock"));
        toggle(Plot, l.plottable(), IconKind::Plot, IconKind::NoPlot, QStringLiteral("Click to plot or not"));
        item->setIcon(Color, colorSwatch(aciColor(l.color())));
        item->setText(Color, QString::number(l.color()));
        item->setData(Color, kOnRole, l.color());
        item->setToolTip(Color, QStringLiteral("Click to choose the colour"));
        item->setText(Linetype, QString::fromStdString(l.linetype()));
        item->setText(Lineweight, l.lineweight() < 0 ? QStringLiteral("Default")
                                                     : QStringLiteral("%1 mm").arg(l.lineweight() / 100.0, 0, 'f', 2));
        items << item;
        if (name == selected) setCurrentItem(item);
    }
    addTopLevelItems(items);
    for (QTreeWidgetItem* item : items)
        if (item->data(Name, Qt::UserRole).toString() == selected) setCurrentItem(item);
    verticalScrollBar()->setValue(scroll);
}

void LayerPanel::clicked(QTreeWidgetItem* item, int column) {
    const QString layer = item->data(Name, Qt::UserRole).toString();
    const bool on = item->data(column, kOnRole).toBool();
    switch (column) {
    case On:
        emit commandRequested(layerKeys(on ? QStringLiteral("OFF") : QStringLiteral("ON"), layer));
        break;
    case Freeze:
        emit commandRequested(layerKeys(on ? QStringLiteral("T") : QStringLiteral("F"), layer));
        break;
    case Lock:
        emit commandRequested(layerKeys(on ? QStringLiteral("U") : QStringLiteral("LO"), layer));
        break;
    case Plot:
        emit commandRequested(layerKeys(QStringLiteral("P"), layer, on ? QStringLiteral("N") : QStringLiteral("P")));
        break;
    case Color: {
        ColorDialog dialog(item->data(Color, kOnRole).toInt(), this);
        if (dialog.exec() == QDialog::Accepted)
            emit commandRequested(layerKeys(QStringLiteral("C"), layer, QString::number(dialog.color())));
        break;
    }
    default:
        break;
    }
}

}  // namespace drawhost
