// The status lamp's colours as Windows colour references (0x00BBGGRR).
#ifndef TOLVANE_UI_LAMPCOLOURS_H
#define TOLVANE_UI_LAMPCOLOURS_H

#include <cstdint>

using ColourRef = std::uint32_t;

constexpr ColourRef kLampRed = 0x0000FF;    // failure: 255, 0, 0
constexpr ColourRef kLampGreen = 0x00EC00;  // success, ready: 0, 236, 0
constexpr ColourRef kLampYellow = 0x00F9F9; // busy: 249, 249, 0
constexpr ColourRef kLampBlue = 0xFF8000;   // the loop waits for a board: 0, 128, 255

constexpr std::uint8_t RedOf(ColourRef colour)
{
    return static_cast<std::uint8_t>(colour);
}
constexpr std::uint8_t GreenOf(ColourRef colour)
{
    return static_cast<std::uint8_t>(colour >> 8);
}
constexpr std::uint8_t BlueOf(ColourRef colour)
{
    return static_cast<std::uint8_t>(colour >> 16);
}

#endif
