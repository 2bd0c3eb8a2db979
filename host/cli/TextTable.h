#ifndef NORV_HOST_CLI_TEXTTABLE_H_
#define NORV_HOST_CLI_TEXTTABLE_H_

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/CString.h"

namespace norvhost {

// A table for people: a header, aligned columns, and cells cut with an
// ellipsis where a column has a width limit.
class TextTable {
 public:
  // `maxWidth` 0: the column is as wide as its widest cell. All columns
  // come before the first row.
  void AddColumn(const std::wstring& title, size_t maxWidth = 0);
  void AddRow(std::vector<CString> cells);
  // The same with cells in UTF-8: plain ASCII, as most cells are, goes in
  // without widening.
  void AddUtf8Row(std::initializer_list<std::string_view> cells);
  std::string Render() const;

 private:
  // A cell as printed: its UTF-8 text in m_text, and the terminal columns
  // it takes.
  struct Cell {
    size_t at;
    size_t length;
    size_t width;
  };
  struct Column {
    Cell title;
    size_t maxWidth;
    size_t width;  // of the widest cell so far
  };

  Cell MakeCell(const CString& text, size_t maxWidth);
  Cell MakeCell(std::string_view text, size_t maxWidth);
  Cell Keep(std::string_view text, size_t width);
  void Push(size_t column, const Cell& cell);
  void RenderLine(const Cell* cells, std::string& out) const;

  std::vector<Column> m_columns;
  // The rows' cells one after another, a column each, and all their texts
  // in one buffer: a table of 100,000 rows would otherwise cost a vector
  // and a string or two per row.
  std::vector<Cell> m_cells;
  std::string m_text;
};

}  // namespace norvhost

#endif  // NORV_HOST_CLI_TEXTTABLE_H_
