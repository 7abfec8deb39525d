// The in-process host over the engine: documents, objects that outlive their
// drawing, saves that fail without losing the drawing, selection filters, and
// the in-process provider.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "host/HostConnection.h"
#include "host/client/InProcessHost.h"

using namespace host;

namespace {

long errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const HostError& e) {
        return e.number();
    }
    return 0;
}

class InProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QDir().mkpath(dir_.filePath(QStringLiteral("sub")));
        path_ = dir_.filePath(QStringLiteral("sub/plan.dxf"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(LAMINOR_SAMPLES_DIR "/floor-plan.dxf"), path_));
        QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner);
        host_ = InProcessHost::create();
        app_ = host_->application();
    }
    QByteArray bytes() const {
        QFile f(path_);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir dir_;
    QString path_;
    std::shared_ptr<InProcessHost> host_;
    ApplicationPtr app_;
};

TEST_F(InProcessTest, ObjectsOfAClosedDrawingFailInsteadOfCrashing) {
    DocumentPtr doc = app_->documents()->open(path_);
    LayerPtr wall = doc->layers()->item(QStringLiteral("壁"));
    EntityCollectionPtr model = doc->modelSpace();
    ASSERT_GT(model->count(), 0);
    EntityPtr first = model->item(0);
    SelectionSetPtr set = doc->selectionSets()->add(QStringLiteral("SSetDummy"));
    doc->close(false);
    EXPECT_EQ(app_->documents()->count(), 0);
    EXPECT_EQ(errorOf([&] { wall->name(); }), errc::kNoDocument);
    EXPECT_EQ(errorOf([&] { wall->setName(QStringLiteral("x")); }), errc::kNoDocument);
    EXPECT_EQ(errorOf([&] { first->handle(); }), errc::kNoDocument);
    EXPECT_EQ(errorOf([&] { model->count(); }), errc::kNoDocument);
    EXPECT_EQ(errorOf([&] { set->count(); }), errc::kNoDocument);
    EXPECT_EQ(errorOf([&] { doc->layers(); }), errc::kNoDocument);
    EXPECT_EQ(errorOf([&] { app_->activeDocument(); }), errc::kNoDocument);

    // A deleted layer's object fails too.
    DocumentPtr again = app_->documents()->open(path_);
    LayerPtr added = again->layers()->add(QStringLiteral("一時"));
    added->deleteLayer();
    EXPECT_EQ(errorOf([&] { added->color(); }), errc::kKeyNotFound);
}

TEST_F(InProcessTest, AFailedSaveKeepsTheDrawingOpenAndItsChanges) {
    DocumentPtr doc = app_->documents()->open(path_);
    doc->layers()->item(QStringLiteral("壁"))->setColor(2);
    // The folder disappears under the host: saving cannot succeed.
    ASSERT_TRUE(QDir(dir_.filePath(QStringLiteral("sub"))).removeRecursively());
    EXPECT_EQ(errorOf([&] { doc->close(true); }), errc::kFileError);
    ASSERT_EQ(app_->documents()->count(), 1);
    EXPECT_EQ(doc->layers()->item(QStringLiteral("壁"))->color(), 2);

    // A new drawing has no file yet: saving it is refused, discarding works.
    DocumentPtr fresh = app_->documents()->add();
    EXPECT_EQ(fresh->name(), QStringLiteral("Drawing1.dxf"));
    EXPECT_EQ(fresh->layers()->count(), 1);
    EXPECT_EQ(app_->activeDocument()->name(), QStringLiteral("Drawing1.dxf"));
    EXPECT_EQ(errorOf([&] { fresh->close(true); }), errc::kFileError);
    fresh->close(false);
    EXPECT_EQ(app_->activeDocument()->fullName(), QDir::cleanPath(path_));
}

