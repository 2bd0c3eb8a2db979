#include "core/base/CSingleLock.h"
#include "core/base/internal/LockedField.h"
#include "core/db/CNorvDBFun.h"
#include "core/db/internal/NorvSQLValue.h"
#include "style/CNorvRemindStyle.h"

// Fields are copied under their locks and the statement runs with none held.

namespace {

CString Escape(const CString& text) { return CNorvDBFun::FormatSQLValue(text); }

}  // namespace

bool CNorvRemindStyle::DBDelete(CSession& session, CGuid& id, CString* errorText) {
  return norvsql::RunFormat(session, errorText, L"DELETE NORV_REMIND_STYLE WHERE CN_G_ID = '%s'",
                            id.GetString1());
}

bool CNorvRemindStyle::DBInsert(CSession& session, short dbType, CString* errorText) {
  CString def = GetDefInfo();
  CString statement;
  {
    CSingleLock lock(&m_cs, true);
    CString created = norvsql::TimeValue(m_strCreateTime, dbType);
    statement.Format(
        L"INSERT INTO NORV_REMIND_STYLE ( CN_G_ID, CN_S_NAME, CN_S_DEF, CN_N_ORDER, CN_C_DEFAULT, "
        L"CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_T_CREATE, CN_S_MODIFIER_ID, CN_S_MODIFIER_NAME, "
        L"CN_T_MODIFY ) VALUES ( '%s', '%s', '%s', %d, 'N', '%s', '%s', %s, '%s', '%s', %s )",
        m_ID.GetString1(), Escape(m_strName), Escape(def), m_nOrder, Escape(m_strCreatorID),
        Escape(m_strCreatorName), created, Escape(m_strModifierID), Escape(m_strModifierName),
        created);
  }
  return norvsql::Run(session, statement, errorText);
}

bool CNorvRemindStyle::DBUpdate(CSession& session, short dbType, CString* errorText) {
  CString def = GetDefInfo();
  CString statement;
  {
    CSingleLock lock(&m_cs, true);
    statement.Format(
        L"UPDATE NORV_REMIND_STYLE SET CN_S_NAME = '%s', CN_S_DEF = '%s', CN_N_ORDER = %d, "
        L"CN_S_MODIFIER_ID = '%s', CN_S_MODIFIER_NAME = '%s', CN_T_MODIFY = %s "
        L"WHERE\tCN_G_ID = '%s'",
        Escape(m_strName), Escape(def), m_nOrder, Escape(m_strModifierID),
        Escape(m_strModifierName), norvsql::TimeValue(m_strModifyTime, dbType), m_ID.GetString1());
  }
  return norvsql::Run(session, statement, errorText);
}

bool CNorvRemindStyle::DBRename(CSession& session, CString newName, CString* errorText) {
  return norvsql::RunFormat(session, errorText,
                            L"UPDATE NORV_REMIND_STYLE SET CN_S_NAME = '%s' WHERE CN_G_ID = '%s'",
                            Escape(newName), CopyID().GetString1());
}

bool CNorvRemindStyle::DBSetOrder(CSession& session, int order, CString* errorText) {
  return norvsql::RunFormat(session, errorText,
                            L"UPDATE NORV_REMIND_STYLE SET CN_N_ORDER = %d WHERE CN_G_ID = '%s'",
                            order, CopyID().GetString1());
}

bool CNorvRemindStyle::DBSetDefault(CSession& session, bool isDefault, CString* errorText) {
  return norvsql::RunFormat(
      session, errorText, L"UPDATE NORV_REMIND_STYLE SET CN_C_DEFAULT = '%s' WHERE CN_G_ID = '%s'",
      isDefault ? L"Y" : L"N", CopyID().GetString1());
}

CGuid CNorvRemindStyle::CopyID() { return norvlock::CopyOf(m_cs, m_ID); }
