#pragma once
// Deletion that falls back to moving aside, delete-on-close and delete-at-restart.
#include <string>

bool DeleteFileRobust(const std::wstring& path);
bool DeleteFolderRobust(const std::wstring& path);
bool DeleteFolderTree(const std::wstring& path);
