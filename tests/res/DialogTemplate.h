// Reads an extended dialog template (DLGTEMPLATEEX) as stored in a resource.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace ResTest {

// A name or ordinal field of a template: the class, the text, the menu.
struct NameOrOrdinal {
    WORD ordinal = 0;    // non-zero when the field is an ordinal
    std::wstring name;
};

struct DialogItem {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    NameOrOrdinal windowClass;
    NameOrOrdinal text;
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring caption;
    WORD pointSize = 0;
    std::wstring typeface;
    std::vector<DialogItem> items;
};

// Parses `size` bytes at `data`; nothing when the bytes are not a well-formed
// extended template.
std::optional<DialogTemplate> ParseDialogTemplate(const void* data, size_t size);

}  // namespace ResTest
