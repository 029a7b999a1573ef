#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace r7k {

namespace {

// A killed write's temporary file is taken as stale only when it is this old: a running write
// holds a lock on its file, and this covers the moment between creating the file and locking it.
constexpr auto kStaleTemporaryAge = std::chrono::seconds(60);

// The hidden name a write of `name` uses for its temporary file: "." + name + "." + six
// letters or digits (mkstemp's).
bool IsTemporaryName(const std::string& file, const std::string& name) {
  const std::string prefix = "." + name + ".";
  if (file.size() != prefix.size() + 6 || !file.starts_with(prefix)) return false;
  return std::all_of(file.begin() + static_cast<ptrdiff_t>(prefix.size()), file.end(),
                     [](unsigned char c) { return std::isalnum(c) != 0; });
}

// Removes the temporary files that killed writes of `target` left beside it: our own (same
// owner), old, plain files that no running write holds locked.
void RemoveStaleTemporaries(const std::filesystem::path& target) {
  const std::string name = target.filename().string();
  const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
  const auto oldest = std::chrono::system_clock::now() - kStaleTemporaryAge;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    if (!IsTemporaryName(it->path().filename().string(), name)) continue;
    const std::string path = it->path().string();
    struct stat before {};
    if (lstat(path.c_str(), &before) != 0 || !S_ISREG(before.st_mode) ||
        before.st_uid != geteuid() ||
        std::chrono::system_clock::from_time_t(before.st_mtime) > oldest)
      continue;
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat opened {};
    if (fstat(fd, &opened) == 0 && opened.st_dev == before.st_dev &&
        opened.st_ino == before.st_ino && flock(fd, LOCK_EX | LOCK_NB) == 0)
      unlink(path.c_str());
    close(fd);
  }
}

}  // namespace

bool WriteFileAtomically(const std::filesystem::path& requested, std::span<const uint8_t> bytes,
                         std::string* error) {
  auto fail = [&](int code) {
    if (error) *error = std::strerror(code);
    return false;
  };
  if (requested.filename().empty()) {
    if (error) *error = "not a file name";
    return false;
  }
  const auto target = WriteTarget(requested);
  if (!target) return fail(ELOOP);
  const std::filesystem::path& path = *target;
  // A hidden name beside the target, so the rename stays on one file system.
  std::string temp = (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(temp.data());
  if (fd < 0) return fail(errno);
  // The lock tells a later write that this file is not a leftover while it is being written.
  flock(fd, LOCK_EX);
  // mkstemp makes the file private; keep the mode of the file being replaced instead.
  struct stat old {};
  const mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  int code = fchmod(fd, mode) == 0 ? 0 : errno;
  size_t done = 0;
  while (code == 0 && done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      code = n < 0 ? errno : EIO;
    else
      done += static_cast<size_t>(n);
  }
  if (code == 0 && fsync(fd) != 0) code = errno;
  // Renamed while still locked, so no sweep takes the finished file for a leftover.
  if (code == 0 && std::rename(temp.c_str(), path.c_str()) != 0) code = errno;
  if (code != 0) unlink(temp.c_str());
  if (close(fd) != 0 && code == 0) code = errno;
  if (code != 0) return fail(code);
  RemoveStaleTemporaries(path);
  return true;
}

std::filesystem::path MakeScratchFolder(std::string_view prefix) {
  std::error_code ec;
  std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
  if (ec) temp = "/tmp";
  std::string pattern = (temp / (std::string(prefix) + "XXXXXX")).string();
  return mkdtemp(pattern.data()) ? std::filesystem::path(pattern) : std::filesystem::path();
}

bool MayWrite(const std::filesystem::path& path) { return ::access(path.c_str(), W_OK) == 0; }

bool IsOwnFolder(const std::filesystem::path& path) {
  struct stat info = {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
}

}  // namespace r7k
