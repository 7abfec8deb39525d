#include "Inputs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

#include "engine/EngineError.h"

#include "main/BatchRun.h"
#include "main/ListConversion.h"
#include "main/RuleCsv.h"

namespace batch {

bool loadRuleTable(const QString& path, int mode, support::ListTable& table, QString& error) {
    const QStringList headers = mode == 1 ? mainwin::layerNameHeaders() : mainwin::layerStateHeaders();
    const QString native = QDir::toNativeSeparators(path);
    mainwin::CsvData data;
    QString readError;
    // As the window loads rule files: no apostrophe in front of leading zeros.
    if (!mainwin::fun_bReadCSV(path, data, &readError, false)) {
        error = QStringLiteral("規則ファイルを読み込めません。 (cannot read the rule file) ") + native +
                (readError.isEmpty() ? QString() : QStringLiteral(": ") + readError);
        return false;
    }
    QList<QStringList> rows;
    if (!mainwin::ruleRecords(data, headers, rows)) {
        error = QStringLiteral("規則ファイルの項目数が %1 ではありません (%2 項目)。 (the rule file has %2 fields, "
                               "this mode needs %1) ")
                    .arg(headers.size())
                    .arg(data.fields) +
                native;
        return false;
    }
    if (rows.isEmpty()) {
        error = (mode == 1 ? QStringLiteral("画層名変更") : QStringLiteral("画層状態変更")) +
                QStringLiteral("規則が定義されていません。 (the rule file holds no rule) ") + native;
        return false;
    }
    table = support::ListTable(static_cast<int>(rows.size()), static_cast<int>(headers.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < headers.size(); ++c) table.set(r, c, rows[r][c]);
    return true;
}

namespace {

bool isUtf8(const QByteArray& raw) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(raw);
    return !decoder.hasError();
}

// Entries of the folder whose names are not UTF-8 (QDir hands them out with
// their odd bytes replaced, naming no file): drawings, and with recursive
// subfolders, sorted by their bytes, shown with the bytes escaped.
QStringList unusableEntries(const QDir& dir, bool recursive) {
    QStringList out;
    const QByteArray folder = QFile::encodeName(dir.absolutePath());
    DIR* d = ::opendir(folder.constData());
    if (!d) return out;
    std::vector<QByteArray> names;
    while (const dirent* e = ::readdir(d)) {
        const QByteArray name(e->d_name);
        if (isUtf8(name)) continue;
        struct stat st {};
        if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        const QByteArray tail = name.right(3).toLower();
        if ((S_ISREG(st.st_mode) && (tail == "dwg" || tail == "dxf")) || (recursive && S_ISDIR(st.st_mode)))
            names.push_back(S_ISDIR(st.st_mode) ? name + '/' : name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    for (const QByteArray& name : names)
        out << dir.absolutePath() + u'/' + QString::fromStdString(dxf::printableText(name.toStdString()));
    return out;
}

void addFolder(const QDir& dir, bool recursive, QStringList& out, QStringList* unusable) {
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo& f : files)
        if (mainwin::isDrawingFile(f)) out << f.absoluteFilePath();
    if (unusable) {
        const QStringList odd = unusableEntries(dir, recursive);
        out << odd;
        *unusable << odd;
    }
    if (!recursive) return;
    const QFileInfoList subs = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    // A subfolder whose name is not UTF-8 comes out of QDir naming no folder
    // at all (and is told among the unusable entries).
    for (const QFileInfo& s : subs)
        if (QFileInfo(s.absoluteFilePath()).isDir()) addFolder(QDir(s.absoluteFilePath()), recursive, out, unusable);
}

}  // namespace

QStringList collectDrawings(const QStringList& args, bool recursive, QStringList* skipped, QStringList* unusable) {
    QStringList out;
    for (const QString& arg : args) {
        const QFileInfo info(arg);
        const qsizetype before = out.size();
        if (info.isDir())
            addFolder(QDir(info.absoluteFilePath()), recursive, out, unusable);
        else if (mainwin::isDrawingFile(info))
            out << info.absoluteFilePath();
        if (out.size() == before && skipped) *skipped << arg;
    }
    return out;
}

support::ListTable drawingTable(const QStringList& paths) {
    support::ListTable table(2, static_cast<int>(paths.size()));
    for (int k = 0; k < paths.size(); ++k) {
        table.set(0, k, QFileInfo(paths[k]).fileName());
        table.set(1, k, paths[k]);
    }
    return table;
}

}  // namespace batch
