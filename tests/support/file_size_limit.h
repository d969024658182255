#pragma once

#include <sys/resource.h>
#include <csignal>

namespace ondrel {

// Lowers the largest file this process may write, so a write past it fails as on a full disk.
// With dieOnLimit the process is killed at the limit instead, as by a crash in mid-write.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes, bool dieOnLimit = false) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, dieOnLimit ? SIG_DFL : SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
};

}  // namespace ondrel
