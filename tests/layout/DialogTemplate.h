#pragma once
// Builds DLGTEMPLATEEX dialogs in memory so that each test gets exactly the
// controls it needs, and small helpers to measure them in pixels.
#include <windows.h>
#include <string>
#include <vector>

class DialogTemplate {
public:
    // A dialog of cx x cy dialog units in "MS Shell Dlg" 8 point.
    DialogTemplate(short cx, short cy, const wchar_t* font = L"MS Shell Dlg", WORD pointSize = 8);

    DialogTemplate& Add(DWORD id, const wchar_t* className, const wchar_t* text, DWORD style,
                        short x, short y, short cx, short cy, DWORD exStyle = 0);
    // Creates the dialog modeless and hidden on the calling thread.
    HWND Create() const;

private:
    void Word(WORD value);
    void Dword(DWORD value);
    void String(const wchar_t* text);
    void Align();

    std::vector<BYTE> bytes_;
    size_t countOffset_ = 0;
};

// Pixel values of dialog units for the dialog's font.
int DluX(HWND dialog, int dlu);
int DluY(HWND dialog, int dlu);
// A control's rectangle in the dialog's client coordinates.
RECT ControlRect(HWND dialog, int id);
SIZE ClientSize(HWND dialog);
// Moves a control to a rectangle given in dialog units.
void PlaceControl(HWND dialog, int id, int x, int y, int cx, int cy);
std::string Describe(const RECT& r);

// Destroys the dialog at the end of a test.
struct DialogWindow {
    HWND hwnd;
    explicit DialogWindow(HWND h) : hwnd(h) {}
    ~DialogWindow() { if (hwnd) DestroyWindow(hwnd); }
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;
    operator HWND() const { return hwnd; }
};

bool operator==(const RECT& a, const RECT& b);
