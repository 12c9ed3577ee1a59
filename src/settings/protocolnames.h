#pragma once
// The names the device understands, for completing what the user types in the terminal:
// the settings catalogue, the monitor's values, logos and screen lines, and the device
// actions. Indexed names appear once, as their stem with the opening bracket ("PPAR[").

#include <QStringList>

// Sorted, each once. "BOOT" is left out on purpose: it strands the device in its boot
// loader, so it is never offered.
QStringList ProtocolNames();

// The names of ProtocolNames() that begin with `prefix` (letter case ignored).
QStringList CompleteProtocolName(const QString& prefix);
