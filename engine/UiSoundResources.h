// Feeds the module's "WAVE" resources to the process-wide UiSoundPlayer.
#pragma once

// Builds the player's tables from the module resources "click1.bin",
// "click2.bin" and "scratch.bin" on the first call in the process; later
// calls do nothing. A missing resource leaves its sound silent. Call at
// plug-in construction, not on the audio thread.
void LoadUiSoundResources();
