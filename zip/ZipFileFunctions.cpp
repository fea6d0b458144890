#include "zip/ZipFileFunctions.h"

#include <cstdio>

namespace {

const wchar_t* OpenModeFor(int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ) return L"rb";
    if (mode & ZLIB_FILEFUNC_MODE_EXISTING) return L"r+b";
    if (mode & ZLIB_FILEFUNC_MODE_CREATE) return L"wb";
    return nullptr;
}

voidpf ZCALLBACK OpenWide(voidpf, const void* path, int mode) {
    const wchar_t* openMode = OpenModeFor(mode);
    if (path == nullptr || openMode == nullptr) return nullptr;
    return _wfopen(static_cast<const wchar_t*>(path), openMode);
}

uLong ZCALLBACK ReadStream(voidpf, voidpf stream, void* buffer, uLong size) {
    return static_cast<uLong>(fread(buffer, 1, size, static_cast<FILE*>(stream)));
}

uLong ZCALLBACK WriteStream(voidpf, voidpf stream, const void* buffer, uLong size) {
    return static_cast<uLong>(fwrite(buffer, 1, size, static_cast<FILE*>(stream)));
}

ZPOS64_T ZCALLBACK TellStream(voidpf, voidpf stream) {
    return static_cast<ZPOS64_T>(_ftelli64(static_cast<FILE*>(stream)));
}

long ZCALLBACK SeekStream(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    int whence;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_CUR: whence = SEEK_CUR; break;
    case ZLIB_FILEFUNC_SEEK_END: whence = SEEK_END; break;
    case ZLIB_FILEFUNC_SEEK_SET: whence = SEEK_SET; break;
    default: return -1;
    }
    // minizip passes negative relative offsets as wrapped unsigned values.
    return _fseeki64(static_cast<FILE*>(stream), static_cast<long long>(offset), whence) == 0 ? 0 : -1;
}

int ZCALLBACK CloseStream(voidpf, voidpf stream) {
    return fclose(static_cast<FILE*>(stream));
}

int ZCALLBACK StreamError(voidpf, voidpf stream) {
    return ferror(static_cast<FILE*>(stream));
}

}  // namespace

void FillWideFileFunctions(zlib_filefunc64_def* functions) {
    functions->zopen64_file = OpenWide;
    functions->zread_file = ReadStream;
    functions->zwrite_file = WriteStream;
    functions->ztell64_file = TellStream;
    functions->zseek64_file = SeekStream;
    functions->zclose_file = CloseStream;
    functions->zerror_file = StreamError;
    functions->opaque = nullptr;
}
