#pragma once
// What the print browser asks of the window that hosts it: the host flags it is given plus "dialog"
// (no text selection, no context menu), "no 3-D border" and "themes" (0x00040005), and how those
// flags are carried out on a Qt view.
#include <QWidget>
#include <cstdint>

namespace dunmere {

class CWebBrowserEventHandlerEx {
 public:
  static constexpr std::uint32_t kDialog = 0x00000001;
  static constexpr std::uint32_t kNo3DBorder = 0x00000004;
  static constexpr std::uint32_t kTheme = 0x00040000;

  // The host information asked for: what the browser gives, with the three flags added.
  static std::uint32_t HostFlags(std::uint32_t given) { return given | kDialog | kNo3DBorder | kTheme; }
  // Carries the flags out on view: no context menu and no frame (themes are Qt's own style).
  static void ApplyTo(QWidget* view, std::uint32_t flags);
};

}  // namespace dunmere
