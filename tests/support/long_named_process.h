// A child process of the test's own whose executable has a name longer than the 15 characters
// the kernel keeps: a copy of sleep, renamed. Only this child is ever signalled, and it is
// ended and reaped with the object.
#pragma once

#include <string>
#include <sys/types.h>

namespace bramwick::test {

class LongNamedProcess {
  public:
    static constexpr const char* name = "backup-agent-for-the-office";
    static constexpr const char* kernelName = "backup-agent-fo"; // what the kernel keeps

    LongNamedProcess(); // returns once the child runs the copy
    ~LongNamedProcess();
    LongNamedProcess(const LongNamedProcess&) = delete;
    LongNamedProcess& operator=(const LongNamedProcess&) = delete;

    pid_t pid() const { return pid_; } // -1 when it could not be started
    const std::string& executable() const { return executable_; }

  private:
    std::string folder_;
    std::string executable_;
    pid_t pid_ = -1;
};

} // namespace bramwick::test
