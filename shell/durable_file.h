// A small file that is read whole and replaced whole, so that a reader (or a crash at any moment)
// sees either the old bytes or the new ones: a new file beside it renamed over it, or, where the
// folder allows no new file, a rewrite in place that puts the old bytes back when it fails.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace tavrin {

enum class ReadResult { kRead, kMissing, kFailed };

// Reads the whole regular file at `path` into `bytes`. Returns kMissing when there is no such
// file, kFailed when it cannot be read or is not a regular file (a folder, a FIFO: opening never
// blocks); `bytes` is then unspecified.
ReadResult ReadWholeFile(const std::string& path, std::string& bytes);

// Makes the file's new bytes from its old ones (empty for a file that does not exist yet), or
// returns nothing to leave the file as it is.
using FileEdit = std::function<std::optional<std::string>(const std::string& oldBytes)>;

// Replaces the file at `path` by what `edit` makes of it. A symbolic link stays a link and its
// target is replaced; the replacement keeps the old file's permissions (and owner where allowed);
// a missing file is created with its folders (mode 0700). The new file is synced, then renamed
// over the old one, then the folder is synced; where the folder refuses, a writable file is
// rewritten in place. A replacement by rename also removes the temporary files of this file's
// name that killed writers left in the folder (see durable_file.cpp). Returns false when the file
// could not be written, when it exists but is not writable, or when `edit` returned nothing; the
// file is then as it was.
bool ReplaceFileDurably(const std::string& path, const FileEdit& edit);

// `path` made absolute against the working folder, its "." parts dropped and nothing else changed;
// unchanged when it is absolute or empty already, or when the working folder is unknown. Never
// throws but for lack of memory.
std::string FullPath(const std::string& path);

// The last component of `path` (all of it when it holds no "/").
std::string BaseNameOf(const std::string& path);

// The system calls by which a replacement reaches the disk. Tests put recorders in their place to
// see the order of the steps, which no real power cut is needed to check.
struct DurableFileCalls {
  int (*open)(const char* path, int flags, mode_t mode);
  ssize_t (*pwrite)(int fd, const void* data, std::size_t size, off_t offset);
  int (*fsync)(int fd);
  int (*close)(int fd);
  int (*rename)(const char* from, const char* to);
};
// The calls in use now; at first the system's own.
DurableFileCalls& SystemCalls();

}  // namespace tavrin
