// The run-time rules the windows rely on: number conversions, 16-bit overflow, fixed bounds, and the guard at the
// event boundary.
#include "support/testsupport.h"
#include "runtime/runtime.h"

#include <gtest/gtest.h>
#include <cmath>

using namespace rt;
using S = QString;

TEST(Numbers, ConversionsAndTheirOverflows) {
    const std::pair<const char*, double> vals[] = {
        {"  12abc", 12}, {"abc", 0}, {"", 0}, {"90.5", 90.5}, {"-7 0", -70}, {"1e2x", 100},
        {"1\n2", 12},                                     // a line feed is skipped
        {"12\r\n34", 12},                                 // a carriage return ends it
        {"&H2E", 46}, {"&HFFFF", -1}, {"&H8000", -32768}, // 16 bits while they suffice
        {"&H10000", 65536}, {"&hffffffff", -1}, {"&O17x", 15}, {"&H", 0},
    };
    for (auto [text, want] : vals) EXPECT_DOUBLE_EQ(Val(S::fromUtf8(text)), want) << text;
    const std::pair<double, int> cints[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {7500.0 / 40, 188}, {32767.4, 32767}};
    for (auto [x, want] : cints) EXPECT_EQ(CInt(x), want) << x;
    EXPECT_EQ(Int(-0.5) * 10 + Int(2.999), -8);
    EXPECT_EQ(parseI16Strict(S(" 3 ")) * 10 + parseI16Strict(S("-1 ")), 29);
    EXPECT_EQ(printNumber(3) + printNumber(-1), S(" 3 -1 "));
    EXPECT_EQ(Hex(46) + Hex(-1), S("2EFFFF"));
    const std::function<void()> overflows[] = {
        [] { Val(S("&H100000000")); }, [] { Val(S("1e999")); },   [] { Val(S(400, u'9')); },
        [] { CInt(32767.5); },         [] { CInt(-32769); },      [] { Int(std::nan("")); },
        [] { Int(1e300); },            [] { parseI16Strict(S("abc")); }, [] { parseI16Strict(S()); },
        [] { parseI16Strict(S(" 40000 ")); }};
    for (const auto& f : overflows) EXPECT_THROW(f(), RuntimeError);
    try {
        mul16(128, 256);
        FAIL() << "no overflow";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), kErrOverflow);
    }
}

TEST(FixedBounds, IndexOutsideIsAnErrorNotAResize) {
    FixedArray<int16_t, 16> a;
    a[15] = 3;
    EXPECT_EQ(a(15), 3);
    FixedArray2<int, 7, 10000> grid;
    grid(6, 9999) = 1;
    for (const auto& f : std::initializer_list<std::function<void()>>{
             [&] { a[16]; }, [&] { a[-1]; }, [&] { grid(7, 0); }, [&] { grid(0, 10000); }})
        EXPECT_THROW(f(), RuntimeError);
}

TEST(Guard, ReportsAnErrorAndGoesOnAndRecordsAProgramEnd) {
    testing_support::TestDialogs dialogs;
    bool after = false;
    guard([] { rt::raise(kErrSubscript); });
    guard([] { throw std::runtime_error("boom"); });
    guard([&] { after = true; });
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[0].contains(S("下标越界")));
    EXPECT_TRUE(after);
    clearProgramEndRequest();
    guard([] { plat::endProgram(3); });
    EXPECT_TRUE(programEndRequested());
    EXPECT_EQ(programEndCode(), 3);
    EXPECT_EQ(dialogs.messages.size(), 2) << "an end is no error";
    clearProgramEndRequest();
}
