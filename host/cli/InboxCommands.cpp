// inbox and read: a receiver's inbox rows, and marking one as read.
#include <cstdio>
#include <cwchar>
#include <cwctype>

#include "core/base/CGuid.h"
#include "core/base/CNorvCommFun.h"
#include "core/db/CNorvRecordSet.h"
#include "host/cli/HostCommands.h"
#include "host/cli/HostText.h"
#include "host/cli/TextTable.h"
#include "host/store/HostDatabase.h"
#include "message/CNorvRemindMsg.h"
#include "remind/internal/NorvCodes.h"

namespace norvhost {

namespace {

constexpr wchar_t kTimeFormat[] = L"%Y-%m-%d %H:%M:%S";

struct InboxRow {
  CString id;
  CString time;
  bool read = false;
  CString content;
};

// The receiver's rows (only the unread ones when `unreadOnly`) in time
// order; false with the database's reason.
bool ReadInbox(HostDatabase& database, const CString& receiver, bool unreadOnly,
               std::vector<InboxRow>& inbox, CString& reason) {
  CString query =
      L"SELECT CN_G_ID, CN_T_REMIND, CN_N_STATUS, CN_S_CONTENT FROM NORV_REMIND_MSG "
      L"WHERE CN_S_RECEIVER = " +
      HostDatabase::TextValue(receiver);
  if (unreadOnly) query.AppendFormat(L" AND CN_N_STATUS = %d", norvcode::kMsgNotRead);
  query += L" ORDER BY CN_T_REMIND, CN_G_ID";
  CNorvRecordSet rows;
  if (!rows.Open(database.session(), query, &reason)) return false;
  while (rows.MoveNext() == 0) {
    InboxRow row;
    CString status;
    rows.GetValue(1, row.id);
    rows.GetValue(2, row.time);
    rows.GetValue(3, status);
    rows.GetValue(4, row.content);
    COleDateTime time;
    if (time.ParseDateTime(row.time)) row.time = time.Format(kTimeFormat);
    row.read = std::wcstol(status, nullptr, 10) == norvcode::kMsgRead;
    inbox.push_back(row);
  }
  return true;
}

CString RowJson(const InboxRow& row) {
  return L"{ " + CNorvCommFun::GenJsonNodeStr(L"ID", L"{" + row.id + L"}") + L", " +
         CNorvCommFun::GenJsonNodeStr(L"Time", row.time) + L", \"Read\": " +
         (row.read ? L"true" : L"false") + L", " +
         CNorvCommFun::GenJsonNodeStr(L"Content", row.content) + L" }";
}

void PrintInbox(const std::vector<InboxRow>& inbox, const std::string& receiver) {
  if (inbox.empty()) {
    PrintLine("no inbox rows for " + receiver);
    return;
  }
  TextTable table;
  table.AddColumn(L"ID");
  table.AddColumn(L"TIME");
  table.AddColumn(L"READ");
  table.AddColumn(L"CONTENT", 60);
  for (const InboxRow& row : inbox) {
    table.AddRow({ShortID(row.id), row.time, row.read ? L"yes" : L"no", row.content});
  }
  std::fputs(table.Render().c_str(), stdout);
}

// The inbox row a user named by its identifier or a prefix of one: the
// identifier in the stored form, or empty with `reason` saying why.
CString FindInboxRow(HostDatabase& database, const std::string& text, bool& read, CString& reason) {
  CString prefix;
  const CString wide = Widen(text);
  for (wchar_t ch : wide.str()) {
    if (ch == L'{' || ch == L'}') continue;
    // Anything else would match nothing, or too much through LIKE.
    if (!std::iswxdigit(static_cast<wint_t>(ch)) && ch != L'-') {
      prefix.Empty();
      break;
    }
    prefix += static_cast<wchar_t>(std::towupper(static_cast<wint_t>(ch)));
  }
  CNorvRecordSet rows;
  if (!prefix.IsEmpty()) {
    const CString query = L"SELECT CN_G_ID, CN_N_STATUS FROM NORV_REMIND_MSG WHERE CN_G_ID LIKE " +
                          HostDatabase::TextValue(prefix + L"%") + L" ORDER BY CN_G_ID LIMIT 2";
    if (!rows.Open(database.session(), query, &reason)) {
      reason = L"cannot read the inbox rows: " + reason;
      return CString();
    }
  }
  CString ids[2];
  CString status;
  int found = 0;
  while (!prefix.IsEmpty() && found < 2 && rows.MoveNext() == 0) {
    rows.GetValue(1, ids[found]);
    if (found++ == 0) rows.GetValue(2, status);
  }
  if (found != 1) {
    reason = Widen(found == 0 ? "no inbox row with the identifier '" + text + "'"
                              : "'" + text + "' names more than one inbox row; give more of it");
    return CString();
  }
  read = std::wcstol(status, nullptr, 10) == norvcode::kMsgRead;
  return ids[0];
}

}  // namespace

int RunInbox(const Invocation& invocation) {
  const std::string receiver = invocation.args[0];
  HostDatabase database(ResolveDatabase(invocation));
  if (int code = OpenDatabase(database); code != kExitOk) return code;
  std::vector<InboxRow> inbox;
  CString reason;
  if (!ReadInbox(database, Widen(receiver), invocation.Has("unread"), inbox, reason)) {
    return Failure("cannot read the inbox of " + receiver, reason);
  }
  if (invocation.Has("json")) {
    PrintLine(JsonArray(inbox, RowJson));
  } else {
    PrintInbox(inbox, receiver);
  }
  return kExitOk;
}

int RunRead(const Invocation& invocation) {
  HostDatabase database(ResolveDatabase(invocation));
  if (int code = OpenDatabase(database); code != kExitOk) return code;
  bool read = false;
  CString reason;
  const CString id = FindInboxRow(database, invocation.args[0], read, reason);
  if (id.IsEmpty()) return Failure(reason);
  const std::string name = "inbox row " + Narrow(id);
  if (read) {
    PrintLine(name + " was already read");
    return kExitOk;
  }
  CGuid guid;
  guid.FromString1(id);
  if (!CNorvRemindMsg::DBSetReaded(database.session(), database.kind(), guid, &reason)) {
    return Failure("cannot mark " + name + " as read", reason);
  }
  PrintLine(name + " marked as read");
  return kExitOk;
}

}  // namespace norvhost
