#include "platform/posix/posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <random>

#include "base/text.h"
#include "platform/posix/code_page.h"
#include "platform/posix/errno_failure.h"
#include "platform/posix/fd.h"
#include "platform/posix/run_folder.h"

namespace postique::posix {

namespace {

// The name under which a copy is staged beside its target, followed by
// mkostemp's six letters.
constexpr char kStaged[] = ".postique-";

[[noreturn]] void Throw(const std::string& path) {
  throw ErrnoFailure(errno, path);
}

void WriteAll(int fd, std::string_view data, const std::string& path) {
  if (!WriteFully(fd, data)) Throw(path);
}

std::string ReadAll(int fd, const std::string& path) {
  std::string data;
  char buffer[65536];
  for (ssize_t n = sizeof buffer; n == sizeof buffer;) {
    n = ReadFully(fd, buffer, sizeof buffer);
    if (n < 0) Throw(path);
    data.append(buffer, static_cast<size_t>(n));
  }
  return data;
}

std::string ParentOf(const std::string& path) {
  const std::string parent = std::filesystem::path(path).parent_path().string();
  return parent.empty() ? "." : parent;
}

// Writes a copy past the page cache where the file system allows it: the
// copy is for another program, and the fresh pages of cache it would take
// cost more than writing it out (on a journaled ext4 a scan of 10,000
// messages took a fifth more CPU and more time through the cache). Whole
// blocks go direct; the last part of a block, or everything after a
// refusal, goes through the cache, and the data sync covers both.
class DirectWriter {
 public:
  // direct: fd was opened with O_DIRECT.
  DirectWriter(int fd, const std::string& path, bool direct)
      : fd_(fd), path_(path), direct_(direct) {}

  // data starts on a block boundary of the file and of memory.
  void Write(std::string_view data) {
    if (direct_) {
      const size_t whole = data.size() / kBlock * kBlock;
      const ssize_t n = whole ? ::write(fd_, data.data(), whole) : 0;
      if (n < 0 && errno != EINVAL) Throw(path_);
      if (n > 0) data.remove_prefix(static_cast<size_t>(n));
      if (n != static_cast<ssize_t>(whole) || !data.empty()) Buffered();
    }
    WriteAll(fd_, data, path_);
  }

 private:
  static constexpr size_t kBlock = 4096;  // a multiple of any disk's block

  void Buffered() {
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_DIRECT) != 0) Throw(path_);
    direct_ = false;
  }

  int fd_;
  const std::string& path_;
  bool direct_;
};

std::string RandomLetters(size_t count) {
  static std::mt19937_64 random{std::random_device{}()};
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string letters;
  for (size_t i = 0; i < count; ++i) letters += kLetters[random() % (sizeof kLetters - 1)];
  return letters;
}

// The staged copy, empty, in folder under a dot name given in temp, and in
// the run's record. The file is made without a name, recorded, and only
// then named: whenever the run ends, a later run can tell it from an order
// of the same name. A file system that cannot make a file without a name
// gets a named one, recorded once made.
Fd Stage(const std::string& folder, RunFolder& run, std::string& temp) {
  Fd out(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  if (out.get() >= 0) {
    const std::string made = "/proc/self/fd/" + std::to_string(out.get());
    int error = EEXIST;
    for (int tries = 0; tries < 100 && error == EEXIST; ++tries) {
      temp = folder + "/" + kStaged + RandomLetters(6);
      if (run.Staging(out.get(), temp, [&] {
            const bool named =
                ::linkat(AT_FDCWD, made.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0;
            error = named ? 0 : errno;
            return named;
          })) {
        return out;
      }
    }
    run.Staged();
  }
  temp = folder + "/" + kStaged + "XXXXXX";
  out.Reset(::mkostemp(temp.data(), O_CLOEXEC));
  if (out.get() < 0) Throw(folder);
  run.Staging(out.get(), temp, [] { return true; });
  return out;
}

class PosixTextWriter : public TextWriter {
 public:
  PosixTextWriter(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  void Write(const std::string& text) override {
    if (fd_.get() < 0) Raise(Err::kBadFileNameOrNumber, path_);
    WriteAll(fd_.get(), Utf8ToCp1252(text), path_);
  }
  void Close() override {
    if (fd_.get() >= 0) fd_.Close(path_);
  }

 private:
  Fd fd_;
  std::string path_;
};

}  // namespace

std::string ExecutableFolder() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return ".";
  return ParentOf(std::string(buffer, static_cast<size_t>(n)));
}

// There are no hidden or system attributes here: any regular file counts.
std::string PosixFiles::Lookup(const std::string& path) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return std::filesystem::path(path).filename().string();
}

