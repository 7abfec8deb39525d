#include "MainSettings.h"

#include "support/Ini.h"

namespace mainwin {

namespace {
const QString kSection = QStringLiteral("MAIN");
const QString kSeparator = QStringLiteral("||");

QString readText(const QString& ini, const char* key, const QString& def) {
    return support::GetINI(ini, kSection, QString::fromLatin1(key), def, false).toString();
}

int readNumber(const QString& ini, const char* key, int def) {
    return support::GetINI(ini, kSection, QString::fromLatin1(key), def, true).toInt();
}

// A check box is ticked exactly when its stored value is "T".
bool readFlag(const QString& ini, const char* key) { return readText(ini, key, QStringLiteral("F")) == u"T"; }

// Collects why a value was not written while the file itself is writable
// (a character the file's code page cannot hold, a line break).
class Writer {
public:
    explicit Writer(const QString& ini) : ini_(ini) {}
    void operator()(const char* key, const QVariant& value) {
        if (support::WriteINI(ini_, kSection, QString::fromLatin1(key), value) == 0 && support::bIniWritable())
            failures << support::iniLastError();
    }
    QStringList failures;

private:
    QString ini_;
};

QString flagText(bool on) { return on ? QStringLiteral("T") : QStringLiteral("F"); }
}  // namespace

QStringList filterClassTexts() {
    return {QStringLiteral("に完全一致する画層を処理"), QStringLiteral("を含む画層を処理"),
            QStringLiteral("に完全一致しない画層を処理"), QStringLiteral("を含む画層以外を処理")};
}

MainSettings loadMainSettings(const QString& iniFileName) {
    const MainSettings d;
    MainSettings s;
    s.left = readNumber(iniFileName, "left", d.left);
    s.top = readNumber(iniFileName, "top", d.top);
    s.mode = readNumber(iniFileName, "mode", d.mode);
    s.chkOutputTextToCSV = readFlag(iniFileName, "ChkOutputTextToCSV");
    s.cboFilterLayer = readText(iniFileName, "CboFilterLayer", d.cboFilterLayer);
    s.cboFilterString = readText(iniFileName, "CboFilterString", d.cboFilterString);
    s.cboFilterLayerClass = readText(iniFileName, "CboFilterLayerClass", d.cboFilterLayerClass);
    s.cboFilterStringClass = readText(iniFileName, "CboFilterStringClass", d.cboFilterStringClass);
    s.chkNum = readFlag(iniFileName, "ChkNum");
    s.txtBaseFile = readText(iniFileName, "TxtBaseFile", d.txtBaseFile);
    s.chkDWGSave = readFlag(iniFileName, "ChkDWGSave");
    const QString replacements = readText(iniFileName, "LstvKeyword2", QStringLiteral("0,0||100,100"));
    const QString keywords = readText(iniFileName, "LstvKeyword1", QStringLiteral("<点1>||<点2>"));
    s.keywords = splitKeywordColumns(keywords, replacements);
    return s;
}

QStringList saveMainSettings(const QString& iniFileName, const MainSettings& s) {
    Writer write(iniFileName);
    write("left", s.left);
    write("top", s.top);
    write("mode", s.mode);
    write("ChkOutputTextToCSV", flagText(s.chkOutputTextToCSV));
    write("CboFilterLayer", s.cboFilterLayer);
    write("CboFilterString", s.cboFilterString);
    write("CboFilterLayerClass", s.cboFilterLayerClass);
    write("CboFilterStringClass", s.cboFilterStringClass);
    write("ChkNum", flagText(s.chkNum));
    write("TxtBaseFile", s.txtBaseFile);
    write("ChkDWGSave", flagText(s.chkDWGSave));
    QStringList keywords, replacements;
    for (const auto& row : s.keywords) {
        keywords << row.first;
        replacements << row.second;
    }
    write("LstvKeyword1", joinKeywordColumn(keywords));
    write("LstvKeyword2", joinKeywordColumn(replacements));
    return write.failures;
}

QString joinKeywordColumn(const QStringList& values) { return values.join(kSeparator); }

QList<QPair<QString, QString>> splitKeywordColumns(const QString& keywords, const QString& replacements) {
    const QStringList keys = keywords.split(kSeparator);
    const QStringList values = replacements.split(kSeparator);
    QList<QPair<QString, QString>> rows;
    for (int i = 0; i < keys.size(); ++i) {
        if (keys[i].isEmpty()) continue;
        rows.append({keys[i], i < values.size() ? values[i] : QString()});
    }
    return rows;
}

}  // namespace mainwin
