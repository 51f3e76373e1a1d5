// What the program needs to know about the volume a file lives on.
#pragma once

#include <cstdint>
#include <string>

#include "platform/error.h"

namespace tidemark {

struct VolumeInfo {
  std::uint32_t sector_size = 0;   // statvfs f_bsize, at most kMaxSectorSize
  std::uint64_t cluster_size = 0;  // statvfs f_frsize
  std::uint64_t free_bytes = 0;    // space this process may still use (f_bavail)
  std::uint64_t total_bytes = 0;
  std::uint32_t fs_magic = 0;      // statfs f_type
  bool local_disk = false;         // IsLocalDiskFileSystem(fs_magic)
};

inline constexpr std::uint32_t kMaxSectorSize = 0x40000;

// True for the local disk and memory file systems whose page cache the
// program may rely on: ext2/3/4, xfs, btrfs, f2fs, tmpfs, ramfs, overlay, zfs.
// False for network file systems (nfs, cifs/smb2, 9p, ...), FUSE and anything
// unknown.
bool IsLocalDiskFileSystem(std::uint32_t fs_magic);

// True for network file systems (nfs, smb/cifs, 9p, ceph, afs, coda, lustre,
// ...) and FUSE: what stands for a drive that is neither a fixed disk nor a
// RAM disk. Unknown local file systems (vfat, exfat, iso9660 ...) are not.
bool IsRemoteFileSystem(std::uint32_t fs_magic);

// Queries the volume holding `path`. Returns err::OsError(errno) on failure;
// LastFileErrno() gives the errno.
[[nodiscard]] Error QueryVolume(const std::string& path, VolumeInfo* info);

namespace detail {
// The same for an open descriptor; `*os_errno` receives errno on failure.
Error QueryVolumeOfDescriptor(int fd, VolumeInfo* info, int* os_errno);
}  // namespace detail

}  // namespace tidemark
