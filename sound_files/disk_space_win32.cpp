// The drive measurement: one free-space query, the arithmetic is portable.
#include "sound_files/disk_space_win32.h"

#include <windows.h>

#include <string>

#include "base/app_state_win32.h"
#include "base/file_names_win32.h"
#include "base/windows_version.h"
#include "sound_files/current_file_win32.h"
#include "sound_files/disk_space.h"

DWORD MeasureDiskSpace(const char* path) {
  std::string root;
  const char* asked = path;  // before Windows 4.0 the path goes as it is
  if (app.windows_version >= kWindows400) {
    std::string current;
    if (!(path && path[0] && path[1] == ':')) current = CurrentDirectoryName();
    root = DiskRootFor(path != nullptr, path ? path : "", app.windows_version, current);
    asked = root.c_str();
  }
  DWORD sectors_per_cluster = 0, bytes_per_sector = 0, free_clusters = 0, total_clusters = 0;
  if (!DiskFreeSpaceNamed(asked, sectors_per_cluster, bytes_per_sector, free_clusters, total_clusters))
    sectors_per_cluster = bytes_per_sector = free_clusters = total_clusters = 0;
  const DriveFigures figures =
      ComputeDriveFigures(sectors_per_cluster, bytes_per_sector, free_clusters, total_clusters);
  CurrentFile& file = OwnedCurrentFile();
  file.free_bytes = figures.free_bytes;
  file.disk_bytes = figures.disk_bytes;
  file.cluster_bytes = figures.cluster_bytes;
  file.free_room = figures.free_room;
  return file.free_bytes;
}
