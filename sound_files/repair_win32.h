// Repair of a WAVE file whose recording never closed.
#pragma once

// True when file_name was repaired, false when it cannot be. Shows no message.
bool RepairWave();
