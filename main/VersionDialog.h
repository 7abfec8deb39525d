#pragma once
// The version information window of toolbar button 9.
#include <QDialog>

class QLabel;

namespace mainwin {

class VersionDialog : public QDialog {
    Q_OBJECT
public:
    explicit VersionDialog(QWidget* parent = nullptr);

    QLabel* LblTitle = nullptr;
    QLabel* LblDescription = nullptr;
    QPushButton* OKButton = nullptr;
};

}  // namespace mainwin
