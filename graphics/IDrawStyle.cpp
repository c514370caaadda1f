#include "graphics/IDrawStyle.h"

#include <cstdio>

ITextStyle::ITextStyle(const char* face, int pixelSize, IColour textColour, int textStyle, int alignment)
    : size(pixelSize), colour(textColour), style(textStyle), align(alignment)
{
    std::snprintf(font, sizeof font, "%s", face != nullptr ? face : "");
}
