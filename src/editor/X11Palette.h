// The colours the X11 view and its file dialog draw with, those of the Windows controls.
#pragma once

#include <cstdint>

namespace tess::editor {

inline constexpr std::uint32_t kBackground = 0xF0F0F0;
inline constexpr std::uint32_t kInk = 0x000000;
inline constexpr std::uint32_t kGrey = 0x606060;
inline constexpr std::uint32_t kButtonFace = 0xE1E1E1;
inline constexpr std::uint32_t kButtonBorder = 0xADADAD;
inline constexpr std::uint32_t kPressed = 0xCCE4F7;
inline constexpr std::uint32_t kPressedBorder = 0x005499;
inline constexpr std::uint32_t kFieldBorder = 0x7A7A7A;
inline constexpr std::uint32_t kWhite = 0xFFFFFF;
inline constexpr std::uint32_t kTrack = 0xD6D6D6;
inline constexpr std::uint32_t kThumb = 0x007AD9;
inline constexpr std::uint32_t kSelection = 0x0078D7;
inline constexpr std::uint32_t kLink = 0x003399;

}  // namespace tess::editor
