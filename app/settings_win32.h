// Reading and writing TAPEON.INI (%USERPROFILE%\TAPEON.INI, or the bare name,
// the Windows directory, without a user profile) with the system's profile
// functions.
#pragma once

// Fills app.settings from the file (missing keys give their defaults).
void ReadSettings();
// Writes app.settings to the file; failures are not reported.
void SaveSettings();
