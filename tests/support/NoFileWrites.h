#pragma once

#include <csignal>
#include <sys/resource.h>

namespace corvina::test {

// While it lives, every byte this process writes to a file fails (the file size limit is 0),
// as in a full disk; unlike a read-only folder, it binds root too. Files can still be
// created, renamed and removed.
class NoFileWrites {
public:
    NoFileWrites()
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit capped = m_saved;
        capped.rlim_cur = 0;
        setrlimit(RLIMIT_FSIZE, &capped);
    }
    ~NoFileWrites()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    NoFileWrites(const NoFileWrites &) = delete;
    NoFileWrites &operator=(const NoFileWrites &) = delete;

private:
    rlimit m_saved{};
    void (*m_handler)(int) = SIG_DFL;
};

} // namespace corvina::test
