#pragma once
// The monitor's whole session: one sample per poll, nothing discarded. Samples are kept in
// blocks of fixed size, so appending never moves what is stored (no pause while a large
// history is copied) and the memory grows by one block at a time.
//
// Beside the samples it keeps, for every span of RangeSpan polls and every row, the lowest
// and the highest curve point: a chart that shows hundreds of polls per pixel column finds
// each column's extremes from a few spans instead of every poll.

#include "monitor/monitorrows.h"

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

// The lowest and highest curve point (chart scale 0..100) of some polls; empty when none
// of them has a point.
struct TMonitorRange {
    float lo = 0;
    float hi = -1;
    bool isEmpty() const { return hi < lo; }
    void add(float y) {
        if (isEmpty()) {
            lo = hi = y;
        } else {
            lo = std::min(lo, y);
            hi = std::max(hi, y);
        }
    }
    void add(const TMonitorRange& other) {
        if (!other.isEmpty()) {
            add(other.lo);
            add(other.hi);
        }
    }
};

class TMonitorHistory {
public:
    static constexpr qsizetype BlockSize = 4096;
    static constexpr qsizetype RangeSpan = 16;

    void append(const TMonitorSample& sample);
    void clear();
    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    // Sample i (0 <= i < size()); the reference stays valid as long as the history.
    const TMonitorSample& at(qsizetype i) const {
        return m_blocks[size_t(i / BlockSize)]->samples[size_t(i % BlockSize)];
    }
    // The curve points of `row` from poll `first` up to, not including, poll `end`.
    TMonitorRange range(int row, qsizetype first, qsizetype end) const;

private:
    static constexpr qsizetype RangesPerBlock = BlockSize / RangeSpan;
    // By row, then span: the spans a chart column reads lie side by side.
    using TRowRanges = std::array<TMonitorRange, RangesPerBlock>;
    struct TBlock {
        std::array<TMonitorSample, BlockSize> samples;
        std::array<TRowRanges, MonitorRowCount> ranges;
    };

    std::vector<std::unique_ptr<TBlock>> m_blocks;
    qsizetype m_size = 0;
};