std::vector<std::string> PosixFiles::ReadLines(const std::string& path) {
  // Opened without waiting for a writer, and read only when it is a file: a
  // FIFO or a device could block for ever.
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) Throw(path);
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) Throw(path);
  if (!S_ISREG(st.st_mode)) Raise(Err::kBadFileNameOrNumber, path + " (no es un archivo)");
  return TextFileLines(ReadAll(fd.get(), path), Cp1252ToUtf8);
}

std::unique_ptr<TextWriter> PosixFiles::CreateText(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Throw(path);
  return std::make_unique<PosixTextWriter>(fd, path);
}

void PosixFiles::Copy(const std::string& from, const std::string& to) {
  Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) Throw(from);
  // Staged under a dot name beside the target: the rename never leaves the
  // file system, and readers of the folder skip dot names.
  const std::string folder = ParentOf(to);
  RunFolder& run = RunFolder::Get();
  std::string temp;
  Fd out = Stage(folder, run, temp);
  // Direct writes asked for once the file is there: a file system that
  // writes only through its cache refuses them here, with nothing made.
  const int flags = ::fcntl(out.get(), F_GETFL);
  const bool direct = flags >= 0 && ::fcntl(out.get(), F_SETFL, flags | O_DIRECT) == 0;
  try {
    if (!chunk_) chunk_.reset(new Chunk);
    DirectWriter writer(out.get(), to, direct);
    // Whole chunks keep every write but the last on a block boundary.
    for (ssize_t size = sizeof chunk_->bytes; size == sizeof chunk_->bytes;) {
      size = ReadFully(in.get(), chunk_->bytes, sizeof chunk_->bytes);
      if (size < 0) Throw(from);
      writer.Write(std::string_view(chunk_->bytes, static_cast<size_t>(size)));
    }
    // Readable as any copy where the file system keeps permissions; one
    // that cannot set them (FAT, some network shares) still gets the copy.
    (void)::fchmod(out.get(), 0644);
    // One data sync of the copy, one sync of its folder after the rename:
    // on disk before anyone is told, never half.
    if (::fdatasync(out.get()) != 0) Throw(to);
    out.Close(to);
    if (::rename(temp.c_str(), to.c_str()) != 0) Throw(to);
    run.Staged();
  } catch (...) {
    ::unlink(temp.c_str());
    run.Staged();
    throw;
  }
  // The rename is only durable once the folder itself is on disk. A folder
  // that cannot be opened to read, or that cannot be synced at all (EINVAL),
  // is taken as it is; one whose sync fails may lose the name in a crash, so
  // the copy is taken back rather than said to be there.
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0 && ::fsync(dir.get()) != 0 && errno != EINVAL) {
    const int error = errno;
    ::unlink(to.c_str());
    throw ErrnoFailure(error, folder);
  }
}

void PosixFiles::Remove(const std::string& path) {
  if (::unlink(path.c_str()) != 0) Throw(path);
}

void PosixFiles::MakeFolder(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return;
    Raise(Err::kPathFileAccess, path + " (existe y no es una carpeta)");
  }
  if (::mkdir(path.c_str(), 0755) != 0) Throw(path);
}

std::string PosixFiles::CurrentFolder() {
  std::error_code error;
  const auto path = std::filesystem::current_path(error);
  if (error) throw ErrnoFailure(error.value(), ".");
  return path.string();
}

// There are no drives: the folder alone is the working place.
void PosixFiles::ChangeDrive(const std::string&) {}

void PosixFiles::ChangeFolder(const std::string& path) {
  if (::chdir(path.c_str()) != 0) Throw(path);
}

}  // namespace postique::posix
