// Milliseconds counted in a fixed histogram, so that the median and the 95th
// percentile of any number of durations take the same memory: exact below
// 1024 ms, above that to within 1/512 of the value (512 buckets for each
// power of two), up to 2^40 ms; longer ones count as 2^40 ms.
#ifndef TOLVANE_HISTORY_MSHISTOGRAM_H
#define TOLVANE_HISTORY_MSHISTOGRAM_H

#include <cstdint>
#include <vector>

namespace history {

class MsHistogram {
public:
    MsHistogram();
    void Add(std::uint64_t ms);
    std::uint64_t Count() const { return m_count; }
    // The smallest value at or below which share (0 to 1) of the durations
    // lie, as the lower edge of its bucket; 0 when nothing was counted.
    std::uint64_t Quantile(double share) const;
    std::uint64_t Max() const { return m_max; }

private:
    std::vector<std::uint64_t> m_buckets;
    std::uint64_t m_count = 0;
    std::uint64_t m_max = 0;
};

} // namespace history

#endif
