#include "main/CalcSurveySink.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "calc/CalcConnection.h"
#include "support/Foreground.h"

namespace mainwin {

namespace {

template <typename F>
auto office(F&& call) {
    try {
        return call();
    } catch (const calc::SheetError& e) {
        throw host::SinkError(e.description());
    }
}

calc::Worksheet named(calc::Worksheet ws, const QString& name) {
    ws.setName(name);
    return ws;
}

}  // namespace

QString CalcSheetSink::name() const {
    return office([&] { return ws_.name(); });
}

long CalcSheetSink::lastUsedRow() const {
    return office([&] {
        const calc::Worksheet::Area used = ws_.usedRange();
        return long(used.row + used.rows - 1);
    });
}

void CalcSheetSink::putRows(long row, int column, const host::CellRows& rows) {
    office([&] { ws_.setValues(int(row), column, rows); });
}

void CalcSheetSink::defineName(const QString& name, int column, long lastRow) {
    office([&] {
        ws_.workbook().addName(name, QStringLiteral("=%1!R1C%2:R%3C%2").arg(ws_.name()).arg(column).arg(lastRow));
    });
}

void CalcSheetSink::deleteValidation(int column) {
    office([&] { ws_.deleteValidation(column); });
}

void CalcSheetSink::setListValidation(int column, const QString& formula1) {
    office([&] { ws_.setListValidation(column, formula1); });
}

std::unique_ptr<CalcSurveySink> CalcSurveySink::open(bool outputText) {
    calc::ApplicationPtr xlApp;
    if (!calc::fun_bGetExcel(xlApp)) return nullptr;
    try {
        if (xlApp->windowState() == calc::xlMinimized) xlApp->setWindowState(calc::xlNormal);
        xlApp->activateWindow();
    } catch (const calc::SheetError&) {
        // Bringing the office forward is a courtesy; the workbook is what matters.
    }
    support::bringMainWindowToFront();
    return std::make_unique<CalcSurveySink>(xlApp, outputText);
}

// The sheets are named in the order the workbook is built: the three of a new
// workbook, then list_source after the third, then 文字出力 after the first.
CalcSurveySink::CalcSurveySink(calc::ApplicationPtr xlApp, bool outputText)
    : xlApp_(std::move(xlApp)),
      workbook_(xlApp_->addWorkbook()),
      wsLayer_(named(workbook_.worksheet(1), QStringLiteral("画層情報"))),
      wsRename_(named(workbook_.worksheet(2), QStringLiteral("画層名変更規則"))),
      wsState_(named(workbook_.worksheet(3), QStringLiteral("画層状態変更規則"))),
      wsList_(named(workbook_.addWorksheetAfter(wsState_.worksheet()), QStringLiteral("list_source"))) {
    if (outputText) wsText_.emplace(named(workbook_.addWorksheetAfter(wsLayer_.worksheet()), QStringLiteral("文字出力")));
}

void CalcSurveySink::setScreenUpdating(bool on) {
    office([&] { xlApp_->setScreenUpdating(on); });
}

void CalcSurveySink::finish() {
    // The survey appends without fitting; every sheet is fitted once, here.
    for (CalcSheetSink* ws : {&wsLayer_, &wsRename_, &wsState_, &wsList_, wsText_ ? &*wsText_ : nullptr}) {
        if (!ws) continue;
        try {
            ws->worksheet().autoFitColumns();
        } catch (const calc::SheetError&) {
        }
    }
    try {
        xlApp_->activateWindow();
        wsLayer_.worksheet().activate();
    } catch (const calc::SheetError&) {
        // The workbook stays as it is; the user finds it in the office.
    }
}

QString CalcSurveySink::saveCopyAs(const QString& path) {
    const QString partial = path + QStringLiteral(".partial.") + QFileInfo(path).suffix();
    try {
        workbook_.saveCopyAs(partial);
    } catch (const calc::SheetError& e) {
        QFile::remove(partial);
        return e.description();
    }
    if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(partial);
        return QStringLiteral("cannot write %1").arg(path);
    }
    return QString();
}

}  // namespace mainwin
