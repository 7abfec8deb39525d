// References and list sources in the forms the office takes.
#include <gtest/gtest.h>

#include "calc/CellReference.h"

using namespace calc;

TEST(CellReference, ColumnLetters) {
    EXPECT_EQ(columnLetters(1), "A");
    EXPECT_EQ(columnLetters(26), "Z");
    EXPECT_EQ(columnLetters(27), "AA");
    EXPECT_EQ(columnLetters(703), "AAA");
}

TEST(CellReference, R1C1RangesBecomeAbsoluteSheetReferences) {
    EXPECT_EQ(r1c1ToOfficeReference("=list_source!R1C1:R256C1").value(), "$'list_source'.$A$1:$A$256");
    EXPECT_EQ(r1c1ToOfficeReference("list_source!R1C3:R26C3").value(), "$'list_source'.$C$1:$C$26");
    EXPECT_EQ(r1c1ToOfficeReference("='it''s'!R2C2").value(), "$'it''s'.$B$2");
    EXPECT_EQ(r1c1ToOfficeReference(QStringLiteral("=画層!R1C2:R1C2")).value(), QStringLiteral("$'画層'.$B$1"));
    EXPECT_FALSE(r1c1ToOfficeReference("=A1:B2").has_value());
    EXPECT_FALSE(r1c1ToOfficeReference("=s!R0C1").has_value());
    EXPECT_FALSE(r1c1ToOfficeReference("=s!R5C1:R4C1").has_value());
}

TEST(CellReference, ListSourcesAreNamesOrQuotedItems) {
    EXPECT_EQ(officeListSource("=ColorList"), "ColorList");
    EXPECT_EQ(officeListSource(QStringLiteral("(変更なし),する,しない")),
              QStringLiteral("\"(変更なし)\";\"する\";\"しない\""));
    EXPECT_EQ(officeListSource("a\"b,c"), "\"a\"\"b\";\"c\"");
}
