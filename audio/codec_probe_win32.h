// Whether the wave output accepts MPEG Layer-3 and Ogg Vorbis data.
#pragma once

bool CanPlayMpegLayer3();
bool CanPlayOggVorbis();
