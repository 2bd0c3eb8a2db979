#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "core/base/COleDateTime.h"
#include "core/base/COleDateTimeSpan.h"
#include "core/db/CNorvDBFun.h"
#include "core/db/CNorvRecordSet.h"
#include "core/db/internal/NorvSQLValue.h"
#include "manager/CNorvRemindMgr.h"
#include "remind/internal/NorvCodes.h"
#include "remind/internal/RemindRows.h"
#include "style/CNorvRemindStyleItem.h"

namespace {

using norvrows::Column;
using norvrows::ShortColumn;

// Instant messages this old are no longer worth sending.
COleDateTime AMMsgCutOff() { return COleDateTime::GetCurrentTime() - COleDateTimeSpan(0, 1, 0, 0); }

COleDateTime DateTimeColumn(const CNorvRecordSet& rows, int column) {
  COleDateTime time;
  time.ParseDateTime(norvrows::TransientColumn(rows, column));
  return time;
}

CGuid GuidOf(const CString& text) {
  CGuid id;
  id.FromString1(text);
  return id;
}

CGuid GuidColumn(const CNorvRecordSet& rows, int column) {
  return GuidOf(norvrows::TransientColumn(rows, column));
}

// The reminds InitData has just registered, by identifier, for the steps
// that attach rows to them. Those rows come in identifier order (the
// messages' mostly so), and a lookup gallops on from where the last one
// ended: a step or two, where a walk down the registry's tree misses the
// cache on most of its levels once there are 100,000 reminds. A remind not
// held here is looked up in the registry. The registry's references keep the
// reminds held here: nothing removes one while InitData runs, and counting
// them here too would touch every remind again each time the vector grows.
class LoadedReminds {
 public:
  explicit LoadedReminds(CNorvRemindMgr& manager) : m_manager(manager) {}

  void Add(const CGuid& id, CNorvRemind* remind) {
    if (!m_byID.empty() && !(m_byID.back().first < id)) m_sorted = false;
    m_byID.emplace_back(id, remind);
  }

  CNorvBasePtr<CNorvRemind> Find(const CGuid& id) {
    if (!m_sorted) {
      std::sort(m_byID.begin(), m_byID.end(), IDLess());
      m_sorted = true;
    }
    const auto found = Seek(id);
    if (found != m_byID.end() && found->first == id)
      return CNorvBasePtr<CNorvRemind>(found->second);
    return m_manager.GetRemind(id);
  }

 private:
  using Entry = std::pair<CGuid, CNorvRemind*>;
  struct IDLess {
    bool operator()(const Entry& entry, const CGuid& id) const { return entry.first < id; }
    bool operator()(const Entry& left, const Entry& right) const {
      return left.first < right.first;
    }
  };

  // The first entry not below `id`; the search starts again from there.
  std::vector<Entry>::iterator Seek(const CGuid& id) {
    const auto begin = m_byID.begin();
    const size_t size = m_byID.size();
    size_t low = 0;
    size_t high = std::min(m_next, size);
    if (m_next < size && !(id < m_byID[m_next].first)) {
      size_t bound = 1;
      while (m_next + bound < size && m_byID[m_next + bound].first < id) bound *= 2;
      low = m_next + bound / 2;
      high = std::min(m_next + bound + 1, size);
    }
    const auto found = std::lower_bound(begin + low, begin + high, id, IDLess());
    m_next = static_cast<size_t>(found - begin);
    return found;
  }

  CNorvRemindMgr& m_manager;
  std::vector<Entry> m_byID;
  bool m_sorted = true;
  size_t m_next = 0;
};

// The receiver and repeat rows come grouped by remind: the last row's
// identifier is remembered, so each is parsed and looked up once.
class RememberedRemind {
 public:
  explicit RememberedRemind(LoadedReminds& reminds) : m_reminds(reminds) {}

  // The registered remind whose identifier is in the row's `column`, null
  // for an invalid identifier or one not registered; `id` gets the
  // identifier.
  CNorvBasePtr<CNorvRemind> Find(const CNorvRecordSet& rows, int column, CGuid& id) {
    const CString& text = norvrows::TransientColumn(rows, column);
    if (!m_known || text != m_text) {
      m_text = text;
      m_id = GuidOf(text);
      m_remind = m_reminds.Find(m_id);
      m_known = true;
    }
    id = m_id;
    return m_remind;
  }

