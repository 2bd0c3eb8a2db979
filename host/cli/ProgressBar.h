#ifndef NORV_HOST_CLI_PROGRESSBAR_H_
#define NORV_HOST_CLI_PROGRESSBAR_H_

#include <cstddef>
#include <string>

namespace norvhost {

// A one-line progress bar on standard error, drawn only when standard error
// is a terminal. Messages printed meanwhile go through Message() so that
// they do not mix with the bar.
class ProgressBar {
 public:
  explicit ProgressBar(size_t total);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Update(size_t done, const std::string& label);
  // Prints one line on standard error above the bar.
  void Message(const std::string& line);
  void Finish();

 private:
  std::string Render() const;
  void Clear();
  void Draw();

  size_t m_total;
  size_t m_done = 0;
  std::string m_label;
  bool m_enabled;
  bool m_drawn = false;
};

}  // namespace norvhost

#endif  // NORV_HOST_CLI_PROGRESSBAR_H_
