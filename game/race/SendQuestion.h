#pragma once
// The send question's Yes: "Отправка..." over the frozen race while the result goes to
// the online table.
class TMForm;

void SendResultOnline(TMForm& form);
