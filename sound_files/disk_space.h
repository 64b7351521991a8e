// The drive measurement's arithmetic: which root to ask about, and the free
// and total bytes capped at 2 GB (and the free bytes as they are).
#pragma once
#include <cstdint>
#include <string>

constexpr uint32_t DRIVE_BYTES_CAP = 0x80000000u;

struct DriveFigures {
  uint32_t free_bytes = 0;
  uint32_t disk_bytes = 0;
  uint32_t cluster_bytes = 0;
  // The free bytes uncapped: the room a streaming recording can fill, as it
  // goes on into the next files of its series past the size of one file.
  uint64_t free_room = 0;
};

// The root handed to the free-space query. From Windows 4.0 on: "X:\" for a
// path starting with a drive, else the current directory cut to "X:\" when it
// starts with a drive, else the current directory whole. Before 4.0 the path
// itself (empty: the current drive). `has_path` false means no path.
std::string DiskRootFor(bool has_path, const std::string& path, unsigned windows_version,
                        const std::string& current_directory);

// The figures from the query's four numbers. A drive that reports a cluster
// of 0 bytes gets all figures 0 (nothing can be stored on it).
DriveFigures ComputeDriveFigures(uint32_t sectors_per_cluster, uint32_t bytes_per_sector, uint32_t free_clusters,
                                 uint32_t total_clusters);
