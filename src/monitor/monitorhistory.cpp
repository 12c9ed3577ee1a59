#include "monitor/monitorhistory.h"

#include <algorithm>

void TMonitorHistory::append(const TMonitorSample& sample) {
    if (m_size == qsizetype(m_blocks.size()) * BlockSize)
        m_blocks.push_back(std::make_unique<TBlock>());
    TBlock& block = *m_blocks.back();
    const qsizetype index = m_size % BlockSize;
    block.samples[size_t(index)] = sample;
    const auto span = size_t(index / RangeSpan);
    for (int row = 0; row < MonitorRowCount; ++row) {
        TMonitorRange& range = block.ranges[size_t(row)][span];
        if (index % RangeSpan == 0)
            range = TMonitorRange();
        if (const std::optional<double> y = SamplePoint(sample, row))
            range.add(float(*y));
    }
    ++m_size;
}

void TMonitorHistory::clear() {
    m_blocks.clear();
    m_size = 0;
}

// The polls before the first whole span and after the last one one by one, the whole
// spans between from their kept extremes.
TMonitorRange TMonitorHistory::range(int row, qsizetype first, qsizetype end) const {
    TMonitorRange result;
    first = std::max<qsizetype>(first, 0);
    end = std::min(end, m_size);
    const auto addPolls = [&](qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to; ++i)
            if (const std::optional<double> y = SamplePoint(at(i), row))
                result.add(float(*y));
    };
    const qsizetype spanFirst = (first + RangeSpan - 1) / RangeSpan;
    const qsizetype spanEnd = end / RangeSpan;
    if (spanFirst >= spanEnd) {
        addPolls(first, end);
        return result;
    }
    addPolls(first, spanFirst * RangeSpan);
    for (qsizetype span = spanFirst; span < spanEnd;) { // block by block
        const TRowRanges& ranges = m_blocks[size_t(span / RangesPerBlock)]->ranges[size_t(row)];
        const qsizetype blockEnd = std::min(spanEnd, (span / RangesPerBlock + 1) * RangesPerBlock);
        for (; span < blockEnd; ++span)
            result.add(ranges[size_t(span % RangesPerBlock)]);
    }
    addPolls(spanEnd * RangeSpan, end);
    return result;
}
