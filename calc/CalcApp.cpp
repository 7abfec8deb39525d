#include "CalcApp.h"

#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/sheet/ConditionOperator.hpp>
#include <com/sun/star/sheet/ValidationAlertStyle.hpp>
#include <com/sun/star/sheet/ValidationType.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XNamedRanges.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSheetCondition.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/table/CellAddress.hpp>
#include <com/sun/star/table/CellRangeAddress.hpp>
#include <com/sun/star/sheet/TableValidationVisibility.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/table/XTableColumns.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/view/XSelectionSupplier.hpp>

#include <QUrl>

#include <algorithm>

#include "CalcSession.h"
#include "CellReference.h"

namespace calc {

using namespace css;
using css::uno::Any;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

Reference<sheet::XSpreadsheetDocument> spreadsheetDoc(const DocHandle& doc) {
    return Reference<sheet::XSpreadsheetDocument>(doc.component, UNO_QUERY_THROW);
}

Reference<frame::XModel> model(const DocHandle& doc) { return Reference<frame::XModel>(doc.component, UNO_QUERY_THROW); }

Reference<frame::XFrame> frameOf(const Reference<frame::XModel>& m) {
    Reference<frame::XController> controller = m->getCurrentController();
    if (!controller.is()) throw SheetError(kSheetCallFailed, QStringLiteral("the workbook has no window"));
    return controller->getFrame();
}

// A cell value for the office: text stays text (whatever it looks like), a
// number stays a number. A text with a leading apostrophe is the
// spreadsheet's "this is text" prefix: the cell holds the text after it.
Any toCell(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::UnknownType:
        return Any(rtl::OUString());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return Any(v.toDouble());
    case QMetaType::Bool:
        return Any(v.toBool());
    default: {
        QString text = v.toString();
        if (text.startsWith(u'\'')) text.remove(0, 1);
        return Any(toOU(text));
    }
    }
}

QVariant fromCell(const Any& a) {
    rtl::OUString text;
    if (a >>= text) return text.isEmpty() ? QVariant() : QVariant(fromOU(text));
    double number = 0;
    if (a >>= number) return QVariant(number);
    bool flag = false;
    if (a >>= flag) return QVariant(flag);
    return QVariant();
}

CellBlock readData(const Reference<sheet::XCellRangeData>& data) {
    CellBlock block;
    const Sequence<Sequence<Any>> rows = data->getDataArray();
    block.reserve(static_cast<size_t>(rows.getLength()));
    for (const Sequence<Any>& row : rows) {
        std::vector<QVariant> cells;
        cells.reserve(static_cast<size_t>(row.getLength()));
        for (const Any& cell : row) cells.push_back(fromCell(cell));
        block.push_back(std::move(cells));
    }
    return block;
}

Reference<table::XCellRange> columnRange(const Reference<sheet::XSpreadsheet>& sheet, int column) {
    Reference<table::XColumnRowRange> crr(sheet, UNO_QUERY_THROW);
    return Reference<table::XCellRange>(crr->getColumns()->getByIndex(column - 1), UNO_QUERY_THROW);
}

Worksheet::Area usedArea(const Reference<sheet::XSpreadsheet>& sheet) {
    Reference<sheet::XSheetCellCursor> cursor = sheet->createCursor();
    Reference<sheet::XUsedAreaCursor> used(cursor, UNO_QUERY_THROW);
    used->gotoStartOfUsedArea(false);
    used->gotoEndOfUsedArea(true);
    Reference<sheet::XCellRangeAddressable> addr(cursor, UNO_QUERY_THROW);
    const table::CellRangeAddress a = addr->getRangeAddress();
    return {a.StartRow + 1, a.StartColumn + 1, a.EndRow - a.StartRow + 1, a.EndColumn - a.StartColumn + 1};
}

Reference<sheet::XSpreadsheet> sheetOfRange(const Reference<sheet::XSpreadsheetDocument>& doc, sal_Int16 index) {
    Reference<container::XIndexAccess> sheets(doc->getSheets(), UNO_QUERY_THROW);
    return Reference<sheet::XSpreadsheet>(sheets->getByIndex(index), UNO_QUERY_THROW);
}

