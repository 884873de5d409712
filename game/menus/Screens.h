#pragma once
// The secondary screens laid over the main menu: boat choice, help pages, high scores,
// options. The main menu's buttons stay underneath; pointing at another of them closes
// the screen at once.
#include <cstdint>

class TMForm;

void ShowBoatScreen(TMForm& form);
void BoatScreenFrame(TMForm& form, int32_t lagCount);
void CloseBoatScreen(TMForm& form);

void ShowHelpScreen(TMForm& form);
void HelpScreenFrame(TMForm& form, int32_t lagCount);
void CloseHelpScreen(TMForm& form);
// Turns to the previous (7) or next (8) page, wrapping round.
void TurnHelpPage(TMForm& form, int32_t button);

void ShowHighScoreScreen(TMForm& form);
void HighScoreScreenFrame(TMForm& form, int32_t lagCount);
void CloseHighScoreScreen(TMForm& form);
void DrawHighScores(TMForm& form);

void ShowOptionsScreen(TMForm& form);
void OptionsFrame(TMForm& form, int32_t lagCount);
void CloseOptionsScreen(TMForm& form);
void UpdateOptionCaptions(TMForm& form);
void StartEditing(TMForm& form);
void StopEditing(TMForm& form);
