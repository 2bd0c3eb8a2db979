#include "host/cli/TextTable.h"

#include <algorithm>
#include <cassert>

#include "host/cli/HostText.h"

namespace norvhost {

namespace {

bool IsLineBreak(wchar_t ch) { return ch == L'\n' || ch == L'\r' || ch == L'\t'; }

}  // namespace

TextTable::Cell TextTable::MakeCell(const CString& text, size_t maxWidth) {
  const std::wstring& raw = text.str();
  // A cell is one line: line breaks of free texts become blanks.
  if (std::none_of(raw.begin(), raw.end(), IsLineBreak)) {
    const size_t width = DisplayWidth(raw);
    // Most cells fit as they are.
    if (maxWidth == 0 || width <= maxWidth) return Keep(text.ToUtf8(), width);
  }
  std::wstring cell = raw;
  std::replace_if(cell.begin(), cell.end(), IsLineBreak, L' ');
  if (maxWidth > 0) cell = FitWidth(cell, maxWidth);
  const size_t width = DisplayWidth(cell);
  return Keep(CString(std::move(cell)).ToUtf8(), width);
}

TextTable::Cell TextTable::MakeCell(std::string_view text, size_t maxWidth) {
  // Printable ASCII takes a column a byte.
  const bool plain =
      std::all_of(text.begin(), text.end(), [](char ch) { return ch >= 0x20 && ch < 0x7F; });
  if (!plain || (maxWidth > 0 && text.size() > maxWidth)) {
    return MakeCell(CString::FromUtf8(text), maxWidth);
  }
  return Keep(text, text.size());
}

TextTable::Cell TextTable::Keep(std::string_view text, size_t width) {
  const Cell cell{m_text.size(), text.size(), width};
  m_text.append(text);
  return cell;
}

void TextTable::AddColumn(const std::wstring& title, size_t maxWidth) {
  assert(m_cells.empty());
  const Cell cell = MakeCell(CString(title), 0);
  m_columns.push_back({cell, maxWidth, cell.width});
}

void TextTable::AddRow(std::vector<CString> cells) {
  for (size_t i = 0; i < m_columns.size(); ++i) {
    Push(i, MakeCell(i < cells.size() ? cells[i] : CString(), m_columns[i].maxWidth));
  }
}

void TextTable::AddUtf8Row(std::initializer_list<std::string_view> cells) {
  for (size_t i = 0; i < m_columns.size(); ++i) {
    Push(i,
         MakeCell(i < cells.size() ? cells.begin()[i] : std::string_view(), m_columns[i].maxWidth));
  }
}

void TextTable::Push(size_t column, const Cell& cell) {
  m_columns[column].width = std::max(m_columns[column].width, cell.width);
  m_cells.push_back(cell);
}

void TextTable::RenderLine(const Cell* cells, std::string& out) const {
  for (size_t i = 0; i < m_columns.size(); ++i) {
    out.append(m_text, cells[i].at, cells[i].length);
    if (i + 1 < m_columns.size()) out.append(m_columns[i].width - cells[i].width + 2, ' ');
  }
  out += '\n';
}

std::string TextTable::Render() const {
  std::vector<Cell> titles;
  size_t lineWidth = 0;
  for (const Column& column : m_columns) {
    titles.push_back(column.title);
    lineWidth += column.width + 2;
  }
  const size_t rows = m_columns.empty() ? 0 : m_cells.size() / m_columns.size();
  std::string out;
  out.reserve((rows + 2) * lineWidth);
  RenderLine(titles.data(), out);
  // The rule under each title is as wide as its column.
  for (size_t i = 0; i < m_columns.size(); ++i) {
    out.append(m_columns[i].width, '-');
    if (i + 1 < m_columns.size()) out.append(2, ' ');
  }
  out += '\n';
  for (size_t row = 0; row < rows; ++row) RenderLine(&m_cells[row * m_columns.size()], out);
  return out;
}

}  // namespace norvhost
