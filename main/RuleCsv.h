#pragma once
// Rule list files: CSV text in CP932, one record per line (a line ends at
// CR LF or a lone CR), fields separated by commas. The writer quotes every
// field and writes its text unchanged between the quotes; the reader takes
// those files and plain unquoted CSV alike.
#include <QList>
#include <QString>
#include <QStringList>

#include "support/ListTable.h"

namespace mainwin {

// A file as read: every record holds exactly `fields` texts, fields a line
// lacked being empty. `fields` is the largest field count of any line.
struct CsvData {
    int fields = 0;
    QList<QStringList> records;
};

// Splits one line by the reading rules: a field that starts with a quote
// ends at the next quote that is followed by a comma (commas inside stay);
// an unquoted one at the next comma; a last quoted field loses its final
// character (its closing quote). *commas receives the number of
// field-ending commas.
QStringList splitCsvLine(const QString& line, int* commas = nullptr);

// Reads a file. False when it does not exist or cannot be read (*error says
// why). With markLeadingZeros, a numeric field starting with "0" gets an
// apostrophe in front (the spreadsheet's text mark: "007" becomes "'007").
bool fun_bReadCSV(const QString& sFileName, CsvData& vData, QString* error = nullptr, bool markLeadingZeros = true);

// Writes the table (records × fields) as sFolder/sFileName, replacing the
// file atomically: on failure the old file stays as it was.
bool fun_bWriteCSV(const QString& sFolder, const QString& sFileName, const support::ListTable& vTable,
                   QString* error = nullptr);

// The rule rows among records read for a rule list whose columns are
// `headers` ("No" first): each record is padded or cut to the header count;
// header records (field 1 "no", or any field equal to its column's header,
// ignoring letter case) and records with an empty field are left out; the
// rest come back in order, "No" as read.
QList<QStringList> ruleRows(const QList<QStringList>& records, const QStringList& headers);
// The same for a rule file; false when its field count does not fit the list.
bool ruleRecords(const CsvData& data, const QStringList& headers, QList<QStringList>& rows);

}  // namespace mainwin
