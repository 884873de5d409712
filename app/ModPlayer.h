#pragma once
// The module player: loads tracker tunes (XM) and plays one at a time, looping its order
// list by itself, underneath the sound effects. Songs are plain handles, 0 for none.
#include <cstdint>
#include <span>

// Loads a whole module given as a game path; 0 when it is missing or not a readable module.
uintptr_t SongLoadFromFile(const char* fileName);
// The same from bytes already in memory.
uintptr_t SongLoadFromMemory(std::span<const uint8_t> bytes);
// Starts the song from its beginning in the background, in place of any other song.
void SongPlay(uintptr_t song);
// The order number playing now: 0 in the first order, 0 again after the song wraps.
int32_t SongGetOrder(uintptr_t song);
// Stops the song if it plays and releases it; the handle is dead afterwards.
void SongFree(uintptr_t song);

// Renders the playing song (silence without one), as the sound output's music source.
// Exposed so the mix can be measured and tested without a device.
void SongRender(int16_t* out, int frames);
