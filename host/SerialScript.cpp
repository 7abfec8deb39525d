#include "host/SerialScript.h"

#include <QStringList>
#include <stdexcept>

#include "host/DrawingAccess.h"
#include "host/SkipError.h"
#include "support/Foreground.h"
#include "support/MessageBox.h"
#include "support/RegExp.h"
#include "support/TextFile.h"

namespace host {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QChar kQuote = u'"';

// A keyword is in a text the way a substring search finds it: an empty
// keyword is in every non-empty text.
bool holds(const QString& text, const QString& keyword) {
    return !text.isEmpty() && (keyword.isEmpty() || text.contains(keyword));
}

// Every occurrence replaced; an empty keyword replaces nothing.
QString replaced(QString text, const QString& keyword, const QString& value) {
    if (!keyword.isEmpty()) text.replace(keyword, value);
    return text;
}

// The body of the base script: its lines split at CR LF only (a bare LF stays
// inside its line), without the lines that start with ';'. Empty lines before
// the first kept line vanish.
QString readBody(const QString& sBaseFile) {
    QString text, error;
    if (!support::readTextFile(sBaseFile, &text, &error)) throw std::runtime_error(error.toStdString());
    QString body;
    for (const QString& line : text.split(kCrLf)) {
        if (line.startsWith(u';')) continue;
        body = body.isEmpty() ? line : body + kCrLf + line;
    }
    return body;
}

bool qualifies(const QString& name, const RepeatKeyword& repeat) {
    if (repeat.filter.isEmpty()) return true;
    return support::fun_bRegExpMatch(name, repeat.filter, nullptr, repeat.whole) == repeat.include;
}

// The names one repeating stage walks, read from the drawing; false when the
// drawing could not be found or opened (the user was told).
using NameReader = QStringList (*)(const DocumentPtr& doc);

QStringList layerNames(const DocumentPtr& doc) {
    QStringList names;
    for (const LayerPtr& layer : layersOf(doc))
        if (auto name = skipErrorValue([&] { return layer->name(); })) names << *name;
    return names;
}

// Layouts in tab order without model space; a drawing with model space alone
// gives the single name "0".
QStringList layoutNames(const DocumentPtr& doc) {
    const QStringList all = skipErrorValue([&] { return doc->layouts(); }).value_or(QStringList());
    if (all.size() == 1) return {QStringLiteral("0")};
    QStringList names;
    for (const QString& name : all)
        if (name.toLower() != u"model") names << name;
    return names;
}

// One repeating stage: the template copied once per qualifying name, each copy
// with the keyword replaced by the quoted name, copies joined without the
// trailing empty lines of the ones before. Empty when nothing qualifies.
bool expand(const ApplicationPtr& app, const QString& sDWGName, const QString& sDWGFullPath, const QString& body,
            const RepeatKeyword& repeat, NameReader readNames, QString& result) {
    result.clear();
    OperationDrawing drawing;
    if (!fun_bFindOrOpenDrawing(app, sDWGName, sDWGFullPath, drawing)) return false;
    for (const QString& name : readNames(drawing.doc)) {
        if (!qualifies(name, repeat)) continue;
        const QString copy = replaced(body, repeat.keyword, kQuote + name + kQuote);
        result = result.isEmpty() ? copy : fun_sTrimLastCrLf(result) + kCrLf + copy;
    }
    // A drawing opened here is closed unsaved; one that was open is regenerated.
    finishDrawing(drawing, true);
    return true;
}

}  // namespace

QString fun_sTrimLastCrLf(const QString& text) {
    QString out = text;
    while (out.endsWith(kCrLf)) out.chop(2);
    return out;
}

bool fun_bMakeDWGScript(ApplicationPtr acadApp, const QString& sDWGName, const QString& sDWGFullPath,
                        const QString& sBaseFile, QString& sScript, const ScriptKeywords& k) {
    QString body = readBody(sBaseFile);

    // The host reads a quoted path up to the next double quote: a path that
    // holds one would open another file or leave the host waiting.
    if (sDWGFullPath.contains(kQuote)) {
        support::bringMainWindowToFront();
        support::MsgBox(QStringLiteral("ファイルのパスに「\"」が含まれているため、スクリプトを作成できません。\r\n") +
                            sDWGFullPath,
                        support::vbExclamation, support::kLaminorTitle);
        return false;
    }

    if (holds(body, k.sKeywordPath)) body = replaced(body, k.sKeywordPath, k.sPathValue);
    if (holds(body, k.sKeywordFileName)) body = replaced(body, k.sKeywordFileName, k.sFileNameValue);
    if (holds(body, k.sKeywordPtinter)) body = replaced(body, k.sKeywordPtinter, k.sReplacePrinter);
    if (holds(body, k.sKeywordPaperSize)) body = replaced(body, k.sKeywordPaperSize, k.sReplacePrinterSize);

    const struct {
        const RepeatKeyword& repeat;
        NameReader names;
    } stages[] = {{k.layer, layerNames}, {k.layout, layoutNames}};
    for (const auto& stage : stages) {
        if (!holds(body, stage.repeat.keyword)) continue;
        QString result;
        if (!expand(acadApp, sDWGName, sDWGFullPath, body, stage.repeat, stage.names, result)) return false;
        if (result.isEmpty()) {
            sScript.clear();
            return false;
        }
        body = result;
    }

    if (k.vKeyword) {
        const support::ListTable& table = *k.vKeyword;
        for (int i = 0; i <= table.upperRow(); ++i)
            if (holds(body, table.at(i, 0))) body = replaced(body, table.at(i, 0), table.at(i, 1));
    }

    const QString head = QStringLiteral("open") + kCrLf + kQuote + sDWGFullPath + kQuote + kCrLf +
                         QStringLiteral("zoom") + kCrLf + QStringLiteral("a") + kCrLf;
    sScript = fun_sTrimLastCrLf(head + body) + kCrLf + QStringLiteral("close") + kCrLf +
              (k.bSave ? QStringLiteral("n") : QStringLiteral("y"));
    return true;
}

}  // namespace host
