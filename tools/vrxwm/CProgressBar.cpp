#include "vrxwm/CProgressBar.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <utility>

namespace {

constexpr int kBarWidth = 24;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::string Clock(double seconds) {
    const auto total = static_cast<long long>(std::lround(seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    return text;
}

}  // namespace

CProgressBar::CProgressBar(std::string label, int64_t total)
    : CProgressBar(std::cerr, isatty(STDERR_FILENO) == 1, std::move(label), total) {}

CProgressBar::CProgressBar(std::ostream& out, bool enabled, std::string label, int64_t total)
    : m_out(out),
      m_bEnabled(enabled),
      m_label(std::move(label)),
      m_total(total),
      m_start(std::chrono::steady_clock::now()),
      m_lastDraw(m_start) {}

CProgressBar::~CProgressBar() {
    // A job that failed half-way leaves its last state on screen, and the
    // error line starts on a line of its own.
    if (m_bDrawn) m_out << '\n' << std::flush;
}

std::string CProgressBar::Line(const std::string& label, int64_t done, int64_t total, double seconds) {
    std::string line = label;
    char numbers[96];
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
    if (total > 0) {
        const int64_t shown = std::min(done, total);
        const auto filled = static_cast<int>(shown * kBarWidth / total);
        line += " [" + std::string(static_cast<size_t>(filled), '#') +
                std::string(static_cast<size_t>(kBarWidth - filled), '-') + "]";
        std::snprintf(numbers, sizeof numbers, "  %lld/%lld frames  %.1f fps", static_cast<long long>(done),
                      static_cast<long long>(total), rate);
        line += numbers;
        if (rate > 0) line += "  " + Clock(static_cast<double>(total - shown) / rate) + " left";
    } else {
        std::snprintf(numbers, sizeof numbers, "  %lld frames  %.1f fps", static_cast<long long>(done), rate);
        line += numbers;
    }
    return line;
}

void CProgressBar::Update(int64_t done) {
    m_done = done;
    if (!m_bEnabled) return;
    const auto now = std::chrono::steady_clock::now();
    if (m_bDrawn && now - m_lastDraw < kRedrawInterval && done != m_total) return;
    m_lastDraw = now;
    Draw(done);
}

void CProgressBar::Finish() {
    if (!m_bEnabled) return;
    Draw(m_done);
    m_out << '\n' << std::flush;
    m_bDrawn = false;
}

void CProgressBar::Draw(int64_t done) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    std::string line = Line(m_label, done, m_total, seconds);
    const size_t cchLine = line.size();
    // Blanks over the tail of a longer previous line.
    if (cchLine < m_cchLast) line.append(m_cchLast - cchLine, ' ');
    m_cchLast = cchLine;
    m_out << '\r' << line << std::flush;
    m_bDrawn = true;
}
