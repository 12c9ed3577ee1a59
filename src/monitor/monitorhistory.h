#pragma once
// The monitor's whole session: one sample per poll, nothing discarded. Samples are kept in
// blocks of fixed size, so appending never moves what is stored (no pause while a large
// history is copied) and the memory grows by one block at a time.

#include "monitor/monitorrows.h"

#include <QtGlobal>

#include <memory>
#include <vector>

class TMonitorHistory {
public:
    static constexpr qsizetype BlockSize = 4096;

    void append(const TMonitorSample& sample);
    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    // Sample i (0 <= i < size()); the reference stays valid as long as the history.
    const TMonitorSample& at(qsizetype i) const {
        return m_blocks[size_t(i / BlockSize)][size_t(i % BlockSize)];
    }

private:
    std::vector<std::unique_ptr<TMonitorSample[]>> m_blocks;
    qsizetype m_size = 0;
};
