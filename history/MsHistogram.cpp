#include "MsHistogram.h"

#include <cmath>

namespace history {

namespace {
constexpr std::uint64_t kExact = 1024;
constexpr unsigned kSteps = 512;
constexpr unsigned kTopShift = 31; // 1023 << 31 is about 2^40
constexpr std::size_t kBuckets = kExact + std::size_t{kTopShift} * kSteps;

unsigned BitWidth(std::uint64_t value)
{
    unsigned width = 0;
    for (; value != 0; value >>= 1)
        ++width;
    return width;
}

std::size_t BucketOf(std::uint64_t ms)
{
    if (ms < kExact)
        return static_cast<std::size_t>(ms);
    const unsigned shift = BitWidth(ms) - 10;
    if (shift > kTopShift)
        return kBuckets - 1;
    return kExact + std::size_t{shift - 1} * kSteps + static_cast<std::size_t>((ms >> shift) - kSteps);
}

std::uint64_t LowerEdge(std::size_t bucket)
{
    if (bucket < kExact)
        return bucket;
    const std::size_t above = bucket - kExact;
    const unsigned shift = static_cast<unsigned>(above / kSteps) + 1;
    return (kSteps + above % kSteps) << shift;
}
} // namespace

MsHistogram::MsHistogram() : m_buckets(kBuckets, 0)
{}

void MsHistogram::Add(std::uint64_t ms)
{
    ++m_buckets[BucketOf(ms)];
    ++m_count;
    m_max = ms > m_max ? ms : m_max;
}

// The nearest rank: the ceil(share * count)-th smallest duration.
std::uint64_t MsHistogram::Quantile(double share) const
{
    if (m_count == 0)
        return 0;
    std::uint64_t rank = static_cast<std::uint64_t>(std::ceil(share * static_cast<double>(m_count)));
    rank = rank == 0 ? 1 : rank;
    std::uint64_t seen = 0;
    for (std::size_t bucket = 0; bucket < m_buckets.size(); ++bucket) {
        seen += m_buckets[bucket];
        if (seen >= rank)
            return LowerEdge(bucket);
    }
    return LowerEdge(m_buckets.size() - 1);
}

} // namespace history
