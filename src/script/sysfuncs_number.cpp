// The numeric functions (negation, Random, conversions, trigonometry, absolute values,
// minimum and maximum) and the date and time functions over days since 1899-12-30.

#include <cmath>
#include <cstdint>
#include <string>

#include "script/arith.h"
#include "script/sysfuncfamilies.h"
#include "script/sysfuncman.h"
#include "support/errors.h"

namespace qubo {

namespace {

using namespace sysfunc;

uint32_t randomSeed = 0;

constexpr const char* kFloatInvalid = "Invalid floating point operation";
constexpr const char* kFloatOverflow = "Floating point overflow";
// 日付が不正です
constexpr const char* kMsgBadDate = "\x93\xFA\x95t\x82\xAA\x95s\x90\xB3\x82\xC5\x82\xB7";
// 時刻が不正です
constexpr const char* kMsgBadTime = "\x8E\x9E\x8D\x8F\x82\xAA\x95s\x90\xB3\x82\xC5\x82\xB7";
// 日付の値が範囲外です
constexpr const char* kMsgDateRange = "\x93\xFA\x95t\x82\xCC\x92l\x82\xAA\x94\xCD\x88\xCD\x8AO\x82\xC5\x82\xB7";

// A result the processor would refuse: NaN from numbers, infinity from finite numbers.
Real Checked(Real r, Real x, Real y = 0) {
  if (std::isnan(r) && !std::isnan(x) && !std::isnan(y)) throw QuboError(kFloatInvalid);
  if (std::isinf(r) && std::isfinite(x) && std::isfinite(y)) throw QuboError(kFloatOverflow);
  return r;
}

Real CheckedCompare(Real x, Real y) {
  if (std::isnan(x) || std::isnan(y)) throw QuboError(kFloatInvalid);
  return x;
}

// ---- calendar (proleptic Gregorian), days relative to 1899-12-30 ----

constexpr int64_t kEpochFromCivil = -25569;  // 1899-12-30 counted from 1970-01-01
constexpr int64_t kMinDay = -693593;         // 0001-01-01
constexpr int64_t kMaxDay = 2958465;         // 9999-12-31
constexpr int64_t kMsPerDay = 86400000;

bool IsLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int32_t DaysInMonth(int64_t y, int64_t m) {
  static const int32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 - kEpochFromCivil;
}

struct Civil {
  int32_t year, month, day;
};

Civil CivilFromDays(int64_t z) {
  z += kEpochFromCivil + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int32_t>(yoe + era * 400 + (m <= 2)), static_cast<int32_t>(m), static_cast<int32_t>(d)};
}

// A date-time split into its day and its time of day in whole milliseconds. The day is the
// value truncated toward zero and the time the fraction's magnitude (so -1.25 is 06:00 of
// the day before the epoch's); the fraction is rounded to the millisecond first, and a time
// that rounds up to 24:00 moves on to the next day. Values that are not finite or lie
// outside the years 1 to 9999 raise.
struct Split {
  int64_t day;
  int64_t ms;
};

Split SplitDateTime(Real x) {
  if (!std::isfinite(x) || x < static_cast<Real>(kMinDay - 1) || x > static_cast<Real>(kMaxDay + 1)) {
    throw QuboError(kMsgDateRange);
  }
  int64_t day = static_cast<int64_t>(std::trunc(x));
  int64_t ms = std::llround(std::fabs(x - static_cast<Real>(day)) * static_cast<Real>(kMsPerDay));
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    ++day;
  }
  if (day < kMinDay || day > kMaxDay) throw QuboError(kMsgDateRange);
  return {day, ms};
}

Civil DateOf(Real x) { return CivilFromDays(SplitDateTime(x).day); }

struct Clock {
  int32_t hour, min, sec;
};
Clock TimeOf(Real x) {
  const int64_t ms = SplitDateTime(x).ms;
  return {static_cast<int32_t>(ms / 3600000), static_cast<int32_t>(ms / 60000 % 60), static_cast<int32_t>(ms / 1000 % 60)};
}

// 1 = Sunday ... 7 = Saturday; day 0 (1899-12-30) was a Saturday.
int32_t WeekDay(Real x) {
  const int64_t day = SplitDateTime(x).day;
  return static_cast<int32_t>(((day + 6) % 7 + 7) % 7) + 1;
}

Real EncodeDate(int32_t y, int32_t m, int32_t d) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) throw QuboError(kMsgBadDate);
  return static_cast<Real>(DaysFromCivil(y, m, d));
}

Real EncodeTime(int32_t h, int32_t m, int32_t s) {
  if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59) throw QuboError(kMsgBadTime);
  return static_cast<Real>(h * 3600000 + m * 60000 + s * 1000) / static_cast<Real>(kMsPerDay);
}

// Writes an integer into argument k when it is a variable; a constant stays as compiled.
void WriteInt(TFuncCall& c, int k, int32_t v) {
  if (TCustomParam* p = VarArg(c, k)) p->SetInt(v);
}

