#pragma once
// The window's layout kept between runs in the user's configuration folder (layout.ini): its size,
// place and whether it is maximised, the widths of the scan page's panes, and the widths the user
// gave the list's columns by hand.
#include <filesystem>

namespace dunmere {

class CMainWnd;

// The layout file: layout.ini in the configuration folder; empty when no such folder is known.
std::filesystem::path WindowLayoutFile();
// Gives the window the layout kept in file; returns whether the window's size and place were kept.
bool RestoreWindowLayout(CMainWnd& window, const std::filesystem::path& file);
// Keeps the window's layout in file (its folder made when missing); false when it could not be written.
bool SaveWindowLayout(const CMainWnd& window, const std::filesystem::path& file);

}  // namespace dunmere