 private:
  LoadedReminds& m_reminds;
  bool m_known = false;
  CString m_text;
  CGuid m_id;
  CNorvBasePtr<CNorvRemind> m_remind;
};

// Runs a query and hands each of its rows to `each`.
template <typename Each>
bool ForEachRow(CSession& session, const CString& query, CString* errorText, Each each) {
  CNorvRecordSet rows;
  if (!rows.Open(session, query, errorText)) return false;
  while (rows.MoveNext() == 0) each(rows);
  rows.Close();
  return true;
}

// Runs a query whose first column names a remind and hands every row of a
// registered remind to `fill`; rows of other reminds are skipped.
template <typename Fill>
bool FillRegisteredReminds(LoadedReminds& reminds, CSession& session, const CString& query,
                           CString* errorText, Fill fill) {
  RememberedRemind remembered(reminds);
  return ForEachRow(session, query, errorText, [&](const CNorvRecordSet& rows) {
    CGuid remindID;
    CNorvBasePtr<CNorvRemind> remind = remembered.Find(rows, 1, remindID);
    if (remind) fill(rows, *remind);
  });
}

// The columns DBLoadRemind selects, in its order.
constexpr norvrows::RemindDefColumns kBulkColumns{.id = 1,
                                                  .type = 2,
                                                  .sendFlag = 9,
                                                  .from = 3,
                                                  .remindTime = 7,
                                                  .invalidDate = 8,
                                                  .creatorID = 4,
                                                  .creatorName = 5,
                                                  .createTime = 6,
                                                  .content = 10,
                                                  .contentType = 11,
                                                  .styleDef = 12};

// The loaders behind InitData's steps; `loaded` carries the reminds the
// first registers to the others.

bool LoadReminds(CNorvRemindMgr& manager, CSession& session, LoadedReminds& loaded,
                 CString* errorText) {
  const CString query = norvsql::Formatted(
      L"SELECT\tCN_G_ID, CN_N_TYPE, CN_S_FROM, CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, "
      L"CN_T_REMIND, CN_D_INVALID, CN_N_SEND_FLAG, CN_S_CONTENT, CN_S_CONTENT_TYPE, "
      L"CN_S_REMIND_STYLE_DEF FROM\tNORV_REMIND_DEF WHERE\tCN_N_STATE = %d ORDER BY CN_G_ID",
      norvcode::kRemindActive);
  return ForEachRow(session, query, errorText, [&](const CNorvRecordSet& rows) {
    CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
    norvrows::ReadRemindDef(rows, kBulkColumns, *remind);
    CString unfit;
    if (norvrows::CanFire(*remind, norvrows::DeadlineRule::kAllButOneOffAndPeriodic, unfit) &&
        manager.AddRemind(remind)) {
      loaded.Add(remind->m_ID, remind);
    }
  });
}

bool LoadReceivers(LoadedReminds& loaded, CSession& session, CString* errorText) {
  const CString query = norvsql::Formatted(
      L"SELECT\tCN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_ID, CN_S_RECEIVE_NAME "
      L"FROM\tNORV_REMIND_RECEIVE WHERE\tCN_G_REMIND_ID IN (Select CN_G_ID From NORV_REMIND_DEF "
      L"Where CN_N_STATE = %d) ORDER BY CN_G_REMIND_ID, CN_N_RECEIVE_TYPE, CN_S_RECEIVE_NAME",
      norvcode::kRemindActive);
  return FillRegisteredReminds(loaded, session, query, errorText,
                               [](const CNorvRecordSet& rows, CNorvRemind& remind) {
                                 remind.m_lstReceiver.push_back(norvrows::ReadReceiver(rows, 2));
                               });
}

bool LoadRepeats(LoadedReminds& loaded, CSession& session, CString* errorText) {
  const CString query = norvsql::Formatted(
      L"SELECT\tCN_G_REMIND_ID, CN_S_REMIND_TIME, CN_D_START, CN_D_END, CN_N_REGULAR_TYPE, "
      L"CN_N_INTERVAL, CN_N_REGULAR_VALUE, CN_N_REPEAT_RANGE, CN_N_REPEAT_NUM, CN_N_REPEAT_COUNT "
      L"FROM\tNORV_REMIND_REPEAT WHERE\tCN_G_REMIND_ID IN (Select CN_G_ID From NORV_REMIND_DEF "
      L"Where CN_N_TYPE = %d And CN_N_STATE = %d) ORDER BY CN_G_REMIND_ID",
      norvcode::kPeriodic, norvcode::kRemindActive);
  return FillRegisteredReminds(loaded, session, query, errorText,
                               [](const CNorvRecordSet& rows, CNorvRemind& remind) {
                                 norvrows::ReadRepeat(rows, 2, remind.m_Repeat);
                               });
}

bool LoadMessages(CNorvRemindMgr& manager, LoadedReminds& loaded, CSession& session,
                  CString* errorText) {
  const CString query = norvsql::Formatted(
      L"SELECT\tCN_G_REMIND_ID, CN_G_ID, CN_T_REMIND, CN_S_CONTENT, CN_S_CONTENT_TYPE, "
      L"CN_S_RECEIVER, CN_S_RECEIVER_NAME FROM\tNORV_REMIND_MSG_AM WHERE\tCN_N_STATUS = %d ORDER "
      L"BY CN_T_REMIND",
      norvcode::kAMWaiting);
  RememberedRemind remembered(loaded);
  return ForEachRow(session, query, errorText, [&](const CNorvRecordSet& rows) {
    CGuid remindID;
    CNorvBasePtr<CNorvRemind> remind = remembered.Find(rows, 1, remindID);
    CNorvBasePtr<CNorvRemindAMMsg> message = new CNorvRemindAMMsg;
    message->m_RemindID = remindID;
    message->m_ID = GuidColumn(rows, 2);
    message->m_dtRemind = DateTimeColumn(rows, 3);
    message->m_strContent = Column(rows, 4);
    message->m_strContentType = Column(rows, 5);
    message->m_strReceiver = Column(rows, 6);
    message->m_strReceiverName = Column(rows, 7);
    manager.AddRemindAMMsg(message, false);
    if (remind) remind->AddAMMsg(message);
  });
}

}  // namespace