TEST_F(InProcessTest, DocumentsByNameAndOpeningTwice) {
    DocumentsPtr docs = app_->documents();
    DocumentPtr a = docs->open(path_);
    DocumentPtr b = docs->open(path_);
    EXPECT_EQ(docs->count(), 1);  // one file, one document: two copies could overwrite each other
    EXPECT_EQ(docs->item(QStringLiteral("PLAN.DXF"))->fullName(), QDir::cleanPath(path_));
    EXPECT_EQ(errorOf([&] { docs->item(QStringLiteral("other.dxf")); }), errc::kKeyNotFound);
    EXPECT_EQ(errorOf([&] { docs->item(3); }), errc::kInvalidArgument);
    const QString broken = dir_.filePath(QStringLiteral("broken.dxf"));
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nnot-a-number");
    f.close();
    EXPECT_EQ(errorOf([&] { docs->open(broken); }), errc::kFileError);
    EXPECT_EQ(errorOf([&] { docs->open(dir_.filePath(QStringLiteral("plan.dwg"))); }), errc::kFileError);
    EXPECT_EQ(docs->count(), 1);
    EXPECT_EQ(a->layouts().front(), QStringLiteral("Model"));
    EXPECT_TRUE(a->linetypes().contains(QStringLiteral("Continuous"), Qt::CaseInsensitive));
}

TEST_F(InProcessTest, SelectionFiltersAndObjects) {
    DocumentPtr doc = app_->documents()->open(path_);
    SelectionSetsPtr sets = doc->selectionSets();
    SelectionSetPtr set = sets->add(QStringLiteral("SSetDummy"));
    EXPECT_EQ(errorOf([&] { sets->add(QStringLiteral("SSetDummy")); }), errc::kDuplicateKey);

    set->select(5, {8}, {QStringLiteral("壁")});
    const int onWall = set->count();
    ASSERT_GT(onWall, 0);
    set->select(5, {8}, {QStringLiteral("壁")});
    EXPECT_EQ(set->count(), onWall);  // selecting again adds nothing twice
    set->clear();
    set->select(5, {8, 8}, {QStringLiteral("壁"), QStringLiteral("寸法")});
    EXPECT_EQ(set->count(), 0);  // both must hold
    EXPECT_EQ(errorOf([&] { set->select(5, {62}, {1}); }), errc::kInvalidArgument);
    EXPECT_EQ(errorOf([&] { set->select(1, {8}, {QStringLiteral("壁")}); }), errc::kInvalidArgument);

    set->select(5, {0}, {QStringLiteral("INSERT")});
    ASSERT_GT(set->count(), 0);
    EntityPtr ref = set->item(0);
    EXPECT_EQ(ref->objectName(), QStringLiteral("AcDbBlockReference"));
    EXPECT_FALSE(ref->name().isEmpty());
    EXPECT_NO_THROW(doc->blocks()->item(ref->name())->count());
    for (const EntityPtr& attribute : ref->getAttributes()) EXPECT_FALSE(attribute->layer().isEmpty());
    EXPECT_EQ(errorOf([&] { doc->handleToObject(ref->handle())->textString(); }), errc::kNotApplicable);
    set->deleteSet();
    EXPECT_EQ(errorOf([&] { set->count(); }), errc::kKeyNotFound);

    set = sets->add(QStringLiteral("texts"));
    set->select(5, {0}, {QStringLiteral("LINE")});
    ASSERT_GT(set->count(), 0);
    EXPECT_EQ(errorOf([&] { set->item(0)->name(); }), errc::kNotApplicable);
}

TEST(InProcessProviderTest, RunsOnceCreatedAndNeverBefore) {
    installInProcessHostProvider();
    ApplicationPtr app;
    bool found = true;
    EXPECT_FALSE(fun_bGetRunningHost(app, found));
    support::PlainStatusLabel label;
    ASSERT_TRUE(fun_bFindOrStartHost(app, label));
    EXPECT_TRUE(app->visible());
    EXPECT_TRUE(fun_bGetRunningHost(app, found));
    app->sendKeys(QStringLiteral("filedia 0 "));
    setHostProvider(nullptr);
}

}  // namespace
