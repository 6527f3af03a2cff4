// The printer's side of the transcript: the port monitor's calls in order,
// the port's writes grouped by what they carry, the status packets decoded.
#pragma once

#include <vector>

#include "qxlprint/transcript.h"
#include "rig/fake_port_monitor.h"

void ReportPort(const Transcript& out, const std::vector<PortCall>& calls);
