// How two threads decoding one picture share out the rows still to come when one of them is
// done with its own, so that both end together at the speeds measured so far. Rows are MCU rows.
#pragma once

#include <algorithm>

namespace tav {

// A part of the picture decoded by a session of its own decodes two rows before its first (the
// filler and the row above), and the session costs about one more to set up.
inline constexpr int kPartOverheadRows = 3;
// Parsing a row (to find where a part starts) costs about a quarter of decoding it
// (hot_paths_bench: jpegCutParse against jpeg1080p_one_thread).
inline constexpr double kParseCost = 0.25;
// Fewer rows than this are not worth a part of their own.
inline constexpr int kMinPartRows = 4;

// Rows per second of each thread; 0 for one that has not shown its pace.
struct RowSpeeds {
    double upper = 0;
    double lower = 0;
};

// How many of the last of the `upperLeft` rows the upper thread still has to decode the lower
// thread takes as a part of its own (at most `most`); 0 when no part is worth it.
inline int rowsForLowerThread(RowSpeeds speeds, int upperLeft, int most)
{
    if (speeds.lower <= 0 || upperLeft <= 0)
        return 0;
    const auto end = [&](int taken) {
        return std::max((kPartOverheadRows + taken) / speeds.lower, (upperLeft - taken) / speeds.upper);
    };
    // Both end together: (overhead + taken) / lower = (upperLeft - taken) / upper; of the whole
    // numbers of rows either side, the one that ends sooner.
    int taken = int((speeds.lower * upperLeft - speeds.upper * kPartOverheadRows) / (speeds.lower + speeds.upper));
    if (taken < upperLeft && end(taken + 1) < end(taken))
        ++taken;
    taken = std::min(taken, most);
    return taken >= kMinPartRows ? taken : 0;
}

// How many of the last of the `lowerLeft` rows the lower thread still has to decode the upper
// thread takes (at most `most`), parsing on first through those of the `unparsed` rows before
// its part's last that lie above the rows it takes; 0 when that would not end the two sooner.
inline int rowsForUpperThread(RowSpeeds speeds, int lowerLeft, int unparsed, int most)
{
    if (speeds.upper <= 0 || speeds.lower <= 0)
        return 0;
    const auto end = [&](int taken) {
        const double lower = (lowerLeft - taken) / speeds.lower;
        if (taken == 0)
            return lower;
        const double upper = (kParseCost * std::max(0, unparsed - taken) + kPartOverheadRows + taken) / speeds.upper;
        return std::max(upper, lower);
    };
    int best = 0;
    for (int taken = kMinPartRows; taken <= std::min(lowerLeft, most); ++taken)
        if (end(taken) < end(best))
            best = taken;
    return best;
}

}  // namespace tav
