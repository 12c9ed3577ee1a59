#include "common/emulink.h"

#include "link/transport.h"
#include "settings/models.h"

EmuLink::EmuLink(int modelId, const QByteArray& version) : m_emu(modelId, version) {
    ResetTransport();
    ResetModels();
    if (!m_emu.start(&m_error))
        return;
    try {
        m_port.setDeviceName(m_emu.slavePath());
        m_port.setActive(true);
    } catch (const EComError& e) {
        m_error = e.message();
        return;
    }
    ComPort = &m_port;
    m_ok = true;
}

EmuLink::~EmuLink() {
    if (ComPort == &m_port)
        ComPort = nullptr;
    try {
        m_port.setActive(false);
    } catch (const EComError&) {
    }
    m_emu.stop();
}

QList<QByteArray> EmuLink::received() const {
    QList<QByteArray> lines;
    const auto trace = m_emu.trace();
    for (const auto& entry : trace)
        if (entry.received && !entry.line.isEmpty())
            lines.append(entry.line);
    return lines;
}

QList<QByteArray> EmuLink::writes() const {
    QList<QByteArray> lines;
    const auto all = received();
    for (const auto& line : all)
        if (line.contains('='))
            lines.append(line);
    return lines;
}
