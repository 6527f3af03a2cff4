// What qxlprint sets up around the monitor before a job: the driver's registry
// settings, the application's directory and answers, the network port monitor
// stand-in, and the emulated printer's media and faults.
#pragma once

#include <string>
#include <vector>

#include "qxlprint/print_options.h"
#include "rig/emulated_printer.h"

// Writes "Printer Driver" for the printer and the driver's settings (and, for
// the product application, "Headless"=1) under HKEY_LOCAL_MACHINE.
bool WriteDriverSettings(const PrintOptions& options, std::string& error);

// The directory the monitor finds QXSMON.EXE in: it starts "QXSMON.EXE QX28"
// without a path, and qxlprint.exe's own directory holds none, so Windows
// looks in the current directory next. False when it holds no QXSMON.EXE.
bool ApplicationDirectory(const PrintOptions& options, std::string& dir, std::string& error);

// The stand-in's reply script: the answer to every state the user can clear.
std::string AnswerScript(const PrintOptions& options);

void SetUpPrinter(EmulatedPrinter& printer, const PrintOptions& options, PrinterPort kind);

// path made absolute against the current directory; "" stays "".
std::string FullPath(const std::string& path);
