#include "RunMarks.h"

namespace history {

namespace {
constexpr unsigned kFirstBits = 10;
} // namespace

// The marks are hashes already, but a run's mark may differ from another's
// only in its high bits: multiplying spreads every bit over the index.
std::size_t RunMarks::SlotOf(std::uint64_t mark) const
{
    return static_cast<std::size_t>((mark * 0x9E3779B97F4A7C15ull) >> (64 - m_bits));
}

void RunMarks::Place(std::uint64_t mark)
{
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = SlotOf(mark);
    while (m_slots[slot] != 0)
        slot = (slot + 1) & mask;
    m_slots[slot] = mark;
    ++m_count;
}

void RunMarks::Grow()
{
    std::vector<std::uint64_t> old;
    old.swap(m_slots);
    m_bits = old.empty() ? kFirstBits : m_bits + 1;
    m_slots.assign(std::size_t{1} << m_bits, 0);
    m_count = 0;
    for (const std::uint64_t mark : old)
        if (mark != 0)
            Place(mark);
}

bool RunMarks::Insert(std::uint64_t mark)
{
    if (mark == 0) {
        const bool fresh = !m_zero;
        m_zero = true;
        return fresh;
    }
    if ((m_count + 1) * 4 > m_slots.size() * 3)
        Grow();
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = SlotOf(mark);
    for (; m_slots[slot] != 0; slot = (slot + 1) & mask)
        if (m_slots[slot] == mark)
            return false;
    m_slots[slot] = mark;
    ++m_count;
    return true;
}

} // namespace history
