// Media properties of a reader output (IWMOutputMediaProps) or of a writer
// input (IWMInputMediaProps): a media type and the names that go with it.
// One object answers for one of the two roles, chosen at creation.
// Not thread-safe: one caller at a time, as the interfaces are used.
#pragma once

#include <atomic>
#include <string>

#include "wmf/WmInterfaces.h"
#include "wmf/WmMediaType.h"

class CWmMediaProps final : public IWMOutputMediaProps, public IWMInputMediaProps {
public:
    // An output's properties: its type, stream group and connection name.
    static HRESULT CreateOutput(const WmMediaType& mediaType, std::u16string_view groupName,
                                std::u16string_view connectionName,
                                IWMOutputMediaProps** ppProps) noexcept;
    // An input's properties: its type, connection and group name.
    static HRESULT CreateInput(const WmMediaType& mediaType, std::u16string_view connectionName,
                               std::u16string_view groupName,
                               IWMInputMediaProps** ppProps) noexcept;

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept override;
    ULONG AddRef() noexcept override { return ++m_cRef; }
    ULONG Release() noexcept override;

    // IWMMediaProps
    HRESULT GetType(GUID* pguidType) noexcept override;
    HRESULT GetMediaType(WM_MEDIA_TYPE* pType, DWORD* pcbType) noexcept override;
    HRESULT SetMediaType(WM_MEDIA_TYPE* pType) noexcept override;

    // IWMOutputMediaProps and IWMInputMediaProps
    HRESULT GetStreamGroupName(WCHAR* pwszName, WORD* pcchName) noexcept override;
    HRESULT GetConnectionName(WCHAR* pwszName, WORD* pcchName) noexcept override;
    HRESULT GetGroupName(WCHAR* pwszName, WORD* pcchName) noexcept override;

    const WmMediaType& MediaType() const noexcept { return m_mediaType; }

private:
    enum class Role { Output, Input };
    CWmMediaProps(Role role, WmMediaType mediaType, std::u16string groupName,
                  std::u16string connectionName) noexcept;
    ~CWmMediaProps() = default;
    static HRESULT Make(Role role, const WmMediaType& mediaType, std::u16string_view groupName,
                        std::u16string_view connectionName, CWmMediaProps** ppProps) noexcept;

    std::atomic<ULONG> m_cRef{1};
    const Role m_role;
    WmMediaType m_mediaType;
    std::u16string m_strGroupName;
    std::u16string m_strConnectionName;
};
