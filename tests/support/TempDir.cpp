#include "support/TempDir.h"

#include <stdexcept>

#include <stdlib.h>

TempDir::TempDir(const std::string& prefix) {
    std::string templ = (std::filesystem::temp_directory_path() / ("vrx-" + prefix + "-XXXXXX")).string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed for " + templ);
    m_path = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}
