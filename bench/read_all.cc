// The floors of the scan benchmark. Reads every message of a Maildir once,
// as any scan must (one moved from new/ to cur/ while the folders are listed
// is read once); given an order folder, also publishes each order
// (a message naming the filter) as durably and as cheaply as the scan can:
// three quarters of its bytes, about what its base64 attachment decodes to,
// written under a dot name (whole blocks past the page cache), synced,
// renamed, the folder synced. Nothing is parsed or decoded,
// so no program doing the scan can take less.
// Usage: read_all MAILDIR [ORDER_FOLDER]
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace {

// The order's bytes, aligned for a write that bypasses the page cache.
struct alignas(4096) Block {
  char bytes[4096];
};
std::vector<Block> aligned;

bool Publish(int folder, const std::string& name, std::string_view data) {
  const std::string staged = "." + name;
  const int fd =
      ::openat(folder, staged.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_DIRECT, 0644);
  if (fd < 0) return false;
  // Whole blocks past the cache, the rest through it, as the scan writes.
  const size_t whole = data.size() / sizeof(Block) * sizeof(Block);
  if (aligned.size() * sizeof(Block) < data.size()) aligned.resize(data.size() / sizeof(Block) + 1);
  char* bytes = aligned.data()->bytes;
  std::memcpy(bytes, data.data(), data.size());
  const bool written = ::write(fd, bytes, whole) == static_cast<ssize_t>(whole) &&
                       ::fcntl(fd, F_SETFL, 0) == 0 &&
                       ::write(fd, bytes + whole, data.size() - whole) ==
                           static_cast<ssize_t>(data.size() - whole) &&
                       ::fdatasync(fd) == 0;
  return ::close(fd) == 0 && written &&
         ::renameat(folder, staged.c_str(), folder, name.c_str()) == 0 && ::fsync(folder) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  int orders = -1;
  if (argc > 2) {
    ::mkdir(argv[2], 0755);
    orders = ::open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (orders < 0) return 1;
  }
  std::string message(1 << 20, '\0');
  std::unordered_set<std::string> seen;
  long files = 0, published = 0;
  long long bytes = 0;
  for (const char* sub : {"new", "cur"}) {
    const std::string folder = std::string(argv[1]) + "/" + sub;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) continue;
    while (const dirent* entry = ::readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      const std::string_view name = entry->d_name;
      const std::string unique(name.substr(0, name.find(':')));
      if (seen.count(unique)) continue;
      // Moved on before it was opened: it is read from cur/, listed next.
      const int fd = ::open((folder + "/" + entry->d_name).c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) continue;
      seen.insert(unique);
      size_t size = 0;
      for (ssize_t n; (n = ::read(fd, message.data() + size, message.size() - size)) > 0;) {
        size += static_cast<size_t>(n);
        if (size == message.size()) message.resize(2 * size);
      }
      ::close(fd);
      bytes += static_cast<long long>(size);
      ++files;
      const std::string_view text(message.data(), size);
      if (orders >= 0 && text.find("PEDIDO TRAMBELO") != std::string_view::npos &&
          Publish(orders, unique, text.substr(0, size / 4 * 3))) {
        ++published;
      }
    }
    ::closedir(dir);
  }
  std::printf("%ld archivos, %lld bytes, %ld pedidos\n", files, bytes, published);
  return 0;
}
