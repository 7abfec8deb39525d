// The automation socket end to end: a client in this thread, the server with
// an in-memory host in a thread of its own, as drawhost would run it.
#include <gtest/gtest.h>

#include <QCborArray>
#include <QCborMap>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QThread>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <QDir>
#include <unistd.h>

#include "FakeHost.h"
#include "drawhost/AutomationServer.h"
#include "host/client/RemoteHost.h"
#include "host/client/RemoteProtocol.h"

using namespace host;

namespace {

// Runs an AutomationServer over a fake host on its own thread and event loop.
class ServerThread {
public:
    explicit ServerThread(const QString& path, fake::Library library = {}) {
        context_.moveToThread(&thread_);
        thread_.start();
        QMetaObject::invokeMethod(
            &context_,
            [&] {
                server_ = new AutomationServer(fake::makeFakeApp(std::move(library),
                                                                 [this](const QString& k) { keys_ += k; }));
                listening_ = server_->listen(path, &reason_);
            },
            Qt::BlockingQueuedConnection);
    }
    ~ServerThread() { stop(); }
    void stop() {
        if (!thread_.isRunning()) return;
        QMetaObject::invokeMethod(&context_, [&] { delete server_; }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }
    // Blocks the server's thread, as a host stuck in a long command would.
    void stall(int ms) {
        QMetaObject::invokeMethod(&context_, [ms] { QThread::msleep(ms); }, Qt::QueuedConnection);
    }
    bool listening() const { return listening_; }
    QString reason() const { return reason_; }
    QString keys() const { return keys_; }

private:
    struct Context : QObject {} ;
    QThread thread_;
    Context context_;
    AutomationServer* server_ = nullptr;
    bool listening_ = false;
    QString reason_;
    QString keys_;
};

class RemoteTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("drawhost.sock"));
        library_.insert(QStringLiteral("/d/A1.dxf"), fake::sampleDrawing(QStringLiteral("/d/A1.dxf")));
        library_.insert(QStringLiteral("/d/B2.dxf"), fake::sampleDrawing(QStringLiteral("/d/B2.dxf")));
    }
    QTemporaryDir dir_;
    QString path_;
    fake::Library library_;
};

long errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const HostError& e) {
        return e.number();
    }
    return 0;
}

// The objects on 壁 of the sample drawing (a text and a line), in a new set.
SelectionSetPtr wallObjects(const DocumentPtr& doc) {
    SelectionSetPtr set = doc->selectionSets()->add(QStringLiteral("walk"));
    set->select(5, {8}, {QStringLiteral("壁")});
    return set;
}

TEST_F(RemoteTest, MembersAndErrorsCrossTheSocket) {
    ServerThread server(path_, library_);
    ASSERT_TRUE(server.listening()) << server.reason().toStdString();
    ApplicationPtr app = connectRemoteHost(path_);

    EXPECT_EQ(app->caption(), QStringLiteral("drawhost"));
    EXPECT_EQ(errorOf([&] { app->activeDocument(); }), errc::kNoDocument);
    app->setVisible(true);
    EXPECT_TRUE(app->visible());
    EXPECT_EQ(errorOf([&] { app->setWindowState(7); }), errc::kInvalidArgument);

    DocumentsPtr docs = app->documents();
    EXPECT_EQ(errorOf([&] { docs->open(QStringLiteral("/d/missing.dxf")); }), errc::kFileError);
    DocumentPtr doc = docs->open(QStringLiteral("/d/A1.dxf"));
    EXPECT_EQ(doc->name(), QStringLiteral("A1.dxf"));
    EXPECT_EQ(docs->count(), 1);
    EXPECT_EQ(docs->item(QStringLiteral("a1.DXF"))->fullName(), QStringLiteral("/d/A1.dxf"));
    EXPECT_EQ(errorOf([&] { docs->item(QStringLiteral("B2.dxf")); }), errc::kKeyNotFound);
    EXPECT_EQ(app->activeDocument()->fullName(), QStringLiteral("/d/A1.dxf"));
    EXPECT_EQ(doc->layouts(), (QStringList{QStringLiteral("Model"), QStringLiteral("Layout1")}));

    // Objects: texts by handle, members an object lacks, bounding boxes.
    EntityPtr text = doc->handleToObject(QStringLiteral("1a"));
    EXPECT_EQ(text->objectName(), QStringLiteral("AcDbText"));
    EXPECT_EQ(text->textString(), QStringLiteral("通り芯 X1"));
    Point3 lo, hi;
    text->getBoundingBox(lo, hi);
    EXPECT_DOUBLE_EQ(hi.x, 10.0);
    EXPECT_EQ(errorOf([&] { doc->handleToObject(QStringLiteral("FFFF")); }), errc::kInvalidInput);
    EXPECT_EQ(errorOf([&] { doc->handleToObject(QStringLiteral("1C"))->textString(); }), errc::kNotApplicable);

    // Selection with a layer filter.
    SelectionSetPtr set = doc->selectionSets()->add(QStringLiteral("SSetDummy"));
    set->select(5, {8}, {QStringLiteral("壁")});
    EXPECT_EQ(set->count(), 2);
    EXPECT_EQ(set->item(1)->handle(), QStringLiteral("1C"));

    app->sendKeys(QStringLiteral("\x1b\x1b" "filedia 0 script \"/a b/x.scr\"\r"));
    EXPECT_EQ(server.keys(), QStringLiteral("\x1b\x1b" "filedia 0 script \"/a b/x.scr\"\r"));
    // A request far larger than the socket's buffers arrives whole.
    const QString many = QStringLiteral("line 0,0 10,10\r").repeated(200000);
    app->sendKeys(many);
    EXPECT_EQ(server.keys().size(), qsizetype(32 + many.size()));
    EXPECT_TRUE(server.keys().endsWith(many));

    doc->close(true);
    EXPECT_EQ(docs->count(), 0);
}

