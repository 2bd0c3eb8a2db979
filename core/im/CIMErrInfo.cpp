#include "core/im/CIM.h"

namespace {

struct ErrorText {
  int code;
  const wchar_t* english;
  const wchar_t* chinese;
};

constexpr ErrorText kErrorTexts[] = {
    {kNorvIMOk, L"no error", L"没有错误"},
    {kNorvIMNotInitialised, L"the IM client is not initialised", L"即时消息客户端尚未初始化"},
    {kNorvIMCannotConnect, L"cannot connect to the IM server", L"无法连接即时消息服务器"},
    {kNorvIMAuthFailed, L"the IM server refused the sending account or password",
     L"即时消息服务器拒绝了发送账号或密码"},
    {kNorvIMNotConfirmed, L"the IM server did not confirm the message in time",
     L"即时消息服务器未及时确认收到消息"},
    {kNorvIMDisconnected, L"the connection to the IM server was lost",
     L"与即时消息服务器的连接已断开"},
    {kNorvIMFileNotWritable, L"the message file cannot be written", L"无法写入消息文件"},
    {kNorvIMRejected, L"the IM server rejected the message", L"即时消息服务器拒收该消息"},
    {kNorvIMBadMessage, L"the message or its receiver is invalid", L"消息或接收者无效"},
};

const ErrorText* FindErrorText(int code) {
  for (const ErrorText& entry : kErrorTexts) {
    if (entry.code == code) return &entry;
  }
  return nullptr;
}

}  // namespace

bool CIM::GetErrInfo(int code, CString language, CString& text) const {
  const bool chinese = language.CompareNoCase(L"CHS") == 0;
  CString detail;
  {
    std::lock_guard<std::mutex> hold(m_mutex);
    if (code == m_lastError) detail = m_lastErrorDetail;
  }
  const ErrorText* known = FindErrorText(code);
  if (known != nullptr) {
    text = chinese ? known->chinese : known->english;
    if (!detail.IsEmpty()) text += (chinese ? L"：" : L": ") + detail;
    return true;
  }
  // A transport of the host's own knows its codes; its text is all there is.
  if (!detail.IsEmpty()) {
    text = detail;
    return true;
  }
  text.Format(chinese ? L"未知错误 %d" : L"unknown error %d", code);
  return false;
}
