// Tells the kind of port from its name (the network test needs the spooler and
// is made by the caller).
#pragma once

#include "core/platform.h"

struct PortClass {
    i16 portType;
    u16 lptNumber;  // 1..9 for a parallel port, else 0
};

// "xyzN" or "xyzN:" where xyz are the given lower-case letters (any case in the
// text) and N is 1..9.
bool IsDeviceName(const char* text, const char letters[3]);

// Classification by name alone; isNetworkPort is the result of the spooler test,
// which comes first.
PortClass ClassifyPortName(const char* name, bool isNetworkPort);
