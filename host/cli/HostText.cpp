#include "host/cli/HostText.h"

#include <iostream>

namespace norvhost {

namespace {

bool IsCombining(wchar_t ch) {
  return (ch >= 0x0300 && ch <= 0x036F) || (ch >= 0x200B && ch <= 0x200F) ||
         (ch >= 0xFE00 && ch <= 0xFE0F);
}

bool IsWide(wchar_t ch) {
  return (ch >= 0x1100 && ch <= 0x115F) || (ch >= 0x2E80 && ch <= 0x303E) ||
         (ch >= 0x3041 && ch <= 0x33FF) || (ch >= 0x3400 && ch <= 0x4DBF) ||
         (ch >= 0x4E00 && ch <= 0x9FFF) || (ch >= 0xA000 && ch <= 0xA4CF) ||
         (ch >= 0xAC00 && ch <= 0xD7A3) || (ch >= 0xF900 && ch <= 0xFAFF) ||
         (ch >= 0xFE30 && ch <= 0xFE4F) || (ch >= 0xFF00 && ch <= 0xFF60) ||
         (ch >= 0xFFE0 && ch <= 0xFFE6) || (ch >= 0x1F300 && ch <= 0x1F64F) ||
         (ch >= 0x1F900 && ch <= 0x1F9FF) || (ch >= 0x20000 && ch <= 0x3FFFD);
}

size_t CharWidth(wchar_t ch) {
  // Below the first combining mark nothing is wide: most text ends here.
  if (ch < 0x0300) return 1;
  if (IsCombining(ch)) return 0;
  return IsWide(ch) ? 2 : 1;
}

}  // namespace

std::string Narrow(const CString& text) { return text.ToUtf8(); }
CString Widen(const std::string& text) { return CString::FromUtf8(text); }

void PrintLine(const CString& text) { PrintLine(text.ToUtf8()); }

void PrintLine(const std::string& text) {
  std::cout << text << '\n';
  std::cout.flush();
}

void PrintError(const std::string& text) { std::cerr << "norvremind: " << text << std::endl; }
void PrintWarning(const std::string& text) {
  std::cerr << "norvremind: warning: " << text << std::endl;
}

size_t DisplayWidth(const std::wstring& text) {
  size_t width = 0;
  for (wchar_t ch : text) width += CharWidth(ch);
  return width;
}

std::wstring FitWidth(const std::wstring& text, size_t width) {
  if (DisplayWidth(text) <= width) return text;
  std::wstring cut;
  size_t used = 0;
  for (wchar_t ch : text) {
    const size_t next = CharWidth(ch);
    if (used + next + 1 > width) break;
    cut += ch;
    used += next;
  }
  return cut + L"\u2026";
}

CString JsonArray(const std::vector<CString>& items) {
  if (items.empty()) return L"[]";
  CString json = L"[ ";
  for (size_t i = 0; i < items.size(); ++i) json += (i == 0 ? L"" : L", ") + items[i];
  return json + L" ]";
}

CString ShortID(const CString& id) {
  CString text = id;
  if (text.GetLength() > 0 && text.GetAt(0) == L'{') text = text.Mid(1);
  return text.Left(8).MakeLower();
}

}  // namespace norvhost