TEST_F(RemoteTest, LayerPropertiesRenamesAndRefusals) {
    ServerThread server(path_, library_);
    ApplicationPtr app = connectRemoteHost(path_);
    DocumentPtr doc = app->documents()->open(QStringLiteral("/d/A1.dxf"));
    LayersPtr layers = doc->layers();
    ASSERT_EQ(layers->count(), 3);
    LayerPtr wall = layers->item(1);
    EXPECT_EQ(wall->name(), QStringLiteral("壁"));
    // A property the host refuses to read is raised when read, not when listed.
    EXPECT_EQ(errorOf([&] { wall->plotStyleName(); }), errc::kNotApplicable);

    wall->setName(QStringLiteral("既存壁"));
    EXPECT_EQ(wall->name(), QStringLiteral("既存壁"));
    EXPECT_EQ(layers->item(1)->name(), QStringLiteral("既存壁"));
    EXPECT_EQ(layers->item(QStringLiteral("既存壁"))->color(), 7);
    EXPECT_EQ(errorOf([&] { wall->setName(QStringLiteral("wall-a")); }), errc::kDuplicateKey);
    EXPECT_EQ(wall->name(), QStringLiteral("既存壁"));
    EXPECT_EQ(errorOf([&] { wall->setColor(256); }), errc::kInvalidInput);
    wall->setColor(3);
    wall->setLayerOn(false);
    EXPECT_EQ(layers->item(1)->color(), 3);
    EXPECT_FALSE(layers->item(1)->layerOn());
    EXPECT_EQ(errorOf([&] { wall->deleteLayer(); }), errc::kObjectInUse);

    LayerPtr added = layers->add(QStringLiteral("新規"));
    EXPECT_EQ(layers->count(), 4);
    EXPECT_EQ(layers->item(3)->name(), QStringLiteral("新規"));
    added->deleteLayer();
    EXPECT_EQ(layers->count(), 3);
    doc->setActiveLayer(layers->item(2));
    EXPECT_EQ(doc->activeLayer()->name(), QStringLiteral("WALL-A"));
}

TEST_F(RemoteTest, CachedLayersFollowChangesByAnotherClient) {
    ServerThread server(path_, library_);
    ApplicationPtr a = connectRemoteHost(path_);
    ApplicationPtr b = connectRemoteHost(path_);
    a->documents()->open(QStringLiteral("/d/A1.dxf"));
    LayersPtr seenByA = a->activeDocument()->layers();
    EXPECT_EQ(seenByA->item(2)->name(), QStringLiteral("WALL-A"));

    b->activeDocument()->layers()->item(QStringLiteral("WALL-A"))->setName(QStringLiteral("WALL-B"));
    // Any call of A's learns that the host changed and drops A's cache...
    EXPECT_EQ(a->documents()->count(), 1);
    EXPECT_EQ(seenByA->item(2)->name(), QStringLiteral("WALL-B"));

    // ...and so does time, for a client that has not called in a while.
    b->activeDocument()->layers()->item(QStringLiteral("WALL-B"))->setColor(5);
    QThread::msleep(300);
    EXPECT_EQ(seenByA->item(2)->color(), 5);
}

