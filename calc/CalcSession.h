#pragma once
// The UNO side of the spreadsheet module (private to calc/).
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <utility>

#include "CalcApp.h"
#include "UnoText.h"

namespace calc {

namespace css = com::sun::star;
using css::uno::Reference;

struct Session {
    Reference<css::uno::XComponentContext> context;  // the office's
    Reference<css::frame::XDesktop2> desktop;
    bool hiddenDocuments = false;
};

struct DocHandle {
    Reference<css::lang::XComponent> component;
};

struct SheetHandle {
    Reference<css::sheet::XSpreadsheet> sheet;
};

// The error number of every refused spreadsheet call (the number the
// spreadsheet the system was written for gives such errors).
constexpr long kSheetCallFailed = 1004;

// Runs one UNO call and turns the office's exceptions into SheetError.
template <class F>
auto unoCall(F&& f) -> decltype(f()) {
    try {
        return std::forward<F>(f)();
    } catch (const css::uno::Exception& e) {
        throw SheetError(kSheetCallFailed, e.Message.isEmpty() ? QStringLiteral("spreadsheet call failed") : fromOU(e.Message));
    }
}

}  // namespace calc
