#include "monitor/monitordata.h"

TMonitorData MonitorData;

void ResetMonitorData() {
    MonitorData = TMonitorData{};
}
