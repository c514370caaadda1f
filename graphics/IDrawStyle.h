// How things are drawn: colours, blends and text styles.
#pragma once

#include <cstdint>

class PixCachedFont;

struct IColour {
    int alpha = 255;
    int red = 0;
    int green = 0;
    int blue = 0;

    // alpha << 24 | red << 16 | green << 8 | blue.
    std::uint32_t Packed() const
    {
        return static_cast<std::uint32_t>(alpha & 0xFF) << 24 | static_cast<std::uint32_t>(red & 0xFF) << 16 |
               static_cast<std::uint32_t>(green & 0xFF) << 8 | static_cast<std::uint32_t>(blue & 0xFF);
    }
};

enum class BlendMethod : int { None = 0, Opaque = 1, Add = 2, Dodge = 3 };

struct IBlend {
    BlendMethod method = BlendMethod::None;
    float weight = 1.0f;
};

struct ITextStyle {
    enum Style : int { kNormal = 0, kBold = 1, kItalic = 2 };
    enum Align : int { kNear = 0, kCentre = 1, kFar = 2 };

    char font[32] = "Verdana";
    int size = 12;
    IColour colour{255, 0, 0, 0};
    IColour entryBackground{255, 255, 255, 255};
    IColour entryText{255, 0, 0, 0};
    int style = kNormal;
    int align = kCentre;
    int orientation = 0;                  // degrees
    int quality = 0;                      // 0 default, 1 not antialiased, 2 antialiased, 3 ClearType
    PixCachedFont* cachedFont = nullptr;  // owned by the font cache

    ITextStyle() = default;
    // A style of font (cut to 31 characters), size and colour, centred.
    ITextStyle(const char* face, int pixelSize, IColour textColour, int textStyle = kNormal,
               int alignment = kCentre);
};
