#pragma once
// The window options kept in section "MAIN" of the INI file, as plain values:
// the window reads them into its controls at load and collects them back at
// unload.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace mainwin {

inline const QString kIniFileName = QStringLiteral("Laminor.ini");
inline const QString kAllEntry = QStringLiteral("(全てを対象)");

// The four filter classes, in list order.
QStringList filterClassTexts();

struct MainSettings {
    int left = 0;  // twips
    int top = 0;   // twips
    int mode = 1;
    bool chkOutputTextToCSV = false;
    QString cboFilterLayer = kAllEntry;
    QString cboFilterString = kAllEntry;
    QString cboFilterLayerClass = QStringLiteral("に完全一致する画層を処理");
    QString cboFilterStringClass = QStringLiteral("に完全一致する画層を処理");
    bool chkNum = false;
    QString txtBaseFile;
    bool chkDWGSave = false;
    // Keyword rows: search keyword and replacement.
    QList<QPair<QString, QString>> keywords{{QStringLiteral("<点1>"), QStringLiteral("0,0")},
                                            {QStringLiteral("<点2>"), QStringLiteral("100,100")}};
};

MainSettings loadMainSettings(const QString& iniFileName);
// Writes every value; returns why values could not be written (empty when
// all were, or when the file is read-only, which skips writes by design).
QStringList saveMainSettings(const QString& iniFileName, const MainSettings& settings);

// One keyword column as stored: every row joined with "||", so that an empty
// value keeps its place and the two columns stay paired by index.
QString joinKeywordColumn(const QStringList& values);
// The rows of the two stored columns: a row for every non-empty keyword part,
// paired with the replacement part of the same index ("" when the replacement
// column has fewer parts).
QList<QPair<QString, QString>> splitKeywordColumns(const QString& keywords, const QString& replacements);

}  // namespace mainwin
