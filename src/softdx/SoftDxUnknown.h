#pragma once
// The IUnknown every software DirectX object shares. The count starts at the one reference
// the creator hands out; the object ends when it reaches zero. QueryInterface answers
// IUnknown and the interfaces the object's static Answers(riid) names, all with the object
// itself (a DirectInput device is also its older versions); an object that reaches further
// interfaces (DirectDraw's Direct3D) answers them in QueryOther; every other interface is
// E_NOINTERFACE. A null result pointer is NoPointer: DirectDraw's objects answer it with
// DDERR_INVALIDPARAMS, the others with E_POINTER.
#include <atomic>

#include "SoftDxApi.h"

namespace softdx {

// Object derives from SoftDxUnknown<Object, Interface> and makes it a friend, so that
// Release may end it through its private destructor.
template <typename Object, typename Interface, HRESULT NoPointer = E_POINTER>
class SoftDxUnknown : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) final
    {
        if (!object) return NoPointer;
        *object = nullptr;
        if (riid != IID_IUnknown && !Object::Answers(riid)) {
            if constexpr (requires(Object & o) { o.QueryOther(riid, object); })
                return static_cast<Object*>(this)->QueryOther(riid, object);
            return E_NOINTERFACE;
        }
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
