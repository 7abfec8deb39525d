#pragma once
// The one headless office of the spreadsheet test run (private profile,
// started once for the whole process), and a reader for saved workbooks.
#include <gtest/gtest.h>

#include <QString>

#include "calc/CalcApp.h"

namespace calctest {

// The office of this run; null when none could be started.
calc::ApplicationPtr office();

// Runs python with openpyxl on a saved workbook (bound to `wb`); returns what
// the script prints.
QString openpyxl(const QString& path, const QString& script);

struct CalcTest : ::testing::Test {
    void SetUp() override {
        if (!office()) GTEST_SKIP() << "no office available";
    }
};

}  // namespace calctest
