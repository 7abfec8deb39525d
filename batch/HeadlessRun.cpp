#include "HeadlessRun.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "batch/DryRun.h"
#include "batch/Inputs.h"
#include "host/DrawingAccess.h"
#include "host/HostConnection.h"
#include "host/client/InProcessHost.h"
#include "host/client/RemoteProvider.h"
#include "support/MessageBox.h"

namespace batch {

namespace {

std::mutex outputMutex;

void print(std::FILE* stream, QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (!text.endsWith(u'\n')) text += u'\n';
    const QByteArray bytes = text.toUtf8();
    std::lock_guard lock(outputMutex);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

struct Message {
    QString text;
    int style = 0;
    QString title;
};

int answerOk(int style) {
    const int buttons = style & 7;
    return (buttons == support::vbYesNo || buttons == support::vbYesNoCancel) ? support::vbYes : support::vbOK;
}

// While a drawing is worked on, its messages are kept here (per thread), so
// that they come out beside the drawing's line and in list order.
thread_local std::vector<Message>* drawingMessages = nullptr;

void printMessage(const Message& m) { printErr(QStringLiteral("[") + m.title + QStringLiteral("] ") + m.text); }

// The message boxes of a headless run: printed and answered OK (Yes). The
// driver's final report goes to standard output.
class ConsoleRouter : public support::MessageBoxService {
public:
    int show(const QString& text, int style, const QString& title) override {
        if (drawingMessages) {
            drawingMessages->push_back({text, style, title});
            return answerOk(style);
        }
        if (reportExpected_ && !reportShown_ && text == reportText_) {
            reportShown_ = true;
            printOut(text);
        } else {
            printMessage({text, style, title});
        }
        return answerOk(style);
    }
    void expectReport(const QString& text) {
        reportExpected_ = true;
        reportText_ = text;
    }
    bool reportShown() const { return reportShown_; }

private:
    bool reportExpected_ = false;
    bool reportShown_ = false;
    QString reportText_;
};

// Installs a service for the life of the object.
class ServiceScope {
public:
    explicit ServiceScope(support::MessageBoxService* s) { support::setMessageBoxService(s); }
    ~ServiceScope() { support::setMessageBoxService(nullptr); }
};

struct DrawingOutcome {
    bool ok = false;
    bool noChange = false;
    std::vector<Message> messages;
    QString failure;      // the host's reason, when it gave one
    QStringList changes;  // dry run
    std::exception_ptr error;
    bool ready = false;  // worked out ahead of the driver
};

class Runner {
public:
    Runner(const BatchOptions& o, const support::ListTable& rules, const QStringList& drawings,
           const mainwin::DrawingOperations& ops)
        : options_(o), rules_(rules), drawings_(drawings),
          op_(o.mode == 1 ? ops.applyLayerNameRules : ops.applyLayerStateRules) {}

    int run();

private:
    DrawingOutcome work(host::ApplicationPtr app, const QString& name, const QString& path);
    void precompute();
    bool replay(host::ApplicationPtr app, const QString& name, const QString& path, bool& bNoChange);
    void printLine(const QString& path, const DrawingOutcome& o);

    const BatchOptions& options_;
    const support::ListTable& rules_;
    const QStringList& drawings_;
    mainwin::RuleOperation op_;
    ConsoleRouter router_;
    std::vector<DrawingOutcome> outcomes_;
    bool precomputed_ = false;
    int next_ = 0;
    int done_ = 0, unchanged_ = 0, failed_ = 0;
};

DrawingOutcome Runner::work(host::ApplicationPtr app, const QString& name, const QString& path) {
    DrawingOutcome o;
    support::PlainStatusLabel label;
    drawingMessages = &o.messages;
    try {
        if (!op_)
            o.ok = false;
        else if (options_.dryRun)
            o.ok = dryRunDrawing(op_, options_.mode, name, path, rules_, o.noChange, label, o.changes);
        else
            o.ok = op_(app, name, path, rules_, o.noChange, label);
        if (!o.ok) o.failure = host::takeFinishFailure();
    } catch (...) {
        // Handed to the driver when the drawing's turn comes, as if thrown there.
        o.error = std::current_exception();
    }
    drawingMessages = nullptr;
    return o;
}

// Several drawings at once, each with an in-process host of its own; the
// driver then takes the outcomes in list order.
void Runner::precompute() {
    const int m = static_cast<int>(drawings_.size());
    outcomes_.resize(static_cast<size_t>(m));
    // A file listed a second time must see what its first turn did, as in a
    // serial run: it waits for the driver's turn instead.
    std::vector<int> ahead;
    QSet<QString> seen;
    for (int k = 0; k < m; ++k) {
        const QString key = QFileInfo(drawings_[k]).canonicalFilePath();
        if (seen.contains(key)) continue;
        seen.insert(key);
        ahead.push_back(k);
    }
    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (size_t i = next++; i < ahead.size(); i = next++) {
            const int k = ahead[i];
            const QString& path = drawings_[k];
            auto inProcess = host::InProcessHost::create();
            DrawingOutcome& o = outcomes_[static_cast<size_t>(k)];
            o = work(inProcess->application(), QFileInfo(path).fileName(), path);
            o.ready = true;
        }
    };
    std::vector<std::thread> threads;
    const int n = std::min(options_.jobs, static_cast<int>(ahead.size()));
    for (int i = 0; i < n; ++i) threads.emplace_back(worker);
    for (std::thread& t : threads) t.join();
    precomputed_ = true;
}

void Runner::printLine(const QString& path, const DrawingOutcome& o) {
    const QString native = QDir::toNativeSeparators(path);
    if (o.error || !o.ok) {
        QString why = QStringLiteral("処理できませんでした (the operation failed)");
        if (o.error) why = QStringLiteral("予期せぬエラー (unexpected error)");
        else if (!o.failure.isEmpty()) why = o.failure;
        else if (!o.messages.empty()) why = o.messages.back().text;
        why.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        printOut(QStringLiteral("failed\t") + native + QStringLiteral("\t") + why);
        return;
    }
    printOut((o.noChange ? QStringLiteral("unchanged\t") : QStringLiteral("done\t")) + native);
    for (const QString& c : o.changes) printOut(QStringLiteral("\t") + c);
}

// The operation the driver calls for each drawing, in list order.
bool Runner::replay(host::ApplicationPtr app, const QString& name, const QString& path, bool& bNoChange) {
    const int k = next_++;
    DrawingOutcome o = precomputed_ && outcomes_[static_cast<size_t>(k)].ready
                           ? std::move(outcomes_[static_cast<size_t>(k)])
                           : work(app, name, path);
    for (const Message& m : o.messages) printMessage(m);
    printLine(path, o);
    if (o.error) std::rethrow_exception(o.error);
    if (!o.ok)
        ++failed_;
    else if (o.noChange)
        ++unchanged_;
    else
        ++done_;
    if (next_ == drawings_.size()) {
        const QString noun = options_.mode == 1 ? QStringLiteral("画層名変更") : QStringLiteral("画層状態変更");
        router_.expectReport(mainwin::reportFor(done_, unchanged_, failed_, noun).text);
    }
    bNoChange = o.noChange;
    return o.ok;
}

int Runner::run() {
    ServiceScope scope(&router_);
    if (options_.inProcess || options_.dryRun)
        host::installInProcessHostProvider();
    else
        host::installRemoteHostProvider();
    if (options_.dryRun) printErr(QStringLiteral("--dry-run: 図面は保存しません。 (nothing is saved)"));
    if (options_.jobs > 1 && drawings_.size() > 1) precompute();

    mainwin::BatchInputs inputs;
    inputs.mode = options_.mode;
    inputs.ruleTable = rules_;
    inputs.drawingTable = drawingTable(drawings_);
    mainwin::DrawingOperations operations;
    auto replayed = [this](host::ApplicationPtr app, const QString& name, const QString& path,
                           const support::ListTable&, bool& bNoChange, support::StatusLabel&) {
        return replay(std::move(app), name, path, bNoChange);
    };
    (options_.mode == 1 ? operations.applyLayerNameRules : operations.applyLayerStateRules) = replayed;
    support::PlainStatusLabel status;
    mainwin::subExecute(inputs, operations, {status, nullptr, nullptr});
    host::setHostProvider(nullptr);
    if (!router_.reportShown()) return 1;
    return failed_ > 0 ? 1 : 0;
}

}  // namespace

void printOut(const QString& text) { print(stdout, text); }
void printErr(const QString& text) { print(stderr, text); }

int runHeadless(const BatchOptions& options, const support::ListTable& rules, const QStringList& drawings,
                const mainwin::DrawingOperations& operations) {
    return Runner(options, rules, drawings, operations).run();
}

}  // namespace batch
