// The spooler's side of one job: the monitor's table driven through
// OpenPortEx, StartDocPort, WritePort in chunks, EndDocPort and ClosePort,
// over the port monitor stand-in, each call shown as it returns among what the
// other parties did meanwhile.
#pragma once

#include <string>
#include <vector>

#include "core/monitor_table.h"
#include "qxlprint/live_report.h"
#include "qxlprint/print_options.h"
#include "rig/fake_port_monitor.h"

struct SpoolerResult {
    bool callsSucceeded = true;
    std::string failedCall;
};

SpoolerResult RunSpooler(LiveReport& live, MonitorTable* table, FakePortMonitor& lower,
                         const PrintOptions& options, const std::vector<u8>& job);
