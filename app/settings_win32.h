// Reading and writing TAPEON.INI with the system's profile functions.
#pragma once

// The settings file: %USERPROFILE%\TAPEON.INI, or the bare name (the Windows
// directory) without a user profile. buffer holds 260 bytes.
void IniPath(char* buffer);
// Fills app.settings from the file (missing keys give their defaults).
void ReadSettings();
// Writes app.settings to the file; failures are not reported.
void SaveSettings();