bool CNorvRemindMgr::InitData(CSession& session, short dbType, CString& errorText) {
  // In this order: the expiry runs before the reminds are read, so a remind
  // that has just run out is not loaded.
  LoadedReminds loaded(*this);
  const std::pair<const wchar_t*, std::function<bool(CString*)>> steps[] = {
      {L"装载提醒样式定义信息失败，原因：%s",
       [&](CString* error) { return DBLoadRemindStyle(session, error); }},
      {L"设置失效或是过期提醒失效时失败，原因：%s",
       [&](CString* error) { return DBSetRemindInvalid(session, dbType, error); }},
      {L"删除今天之前的过期提醒未提醒的AM消息时失败，原因：%s",
       [&](CString* error) { return DBDeleteRemindAMMsgInvalid(session, dbType, error); }},
      {L"装载提醒列表失败，原因：%s",
       [&](CString* error) { return LoadReminds(*this, session, loaded, error); }},
      {L"装载提醒的接收者信息失败，原因：%s",
       [&](CString* error) { return LoadReceivers(loaded, session, error); }},
      {L"装载周期提醒的重复定义信息失败，原因：%s",
       [&](CString* error) { return LoadRepeats(loaded, session, error); }},
      {L"装载提醒消息(AM)列表失败，原因：%s",
       [&](CString* error) { return LoadMessages(*this, loaded, session, error); }},
  };
  for (const auto& [failure, run] : steps) {
    CString error;
    if (!run(&error)) {
      errorText.Format(failure, error);
      return false;
    }
  }
  return true;
}

