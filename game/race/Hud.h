#pragma once
// What the race draws by hand over its panels each frame: the speedometer needle, the
// level, score, clock and lives, and the seconds left of the upgrade that runs out first.
class TMForm;

void DrawSpeedNeedle(TMForm& form);
void StepNeedleWobble(TMForm& form);
void DrawHudNumbers(TMForm& form);
void DrawUpgradeTimer(TMForm& form);
