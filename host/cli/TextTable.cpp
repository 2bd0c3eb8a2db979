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
    if (maxWidth == 0 || width <= maxWidth) return {text.ToUtf8(), width};
  }
  std::wstring cell = raw;
  std::replace_if(cell.begin(), cell.end(), IsLineBreak, L' ');
  if (maxWidth > 0) cell = FitWidth(cell, maxWidth);
  const size_t width = DisplayWidth(cell);
  return {CString(std::move(cell)).ToUtf8(), width};
}

void TextTable::AddColumn(const std::wstring& title, size_t maxWidth) {
  assert(m_rows.empty());
  Cell cell = MakeCell(title, 0);
  const size_t width = cell.width;
  m_columns.push_back({std::move(cell), maxWidth, width});
}

TextTable::Cell TextTable::MakeCell(std::string text, size_t maxWidth) {
  // Printable ASCII takes a column a byte.
  const bool plain =
      std::all_of(text.begin(), text.end(), [](char ch) { return ch >= 0x20 && ch < 0x7F; });
  if (!plain || (maxWidth > 0 && text.size() > maxWidth)) {
    return MakeCell(CString::FromUtf8(text), maxWidth);
  }
  const size_t width = text.size();
  return {std::move(text), width};
}

void TextTable::AddRow(std::vector<CString> cells) {
  std::vector<Cell> row;
  row.reserve(m_columns.size());
  for (size_t i = 0; i < m_columns.size(); ++i) {
    row.push_back(MakeCell(i < cells.size() ? cells[i] : CString(), m_columns[i].maxWidth));
  }
  Add(std::move(row));
}

void TextTable::AddUtf8Row(std::vector<std::string> cells) {
  std::vector<Cell> row;
  row.reserve(m_columns.size());
  for (size_t i = 0; i < m_columns.size(); ++i) {
    row.push_back(
        MakeCell(i < cells.size() ? std::move(cells[i]) : std::string(), m_columns[i].maxWidth));
  }
  Add(std::move(row));
}

void TextTable::Add(std::vector<Cell> row) {
  for (size_t i = 0; i < row.size(); ++i) {
    m_columns[i].width = std::max(m_columns[i].width, row[i].width);
  }
  m_rows.push_back(std::move(row));
}

void TextTable::RenderLine(const std::vector<Cell>& cells, std::string& out) const {
  for (size_t i = 0; i < cells.size(); ++i) {
    out += cells[i].text;
    if (i + 1 < cells.size()) out.append(m_columns[i].width - cells[i].width + 2, ' ');
  }
  out += '\n';
}

std::string TextTable::Render() const {
  std::vector<Cell> titles;
  std::vector<Cell> rules;
  size_t lineWidth = 0;
  for (const Column& column : m_columns) {
    titles.push_back(column.title);
    rules.push_back({std::string(column.width, '-'), column.width});
    lineWidth += column.width + 2;
  }
  std::string out;
  out.reserve((m_rows.size() + 2) * lineWidth);
  RenderLine(titles, out);
  RenderLine(rules, out);
  for (const auto& row : m_rows) RenderLine(row, out);
  return out;
}

}  // namespace norvhost
