#pragma once
// Resources in the interface language the user chose. The language is kept here,
// process-wide, and every template and string is looked up in it explicitly: the
// thread's UI language alone does not reach the resource loader on every system,
// and the worker thread must show its texts in the same language as the dialog.
#include <windows.h>
#include <string>

namespace Framework {

// 0 means "no choice": resources come in the system's own choice of language.
void SetResourceLanguage(LANGID language);
LANGID GetResourceLanguage();

// The module that holds the program's resources (the executable).
HMODULE GetResourceModule();

// Finds a resource in the chosen language, else wherever the system finds it.
HRSRC FindLocalizedResource(HMODULE module, LPCWSTR type, LPCWSTR name);

// Loads string `id` in `language` (0: system choice), falling back to the
// system's choice when that language lacks it. Empty when the string is missing.
std::wstring LoadStringInLanguage(HMODULE module, UINT id, LANGID language);

// Loads string `id` from the resource module in the chosen language.
std::wstring LoadLocalizedString(UINT id);

}  // namespace Framework