QString uniqueSheetName(const Reference<sheet::XSpreadsheets>& sheets) {
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("Sheet%1").arg(n);
        if (!sheets->hasByName(toOU(name))) return name;
    }
}

}  // namespace

// ---- Worksheet ------------------------------------------------------------

Worksheet::Worksheet(std::shared_ptr<Session> session, std::shared_ptr<DocHandle> doc, std::shared_ptr<SheetHandle> sheet)
    : session_(std::move(session)), doc_(std::move(doc)), sheet_(std::move(sheet)) {}

QString Worksheet::name() const {
    return unoCall([&] { return fromOU(Reference<container::XNamed>(sheet_->sheet, UNO_QUERY_THROW)->getName()); });
}

void Worksheet::setName(const QString& name) {
    unoCall([&] { Reference<container::XNamed>(sheet_->sheet, UNO_QUERY_THROW)->setName(toOU(name)); });
}

void Worksheet::setValues(int row, int column, const CellBlock& block) {
    if (block.empty() || block.front().empty()) return;
    const size_t columns = block.front().size();
    unoCall([&] {
        Sequence<Sequence<Any>> data(static_cast<sal_Int32>(block.size()));
        Sequence<Any>* rows = data.getArray();
        for (size_t r = 0; r < block.size(); ++r) {
            Sequence<Any> cells(static_cast<sal_Int32>(columns));
            Any* out = cells.getArray();
            for (size_t c = 0; c < columns; ++c) out[c] = c < block[r].size() ? toCell(block[r][c]) : Any(rtl::OUString());
            rows[r] = cells;
        }
        Reference<table::XCellRange> range = sheet_->sheet->getCellRangeByPosition(
            column - 1, row - 1, column - 1 + static_cast<sal_Int32>(columns) - 1, row - 1 + static_cast<sal_Int32>(block.size()) - 1);
        Reference<sheet::XCellRangeData>(range, UNO_QUERY_THROW)->setDataArray(data);
    });
}

CellBlock Worksheet::values(int row, int column, int rows, int columns) const {
    return unoCall([&] {
        Reference<table::XCellRange> range =
            sheet_->sheet->getCellRangeByPosition(column - 1, row - 1, column + columns - 2, row + rows - 2);
        return readData(Reference<sheet::XCellRangeData>(range, UNO_QUERY_THROW));
    });
}

void Worksheet::autoFitColumns() {
    unoCall([&] {
        Reference<table::XColumnRowRange> crr(sheet_->sheet, UNO_QUERY_THROW);
        const Area used = usedArea(sheet_->sheet);
        Reference<container::XIndexAccess> cols(crr->getColumns(), UNO_QUERY_THROW);
        for (int c = 0; c < used.column - 1 + used.columns; ++c) {
            Reference<beans::XPropertySet> props(cols->getByIndex(c), UNO_QUERY_THROW);
            props->setPropertyValue("OptimalWidth", Any(true));
        }
    });
}

Worksheet::Area Worksheet::usedRange() const {
    return unoCall([&] { return usedArea(sheet_->sheet); });
}

void Worksheet::setListValidation(int column, const QString& formula1) {
    unoCall([&] {
        Reference<beans::XPropertySet> colProps(columnRange(sheet_->sheet, column), UNO_QUERY_THROW);
        Reference<beans::XPropertySet> validation(colProps->getPropertyValue("Validation"), UNO_QUERY_THROW);
        validation->setPropertyValue("Type", Any(sheet::ValidationType_LIST));
        validation->setPropertyValue("ErrorAlertStyle", Any(sheet::ValidationAlertStyle_STOP));
        validation->setPropertyValue("IgnoreBlankCells", Any(true));
        validation->setPropertyValue("ShowList", Any(sal_Int16(sheet::TableValidationVisibility::UNSORTED)));
        validation->setPropertyValue("ShowInputMessage", Any(true));
        validation->setPropertyValue("ShowErrorMessage", Any(true));
        validation->setPropertyValue("InputTitle", Any(rtl::OUString()));
        validation->setPropertyValue("ErrorTitle", Any(rtl::OUString()));
        validation->setPropertyValue("InputMessage", Any(rtl::OUString()));
        validation->setPropertyValue("ErrorMessage", Any(rtl::OUString()));
        Reference<sheet::XSheetCondition> condition(validation, UNO_QUERY_THROW);
        condition->setOperator(sheet::ConditionOperator_BETWEEN);
        condition->setFormula1(toOU(officeListSource(formula1)));
        colProps->setPropertyValue("Validation", Any(validation));
    });
}

