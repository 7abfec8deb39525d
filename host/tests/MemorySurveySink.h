#pragma once
// A survey workbook in memory, for tests of what the survey builds: cells by
// position, workbook names and column validations, and rows printed the way
// python prints a row that openpyxl read (numbers bare, texts quoted, empty
// cells None).
#include <QStringList>
#include <map>
#include <memory>

#include "host/SurveySink.h"

namespace hosttest {

class MemorySheet : public host::SheetSink {
public:
    MemorySheet(QString name, std::map<QString, QString>& names) : name_(std::move(name)), names_(names) {}

    QString name() const override { return name_; }
    long lastUsedRow() const override { return cells_.empty() ? 1 : cells_.rbegin()->first.first; }
    void putRows(long row, int column, const host::CellRows& rows) override {
        for (size_t r = 0; r < rows.size(); ++r)
            for (size_t c = 0; c < rows[r].size(); ++c) {
                QVariant v = rows[r][c];
                if (v.typeId() == QMetaType::QString && v.toString().startsWith(u'\'')) v = v.toString().mid(1);
                const std::pair<long, int> at{row + long(r), column + int(c)};
                if (v.isValid()) cells_[at] = v;
                else cells_.erase(at);
            }
    }
    void defineName(const QString& name, int column, long lastRow) override {
        names_[name] = QStringLiteral("%1!C%2 R1:R%3").arg(name_).arg(column).arg(lastRow);
    }
    void deleteValidation(int column) override { validations.erase(column); }
    void setListValidation(int column, const QString& formula1) override { validations[column] = formula1; }

    QVariant cell(long row, int column) const {
        auto it = cells_.find({row, column});
        return it == cells_.end() ? QVariant() : it->second;
    }
    int usedColumns() const {
        int n = 0;
        for (const auto& [at, v] : cells_) n = std::max(n, at.second);
        return n;
    }
    // Row r as python prints a tuple of its values; typed: as a list of (value, type name) pairs.
    QString rowText(long r, bool typed = false) const {
        QStringList parts;
        for (int c = 1; c <= usedColumns(); ++c) {
            const QVariant v = cell(r, c);
            QString text = !v.isValid() ? QStringLiteral("None")
                         : v.typeId() == QMetaType::QString ? QStringLiteral("'%1'").arg(v.toString())
                                                             : v.toString();
            if (typed) text = QStringLiteral("(%1, '%2')").arg(text, !v.isValid() ? QStringLiteral("NoneType")
                                                                     : v.typeId() == QMetaType::QString ? QStringLiteral("str")
                                                                                                        : QStringLiteral("int"));
            parts << text;
        }
        return typed ? QStringLiteral("[%1]").arg(parts.join(", ")) : QStringLiteral("(%1)").arg(parts.join(", "));
    }
    // Every row from 1 to the last, one per line.
    QString text(bool typed = false) const {
        QStringList lines;
        for (long r = 1; r <= lastUsedRow() && !cells_.empty(); ++r) lines << rowText(r, typed);
        return lines.join('\n');
    }

    std::map<int, QString> validations;

private:
    QString name_;
    std::map<QString, QString>& names_;
    std::map<std::pair<long, int>, QVariant> cells_;
};

class MemorySurveySink : public host::SurveySink {
public:
    explicit MemorySurveySink(bool withText = true) {
        if (withText) text = std::make_unique<MemorySheet>(QStringLiteral("文字出力"), names);
    }
    host::SheetSink& layerSheet() override { return layer; }
    host::SheetSink& renameSheet() override { return rename; }
    host::SheetSink& stateSheet() override { return state; }
    host::SheetSink& listSheet() override { return list; }
    host::SheetSink* textSheet() override { return text.get(); }
    void setScreenUpdating(bool on) override { screenUpdating = on; }
    void finish() override { finished = true; }

    std::map<QString, QString> names;
    MemorySheet layer{QStringLiteral("画層情報"), names};
    MemorySheet rename{QStringLiteral("画層名変更規則"), names};
    MemorySheet state{QStringLiteral("画層状態変更規則"), names};
    MemorySheet list{QStringLiteral("list_source"), names};
    std::unique_ptr<MemorySheet> text;
    bool screenUpdating = true;
    bool finished = false;
};

}  // namespace hosttest
