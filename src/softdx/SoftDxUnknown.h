#pragma once
// The IUnknown the software DirectDraw's objects share. The count starts at the one
// reference the creator hands out; the object ends when it reaches zero. QueryInterface
// answers IUnknown and the object's own interface, both with the object itself; an object
// that reaches further interfaces (DirectDraw's Direct3D) answers them in QueryOther; every
// other interface is E_NOINTERFACE.
#include <atomic>

#include "SoftDxApi.h"

namespace softdx {

// Object derives from SoftDxUnknown<Object, Interface, InterfaceId> and makes it a friend,
// so that Release may end it through its private destructor.
template <typename Object, typename Interface, const GUID& InterfaceId>
class SoftDxUnknown : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) final
    {
        if (!object) return DDERR_INVALIDPARAMS;
        *object = nullptr;
        if constexpr (requires(Object & o) { o.QueryOther(riid, object); }) {
            if (riid != IID_IUnknown && riid != InterfaceId)
                return static_cast<Object*>(this)->QueryOther(riid, object);
        }
        if (riid != IID_IUnknown && riid != InterfaceId) return E_NOINTERFACE;
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
    SoftDxUnknown() = default;
    ~SoftDxUnknown() = default;

private:
    std::atomic<ULONG> FReferences{1};
};

}  // namespace softdx
