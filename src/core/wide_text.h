// Texts between the spooler's wide strings and the single-byte strings the
// monitor works with, in the system's ANSI code page. A port's name is one
// that converted exactly (monitor/wide_ops.cpp), so WideCopy of portName is
// the spooler's own name for the port, for a call that names it to the spooler.
#pragma once

#include "core/monitor2_table.h"

// A zero-initialised global-heap copy of text in the ANSI code page, or null
// (null text; no memory, with the last error set). exact tells whether every
// character had its own: a character the code page lacks becomes the default
// character, never a look-alike (no best fit), and exact turns false.
char* AnsiCopy(const WideChar* text, bool& exact);

// A zero-initialised global-heap wide copy of an ANSI text, or null (null
// text; no memory, with the last error set).
WideChar* WideCopy(const char* text);