void Worksheet::deleteValidation(int column) {
    unoCall([&] {
        Reference<beans::XPropertySet> colProps(columnRange(sheet_->sheet, column), UNO_QUERY_THROW);
        Reference<beans::XPropertySet> validation(colProps->getPropertyValue("Validation"), UNO_QUERY_THROW);
        validation->setPropertyValue("Type", Any(sheet::ValidationType_ANY));
        Reference<sheet::XSheetCondition>(validation, UNO_QUERY_THROW)->setFormula1(rtl::OUString());
        colProps->setPropertyValue("Validation", Any(validation));
    });
}

void Worksheet::activate() {
    unoCall([&] {
        Reference<frame::XController> controller = model(*doc_)->getCurrentController();
        Reference<sheet::XSpreadsheetView> view(controller, UNO_QUERY_THROW);
        view->setActiveSheet(sheet_->sheet);
    });
}

void Worksheet::select(int row, int column, int rows, int columns) {
    unoCall([&] {
        activate();
        Reference<table::XCellRange> range =
            sheet_->sheet->getCellRangeByPosition(column - 1, row - 1, column + columns - 2, row + rows - 2);
        Reference<view::XSelectionSupplier> supplier(model(*doc_)->getCurrentController(), UNO_QUERY_THROW);
        supplier->select(Any(range));
    });
}

Workbook Worksheet::workbook() const { return Workbook(session_, doc_); }

// ---- Workbook -------------------------------------------------------------

Workbook::Workbook(std::shared_ptr<Session> session, std::shared_ptr<DocHandle> doc)
    : session_(std::move(session)), doc_(std::move(doc)) {}

int Workbook::worksheetCount() const {
    return unoCall([&] { return int(Reference<container::XIndexAccess>(spreadsheetDoc(*doc_)->getSheets(), UNO_QUERY_THROW)->getCount()); });
}

Worksheet Workbook::worksheet(int index) const {
    return unoCall([&] {
        auto sheet = std::make_shared<SheetHandle>();
        sheet->sheet = sheetOfRange(spreadsheetDoc(*doc_), static_cast<sal_Int16>(index - 1));
        return Worksheet(session_, doc_, sheet);
    });
}

Worksheet Workbook::addWorksheetAfter(const Worksheet& after) {
    return unoCall([&] {
        Reference<sheet::XSpreadsheets> sheets = spreadsheetDoc(*doc_)->getSheets();
        Reference<container::XIndexAccess> indexed(sheets, UNO_QUERY_THROW);
        // Sheets are told apart by name: interface identity does not survive the bridge.
        const rtl::OUString afterName = Reference<container::XNamed>(after.sheet_->sheet, UNO_QUERY_THROW)->getName();
        sal_Int16 position = sal_Int16(indexed->getCount());
        for (sal_Int32 i = 0; i < indexed->getCount(); ++i)
            if (Reference<container::XNamed>(indexed->getByIndex(i), UNO_QUERY_THROW)->getName() == afterName)
                position = sal_Int16(i + 1);
        const QString name = uniqueSheetName(sheets);
        sheets->insertNewByName(toOU(name), position);
        auto sheet = std::make_shared<SheetHandle>();
        sheet->sheet = sheetOfRange(spreadsheetDoc(*doc_), position);
        return Worksheet(session_, doc_, sheet);
    });
}

void Workbook::addName(const QString& name, const QString& refersToR1C1) {
    const std::optional<QString> content = r1c1ToOfficeReference(refersToR1C1);
    if (!content) throw SheetError(kSheetCallFailed, QStringLiteral("invalid reference: %1").arg(refersToR1C1));
    unoCall([&] {
        Reference<beans::XPropertySet> docProps(doc_->component, UNO_QUERY_THROW);
        Reference<sheet::XNamedRanges> names(docProps->getPropertyValue("NamedRanges"), UNO_QUERY_THROW);
        if (names->hasByName(toOU(name))) names->removeByName(toOU(name));
        names->addNewByName(toOU(name), toOU(*content), table::CellAddress(0, 0, 0), 0);
    });
}

