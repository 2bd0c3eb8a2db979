#include "host/cli/TextTable.h"

#include <algorithm>

#include "host/cli/HostText.h"

namespace norvhost {

void TextTable::AddColumn(const std::wstring& title, size_t maxWidth) {
  m_columns.push_back({title, maxWidth});
}

void TextTable::AddRow(std::vector<CString> cells) {
  std::vector<std::wstring> row;
  for (size_t i = 0; i < m_columns.size(); ++i) {
    std::wstring cell = i < cells.size() ? cells[i].str() : std::wstring();
    // A cell is one line: line breaks of free texts become blanks.
    std::replace(cell.begin(), cell.end(), L'\n', L' ');
    std::replace(cell.begin(), cell.end(), L'\r', L' ');
    std::replace(cell.begin(), cell.end(), L'\t', L' ');
    if (m_columns[i].maxWidth > 0) cell = FitWidth(cell, m_columns[i].maxWidth);
    row.push_back(std::move(cell));
  }
  m_rows.push_back(std::move(row));
}

std::string TextTable::Render() const {
  std::vector<size_t> widths;
  for (const Column& column : m_columns) widths.push_back(DisplayWidth(column.title));
  for (const auto& row : m_rows) {
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], DisplayWidth(row[i]));
  }
  auto renderLine = [&](const std::vector<std::wstring>& cells) {
    std::wstring line;
    for (size_t i = 0; i < cells.size(); ++i) {
      line += cells[i];
      if (i + 1 < cells.size()) line += std::wstring(widths[i] - DisplayWidth(cells[i]) + 2, L' ');
    }
    return CString(line).ToUtf8() + "\n";
  };
  std::vector<std::wstring> titles;
  std::vector<std::wstring> rules;
  for (size_t i = 0; i < m_columns.size(); ++i) {
    titles.push_back(m_columns[i].title);
    rules.push_back(std::wstring(widths[i], L'-'));
  }
  std::string text = renderLine(titles) + renderLine(rules);
  for (const auto& row : m_rows) text += renderLine(row);
  return text;
}

}  // namespace norvhost
