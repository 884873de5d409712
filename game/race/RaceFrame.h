#pragma once
// The race screen's frame: move and draw, the head-up display, the clock and the level's
// end, the controls, and the course generator.
#include <cstdint>

class TMForm;

void RaceFrame(TMForm& form, int32_t lagCount);
