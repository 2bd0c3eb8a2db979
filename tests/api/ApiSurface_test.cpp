// The exported surface as a host sees it through the umbrella header. The host
// program and the other tests call every member; what is left to check here
// is what a wrong declaration would still let them compile: field and result
// types, static against member, parameter types, and field order.
#include <NorvRemindCore.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <list>
#include <map>
#include <tuple>
#include <type_traits>

namespace {

template <class T>
T& of();
template <class T>
using Ptr = CNorvBasePtr<T>;
template <class T>
using PtrList = std::list<CNorvBasePtr<T>>;

// The member's parameters and result, whatever its constness.
template <class F>
struct SigOf;
template <class R, class C, class... A>
struct SigOf<R (C::*)(A...)> {
  using type = R(A...);
};
template <class R, class C, class... A>
struct SigOf<R (C::*)(A...) const> {
  using type = R(A...);
};

#define MEMBER(C, f, ...) \
  static_assert(std::is_same_v<typename SigOf<decltype(&C::f)>::type, __VA_ARGS__>, #C "::" #f)
#define STATIC(C, f, ...) \
  static_assert(std::is_same_v<decltype(&C::f), std::add_pointer_t<__VA_ARGS__>>, #C "::" #f)
// The declared types of fields, in one tuple each.
#define TYPES(...) std::tuple<__VA_ARGS__>
#define FIELDS(C, names, ...) \
  static_assert(std::is_same_v<names, TYPES(__VA_ARGS__)>, "fields of " #C)
#define F(C, m) decltype(C::m)

// The arrow must not reach the count: a host's Release() would free the object under the pointer.
template <class P>
concept ArrowReachesCount = requires(P p) {
  p->AddRef();
}
|| requires(P p) { p->Release(); };
static_assert(!ArrowReachesCount<Ptr<CNorvRemind>> && !ArrowReachesCount<Ptr<CEmItem>> &&
              ArrowReachesCount<CNorvRemind*>);
static_assert(std::is_same_v<decltype(of<Ptr<CEmItem>>() = of<CEmItem*>()), CEmItem*>);

using R = CNorvRemind;
FIELDS(CEmItem, TYPES(F(CEmItem, m_nReceiveType)), short);
FIELDS(CNorvRepeat,
       TYPES(F(CNorvRepeat, m_nRegularType), F(CNorvRepeat, m_nInterval),
             F(CNorvRepeat, m_nRegularValue), F(CNorvRepeat, m_nRegularRange),
             F(CNorvRepeat, m_nNum), F(CNorvRepeat, m_nCount)),
       short, short, short, short, int, int);
FIELDS(CNorvRemind,
       TYPES(F(R, m_nState), F(R, m_nType), F(R, m_nSendFlag), F(R, m_lstStyleItem),
             F(R, m_lstReceiver), F(R, m_mapAMMsg)),
       short, short, short, PtrList<CNorvRemindStyleItem>, PtrList<CEmItem>,
       std::map<CGuid, Ptr<CNorvRemindAMMsg>>);
FIELDS(CNorvRemindStyleItem, TYPES(F(CNorvRemindStyleItem, m_nDay)), int);
FIELDS(CNorvRemindStyle, TYPES(F(CNorvRemindStyle, m_nOrder), F(CNorvRemindStyle, m_bDefault)),
       short, bool);
FIELDS(CNorvRemindMgr,
       TYPES(F(CNorvRemindMgr, AMPort), F(CNorvRemindMgr, StyleNameMap),
             F(CNorvRemindMgr, RemindAMMsgList)),
       unsigned int, std::map<CString, Ptr<CNorvRemindStyle>>, PtrList<CNorvRemindAMMsg>);

MEMBER(CNorvRepeat, GetReqularType, short());
MEMBER(CNorvRepeat, IncRepeatCount, int());
MEMBER(CNorvRemind, GetState, short());
MEMBER(CNorvRemind, GetSendFlag, short());
MEMBER(CNorvRemind, GetDayStyleList, void(unsigned int, PtrList<CNorvRemindStyleItem>&));
MEMBER(CNorvRemind, DBLoadData, int(CSession&, CGuid, CString&));
MEMBER(CNorvRemind, DBLoadInfo, int(CSession&, CGuid, CString*));
MEMBER(CNorvRemind, DBUpdate, bool(CSession&, short, short, CString*));
MEMBER(CNorvRemindStyle, DBSetOrder, bool(CSession&, int, CString*));
MEMBER(CNorvRemindMgr, GetRemindStyleMaxOrder, short());
MEMBER(CNorvRemindMgr, GetRemind, Ptr<CNorvRemind>(CGuid));
MEMBER(CNorvRemindMgr, InitData, bool(CSession&, short, CString&));
MEMBER(CNorvIMTransport, Send, int(const CMsg&, const CString&, int&, CString&));
STATIC(CNorvRemind, DBSetState, bool(CSession&, CGuid, short, CString*));
STATIC(CNorvRemindRepeat, DBSetRepeatCount, bool(CSession&, CGuid, int, CString*));
STATIC(CNorvRemindStyle, DBDelete, bool(CSession&, CGuid&, CString*));
STATIC(CNorvRemindAMMsg, DBDelete2, bool(CSession&, CString, CString*));
STATIC(CEmItem, ParseEmXML, bool(const CNorvXmlNode&, PtrList<CEmItem>&));
static_assert(
    std::is_same_v<decltype(of<COleDateTimeSpan>().GetTotalDays()), double> &&
    std::is_same_v<decltype(of<CNorvRecordSet>().MoveNext()), int> &&
    std::is_same_v<decltype(CNorvDBFun::RunSQL(of<CSession>(), L"", nullptr, "", 0)), int>);
static_assert(std::has_virtual_destructor_v<CNorvBase> && std::is_abstract_v<CNorvIMTransport>);

bool Ascending(const auto*... fields) {
  const std::initializer_list<const void*> addresses = {fields...};
  return std::is_sorted(addresses.begin(), addresses.end(), std::less<const void*>());
}

// Hosts built against the header lay the objects out in declaration order,
// and the manager relies on it to tear its IM client down last.
TEST(ApiSurface, FieldsLieInTheirDeclaredOrder) {
  CNorvRemind r;
  EXPECT_TRUE(Ascending(&r.m_cs, &r.m_ID, &r.m_nState, &r.m_nType, &r.m_Repeat, &r.m_dtRemind,
                        &r.m_dtInvalid, &r.m_csStyle, &r.m_strRemindStyleDef, &r.m_lstStyleItem,
                        &r.m_strFrom, &r.m_strCreatorID, &r.m_strCreatorName, &r.m_strCreateTime,
                        &r.m_nSendFlag, &r.m_strContent, &r.m_strContentType, &r.m_csReceiver,
                        &r.m_lstReceiver, &r.m_csAMMsg, &r.m_mapAMMsg));
  CNorvRemindStyle s;
  EXPECT_TRUE(Ascending(&s.m_cs, &s.m_ID, &s.m_strName, &s.m_nOrder, &s.m_bDefault, &s.m_csDef,
                        &s.m_strDef, &s.m_lstStyleItem, &s.m_strCreatorID, &s.m_strCreatorName,
                        &s.m_strCreateTime, &s.m_strModifierID, &s.m_strModifierName,
                        &s.m_strModifyTime));
  CNorvRemindAMMsg m;
  EXPECT_TRUE(Ascending(&m.m_cs, &m.m_ID, &m.m_RemindID, &m.m_strContentType, &m.m_strContent,
                        &m.m_dtRemind, &m.m_strReceiver, &m.m_strReceiverName));
  CNorvRemindMgr g;
  EXPECT_TRUE(Ascending(&g.IMClient, &g.AMServer, &g.AMPort, &g.AMSendUser, &g.AMSendPassword,
                        &g.SendErrLogPath, &g.StopEvent, &g.StyleLock, &g.StyleIDMap,
                        &g.StyleNameMap, &g.StyleList, &g.DefaultStyle, &g.RemindLock, &g.RemindMap,
                        &g.RemindAMMsgLock, &g.RemindAMMsgList, &g.CheckMsgThread, &g.SendAMMsgLock,
                        &g.SendAMMsgList, &g.SendMsgThread, &g.SendEvent));
}

// Through the header a text literal on the left must compare texts, not addresses.
TEST(ApiSurface, TextComparesByContentFromEitherSide) {
  const CString name(L"abc");
  EXPECT_TRUE(L"abc" == name && !(L"abd" == name) && L"abb" < name && !(L"abc" != name));
}

}  // namespace
