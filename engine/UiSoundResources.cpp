#include "engine/UiSoundResources.h"

#include "engine/dsp/UiSoundPlayer.h"
#include "platform/Resources.h"

void LoadUiSoundResources()
{
    const char* type = UiSoundPlayer::kResourceType;
    UiSoundPlayer::Instance().LoadTables(FindModuleResource(type, UiSoundPlayer::kResourceNames[0]),
                                         FindModuleResource(type, UiSoundPlayer::kResourceNames[1]),
                                         FindModuleResource(type, UiSoundPlayer::kResourceNames[2]));
}
