#pragma once
// A game reduced to a digest of its whole race state (a replay checks its end by it) and
// the headless runner's state line.
#include <cstdint>
#include <string>

class TMForm;

// 64-bit FNV-1a over the race globals, every field of the boat and of the race's own
// sprites, every used course slot's object and the generator's state.
uint64_t RaceChecksum(const TMForm& form);
// The same over the race alone: what the player and the course came to, without the
// boat's picture, the name typed, the speedometer's shake and the screens and dialogs
// around the race. Equal for one race whatever was done before or after it.
uint64_t RaceDigest(const TMForm& form);

// "frame=.. screen=.. dialog=.. level=.. score=.. lives=.. time_left=.. speed=.. x=.. y=..
// scroll=.. track_objects=.. checksum=.."
std::string StateLine(const TMForm& form, uint64_t frame);
