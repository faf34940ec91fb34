// The marks of the runs a report has taken, by which a copy of a run is
// known. A million runs leave a million marks, so they sit in one
// open-addressed table of 8 bytes a slot, at most three quarters full:
// a node-based set would take about five times that and one allocation a
// mark.
#ifndef TOLVANE_HISTORY_RUNMARKS_H
#define TOLVANE_HISTORY_RUNMARKS_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace history {

class RunMarks {
public:
    // True when mark was not there before (it is kept now), false for a
    // mark seen before.
    bool Insert(std::uint64_t mark);
    std::size_t Size() const { return m_count + (m_zero ? 1 : 0); }
    // The slots the table holds, for its bound.
    std::size_t Capacity() const { return m_slots.size(); }

private:
    void Grow();
    std::size_t SlotOf(std::uint64_t mark) const;
    // Places a mark known to be new in a table with room.
    void Place(std::uint64_t mark);

    // 0 marks a free slot; the mark 0 itself is kept apart.
    std::vector<std::uint64_t> m_slots;
    unsigned m_bits = 0;
    std::size_t m_count = 0;
    bool m_zero = false;
};

} // namespace history

#endif
