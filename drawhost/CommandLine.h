#pragma once
// drawhost's command line: keystrokes in, commands run on the open drawings,
// prompts and messages out. The window and the console mode both drive it;
// so does the automation socket's SendKeys.
//
// A word ends at a space or Enter, except inside double quotes, so a quoted
// path may hold spaces. Escape cancels the pending command. Script input runs
// one line per event-loop turn; keys typed meanwhile wait behind it.
#include <QObject>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "host/client/InProcessHost.h"

namespace drawhost {

class Command;

// What only a window can do for the commands.
class CommandUi {
public:
    virtual ~CommandUi() = default;
    // Asks for a file with a dialog; calls done with the path, or an empty text
    // when cancelled. Returns false when there is no dialog to show.
    virtual bool chooseFile(const QString& title, const QString& filter, std::function<void(QString)> done) {
        (void)title, (void)filter, (void)done;
        return false;
    }
    // Asks for a file to save to; as chooseFile.
    virtual bool chooseSaveFile(const QString& title, const QString& filter, const QString& suggested,
                                std::function<void(QString)> done) {
        (void)title, (void)filter, (void)suggested, (void)done;
        return false;
    }
    virtual void zoomExtents() {}
    virtual void zoomWindow(double x1, double y1, double x2, double y2) { (void)x1, (void)y1, (void)x2, (void)y2; }
    virtual void zoomScaled(double scale, bool relative) { (void)scale, (void)relative; }
    // Back to the previous view; false when there is none.
    virtual bool zoomPrevious() { return false; }
    virtual void pan(double dx, double dy) { (void)dx, (void)dy; }
    virtual void setLineweights(bool on) { (void)on; }
    virtual bool lineweights() const { return false; }
};

// A word as typed: its text, and whether it was quoted (a quoted word is
// taken literally: no wildcards, no lists).
struct Word {
    QString text;
    bool quoted = false;
};

// A command's answer to its start or to a word.
struct Step {
    enum Kind { Prompt, Done, Failed, Retry, Wait } kind = Done;
    QString text;  // the prompt, or the message
    static Step prompt(QString p) { return {Prompt, std::move(p)}; }
    static Step done(QString message = QString()) { return {Done, std::move(message)}; }
    static Step failed(QString message) { return {Failed, std::move(message)}; }
    // A refused answer: typed by hand, the prompt comes again; in a script it stops the script.
    static Step retry(QString message) { return {Retry, std::move(message)}; }
    static Step wait() { return {Wait, QString()}; }
};

class CommandLine : public QObject {
    Q_OBJECT
public:
    CommandLine(std::shared_ptr<host::InProcessHost> host, CommandUi* ui = nullptr, QObject* parent = nullptr);
    ~CommandLine() override;

    // Types keystrokes: characters, space, Enter ("\r", "\n" or CR LF), Escape
    // ("\x1b"), Backspace ("\b"). Returns once they are processed, or queued
    // behind a running script.
    void type(const QString& keys);
    // Runs script text as keystrokes, each line ended by Enter; lines starting
    // with ';' are comments.
    void runScript(const QString& text);
    // Reads a CP932 script file and runs it; false (reported) when it cannot be read.
    bool runScriptFile(const QString& path);

    QString prompt() const { return prompt_; }
    // The pending prompt takes spaces as part of its answer.
    bool answerTakesSpaces() const;
    QString pendingWord() const { return word_; }
    bool busy() const { return !script_.empty() || waiting_; }
    // Some command has failed since the command line started.
    bool failed() const { return everFailed_; }
    int filedia() const { return filedia_; }

    host::InProcessHost& host() { return *host_; }
    CommandUi* ui() { return ui_; }
    bool inScript() const { return fromScript_; }
    // The pending prompt takes a point, which a click in the view can give;
    // `from` is the other corner of a window being asked for.
    bool wantsPoint(QPointF* from = nullptr) const;
    void setFiledia(int v) { filedia_ = v; }
    void print(const QString& line);
    // Resumes a command waiting for a dialog.
    void resume(const QString& answer);

signals:
    void output(const QString& line);
    void promptChanged(const QString& prompt);
    // All script input has been run (or stopped); ok is false after a failure.
    void scriptFinished(bool ok);
    // A command finished (the drawings may have changed).
    void commandDone();
    // QUIT: the host is to end (a window asks about unsaved drawings first).
    void quitRequested();

private:
    void feed(QChar c);
    void endWord();
    void submit(const Word& word);
    void apply(const Step& step);
    void fail(const QString& message);
    void setPrompt(const QString& p);
    void pump();
    void scheduleScript();
    void runScriptLine();

    std::shared_ptr<host::InProcessHost> host_;
    CommandUi* ui_;
    std::unique_ptr<Command> current_;
    QString prompt_;
    QString word_;
    bool inQuote_ = false;
    bool quoted_ = false;
    bool lastWasCr_ = false;
    bool waiting_ = false;
    bool fromScript_ = false;
    bool failed_ = false;
    bool everFailed_ = false;
    bool scriptScheduled_ = false;
    int filedia_ = 1;
    std::deque<QString> script_;  // lines still to run
    QString typedQueue_;          // keys typed while a script runs
};

// The command of that name (letter case ignored, a leading '_' or '.'
// allowed), or nullptr when there is none.
std::unique_ptr<Command> makeCommand(const QString& name);

class Command {
public:
    virtual ~Command() = default;
    virtual Step start(CommandLine& cl) = 0;
    virtual Step answer(CommandLine& cl, const Word& word) = 0;
    // True while the pending prompt takes a whole line, spaces included (a
    // device, paper or layout name): only Enter ends the answer.
    virtual bool takesSpaces() const { return false; }
    // True while the pending prompt takes a point; `from` as in CommandLine::wantsPoint.
    virtual bool wantsPoint(QPointF* from) const {
        (void)from;
        return false;
    }
};

// The commands with a line about each, for HELP.
struct CommandInfo {
    QString name;
    QString aliases;
    QString description;
};
const std::vector<CommandInfo>& commandList();

// Decodes a CP932 script; false with a reason when the bytes are not CP932.
bool decodeCp932(const QByteArray& bytes, QString* text, QString* error);

}  // namespace drawhost