TEST_F(RemoteTest, LayerLoopsAreBatched) {
    ServerThread server(path_, library_);
    ApplicationPtr app = connectRemoteHost(path_);
    LayersPtr layers = app->documents()->open(QStringLiteral("/d/A1.dxf"))->layers();
    const quint64 before = remoteRoundTrips();
    for (int i = 0; i < layers->count(); ++i) {
        LayerPtr l = layers->item(i);
        (void)l->name();
        (void)l->color();
        (void)l->freeze();
    }
    EXPECT_EQ(remoteRoundTrips() - before, 1u);

    // A merge walks a selection set: one call for its members; moves to a
    // layer known to exist go without waiting for their answers.
    DocumentPtr doc = app->activeDocument();
    SelectionSetPtr set = doc->selectionSets()->add(QStringLiteral("SSetDummy"));
    set->select(5, {8}, {QStringLiteral("壁")});
    const quint64 walk = remoteRoundTrips();
    for (int i = 0; i < set->count(); ++i) set->item(i)->setLayer(QStringLiteral("WALL-A"));
    EXPECT_EQ(remoteRoundTrips() - walk, 1u);
    // A move to a layer the client does not know waits, and its refusal is raised there.
    EXPECT_EQ(errorOf([&] { set->item(0)->setLayer(QStringLiteral("NOSUCH")); }), errc::kKeyNotFound);

    // Moves still unanswered when the client lets go are done all the same.
    {
        ApplicationPtr other = connectRemoteHost(path_);
        DocumentPtr same = other->activeDocument();
        LayersPtr known = same->layers();
        (void)known->item(0)->name();  // the client now knows layer 0 exists
        SelectionSetPtr moving = same->selectionSets()->add(QStringLiteral("move"));
        moving->select(5, {8}, {QStringLiteral("WALL-A")});
        ASSERT_EQ(moving->count(), 3);
        const quint64 before = remoteRoundTrips();
        for (int i = 0; i < moving->count(); ++i) moving->item(i)->setLayer(QStringLiteral("0"));
        EXPECT_EQ(remoteRoundTrips(), before);
    }
    EXPECT_EQ(doc->handleToObject(QStringLiteral("1B"))->layer(), QStringLiteral("0"));
    // The moves are real, and what was read before them is still right.
    EXPECT_EQ(set->count(), 2);
    EXPECT_EQ(layers->item(1)->name(), QStringLiteral("壁"));
}

TEST_F(RemoteTest, ObjectsReadInOneCallFollowRenamesAndMoves) {
    ServerThread server(path_, library_);
    ApplicationPtr app = connectRemoteHost(path_);
    DocumentPtr doc = app->documents()->open(QStringLiteral("/d/A1.dxf"));
    SelectionSetPtr set = wallObjects(doc);
    ASSERT_EQ(set->count(), 2);
    EntityPtr text = set->item(0);
    const quint64 before = remoteRoundTrips();
    EXPECT_EQ(text->layer(), QStringLiteral("壁"));
    EXPECT_EQ(text->objectName(), QStringLiteral("AcDbText"));
    EXPECT_EQ(text->handle(), QStringLiteral("1A"));
    EXPECT_EQ(remoteRoundTrips(), before);  // all three came with the set
    // Name is not a member of a text: the host's refusal comes through.
    EXPECT_EQ(errorOf([&] { text->name(); }), errc::kNotApplicable);

    // Renaming the layer renames it on its objects too.
    doc->layers()->item(QStringLiteral("壁"))->setName(QStringLiteral("新壁"));
    EXPECT_EQ(text->layer(), QStringLiteral("新壁"));
    EXPECT_EQ(set->item(1)->layer(), QStringLiteral("新壁"));
    // A moved object reads its new layer.
    set->item(1)->setLayer(QStringLiteral("wall-a"));
    EXPECT_EQ(set->item(1)->layer(), QStringLiteral("WALL-A"));
}

