// How the Maildir client copes with a large attachment and a large inbox.
// The attachment copy must stream: its peak memory stays far below the
// attachment's size.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "platform/posix/maildir_client.h"
#include "platform/posix/terminal_screen.h"

namespace {

using postique::posix::MaildirClient;

std::string MakeMaildir() {
  std::string path = (std::filesystem::temp_directory_path() / "postique-bench-XXXXXX").string();
  if (!::mkdtemp(path.data())) std::abort();
  for (const char* sub : {"new", "cur", "tmp"}) ::mkdir((path + "/" + sub).c_str(), 0700);
  return path;
}

long PeakRssKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void Open(MaildirClient& client) {
  client.SignOn();
  client.SetSessionID(client.SessionID());
  client.SetFetchUnreadOnly(false);
  client.Fetch();
}

// One message whose attachment is mebibytes MiB of base64.
void WriteLargeMessage(const std::string& file, int mebibytes) {
  std::ofstream out(file, std::ios::binary);
  out << "Subject: PEDIDO TRAMBELO grande\nMIME-Version: 1.0\n"
         "Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\nContent-Type: text/plain\n\n"
         "cuerpo\n--b\nContent-Type: application/octet-stream\n"
         "Content-Disposition: attachment; filename=\"grande.bin\"\n"
         "Content-Transfer-Encoding: base64\n\n";
  const std::string line = std::string(76, 'Q') + "\n";  // 57 bytes each once decoded
  for (long long bytes = 0; bytes < mebibytes * (1LL << 20); bytes += 57) out << line;
  out << "--b--\n";
}

void BM_CopyLargeAttachment(benchmark::State& state) {
  const int mebibytes = static_cast<int>(state.range(0));
  const std::string maildir = MakeMaildir();
  WriteLargeMessage(maildir + "/new/1.x", mebibytes);
  postique::posix::TerminalScreen screen(std::cin, std::cout);
  const long before = PeakRssKiB();
  for (auto _ : state) {
    MaildirClient client(screen, maildir);
    Open(client);
    client.SetAttachmentIndex(0);
    benchmark::DoNotOptimize(client.AttachmentPathName());
  }
  state.SetBytesProcessed(state.iterations() * mebibytes * (1LL << 20));
  // Growth of the peak over the run, against the attachment's size.
  state.counters["peak_growth_MiB"] = static_cast<double>(PeakRssKiB() - before) / 1024;
  state.counters["attachment_MiB"] = mebibytes;
  std::filesystem::remove_all(maildir);
}
BENCHMARK(BM_CopyLargeAttachment)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ScanInbox(benchmark::State& state) {
  const int messages = static_cast<int>(state.range(0));
  const std::string maildir = MakeMaildir();
  for (int i = 0; i < messages; ++i) {
    std::ofstream(maildir + "/cur/" + std::to_string(i) + ".x:2,S")
        << "From: Cliente <c@example.es>\nSubject: =?UTF-8?Q?Pedido_n=C2=BA_" << i
        << "?=\nMIME-Version: 1.0\nContent-Type: text/plain; charset=utf-8\n\nhola\n";
  }
  postique::posix::TerminalScreen screen(std::cin, std::cout);
  for (auto _ : state) {
    MaildirClient client(screen, maildir);
    Open(client);
    for (int i = 0; i < client.MsgCount(); ++i) {
      client.SetMsgIndex(i);
      benchmark::DoNotOptimize(client.MsgSubject());
      benchmark::DoNotOptimize(client.AttachmentCount());
    }
  }
  state.SetItemsProcessed(state.iterations() * messages);
  std::filesystem::remove_all(maildir);
}
BENCHMARK(BM_ScanInbox)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
