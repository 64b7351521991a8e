// The mixer's peak meter, the level source for compressed playback.
#pragma once

void OpenMixerMeter();
// Closes the mixer and frees its library at program end.
void CloseMixerMeter();
