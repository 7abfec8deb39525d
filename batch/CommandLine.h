#pragma once
// The command line of laminor-batch: the mode, the rule file, the drawings
// and the run's switches, and the help text in Japanese and English.
#include <QString>
#include <QStringList>

namespace batch {

struct BatchOptions {
    int mode = 0;           // 1 rename, 2 state change
    QString rulesFile;      // --rules
    QStringList drawings;   // files and folders, as given
    bool recursive = false; // folders: their subfolders too
    bool inProcess = false; // the engine in this process, no host program
    int jobs = 1;           // drawings at once (in-process only)
    bool dryRun = false;    // report what would change, save nothing
    bool help = false;
};

// Parses the arguments after the program name. False with *error set when
// they do not make a run; --help alone is a valid command line.
bool parseCommandLine(const QStringList& args, BatchOptions& options, QString& error);

QString helpText();

}  // namespace batch
