#include "HeadlessRun.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "batch/DryRun.h"
#include "batch/Inputs.h"
#include "host/DrawingAccess.h"
#include "host/DrawingNotes.h"
#include "host/HostConnection.h"
#include "host/client/InProcessHost.h"
#include "host/client/RemoteProvider.h"
#include "support/MessageBox.h"
#include "support/TextFile.h"

namespace batch {

namespace {

std::mutex outputMutex;

void print(std::FILE* stream, QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // Names and messages may carry bytes of hostile drawings: no control
    // character reaches the terminal as it is.
    text = support::printableText(text);
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
    bool leftUnsaved = false;  // changed in a drawing open in the host, not saved
    std::vector<Message> messages;
    QString failure;      // the host's reason, when it gave one
    QStringList changes;  // dry run
    std::exception_ptr error;
    bool ready = false;  // worked out ahead of the driver
};

const QString kUnusableName = QStringLiteral(
    "ファイル名が UTF-8 ではないため、この図面は処理できません。 (the file name is not valid UTF-8: not processed)");

class Runner {
public:
    Runner(const BatchOptions& o, const support::ListTable& rules, const QStringList& drawings,
           const mainwin::DrawingOperations& ops, const QStringList& unusable)
        : options_(o), rules_(rules), drawings_(drawings), unusable_(unusable.begin(), unusable.end()),
          op_(o.mode == 1 ? ops.applyLayerNameRules : ops.applyLayerStateRules) {}
    ~Runner() { stopWorkers(); }

    int run();

private:
    DrawingOutcome work(host::ApplicationPtr app, const QString& name, const QString& path);
    void startWorkers();
    void stopWorkers();
    DrawingOutcome outcomeOf(int k, host::ApplicationPtr app, const QString& name, const QString& path);
    bool replay(host::ApplicationPtr app, const QString& name, const QString& path, bool& bNoChange);
    void counted(int k, const QString& path, mainwin::DrawingOutcome outcome);
    void printLine(const QString& path, const DrawingOutcome& o);

    const BatchOptions& options_;
    const support::ListTable& rules_;
    const QStringList& drawings_;
    const QSet<QString> unusable_;
    mainwin::RuleOperation op_;
    ConsoleRouter router_;

    // Drawings worked on ahead of the driver (-j): the workers fill the
    // outcomes in list order as far as they get; the driver takes each one
    // as soon as it is ready, so every line is printed once its drawing and
    // all before it are done.
    std::vector<DrawingOutcome> outcomes_;
    std::vector<char> ahead_;  // per drawing: worked on by a worker
    std::vector<std::thread> workers_;
    std::mutex outcomesMutex_;
    std::condition_variable outcomeReady_;
    std::atomic<bool> stopping_{false};

