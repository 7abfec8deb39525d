#pragma once
// A report list that takes files dropped from a file manager and hands their
// local paths on, in the order they were dropped.
#include <QTreeWidget>

class QMimeData;

namespace mainwin {

class FileDropList : public QTreeWidget {
    Q_OBJECT
public:
    explicit FileDropList(QWidget* parent = nullptr);

    // Hands on the local files that a drop carries.
    void takeDrop(const QMimeData& data);

signals:
    void filesDropped(const QStringList& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

}  // namespace mainwin
