// VOD.log: one time-stamped line per event, for the staff who look after a seat.
#pragma once
#include <cstdint>
#include <string>

namespace nilo {

// enable_log of config.ini; while 0, WriteLog touches nothing.
extern int g_bEnableLog;

// A log file longer than this is emptied before the next line.
constexpr uint64_t LOG_SIZE_LIMIT = 1048576;

// Appends "MM/DD hh:mm:ss text" and CR LF to VOD.log beside the executable, in
// the system ANSI code page. The file is opened without sharing for the one
// line and closed again; a line that cannot be written is dropped silently.
void WriteLog(std::u16string text);

}  // namespace nilo
