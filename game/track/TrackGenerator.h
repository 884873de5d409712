#pragma once
// The course has no stored layout: objects are dropped in above the top of the screen as
// the boat travels, by the level's chances, the boat's speed and the level's parity.
#include <cstdint>

class TMForm;

// The object kind that chance index 1..28 places.
uint8_t ChanceKind(int32_t index);

// Places one object of the kind in the first free slot; false when there is none or the
// object would overlap another one.
bool AddTrackObject(TMForm& form, uint8_t kind);
// Beach umbrellas, beds and huts on the banks, more of them the faster the boat goes.
void SpawnBankDecor(TMForm& form);
// The finish line at the end of the level, a batch every 100 pixels, enemy boats.
void SpawnTrackObjects(TMForm& form);

// Whether the rectangle overlaps an object of a used slot other than the given one.
bool OverlapsTrackObject(TMForm& form, int32_t slot, double x, double y, double width,
                         double height);
// Closed rectangles: touching edges count as overlap.
bool RectsOverlap(double x1, double y1, double w1, double h1, double x2, double y2, double w2,
                  double h2);
