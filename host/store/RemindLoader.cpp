#include "host/store/RemindLoader.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "core/db/CNorvRecordSet.h"
#include "core/db/internal/NorvSQLValue.h"
#include "remind/internal/NorvCodes.h"

namespace norvhost {

namespace {

// Reminds by identifier, sorted for a binary search: no allocation per
// remind, and a search stays within a few cache lines.
using RemindIndex = std::vector<std::pair<CGuid, CNorvRemind*>>;

// The condition that keeps only active reminds, on the table `alias`
// names (a trailing dot, or nothing).
CString ActiveOnly(const wchar_t* alias) {
  return norvsql::Formatted(L" WHERE %sCN_N_STATE = %d", alias, norvcode::kRemindActive);
}

// A number column read as the library reads it: a stored integer as it
// is, without SQLite writing it out as text to be parsed back.
short ShortColumn(const CNorvRecordSet& row, int column) {
  return static_cast<short>(row.GetIntValue(column));
}

CString Wide(const CNorvRecordSet& row, int column) {
  return CString::FromUtf8(row.GetText(column));
}

// The same in a buffer the thread reuses, for a text that is only parsed:
// valid until the thread's next call.
const CString& Parsed(const CNorvRecordSet& row, int column) {
  thread_local CString text;
  row.GetValue(column, text);
  return text;
}

// An identifier column, without a wide copy on the heap: identifiers are
// ASCII, so any other byte fails the parse as it would have.
bool ReadID(const CNorvRecordSet& row, int column, CGuid& id) {
  const std::string_view text = row.GetText(column);
  wchar_t wide[48] = {};
  if (text.size() >= std::size(wide)) return false;
  std::copy(text.begin(), text.end(), wide);
  return id.FromString1(wide);
}

// An unreadable text, an empty one included, gives an invalid date.
COleDateTime ReadDate(const CNorvRecordSet& row, int column) {
  COleDateTime date;
  date.ParseDateTime(Parsed(row, column), VAR_DATEVALUEONLY);
  return date;
}

// The fields the library's loader reads from a definition row.
void FillDefinition(CNorvRemind& remind, const CNorvRecordSet& row) {
  remind.m_nState = ShortColumn(row, 2);
  remind.m_nType = ShortColumn(row, 3);
  remind.m_nSendFlag = ShortColumn(row, 4);
  remind.m_strFrom = Wide(row, 5);
  if (remind.m_nType == CNorvRemind::kOneOff) {
    remind.m_dtRemind.ParseDateTime(Parsed(row, 6));
  } else if (!row.GetText(7).empty()) {
    remind.m_dtInvalid.ParseDateTime(Parsed(row, 7), VAR_DATEVALUEONLY);
  }
  remind.m_strCreatorID = Wide(row, 8);
  remind.m_strCreatorName = Wide(row, 9);
  remind.m_strCreateTime = Wide(row, 10);
  remind.m_strContent = Wide(row, 11);
  remind.m_strContentType = Wide(row, 12);
  if (remind.m_nType == CNorvRemind::kCustomStyle) remind.m_strRemindStyleDef = Wide(row, 13);
}

// The repeat columns from the remind time, at `first`, on.
void FillRepeat(CNorvRemindRepeat& repeat, const CNorvRecordSet& row, int first) {
  // Into the rule's own buffer: the rule cursor refills one rule per row.
  row.GetValue(first, repeat.m_strRemindTime);
  repeat.m_dtStart = ReadDate(row, first + 1);
  if (!row.GetText(first + 2).empty()) repeat.m_dtEnd = ReadDate(row, first + 2);
  repeat.m_nRegularType = ShortColumn(row, first + 3);
  repeat.m_nInterval = ShortColumn(row, first + 4);
  repeat.m_nRegularValue = ShortColumn(row, first + 5);
  repeat.m_nRegularRange = ShortColumn(row, first + 6);
  if (repeat.m_nRegularRange == 1) {
    repeat.m_nNum = row.GetIntValue(first + 7);
    repeat.m_nCount = row.GetIntValue(first + 8);
  }
}

constexpr const wchar_t* kRepeatColumns =
    L"CN_S_REMIND_TIME, CN_D_START, CN_D_END, CN_N_REGULAR_TYPE, CN_N_INTERVAL, "
    L"CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, CN_N_REPEAT_NUM, CN_N_REPEAT_COUNT";

// Oldest first, then by identifier text: the order of "ORDER BY CN_T_CREATE,
// CN_G_ID", sorted here because the database's date collation makes its
// sort several times dearer than reading the rows.
struct OrderKey {
  double created;
  // The identifier's text in the loader's `ids`.
  size_t idAt;
  size_t idLength;
  size_t index;
};

double CreationKey(const CString& text) {
  COleDateTime time;
  return time.ParseDateTime(text) ? time.m_dt : std::numeric_limits<double>::infinity();
}

void InCreationOrder(std::vector<CNorvBasePtr<CNorvRemind>>& reminds, const std::string& ids,
                     std::vector<OrderKey>& order) {
  const auto id = [&ids](const OrderKey& key) {
    return std::string_view(ids).substr(key.idAt, key.idLength);
  };
  std::sort(order.begin(), order.end(), [&id](const OrderKey& a, const OrderKey& b) {
    return a.created != b.created ? a.created < b.created : id(a) < id(b);
  });
  std::vector<CNorvBasePtr<CNorvRemind>> sorted;
  sorted.reserve(reminds.size());
  for (const OrderKey& key : order) sorted.push_back(reminds[key.index]);
  reminds.swap(sorted);
}

bool ReadDefinitions(HostDatabase& database, bool activeOnly,
                     std::vector<CNorvBasePtr<CNorvRemind>>& reminds,
                     std::vector<UnloadableRemind>& unloadable, CString& errorText) {
  CString query =
      L"SELECT CN_G_ID, CN_N_STATE, CN_N_TYPE, CN_N_SEND_FLAG, CN_S_FROM, CN_T_REMIND, "
      L"CN_D_INVALID, CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, CN_S_CONTENT, "
      L"CN_S_CONTENT_TYPE, CN_S_REMIND_STYLE_DEF FROM NORV_REMIND_DEF";
  if (activeOnly) query += ActiveOnly(L"");
  CNorvRecordSet records;
  if (!records.Open(database.session(), query, &errorText)) return false;
  // The identifiers' texts one after another.
  std::string ids;
  std::vector<OrderKey> order;
  while (records.MoveNext() == 0) {
    CNorvBasePtr<CNorvRemind> remind(new CNorvRemind);
    if (!ReadID(records, 1, remind->m_ID)) continue;
    FillDefinition(*remind, records);
    CString reason;
    if (CheckLoadable(*remind, remind->m_lstStyleItem, reason)) {
      reminds.push_back(remind);
      const std::string_view id = records.GetText(1);
      order.push_back(
          {CreationKey(remind->m_strCreateTime), ids.size(), id.size(), reminds.size() - 1});
      ids.append(id);
    } else {
      unloadable.emplace_back(remind->m_ID, reason);
    }
  }
  records.Close();
  InCreationOrder(reminds, ids, order);
  return true;
}

// The first remind with the identifier, in the reminds' order, or null.
CNorvRemind* Find(const RemindIndex& index, const CGuid& id) {
  const auto found =
      std::lower_bound(index.begin(), index.end(), id,
                       [](const auto& entry, const CGuid& key) { return entry.first < key; });
  return found != index.end() && found->first == id ? found->second : nullptr;
}

// Each row of `query` that names an indexed remind in its first column,
// handed to `attach` with the remind.
template <typename Attach>
bool ReadAttached(HostDatabase& database, const CString& query, const RemindIndex& index,
                  CString& errorText, Attach attach) {
  CNorvRecordSet records;
  if (!records.Open(database.session(), query, &errorText)) return false;
  while (records.MoveNext() == 0) {
    CGuid id;
    CNorvRemind* remind = ReadID(records, 1, id) ? Find(index, id) : nullptr;
    if (remind != nullptr) attach(*remind, records);
  }
  return true;
}

// The receivers of every remind. SQLite's collation is the order of code
// points: its rows, read in table order, are sorted by the caller rather
// than through the index, whose walk costs a table lookup per row
// (`sortHere`). A server sorts in its own collation.
CString ReceiverQuery(bool sortHere) {
  CString query =
      L"SELECT CN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_ID, CN_S_RECEIVE_NAME "
      L"FROM NORV_REMIND_RECEIVE";
  if (!sortHere) query += L" ORDER BY CN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_NAME";
  return query;
}

bool ReadReceivers(HostDatabase& database, const RemindIndex& index, CString& errorText) {
  const bool sortHere = database.settings().isSqlite;
  const CString query = ReceiverQuery(sortHere);
  const auto addReceiver = [](CNorvRemind& remind, const CNorvRecordSet& row) {
    CNorvBasePtr<CEmItem> receiver(new CEmItem);
    receiver->m_nReceiveType = ShortColumn(row, 2);
    receiver->m_strReceiveID = Wide(row, 3);
    receiver->m_strReceiveName = Wide(row, 4);
    remind.m_lstReceiver.push_back(receiver);
  };
  if (!ReadAttached(database, query, index, errorText, addReceiver)) return false;
  if (sortHere) {
    for (const auto& [id, remind] : index) {
      // Stable, as the index keeps equal keys in table order.
      remind->m_lstReceiver.sort([](const auto& a, const auto& b) {
        return std::tie(a->m_nReceiveType, a->m_strReceiveName.str()) <
               std::tie(b->m_nReceiveType, b->m_strReceiveName.str());
      });
    }
  }
  return true;
}

}  // namespace

bool CheckLoadable(CNorvRemind& remind, std::list<CNorvBasePtr<CNorvRemindStyleItem>>& items,
                   CString& errorText) {
  if (remind.m_nType == CNorvRemind::kOneOff &&
      remind.m_dtRemind.GetStatus() != COleDateTime::valid) {
    errorText = L"常规提醒未指定提醒时间";
    return false;
  }
  if (remind.m_nType != CNorvRemind::kCustomStyle) return true;
  if (remind.m_dtInvalid.GetStatus() != COleDateTime::valid) {
    errorText = L"自定义样式提醒未指定截止日期";
    return false;
  }
  if (remind.m_strRemindStyleDef.IsEmpty()) {
    errorText = L"提醒自定义样式内容为空";
    return false;
  }
  CString reason;
  if (!CNorvRemindStyleItem::ParseListXML(remind.m_strRemindStyleDef, items, reason)) {
    errorText.Format(L"解析提醒自定义样式信息时失败，原因：%s", reason);
    return false;
  }
  return true;
}

bool ReadReminds(HostDatabase& database, bool activeOnly,
                 std::vector<CNorvBasePtr<CNorvRemind>>& reminds,
                 std::vector<UnloadableRemind>& unloadable, CString& errorText) {
  if (!ReadDefinitions(database, activeOnly, reminds, unloadable, errorText)) return false;
  RemindIndex index;
  index.reserve(reminds.size());
  for (auto& remind : reminds) index.emplace_back(remind->m_ID, remind);
  std::stable_sort(index.begin(), index.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  // Rows of inactive reminds are read and dropped: cheaper than asking the
  // database to leave them out.
  if (!ReadReceivers(database, index, errorText)) return false;
  const CString repeats =
      CString(L"SELECT CN_G_REMIND_ID, ") + kRepeatColumns + L" FROM NORV_REMIND_REPEAT";
  const auto setRepeat = [](CNorvRemind& remind, const CNorvRecordSet& row) {
    if (remind.m_nType == CNorvRemind::kPeriodic) FillRepeat(remind.m_Repeat, row, 2);
  };
  return ReadAttached(database, repeats, index, errorText, setRepeat);
}

bool RemindRuleCursor::Open(HostDatabase& database, bool activeOnly, CString& errorText) {
  // One query for both tables: a remind has at most one rule.
  CString query = CString(
                      L"SELECT d.CN_G_ID, d.CN_N_TYPE, d.CN_T_REMIND, d.CN_D_INVALID, "
                      L"d.CN_S_REMIND_STYLE_DEF, d.CN_T_CREATE, d.CN_S_CONTENT, "
                      L"r.CN_G_REMIND_ID, ") +
                  kRepeatColumns +
                  L" FROM NORV_REMIND_DEF d LEFT JOIN NORV_REMIND_REPEAT r "
                  L"ON r.CN_G_REMIND_ID = d.CN_G_ID";
  if (activeOnly) query += ActiveOnly(L"d.");
  return m_records.Open(database.session(), query, &errorText);
}

bool RemindRuleCursor::Next(std::vector<UnloadableRemind>& unloadable) {
  while (m_records.MoveNext() == 0) {
    if (!ReadID(m_records, 1, m_remind.m_ID)) continue;
    Fill();
    CString reason;
    if (CheckLoadable(m_remind, m_remind.m_lstStyleItem, reason)) return true;
    unloadable.emplace_back(m_remind.m_ID, reason);
  }
  return false;
}

// Every field a firing decision reads is set again, as a new remind's.
void RemindRuleCursor::Fill() {
  CNorvRemind& remind = m_remind;
  remind.m_nType = ShortColumn(m_records, 2);
  remind.m_dtRemind = COleDateTime();
  remind.m_dtInvalid = COleDateTime();
  remind.m_strRemindStyleDef.Empty();
  remind.m_lstStyleItem.clear();
  if (remind.m_nType == CNorvRemind::kOneOff) {
    remind.m_dtRemind.ParseDateTime(Parsed(m_records, 3));
  } else if (!m_records.GetText(4).empty()) {
    remind.m_dtInvalid.ParseDateTime(Parsed(m_records, 4), VAR_DATEVALUEONLY);
  }
  if (remind.m_nType == CNorvRemind::kCustomStyle) remind.m_strRemindStyleDef = Wide(m_records, 5);
  remind.m_Repeat.SetInfo(&m_noRule);
  if (remind.m_nType == CNorvRemind::kPeriodic && !m_records.GetText(8).empty()) {
    FillRepeat(remind.m_Repeat, m_records, 9);
  }
}

double RemindRuleCursor::CreationKey() const { return norvhost::CreationKey(Parsed(m_records, 6)); }

bool ReadReceiverRows(HostDatabase& database, const std::vector<std::string_view>& ids,
                      std::vector<ReceiverRow>& rows, CString& errorText) {
  // The owner of an identifier, ids.size() for none; sorted on first use.
  std::vector<std::pair<std::string_view, size_t>> owners;
  const auto search = [&ids, &owners](std::string_view id) {
    if (owners.empty()) {
      owners.reserve(ids.size());
      for (size_t i = 0; i < ids.size(); ++i) owners.emplace_back(ids[i], i);
      std::sort(owners.begin(), owners.end());
    }
    const auto found =
        std::lower_bound(owners.begin(), owners.end(), std::make_pair(id, size_t{0}));
    return found != owners.end() && found->first == id ? found->second : ids.size();
  };
  const bool sortHere = database.settings().isSqlite;
  const CString query = ReceiverQuery(sortHere);
  CNorvRecordSet records;
  if (!records.Open(database.session(), query, &errorText)) return false;
  // A remind's receivers are stored with it, so a row's owner is mostly the
  // last row's or the one after it: tried before the search, which at
  // 100,000 reminds misses the cache on most of its steps.
  size_t last = 0;
  bool grouped = true;
  while (records.MoveNext() == 0) {
    const std::string_view id = records.GetText(1);
    size_t owner = last;
    if (owner >= ids.size() || ids[owner] != id) {
      owner = owner + 1 < ids.size() && ids[owner + 1] == id ? owner + 1 : search(id);
      if (owner == ids.size()) continue;
    }
    grouped = grouped && (rows.empty() || rows.back().owner <= owner);
    last = owner;
    rows.push_back({owner, ShortColumn(records, 2), std::string(records.GetText(3)),
                    std::string(records.GetText(4))});
  }
  std::vector<size_t> starts(ids.size() + 1, 0);
  for (const ReceiverRow& row : rows) ++starts[row.owner + 1];
  for (size_t i = 1; i < starts.size(); ++i) starts[i] += starts[i - 1];
  if (!grouped) {
    // Grouped by owner in one pass, keeping row order within each.
    std::vector<ReceiverRow> byOwner(rows.size());
    std::vector<size_t> next(starts.begin(), starts.end() - 1);
    for (ReceiverRow& row : rows) byOwner[next[row.owner]++] = std::move(row);
    rows.swap(byOwner);
  }
  if (!sortHere) return true;
  // UTF-8 sorts in code point order, as the wide names do. Most reminds'
  // receivers are stored in order: checking costs no buffer, sorting does.
  const auto byTypeAndName = [](const ReceiverRow& a, const ReceiverRow& b) {
    return std::tie(a.type, a.name) < std::tie(b.type, b.name);
  };
  for (size_t owner = 0; owner < ids.size(); ++owner) {
    const auto first = rows.begin() + starts[owner];
    const auto last = rows.begin() + starts[owner + 1];
    if (!std::is_sorted(first, last, byTypeAndName)) std::stable_sort(first, last, byTypeAndName);
  }
  return true;
}

}  // namespace norvhost