const char* const kWeekNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
// 日 月 火 水 木 金 土
const char* const kWeekJNames[7] = {"\x93\xFA", "\x8C\x8E", "\x89\xCE", "\x90\x85", "\x96\xD8", "\x8B\xE0", "\x93y"};

}  // namespace

void SetRandomSeed(uint32_t seed) { randomSeed = seed; }
uint32_t RandomSeed() { return randomSeed; }

bool CallNumberFunction(int index, TFuncCall& c) {
  TFuncResult& r = c.result;
  switch (index) {
    case 20:  // Not
      r.SetBool(!Arg(c, 1).AsBool());
      return true;
    case 26: {  // Random
      randomSeed = randomSeed * 134775813u + 1u;
      const uint64_t product = uint64_t{randomSeed} * static_cast<uint32_t>(Arg(c, 1).AsInt());
      r.SetInt(static_cast<int32_t>(static_cast<uint32_t>(product >> 32)));
      return true;
    }
    case 37:  // Int
      r.SetInt(arith::RealToInt(Arg(c, 1).AsFloat()));
      return true;
    case 38:  // Float
      r.SetFloat(Arg(c, 1).AsFloat());
      return true;
    case 39:
    case 40:
    case 41:
    case 42:
    case 43:
    case 44: {  // Sin Cos Tan ArcSin ArcCos ArcTan
      const Real x = Arg(c, 1).AsFloat();
      Real v = 0;
      switch (index) {
        case 39: v = std::sin(x); break;
        case 40: v = std::cos(x); break;
        case 41: v = std::tan(x); break;
        case 42: v = std::asin(x); break;
        case 43: v = std::acos(x); break;
        default: v = std::atan(x); break;
      }
      r.SetFloat(Checked(v, x));
      return true;
    }
    case 45: {  // ArcTan2 (y, x)
      const Real y = Arg(c, 1).AsFloat(), x = Arg(c, 2).AsFloat();
      r.SetFloat(Checked(std::atan2(y, x), y, x));
      return true;
    }
    case 46: {  // Hypot
      const Real x = Arg(c, 1).AsFloat(), y = Arg(c, 2).AsFloat();
      r.SetFloat(Checked(std::hypot(x, y), x, y));
      return true;
    }
    case 48: {  // Abs
      const int32_t v = Arg(c, 1).AsInt();
      r.SetInt(v < 0 ? arith::Neg(v) : v);
      return true;
    }
    case 49:  // Fabs
      r.SetFloat(std::fabs(Arg(c, 1).AsFloat()));
      return true;
    case 126:
    case 127: {  // Min Max
      const int32_t a = Arg(c, 1).AsInt(), b = Arg(c, 2).AsInt();
      r.SetInt(index == 126 ? (a < b ? a : b) : (a > b ? a : b));
      return true;
    }
    case 128:
    case 129: {  // Fmin Fmax
      const Real a = Arg(c, 1).AsFloat(), b = Arg(c, 2).AsFloat();
      CheckedCompare(a, b);
      r.SetFloat(index == 128 ? (a < b ? a : b) : (a > b ? a : b));
      return true;
    }
    case 51:  // EncodeDate
      r.SetFloat(EncodeDate(Arg(c, 1).AsInt(), Arg(c, 2).AsInt(), Arg(c, 3).AsInt()));
      return true;
    case 52:  // EncodeTime
      r.SetFloat(EncodeTime(Arg(c, 1).AsInt(), Arg(c, 2).AsInt(), Arg(c, 3).AsInt()));
      return true;
    case 53: {  // DecodeDate
      const Civil d = DateOf(Arg(c, 1).AsFloat());
      WriteInt(c, 2, d.year);
      WriteInt(c, 3, d.month);
      WriteInt(c, 4, d.day);
      return true;
    }
    case 54: {  // DecodeTime
      const Clock t = TimeOf(Arg(c, 1).AsFloat());
      WriteInt(c, 2, t.hour);
      WriteInt(c, 3, t.min);
      WriteInt(c, 4, t.sec);
      return true;
    }
    case 55: r.SetInt(DateOf(Arg(c, 1).AsFloat()).year); return true;   // GetYear
    case 56: r.SetInt(DateOf(Arg(c, 1).AsFloat()).month); return true;  // GetMonth
    case 57: r.SetInt(DateOf(Arg(c, 1).AsFloat()).day); return true;    // GetDay
    case 58: r.SetInt(TimeOf(Arg(c, 1).AsFloat()).hour); return true;   // GetHour
    case 59: r.SetInt(TimeOf(Arg(c, 1).AsFloat()).min); return true;    // GetMin
    case 60: r.SetInt(TimeOf(Arg(c, 1).AsFloat()).sec); return true;    // GetSec
    case 61: r.SetInt(WeekDay(Arg(c, 1).AsFloat())); return true;       // GetWeek
    case 62: r.SetStr(kWeekNames[WeekDay(Arg(c, 1).AsFloat()) - 1]); return true;   // GetWeekStr
    case 63: r.SetStr(kWeekJNames[WeekDay(Arg(c, 1).AsFloat()) - 1]); return true;  // GetWeekJStr
    default: return false;
  }
}

}  // namespace qubo
