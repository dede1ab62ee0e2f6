// A file of the tool's own (PNG, Y4M, WAV) through stdio, with every
// failure turned into a CStatusError that names the file. The name "-"
// stands for the standard input or output, which is never closed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

class CFile {
public:
    enum class Mode { Read, Write, ReadWrite };

    CFile(const std::filesystem::path& name, Mode mode);
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Reads up to cb bytes; fewer only at the end of the file.
    size_t Read(void* pBuffer, size_t cb);
    // Exactly cb bytes, or throws (naming what was short) at the end.
    void ReadExactly(void* pBuffer, size_t cb, const char* what);
    void Write(const void* pData, size_t cb);
    void Seek(int64_t offset);
    int64_t Tell();
    // False for pipes and terminals, where Seek fails.
    bool IsSeekable();
    // Flushes and closes, reporting a failure that a destructor could not.
    void Close();

    const std::string& Name() const noexcept { return m_name; }

private:
    std::string m_name;
    std::FILE* m_pFile = nullptr;
    bool m_bStandard = false;
};
