#include "CommandLine.h"

#include <QFile>
#include <QTimer>
#include <iconv.h>

namespace drawhost {

CommandLine::CommandLine(std::shared_ptr<host::InProcessHost> host, CommandUi* ui, QObject* parent)
    : QObject(parent), host_(std::move(host)), ui_(ui) {
    prompt_ = QStringLiteral("Command: ");
}

CommandLine::~CommandLine() = default;

void CommandLine::print(const QString& line) { emit output(line); }

bool CommandLine::wantsPoint(QPointF* from) const { return current_ && !waiting_ && current_->wantsPoint(from); }

bool CommandLine::answerTakesSpaces() const { return current_ && !waiting_ && current_->takesSpaces(); }

void CommandLine::setPrompt(const QString& p) {
    prompt_ = p;
    emit promptChanged(p);
}

void CommandLine::type(const QString& keys) {
    if (busy()) {
        typedQueue_ += keys;
        return;
    }
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (busy()) {
            // A SCRIPT or a dialog started: the rest waits its turn.
            typedQueue_ += keys.mid(i);
            return;
        }
        feed(keys[i]);
    }
}

void CommandLine::feed(QChar c) {
    const char16_t u = c.unicode();
    const bool crlf = lastWasCr_ && u == u'\n';
    lastWasCr_ = u == u'\r';
    if (crlf) return;  // CR LF is one Enter
    switch (u) {
    case 0x1b:
        word_.clear();
        inQuote_ = quoted_ = false;
        if (current_) {
            current_.reset();
            waiting_ = false;
            print(QStringLiteral("*Cancel*"));
        }
        setPrompt(QStringLiteral("Command: "));
        return;
    case u'\b':
        if (!word_.isEmpty()) word_.chop(1);
        return;
    case u'\r':
    case u'\n':
        endWord();
        return;
    case u' ':
        if (inQuote_ || answerTakesSpaces()) word_ += c;
        else endWord();
        return;
    case u'"':
        inQuote_ = !inQuote_;
        quoted_ = true;
        return;
    default:
        if (u < 0x20) return;
        word_ += c;
    }
}

void CommandLine::endWord() {
    Word w{word_, quoted_};
    word_.clear();
    inQuote_ = quoted_ = false;
    submit(w);
}

void CommandLine::submit(const Word& word) {
    print(prompt_ + (word.quoted ? QLatin1Char('"') + word.text + QLatin1Char('"') : word.text));
    if (!current_) {
        if (word.text.isEmpty()) return;
        current_ = makeCommand(word.text);
        if (!current_) {
            fail(QStringLiteral("Unknown command \"%1\".").arg(word.text.toUpper()));
            return;
        }
        apply(current_->start(*this));
        return;
    }
    apply(current_->answer(*this, word));
}

void CommandLine::apply(const Step& step) {
    switch (step.kind) {
    case Step::Prompt:
        setPrompt(step.text);
        return;
    case Step::Wait:
        waiting_ = true;
        return;
    case Step::Done:
        if (!step.text.isEmpty()) print(step.text);
        current_.reset();
        setPrompt(QStringLiteral("Command: "));
        emit commandDone();
        return;
    case Step::Failed:
        current_.reset();
        fail(step.text);
        emit commandDone();
        return;
    case Step::Retry:
        if (fromScript_) {
            current_.reset();
            fail(step.text);
            return;
        }
        print(step.text);
        return;  // the prompt stays
    }
}

void CommandLine::fail(const QString& message) {
    print(message);
    failed_ = true;
    everFailed_ = true;
    setPrompt(QStringLiteral("Command: "));
    if (fromScript_ && !script_.empty()) {
        // The lines after a failed command would act on whatever drawing
        // happens to be current: they are dropped.
        script_.clear();
        print(QStringLiteral("Script stopped."));
    }
}

void CommandLine::resume(const QString& answer) {
    if (!waiting_ || !current_) return;
    waiting_ = false;
    apply(current_->answer(*this, Word{answer, true}));
    pump();
}

void CommandLine::runScript(const QString& text) {
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    QStringList lines = normal.split(u'\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    // A script started from within a script takes the place of the rest of it.
    script_.clear();
    for (const QString& line : lines)
        if (!line.startsWith(u';')) script_.push_back(line);
    failed_ = false;
    scheduleScript();
}

bool CommandLine::runScriptFile(const QString& path) {
    QFile file(path);
    QString text, error;
    if (!file.open(QIODevice::ReadOnly)) {
        print(QStringLiteral("Cannot open script file \"%1\".").arg(path));
        return false;
    }
    if (!decodeCp932(file.readAll(), &text, &error)) {
        print(QStringLiteral("Cannot read script file \"%1\": %2").arg(path, error));
        return false;
    }
    runScript(text);
    return true;
}

void CommandLine::scheduleScript() {
    if (scriptScheduled_) return;
    scriptScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        scriptScheduled_ = false;
        runScriptLine();
    });
}

void CommandLine::runScriptLine() {
    if (waiting_) return;
    if (!script_.empty()) {
        const QString line = script_.front();
        script_.pop_front();
        fromScript_ = true;
        for (QChar c : line) feed(c);
        feed(u'\r');
        fromScript_ = false;
        if (!script_.empty()) {
            scheduleScript();
            return;
        }
    }
    emit scriptFinished(!failed_);
    pump();
}

void CommandLine::pump() {
    if (busy() || typedQueue_.isEmpty()) return;
    const QString keys = typedQueue_;
    typedQueue_.clear();
    type(keys);
}

bool decodeCp932(const QByteArray& bytes, QString* text, QString* error) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == iconv_t(-1)) {
        if (error) *error = QStringLiteral("no CP932 converter");
        return false;
    }
    QByteArray out(bytes.size() * 3 + 4, '\0');
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char* o = out.data();
    size_t outLeft = size_t(out.size());
    const size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (r == size_t(-1)) {
        const QByteArray before = bytes.left(in - bytes.constData());
        if (error) *error = QStringLiteral("not CP932 text (line %1)").arg(before.count('\n') + 1);
        return false;
    }
    out.resize(out.size() - qsizetype(outLeft));
    *text = QString::fromUtf8(out);
    return true;
}

}  // namespace drawhost
