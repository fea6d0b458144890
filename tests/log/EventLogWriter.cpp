// Test helper: reports one error, one warning and one information line to the
// event log, the last under another source name.
#include "log/Logger.h"

int main() {
    LogMessage(LogLevelError | LogFlagEventLog, 0x89, 1, L"Event error %d\n", 1);
    LogMessage(LogLevelWarning | LogFlagEventLog, 0x89, 2, L"Event warning %d\n", 2);
    LogMessage(LogLevelInfo, 0x89, 3, L"Not for the event log\n");
    SetLogEventSourceName(L"Other Source");
    LogMessage(LogLevelDebug | LogFlagEventLog, 0x89, 4, L"Event debug %d\n", 4);
    return 0;
}
