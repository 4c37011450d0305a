// What a file system can do beyond plain POSIX calls, learnt per device from its first refusal so
// that a refused call is not tried again for every file; and a seam through which tests take a
// feature away, to run the fallbacks on any file system. For the File Manager sources only.
#pragma once

#include <sys/types.h>

namespace corvane {

/// The optional features the copy and move use, each with a fallback.
enum FileSystemFeature : unsigned {
    kUnnamedTemporaries = 1U << 0,  ///< O_TMPFILE
    kRenameNoReplace = 1U << 1,     ///< renameat2 with RENAME_NOREPLACE
    kCloning = 1U << 2,             ///< the FICLONE ioctl
    kKernelCopy = 1U << 3,          ///< copy_file_range
    kHardLinks = 1U << 4,           ///< linkat
    kModes = 1U << 5,               ///< fchmod to any permission bits
    kUserAttributes = 1U << 6,      ///< extended attributes of the user namespace
    kFolderOverEmpty = 1U << 7,     ///< a rename of a folder onto an empty folder, which it replaces
    kAttributeCallsAt = 1U << 8,    ///< getxattrat and its kin, a feature of the kernel (asked of device 0)
};

/// Whether the feature is worth trying on the file system of device.
bool FileSystemHas(dev_t device, FileSystemFeature feature);

/// Records that the file system of device refused the feature; it is not tried there again.
void FileSystemLacks(dev_t device, FileSystemFeature feature);

/// Records that copies onto the file system of device do without the feature (they cannot keep
/// their source's permissions or user attributes there), to be told once.
void FileSystemDropped(dev_t device, FileSystemFeature feature);

/// The features that copies onto device did without and that no earlier call has returned: each is
/// told once per process and file system.
unsigned TakeDroppedFeatures(dev_t device);

/// Test seam: the features in the mask count as missing on every file system, as if each had
/// refused them, until the mask is set again (0 gives everything back, and forgets what was learnt and told).
void WithholdFileSystemFeatures(unsigned features);

}  // namespace corvane
