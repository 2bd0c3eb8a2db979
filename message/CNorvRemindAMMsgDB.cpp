#include <string>
#include <string_view>

#include "core/db/CNorvDBFun.h"
#include "core/db/internal/NorvSQLValue.h"
#include "message/CNorvRemindAMMsg.h"
#include "remind/internal/NorvCodes.h"

namespace {

CString Escape(const CString& text) { return CNorvDBFun::FormatSQLValue(text); }

// The list goes into the statement as it is, so only identifiers in quotes
// separated by commas may pass.
bool IsQuotedID(std::wstring_view item) {
  while (!item.empty() && item.front() == L' ') item.remove_prefix(1);
  while (!item.empty() && item.back() == L' ') item.remove_suffix(1);
  CGuid id;
  return item.size() > 2 && item.front() == L'\'' && item.back() == L'\'' &&
         id.FromString1(std::wstring(item.substr(1, item.size() - 2)).c_str());
}

bool IsQuotedIDList(const CString& idList) {
  std::wstring_view rest = idList.str();
  for (size_t comma = rest.find(L','); comma != std::wstring_view::npos; comma = rest.find(L',')) {
    if (!IsQuotedID(rest.substr(0, comma))) return false;
    rest.remove_prefix(comma + 1);
  }
  return IsQuotedID(rest);
}

}  // namespace

bool CNorvRemindAMMsg::DBInsert(CSession& session, short dbType, CGuid remindID,
                                CString* errorText) {
  return norvsql::RunFormat(
      session, errorText,
      L"INSERT INTO NORV_REMIND_MSG_AM ( CN_G_ID, CN_G_REMIND_ID, CN_T_REMIND, CN_S_CONTENT_TYPE, "
      L"CN_S_CONTENT, CN_S_RECEIVER, CN_S_RECEIVER_NAME, CN_N_STATUS ) "
      L"VALUES ( '%s', '%s', %s, '%s', '%s', '%s', '%s', %d )",
      m_ID.GetString1(), remindID.GetString1(), norvsql::TimeValue(GetRemindTime(), dbType),
      Escape(m_strContentType), Escape(m_strContent), Escape(m_strReceiver),
      Escape(m_strReceiverName), norvcode::kAMWaiting);
}

bool CNorvRemindAMMsg::DBSetSuccess(CSession& session, short dbType, CString* errorText) {
  return norvsql::RunFormat(
      session, errorText,
      L"UPDATE NORV_REMIND_MSG_AM SET CN_N_STATUS = %d, CN_T_SEND = %s WHERE CN_G_ID = '%s'",
      norvcode::kAMSent, norvsql::NowValue(dbType), m_ID.GetString1());
}

bool CNorvRemindAMMsg::DBSetFail(CSession& session, short dbType, CString errorInfo,
                                 CString* errorText) {
  return norvsql::RunFormat(
      session, errorText,
      L"UPDATE NORV_REMIND_MSG_AM SET CN_N_STATUS = %d, CN_T_SEND = %s, CN_S_ERRINFO = '%s' "
      L"WHERE CN_G_ID = '%s'",
      norvcode::kAMFailed, norvsql::NowValue(dbType), Escape(errorInfo), m_ID.GetString1());
}

bool CNorvRemindAMMsg::DBDelete(CSession& session, CGuid msgID, CString* errorText) {
  return norvsql::RunFormat(session, errorText, L"DELETE NORV_REMIND_MSG_AM WHERE CN_G_ID = '%s'",
                            msgID.GetString1());
}

bool CNorvRemindAMMsg::DBDelete2(CSession& session, CString idList, CString* errorText) {
  if (!IsQuotedIDList(idList)) {
    if (errorText != nullptr) *errorText = L"Not a list of quoted message identifiers: " + idList;
    return false;
  }
  return norvsql::RunFormat(session, errorText,
                            L"DELETE NORV_REMIND_MSG_AM WHERE CN_G_ID IN ( %s )", idList);
}

bool CNorvRemindAMMsg::DBDelete3(CSession& session, CGuid remindID, CString* errorText) {
  return norvsql::RunFormat(session, errorText,
                            L"DELETE NORV_REMIND_MSG_AM WHERE CN_G_REMIND_ID = '%s'",
                            remindID.GetString1());
}
