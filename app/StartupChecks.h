#pragma once
// Start-up's questions about the system: may the program run here, which Windows
// architecture is it on, and the interface language.
#include <windows.h>
#include <string>

#include "app/SystemQueries.h"

// The operating-system gate: Windows 8.1 (but not its home editions), Windows
// Server 2012 R2, and Windows 10, 11 and Server 2016 or later pass.
bool IsSupportedOperatingSystem(const SystemQueries& queries);

// Parts of the gate, exposed for tests.
bool IsHomeEdition(const SystemQueries& queries);
bool IsClientWindows(const SystemQueries& queries);

// True when the program runs on 64-bit Windows: a 32-bit process under WOW64,
// or, in a 64-bit build, always.
bool isWow64(const SystemQueries& queries);
// True when the machine's native architecture is ARM64.
bool isArm64(const SystemQueries& queries);

// Maps the program's own language codes ("DE", "JP", "CS", ...; any case) to a
// language identifier; an unknown code gives English (1033).
LANGID LanguageIdFromCode(const std::wstring& code);

// Selects the interface language for the calling thread and, for templates and
// strings, for the whole process. Returns the language identifier chosen.
LANGID SetInterfaceLanguage(const std::wstring& code);
