#include "core/db/CNorvRecordSet.h"

#include "core/db/internal/NorvDBBackend.h"

CNorvRecordSet::CNorvRecordSet() = default;
CNorvRecordSet::~CNorvRecordSet() = default;

bool CNorvRecordSet::Open(CSession& session, const CString& query, CString* errorText) {
  Close();
  session.LogStatement(query);
  CNorvDBBackend* backend = session.Backend();
  if (backend == nullptr) {
    if (errorText != nullptr) *errorText = L"The database session is not open";
    return false;
  }
  m_cursor = backend->Query(query, errorText);
  return m_cursor != nullptr;
}

int CNorvRecordSet::MoveNext() {
  m_onRow = m_cursor != nullptr && m_cursor->Next();
  return m_onRow ? 0 : 1;
}

bool CNorvRecordSet::GetValue(int column, CString& value) const {
  if (!m_onRow) {
    value.Empty();
    return false;
  }
  value = CString::FromUtf8(m_cursor->Text(column));
  return true;
}

std::string_view CNorvRecordSet::GetText(int column) const {
  return m_onRow ? m_cursor->Text(column) : std::string_view();
}

void CNorvRecordSet::Close() {
  m_cursor.reset();
  m_onRow = false;
}

bool CNorvRecordSet::IsOpened() const { return m_cursor != nullptr; }
