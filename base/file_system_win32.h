// Small questions to the file system that several layers ask.
#pragma once

// 0 when path does not exist, 1 for a directory, 2 otherwise.
int FileKind(const char* path);
