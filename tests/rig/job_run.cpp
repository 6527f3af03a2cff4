// Whole jobs for the end-to-end tests.
#include "rig/job_run.h"

#include <algorithm>
#include <iterator>

#include "core/printer_commands.h"
#include "rig/spool_file_builder.h"

std::vector<u8> ResetSequenceBytes() {
    std::vector<u8> bytes(RESET_ZEROS + sizeof RESET_COMMAND, 0);
    std::copy(std::begin(RESET_COMMAND), std::end(RESET_COMMAND), bytes.begin() + RESET_ZEROS);
    return bytes;
}

std::vector<u8> WithoutStatusRequests(const std::vector<u8>& bytes) {
    std::vector<u8> out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes.size() - i >= sizeof STATUS_REQUEST &&
            std::equal(std::begin(STATUS_REQUEST), std::end(STATUS_REQUEST), bytes.begin() + i)) {
            i += sizeof STATUS_REQUEST - 1;
            continue;
        }
        out.push_back(bytes[i]);
    }
    return out;
}

bool EndsWith(const std::vector<u8>& bytes, const std::vector<u8>& tail) {
    return bytes.size() >= tail.size() &&
           std::equal(tail.begin(), tail.end(), bytes.end() - tail.size());
}

PrinterPort PrinterPortFor(const std::string& portName) {
    if (portName.rfind("QXUSB", 0) == 0) return PrinterPort::Usb;
    if (portName.rfind("QXCOM", 0) == 0) return PrinterPort::Serial;
    if (portName.rfind("LPT", 0) == 0) return PrinterPort::Parallel;
    if (portName.rfind("NX", 0) == 0) return PrinterPort::Network;
    return PrinterPort::Other;
}

std::vector<u8> MultiCopySpoolFile(int copies) {
    SpoolRecordFields record;
    record.copies = static_cast<std::int16_t>(copies);
    record.data = BuildSimpleJob(1).portBytes;
    return SpoolRecordBytes(record);
}

JobRun::JobRun(const MonitorFace& face, const std::string& portName, const std::string& mode,
               const std::string& script, const std::function<void(MonitorTable&)>& editLower)
    : statmon(mode, script), name(portName) {
    spooler.use(face);
    printer().portKind = PrinterPortFor(portName);
    MonitorTable lowerTable = *lower.table();
    if (editLower) editLower(lowerTable);
    if (face.table2 != nullptr) {
        Monitor2Table lowerTable2 = lower.table2(lowerTable);
        opened = spooler.open(portName.c_str(), &lowerTable2, lower.instance()) != FALSE;
    } else {
        opened = spooler.open(portName.c_str(), &lowerTable) != FALSE;
    }
}

JobRun::~JobRun() {
    if (opened) spooler.close();
}
