#pragma once
// The IUnknown of the software DirectInput's and DirectSound's objects. Unlike DirectDraw's
// objects these answer to several interface ids (a DirectInput device is also its older
// versions), so the object says which through a static Answers(riid). The count starts at
// the one reference the creator hands out; the object ends when it reaches zero.
#include <atomic>

#include "SoftDxApi.h"

namespace softdx {

template <typename Object, typename Interface>
class SoftDxCounted : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) final
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid != IID_IUnknown && !Object::Answers(riid)) return E_NOINTERFACE;
        AddRef();
        *object = static_cast<Interface*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() final { return ++FReferences; }
    ULONG STDMETHODCALLTYPE Release() final
    {
        const ULONG left = --FReferences;
        if (left == 0) delete static_cast<Object*>(this);
        return left;
    }

protected:
    SoftDxCounted() = default;
    ~SoftDxCounted() = default;

private:
    std::atomic<ULONG> FReferences{1};
};

}  // namespace softdx