TEST_F(RemoteTest, LookupsByNameRenamesAndDeletesKeepCachesExact) {
    ServerThread server(path_, library_);
    ApplicationPtr app = connectRemoteHost(path_);
    DocumentPtr doc = app->documents()->open(QStringLiteral("/d/A1.dxf"));
    SelectionSetPtr set = wallObjects(doc);
    ASSERT_EQ(set->count(), 2);
    EntityPtr text = set->item(0);

    // From the second lookup on, names are looked up in the layer list.
    LayersPtr layers = doc->layers();
    EXPECT_EQ(layers->item(QStringLiteral("壁"))->name(), QStringLiteral("壁"));
    EXPECT_EQ(layers->item(QStringLiteral("WALL-A"))->name(), QStringLiteral("WALL-A"));
    quint64 before = remoteRoundTrips();
    EXPECT_EQ(layers->item(QStringLiteral("0"))->name(), QStringLiteral("0"));
    EXPECT_EQ(errorOf([&] { layers->item(QStringLiteral("NOSUCH")); }), errc::kKeyNotFound);
    EXPECT_EQ(layers->add(QStringLiteral("WALL-A"))->name(), QStringLiteral("WALL-A"));
    EXPECT_EQ(remoteRoundTrips(), before);
    // A name that differs in letter case only is the host's to decide.
    EXPECT_EQ(layers->item(QStringLiteral("wall-a"))->name(), QStringLiteral("WALL-A"));
    EXPECT_EQ(remoteRoundTrips(), before + 1);

    // A rename through another proxy reaches this list and the objects read before it.
    doc->layers()->item(QStringLiteral("壁"))->setName(QStringLiteral("新壁"));
    before = remoteRoundTrips();
    EXPECT_EQ(layers->item(QStringLiteral("新壁"))->name(), QStringLiteral("新壁"));
    EXPECT_EQ(errorOf([&] { layers->item(QStringLiteral("壁")); }), errc::kKeyNotFound);
    EXPECT_EQ(text->layer(), QStringLiteral("新壁"));
    EXPECT_EQ(remoteRoundTrips(), before);

    // An added layer is in the list; once deleted elsewhere it is gone from it,
    // while what objects were read to be on stays.
    const int count = layers->count();
    EXPECT_EQ(layers->add(QStringLiteral("EMPTY"))->name(), QStringLiteral("EMPTY"));
    EXPECT_EQ(layers->count(), count + 1);
    doc->layers()->item(QStringLiteral("EMPTY"))->deleteLayer();
    EXPECT_EQ(layers->count(), count);
    EXPECT_EQ(errorOf([&] { layers->item(QStringLiteral("EMPTY")); }), errc::kKeyNotFound);
    before = remoteRoundTrips();
    EXPECT_EQ(text->layer(), QStringLiteral("新壁"));
    EXPECT_EQ(remoteRoundTrips(), before);
    // The host agrees with all of it.
    EXPECT_EQ(doc->handleToObject(QStringLiteral("1A"))->layer(), QStringLiteral("新壁"));
}

TEST_F(RemoteTest, AHostThatDiesFailsCallsPromptly) {
    auto server = std::make_unique<ServerThread>(path_, library_);
    ApplicationPtr app = connectRemoteHost(path_);
    DocumentsPtr docs = app->documents();
    server.reset();
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(errorOf([&] { docs->count(); }), errc::kDisconnected);
    EXPECT_EQ(errorOf([&] { app->caption(); }), errc::kDisconnected);
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_EQ(errorOf([&] { connectRemoteHost(path_, 200); }), errc::kNotRunning);
}

TEST_F(RemoteTest, AStuckHostTimesOut) {
    ServerThread server(path_, library_);
    ApplicationPtr app = connectRemoteHost(path_);
    setRemoteCallTimeout(300);
    server.stall(1500);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(errorOf([&] { app->caption(); }), errc::kDisconnected);
    EXPECT_LT(t.elapsed(), 1200);
    setRemoteCallTimeout(60000);
}

TEST_F(RemoteTest, ABrokenOrDepartedClientLeavesOthersServed) {
    ServerThread server(path_, library_);
    ApplicationPtr good = connectRemoteHost(path_);
    good->documents()->open(QStringLiteral("/d/A1.dxf"));
    {
        // A client that goes away in the middle of things.
        ApplicationPtr gone = connectRemoteHost(path_);
        gone->activeDocument()->layers()->item(0);
    }
    {
        // A peer that sends garbage.
        QLocalSocket raw;
        raw.connectToServer(path_);
        ASSERT_TRUE(raw.waitForConnected(1000));
        raw.write(QByteArray("\xff\xff\xff\xff garbage", 13));
        raw.waitForBytesWritten(1000);
        raw.waitForDisconnected(1000);
        EXPECT_EQ(raw.state(), QLocalSocket::UnconnectedState);
    }
    EXPECT_EQ(good->activeDocument()->name(), QStringLiteral("A1.dxf"));
}

