#include "RuleCsv.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "support/TextFile.h"

namespace mainwin {

namespace {

// Records end at CR LF or at a lone CR; a lone LF stays inside its line. A
// break at the very end does not start another record.
QStringList splitRecords(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r') continue;
        lines << text.mid(start, i - start);
        if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines << text.mid(start);
    return lines;
}

bool isNumeric(const QString& text) {
    bool ok = false;
    text.trimmed().toDouble(&ok);
    return ok;
}

}  // namespace

QStringList splitCsvLine(const QString& line, int* commas) {
    QStringList fields;
    int found = 0;
    qsizetype pos = 0;
    for (;;) {
        if (pos < line.size() && line[pos] == u'"') {
            const qsizetype end = line.indexOf(QStringLiteral("\","), pos + 1);
            if (end >= 0) {
                fields << line.mid(pos + 1, end - pos - 1);
                pos = end + 2;
                ++found;
                continue;
            }
            QString last = line.mid(pos + 1);
            last.chop(1);
            fields << last;
            break;
        }
        const qsizetype end = line.indexOf(u',', pos);
        if (end >= 0) {
            fields << line.mid(pos, end - pos);
            pos = end + 1;
            ++found;
            continue;
        }
        fields << line.mid(pos);
        break;
    }
    if (commas) *commas = found;
    return fields;
}

bool fun_bReadCSV(const QString& sFileName, CsvData& vData, QString* error, bool markLeadingZeros) {
    vData = CsvData{};
    if (!QFileInfo(sFileName).isFile()) {
        if (error) *error = QStringLiteral("ファイルが見つかりません: ") + QDir::toNativeSeparators(sFileName);
        return false;
    }
    QString text;
    if (!support::readTextFile(sFileName, &text, error)) return false;
    const QStringList lines = splitRecords(text);
    QList<QStringList> split;
    int maxCommas = 0;
    for (const QString& line : lines) {
        int commas = 0;
        split << splitCsvLine(line, &commas);
        maxCommas = std::max(maxCommas, commas);
    }
    vData.fields = maxCommas + 1;
    for (QStringList fields : split) {
        while (fields.size() < vData.fields) fields << QString();
        if (markLeadingZeros)
            for (QString& f : fields)
                if (f.startsWith(u'0') && isNumeric(f)) f.prepend(u'\'');
        vData.records << fields;
    }
    return true;
}

bool fun_bWriteCSV(const QString& sFolder, const QString& sFileName, const support::ListTable& vTable, QString* error) {
    QString text;
    for (int r = 0; r < vTable.rows(); ++r) {
        QStringList fields;
        for (int c = 0; c < vTable.columns(); ++c) fields << QStringLiteral("\"") + vTable.at(r, c) + QStringLiteral("\"");
        text += fields.join(u',') + QStringLiteral("\r\n");
    }
    return support::writeTextFile(QDir(sFolder).filePath(sFileName), text, error);
}

QList<QStringList> ruleRows(const QList<QStringList>& records, const QStringList& headers) {
    const int fields = static_cast<int>(headers.size());
    QList<QStringList> rows;
    for (QStringList record : records) {
        while (record.size() < fields) record << QString();
        record = record.mid(0, fields);
        bool header = record[0].toLower() == u"no";
        for (int k = 1; k < fields && !header; ++k) header = record[k].toLower() == headers[k].toLower();
        if (header) continue;
        if (std::any_of(record.begin(), record.end(), [](const QString& f) { return f.isEmpty(); })) continue;
        rows << record;
    }
    return rows;
}

bool ruleRecords(const CsvData& data, const QStringList& headers, QList<QStringList>& rows) {
    rows.clear();
    if (data.fields != static_cast<int>(headers.size())) return false;
    rows = ruleRows(data.records, headers);
    return true;
}

}  // namespace mainwin
