// Resource identifiers shared by the resource script and the C++ code.
// Only plain #defines here: the resource compiler reads this file too.
#pragma once

// Dialog template and its controls.
#define IDD_TARNWICK_DIALOG     102
#define IDC_PROGRESS            1001
#define IDC_FULL                1002
#define IDC_BASIC               1003
#define IDC_STATUS              1005
#define IDC_BANNER              1007

// Art.
#define IDR_MAINFRAME           128
#define IDB_BANNER              129

// String table.
#define IDS_DETECTED_BITS       102
#define IDS_DOWNLOADING         103
#define IDS_NO_RESOURCES        104
#define IDS_DOWNLOAD_FAILED     105
#define IDS_INSTALLER_FAILED    106
#define IDS_DETECTED_ARM        108
#define IDS_ADMIN_PROMPT        1004
#define IDS_CANCEL              1006
#define IDS_UNSUPPORTED_OS      8141
