// The listing of a command stream: its blocks, commands and raster runs, and
// where the monitor's scanner cuts, splits, takes out and edits.
#pragma once

#include <string>

#include "qxlinspect/monitor_view.h"

std::string StreamListing(const Bytes& stream, const MonitorScan& scan);

// The closing summary: pages, blocks, segments, edits and what is sent.
std::string StreamSummary(const Bytes& stream, const MonitorScan& scan);
