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
  // `maxWidth` 0: the column is as wide as its widest cell.
  void AddColumn(const std::wstring& title, size_t maxWidth = 0);
  void AddRow(std::vector<CString> cells);
  std::string Render() const;

 private:
  struct Column {
    std::wstring title;
    size_t maxWidth;
  };
  std::vector<Column> m_columns;
  std::vector<std::vector<std::wstring>> m_rows;
};

}  // namespace norvhost

#endif  // NORV_HOST_CLI_TEXTTABLE_H_
