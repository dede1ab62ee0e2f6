#include "vrxwm/CFile.h"

#include <cerrno>

#include "vrxwm/CStatusError.h"
#include "vrxwm/StatusText.h"

CFile::CFile(const std::filesystem::path& name, Mode mode) : m_name(name.string()) {
    if (m_name == "-") {
        m_pFile = mode == Mode::Read ? stdin : stdout;
        m_bStandard = true;
        return;
    }
    const char* flags = mode == Mode::Read ? "rb" : mode == Mode::Write ? "wb" : "w+b";
    m_pFile = std::fopen(m_name.c_str(), flags);
    if (!m_pFile) ThrowErrno(std::string(mode == Mode::Read ? "cannot open " : "cannot create ") + m_name);
}

CFile::~CFile() {
    if (m_pFile && !m_bStandard) std::fclose(m_pFile);
}

size_t CFile::Read(void* pBuffer, size_t cb) {
    const size_t cbRead = std::fread(pBuffer, 1, cb, m_pFile);
    if (cbRead < cb && std::ferror(m_pFile)) ThrowErrno("cannot read " + m_name);
    return cbRead;
}

void CFile::ReadExactly(void* pBuffer, size_t cb, const char* what) {
    if (Read(pBuffer, cb) != cb)
        throw CStatusError(kStatusInvalidData, m_name + ": the file ends inside " + what);
}

void CFile::Write(const void* pData, size_t cb) {
    if (std::fwrite(pData, 1, cb, m_pFile) != cb) ThrowErrno("cannot write " + m_name);
}

void CFile::Seek(int64_t offset) {
    if (fseeko(m_pFile, offset, SEEK_SET) != 0) ThrowErrno("cannot seek in " + m_name);
}

int64_t CFile::Tell() {
    const off_t position = ftello(m_pFile);
    if (position < 0) ThrowErrno("cannot tell the position in " + m_name);
    return position;
}

bool CFile::IsSeekable() {
    return ftello(m_pFile) >= 0 && fseeko(m_pFile, 0, SEEK_CUR) == 0;
}

void CFile::Close() {
    if (!m_pFile) return;
    std::FILE* pFile = m_pFile;
    m_pFile = nullptr;
    const int flushed = std::fflush(pFile);
    if (m_bStandard) {
        if (flushed != 0) ThrowErrno("cannot write " + m_name);
        return;
    }
    if (std::fclose(pFile) != 0 || flushed != 0) ThrowErrno("cannot write " + m_name);
}