void Workbook::saveCopyAs(const QString& path) {
    unoCall([&] {
        const bool xlsx = path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive);
        Sequence<beans::PropertyValue> args(xlsx ? 2 : 1);
        args.getArray()[0].Name = "Overwrite";
        args.getArray()[0].Value <<= true;
        if (xlsx) {
            args.getArray()[1].Name = "FilterName";
            args.getArray()[1].Value <<= rtl::OUString("Calc MS Excel 2007 XML");
        }
        Reference<frame::XStorable>(doc_->component, UNO_QUERY_THROW)
            ->storeToURL(toOU(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)), args);
    });
}

void Workbook::close() {
    unoCall([&] {
        Reference<util::XCloseable> closeable(doc_->component, UNO_QUERY);
        if (closeable.is()) closeable->close(true);
        else doc_->component->dispose();
    });
}

// ---- Application ----------------------------------------------------------

Application::Application(std::shared_ptr<Session> session) : session_(std::move(session)) {}

int Application::workbooksCount() {
    return unoCall([&] {
        int count = 0;
        Reference<container::XEnumeration> e = session_->desktop->getComponents()->createEnumeration();
        while (e->hasMoreElements())
            if (Reference<sheet::XSpreadsheetDocument>(e->nextElement(), UNO_QUERY).is()) ++count;
        return count;
    });
}

Workbook Application::addWorkbook() {
    return unoCall([&] {
        Sequence<beans::PropertyValue> args(session_->hiddenDocuments ? 1 : 0);
        if (session_->hiddenDocuments) {
            args.getArray()[0].Name = "Hidden";
            args.getArray()[0].Value <<= true;
        }
        auto doc = std::make_shared<DocHandle>();
        doc->component = session_->desktop->loadComponentFromURL("private:factory/scalc", "_blank", 0, args);
        if (!doc->component.is()) throw SheetError(kSheetCallFailed, QStringLiteral("no new workbook"));
        // A new office document has one sheet; the callers rely on three.
        Reference<sheet::XSpreadsheets> sheets = spreadsheetDoc(*doc)->getSheets();
        Reference<container::XIndexAccess> indexed(sheets, UNO_QUERY_THROW);
        while (indexed->getCount() < 3) sheets->insertNewByName(toOU(uniqueSheetName(sheets)), sal_Int16(indexed->getCount()));
        return Workbook(session_, doc);
    });
}

std::optional<Workbook> Application::activeWorkbook() {
    return unoCall([&]() -> std::optional<Workbook> {
        Reference<lang::XComponent> current = session_->desktop->getCurrentComponent();
        if (Reference<sheet::XSpreadsheetDocument>(current, UNO_QUERY).is()) {
            auto doc = std::make_shared<DocHandle>();
            doc->component = current;
            return Workbook(session_, doc);
        }
        // Hidden documents never become current: take the last spreadsheet document.
        std::optional<Workbook> last;
        Reference<container::XEnumeration> e = session_->desktop->getComponents()->createEnumeration();
        while (e->hasMoreElements()) {
            Reference<lang::XComponent> c(e->nextElement(), UNO_QUERY);
            if (Reference<sheet::XSpreadsheetDocument>(c, UNO_QUERY).is() && !last) {
                auto doc = std::make_shared<DocHandle>();
                doc->component = c;
                last = Workbook(session_, doc);
            }
        }
        return last;
    });
}

bool Application::visible() { return !session_->hiddenDocuments; }

void Application::setVisible(bool on) {
    // The office shows every document it opens visibly; only tests open hidden ones.
    if (on && session_->hiddenDocuments) return;
}

int Application::windowState() {
    return unoCall([&] {
        std::optional<Workbook> wb = activeWorkbook();
        if (!wb) return int(xlNormal);
        Reference<awt::XWindow> window = frameOf(model(*wb->doc_))->getContainerWindow();
        Reference<beans::XPropertySet> props(window, UNO_QUERY);
        bool minimized = false;
        if (props.is() && props->getPropertySetInfo()->hasPropertyByName("IsMinimized"))
            props->getPropertyValue("IsMinimized") >>= minimized;
        return int(minimized ? xlMinimized : xlNormal);
    });
}

