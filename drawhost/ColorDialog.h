#pragma once
// Choosing a colour index (1-255) from the palette, as the layer panel's
// colour column asks for one.
#include <QDialog>

class QLabel;

namespace drawhost {

class ColorDialog : public QDialog {
    Q_OBJECT
public:
    explicit ColorDialog(int current, QWidget* parent = nullptr);
    int color() const { return color_; }
    void setColor(int index);

private:
    int color_;
    QLabel* chosen_;
    QWidget* palette_;
};

}  // namespace drawhost
