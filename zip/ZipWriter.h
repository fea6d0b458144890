#pragma once
// Writes files into a zip archive, one deflated entry per file, over minizip's zip
// interface. The log archiver packs each rotated log with it.
#include <string>
#include <string_view>

class CZipWriter {
public:
    // `utf8Names`: base names that the ANSI code page cannot hold are stored as
    // UTF-8 behind the 0x7F 0x7F mark that the extractor decodes, instead of "F_%x".
    explicit CZipWriter(bool utf8Names = false);
    ~CZipWriter();
    CZipWriter(const CZipWriter&) = delete;
    CZipWriter& operator=(const CZipWriter&) = delete;

    // Adds to an existing non-empty archive at `path`, or creates a new one.
    bool Open(const std::wstring& path);
    // Adds one entry, named by the file's bare name, holding the file's bytes.
    // A relative path is taken from the archive's folder.
    bool AddFile(const std::wstring& path);
    // Writes the central directory and the end record. False when they could not
    // be written, in which case the archive is not usable.
    bool Close();

    bool IsOpen() const { return archive_ != nullptr; }

private:
    void* archive_ = nullptr;
    std::wstring folder_;
    bool utf8Names_;
};

// The 8-bit form an entry name is stored under: the ANSI code page where it holds
// the name without loss; otherwise base name and extension are kept apart and each
// part the code page cannot hold becomes "F_%x" (with `utf8Names`, a base name
// becomes UTF-8 behind the 0x7F 0x7F mark instead).
std::string MakeStoredEntryName(std::wstring_view name, bool utf8Names);
