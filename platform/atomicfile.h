// Whole-file rewrites that cannot be seen half done: the new bytes go to a temporary file
// beside the target, which is flushed and then renamed over it; the directory is flushed
// after the rename. A crash at any moment leaves either the old file or the new one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace plat {

// False when any step fails, with errno saying why; the target is then untouched and the
// temporary file removed.
// A target that exists but that this process may not write is refused before anything is
// written. A target that is a symbolic link is replaced where the link points, made there when
// the link points to a file not made yet.
bool WriteFileAtomic(const std::string& path, const std::string& bytes);

// Removes what a process ended between writing and renaming left behind: the regular files in
// dir named as WriteFileAtomic names its temporary files, a target's name, ".tmp" and six
// letters or digits, for the target names that isTarget accepts, owned by this user and last
// changed more than ten minutes ago. Nothing else is touched.
void RemoveAbandonedTemporaryFiles(const std::string& dir,
                                   const std::function<bool(std::string_view)>& isTarget);

// Reads a whole regular file; false when it cannot be opened or read, when it is anything
// else (a FIFO, a device: refused without blocking), or when it holds more than maxBytes. At
// most maxBytes + 1 bytes are read, so a file larger than memory, or one that grows while it
// is read, is refused without filling memory first.
bool ReadWholeFile(const std::string& path, std::string& bytes, size_t maxBytes = SIZE_MAX);

// Tests only: called with the temporary file's path after it is complete and before the
// rename, so a test can end the process there. An empty hook removes it.
void SetAtomicWriteHook(std::function<void(const std::string&)> hook);

}  // namespace plat
