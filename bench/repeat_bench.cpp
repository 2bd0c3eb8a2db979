// NeedRemind over periodic reminds for three years of days, against the
// same rules as plain arithmetic on day numbers and as libical expanding
// the equivalent RRULEs.
#include <NorvRemindCore.h>
#include <benchmark/benchmark.h>
#include <libical/ical.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr int kDays = 1096;
// 2026-01-01, the first day of every rule and of the walk, in days since
// 1970-01-01: a Thursday.
constexpr long kFirstDay = 20454;

struct Rule {
  int type;      // 0 daily, 1 weekly, 2 monthly, 3 yearly
  int value;     // weekday mask, month day (negative from the end), daily kind
  int interval;  // every N days
  const char* rrule;
};

// One rule of each kind, used round robin.
const Rule kRules[] = {
    {1, 0x7C, 1, "FREQ=WEEKLY;BYDAY=MO,TU,WE,TH,FR"},
    {1, 0x0A, 1, "FREQ=WEEKLY;BYDAY=MO,WE"},
    {0, 1, 1, "FREQ=WEEKLY;BYDAY=MO,TU,WE,TH,FR"},
    {0, 0, 3, "FREQ=DAILY;INTERVAL=3"},
    {2, 15, 1, "FREQ=MONTHLY;BYMONTHDAY=15"},
    {2, -1, 1, "FREQ=MONTHLY;BYMONTHDAY=-1"},
    {3, 0, 1, "FREQ=YEARLY"},
};
constexpr int kRuleKinds = sizeof(kRules) / sizeof(kRules[0]);

const Rule& RuleOf(int index) { return kRules[index % kRuleKinds]; }

CNorvBasePtr<CNorvRemind> MakeRemind(const Rule& rule) {
  std::wstring text =
      L"<Remind Type='1'><Content>x</Content><Repeat RemindTime='09:30' RegularType='" +
      std::to_wstring(rule.type) + L"' RegularValue='" + std::to_wstring(rule.value) +
      L"' Interval='" + std::to_wstring(rule.interval) + L"' DTStart='2026-01-01' /></Remind>";
  CNorvXmlDocument document;
  CNorvCommFun::ParseXML(CString(text), document);
  CNorvBasePtr<CNorvRemind> remind(new CNorvRemind);
  CString errorText;
  remind->ParseXML(document.GetRootElement(), errorText);
  return remind;
}

void BM_NeedRemind(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  std::vector<CNorvBasePtr<CNorvRemind>> reminds;
  for (int i = 0; i < count; ++i) reminds.push_back(MakeRemind(RuleOf(i)));
  const COleDateTime first(2026, 1, 1, 0, 0, 0);
  long firings = 0;
  for (auto _ : state) {
    firings = 0;
    for (auto& remind : reminds) {
      for (int day = 0; day < kDays; ++day)
        firings += remind->NeedRemind(first + COleDateTimeSpan(day));
    }
    benchmark::DoNotOptimize(firings);
  }
  state.counters["firings"] = static_cast<double>(firings);
  state.SetItemsProcessed(state.iterations() * count * kDays);
}
BENCHMARK(BM_NeedRemind)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The plain side: day numbers, no objects, no locks.
struct Civil {
  long year;
  int month, day;
};

Civil CivilFromDays(long days) {
  days += 719468;
  const long era = (days >= 0 ? days : days - 146096) / 146097;
  const long dayOfEra = days - era * 146097;
  const long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const long shifted = (5 * dayOfYear + 2) / 153;
  const int month = static_cast<int>(shifted < 10 ? shifted + 3 : shifted - 9);
  return {yearOfEra + era * 400 + (month <= 2), month,
          static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1)};
}

int DaysInMonth(long year, int month) {
  static const int kLength[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kLength[month - 1];
}

bool PlainMatch(const Rule& rule, long day) {
  const int weekday = static_cast<int>((day + 4) % 7) + 1;  // 1 = Sunday
  switch (rule.type) {
    case 0:
      if (rule.value == 0) return (day - kFirstDay) % rule.interval == 0;
      return rule.value == 1 ? weekday >= 2 && weekday <= 6 : weekday == 1 || weekday == 7;
    case 1:
      return (rule.value >> weekday) & 1;
    case 2: {
      const Civil civil = CivilFromDays(day);
      if (rule.value > 0) return civil.day == rule.value;
      return civil.day == DaysInMonth(civil.year, civil.month) + 1 + rule.value;
    }
    case 3: {
      const Civil civil = CivilFromDays(day);
      return civil.month == 1 && civil.day == 1;
    }
  }
  return false;
}

void BM_PlainArithmetic(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  std::vector<Rule> rules;
  for (int i = 0; i < count; ++i) rules.push_back(RuleOf(i));
  long firings = 0;
  for (auto _ : state) {
    firings = 0;
    for (const Rule& rule : rules) {
      for (long day = kFirstDay; day < kFirstDay + kDays; ++day) firings += PlainMatch(rule, day);
    }
    benchmark::DoNotOptimize(firings);
  }
  state.counters["firings"] = static_cast<double>(firings);
  state.SetItemsProcessed(state.iterations() * count * kDays);
}
BENCHMARK(BM_PlainArithmetic)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// libical: each rule expanded from its start over the same three years.
void BM_Libical(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  std::vector<icalrecurrencetype> rules;
  for (int i = 0; i < count; ++i) rules.push_back(icalrecurrencetype_from_string(RuleOf(i).rrule));
  const icaltimetype start = icaltime_from_string("20260101");
  icaltimetype last = start;
  icaltime_adjust(&last, kDays - 1, 0, 0, 0);
  long firings = 0;
  for (auto _ : state) {
    firings = 0;
    for (const icalrecurrencetype& rule : rules) {
      icalrecur_iterator* iterator = icalrecur_iterator_new(rule, start);
      for (icaltimetype t = icalrecur_iterator_next(iterator);
           !icaltime_is_null_time(t) && icaltime_compare(t, last) <= 0;
           t = icalrecur_iterator_next(iterator)) {
        ++firings;
      }
      icalrecur_iterator_free(iterator);
    }
    benchmark::DoNotOptimize(firings);
  }
  state.counters["firings"] = static_cast<double>(firings);
  state.SetItemsProcessed(state.iterations() * count * kDays);
}
BENCHMARK(BM_Libical)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
