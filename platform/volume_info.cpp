#include "platform/volume_info.h"

#include <sys/statfs.h>
#include <sys/statvfs.h>

#include <cerrno>

#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "platform/file_errno.h"

namespace tidemark {
namespace {

// statfs f_type values (linux/magic.h).
constexpr std::uint32_t kExtMagic = 0xEF53;  // ext2, ext3, ext4
constexpr std::uint32_t kXfsMagic = 0x58465342;
constexpr std::uint32_t kBtrfsMagic = 0x9123683E;
constexpr std::uint32_t kF2fsMagic = 0xF2F52010;
constexpr std::uint32_t kTmpfsMagic = 0x01021994;
constexpr std::uint32_t kRamfsMagic = 0x858458F6;
constexpr std::uint32_t kOverlayMagic = 0x794C7630;
constexpr std::uint32_t kZfsMagic = 0x2FC12FC1;
// Network and user-space file systems.
constexpr std::uint32_t kRemoteMagics[] = {
    0x6969,      // nfs
    0x517B,      // smb
    0xFF534D42,  // cifs
    0xFE534D42,  // smb2
    0x01021997,  // 9p
    0x65735546,  // fuse, fuseblk, virtiofs
    0x00C36400,  // ceph
    0x5346414F,  // afs
    0x6B414653,  // kafs
    0x73757245,  // coda
    0x564C,      // ncp
    0x13661366,  // orangefs
    0x0BD00BD0,  // lustre
    0x47504653,  // gpfs
};

void Fill(const struct statvfs& vfs, const struct statfs& fs, VolumeInfo* info) {
  const std::uint64_t bsize = vfs.f_bsize;
  info->sector_size = static_cast<std::uint32_t>(bsize < kMaxSectorSize ? bsize : kMaxSectorSize);
  const std::uint64_t frsize = vfs.f_frsize ? vfs.f_frsize : bsize;
  info->cluster_size = frsize;
  info->free_bytes = static_cast<std::uint64_t>(vfs.f_bavail) * frsize;
  info->total_bytes = static_cast<std::uint64_t>(vfs.f_blocks) * frsize;
  info->fs_magic = static_cast<std::uint32_t>(fs.f_type);
  info->local_disk = IsLocalDiskFileSystem(info->fs_magic);
}

// Runs one volume system call through the fault seam; returns errno or 0.
template <typename Call>
int VolumeCall(Call call) {
  const fault::FaultDecision d = fault::CheckFault(fault::kStatvfs);
  if (d.fire) return d.error;
  return call() == 0 ? 0 : errno;
}

}  // namespace

bool IsLocalDiskFileSystem(std::uint32_t fs_magic) {
  switch (fs_magic) {
    case kExtMagic:
    case kXfsMagic:
    case kBtrfsMagic:
    case kF2fsMagic:
    case kTmpfsMagic:
    case kRamfsMagic:
    case kOverlayMagic:
    case kZfsMagic:
      return true;
    default:
      return false;
  }
}

bool IsRemoteFileSystem(std::uint32_t fs_magic) {
  for (const std::uint32_t magic : kRemoteMagics)
    if (magic == fs_magic) return true;
  return false;
}

Error QueryVolume(const std::string& path, VolumeInfo* info) {
  struct statvfs vfs {};
  struct statfs fs {};
  int e = VolumeCall([&] { return statvfs(path.c_str(), &vfs); });
  if (e == 0) e = VolumeCall([&] { return statfs(path.c_str(), &fs); });
  if (e != 0) return detail::SetLastFileErrno(e);
  Fill(vfs, fs, info);
  return detail::SetLastFileErrno(0);
}

namespace detail {

Error QueryVolumeOfDescriptor(int fd, VolumeInfo* info, int* os_errno) {
  struct statvfs vfs {};
  struct statfs fs {};
  int e = VolumeCall([&] { return fstatvfs(fd, &vfs); });
  if (e == 0) e = VolumeCall([&] { return fstatfs(fd, &fs); });
  if (e != 0) {
    *os_errno = e;
    return err::OsError(e);
  }
  Fill(vfs, fs, info);
  return err::kOk;
}

}  // namespace detail
}  // namespace tidemark
