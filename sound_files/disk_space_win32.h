// The measurement of the drive a file is recorded on.
#pragma once
#include <windows.h>

// Measures the drive of path (none: the current drive) into free_bytes,
// disk_bytes and cluster_bytes; returns free_bytes.
DWORD MeasureDiskSpace(const char* path);
