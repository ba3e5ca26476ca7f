// The tick count and the time pictures of GetTimeFormatA.
#include <cctype>
#include <cstring>

#include "platform_test_util.h"

namespace {

TEST(TickCount, MovesForwardWithSleep) {
  DWORD previous = GetTickCount();
  const DWORD start = previous;
  for (int i = 0; i < 20; ++i) {
    Sleep(2);
    const DWORD now = GetTickCount();
    EXPECT_LT(now - previous, 0x80000000u);  // never backwards (modulo 2^32)
    previous = now;
  }
  EXPECT_GE(previous - start, 20u);
}

std::string timeText(DWORD flags, const SYSTEMTIME* time, const char* picture) {
  char text[64] = {};
  const int n = GetTimeFormatA(LOCALE_USER_DEFAULT, flags, time, picture, text, sizeof text);
  if (n == 0) return "<failed>";
  EXPECT_EQ(strlen(text) + 1, static_cast<size_t>(n));
  return text;
}

SYSTEMTIME at(WORD hour, WORD minute, WORD second) {
  SYSTEMTIME t = {};
  t.wYear = 2024;
  t.wMonth = 3;
  t.wDay = 5;
  t.wHour = hour;
  t.wMinute = minute;
  t.wSecond = second;
  return t;
}

TEST(TimeFormat, TwentyFourHourPictureUsedByTheLog) {
  const SYSTEMTIME afternoon = at(13, 5, 9);
  EXPECT_EQ("13:05:09", timeText(TIME_FORCE24HOURFORMAT, &afternoon, "hh':'mm':'ss"));
  const SYSTEMTIME midnight = at(0, 0, 0);
  EXPECT_EQ("00:00:00", timeText(TIME_FORCE24HOURFORMAT, &midnight, "hh':'mm':'ss"));

  // The current time has the same shape.
  const std::string now = timeText(TIME_FORCE24HOURFORMAT, nullptr, "hh':'mm':'ss");
  ASSERT_EQ(8u, now.size());
  for (size_t i : {0u, 1u, 3u, 4u, 6u, 7u}) EXPECT_TRUE(isdigit(static_cast<unsigned char>(now[i]))) << now;
  EXPECT_EQ(':', now[2]);
  EXPECT_EQ(':', now[5]);
}

TEST(TimeFormat, HourMinuteSecondAndMarkerFields) {
  const SYSTEMTIME afternoon = at(13, 5, 9);
  EXPECT_EQ("1:5:9 P PM", timeText(0, &afternoon, "h:m:s t tt"));
  EXPECT_EQ("01 13 13 05 09", timeText(0, &afternoon, "hh H HH mm ss"));
  const SYSTEMTIME morning = at(0, 30, 0);
  EXPECT_EQ("12:30 AM", timeText(0, &morning, "h:mm tt"));
  EXPECT_EQ("0:30", timeText(0, &morning, "H:mm"));
}

TEST(TimeFormat, QuotedTextIsCopied) {
  const SYSTEMTIME t = at(9, 8, 7);
  EXPECT_EQ("at 09h08 it's", timeText(0, &t, "'at 'HH'h'mm' it''s'"));
}

TEST(TimeFormat, SizeQueryAndShortBuffer) {
  const SYSTEMTIME t = at(9, 8, 7);
  EXPECT_EQ(9, GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &t, "HH:mm:ss", nullptr, 0));
  char small[4];
  SetLastError(0);
  EXPECT_EQ(0, GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &t, "HH:mm:ss", small, sizeof small));
  EXPECT_LAST_ERROR(ERROR_INSUFFICIENT_BUFFER);
  SYSTEMTIME bad = at(24, 0, 0);
  char text[32];
  SetLastError(0);
  EXPECT_EQ(0, GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &bad, "HH", text, sizeof text));
  EXPECT_LAST_ERROR(ERROR_INVALID_PARAMETER);
}

TEST(LocalTime, FieldsAreInRange) {
  SYSTEMTIME t;
  GetLocalTime(&t);
  EXPECT_GE(t.wYear, 2020);
  EXPECT_GE(t.wMonth, 1);
  EXPECT_LE(t.wMonth, 12);
  EXPECT_LE(t.wDayOfWeek, 6);
  EXPECT_LE(t.wHour, 23);
  EXPECT_LE(t.wMilliseconds, 999);
}

}  // namespace
