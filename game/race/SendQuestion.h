#pragma once
// The send question's Yes: "Отправка..." over the frozen race while the result goes to
// the online table off the frame loop; the notice closes when the request has ended.
class TMForm;

void SendResultOnline(TMForm& form);
// The sending notice's frame: once a frame's start has found the request ended, the race
// ends and the menu comes back.
void FinishSendingWhenDone(TMForm& form);
