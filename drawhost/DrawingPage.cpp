#include "DrawingPage.h"

#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

#include "DrawingView.h"
#include "LayoutRender.h"
#include "engine/Drawing.h"
#include "host/client/InProcessHost.h"

namespace drawhost {

namespace {
const QString kModel = QStringLiteral("Model");
}

DrawingPage::DrawingPage(std::shared_ptr<host::OpenDocument> document, QWidget* parent)
    : QWidget(parent), doc_(std::move(document)) {
    stack_ = new QStackedWidget;
    tabs_ = new QTabBar;
    tabs_->setShape(QTabBar::RoundedSouth);
    tabs_->setDocumentMode(true);
    tabs_->setExpanding(false);
    tabs_->setDrawBase(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(stack_, 1);
    layout->addWidget(tabs_);
    connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
        if (index < 0) return;
        showTab(index);
        if (!syncing_) emit layoutChosen(tabs_->tabText(index));
    });
    refreshTabs();
}

DrawingPage::~DrawingPage() = default;

void DrawingPage::refreshTabs() {
    QStringList names{kModel};
    if (!doc_->closed())
        for (const std::string& name : doc_->drawing->layouts())
            if (QString::fromStdString(name).compare(kModel, Qt::CaseInsensitive) != 0) names << QString::fromStdString(name);
    QStringList shown;
    for (int i = 0; i < tabs_->count(); ++i) shown << tabs_->tabText(i);
    if (shown == names) return;
    const QString current = currentLayout();
    syncing_ = true;
    while (tabs_->count() > 0) tabs_->removeTab(0);
    for (std::size_t i = 1; i < views_.size(); ++i)
        if (views_[i]) {
            stack_->removeWidget(views_[i]);
            views_[i]->deleteLater();
        }
    views_.resize(std::min<std::size_t>(views_.size(), 1));
    views_.resize(std::size_t(names.size()), nullptr);
    for (const QString& n : names) tabs_->addTab(n);
    const int keep = std::max(0, int(names.indexOf(current)));
    tabs_->setCurrentIndex(keep);
    showTab(keep);
    syncing_ = false;
}

DrawingView* DrawingPage::viewAt(int index) {
    if (index < 0 || index >= int(views_.size())) return nullptr;
    if (!views_[index]) {
        auto* view = new DrawingView;
        view->setLineweights(lineweights_);
        connect(view, &DrawingView::pointPicked, this, &DrawingPage::pointPicked);
        connect(view, &DrawingView::cursorMoved, this, &DrawingPage::cursorMoved);
        if (index == 0) view->setScene(model_);
        stack_->addWidget(view);
        views_[index] = view;
    }
    DrawingView* view = views_[index];
    // A layout is drawn once model space is there for its viewports.
    const QString name = tabs_->tabText(index);
    if (index > 0 && model_ && !doc_->closed() && !layouts_.contains(name)) {
        try {
            auto render = std::make_shared<LayoutRender>(*doc_->drawing, name, model_);
            layouts_.insert(name, render);
            view->setLayout(render);
        } catch (const dxf::EngineError&) {
            layouts_.insert(name, nullptr);
        }
    }
    return view;
}

void DrawingPage::showTab(int index) {
    if (DrawingView* view = viewAt(index)) stack_->setCurrentWidget(view);
}

DrawingView* DrawingPage::currentView() const {
    const int index = tabs_->currentIndex();
    return index >= 0 && index < int(views_.size()) ? views_[index] : nullptr;
}

QString DrawingPage::currentLayout() const { return tabs_->count() ? tabs_->tabText(tabs_->currentIndex()) : kModel; }

void DrawingPage::showLayout(const QString& name) {
    for (int i = 0; i < tabs_->count(); ++i)
        if (tabs_->tabText(i).compare(name.isEmpty() ? kModel : name, Qt::CaseInsensitive) == 0) {
            syncing_ = true;
            tabs_->setCurrentIndex(i);
            syncing_ = false;
            showTab(i);
            return;
        }
}

void DrawingPage::markDirty() {
    builder_.reset();
    dirty_ = true;
}

double DrawingPage::buildProgress() const { return builder_ ? builder_->progress() : dirty_ ? 0.0 : 1.0; }

bool DrawingPage::build(double budgetMs) {
    if (!dirty_ || doc_->closed()) return true;
    if (!builder_) builder_ = std::make_unique<SceneBuilder>(*doc_->drawing, doc_->drawing->modelSpace());
    if (!builder_->run(budgetMs)) return false;
    model_ = std::make_shared<Scene>(builder_->take());
    builder_.reset();
    dirty_ = false;
    layouts_.clear();
    refreshTabs();
    if (views_[0]) views_[0]->setScene(model_);
    for (std::size_t i = 1; i < views_.size(); ++i)
        if (views_[i]) views_[i]->setLayout(nullptr);
    showTab(tabs_->currentIndex());
    return true;
}

void DrawingPage::refreshLayers() {
    if (doc_->closed()) return;
    if (model_) model_->refreshLayers(*doc_->drawing);
    for (const auto& render : std::as_const(layouts_))
        if (render) render->refreshLayers(*doc_->drawing);
    for (DrawingView* view : views_)
        if (view) view->invalidate();
}

void DrawingPage::setLineweights(bool on) {
    lineweights_ = on;
    for (DrawingView* view : views_)
        if (view) view->setLineweights(on);
}

}  // namespace drawhost
