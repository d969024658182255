#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace ondrel {

constexpr std::uint32_t kHkeyLocalMachine = 0x80000002;
constexpr std::uint32_t kRegSz = 1;

// One value read from the registry: its type and, for string types, its text.
struct RegistryValue {
    std::uint32_t type = 0;
    QString text;
};

// Read access to the system registry, where the platform has one.
class Registry {
public:
    virtual ~Registry() = default;
    // The named value of the key below root, opened for reading only; nullopt when the key
    // or the value cannot be read.
    virtual std::optional<RegistryValue> readValue(std::uint32_t root, const QString& keyPath,
                                                   const QString& valueName) = 0;
};

// The real Windows registry on Windows; elsewhere a stand-in whose MSINFO "PATH" value is the
// first system-information program found on the PATH.
std::unique_ptr<Registry> makeSystemRegistry();

}  // namespace ondrel
