#ifndef NORV_HOST_CLI_TEXTTABLE_H_
#define NORV_HOST_CLI_TEXTTABLE_H_

#include <string>
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
  void AddUtf8Row(std::vector<std::string> cells);
  std::string Render() const;

 private:
  // A cell as printed: UTF-8, and the terminal columns it takes.
  struct Cell {
    std::string text;
    size_t width;
  };
  struct Column {
    Cell title;
    size_t maxWidth;
    size_t width;  // of the widest cell so far
  };

  static Cell MakeCell(const CString& text, size_t maxWidth);
  static Cell MakeCell(std::string text, size_t maxWidth);
  void Add(std::vector<Cell> row);
  void RenderLine(const std::vector<Cell>& cells, std::string& out) const;

  std::vector<Column> m_columns;
  std::vector<std::vector<Cell>> m_rows;
};

}  // namespace norvhost

#endif  // NORV_HOST_CLI_TEXTTABLE_H_