void Application::setWindowState(int state) {
    unoCall([&] {
        std::optional<Workbook> wb = activeWorkbook();
        if (!wb) return;
        Reference<awt::XWindow> window = frameOf(model(*wb->doc_))->getContainerWindow();
        Reference<beans::XPropertySet> props(window, UNO_QUERY);
        if (props.is() && props->getPropertySetInfo()->hasPropertyByName("IsMinimized"))
            props->setPropertyValue("IsMinimized", Any(state == xlMinimized));
    });
}

QString Application::caption() {
    return unoCall([&] {
        std::optional<Workbook> wb = activeWorkbook();
        if (!wb) return QStringLiteral("LibreOffice Calc");
        Reference<beans::XPropertySet> frameProps(frameOf(model(*wb->doc_)), UNO_QUERY_THROW);
        rtl::OUString title;
        frameProps->getPropertyValue("Title") >>= title;
        return fromOU(title);
    });
}

void Application::activateWindow() {
    unoCall([&] {
        std::optional<Workbook> wb = activeWorkbook();
        if (!wb || session_->hiddenDocuments) return;
        Reference<awt::XWindow> window = frameOf(model(*wb->doc_))->getContainerWindow();
        Reference<awt::XTopWindow> top(window, UNO_QUERY);
        if (top.is()) top->toFront();
        window->setFocus();
    });
}

void Application::setScreenUpdating(bool on) {
    unoCall([&] {
        Reference<container::XEnumeration> e = session_->desktop->getComponents()->createEnumeration();
        while (e->hasMoreElements()) {
            Reference<frame::XModel> m(e->nextElement(), UNO_QUERY);
            if (!m.is() || !Reference<sheet::XSpreadsheetDocument>(m, UNO_QUERY).is()) continue;
            // Row heights are adjusted after every write unless this is off;
            // with the screen not updating they are adjusted once, when it is
            // switched back on.
            Reference<beans::XPropertySet> props(m, UNO_QUERY);
            if (props.is() && props->getPropertySetInfo()->hasPropertyByName("IsAdjustHeightEnabled"))
                props->setPropertyValue("IsAdjustHeightEnabled", Any(on));
            if (on) {
                while (m->hasControllersLocked()) m->unlockControllers();
            } else {
                m->lockControllers();
            }
        }
    });
}

std::optional<CellBlock> Application::selectionValues() {
    return unoCall([&]() -> std::optional<CellBlock> {
        std::optional<Workbook> wb = activeWorkbook();
        if (!wb) return std::nullopt;
        Reference<frame::XController> controller = model(*wb->doc_)->getCurrentController();
        Reference<view::XSelectionSupplier> supplier(controller, UNO_QUERY);
        if (!supplier.is()) return std::nullopt;
        Any selection = supplier->getSelection();
        Reference<table::XCellRange> range(selection, UNO_QUERY);
        if (Reference<sheet::XSheetCellRanges> areas(selection, UNO_QUERY); areas.is() && !Reference<sheet::XCellRangeAddressable>(selection, UNO_QUERY).is()) {
            Reference<container::XIndexAccess> indexed(areas, UNO_QUERY_THROW);
            if (indexed->getCount() == 0) return std::nullopt;
            range.set(indexed->getByIndex(0), UNO_QUERY);
        }
        Reference<sheet::XCellRangeAddressable> addressable(range, UNO_QUERY);
        if (!range.is() || !addressable.is()) return std::nullopt;
        const table::CellRangeAddress a = addressable->getRangeAddress();
        // Only the part inside the used area holds values.
        const Worksheet::Area used = usedArea(sheetOfRange(spreadsheetDoc(*wb->doc_), a.Sheet));
        const sal_Int32 lastUsedRow = used.row - 1 + used.rows - 1;
        sal_Int32 endRow = std::min(a.EndRow, std::max(lastUsedRow, a.StartRow));
        Reference<table::XCellRange> clipped = range->getCellRangeByPosition(0, 0, a.EndColumn - a.StartColumn, endRow - a.StartRow);
        return readData(Reference<sheet::XCellRangeData>(clipped, UNO_QUERY_THROW));
    });
}

}  // namespace calc
