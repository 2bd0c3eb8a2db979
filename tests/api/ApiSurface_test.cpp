// The exported surface as a host sees it through the umbrella header: every
// class, member, field and constant with the types hosts are written against.
// A missing or retyped member breaks this file's build, not just a test.
#include <NorvRemindCore.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace {

// Values of any type for unevaluated calls.
template <class T>
T& of();
template <class T>
T val();
template <class T>
T* ptr();

// A member function's parameters and result, whatever its constness: the
// types are fixed for hosts, the constness is not.
template <class F>
struct SigOf;
template <class R, class C, class... A>
struct SigOf<R (C::*)(A...)> {
  using type = R(A...);
  using params = void(A...);
};
template <class R, class C, class... A>
struct SigOf<R (C::*)(A...) const> {
  using type = R(A...);
  using params = void(A...);
};

// The member exists, is not static, and has exactly these parameters and result.
#define MEMBER(C, f, ...)                                                                \
  static_assert(std::is_member_function_pointer_v<decltype(&C::f)> &&                    \
                    std::is_same_v<typename SigOf<decltype(&C::f)>::type, __VA_ARGS__>, \
                "member " #C "::" #f)
// As MEMBER where only the parameters are fixed.
#define PARAMS(C, f, ...)                                                                  \
  static_assert(std::is_member_function_pointer_v<decltype(&C::f)> &&                      \
                    std::is_same_v<typename SigOf<decltype(&C::f)>::params, __VA_ARGS__>, \
                "parameters of " #C "::" #f)
// A static member with exactly this type.
#define STATIC(C, f, ...) \
  static_assert(std::is_same_v<decltype(&C::f), std::add_pointer_t<__VA_ARGS__>>, "static " #C "::" #f)
// One static overload of exactly this type.
// Resolved in an unevaluated operand: an exported function's address is no
// constant expression in a sanitizer build.
#define STATIC_OVERLOAD(C, f, ...)                                                     \
  static_assert(std::is_same_v<decltype(static_cast<std::add_pointer_t<__VA_ARGS__>>(&C::f)), \
                               std::add_pointer_t<__VA_ARGS__>>,                           \
                "overload " #C "::" #f)
// A public data member of exactly this type.
#define FIELD(C, m, ...) static_assert(std::is_same_v<decltype(C::m), __VA_ARGS__>, "field " #C "::" #m)
// An expression that compiles and has this type.
#define RESULT(expr, ...) static_assert(std::is_same_v<decltype(expr), __VA_ARGS__>, #expr)
// An expression that compiles.
#define CALLS(expr) static_assert(std::is_void_v<std::void_t<decltype(expr)>>, #expr)

template <class T>
using Ptr = CNorvBasePtr<T>;
template <class T>
using PtrList = std::list<CNorvBasePtr<T>>;

// ---- Shared object model ----------------------------------------------------

template <class T>
constexpr bool kArrowReachesAddRef = requires(CNorvBasePtr<T> p) { p->AddRef(); };
template <class T>
constexpr bool kArrowReachesRelease = requires(CNorvBasePtr<T> p) { p->Release(); };

template <class T>
struct SmartPointerSurface {
  using P = CNorvBasePtr<T>;
  using Arrow = _NoAddRefReleaseOnCNorvBasePtr<T>;
  static_assert(std::is_default_constructible_v<P> && std::is_constructible_v<P, T*> &&
                std::is_copy_constructible_v<P>);
  RESULT(of<P>() = ptr<T>(), T*);
  RESULT(of<P>() = of<const P>(), T*);
  RESULT(!of<const P>(), bool);
  RESULT(of<const P>() == ptr<T>(), bool);
  static_assert(std::is_convertible_v<const P&, T*>);
  RESULT(of<const P>().operator->(), Arrow*);
  static_assert(std::is_base_of_v<T, Arrow> && std::is_convertible_v<Arrow*, T*> &&
                std::has_virtual_destructor_v<Arrow> && std::is_default_constructible_v<Arrow>);
  static_assert(!kArrowReachesAddRef<T> && !kArrowReachesRelease<T>);
  static_assert(std::is_base_of_v<CNorvBase, T>);
};
template struct SmartPointerSurface<CEmItem>;
template struct SmartPointerSurface<CNorvRemind>;
template struct SmartPointerSurface<CNorvRemindAMMsg>;
template struct SmartPointerSurface<CNorvRemindStyle>;
template struct SmartPointerSurface<CNorvRemindStyleItem>;

MEMBER(CNorvBase, AddRef, long());
MEMBER(CNorvBase, Release, long());
static_assert(std::has_virtual_destructor_v<CNorvBase>);

// ---- Base library contracts ---------------------------------------------------

static_assert(std::is_same_v<ATL::CSession, CSession>);
RESULT(of<CSession>().Open(val<CString>()), bool);
RESULT(of<CSession>().Open(L"sqlite::memory:", ptr<CString>()), bool);
CALLS(of<CSession>().Close());
RESULT(of<CSession>().IsOpen(), bool);
PARAMS(CSession, SetStatementLog, void(std::function<void(const CString&)>));

RESULT(CNorvDBFun::RunSQL(of<CSession>(), val<CString>(), ptr<CString>(), __FILE__, __LINE__), int);
RESULT(CNorvDBFun::FormatSQLValue(val<CString>()), CString);
RESULT(of<CNorvRecordSet>().Open(of<CSession>(), val<CString>(), ptr<CString>()), bool);
RESULT(of<CNorvRecordSet>().MoveNext(), int);
CALLS(of<CNorvRecordSet>().GetValue(1, of<CString>()));
CALLS(of<CNorvRecordSet>().Close());
RESULT(of<CNorvRecordSet>().IsOpened(), bool);

static_assert(std::is_default_constructible_v<CGuid> && std::is_copy_assignable_v<CGuid>);
RESULT(of<CGuid>().IsValid(), bool);
RESULT(of<CGuid>().NewID(), bool);
RESULT(of<CGuid>() != of<CGuid>(), bool);
RESULT(of<CGuid>() == of<CGuid>(), bool);
RESULT(of<CGuid>() < of<CGuid>(), bool);
RESULT(of<CGuid>().GetString(), CString);
RESULT(of<CGuid>().GetString1(), CString);
RESULT(of<CGuid>().FromString1(val<CString>()), bool);
RESULT(of<CGuid>().FromString(L"{00000000-0000-0000-0000-000000000000}"), bool);

FIELD(CEmItem, m_nReceiveType, short);
FIELD(CEmItem, m_strReceiveID, CString);
FIELD(CEmItem, m_strReceiveName, CString);
RESULT(of<CEmItem>().GenEmInfo_XML(), CString);
RESULT(of<CEmItem>().GenEmInfo_Json(), CString);
STATIC(CEmItem, ParseEmXML, bool(const CNorvXmlNode&, PtrList<CEmItem>&));

static_assert(std::has_virtual_destructor_v<CNorvThread>);
CALLS(of<CNorvThread>().Start());
CALLS(of<CNorvThread>().GetHandle());
RESULT(of<CNorvThread>().Wait(1000), bool);
static_assert(std::is_base_of_v<CNorvEvent, CManualResetEvent> &&
              std::is_constructible_v<CManualResetEvent, bool>);
CALLS(of<CManualResetEvent>().Set());
CALLS(of<CManualResetEvent>().Reset());
CALLS(of<CManualResetEvent>().GetEvent());

RESULT(CNorvCommFun::GetCurAppPath(), CString);
CALLS(CNorvCommFun::WriteLogFile(val<CString>(), val<CString>()));
STATIC(CNorvCommFun, ParseXML, bool(const CString&, CNorvXmlDocument&));
RESULT(CNorvCommFun::GenXMLNodeStr(L"Content", val<CString>()), CString);
RESULT(CNorvCommFun::GenJsonNodeStr(val<CString>(), val<CString>()), CString);
RESULT(of<CNorvXmlDocument>().GetRootElement(), CNorvXmlNode);
RESULT(of<CNorvXmlNode>().IsNull(), bool);
RESULT(of<CNorvXmlNode>().IsElement(), bool);
RESULT(of<CNorvXmlNode>().GetName(), CString);
RESULT(of<CNorvXmlNode>().GetText(), CString);
RESULT(of<CNorvXmlNode>().GetAttribute(L"ID", of<CString>()), bool);
RESULT(of<CNorvXmlNode>().GetFirstChild(), CNorvXmlNode);
RESULT(of<CNorvXmlNode>().GetNextSibling(), CNorvXmlNode);

// Text, arrays, dates and locks of the platform layer.
static_assert(std::is_constructible_v<CString, const wchar_t*> &&
              std::is_constructible_v<CString, std::wstring>);
RESULT(of<CString>() == L"a", bool);
RESULT(L"a" == of<CString>(), bool);
RESULT(of<CString>() != L"a", bool);
RESULT(L"a" != of<CString>(), bool);
RESULT(of<CString>() < L"a", bool);
RESULT(L"a" < of<CString>(), bool);
RESULT(of<CString>() < of<CString>(), bool);
CALLS(of<CString>().GetLength());
RESULT(of<CString>().IsEmpty(), bool);
CALLS(of<CString>().Empty());
RESULT(of<const CString>().GetString(), const wchar_t*);
static_assert(std::is_convertible_v<const CString&, const wchar_t*>);
CALLS(of<CString>() += L"a");
RESULT(of<CString>() + L"a", CString);
RESULT(L"a" + of<CString>(), CString);
CALLS(of<CString>().MakeLower());
CALLS(of<CString>().MakeUpper());
RESULT(of<CString>().Mid(1, 2), CString);
RESULT(of<CString>().Left(1), CString);
RESULT(of<CString>().Right(1), CString);
CALLS(of<CString>().Find(L"a"));
CALLS(of<CString>().Trim());
CALLS(of<CString>().Format(L"%s %d %u %ld", of<CString>(), 1, 2u, 3L));
CALLS(of<CString>().AppendFormat(L"%s", L"a"));
RESULT(CString::FromUtf8(val<std::string_view>()), CString);
RESULT(of<const CString>().ToUtf8(), std::string);

CALLS(of<CStringArray>().GetSize());
CALLS(of<CStringArray>().Add(val<CString>()));
CALLS(of<CStringArray>().RemoveAll());
static_assert(std::is_convertible_v<decltype(of<CStringArray>().GetAt(0)), CString> &&
              std::is_convertible_v<decltype(of<CStringArray>()[0]), CString>);

FIELD(COleDateTime, m_dt, double);
FIELD(COleDateTime, m_status, COleDateTime::DateTimeStatus);
static_assert(COleDateTime::valid == 0 && COleDateTime::invalid == 1 && COleDateTime::null == 2);
static_assert(std::is_constructible_v<COleDateTime, double> &&
              std::is_constructible_v<COleDateTime, int, int, int, int, int, int>);
RESULT(COleDateTime::GetCurrentTime(), COleDateTime);
RESULT(of<COleDateTime>().GetStatus(), COleDateTime::DateTimeStatus);
CALLS(of<COleDateTime>().SetStatus(COleDateTime::invalid));
CALLS(of<COleDateTime>().SetDateTime(2026, 1, 5, 8, 5, 0));
CALLS(of<COleDateTime>().SetDate(2026, 1, 5));
CALLS(of<COleDateTime>().SetTime(8, 5, 0));
static_assert(std::is_same_v<decltype(of<COleDateTime>().GetYear() + of<COleDateTime>().GetMonth() +
                                      of<COleDateTime>().GetDay() + of<COleDateTime>().GetHour() +
                                      of<COleDateTime>().GetMinute() + of<COleDateTime>().GetSecond() +
                                      of<COleDateTime>().GetDayOfWeek()),
                             int>);
RESULT(of<COleDateTime>().Format(L"%Y-%m-%d"), CString);
MEMBER(COleDateTime, ParseDateTime, bool(const wchar_t*, unsigned));
RESULT(of<COleDateTime>().ParseDateTime(val<CString>()), bool);
RESULT(of<COleDateTime>().ParseDateTime(L"2026-01-05", VAR_DATEVALUEONLY), bool);
RESULT(of<COleDateTime>().ParseDateTime(L"08:05", VAR_TIMEVALUEONLY), bool);
RESULT(of<COleDateTime>() < of<COleDateTime>(), bool);
RESULT(of<COleDateTime>() <= of<COleDateTime>(), bool);
RESULT(of<COleDateTime>() >= of<COleDateTime>(), bool);
RESULT(of<COleDateTime>() == of<COleDateTime>(), bool);
RESULT(of<COleDateTime>() - of<COleDateTime>(), COleDateTimeSpan);
RESULT(of<COleDateTime>() + val<COleDateTimeSpan>(), COleDateTime);
RESULT(of<COleDateTime>() - val<COleDateTimeSpan>(), COleDateTime);
static_assert(std::is_constructible_v<COleDateTimeSpan, int, int, int, int>);
RESULT(of<COleDateTimeSpan>().GetTotalDays(), double);

static_assert(std::is_constructible_v<CSingleLock, CCriticalSection*> &&
              std::is_constructible_v<CSingleLock, CCriticalSection*, bool>);
CALLS(of<CSingleLock>().Lock());
CALLS(of<CSingleLock>().Unlock());
RESULT(of<CSingleLock>().IsLocked(), bool);

// Instant messaging: CIM and CMsg as the send cycle calls them, and the
// replaceable transport.
static_assert(std::is_default_constructible_v<CIM> && std::is_default_constructible_v<CMsg>);
MEMBER(CIM, Init, void(CString, int, CString, CString, int));
RESULT(of<CIM>().SendMsgEx(ptr<CMsg>(), val<CString>()), int);
RESULT(of<CIM>().GetLastErr(), int);
CALLS(of<CIM>().GetErrInfo(12, L"CHS", of<CString>()));
PARAMS(CIM, SetTransport, void(std::shared_ptr<CNorvIMTransport>));
PARAMS(CMsg, SetMsgType, void(int));
PARAMS(CMsg, SetBody, void(CString));
PARAMS(CMsg, SetContentType, void(CString));
PARAMS(CMsg, SetMsgExtType, void(CString));
PARAMS(CMsg, SetAttrib, void(CString, CString));
RESULT(of<CMsg>().GetMsgType(), int);
static_assert(std::is_convertible_v<decltype(of<CMsg>().GetBody()), CString> &&
              std::is_convertible_v<decltype(of<CMsg>().GetContentType()), CString> &&
              std::is_convertible_v<decltype(of<CMsg>().GetMsgExtType()), CString> &&
              std::is_convertible_v<decltype(of<CMsg>().GetAttrib(L"RemindID")), CString>);
static_assert(std::is_abstract_v<CNorvIMTransport> && std::has_virtual_destructor_v<CNorvIMTransport>);
MEMBER(CNorvIMTransport, Init, void(const CString&, int, const CString&, const CString&, int));
MEMBER(CNorvIMTransport, Send, int(const CMsg&, const CString&, int&, CString&));

// ---- Repeat rule and remind repeat --------------------------------------------

struct RepeatProbe : CNorvRepeat {
  using CNorvRepeat::MatchDate_Day;
  using CNorvRepeat::MatchDate_Month;
  using CNorvRepeat::MatchDate_Week;
  using CNorvRepeat::MatchDate_Year;
};

FIELD(CNorvRepeat, m_cs, CCriticalSection);
FIELD(CNorvRepeat, m_nRegularType, short);
FIELD(CNorvRepeat, m_nInterval, short);
FIELD(CNorvRepeat, m_nRegularValue, short);
FIELD(CNorvRepeat, m_nRegularRange, short);
FIELD(CNorvRepeat, m_nNum, int);
FIELD(CNorvRepeat, m_nCount, int);
FIELD(CNorvRepeat, m_dtStart, COleDateTime);
FIELD(CNorvRepeat, m_dtEnd, COleDateTime);
static_assert(std::is_base_of_v<CNorvBase, CNorvRepeat> && std::has_virtual_destructor_v<CNorvRepeat>);
PARAMS(CNorvRepeat, SetInfo, void(CNorvRepeat*));
PARAMS(CNorvRepeat, GetInfo, void(CNorvRepeat*));
MEMBER(CNorvRepeat, GetReqularType, short());
MEMBER(CNorvRepeat, GetInterval, short());
MEMBER(CNorvRepeat, GetRegularValue, short());
MEMBER(CNorvRepeat, GetRegularRange, short());
CALLS(of<CNorvRepeat>().GetRepeatNum(of<int>(), of<int>()));
RESULT(of<CNorvRepeat>().GetRepeatNum(), int);
MEMBER(CNorvRepeat, IncRepeatCount, int());
MEMBER(CNorvRepeat, IsValidTime, bool(CString));
MEMBER(CNorvRepeat, MatchDate, bool(COleDateTime));
MEMBER(RepeatProbe, MatchDate_Day, bool(COleDateTime));
MEMBER(RepeatProbe, MatchDate_Week, bool(COleDateTime));
MEMBER(RepeatProbe, MatchDate_Month, bool(COleDateTime));
MEMBER(RepeatProbe, MatchDate_Year, bool(COleDateTime));
MEMBER(CNorvRepeat, ParseXML, bool(const CNorvXmlNode&, CString&));

FIELD(CNorvRemindRepeat, m_strRemindTime, CString);
static_assert(std::is_base_of_v<CNorvRepeat, CNorvRemindRepeat>);
PARAMS(CNorvRemindRepeat, SetInfo, void(CNorvRemindRepeat*));
PARAMS(CNorvRemindRepeat, GetInfo, void(CNorvRemindRepeat*));
MEMBER(CNorvRemindRepeat, GetRemindTime, bool(CString, COleDateTime&));
MEMBER(CNorvRemindRepeat, ParseXML, bool(const CNorvXmlNode&, CString&));
MEMBER(CNorvRemindRepeat, GenInfo_XML, CString());
MEMBER(CNorvRemindRepeat, GenInfo_Json, CString());
MEMBER(CNorvRemindRepeat, DBInsert, bool(CSession&, short, CGuid, CString*));
MEMBER(CNorvRemindRepeat, DBUpdate, bool(CSession&, short, CGuid, CString*));
MEMBER(CNorvRemindRepeat, DBLoadData, bool(CSession&, CGuid, CString*));
STATIC(CNorvRemindRepeat, DBDelete, bool(CSession&, CGuid, CString*));
STATIC(CNorvRemindRepeat, DBSetRepeatCount, bool(CSession&, CGuid, int, CString*));

// ---- Remind -------------------------------------------------------------------

FIELD(CNorvRemind, m_cs, CCriticalSection);
FIELD(CNorvRemind, m_ID, CGuid);
FIELD(CNorvRemind, m_nState, short);
FIELD(CNorvRemind, m_nType, short);
FIELD(CNorvRemind, m_Repeat, CNorvRemindRepeat);
FIELD(CNorvRemind, m_dtRemind, COleDateTime);
FIELD(CNorvRemind, m_dtInvalid, COleDateTime);
FIELD(CNorvRemind, m_csStyle, CCriticalSection);
FIELD(CNorvRemind, m_strRemindStyleDef, CString);
FIELD(CNorvRemind, m_lstStyleItem, PtrList<CNorvRemindStyleItem>);
FIELD(CNorvRemind, m_strFrom, CString);
FIELD(CNorvRemind, m_strCreatorID, CString);
FIELD(CNorvRemind, m_strCreatorName, CString);
FIELD(CNorvRemind, m_strCreateTime, CString);
FIELD(CNorvRemind, m_nSendFlag, short);
FIELD(CNorvRemind, m_strContent, CString);
FIELD(CNorvRemind, m_strContentType, CString);
FIELD(CNorvRemind, m_csReceiver, CCriticalSection);
FIELD(CNorvRemind, m_lstReceiver, PtrList<CEmItem>);
FIELD(CNorvRemind, m_csAMMsg, CCriticalSection);
FIELD(CNorvRemind, m_mapAMMsg, std::map<CGuid, Ptr<CNorvRemindAMMsg>>);
static_assert(std::is_base_of_v<CNorvBase, CNorvRemind> && std::has_virtual_destructor_v<CNorvRemind>);

PARAMS(CNorvRemind, SetState, void(short));
MEMBER(CNorvRemind, GetState, short());
MEMBER(CNorvRemind, GetType, short());
MEMBER(CNorvRemind, GetSendFlag, short());
MEMBER(CNorvRemind, HasRepeat, bool());
MEMBER(CNorvRemind, GetInvalidDate, COleDateTime());
MEMBER(CNorvRemind, HasAMFlag, bool());
MEMBER(CNorvRemind, HasSMSFlag, bool());
MEMBER(CNorvRemind, HasEmailFlag, bool());
PARAMS(CNorvRemind, GetContent, void(CString&, CString&));
PARAMS(CNorvRemind, GetReceiverList, void(PtrList<CEmItem>&));
PARAMS(CNorvRemind, SetInfo, void(CNorvRemind*));
PARAMS(CNorvRemind, GetInfo, void(CNorvRemind*));
MEMBER(CNorvRemind, ParseXML, bool(const CNorvXmlNode&, CString&));
MEMBER(CNorvRemind, NeedRemind, bool(COleDateTime));
RESULT(of<CNorvRemind>().GetRemindTime(val<CString>(), of<COleDateTime>()), bool);
CALLS(of<CNorvRemind>().GetRemindTime(val<CString>(), of<std::list<COleDateTime>>()));
MEMBER(CNorvRemind, IsInvalid, bool(COleDateTime));
PARAMS(CNorvRemind, GetDayStyleList, void(unsigned int, PtrList<CNorvRemindStyleItem>&));
MEMBER(CNorvRemind, ExistDayStyle, bool(unsigned int));
MEMBER(CNorvRemind, GenListInfo_XML, CString());
MEMBER(CNorvRemind, GenListInfo_Json, CString());
MEMBER(CNorvRemind, GenInfo_XML, CString());
MEMBER(CNorvRemind, GenInfo_Json, CString());
MEMBER(CNorvRemind, GenReceiverInfo_XML, CString());
MEMBER(CNorvRemind, GenReceiverInfo_Json, CString());
MEMBER(CNorvRemind, DBLoadData, int(CSession&, CGuid, CString&));
MEMBER(CNorvRemind, DBLoadInfo, int(CSession&, CGuid, CString*));
MEMBER(CNorvRemind, DBLoadReceiver, bool(CSession&, CString*));
MEMBER(CNorvRemind, DBLoadRepeat, bool(CSession&, CString*));
MEMBER(CNorvRemind, DBInsert, bool(CSession&, short, CString*));
MEMBER(CNorvRemind, DBUpdate, bool(CSession&, short, short, CString*));
STATIC(CNorvRemind, DBDelete, bool(CSession&, CGuid, CString*));
STATIC(CNorvRemind, DBSetState, bool(CSession&, CGuid, short, CString*));
MEMBER(CNorvRemind, DBInsertReceiver, bool(CSession&, CString*));
STATIC(CNorvRemind, DBDeleteReceiver, bool(CSession&, CGuid, CString*));
MEMBER(CNorvRemind, DBInsertMsg,
       bool(CSession&, short, CStringArray&, CStringArray&, COleDateTime, CString*));
MEMBER(CNorvRemind, DBDeleteAMMsg, bool(CSession&, CString*));
MEMBER(CNorvRemind, AddAMMsg, void(CNorvRemindAMMsg*));
MEMBER(CNorvRemind, RemoveAMMsg, void(CGuid));
MEMBER(CNorvRemind, GetAMMsgList, void(PtrList<CNorvRemindAMMsg>&));
MEMBER(CNorvRemind, HasRemindMsg, bool());
MEMBER(CNorvRemind, CleanAMMsgList, void());

// ---- Style items and styles -----------------------------------------------------

FIELD(CNorvRemindStyleItem, m_cs, CCriticalSection);
FIELD(CNorvRemindStyleItem, m_nDay, int);
FIELD(CNorvRemindStyleItem, m_strTime, CString);
MEMBER(CNorvRemindStyleItem, ParseXML, bool(const CNorvXmlNode&, CString&));
STATIC_OVERLOAD(CNorvRemindStyleItem, ParseListXML,
                bool(CString, PtrList<CNorvRemindStyleItem>&, CString&));
STATIC_OVERLOAD(CNorvRemindStyleItem, ParseListXML,
                bool(const CNorvXmlNode&, PtrList<CNorvRemindStyleItem>&, CString&));
static_assert(std::is_pointer_v<decltype(&CNorvRemindStyleItem::SortStyleItemList)>);
CALLS(CNorvRemindStyleItem::SortStyleItemList(of<PtrList<CNorvRemindStyleItem>>(), true));
MEMBER(CNorvRemindStyleItem, IsSame, bool(CNorvRemindStyleItem*));
MEMBER(CNorvRemindStyleItem, GenInfo_XML, CString());
MEMBER(CNorvRemindStyleItem, GenInfo_Json, CString());

FIELD(CNorvRemindStyle, m_cs, CCriticalSection);
FIELD(CNorvRemindStyle, m_ID, CGuid);
FIELD(CNorvRemindStyle, m_strName, CString);
FIELD(CNorvRemindStyle, m_nOrder, short);
FIELD(CNorvRemindStyle, m_bDefault, bool);
FIELD(CNorvRemindStyle, m_csDef, CCriticalSection);
FIELD(CNorvRemindStyle, m_strDef, CString);
FIELD(CNorvRemindStyle, m_lstStyleItem, PtrList<CNorvRemindStyleItem>);
FIELD(CNorvRemindStyle, m_strCreatorID, CString);
FIELD(CNorvRemindStyle, m_strCreatorName, CString);
FIELD(CNorvRemindStyle, m_strCreateTime, CString);
FIELD(CNorvRemindStyle, m_strModifierID, CString);
FIELD(CNorvRemindStyle, m_strModifierName, CString);
FIELD(CNorvRemindStyle, m_strModifyTime, CString);
PARAMS(CNorvRemindStyle, SetInfo, void(CNorvRemindStyle*));
PARAMS(CNorvRemindStyle, GetInfo, void(CNorvRemindStyle*));
PARAMS(CNorvRemindStyle, SetName, void(CString));
MEMBER(CNorvRemindStyle, GetName, CString());
PARAMS(CNorvRemindStyle, SetOrder, void(short));
MEMBER(CNorvRemindStyle, GetOrder, short());
PARAMS(CNorvRemindStyle, SetDefault, void(bool));
MEMBER(CNorvRemindStyle, IsDefault, bool());
MEMBER(CNorvRemindStyle, GetDefInfo, CString());
MEMBER(CNorvRemindStyle, ParseXML, bool(const CNorvXmlNode&, CString&));
MEMBER(CNorvRemindStyle, GenListInfo_XML, CString());
MEMBER(CNorvRemindStyle, GenListInfo_Json, CString());
MEMBER(CNorvRemindStyle, GenInfo_XML, CString());
MEMBER(CNorvRemindStyle, GenInfo_Json, CString());
STATIC(CNorvRemindStyle, DBDelete, bool(CSession&, CGuid&, CString*));
MEMBER(CNorvRemindStyle, DBInsert, bool(CSession&, short, CString*));
MEMBER(CNorvRemindStyle, DBUpdate, bool(CSession&, short, CString*));
MEMBER(CNorvRemindStyle, DBRename, bool(CSession&, CString, CString*));
MEMBER(CNorvRemindStyle, DBSetOrder, bool(CSession&, int, CString*));
MEMBER(CNorvRemindStyle, DBSetDefault, bool(CSession&, bool, CString*));

// ---- Messages ---------------------------------------------------------------------

FIELD(CNorvRemindMsg, m_cs, CCriticalSection);
FIELD(CNorvRemindMsg, m_ID, CGuid);
FIELD(CNorvRemindMsg, m_RemindID, CGuid);
FIELD(CNorvRemindMsg, m_strContentType, CString);
FIELD(CNorvRemindMsg, m_strContent, CString);
FIELD(CNorvRemindMsg, m_dtRemind, COleDateTime);
static_assert(std::is_base_of_v<CNorvBase, CNorvRemindMsg>);
MEMBER(CNorvRemindMsg, GetRemindTime, COleDateTime());
STATIC_OVERLOAD(CNorvRemindMsg, DBSetReaded, bool(CSession&, short, CGuid, CString*));
STATIC_OVERLOAD(CNorvRemindMsg, DBSetReaded, bool(CSession&, short, CGuid, CString, CString*));
STATIC_OVERLOAD(CNorvRemindMsg, DBDelete, bool(CSession&, CGuid, CString*));
STATIC_OVERLOAD(CNorvRemindMsg, DBDelete, bool(CSession&, CGuid, CString, CString*));
MEMBER(CNorvRemindMsg, DBSetSuccess, bool(CSession&, short, CString*));
MEMBER(CNorvRemindMsg, DBSetFail, bool(CSession&, short, CString, CString*));

FIELD(CNorvRemindAMMsg, m_strReceiver, CString);
FIELD(CNorvRemindAMMsg, m_strReceiverName, CString);
static_assert(std::is_base_of_v<CNorvRemindMsg, CNorvRemindAMMsg>);
MEMBER(CNorvRemindAMMsg, DBInsert, bool(CSession&, short, CGuid, CString*));
MEMBER(CNorvRemindAMMsg, DBSetSuccess, bool(CSession&, short, CString*));
MEMBER(CNorvRemindAMMsg, DBSetFail, bool(CSession&, short, CString, CString*));
STATIC(CNorvRemindAMMsg, DBDelete, bool(CSession&, CGuid, CString*));
STATIC(CNorvRemindAMMsg, DBDelete2, bool(CSession&, CString, CString*));
STATIC(CNorvRemindAMMsg, DBDelete3, bool(CSession&, CGuid, CString*));

// Error texts are optional pointers.
RESULT(CNorvRemindAMMsg::DBDelete3(of<CSession>(), val<CGuid>()), bool);
RESULT(CNorvRemindMsg::DBDelete(of<CSession>(), val<CGuid>(), L"alice"), bool);
RESULT(of<CNorvRemindMsg>().DBSetFail(of<CSession>(), 1, L"timeout"), bool);
RESULT(of<CNorvRemind>().DBInsert(of<CSession>(), 1), bool);
RESULT(of<CNorvRemindRepeat>().DBLoadData(of<CSession>(), val<CGuid>()), bool);
RESULT(of<CNorvRemindStyle>().DBSetDefault(of<CSession>(), true), bool);
RESULT(of<CNorvRemindMgr>().DBSetRemindInvalid(of<CSession>(), 1), bool);

// ---- Manager --------------------------------------------------------------------------

struct ManagerProbe : CNorvRemindMgr {
  using CNorvRemindMgr::DBLoadMsg_AM;
  using CNorvRemindMgr::DBLoadRemind;
  using CNorvRemindMgr::DBLoadRemindReceiver;
  using CNorvRemindMgr::DBLoadRemindRepeat;
  using CNorvRemindMgr::DBLoadRemindStyle;
};

using StyleListT = PtrList<CNorvRemindStyle>;
FIELD(CNorvRemindMgr, IMClient, CIM);
FIELD(CNorvRemindMgr, AMServer, CString);
FIELD(CNorvRemindMgr, AMPort, unsigned int);
FIELD(CNorvRemindMgr, AMSendUser, CString);
FIELD(CNorvRemindMgr, AMSendPassword, CString);
FIELD(CNorvRemindMgr, SendErrLogPath, CString);
FIELD(CNorvRemindMgr, StopEvent, CManualResetEvent);
FIELD(CNorvRemindMgr, StyleLock, CCriticalSection);
FIELD(CNorvRemindMgr, StyleIDMap, std::map<CGuid, Ptr<CNorvRemindStyle>>);
FIELD(CNorvRemindMgr, StyleNameMap, std::map<CString, Ptr<CNorvRemindStyle>>);
FIELD(CNorvRemindMgr, StyleList, StyleListT);
FIELD(CNorvRemindMgr, DefaultStyle, Ptr<CNorvRemindStyle>);
FIELD(CNorvRemindMgr, RemindLock, CCriticalSection);
FIELD(CNorvRemindMgr, RemindMap, std::map<CGuid, Ptr<CNorvRemind>>);
FIELD(CNorvRemindMgr, RemindAMMsgLock, CCriticalSection);
FIELD(CNorvRemindMgr, RemindAMMsgList, PtrList<CNorvRemindAMMsg>);
FIELD(CNorvRemindMgr, CheckMsgThread, CNorvRemindMgr::CCheckMsgThread);
FIELD(CNorvRemindMgr, SendAMMsgLock, CCriticalSection);
FIELD(CNorvRemindMgr, SendAMMsgList, PtrList<CNorvRemindAMMsg>);
FIELD(CNorvRemindMgr, SendMsgThread, CNorvRemindMgr::CSendMsgThread);
FIELD(CNorvRemindMgr, SendEvent, CManualResetEvent);
static_assert(std::is_base_of_v<CNorvThread, CNorvRemindMgr::CCheckMsgThread> &&
              std::is_base_of_v<CNorvThread, CNorvRemindMgr::CSendMsgThread> &&
              std::has_virtual_destructor_v<CNorvRemindMgr>);
static_assert(std::is_default_constructible_v<CNorvRemindMgr::CCheckMsgThread> &&
              std::is_default_constructible_v<CNorvRemindMgr::CSendMsgThread>);
FIELD(CNorvRemindMgr::CCheckMsgThread, Owner, CNorvRemindMgr*);
FIELD(CNorvRemindMgr::CSendMsgThread, Owner, CNorvRemindMgr*);

MEMBER(CNorvRemindMgr, SetAMServer, void(CString, unsigned int));
MEMBER(CNorvRemindMgr, SetAMSendUser, void(CString, CString));
MEMBER(CNorvRemindMgr, Start, bool());
MEMBER(CNorvRemindMgr, Stop, bool());
MEMBER(CNorvRemindMgr, Thread_CheckAMMsg, void());
MEMBER(CNorvRemindMgr, Thread_SendAMMsg, void());
MEMBER(CNorvRemindMgr, InitData, bool(CSession&, short, CString&));
MEMBER(CNorvRemindMgr, DBSetRemindInvalid, bool(CSession&, short, CString*));
MEMBER(CNorvRemindMgr, DBSetRemindAMMsgInvalid, bool(CSession&, short, CString*));
MEMBER(CNorvRemindMgr, DBDeleteRemindAMMsgInvalid, bool(CSession&, short, CString*));
MEMBER(ManagerProbe, DBLoadRemindStyle, bool(CSession&, CString*));
MEMBER(ManagerProbe, DBLoadRemind, bool(CSession&, CString*));
MEMBER(ManagerProbe, DBLoadRemindReceiver, bool(CSession&, CString*));
MEMBER(ManagerProbe, DBLoadRemindRepeat, bool(CSession&, CString*));
MEMBER(ManagerProbe, DBLoadMsg_AM, bool(CSession&, CString*));
MEMBER(CNorvRemindMgr, AddRemind, bool(CNorvRemind*));
MEMBER(CNorvRemindMgr, RemoveRemind, bool(CGuid));
MEMBER(CNorvRemindMgr, GetRemind, Ptr<CNorvRemind>(CGuid));
MEMBER(CNorvRemindMgr, GetRemindList, void(PtrList<CNorvRemind>&));
MEMBER(CNorvRemindMgr, AddRemindStyle, bool(CNorvRemindStyle*, bool));
RESULT(of<CNorvRemindMgr>().RemoveRemindStyle(val<CGuid>()), bool);
RESULT(of<CNorvRemindMgr>().RemoveRemindStyle(val<CString>()), bool);
RESULT(of<CNorvRemindMgr>().GetRemindStyle(val<CGuid>()), Ptr<CNorvRemindStyle>);
RESULT(of<CNorvRemindMgr>().GetRemindStyle(val<CString>()), Ptr<CNorvRemindStyle>);
MEMBER(CNorvRemindMgr, GetRemindStyleMaxOrder, short());
MEMBER(CNorvRemindMgr, AlterRemindStyleOrder, void(CNorvRemindStyle*, short));
MEMBER(CNorvRemindMgr, FindRemindStyleOrder, StyleListT::iterator(short, CString));
MEMBER(CNorvRemindMgr, RenameRemindStyle, bool(CString, CString));
MEMBER(CNorvRemindMgr, SetDefRemindStyle, void(CNorvRemindStyle*));
MEMBER(CNorvRemindMgr, GetDefRemindStyle, Ptr<CNorvRemindStyle>());
MEMBER(CNorvRemindMgr, GenRemindStyleListInfo_XML, CString());
MEMBER(CNorvRemindMgr, GenRemindStyleListInfo_Json, CString());
MEMBER(CNorvRemindMgr, AddRemindAMMsg, void(CNorvRemindAMMsg*, bool));
MEMBER(CNorvRemindMgr, RemoveRemindAMMsg, void(CNorvRemindAMMsg*));
MEMBER(CNorvRemindMgr, CheckAMMsg, void());
MEMBER(CNorvRemindMgr, AddSendAMMsg, void(CNorvRemindAMMsg*));
MEMBER(CNorvRemindMgr, RemoveSendAMMsg, void(CNorvRemindAMMsg*));
MEMBER(CNorvRemindMgr, GetSendAMMsg, Ptr<CNorvRemindAMMsg>());
MEMBER(CNorvRemindMgr, SendAMMsg, void());

// ---- Behaviour behind the surface --------------------------------------------------

// Fields are built in declaration order and torn down in reverse; the
// manager relies on it (the IM client goes last).
bool Ascending(std::initializer_list<const void*> fields) {
  return std::is_sorted(fields.begin(), fields.end(), std::less<const void*>());
}

TEST(ApiSurface, FieldsLieInTheirDeclaredOrder) {
  CNorvRemindRepeat p;
  EXPECT_TRUE(Ascending({&p.m_cs, &p.m_nRegularType, &p.m_nInterval, &p.m_nRegularValue,
                         &p.m_nRegularRange, &p.m_nNum, &p.m_nCount, &p.m_dtStart, &p.m_dtEnd,
                         &p.m_strRemindTime}));
  CNorvRemind r;
  EXPECT_TRUE(Ascending({&r.m_cs, &r.m_ID, &r.m_nState, &r.m_nType, &r.m_Repeat, &r.m_dtRemind,
                         &r.m_dtInvalid, &r.m_csStyle, &r.m_strRemindStyleDef, &r.m_lstStyleItem,
                         &r.m_strFrom, &r.m_strCreatorID, &r.m_strCreatorName, &r.m_strCreateTime,
                         &r.m_nSendFlag, &r.m_strContent, &r.m_strContentType, &r.m_csReceiver,
                         &r.m_lstReceiver, &r.m_csAMMsg, &r.m_mapAMMsg}));
  CNorvRemindStyleItem i;
  EXPECT_TRUE(Ascending({&i.m_cs, &i.m_nDay, &i.m_strTime}));
  CNorvRemindStyle s;
  EXPECT_TRUE(Ascending({&s.m_cs, &s.m_ID, &s.m_strName, &s.m_nOrder, &s.m_bDefault, &s.m_csDef,
                         &s.m_strDef, &s.m_lstStyleItem, &s.m_strCreatorID, &s.m_strCreatorName,
                         &s.m_strCreateTime, &s.m_strModifierID, &s.m_strModifierName,
                         &s.m_strModifyTime}));
  CNorvRemindAMMsg m;
  EXPECT_TRUE(Ascending({&m.m_cs, &m.m_ID, &m.m_RemindID, &m.m_strContentType, &m.m_strContent,
                         &m.m_dtRemind, &m.m_strReceiver, &m.m_strReceiverName}));
  CNorvRemindMgr g;
  EXPECT_TRUE(Ascending({&g.IMClient, &g.AMServer, &g.AMPort, &g.AMSendUser, &g.AMSendPassword,
                         &g.SendErrLogPath, &g.StopEvent, &g.StyleLock, &g.StyleIDMap,
                         &g.StyleNameMap, &g.StyleList, &g.DefaultStyle, &g.RemindLock,
                         &g.RemindMap, &g.RemindAMMsgLock, &g.RemindAMMsgList, &g.CheckMsgThread,
                         &g.SendAMMsgLock, &g.SendAMMsgList, &g.SendMsgThread, &g.SendEvent}));
}

TEST(ApiSurface, NewObjectsStartWithTheirDefaults) {
  CNorvBasePtr<CNorvRemind> remind(new CNorvRemind);
  EXPECT_EQ(remind->GetType(), 0);
  EXPECT_EQ(remind->GetState(), 0);
  EXPECT_EQ(remind->GetSendFlag(), 1);
  EXPECT_TRUE(remind->HasAMFlag() && !remind->HasSMSFlag() && !remind->HasEmailFlag());
  EXPECT_FALSE(remind->HasRepeat());
  EXPECT_EQ(L"Text/Text", remind->m_strContentType);
  EXPECT_EQ(remind->m_dtRemind.GetStatus(), COleDateTime::null);
  EXPECT_EQ(remind->GetInvalidDate().GetStatus(), COleDateTime::null);
  EXPECT_EQ(remind->m_Repeat.GetInterval(), 1);
  EXPECT_FALSE(remind->m_ID.IsValid());
  EXPECT_FALSE(remind->HasRemindMsg());

  CNorvRemindAMMsg message;
  EXPECT_EQ(message.GetRemindTime().GetStatus(), COleDateTime::valid);
  EXPECT_EQ(message.GetRemindTime().m_dt, 0.0);

  CNorvRemindStyle style;
  EXPECT_EQ(style.m_strModifyTime, style.m_strCreateTime);
  EXPECT_FALSE(style.IsDefault());
}

TEST(ApiSurface, SmartPointerKeepsOneReferencePerHolder) {
  CNorvBasePtr<CNorvRemindStyleItem> first(new CNorvRemindStyleItem);
  CNorvRemindStyleItem* raw = first;
  first = raw;  // self-assignment keeps the object alive
  CNorvBasePtr<CNorvRemindStyleItem> second = first;
  EXPECT_TRUE(second == raw);
  EXPECT_EQ(raw->AddRef(), 3);
  EXPECT_EQ(raw->Release(), 2);
  first = nullptr;
  EXPECT_TRUE(!first);
  EXPECT_EQ(second->m_nDay, 0);
}

TEST(ApiSurface, TextAndDatesCompareBothWays) {
  const CString name(L"abc");
  EXPECT_TRUE(L"abc" == name && name == L"abc" && !(L"abd" == name));
  EXPECT_TRUE(L"abb" < name && name < L"abd" && !(L"abc" < name));
  COleDateTime day;
  EXPECT_TRUE(day.ParseDateTime(L"2026-01-05 08:30:00", VAR_DATEVALUEONLY));
  EXPECT_EQ(day.Format(L"%Y-%m-%d %H:%M:%S"), L"2026-01-05 00:00:00");
  EXPECT_DOUBLE_EQ((COleDateTime(2026, 1, 6, 12, 0, 0) - day).GetTotalDays(), 1.5);
  EXPECT_FALSE(day.ParseDateTime(L"2026-02-30"));
  EXPECT_EQ(day.m_status, COleDateTime::invalid);
}

TEST(ApiSurface, SendOutcomesDispatchThroughTheBase) {
  ATL::CSession session;
  ASSERT_TRUE(session.Open(L"sqlite::memory:"));
  std::vector<CString> statements;
  session.SetStatementLog([&](const CString& statement) { statements.push_back(statement); });

  CNorvBasePtr<CNorvRemindMsg> inbox(new CNorvRemindMsg);
  EXPECT_FALSE(inbox->DBSetSuccess(session, 0, nullptr));
  EXPECT_TRUE(statements.empty());

  CNorvBasePtr<CNorvRemindAMMsg> instant(new CNorvRemindAMMsg);
  CNorvRemindMsg* asBase = instant;
  CString errorText;
  EXPECT_FALSE(asBase->DBSetFail(session, 0, L"timeout", &errorText));  // no table here
  ASSERT_EQ(statements.size(), 1u);
  EXPECT_EQ(statements[0].Left(43), L"UPDATE NORV_REMIND_MSG_AM SET CN_N_STATUS =");
  EXPECT_FALSE(errorText.IsEmpty());
}

class RecordingTransport : public CNorvIMTransport {
 public:
  void Init(const CString& server, int port, const CString&, const CString&, int mode) override {
    initText.Format(L"%s:%d mode %d", server, port, mode);
  }
  int Send(const CMsg& msg, const CString& receiver, int& errorCode, CString& errorText) override {
    sent.push_back(receiver + L" " + msg.GetAttrib(L"RemindID"));
    errorCode = 12;
    errorText = L"timeout";
    return 0;
  }
  CString initText;
  std::vector<CString> sent;
};

TEST(ApiSurface, ManagerThreadsAndTransportAreReachable) {
  CNorvRemindMgr manager;
  EXPECT_EQ(manager.CheckMsgThread.Owner, &manager);
  EXPECT_EQ(manager.SendMsgThread.Owner, &manager);
  CNorvRemindMgr::CCheckMsgThread check;
  check.Owner = &manager;
  manager.StopEvent.Set();
  ASSERT_TRUE(check.Start());
  EXPECT_TRUE(check.Wait(5000));  // the body saw the stop event and signalled its handle

  auto transport = std::make_shared<RecordingTransport>();
  manager.IMClient.Init(L"im.example", 5222, L"remind", L"secret", 1);
  manager.IMClient.SetTransport(transport);
  EXPECT_EQ(transport->initText, L"im.example:5222 mode 1");
  CMsg msg;
  msg.SetAttrib(L"RemindID", L"{R}");
  EXPECT_EQ(manager.IMClient.SendMsgEx(&msg, L"alice"), 0);
  EXPECT_EQ(manager.IMClient.GetLastErr(), 12);
  ASSERT_EQ(transport->sent.size(), 1u);
  EXPECT_EQ(transport->sent[0], L"alice {R}");

  CNorvBasePtr<CNorvRemindStyle> style(new CNorvRemindStyle);
  style->m_ID.NewID();
  style->SetName(L"Exam");
  EXPECT_TRUE(manager.AddRemindStyle(style, true));
  EXPECT_TRUE(manager.GetRemindStyle(CString(L"EXAM")) == style);
  EXPECT_TRUE(manager.GetRemindStyle(style->m_ID) == style);
  CSingleLock hold(&manager.StyleLock, true);
  EXPECT_EQ(manager.FindRemindStyleOrder(0, L"Zed"), manager.StyleList.end());
}

}  // namespace