bool CNorvRemindMgr::DBSetRemindInvalid(CSession& session, short dbType, CString* errorText) {
  const COleDateTime now = COleDateTime::GetCurrentTime();
  const CString today = norvsql::DateValue(now, dbType, L"%Y-%m-%d");
  return norvsql::RunFormat(
      session, errorText,
      L"UPDATE\tNORV_REMIND_DEF SET CN_N_STATE = %d WHERE\t( (CN_T_REMIND <= %s AND CN_N_TYPE = "
      L"%d) OR (CN_D_INVALID <= %s AND CN_N_TYPE = %d) OR (CN_D_INVALID < %s AND CN_N_TYPE = %d) "
      L") AND\tCN_N_STATE = %d",
      norvcode::kRemindExpired, norvsql::TimeValue(now, dbType), norvcode::kOneOff, today,
      norvcode::kPeriodic, today, norvcode::kCustomStyle, norvcode::kRemindActive);
}

bool CNorvRemindMgr::DBSetRemindAMMsgInvalid(CSession& session, short dbType, CString* errorText) {
  return norvsql::RunFormat(
      session, errorText,
      L"UPDATE\tNORV_REMIND_MSG_AM SET CN_N_STATUS = %d WHERE\tCN_T_REMIND <= %s AND\tCN_N_STATUS "
      L"= %d",
      norvcode::kAMExpired, norvsql::TimeValue(AMMsgCutOff(), dbType), norvcode::kAMWaiting);
}

bool CNorvRemindMgr::DBDeleteRemindAMMsgInvalid(CSession& session, short dbType,
                                                CString* errorText) {
  return norvsql::RunFormat(session, errorText,
                            L"DELETE NORV_REMIND_MSG_AM WHERE CN_T_REMIND <= %s",
                            norvsql::TimeValue(AMMsgCutOff(), dbType));
}

bool CNorvRemindMgr::DBLoadRemindStyle(CSession& session, CString* errorText) {
  CNorvRecordSet rows;
  if (!rows.Open(session,
                 L"SELECT\tCN_G_ID, CN_S_NAME, CN_S_DEF, CN_N_ORDER, UPPER( CN_C_DEFAULT ), "
                 L"CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, CN_S_MODIFIER_ID, "
                 L"CN_S_MODIFIER_NAME, CN_T_MODIFY FROM\tNORV_REMIND_STYLE ORDER BY CN_N_ORDER, "
                 L"CN_S_NAME",
                 errorText)) {
    return false;
  }
  while (rows.MoveNext() == 0) {
    CNorvBasePtr<CNorvRemindStyle> style = new CNorvRemindStyle;
    style->m_ID.FromString1(Column(rows, 1));
    style->m_strName = Column(rows, 2);
    style->m_strDef = Column(rows, 3);
    CString error;
    if (!CNorvRemindStyleItem::ParseListXML(style->m_strDef, style->m_lstStyleItem, error)) {
      continue;
    }
    style->m_nOrder = ShortColumn(rows, 4);
    if (Column(rows, 5) == L"Y") style->m_bDefault = true;
    style->m_strCreatorID = Column(rows, 6);
    style->m_strCreatorName = Column(rows, 7);
    style->m_strCreateTime = Column(rows, 8);
    style->m_strModifierID = Column(rows, 9);
    style->m_strModifierName = Column(rows, 10);
    style->m_strModifyTime = Column(rows, 11);
    if (AddRemindStyle(style, false) && style->m_bDefault) SetDefRemindStyle(style);
  }
  rows.Close();
  return true;
}

bool CNorvRemindMgr::DBLoadRemind(CSession& session, CString* errorText) {
  LoadedReminds loaded(*this);
  return LoadReminds(*this, session, loaded, errorText);
}

// Called alone, these steps know of no loaded reminds and look each remind
// up in the registry.
bool CNorvRemindMgr::DBLoadRemindReceiver(CSession& session, CString* errorText) {
  LoadedReminds registered(*this);
  return LoadReceivers(registered, session, errorText);
}

bool CNorvRemindMgr::DBLoadRemindRepeat(CSession& session, CString* errorText) {
  LoadedReminds registered(*this);
  return LoadRepeats(registered, session, errorText);
}

bool CNorvRemindMgr::DBLoadMsg_AM(CSession& session, CString* errorText) {
  LoadedReminds registered(*this);
  return LoadMessages(*this, registered, session, errorText);
}
