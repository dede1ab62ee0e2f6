// The one kind of failure the tool reports: what it was doing, and the
// status that explains why it failed. main() prints it as a single line.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

class CStatusError : public std::runtime_error {
public:
    // context says what failed, e.g. "cannot open in.wmv".
    CStatusError(uint32_t dwStatus, const std::string& context);

    uint32_t Status() const noexcept { return m_dwStatus; }
    const std::string& Context() const noexcept { return m_context; }

private:
    uint32_t m_dwStatus;
    std::string m_context;
};

// The status for a failed C library call, from its errno.
uint32_t StatusFromErrno(int err) noexcept;

// Throws for the current errno, with the system's own words appended to
// the context ("cannot create out.wav: Permission denied").
[[noreturn]] void ThrowErrno(const std::string& context);

// Throws when the plug-in's answer is not 0.
void CheckStatus(uint32_t dwStatus, const std::string& context);
