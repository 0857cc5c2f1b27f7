#pragma once

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace postique::testing {

// A system call that fails with error in a child process: every call of
// number, or those whose argument arg has a bit of mask set.
struct Refusal {
  int number, error;
  unsigned arg = 0, mask = 0;
};

// Runs body in a child process that meets refusal; gives the child's exit code.
template <class Body>
int Refusing(Refusal refusal, Body body) {
  const pid_t child = ::fork();
  if (child == 0) {
    const auto nr = static_cast<unsigned>(refusal.number);
    const auto refuse = SECCOMP_RET_ERRNO | static_cast<unsigned>(refusal.error);
    std::vector<sock_filter> filter = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, nr, 0, static_cast<std::uint8_t>(refusal.mask ? 3 : 1)),
    };
    if (refusal.mask) {
      // The low half of the argument, on this little-endian machine.
      filter.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS,
                                static_cast<unsigned>(offsetof(seccomp_data, args) +
                                                      refusal.arg * sizeof(std::uint64_t))));
      filter.push_back(BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, refusal.mask, 0, 1));
    }
    filter.push_back(BPF_STMT(BPF_RET | BPF_K, refuse));
    filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    sock_fprog program{static_cast<unsigned short>(filter.size()), filter.data()};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
      ::_exit(99);
    }
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace postique::testing
