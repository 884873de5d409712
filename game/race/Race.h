#pragma once
// A race from the boat choice to the end of the game: setup, levels and their rules,
// tear-down, and whether the result makes the high-score table.
#include <cstdint>

class TMForm;

// Top speed, acceleration and braking of a boat type; the three boats differ only in looks.
struct TBoatRow {
  double MaxSpeed;
  double Acceleration;
  double BrakeStep;
};
// The row of boat type 1..3 (anything else reads as boat 1).
const TBoatRow& BoatTable(int32_t boatType);

// The level tables: the chances of level 1, and the factor on them from level 2 on.
double BaseSpawnChance(int32_t index);    // index 1..28

// Sets the race up for form.Race.SelectedBoat and starts level 1.
void StartRace(TMForm& form);
// Starts level n with its clock, course and chances, behind the level banner.
void StartLevel(TMForm& form, int32_t n);
// Frees the race's sprites and objects; the caller shows the main menu next.
void EndRace(TMForm& form);
// EndRace, then the main menu, which opens the high scores by itself.
void ReturnToMenuAfterRace(TMForm& form);

int32_t LevelTimeLimit(int32_t n);  // ms: 60 s for levels 1 and 2, 30 s more every two levels
int32_t LevelLength(int32_t n);     // course length: 24000 for levels 1 and 2, then 48000, ...

// Frees every object on the course.
void FreeTrackObjects(TMForm& form);

// Whether form.Race.Score beats an entry of the high-score table.
bool QualifiesForHighScore(TMForm& form);
