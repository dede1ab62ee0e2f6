// IUnknown and the owning smart pointer for COM-style objects.
#pragma once

#include <utility>

#include "win/Guid.h"
#include "win/WinError.h"

// {00000000-0000-0000-C000-000000000046}
inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000,
                                  {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// COM interfaces have no virtual destructor: objects die in Release().
struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) noexcept = 0;
    virtual ULONG AddRef() noexcept = 0;
    virtual ULONG Release() noexcept = 0;

protected:
    ~IUnknown() = default;
};

// The interface id of an interface type; specialised beside each interface.
template <class T>
inline constexpr const IID& kIidOf = T::kIid;
template <>
inline constexpr const IID& kIidOf<IUnknown> = IID_IUnknown;

// Owns one reference: the constructor AddRefs, Adopt() does not.
template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    explicit ComPtr(T* p) noexcept : m_p(p) {
        if (m_p) m_p->AddRef();
    }
    ComPtr(const ComPtr& o) noexcept : ComPtr(o.m_p) {}
    ComPtr(ComPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(m_p, o.m_p);
        return *this;
    }
    ~ComPtr() { Reset(); }

    static ComPtr Adopt(T* p) noexcept {
        ComPtr c;
        c.m_p = p;
        return c;
    }
    T* Get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    T** Put() noexcept {
        Reset();
        return &m_p;
    }
    [[nodiscard]] T* Detach() noexcept { return std::exchange(m_p, nullptr); }
    void Reset() noexcept {
        if (T* p = std::exchange(m_p, nullptr)) p->Release();
    }
    template <class U>
    [[nodiscard]] HRESULT As(ComPtr<U>& out) const noexcept {
        if (!m_p) return E_POINTER;
        return m_p->QueryInterface(kIidOf<U>, reinterpret_cast<void**>(out.Put()));
    }

private:
    T* m_p = nullptr;
};

// Release if present, then forget.
template <class T>
inline void SafeRelease(T*& p) noexcept {
    if (p) {
        p->Release();
        p = nullptr;
    }
}
