// The run-time rules the windows rely on: number conversions, 16-bit
// overflow, fixed bounds, and the guard at the event boundary.
#include "support/testsupport.h"
#include "runtime/runtime.h"

#include <gtest/gtest.h>
#include <cmath>

using namespace rt;

TEST(Numbers, ValTakesTheLeadingNumberAndHexTakesTheWidthItNeeds) {
    const std::pair<const char*, double> cases[] = {
        {"  12abc", 12}, {"abc", 0}, {"", 0}, {"90.5", 90.5}, {"-7 0", -70}, {"1e2x", 100},
        {"1\n2", 12},                                     // a line feed is skipped
        {"12\r\n34", 12},                                 // a carriage return ends it
        {"&H2E", 46}, {"&HFFFF", -1}, {"&H8000", -32768}, // 16 bits while they suffice
        {"&H10000", 65536}, {"&hffffffff", -1}, {"&O17x", 15}, {"&H", 0},
    };
    for (auto [text, want] : cases) EXPECT_DOUBLE_EQ(Val(QString::fromUtf8(text)), want) << text;
    // Too large for any width is an overflow, not a wrapped number.
    for (const QString& text : {QStringLiteral("&H100000000"), QStringLiteral("1e999"), QString(400, u'9')})
        EXPECT_THROW(Val(text), RuntimeError) << text.toStdString();
}

TEST(Numbers, CIntRoundsHalvesToEvenIntFloorsBothOverflow) {
    EXPECT_EQ(CInt(2.5), 2);
    EXPECT_EQ(CInt(3.5), 4);
    EXPECT_EQ(CInt(-2.5), -2);
    EXPECT_EQ(CInt(7500.0 / 40), 188);
    EXPECT_EQ(CInt(32767.4), 32767);
    EXPECT_THROW(CInt(32767.5), RuntimeError);
    EXPECT_THROW(CInt(-32769), RuntimeError);
    EXPECT_EQ(Int(-0.5), -1);
    EXPECT_EQ(Int(2.999), 2);
    EXPECT_THROW(Int(std::nan("")), RuntimeError);
    EXPECT_THROW(Int(1e300), RuntimeError);
    try {
        mul16(128, 256);
        FAIL() << "no overflow";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), kErrOverflow);
    }
}

TEST(Numbers, SettingsNumbersPrintedFormsAndHex) {
    EXPECT_EQ(parseI16Strict(QStringLiteral(" 3 ")), 3);
    EXPECT_EQ(parseI16Strict(QStringLiteral("-1 ")), -1);
    for (const QString& bad : {QStringLiteral("abc"), QString(), QStringLiteral(" 40000 ")})
        EXPECT_THROW(parseI16Strict(bad), RuntimeError) << bad.toStdString();
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

TEST(Guard, ReportsAnErrorAndGoesOnAndRecordsAProgramEnd) {
    testing_support::TestDialogs dialogs;
    bool after = false;
    guard([] { rt::raise(kErrSubscript); });
    guard([] { throw std::runtime_error("boom"); });
    guard([&] { after = true; });
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("下标越界")));
    EXPECT_TRUE(after);

    clearProgramEndRequest();
    guard([] { plat::endProgram(3); });
    EXPECT_TRUE(programEndRequested());
    EXPECT_EQ(programEndCode(), 3);
    EXPECT_EQ(dialogs.messages.size(), 2) << "an end is no error";
    clearProgramEndRequest();
}