    int next_ = 0;
    int done_ = 0, unchanged_ = 0, failed_ = 0, unsaved_ = 0;
};

DrawingOutcome Runner::work(host::ApplicationPtr app, const QString& name, const QString& path) {
    DrawingOutcome o;
    if (unusable_.contains(path)) {
        o.messages.push_back({kUnusableName, support::vbExclamation, support::kLaminorTitle});
        return o;
    }
    support::PlainStatusLabel label;
    drawingMessages = &o.messages;
    host::drawingNotes() = {};
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
    o.leftUnsaved = host::drawingNotes().leftUnsaved;
    drawingMessages = nullptr;
    return o;
}

// Several drawings at once, each with an in-process host of its own.
void Runner::startWorkers() {
    const size_t m = static_cast<size_t>(drawings_.size());
    outcomes_.resize(m);
    ahead_.assign(m, 0);
    // A file listed a second time must see what its first turn did, as in a
    // serial run: it waits for the driver's turn instead.
    auto ahead = std::make_shared<std::vector<int>>();
    QSet<QString> seen;
    for (int k = 0; k < static_cast<int>(m); ++k) {
        const QString key = QFileInfo(drawings_[k]).canonicalFilePath();
        if (!key.isEmpty() && seen.contains(key)) continue;
        seen.insert(key);
        ahead->push_back(k);
        ahead_[static_cast<size_t>(k)] = 1;
    }
    auto next = std::make_shared<std::atomic<size_t>>(0);
    auto worker = [this, ahead, next] {
        for (size_t i = (*next)++; i < ahead->size() && !stopping_; i = (*next)++) {
            const int k = (*ahead)[i];
            const QString& path = drawings_[k];
            auto inProcess = host::InProcessHost::create();
            DrawingOutcome o = work(inProcess->application(), QFileInfo(path).fileName(), path);
            o.ready = true;
            {
                std::lock_guard lock(outcomesMutex_);
                outcomes_[static_cast<size_t>(k)] = std::move(o);
            }
            outcomeReady_.notify_all();
        }
    };
    const int n = std::min(options_.jobs, static_cast<int>(ahead->size()));
    for (int i = 0; i < n; ++i) workers_.emplace_back(worker);
}

void Runner::stopWorkers() {
    stopping_ = true;
    for (std::thread& t : workers_) t.join();
    workers_.clear();
}

DrawingOutcome Runner::outcomeOf(int k, host::ApplicationPtr app, const QString& name, const QString& path) {
    const size_t i = static_cast<size_t>(k);
    if (workers_.empty() || i >= ahead_.size() || !ahead_[i]) return work(std::move(app), name, path);
    std::unique_lock lock(outcomesMutex_);
    outcomeReady_.wait(lock, [&] { return outcomes_[i].ready; });
    return std::move(outcomes_[i]);
}

void Runner::printLine(const QString& path, const DrawingOutcome& o) {
    const QString native = QDir::toNativeSeparators(path);
    if (o.error || !o.ok) {
        QString why = QStringLiteral("処理できませんでした (the operation failed)");
        if (o.error) {
            why = QStringLiteral("予期せぬエラー (unexpected error)");
            try {
                std::rethrow_exception(o.error);
            } catch (const host::HostError& e) {
                why = e.number() == host::errc::kDisconnected
                          ? QStringLiteral("AutoCAD（図面ホスト）が停止しました。 (the drawing host stopped) ") +
                                e.description()
                          : why + QStringLiteral(" ") + e.description();
            } catch (...) {
            }
        } else if (!o.messages.empty()) {
            // The drawing's own message says what went wrong (a failed save with its cause).
            why = o.messages.back().text;
        } else if (!o.failure.isEmpty()) {
            why = o.failure;
        }
        why.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        printOut(QStringLiteral("failed\t") + native + QStringLiteral("\t") + why);
        return;
    }
    QString line = (o.noChange ? QStringLiteral("unchanged\t") : QStringLiteral("done\t")) + native;
    if (o.leftUnsaved)
        line += QStringLiteral("\t保存していません: AutoCAD で開いている図面です。 (left unsaved: the drawing is open "
                               "in the host)");
    printOut(line);
    for (const QString& c : o.changes) printOut(QStringLiteral("\t") + c);
}

// The operation the driver calls for each drawing, in list order.
bool Runner::replay(host::ApplicationPtr app, const QString& name, const QString& path, bool& bNoChange) {
    const int k = next_++;
    DrawingOutcome o = outcomeOf(k, std::move(app), name, path);
    for (const Message& m : o.messages) printMessage(m);
    printLine(path, o);
    if (o.error) std::rethrow_exception(o.error);
    if (o.ok && !o.noChange && o.leftUnsaved) ++unsaved_;
    // The driver counts it from the notes of its own thread.
    host::drawingNotes().leftUnsaved = o.leftUnsaved;
    bNoChange = o.noChange;
    return o.ok;
}

// Every drawing the driver counts, in list order; those it never handed to
// the operation (after a lost host) get their line here.
void Runner::counted(int k, const QString& path, mainwin::DrawingOutcome outcome) {
    if (k >= next_)
        printOut(QStringLiteral("failed\t") + QDir::toNativeSeparators(path) +
                 QStringLiteral("\t処理していません。 (not processed: the drawing host stopped)"));
    switch (outcome) {
    case mainwin::DrawingOutcome::Done:
        ++done_;
        break;
    case mainwin::DrawingOutcome::Unchanged:
        ++unchanged_;
        break;
    case mainwin::DrawingOutcome::Failed:
        ++failed_;
        break;
    }
    if (k + 1 == drawings_.size()) {
        const QString noun = options_.mode == 1 ? QStringLiteral("画層名変更") : QStringLiteral("画層状態変更");
        router_.expectReport(mainwin::reportFor(done_, unchanged_, failed_, noun, unsaved_).text);
    }
}

int Runner::run() {
    ServiceScope scope(&router_);
    if (options_.inProcess || options_.dryRun)
        host::installInProcessHostProvider();
    else
        host::installRemoteHostProvider();
    if (options_.dryRun) printErr(QStringLiteral("--dry-run: 図面は保存しません。 (nothing is saved)"));
    if (options_.jobs > 1 && drawings_.size() > 1) startWorkers();

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
    auto onCounted = [this](int k, const QString&, const QString& path, mainwin::DrawingOutcome outcome) {
        counted(k, path, outcome);
    };
    mainwin::subExecute(inputs, operations, {status, nullptr, nullptr, onCounted});
    stopWorkers();
    host::setHostProvider(nullptr);
    if (!router_.reportShown()) return 1;
    return failed_ > 0 ? 1 : 0;
}

}  // namespace

void printOut(const QString& text) { print(stdout, text); }
void printErr(const QString& text) { print(stderr, text); }

int runHeadless(const BatchOptions& options, const support::ListTable& rules, const QStringList& drawings,
                const mainwin::DrawingOperations& operations, const QStringList& unusable) {
    return Runner(options, rules, drawings, operations, unusable).run();
}

}  // namespace batch
