#include "sound_files/disk_space.h"

#include <algorithm>

#include "base/windows_version.h"

std::string DiskRootFor(bool has_path, const std::string& path, unsigned windows_version,
                        const std::string& current_directory) {
  if (windows_version < kWindows400) return has_path ? path : std::string();
  if (has_path && path.size() >= 2 && path[1] == ':') return path.substr(0, 1) + ":\\";
  if (current_directory.size() >= 2 && current_directory[1] == ':') return current_directory.substr(0, 3);
  return current_directory;
}

DriveFigures ComputeDriveFigures(uint32_t sectors_per_cluster, uint32_t bytes_per_sector, uint32_t free_clusters,
                                 uint32_t total_clusters) {
  DriveFigures figures;
  const uint64_t cluster = static_cast<uint64_t>(sectors_per_cluster) * bytes_per_sector;
  if (cluster == 0) return figures;
  // Each product fits in 64 bits (both factors are below 2^32).
  auto capped = [](uint64_t bytes) { return static_cast<uint32_t>(std::min<uint64_t>(bytes, DRIVE_BYTES_CAP)); };
  figures.cluster_bytes = capped(cluster);
  figures.disk_bytes = capped(total_clusters * cluster);
  figures.free_bytes = capped(free_clusters * cluster);
  figures.free_room = free_clusters * cluster;
  return figures;
}
