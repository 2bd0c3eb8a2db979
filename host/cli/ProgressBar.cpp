#include "host/cli/ProgressBar.h"

#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <sstream>

#include "host/cli/HostText.h"

namespace norvhost {

namespace {
constexpr size_t kBarWidth = 30;
constexpr size_t kLabelWidth = 32;
}  // namespace

ProgressBar::ProgressBar(size_t total) : m_total(total), m_enabled(isatty(STDERR_FILENO) == 1) {}

ProgressBar::~ProgressBar() { Finish(); }

std::string ProgressBar::Render() const {
  const size_t filled =
      m_total == 0 ? kBarWidth : std::min(kBarWidth, m_done * kBarWidth / m_total);
  const size_t percent = m_total == 0 ? 100 : m_done * 100 / m_total;
  std::ostringstream bar;
  bar << '[' << std::string(filled, '#') << std::string(kBarWidth - filled, '.') << "] " << m_done
      << '/' << m_total << ' ' << percent << '%';
  if (!m_label.empty()) bar << ' ' << CString(FitWidth(Widen(m_label).str(), kLabelWidth)).ToUtf8();
  return bar.str();
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
  std::cerr << "\r\033[K" << Render() << std::flush;
  m_drawn = true;
}

}  // namespace norvhost
