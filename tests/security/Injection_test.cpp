// Hostile texts through every field that reaches a statement or an output: the database
// holds exactly the intended rows, texts as given; every rendering parses and gives them back.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "NorvBackendTest.h"
#include "core/base/CNorvXmlDocument.h"
#include "core/base/CStringArray.h"
#include "message/CNorvRemindAMMsg.h"
#include "remind/CNorvRemind.h"
#include "style/CNorvRemindStyle.h"

namespace {

using Table = std::vector<std::vector<CString>>;

const wchar_t* const kPayloads[] = {
    L"x'; DROP TABLE NORV_REMIND_MSG; --",
    L"x' OR 1=1 --",
    L"O'Brien",
    L"back\\slash \\' \" ; -- /* */",
    L"'); DROP TABLE NORV_REMIND_DEF; --",
};

const wchar_t kRemindID[] = L"0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F0";
const wchar_t kOtherRemindID[] = L"0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F1";

CGuid Guid(const wchar_t* text) {
  CGuid id;
  id.FromString1(text);
  return id;
}

// Every string member of a JSON value by its name, the last one winning.
void CollectStrings(const nlohmann::json& value, const std::string& name,
                    std::map<std::string, std::string>& members) {
  if (value.is_string()) members[name] = value.get<std::string>();
  for (const auto& [key, item] : value.items()) {
    if (value.is_structured()) CollectStrings(item, value.is_object() ? key : name, members);
  }
}

class InjectionTest : public norvtest::BackendTest {
 protected:
  void SetUp() override {
    BackendTest::SetUp();
    // Rows of another remind that no payload may reach.
    for (const wchar_t* id : {L"1", L"2", L"3"}) {
      Exec(CString(L"INSERT INTO NORV_REMIND_MSG ( CN_G_ID, CN_G_REMIND_ID, CN_S_RECEIVER, "
                   L"CN_N_STATUS ) VALUES ( '00000000-0000-0000-0000-00000000000") +
           id + L"', '" + kOtherRemindID + L"', 'x', 0 )");
    }
  }

  // `own` rows in all tables besides the other remind's, which are untouched.
  void ExpectRows(size_t own) {
    size_t rows = 0;
    for (const wchar_t* table : {L"NORV_REMIND_DEF", L"NORV_REMIND_RECEIVE", L"NORV_REMIND_MSG",
                                 L"NORV_REMIND_MSG_AM", L"NORV_REMIND_STYLE"}) {
      rows += Rows(CString(L"SELECT 1 FROM ") + table, 1).size();
    }
    EXPECT_EQ(rows, own + 3);
    EXPECT_EQ(Rows(CString(L"SELECT CN_N_STATUS FROM NORV_REMIND_MSG WHERE CN_G_REMIND_ID = '") +
                       kOtherRemindID + L"'",
                   1),
              (Table{{L"0"}, {L"0"}, {L"0"}}));
  }

