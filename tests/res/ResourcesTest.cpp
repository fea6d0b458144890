// The compiled resources as the program sees them: every language's template
// and strings, the art, and the manifest's effect on the process.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/res/DialogTemplate.h"

namespace {

struct Language {
    LANGID id;
    const char* name;
};

const Language kLanguages[] = {
    {1033, "English"}, {1031, "German"},  {1036, "French"},     {1040, "Italian"},
    {1041, "Japanese"}, {1042, "Korean"}, {1043, "Dutch"},      {1046, "PortugueseBrazil"},
    {3082, "Spanish"},  {1028, "ChineseTraditional"}, {4, "ChineseSimplified"},
};
const LANGID kEnglish = 1033;

const std::map<UINT, std::wstring> kEnglishStrings = {
    {IDS_DETECTED_BITS, L"Detected %d bit operating system.\r\n"},
    {IDS_DOWNLOADING, L"Downloading %s...\r\n"},
    {IDS_NO_RESOURCES,
     L"Not enough system resources to perform this task, close some applications and try again."},
    {IDS_DOWNLOAD_FAILED, L"Failed to download file, check your internet connection and try again."},
    {IDS_INSTALLER_FAILED, L"Failed to start MSI installer."},
    {IDS_DETECTED_ARM, L"Detected x86 emulation on ARM operating system.\r\n"},
    {IDS_ADMIN_PROMPT,
     L"To install Corvantis Client (Full) you might be prompted to enter an administrator password.\r\n"},
    {IDS_CANCEL, L"Cancel"},
    {IDS_UNSUPPORTED_OS, L"Corvantis Client requires Windows 10 or Windows Server 2012 R2 or newer."},
};

HMODULE ResourceModule() { return GetModuleHandleW(nullptr); }

struct Bytes {
    const BYTE* data = nullptr;
    DWORD size = 0;
};

std::optional<Bytes> FindBytes(LPCWSTR type, LPCWSTR name, LANGID language) {
    HRSRC found = FindResourceExW(ResourceModule(), type, name, language);
    if (!found)
        return std::nullopt;
    HGLOBAL loaded = LoadResource(ResourceModule(), found);
    if (!loaded)
        return std::nullopt;
    return Bytes{static_cast<const BYTE*>(LockResource(loaded)), SizeofResource(ResourceModule(), found)};
}

// A string in exactly the given language, read from its block of sixteen.
std::optional<std::wstring> LoadStringIn(UINT id, LANGID language) {
    auto block = FindBytes(RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    if (!block)
        return std::nullopt;
    const WCHAR* p = reinterpret_cast<const WCHAR*>(block->data);
    const WCHAR* end = p + block->size / sizeof(WCHAR);
    for (UINT i = 0; i < id % 16; ++i) {
        if (p >= end)
            return std::nullopt;
        p += 1 + *p;
    }
    if (p >= end || *p == 0 || p + 1 + *p > end)
        return std::nullopt;
    return std::wstring(p + 1, *p);
}

std::optional<ResTest::DialogTemplate> LoadTemplateIn(LANGID language) {
    auto bytes = FindBytes(RT_DIALOG, MAKEINTRESOURCEW(IDD_TARNWICK_DIALOG), language);
    if (!bytes)
        return std::nullopt;
    return ResTest::ParseDialogTemplate(bytes->data, bytes->size);
}

// The printf conversions of a text in order, and whether it ends a line.
struct TextShape {
    std::vector<std::wstring> conversions;
    bool endsWithLineEnd = false;
    size_t lineEnds = 0;
    bool operator==(const TextShape& o) const {
        return conversions == o.conversions && endsWithLineEnd == o.endsWithLineEnd && lineEnds == o.lineEnds;
    }
};

TextShape ShapeOf(const std::wstring& text) {
    TextShape shape;
    static const std::wregex conversion(L"%[-+ #0]*[0-9]*(\\.[0-9]+)?(hh|h|ll|l|I64|I32)?[a-zA-Z%]");
    for (std::wsregex_iterator it(text.begin(), text.end(), conversion), end; it != end; ++it)
        shape.conversions.push_back(it->str());
    shape.endsWithLineEnd = text.size() >= 2 && text.compare(text.size() - 2, 2, L"\r\n") == 0;
    for (size_t at = text.find(L'\n'); at != std::wstring::npos; at = text.find(L'\n', at + 1))
        ++shape.lineEnds;
    return shape;
}

std::string Narrow(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    return out;
}

// One mnemonic: a single '&' that is not part of "&&" and is followed by a letter.
bool HasOneMnemonic(const std::wstring& text) {
    int mnemonics = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'&')
            continue;
        if (i + 1 < text.size() && text[i + 1] == L'&') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size() || iswspace(text[i + 1]))
            return false;
        ++mnemonics;
    }
    return mnemonics == 1;
}

