// Times a layer-rename pass over drawings through the host interface: once
// in-process over the engine, once through a real drawhost over its socket.
// Also the median round trip of one automation call.
//
//   host_bench [--operation] DRAWHOST_EXE FILE...
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>

#include "host/client/InProcessHost.h"
#include "host/client/RemoteHost.h"
#ifdef HOST_BENCH_WITH_OPERATIONS
#include "host/LayerNameRules.h"
#include "support/StatusLabel.h"
#endif

using namespace host;

namespace {

// The benchmark's rename rules: the first rule whose pattern matches decides.
const std::vector<std::pair<QRegularExpression, QString>>& rules() {
    static const std::vector<std::pair<QRegularExpression, QString>> r = {
        {QRegularExpression(QStringLiteral("^A-")), QStringLiteral("B-")},
        {QRegularExpression(QStringLiteral("^TMP_")), QStringLiteral("A-")},
        {QRegularExpression(QStringLiteral("^旧")), QStringLiteral("既存")},
        {QRegularExpression(QStringLiteral("通り芯")), QStringLiteral("GRID")}};
    return r;
}

template <class F>
void skip(F&& f) {
    try {
        f();
    } catch (const HostError&) {
    }
}

struct PassResult {
    int renamed = 0, merged = 0;
};

// The per-drawing rename as the batch run does it: open, make 0 current,
// walk the layers renaming or merging, purge, close saving.
PassResult renamePass(Application& app, const QString& path) {
    PassResult r;
    DocumentPtr doc = app.documents()->open(path);
    LayersPtr layers = doc->layers();
    skip([&] { doc->setActiveLayer(layers->item(QStringLiteral("0"))); });
    const int n = layers->count();
    std::vector<LayerPtr> all;
    for (int i = 0; i < n; ++i) all.push_back(layers->item(i));
    for (const LayerPtr& layer : all) {
        QString name;
        try {
            name = layer->name();
        } catch (const HostError&) {
            continue;  // merged away earlier
        }
        if (name.compare(QStringLiteral("0"), Qt::CaseInsensitive) == 0 ||
            name.compare(QStringLiteral("Defpoints"), Qt::CaseInsensitive) == 0 || name.contains(u'|'))
            continue;
        QString newName = name;
        for (const auto& [re, replacement] : rules())
            if (re.match(name).hasMatch()) {
                newName = QString(name).replace(re, replacement);
                break;
            }
        if (newName == name) continue;
        LayerPtr target;
        try {
            target = layers->item(newName);
        } catch (const HostError&) {
        }
        if (!target) {
            layer->setName(newName);
            ++r.renamed;
            continue;
        }
        SelectionSetsPtr sets = doc->selectionSets();
        for (int k = sets->count(); k > 0; --k) skip([&] { sets->item(0)->deleteSet(); });
        SelectionSetPtr set = sets->add(QStringLiteral("SSetDummy"));
        set->select(5, {8}, {name});
        const QString targetName = target->name();
        for (int i = 0; i < set->count(); ++i) skip([&] { set->item(i)->setLayer(targetName); });
        set->deleteSet();
        skip([&] { layer->deleteLayer(); });
        ++r.merged;
    }
    skip([&] { doc->setActiveLayer(layers->item(QStringLiteral("0"))); });
    skip([&] { doc->purgeAll(); });
    doc->close(true);
    return r;
}

#ifdef HOST_BENCH_WITH_OPERATIONS
// The batch run's own rename operation, when it is built.
PassResult operationPass(const ApplicationPtr& app, const QString& path) {
    const std::vector<QStringList> rows = {{"1", "^A-", "B-"}, {"2", "^TMP_", "A-"}, {"3", "^旧", "既存"}, {"4", "通り芯", "GRID"}};
    support::ListTable rules(int(rows.size()), 3);
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < 3; ++c) rules.set(r, c, rows[size_t(r)][c]);
    support::PlainStatusLabel label;
    bool noChange = true;
    fun_bApplyLayerNameRules(app, QFileInfo(path).fileName(), path, rules, noChange, label);
    return {};
}
#endif

