// qxlprint's options: the job, the port, the printer's settings, media and
// faults, the application's answers, and what to write out.
#pragma once

#include <cstdint>
#include <string>

#include "common/args.h"
#include "core/status_packet.h"

// What the emulated printer does wrong; pages count from 1, 0 is off.
struct FaultScript {
    std::uint32_t stopBeforePage = 0;  // the status check before this page finds the bits, once
    std::uint8_t stopInfo1 = 0;        // errorInfo1 and errorInfo2 bits of the faults named
    std::uint8_t stopInfo2 = 0;
    std::uint32_t errorWhilePage = 0;  // an error status while this page prints, once
    std::uint8_t errorBits = ERROR1_NO_MEDIA;
    std::uint32_t gonePage = 0;  // gone from this page's status check on
    std::uint32_t slowMs = 0;    // each page takes this long to print
};

enum class Answer { Continue, Pause, Cancel };
enum class AppChoice { StandIn, Product };

struct PrintOptions {
    std::string job;
    std::string port = "QXUSB001";
    bool network = false;  // report the port as a network port whatever its name
    std::string printer = "Label";
    std::string driver = "Label Driver";
    long statusTimeout = 5, printTimeout = 60, lanSleep = 0;
    bool mediaGiven = false;
    long mediaWidth = 62, mediaType = 0x0A, mediaExtra = 0;
    long chunk = 4096;
    Answer answer = Answer::Continue;
    bool answerGiven = false;
    long pauseMs = 0;
    FaultScript faults;
    AppChoice app = AppChoice::StandIn;
    std::string appMode = "normal";
    std::string document;  // default: the job file's name
    bool json = false;
    bool raw = false;  // print a job that is not a valid job too
    std::string portFile, expect, pbmDir, dll, nxportmon;
    long timeoutSeconds = 120;
};

extern const char PRINT_HELP[];

// False with the status to end with: 0 after --help or --version,
// usageStatus after a one-line refusal on standard error.
bool ReadPrintOptions(int argc, char** argv, PrintOptions& options, int usageStatus, int& status);

// "cover open before page 2, a slow printer (300 ms a page)"; "none" without faults.
std::string DescribeFaults(const FaultScript& faults);