void PrintTo(const Language& language, std::ostream* out) { *out << language.name << " (" << language.id << ")"; }

class EachLanguage : public ::testing::TestWithParam<Language> {};

INSTANTIATE_TEST_SUITE_P(Resources, EachLanguage, ::testing::ValuesIn(kLanguages),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EnglishResources, StringsAreTheProductTexts) {
    for (const auto& [id, text] : kEnglishStrings) {
        auto loaded = LoadStringIn(id, kEnglish);
        ASSERT_TRUE(loaded) << "string " << id;
        EXPECT_EQ(*loaded, text) << "string " << id;
    }
}

// Translations keep what the code relies on: every id, the same printf
// conversions in the same order, and the same line ends.
TEST_P(EachLanguage, HasEveryStringWithTheEnglishShape) {
    const LANGID language = GetParam().id;
    for (const auto& [id, english] : kEnglishStrings) {
        auto text = LoadStringIn(id, language);
        ASSERT_TRUE(text) << "string " << id << " missing";
        EXPECT_EQ(ShapeOf(*text), ShapeOf(english)) << "string " << id << ": " << Narrow(*text);
        if (language != kEnglish && id != IDS_DOWNLOADING) {
            EXPECT_NE(*text, english) << "string " << id << " is not translated";
        }
    }
}

TEST_P(EachLanguage, TemplateHasTheDialogsControls) {
    auto dialog = LoadTemplateIn(GetParam().id);
    ASSERT_TRUE(dialog) << "template 102 missing or malformed";
    auto english = LoadTemplateIn(kEnglish);
    ASSERT_TRUE(english);

    EXPECT_EQ(dialog->style, 0x90CA0048u);
    EXPECT_EQ(dialog->exStyle, 0x00040000u);
    EXPECT_EQ(dialog->cx, 295);
    EXPECT_EQ(dialog->cy, 140);
    EXPECT_EQ(dialog->typeface, L"MS Shell Dlg");
    EXPECT_EQ(dialog->pointSize, 8);
    EXPECT_FALSE(dialog->caption.empty());
    if (GetParam().id != kEnglish) {
        EXPECT_NE(dialog->caption, english->caption) << "caption is not translated";
    }

    // A template may name a system class or give its ordinal (0x80 button,
    // 0x81 edit, 0x82 static); the dialog manager takes both.
    struct Expected {
        DWORD id;
        WORD classOrdinal;
        const wchar_t* className;
        DWORD style;
    };
    const Expected expected[] = {
        {IDCANCEL, 0x80, L"Button", 0x50010000},
        {IDC_PROGRESS, 0, PROGRESS_CLASSW, 0x50800000},
        {IDC_BANNER, 0x82, L"Static", 0x50000E0E},
        {IDC_STATUS, 0x81, L"Edit", 0x50800804},
        {IDC_FULL, 0x80, L"Button", 0x50010000},
        {IDC_BASIC, 0x80, L"Button", 0x50010000},
    };
    ASSERT_EQ(dialog->items.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const auto& item = dialog->items[i];
        const auto& want = expected[i];
        SCOPED_TRACE("control " + std::to_string(want.id));
        EXPECT_EQ(item.id, want.id);
        EXPECT_EQ(item.style, want.style);
        EXPECT_EQ(item.exStyle, 0u);
        const bool classMatches = item.windowClass.ordinal
                                      ? item.windowClass.ordinal == want.classOrdinal
                                      : lstrcmpiW(item.windowClass.name.c_str(), want.className) == 0;
        EXPECT_TRUE(classMatches) << Narrow(item.windowClass.name) << " / " << item.windowClass.ordinal;
    }
    EXPECT_EQ(dialog->items[2].text.ordinal, IDB_BANNER);
}

