// Progress of a long job on one line of stderr: frames done of the total,
// the rate and the time left. Drawn only when stderr is a terminal, so
// scripts, pipes and logs see nothing of it.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

class CProgressBar {
public:
    // On stderr, when it is a terminal. total <= 0 means unknown.
    CProgressBar(std::string label, int64_t total);
    // On out, when enabled.
    CProgressBar(std::ostream& out, bool enabled, std::string label, int64_t total);
    ~CProgressBar();
    CProgressBar(const CProgressBar&) = delete;
    CProgressBar& operator=(const CProgressBar&) = delete;

    // Redraws at most ten times a second, and always at the total.
    void Update(int64_t done);
    // Redraws once more and ends the line.
    void Finish();

    // The line itself: "encode [#####-----]  120/250 frames  48.3 fps  0:02 left".
    static std::string Line(const std::string& label, int64_t done, int64_t total, double seconds);

private:
    void Draw(int64_t done);

    std::ostream& m_out;
    bool m_bEnabled;
    std::string m_label;
    int64_t m_total;
    int64_t m_done = 0;
    bool m_bDrawn = false;
    size_t m_cchLast = 0;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDraw;
};
