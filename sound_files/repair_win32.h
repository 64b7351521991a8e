// Repair of a WAVE file whose recording never closed.
#pragma once

// 0 when file_name was repaired, 1 when it cannot be. Shows no message.
int RepairWave();
