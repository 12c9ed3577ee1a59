#include "monitor/monitorhistory.h"

void TMonitorHistory::append(const TMonitorSample& sample) {
    if (m_size == qsizetype(m_blocks.size()) * BlockSize)
        m_blocks.push_back(std::make_unique<TMonitorSample[]>(size_t(BlockSize)));
    m_blocks.back()[size_t(m_size % BlockSize)] = sample;
    ++m_size;
}
