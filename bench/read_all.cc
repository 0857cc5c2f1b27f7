// The floor of the scan benchmark: reads every message file of a Maildir
// once, as any scan must. Usage: read_all MAILDIR
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  static char buffer[1 << 16];
  long files = 0;
  long long bytes = 0;
  for (const char* sub : {"new", "cur"}) {
    const std::string folder = std::string(argv[1]) + "/" + sub;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) continue;
    while (const dirent* entry = ::readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      const int fd = ::open((folder + "/" + entry->d_name).c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) continue;
      for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) bytes += n;
      ::close(fd);
      ++files;
    }
    ::closedir(dir);
  }
  std::printf("%ld archivos, %lld bytes\n", files, bytes);
  return 0;
}
