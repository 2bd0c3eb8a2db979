#include "host/ProgressBar.h"

#include <unistd.h>

#include <iostream>

#include "host/HostText.h"

namespace norvhost {

namespace {
constexpr size_t kBarWidth = 30;
constexpr size_t kLabelWidth = 32;
}  // namespace

ProgressBar::ProgressBar(size_t total) : m_total(total), m_enabled(isatty(STDERR_FILENO) == 1) {}

ProgressBar::~ProgressBar() { Finish(); }

std::string ProgressBar::Render(size_t done, size_t total, size_t width, const std::string& label) {
  const size_t filled = total == 0 ? width : std::min(width, done * width / total);
  const size_t percent = total == 0 ? 100 : done * 100 / total;
  std::string bar = "[";
  bar.append(filled, '#');
  bar.append(width - filled, '.');
  for (const std::string& part : {std::string("] "), std::to_string(done), std::string("/"),
                                  std::to_string(total), std::string(" "),
                                  std::to_string(percent), std::string("%")}) {
    bar += part;
  }
  if (!label.empty()) {
    bar += ' ';
    bar += CString(FitWidth(Widen(label).str(), kLabelWidth)).ToUtf8();
  }
  return bar;
}

void ProgressBar::Update(size_t done, const std::string& label) {
  m_done = done;
  m_label = label;
  Draw();
}

void ProgressBar::Message(const std::string& line) {
  Clear();
  std::cerr << line << std::endl;
  Draw();
}

void ProgressBar::Finish() {
  Clear();
  m_enabled = false;
}

void ProgressBar::Clear() {
  if (!m_drawn) return;
  std::cerr << "\r\033[K" << std::flush;
  m_drawn = false;
}

void ProgressBar::Draw() {
  if (!m_enabled) return;
  std::cerr << "\r\033[K" << Render(m_done, m_total, kBarWidth, m_label) << std::flush;
  m_drawn = true;
}

}  // namespace norvhost
