// The listing of a ':' multi-copy spool file: its records, and the job the
// monitor's rebuild makes of it, page by page and copy by copy.
#pragma once

#include <string>

#include "qxlinspect/monitor_view.h"

// withRebuilt adds the rebuilt stream's full listing.
std::string SpoolListing(const Bytes& spool, bool withRebuilt,
                         size_t outputLimit = REBUILD_OUTPUT_LIMIT);
