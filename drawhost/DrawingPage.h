#pragma once
// One open drawing in the window: a view per space (model space and each
// paper layout, chosen by the tabs below them) and the scene they draw,
// built a slice at a time when the window gives it time.
#include <QHash>
#include <QWidget>
#include <memory>
#include <vector>

#include "DrawingScene.h"

class QStackedWidget;
class QTabBar;

namespace host {
struct OpenDocument;
}

namespace drawhost {

class DrawingView;
class LayoutRender;

class DrawingPage : public QWidget {
    Q_OBJECT
public:
    explicit DrawingPage(std::shared_ptr<host::OpenDocument> document, QWidget* parent = nullptr);
    ~DrawingPage() override;

    DrawingView* currentView() const;
    // "Model" or the layout on show.
    QString currentLayout() const;
    // Shows a layout's tab (without telling anyone that the user chose it).
    void showLayout(const QString& name);

    // The drawing's objects changed: the scene is built again (the old one
    // shows until then).
    void markDirty();
    bool dirty() const { return dirty_; }
    // Builds for about budgetMs; true once the scene is complete.
    bool build(double budgetMs);
    double buildProgress() const;
    // The layers' state changed: redraws with it.
    void refreshLayers();
    void setLineweights(bool on);
    const Scene* scene() const { return model_.get(); }

signals:
    void layoutChosen(const QString& name);  // the user clicked a layout's tab
    void pointPicked(const QPointF& world);
    void cursorMoved(const QPointF& world);

private:
    void refreshTabs();
    void showTab(int index);
    DrawingView* viewAt(int index);

    std::shared_ptr<host::OpenDocument> doc_;
    QStackedWidget* stack_;
    QTabBar* tabs_;
    std::vector<DrawingView*> views_;  // by tab; created when first shown
    std::shared_ptr<Scene> model_;
    std::unique_ptr<SceneBuilder> builder_;
    QHash<QString, std::shared_ptr<LayoutRender>> layouts_;
    bool dirty_ = true;
    bool lineweights_ = false;
    bool syncing_ = false;
};

}  // namespace drawhost
