// The virtual clock: ticks, Sleep accounting, wrap, and local time carried
// through the calendar.
#include "LoopFixture.h"

namespace {

using ClockTest = HostLoopTest;

void ExpectLocal(const SYSTEMTIME& t, WORD year, WORD month, WORD day, WORD weekday,
                 WORD hour, WORD minute, WORD second, WORD ms)
{
    EXPECT_EQ(year, t.wYear);
    EXPECT_EQ(month, t.wMonth);
    EXPECT_EQ(day, t.wDay);
    EXPECT_EQ(weekday, t.wDayOfWeek);
    EXPECT_EQ(hour, t.wHour);
    EXPECT_EQ(minute, t.wMinute);
    EXPECT_EQ(second, t.wSecond);
    EXPECT_EQ(ms, t.wMilliseconds);
}

SYSTEMTIME Now()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return t;
}

TEST_F(ClockTest, SleepMovesTimeAtOnceAndIsCountedButAdvanceIsNot)
{
    EXPECT_TRUE(host::IsVirtualClock());
    EXPECT_EQ(kStart, GetTickCount());
    Sleep(1500);
    Sleep(0);
    EXPECT_EQ(kStart + 1500, GetTickCount());
    host::Advance(700);
    EXPECT_EQ(kStart + 2200, GetTickCount());
    EXPECT_EQ(1500u, host::SleptMilliseconds());
    ExpectLocal(Now(), 2024, 3, 1, 5, 9, 0, 2, 200);
}

TEST_F(ClockTest, LocalTimeCarriesThroughHourDayMonthAndYear)
{
    host::UseVirtualClock(0, LocalTime(2023, 12, 31, 23, 59, 59, 500));
    ExpectLocal(Now(), 2023, 12, 31, 0, 23, 59, 59, 500);
    Sleep(600);
    ExpectLocal(Now(), 2024, 1, 1, 1, 0, 0, 0, 100);

    host::UseVirtualClock(0, LocalTime(2024, 6, 5, 9, 59, 59, 999));
    Sleep(1);
    ExpectLocal(Now(), 2024, 6, 5, 3, 10, 0, 0, 0);
}

TEST_F(ClockTest, LeapYearsFollowTheGregorianRules)
{
    const DWORD day = 24u * 3600u * 1000u;
    host::UseVirtualClock(0, LocalTime(2024, 2, 28, 12, 0, 0));
    Sleep(day);
    ExpectLocal(Now(), 2024, 2, 29, 4, 12, 0, 0, 0);
    Sleep(day);
    ExpectLocal(Now(), 2024, 3, 1, 5, 12, 0, 0, 0);

    host::UseVirtualClock(0, LocalTime(2100, 2, 28, 0, 0, 0));
    Sleep(day);
    EXPECT_EQ(3, Now().wMonth);
    host::UseVirtualClock(0, LocalTime(2000, 2, 28, 0, 0, 0));
    Sleep(day);
    EXPECT_EQ(29, Now().wDay);
}

TEST_F(ClockTest, TickCountWrapsWhileLocalTimeKeepsGoing)
{
    host::UseVirtualClock(0xFFFFFF00u, LocalTime(2024, 3, 1, 9, 0, 0));
    Sleep(0x200);
    EXPECT_EQ(0x100u, GetTickCount());
    ExpectLocal(Now(), 2024, 3, 1, 5, 9, 0, 0, 512);
}

TEST_F(ClockTest, AdvanceLongerThanHalfTheTickRange)
{
    // 40 days: more than 2^31 ms, so it must not be taken as a step back.
    const DWORD forty = 40u * 24u * 3600u * 1000u;
    host::Advance(forty);
    EXPECT_EQ(static_cast<DWORD>(kStart + forty), GetTickCount());
    ExpectLocal(Now(), 2024, 4, 10, 3, 9, 0, 0, 0);
}

TEST_F(ClockTest, RealClockSleepsReallyAndCounts)
{
    host::UseRealClock();
    EXPECT_FALSE(host::IsVirtualClock());
    DWORD before = GetTickCount();
    Sleep(30);
    DWORD taken = GetTickCount() - before;
    EXPECT_GE(taken, 29u);
    EXPECT_LT(taken, 2000u);
    EXPECT_EQ(30u, host::SleptMilliseconds());
    SYSTEMTIME t = Now();
    EXPECT_GE(t.wYear, 2024);
}

} // namespace
