#pragma once
// minizip's stdio file functions, except that the archive is opened by a UTF-16
// path: pass a `const wchar_t*` wherever minizip's *_64 open calls take the
// `const void*` path (unzOpen2_64, zipOpen2_64).
#include <ioapi.h>

// Fills `functions` with _wfopen-based callbacks using 64-bit seeks and tells.
void FillWideFileFunctions(zlib_filefunc64_def* functions);
