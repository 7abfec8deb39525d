#pragma once
// The layer panel: every layer of the active drawing with its state. A
// click on a layer's On, Freeze, Lock, Color or Plot cell, or a double click
// on its name (make it current), asks for the -LAYER command that does it,
// so that the change goes through the host as typed commands do.
#include <QTreeWidget>

namespace dxf {
class Drawing;
}

namespace drawhost {

class LayerPanel : public QTreeWidget {
    Q_OBJECT
public:
    enum Column { Name, On, Freeze, Lock, Color, Linetype, Lineweight, Plot };
    explicit LayerPanel(QWidget* parent = nullptr);
    // Lists the drawing's layers (none for nullptr).
    void showLayers(const dxf::Drawing* drawing);
    // The keys that run -LAYER with one option and its answers for one layer.
    static QString layerKeys(const QString& option, const QString& layer, const QString& value = QString());

signals:
    // Keystrokes for the command line.
    void commandRequested(const QString& keys);

private:
    void clicked(QTreeWidgetItem* item, int column);
};

}  // namespace drawhost
