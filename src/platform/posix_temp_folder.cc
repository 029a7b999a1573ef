#include "platform/temp_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace r7k {
namespace {

// Opens `path` as a folder of this user without following a link; -1 with *why otherwise.
int OpenOwnFolder(const std::string& path, std::string* why) {
  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    *why =
        path + ": " + (errno == ELOOP || errno == ENOTDIR ? "not a folder" : std::strerror(errno));
    return -1;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || st.st_uid != geteuid()) {
    close(fd);
    *why = path + " belongs to another user";
    return -1;
  }
  return fd;
}

// The folder `path`, made private to this user (0700) when missing.
bool MakePrivateFolder(const std::string& path, std::string* why) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    *why = "cannot make the folder " + path + ": " + std::strerror(errno);
    return false;
  }
  const int fd = OpenOwnFolder(path, why);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = fstat(fd, &st) == 0;
  if (ok && (st.st_mode & 077) != 0 && fchmod(fd, 0700) != 0) {
    *why = "cannot make " + path + " private: " + std::strerror(errno);
    ok = false;
  }
  close(fd);
  return ok;
}

// $XDG_RUNTIME_DIR when it is set and is this user's private folder.
std::optional<std::string> RuntimeFolder() {
  const char* dir = std::getenv("XDG_RUNTIME_DIR");
  if (!dir || dir[0] != '/') return std::nullopt;
  std::string why;
  const int fd = OpenOwnFolder(dir, &why);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  const bool private_folder = fstat(fd, &st) == 0 && (st.st_mode & 077) == 0;
  close(fd);
  if (!private_folder) return std::nullopt;
  return std::string(dir);
}

}  // namespace

std::optional<std::filesystem::path> PrivateTempFolder(std::string* error) {
  std::string path;
  if (const auto runtime = RuntimeFolder()) {
    path = *runtime + "/r7kprog";
  } else {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && tmp[0] == '/' ? tmp : "/tmp";
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    path = base + "/r7kprog-" + std::to_string(geteuid());
  }
  std::string why;
  if (!MakePrivateFolder(path, &why)) {
    if (error) *error = why;
    return std::nullopt;
  }
  return std::filesystem::path(path);
}

}  // namespace r7k
