#include "xlsx/XlsxSurveySink.h"

#include <QFile>
#include <algorithm>
#include <cstdio>
#include <xlsxwriter.h>

namespace xlsx {

namespace {

constexpr lxw_row_t kLastRow = LXW_ROW_MAX - 1;

void check(lxw_error error, const char* what) {
    if (error != LXW_NO_ERROR)
        throw host::SinkError(QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromUtf8(lxw_strerror(error))));
}

// Width of a text in character cells: East Asian wide characters take two.
int displayWidth(const QString& text) {
    int width = 0;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3) ||
                          (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60) ||
                          (u >= 0xFFE0 && u <= 0xFFE6);
        width += wide ? 2 : 1;
    }
    return width;
}

// "A", "B", ... "AA" for a column from 1.
QString columnLetters(int column) {
    QString letters;
    for (; column > 0; column = (column - 1) / 26) letters.prepend(QChar(u'A' + (column - 1) % 26));
    return letters;
}

}  // namespace

XlsxSheet::XlsxSheet(lxw_workbook* workbook, QString name) : workbook_(workbook), name_(std::move(name)) {
    worksheet_ = workbook_add_worksheet(workbook_, name_.toUtf8().constData());
    if (!worksheet_) throw host::SinkError(QStringLiteral("cannot add sheet %1").arg(name_));
}

void XlsxSheet::putRows(long row, int column, const host::CellRows& rows) {
    for (size_t r = 0; r < rows.size(); ++r) {
        const lxw_row_t at = lxw_row_t(row - 1 + long(r));
        for (size_t c = 0; c < rows[r].size(); ++c) {
            const QVariant& v = rows[r][c];
            const lxw_col_t col = lxw_col_t(column - 1 + int(c));
            QString shown;
            if (!v.isValid()) {
                continue;  // an empty cell: nothing was written there
            } else if (v.typeId() == QMetaType::QString) {
                shown = v.toString();
                if (shown.startsWith(u'\'')) shown.remove(0, 1);  // the apostrophe only marks text
                if (shown.isEmpty()) continue;
                check(worksheet_write_string(worksheet_, at, col, shown.toUtf8().constData(), nullptr), "write");
            } else {
                check(worksheet_write_number(worksheet_, at, col, v.toDouble(), nullptr), "write");
                shown = v.toString();
            }
            lastRow_ = std::max(lastRow_, long(at) + 1);
            if (widths_.size() <= col) widths_.resize(col + 1, 0);
            widths_[col] = std::max(widths_[col], displayWidth(shown));
        }
    }
}

void XlsxSheet::defineName(const QString& name, int column, long lastRow) {
    const QString letters = columnLetters(column);
    const QString ref = QStringLiteral("=%1!$%2$1:$%2$%3").arg(name_, letters).arg(lastRow);
    check(workbook_define_name(workbook_, name.toUtf8().constData(), ref.toUtf8().constData()), "define name");
}

void XlsxSheet::complete() {
    // Fitted as the office fits them: wide enough for the longest entry.
    for (size_t c = 0; c < widths_.size(); ++c)
        if (widths_[c] > 0)
            check(worksheet_set_column(worksheet_, lxw_col_t(c), lxw_col_t(c), std::min(widths_[c] + 2, 120), nullptr),
                  "column width");
    for (const auto& [column, formula] : validations_) {
        lxw_data_validation dv{};
        dv.validate = LXW_VALIDATION_TYPE_LIST_FORMULA;
        dv.error_type = LXW_VALIDATION_ERROR_TYPE_STOP;
        dv.ignore_blank = LXW_VALIDATION_ON;
        dv.show_input = LXW_VALIDATION_ON;
        dv.show_error = LXW_VALIDATION_ON;
        dv.dropdown = LXW_VALIDATION_ON;
        // A list name as it is; literal items as one quoted text, the way the
        // format stores a typed list (so no item count or length limit applies).
        QString source = formula;
        if (source.startsWith(u'=')) source.remove(0, 1);
        else source = QStringLiteral("\"%1\"").arg(source.replace(u'"', QStringLiteral("\"\"")));
        QByteArray utf8 = source.toUtf8();
        dv.value_formula = utf8.data();
        const lxw_col_t col = lxw_col_t(column - 1);
        check(worksheet_data_validation_range(worksheet_, 0, col, kLastRow, col, &dv), "validation");
    }
    validations_.clear();
}

XlsxSurveySink::XlsxSurveySink(const QString& path, bool outputText)
    : path_(path), partialPath_(path + QStringLiteral(".partial.xlsx")) {
    // libxlsxwriter creates the file only when the workbook is closed.
    workbook_ = workbook_new(QFile::encodeName(partialPath_).constData());
    if (!workbook_) throw host::SinkError(QStringLiteral("cannot make a workbook"));
    layer_ = std::make_unique<XlsxSheet>(workbook_, QStringLiteral("画層情報"));
    if (outputText) text_ = std::make_unique<XlsxSheet>(workbook_, QStringLiteral("文字出力"));
    rename_ = std::make_unique<XlsxSheet>(workbook_, QStringLiteral("画層名変更規則"));
    state_ = std::make_unique<XlsxSheet>(workbook_, QStringLiteral("画層状態変更規則"));
    list_ = std::make_unique<XlsxSheet>(workbook_, QStringLiteral("list_source"));
}

XlsxSurveySink::~XlsxSurveySink() {
    if (workbook_) lxw_workbook_free(workbook_);  // never saved: nothing was written
}

void XlsxSurveySink::finish() {
    if (finished_) return;
    for (XlsxSheet* sheet : {layer_.get(), text_.get(), rename_.get(), state_.get(), list_.get()})
        if (sheet) sheet->complete();
    worksheet_activate(layer_->worksheet());
    finished_ = true;
}

QString XlsxSurveySink::save() {
    if (!workbook_) return QStringLiteral("the workbook was saved already");
    try {
        finish();
    } catch (const host::SinkError& e) {
        return e.description();
    }
    const lxw_error error = workbook_close(workbook_);  // writes and frees the workbook
    workbook_ = nullptr;
    if (error != LXW_NO_ERROR) {
        QFile::remove(partialPath_);
        return QStringLiteral("%1: %2").arg(path_, QString::fromUtf8(lxw_strerror(error)));
    }
    if (std::rename(QFile::encodeName(partialPath_).constData(), QFile::encodeName(path_).constData()) != 0) {
        QFile::remove(partialPath_);
        return QStringLiteral("cannot write %1").arg(path_);
    }
    return QString();
}

}  // namespace xlsx
