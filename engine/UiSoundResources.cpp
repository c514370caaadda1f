#include "engine/UiSoundResources.h"

#include "engine/dsp/UiSoundPlayer.h"
#include "platform/Resources.h"

void LoadUiSoundResources()
{
    UiSoundPlayer& player = UiSoundPlayer::Instance();
    if (player.TableLength(UiSoundPlayer::Sound::Scratch) > 0) {
        return;  // already built: skip the lookups
    }
    const char* type = UiSoundPlayer::kResourceType;
    player.LoadTables(FindModuleResource(type, UiSoundPlayer::kResourceNames[0]),
                      FindModuleResource(type, UiSoundPlayer::kResourceNames[1]),
                      FindModuleResource(type, UiSoundPlayer::kResourceNames[2]));
}