// Only the three buttons may move; they stay on the English row, inside the
// dialog's margins, apart from each other, and each carries one mnemonic.
TEST_P(EachLanguage, ButtonsStayInTheirRow) {
    auto dialog = LoadTemplateIn(GetParam().id);
    auto english = LoadTemplateIn(kEnglish);
    ASSERT_TRUE(dialog && english);
    ASSERT_EQ(dialog->items.size(), english->items.size());

    std::vector<const ResTest::DialogItem*> buttons;
    for (size_t i = 0; i < dialog->items.size(); ++i) {
        const auto& item = dialog->items[i];
        const auto& base = english->items[i];
        SCOPED_TRACE("control " + std::to_string(item.id));
        const bool button = item.id == IDCANCEL || item.id == IDC_FULL || item.id == IDC_BASIC;
        if (!button) {
            EXPECT_EQ(item.x, base.x);
            EXPECT_EQ(item.y, base.y);
            EXPECT_EQ(item.cx, base.cx);
            EXPECT_EQ(item.cy, base.cy);
            continue;
        }
        buttons.push_back(&item);
        EXPECT_EQ(item.y, base.y);
        EXPECT_EQ(item.cy, base.cy);
        EXPECT_GE(item.cx, 40);
        EXPECT_GE(item.x, 7);
        EXPECT_LE(item.x + item.cx, dialog->cx - 7);
        if (item.id != IDCANCEL) {
            EXPECT_TRUE(HasOneMnemonic(item.text.name)) << Narrow(item.text.name);
        }
        if (GetParam().id != kEnglish) {
            EXPECT_NE(item.text.name, base.text.name) << "not translated";
        }
    }
    for (size_t a = 0; a < buttons.size(); ++a)
        for (size_t b = a + 1; b < buttons.size(); ++b) {
            const bool apart = buttons[a]->x + buttons[a]->cx < buttons[b]->x ||
                               buttons[b]->x + buttons[b]->cx < buttons[a]->x;
            EXPECT_TRUE(apart) << "buttons " << buttons[a]->id << " and " << buttons[b]->id << " overlap";
        }
}

INT_PTR CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// Pixels the text needs in the control's font, single line, '&' as mnemonic.
int TextWidthIn(HWND control, const std::wstring& text) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT needed{};
    DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return needed.right - needed.left;
}

// The real dialog, built from the template: each button's text, measured in
// the button's own font, fits inside the button; so does "Cancel" (string
// 1006), which button 2 shows once the work has started.
TEST_P(EachLanguage, ButtonTextsFitTheirButtons) {
    INITCOMMONCONTROLSEX init{sizeof(init), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&init);
    auto bytes = FindBytes(RT_DIALOG, MAKEINTRESOURCEW(IDD_TARNWICK_DIALOG), GetParam().id);
    ASSERT_TRUE(bytes);
    auto cancel = LoadStringIn(IDS_CANCEL, GetParam().id);
    ASSERT_TRUE(cancel);
    HWND dialog = CreateDialogIndirectParamW(ResourceModule(), reinterpret_cast<LPCDLGTEMPLATEW>(bytes->data),
                                             nullptr, IgnoreMessages, 0);
    ASSERT_NE(dialog, nullptr) << GetLastError();
    for (int id : {IDC_FULL, IDC_BASIC, IDCANCEL}) {
        HWND button = GetDlgItem(dialog, id);
        ASSERT_NE(button, nullptr);
        WCHAR text[256] = {};
        GetWindowTextW(button, text, 256);
        std::vector<std::wstring> texts{text};
        if (id == IDCANCEL)
            texts.push_back(*cancel);
        RECT client{};
        GetClientRect(button, &client);
        // A push button draws its text inside a border and focus rectangle.
        const int margin = 8;
        for (const auto& shown : texts) {
            const int needed = TextWidthIn(button, shown);
            EXPECT_LE(needed + margin, client.right - client.left)
                << "button " << id << " \"" << Narrow(shown) << "\" needs " << needed << " px, has "
                << client.right - client.left;
        }
    }
    DestroyWindow(dialog);
}

