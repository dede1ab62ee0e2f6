// The constant frame grid a video stream is presented on. ASF stores
// whole-millisecond times, so the writer's rounding has to be undone: a rate
// is chosen from the stream's opening stretch, every frame takes its nearest
// grid point (a later frame never an occupied one), and frame n is reported
// at exactly n x Step().
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct SFrameRate {
    int num = 0;
    int den = 1;
    bool IsValid() const noexcept { return num > 0 && den > 0; }
    friend bool operator==(const SFrameRate&, const SFrameRate&) = default;
};

class CFrameGrid {
public:
    // The opening stretch the choice looks at: this many frames or this
    // much time (100 ns) from the first, whichever ends first.
    static constexpr size_t kOpeningFrames = 300;
    static constexpr int64_t kOpeningTime = 300'000'000;

    // Chooses the rate for frames at times (100 ns, relative to the
    // origin, in stored order): the stated rate when it fits, else the
    // standard rate whose grid lies nearest, else the lowest standard rate
    // that gives every frame a point of its own.
    static SFrameRate ChooseRate(const std::vector<int64_t>& times, SFrameRate stated);
    // A stated average time per frame (100 ns) as a rate, snapped to the
    // nearest standard rate when within 0.5%; invalid for 0.
    static SFrameRate RateFromTimePerFrame(uint64_t avgTimePerFrame);
    // Every frame has a nearest point of its own and at least 80% of the
    // frames lie within an eighth of a frame of theirs.
    static bool Fits(const std::vector<int64_t>& times, SFrameRate rate);
    // Mean distance (100 ns) between frame times and their nearest points.
    static double MeanDistance(const std::vector<int64_t>& times, SFrameRate rate);

    CFrameGrid() = default;
    // Decoded video truncates the step (333667 for 30000/1001 excepted);
    // compressed video rounds it as the platform's MulDiv does.
    CFrameGrid(SFrameRate rate, bool compressed);

    SFrameRate Rate() const noexcept { return m_rate; }
    int64_t Step() const noexcept { return m_step; }
    // The nearest grid point of a time, on the exact rational grid.
    int64_t NearestIndex(int64_t time) const noexcept;
    // The last grid point at or before a reported time (a multiple of Step()).
    int64_t IndexAtOrBefore(int64_t time) const noexcept;
    int64_t TimeOf(int64_t index) const noexcept { return index * m_step; }

private:
    SFrameRate m_rate{25, 1};
    int64_t m_step = 400'000;
};

// Assigns grid points frame after frame: the nearest one, or the next free
// one when the nearest is taken.
class CGridAssigner {
public:
    explicit CGridAssigner(const CFrameGrid& grid) noexcept : m_grid(&grid) {}
    int64_t Assign(int64_t time) noexcept;
    // Forget the history, as when the reading starts over somewhere else.
    void Reset() noexcept { m_last = INT64_MIN; }
    // Continue after a frame already known to be at index.
    void ResumeAfter(int64_t index) noexcept { m_last = index; }
    int64_t Last() const noexcept { return m_last; }

private:
    const CFrameGrid* m_grid;
    int64_t m_last = INT64_MIN;
};
