#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ondrel {

// While it lives, file permissions bind this thread even when it runs as root: the
// capabilities that let root read and write any file are dropped from the effective set
// and given back afterwards. Tests and CI run as root, where read-only would mean nothing.
class PermissionsEnforced {
public:
    PermissionsEnforced() {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        m_header.pid = 0;
        if (syscall(SYS_capget, &m_header, m_saved) != 0) {
            return;
        }
        __user_cap_data_struct dropped[2] = {m_saved[0], m_saved[1]};
        const unsigned mask =
            (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);
        dropped[0].effective &= ~mask;
        m_active = syscall(SYS_capset, &m_header, dropped) == 0;
    }
    ~PermissionsEnforced() {
        if (m_active) {
            syscall(SYS_capset, &m_header, m_saved);
        }
    }
    PermissionsEnforced(const PermissionsEnforced&) = delete;
    PermissionsEnforced& operator=(const PermissionsEnforced&) = delete;

private:
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_active = false;
};

}  // namespace ondrel