TEST(ArtResources, BannerIsA24BitPictureOfTheControlsSize) {
    auto bytes = FindBytes(RT_BITMAP, MAKEINTRESOURCEW(IDB_BANNER), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    ASSERT_TRUE(bytes);
    ASSERT_GE(bytes->size, sizeof(BITMAPINFOHEADER));
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(bytes->data);
    EXPECT_EQ(header->biWidth, 422);
    EXPECT_EQ(abs(header->biHeight), 79);
    EXPECT_EQ(header->biBitCount, 24);
    EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB));

    HBITMAP bitmap = LoadBitmapW(ResourceModule(), MAKEINTRESOURCEW(IDB_BANNER));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    GetObjectW(bitmap, sizeof(info), &info);
    EXPECT_EQ(info.bmWidth, 422);
    EXPECT_EQ(info.bmHeight, 79);
    DeleteObject(bitmap);
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colors, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(ArtResources, IconGroupHasThirteen32BitImages) {
    auto group = FindBytes(RT_GROUP_ICON, MAKEINTRESOURCEW(IDR_MAINFRAME), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    ASSERT_TRUE(group);
    const WORD* header = reinterpret_cast<const WORD*>(group->data);
    ASSERT_EQ(header[1], 1) << "not an icon group";
    ASSERT_EQ(header[2], 13);
    ASSERT_GE(group->size, 6 + 13 * sizeof(GroupIconEntry));
    const auto* entries = reinterpret_cast<const GroupIconEntry*>(group->data + 6);
    std::vector<int> sizes;
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(entries[i].bitCount, 32) << "image " << i;
        sizes.push_back(entries[i].width == 0 ? 256 : entries[i].width);
        EXPECT_TRUE(FindResourceW(ResourceModule(), MAKEINTRESOURCEW(entries[i].id), RT_ICON)) << "image " << i;
    }
    for (int wanted : {16, 24, 32, 48, 256})
        EXPECT_NE(std::find(sizes.begin(), sizes.end(), wanted), sizes.end()) << wanted << " px missing";

    for (int px : {16, 32, 48, 256}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(ResourceModule(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, px, px, 0));
        EXPECT_NE(icon, nullptr) << px << " px";
        if (icon)
            DestroyIcon(icon);
    }
}

TEST(Manifest, IsEmbeddedWithTheProgramsSettings) {
    HRSRC found = FindResourceW(ResourceModule(), MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(found, nullptr);
    auto bytes = FindBytes(RT_MANIFEST, MAKEINTRESOURCEW(1), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    ASSERT_TRUE(bytes);
    const std::string xml(reinterpret_cast<const char*>(bytes->data), bytes->size);
    for (const char* part : {"<description>Corvantis Client Downloader</description>",
                             "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                             "level=\"asInvoker\" uiAccess=\"false\"", ">true</dpiAware>",
                             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}"})
        EXPECT_NE(xml.find(part), std::string::npos) << part;
}

// The manifest takes effect: the version queries see Windows 10 (the test
// prefix is set to it) and the Common Controls are version 6.
TEST(Manifest, GivesWindows10AndCommonControls6) {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(GetVersionExW(&version));
#pragma GCC diagnostic pop
    EXPECT_EQ(version.dwMajorVersion, 10u);
    EXPECT_EQ(version.dwMinorVersion, 0u);

    // The version the library reports does not tell (Wine's version 6
    // reports 5.81); where it was loaded from does.
    HMODULE comctl = LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    ASSERT_NE(comctl, nullptr);
    WCHAR path[MAX_PATH] = {};
    GetModuleFileNameW(comctl, path, MAX_PATH);
    CharLowerW(path);
    EXPECT_NE(wcsstr(path, L"microsoft.windows.common-controls_6595b64144ccf1df_6."), nullptr) << Narrow(path);
    FreeLibrary(comctl);
}

}  // namespace
