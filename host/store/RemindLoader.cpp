#include "host/store/RemindLoader.h"

#include <algorithm>
#include <limits>
#include <map>

#include "core/db/CNorvRecordSet.h"

namespace norvhost {

namespace {

using RemindIndex = std::map<CGuid, CNorvRemind*>;

constexpr const wchar_t* kActiveOnly = L" WHERE CN_N_STATE = 0";
constexpr const wchar_t* kOfActiveReminds =
    L" WHERE CN_G_REMIND_ID IN (SELECT CN_G_ID FROM NORV_REMIND_DEF WHERE CN_N_STATE = 0)";

short ToShort(const CString& text) { return static_cast<short>(text.ToInt()); }

// An unreadable text, an empty one included, gives an invalid date.
COleDateTime ReadDate(const CString& text) {
  COleDateTime date;
  date.ParseDateTime(text, VAR_DATEVALUEONLY);
  return date;
}

// Columns 1.. of the current row; column 0 stays empty.
void ReadRow(CNorvRecordSet& records, std::vector<CString>& columns) {
  for (size_t i = 1; i < columns.size(); ++i) records.GetValue(static_cast<int>(i), columns[i]);
}

// The fields the library's loader reads from a definition row.
void FillDefinition(CNorvRemind& remind, const std::vector<CString>& column) {
  remind.m_nState = ToShort(column[2]);
  remind.m_nType = ToShort(column[3]);
  remind.m_nSendFlag = ToShort(column[4]);
  remind.m_strFrom = column[5];
  if (remind.m_nType == CNorvRemind::kOneOff) {
    remind.m_dtRemind.ParseDateTime(column[6]);
  } else if (!column[7].IsEmpty()) {
    remind.m_dtInvalid.ParseDateTime(column[7], VAR_DATEVALUEONLY);
  }
  remind.m_strCreatorID = column[8];
  remind.m_strCreatorName = column[9];
  remind.m_strCreateTime = column[10];
  remind.m_strContent = column[11];
  remind.m_strContentType = column[12];
  if (remind.m_nType == CNorvRemind::kCustomStyle) remind.m_strRemindStyleDef = column[13];
}

void FillRepeat(CNorvRemindRepeat& repeat, const std::vector<CString>& column) {
  repeat.m_strRemindTime = column[2];
  repeat.m_dtStart = ReadDate(column[3]);
  if (!column[4].IsEmpty()) repeat.m_dtEnd = ReadDate(column[4]);
  repeat.m_nRegularType = ToShort(column[5]);
  repeat.m_nInterval = ToShort(column[6]);
  repeat.m_nRegularValue = ToShort(column[7]);
  repeat.m_nRegularRange = ToShort(column[8]);
  if (repeat.m_nRegularRange == 1) {
    repeat.m_nNum = column[9].ToInt();
    repeat.m_nCount = column[10].ToInt();
  }
}

// Oldest first, then by identifier text: the order of "ORDER BY CN_T_CREATE,
// CN_G_ID", sorted here because the database's date collation makes its
// sort several times dearer than reading the rows.
struct OrderKey {
  double created;
  CString id;
  size_t index;
};

double CreationKey(const CString& text) {
  COleDateTime time;
  return time.ParseDateTime(text) ? time.m_dt : std::numeric_limits<double>::infinity();
}

void InCreationOrder(std::vector<CNorvBasePtr<CNorvRemind>>& reminds,
                     std::vector<OrderKey>& order) {
  std::sort(order.begin(), order.end(), [](const OrderKey& a, const OrderKey& b) {
    return a.created != b.created ? a.created < b.created : a.id.str() < b.id.str();
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
  if (activeOnly) query += kActiveOnly;
  CNorvRecordSet records;
  if (!records.Open(database.session(), query, &errorText)) return false;
  std::vector<CString> column(14);
  std::vector<OrderKey> order;
  while (records.MoveNext() == 0) {
    ReadRow(records, column);
    CNorvBasePtr<CNorvRemind> remind(new CNorvRemind);
    if (!remind->m_ID.FromString1(column[1])) continue;
    FillDefinition(*remind, column);
    CString reason;
    if (CheckLoadable(*remind, remind->m_lstStyleItem, reason)) {
      reminds.push_back(remind);
      order.push_back({CreationKey(remind->m_strCreateTime), column[1], reminds.size() - 1});
    } else {
      unloadable.emplace_back(remind->m_ID, reason);
    }
  }
  records.Close();
  InCreationOrder(reminds, order);
  return true;
}

// Rows of `table` for the indexed reminds, each handed to `attach`.
template <typename Attach>
bool ReadAttached(HostDatabase& database, const CString& query, size_t columns,
                  const RemindIndex& index, CString& errorText, Attach attach) {
  CNorvRecordSet records;
  if (!records.Open(database.session(), query, &errorText)) return false;
  std::vector<CString> column(columns + 1);
  while (records.MoveNext() == 0) {
    ReadRow(records, column);
    CGuid id;
    if (!id.FromString1(column[1])) continue;
    const auto found = index.find(id);
    if (found != index.end()) attach(*found->second, column);
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
  for (auto& remind : reminds) index.emplace(remind->m_ID, remind);

  CString receivers =
      L"SELECT CN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_ID, CN_S_RECEIVE_NAME "
      L"FROM NORV_REMIND_RECEIVE";
  if (activeOnly) receivers += kOfActiveReminds;
  receivers += L" ORDER BY CN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_NAME";
  const auto addReceiver = [](CNorvRemind& remind, const std::vector<CString>& column) {
    CNorvBasePtr<CEmItem> receiver(new CEmItem);
    receiver->m_nReceiveType = ToShort(column[2]);
    receiver->m_strReceiveID = column[3];
    receiver->m_strReceiveName = column[4];
    remind.m_lstReceiver.push_back(receiver);
  };
  if (!ReadAttached(database, receivers, 4, index, errorText, addReceiver)) return false;

  CString repeats =
      L"SELECT CN_G_REMIND_ID, CN_S_REMIND_TIME, CN_D_START, CN_D_END, CN_N_REGULAR_TYPE, "
      L"CN_N_INTERVAL, CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, CN_N_REPEAT_NUM, "
      L"CN_N_REPEAT_COUNT FROM NORV_REMIND_REPEAT";
  if (activeOnly) repeats += kOfActiveReminds;
  const auto setRepeat = [](CNorvRemind& remind, const std::vector<CString>& column) {
    if (remind.m_nType == CNorvRemind::kPeriodic) FillRepeat(remind.m_Repeat, column);
  };
  return ReadAttached(database, repeats, 10, index, errorText, setRepeat);
}

}  // namespace norvhost
