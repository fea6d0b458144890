#pragma once
// Log file rotation: moves an outgrown log file aside under a dated name and hands
// it to the archiver.
#include <windows.h>
#include <cstdint>
#include <string>

class CLogger;

constexpr uint32_t DefaultMaxLogFileSize = 104857600;

// Called by the logger every few minutes, before it takes the write lock.
void CheckRotation(CLogger& logger);

// `path` with "_YYYY_MM_DD__HH_MM" (UTC) inserted before the last dot of the whole
// path, or appended when there is none.
std::wstring MakeRotatedName(const std::wstring& path, const SYSTEMTIME& utc);

// The logger's clock reading (seconds since 1970) as UTC calendar time.
SYSTEMTIME ClockSecondsToUtc(uint32_t seconds);
