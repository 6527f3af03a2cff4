// Texts between the spooler's wide strings and the single-byte strings the
// rest of the monitor works with, in the system's ANSI code page.
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