TEST_F(RemoteTest, SocketIsPrivateAndStaleOnesAreReplaced) {
    // A socket file left by a host that died.
    {
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray native = QFile::encodeName(path_);
        std::strncpy(addr.sun_path, native.constData(), sizeof(addr.sun_path) - 1);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
        ::close(fd);
    }
    ServerThread first(path_, library_);
    ASSERT_TRUE(first.listening()) << first.reason().toStdString();
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path_).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);

    // A live host keeps its socket; a second one refuses to take it over.
    ServerThread second(path_, library_);
    EXPECT_FALSE(second.listening());
    EXPECT_EQ(connectRemoteHost(path_)->caption(), QStringLiteral("drawhost"));
}

// Another local user who prepares the socket's folder, or answers on the
// socket, must not receive this user's drawings.
TEST_F(RemoteTest, AClientTrustsOnlyAFolderAndAPeerOfItsOwnUser) {
    auto safe = [](const QString& folder) { return wire::socketFolderIsSafe(folder + "/drawhost.sock", nullptr); };
    const QString real = dir_.filePath("real"), open = dir_.filePath("open"), shared = dir_.filePath("shared");
    for (const QString& f : {real, open, shared}) ASSERT_TRUE(QDir().mkpath(f));
    ::chmod(QFile::encodeName(open).constData(), 0777);
    ::chmod(QFile::encodeName(shared).constData(), 01777);
    ASSERT_TRUE(QFile::link(real, dir_.filePath("link")));
    EXPECT_TRUE(safe(real));
    EXPECT_FALSE(safe(dir_.filePath("link")));
    EXPECT_FALSE(safe(open));
    EXPECT_TRUE(safe(shared));  // /tmp-like: only a name's owner may replace it
    QTemporaryDir own(QStringLiteral("/tmp/drawhost-test-XXXXXX"));
    ::chmod(QFile::encodeName(own.path()).constData(), 0755);
    EXPECT_FALSE(safe(own.path()));
    ::chmod(QFile::encodeName(own.path()).constData(), 0700);
    EXPECT_TRUE(safe(own.path()));
    EXPECT_EQ(errorOf([&] { connectRemoteHost(open + "/drawhost.sock"); }), errc::kNotRunning);
    if (::geteuid() != 0) GTEST_SKIP() << "the cases of another user need root";

    const QString foreign = dir_.filePath("foreign");
    ASSERT_TRUE(QDir().mkpath(foreign));
    ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), 4321, 4321), 0);
    EXPECT_FALSE(safe(foreign));

    // A socket of another user in a folder the client trusts: the client
    // refuses it before sending anything.
    ::chmod(QFile::encodeName(dir_.path()).constData(), 0755);
    const QByteArray socketPath = QFile::encodeName(shared + "/drawhost.sock");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(4321) != 0 || ::setuid(4321) != 0) ::_exit(3);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, socketPath.constData(), sizeof(addr.sun_path) - 1);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || ::listen(fd, 1) != 0) ::_exit(4);
        (void)!::write(ready[1], "r", 1);
        const int client = ::accept(fd, nullptr, nullptr);
        char buf[64];
        timeval limit{2, 0};
        ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
        ::_exit(::recv(client, buf, sizeof buf, 0) > 0 ? 1 : 0);  // 1: the client sent something
    }
    char r = 0;
    ASSERT_EQ(::read(ready[0], &r, 1), 1);
    try {
        connectRemoteHost(QFile::decodeName(socketPath));
        ADD_FAILURE() << "a host of another user was taken";
    } catch (const HostError& e) {
        EXPECT_EQ(e.number(), errc::kNotRunning);
        EXPECT_TRUE(e.description().contains("another user")) << e.description().toStdString();
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ::unlink(socketPath.constData());
}

TEST(WireTest, FramesSplitAnywhereReassemble) {
    QCborMap m{{QStringLiteral("m"), QStringLiteral("名前")}, {QStringLiteral("a"), QCborArray{1, 2.5, true}}};
    const QByteArray bytes = wire::encodeFrame(m) + wire::encodeFrame(QCborValue(7));
    wire::FrameReader reader;
    std::vector<QCborValue> got;
    for (char c : bytes) {
        reader.append(QByteArray(1, c));
        while (auto v = reader.next()) got.push_back(*v);
    }
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].toMap(), m);
    EXPECT_EQ(got[1].toInteger(), 7);

    wire::FrameReader hostile;
    hostile.append(QByteArray("\x7f\xff\xff\xff", 4));
    EXPECT_THROW(hostile.next(), HostError);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
