// A stand-in for a mail program the tests start Postique against
// (thunderbird.exe, olk.exe): records the command line it was started with,
// and the arguments Windows makes of it, in NAME-args.txt beside itself, NAME
// being its own (UTF-8: the command line, then each argument, each ended by a
// NUL).
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');  // the NUL included
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(::GetModuleFileNameW(nullptr, path.data(), MAX_PATH));
  path = path.substr(0, path.find_last_of(L'.')) + L"-args.txt";
  std::string record = Utf8(::GetCommandLineW());
  for (int i = 1; i < argc; ++i) record += Utf8(argv[i]);
  FILE* out = _wfopen(path.c_str(), L"wb");
  if (!out) return 1;
  std::fwrite(record.data(), 1, record.size(), out);
  return std::fclose(out) == 0 ? 0 : 1;
}
