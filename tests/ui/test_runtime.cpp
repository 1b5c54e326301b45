// The run-time rules the windows rely on: number conversions, 16-bit
// overflow, fixed bounds, and the guard at the event boundary.
#include "support/testsupport.h"
#include "ui/runtime.h"

#include <gtest/gtest.h>
#include <cmath>

using namespace ui;

TEST(Numbers, ValTakesTheLeadingNumberAndIgnoresBlanks) {
    EXPECT_EQ(Val(QStringLiteral("  12abc")), 12);
    EXPECT_EQ(Val(QStringLiteral("abc")), 0);
    EXPECT_EQ(Val(QString()), 0);
    EXPECT_DOUBLE_EQ(Val(QStringLiteral("90.5")), 90.5);
    EXPECT_EQ(Val(QStringLiteral("-7 0")), -70);
    EXPECT_EQ(Val(QStringLiteral("1e2x")), 100);
    EXPECT_EQ(Val(QStringLiteral("&H2E")), 46);
    EXPECT_EQ(Val(QStringLiteral("1\n2")), 12);      // a line feed is skipped
    EXPECT_EQ(Val(QStringLiteral("12\r\n34")), 12);  // a carriage return ends it
}

TEST(Numbers, ValOfHexAndOctalTakesTheWidthTheNumberNeeds) {
    EXPECT_EQ(Val(QStringLiteral("&HFFFF")), -1);
    EXPECT_EQ(Val(QStringLiteral("&H8000")), -32768);
    EXPECT_EQ(Val(QStringLiteral("&H10000")), 65536);
    EXPECT_EQ(Val(QStringLiteral("&HFFFFF")), 1048575);
    EXPECT_EQ(Val(QStringLiteral("&hffffffff")), -1);
    EXPECT_EQ(Val(QStringLiteral("&O17x")), 15);
    EXPECT_EQ(Val(QStringLiteral("&H")), 0);
    // Too large for any width is an overflow, not a wrapped number.
    EXPECT_THROW(Val(QStringLiteral("&H100000000")), RuntimeError);
    EXPECT_THROW(Val(QStringLiteral("&HFFFFFFFFFFFFFFFFFFFFFFFF")), RuntimeError);
    EXPECT_THROW(Val(QStringLiteral("1e999")), RuntimeError);
    EXPECT_THROW(Val(QString(400, u'9')), RuntimeError);
}

TEST(Numbers, CIntRoundsHalvesToEvenAndFailsOnOverflow) {
    EXPECT_EQ(CInt(2.5), 2);
    EXPECT_EQ(CInt(3.5), 4);
    EXPECT_EQ(CInt(-2.5), -2);
    EXPECT_EQ(CInt(7500.0 / 40), 188);
    EXPECT_EQ(CInt(7500.0 / 120), 62);
    EXPECT_EQ(CInt(32767.4), 32767);
    EXPECT_THROW(CInt(32767.5), RuntimeError);
    EXPECT_THROW(CInt(-32769), RuntimeError);
    EXPECT_EQ(Int(-0.5), -1);
    EXPECT_EQ(Int(2.999), 2);
    EXPECT_THROW(Int(std::nan("")), RuntimeError);
    EXPECT_THROW(Int(1e300), RuntimeError);
}

TEST(Numbers, SixteenBitProductsOverflow) {
    EXPECT_EQ(mul16(127, 256), 32512);
    EXPECT_EQ(mul16(-128, 256), -32768);
    try {
        mul16(128, 256);
        FAIL() << "no overflow";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), kErrOverflow);
    }
}

TEST(Numbers, StrictSettingsNumbers) {
    EXPECT_EQ(parseI16Strict(QStringLiteral(" 3 ")), 3);
    EXPECT_EQ(parseI16Strict(QStringLiteral("-1 ")), -1);
    EXPECT_THROW(parseI16Strict(QStringLiteral("abc")), RuntimeError);
    EXPECT_THROW(parseI16Strict(QString()), RuntimeError);
    EXPECT_THROW(parseI16Strict(QStringLiteral(" 40000 ")), RuntimeError);
}

TEST(Numbers, PrintedFormsAndHex) {
    EXPECT_EQ(printNumber(3), QStringLiteral(" 3 "));
    EXPECT_EQ(printNumber(-1), QStringLiteral("-1 "));
    EXPECT_EQ(Hex(46), QStringLiteral("2E"));
    EXPECT_EQ(Hex(-1), QStringLiteral("FFFF"));
}

TEST(FixedBounds, IndexOutsideIsAnErrorNotAResize) {
    FixedArray<int16_t, 16> a;
    a[15] = 3;
    EXPECT_EQ(a(15), 3);
    EXPECT_THROW(a[16], RuntimeError);
    EXPECT_THROW(a[-1], RuntimeError);
    FixedArray2<int, 7, 10000> grid;
    grid(6, 9999) = 1;
    EXPECT_THROW(grid(7, 0), RuntimeError);
    EXPECT_THROW(grid(0, 10000), RuntimeError);
}

TEST(Guard, ReportsAnErrorAndGoesOn) {
    testing_support::TestDialogs dialogs;
    bool after = false;
    guard([] { ui::raise(kErrSubscript); });
    guard([] { throw std::runtime_error("boom"); });
    guard([&] { after = true; });
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("下标越界")));
    EXPECT_TRUE(after);
}

TEST(Guard, RecordsTheProgramEndUnderTestDialogs) {
    testing_support::TestDialogs dialogs;
    clearProgramEndRequest();
    guard([] { plat::endProgram(3); });
    EXPECT_TRUE(programEndRequested());
    EXPECT_EQ(programEndCode(), 3);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    clearProgramEndRequest();
}
