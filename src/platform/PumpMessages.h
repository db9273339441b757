#pragma once
// PumpMessages: three passes of pending-event processing. Never blocks.
// Used right after a status text changes (so it is painted) and in polling
// loops so that buttons such as Stop keep working while a run holds the thread.
void PumpMessages();