double seconds(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e9; }

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication qapp(argc, argv);
    QStringList args = qapp.arguments().mid(1);
    // --operation: time the batch run's rename operation instead of the built-in pass.
    const bool useOperation = args.removeAll(QStringLiteral("--operation")) > 0;
#ifndef HOST_BENCH_WITH_OPERATIONS
    if (useOperation) {
        std::fprintf(stderr, "the rename operation is not built into this benchmark\n");
        return 2;
    }
    auto operationPass = [](const ApplicationPtr&, const QString&) { return PassResult{}; };
#endif
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: host_bench [--operation] DRAWHOST_EXE FILE...\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString socket = dir.filePath(QStringLiteral("bench.sock"));
    QProcess drawhost;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    drawhost.setProcessEnvironment(env);
    drawhost.setProcessChannelMode(QProcess::ForwardedChannels);
    drawhost.start(args[0], {QStringLiteral("--socket"), socket});
    ApplicationPtr remote;
    for (int i = 0; i < 200 && !remote; ++i) {
        try {
            remote = connectRemoteHost(socket, 200);
        } catch (const HostError&) {
            QThread::msleep(50);
        }
    }
    if (!remote) {
        std::fprintf(stderr, "drawhost did not answer\n");
        return 1;
    }

    // Round trip of one call that creates nothing.
    std::vector<double> trips;
    for (int i = 0; i < 2000; ++i) {
        QElapsedTimer t;
        t.start();
        remote->caption();
        trips.push_back(double(t.nsecsElapsed()) / 1e3);
    }
    std::sort(trips.begin(), trips.end());
    std::printf("median round trip of one call: %.1f us (p90 %.1f us)\n\n", trips[trips.size() / 2], trips[trips.size() * 9 / 10]);

    std::printf("| file | MB | renamed/merged | in-process s | socket s | ratio | round trips |\n|---|---|---|---|---|---|---|\n");
    double totalIn = 0, totalRemote = 0;
    for (const QString& file : args.mid(1)) {
        // Each pass runs three times on fresh copies; the fastest run counts,
        // as the machine is shared and single runs vary.
        double inS = 1e9, remoteS = 1e9;
        PassResult in, out;
        quint64 calls = 0;
        bool same = true;
        for (int run = 0; run < 3; ++run) {
            const QString a = dir.filePath(QStringLiteral("in-%1-").arg(run) + QFileInfo(file).fileName());
            const QString b = dir.filePath(QStringLiteral("remote-%1-").arg(run) + QFileInfo(file).fileName());
            QFile::copy(file, a);
            QFile::copy(file, b);

            auto local = InProcessHost::create();
            ApplicationPtr app = local->application();
            QElapsedTimer t;
            t.start();
            in = useOperation ? operationPass(app, a) : renamePass(*app, a);
            inS = std::min(inS, seconds(t));

            const quint64 before = remoteRoundTrips();
            t.restart();
            out = useOperation ? operationPass(remote, b) : renamePass(*remote, b);
            remoteS = std::min(remoteS, seconds(t));
            calls = remoteRoundTrips() - before;

            QFile fa(a), fb(b);
            fa.open(QIODevice::ReadOnly);
            fb.open(QIODevice::ReadOnly);
            same = same && fa.readAll() == fb.readAll() && in.renamed == out.renamed && in.merged == out.merged;
            fa.remove();
            fb.remove();
        }
        std::printf("| %s | %.1f | %d/%d | %.3f | %.3f | %.2f | %llu |%s\n", qPrintable(QFileInfo(file).fileName()),
                    double(QFileInfo(file).size()) / 1e6, in.renamed, in.merged, inS, remoteS, remoteS / inS,
                    static_cast<unsigned long long>(calls), same ? "" : " OUTPUTS DIFFER");
        totalIn += inS;
        totalRemote += remoteS;
    }
    std::printf("\ntotal: in-process %.3f s, socket %.3f s, ratio %.2f\n", totalIn, totalRemote, totalRemote / totalIn);
    remote.reset();
    drawhost.kill();
    drawhost.waitForFinished();
    return 0;
}