  void Clear() {
    for (const wchar_t* table : {L"NORV_REMIND_DEF", L"NORV_REMIND_RECEIVE", L"NORV_REMIND_MSG_AM",
                                 L"NORV_REMIND_STYLE", L"NORV_REMIND_REPEAT"}) {
      Exec(CString(L"DELETE FROM ") + table);
    }
    Exec(CString(L"DELETE FROM NORV_REMIND_MSG WHERE CN_G_REMIND_ID = '") + kRemindID + L"'");
  }
};

// Each field: writes the payload through the library, then names the query
// that reads back what is stored (one row, every column the payload).
struct Field {
  const char* name;
  std::function<bool(CSession&, short, const CString&)> store;
  const wchar_t* readBack;
  size_t rows;  // in all tables, after the store
};

bool StoreRemind(CSession& session, short dbType, const CString& payload) {
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  remind->m_ID = Guid(kRemindID);
  remind->m_nType = CNorvRemind::kCustomStyle;
  remind->m_dtInvalid = COleDateTime(2026, 6, 30, 0, 0, 0);
  remind->m_strFrom = remind->m_strCreatorID = remind->m_strCreatorName = payload;
  remind->m_strContent = remind->m_strContentType = remind->m_strRemindStyleDef = payload;
  CNorvBasePtr<CEmItem> receiver = new CEmItem;
  receiver->m_strReceiveID = receiver->m_strReceiveName = payload;
  remind->m_lstReceiver = {receiver};
  return remind->DBInsert(session, dbType) && remind->DBInsertReceiver(session);
}

// Inbox rows of one remind for the payload and for "x": marking and deleting
// the payload's must leave every row of "x" alone.
bool ReadAndDeleteInbox(CSession& session, short dbType, const CString& payload) {
  CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
  remind->m_ID = Guid(kRemindID);
  remind->m_strContent = remind->m_strContentType = payload;
  CStringArray receivers, names;
  for (const CString& who : {payload, CString(L"x")}) {
    receivers.Add(who);
    names.Add(payload);
  }
  return remind->DBInsertMsg(session, dbType, receivers, names, COleDateTime(2026, 1, 2, 3, 4, 5),
                             nullptr) &&
         CNorvRemindMsg::DBSetReaded(session, dbType, Guid(kRemindID), payload) &&
         CNorvRemindMsg::DBDelete(session, Guid(kRemindID), payload);
}

bool StoreInstantMessage(CSession& session, short dbType, const CString& payload) {
  CNorvBasePtr<CNorvRemindAMMsg> msg = new CNorvRemindAMMsg;
  msg->m_ID.NewID();
  msg->m_strContentType = msg->m_strContent = msg->m_strReceiver = payload;
  msg->m_strReceiverName = payload;
  return msg->DBInsert(session, dbType, Guid(kRemindID)) &&
         msg->DBSetFail(session, dbType, payload) &&
         !CNorvRemindAMMsg::DBDelete2(session, payload) &&
         !CNorvRemindAMMsg::DBDelete2(session, L"'" + msg->m_ID.GetString1() + L"', " + payload);
}

bool StoreStyle(CSession& session, short dbType, const CString& payload) {
  CNorvBasePtr<CNorvRemindStyle> style = new CNorvRemindStyle;
  style->m_ID = Guid(kRemindID);
  style->m_strName = style->m_strDef = style->m_strCreatorID = style->m_strCreatorName = payload;
  style->m_strModifierID = style->m_strModifierName = L"first";
  if (!style->DBInsert(session, dbType)) return false;
  style->m_strModifierID = style->m_strModifierName = payload;
  return style->DBUpdate(session, dbType);
}

bool StoreRepeat(CSession& session, short dbType, const CString& payload) {
  CNorvRemindRepeat repeat;
  repeat.m_strRemindTime = payload;
  return repeat.DBInsert(session, dbType, Guid(kRemindID)) &&
         repeat.DBUpdate(session, dbType, Guid(kRemindID));
}

const Field kFields[] = {
    {"remind", StoreRemind,
     L"SELECT CN_S_FROM, CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_S_CONTENT, CN_S_CONTENT_TYPE, "
     L"CN_S_REMIND_STYLE_DEF, CN_S_RECEIVE_ID, CN_S_RECEIVE_NAME FROM NORV_REMIND_DEF, "
     L"NORV_REMIND_RECEIVE WHERE CN_G_REMIND_ID = CN_G_ID",
     2},
    {"inbox", ReadAndDeleteInbox,
     L"SELECT CN_S_RECEIVER_NAME, CN_S_CONTENT, CN_S_CONTENT_TYPE FROM NORV_REMIND_MSG "
     L"WHERE CN_S_RECEIVER = 'x' AND CN_N_STATUS = 0 AND CN_G_REMIND_ID = "
     L"'0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F0'",
     1},
    {"instant message", StoreInstantMessage,
     L"SELECT CN_S_CONTENT_TYPE, CN_S_CONTENT, CN_S_RECEIVER, CN_S_RECEIVER_NAME, CN_S_ERRINFO "
     L"FROM NORV_REMIND_MSG_AM",
     1},
    {"style", StoreStyle,
     L"SELECT CN_S_NAME, CN_S_DEF, CN_S_CREATOR_ID, CN_S_CREATOR_NAME, CN_S_MODIFIER_ID, "
     L"CN_S_MODIFIER_NAME FROM NORV_REMIND_STYLE",
     1},
    {"repeat", StoreRepeat, L"SELECT CN_S_REMIND_TIME FROM NORV_REMIND_REPEAT", 0},
};

TEST_P(InjectionTest, EveryTextIsStoredAsGivenAndReachesNoOtherRow) {
  for (const wchar_t* payload : kPayloads) {
    for (const Field& field : kFields) {
      SCOPED_TRACE(std::string(field.name) + " <- " + CString(payload).ToUtf8());
      ASSERT_TRUE(field.store(session, dbType(), payload));
      const CString query = field.readBack;
      const int columns = static_cast<int>(
          std::count(query.str().begin(), query.str().begin() + query.Find(L"FROM"), L',') + 1);
      const Table rows = Rows(query, columns);
      ASSERT_EQ(rows.size(), 1u);
      EXPECT_EQ(rows[0], std::vector<CString>(columns, payload));
      ExpectRows(field.rows);
      Clear();
    }
  }
}

NORV_INSTANTIATE_BACKEND_TEST(InjectionTest);

TEST(InjectionOutputTest, EveryRenderingParsesAndGivesTheTextBack) {
  for (const wchar_t* payload : kPayloads) {
    SCOPED_TRACE(CString(payload).ToUtf8());
    CNorvBasePtr<CNorvRemind> remind = new CNorvRemind;
    remind->m_ID = Guid(kRemindID);
    remind->m_strFrom = remind->m_strContent = remind->m_strContentType = payload;
    CNorvBasePtr<CEmItem> receiver = new CEmItem;
    receiver->m_strReceiveID = receiver->m_strReceiveName = payload;
    remind->m_lstReceiver = {receiver};
    CNorvBasePtr<CNorvRemindStyle> style = new CNorvRemindStyle;
    style->m_strName = style->m_strDef = style->m_strCreatorID = style->m_strCreatorName = payload;
    style->m_strModifierID = style->m_strModifierName = style->m_strCreateTime = payload;

    struct Rendering {
      CString text;
      std::vector<const wchar_t*> names;  // attributes (XML) or members (JSON)
    } xmls[] = {{remind->GenInfo_XML(), {L"From"}},
                {receiver->GenEmInfo_XML(), {L"ID", L"Name"}},
                {remind->GenListInfo_XML(), {L"From"}},
                {style->GenInfo_XML(),
                 {L"Creator", L"CreatorName", L"Modifier", L"ModifierName", L"CreaterTime"}}},
      jsons[] = {{remind->GenInfo_Json(), {L"From", L"Content", L"ContentType", L"ID", L"Name"}},
                 {remind->GenListInfo_Json(), {L"From"}},
                 {receiver->GenEmInfo_Json(), {L"ID", L"Name"}},
                 {style->GenInfo_Json(),
                  {L"Creator", L"CreatorName", L"Modifier", L"ModifierName", L"CreateTime", L"Name",
                   L"Def"}}};
    for (const Rendering& xml : xmls) {
      CNorvXmlDocument document;
      ASSERT_TRUE(document.Load(xml.text)) << xml.text.ToUtf8();
      for (const wchar_t* name : xml.names) {
        CString value;
        document.GetRootElement().GetAttribute(name, value);
        EXPECT_EQ(value, payload) << CString(name).ToUtf8();
      }
    }
    for (const Rendering& json : jsons) {
      const auto parsed = nlohmann::json::parse(json.text.ToUtf8(), nullptr, false);
      ASSERT_FALSE(parsed.is_discarded()) << json.text.ToUtf8();
      std::map<std::string, std::string> members;
      CollectStrings(parsed, "", members);
      for (const wchar_t* name : json.names) {
        EXPECT_EQ(members[CString(name).ToUtf8()], CString(payload).ToUtf8())
            << CString(name).ToUtf8();
      }
    }
  }
}

}  // namespace
