// The result texts are keyed by bare numbers; these checks tie the numbers to the system's
// own DirectX constants, and the accent to Windows-1252.
#include "wdx/DirectXApi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Text.h"
#include "wdx/results/ResultTexts.h"

namespace {

struct Named {
    HRESULT Code;
    const char* Name;
};

#define NAMED(constant) \
    Named { constant, #constant }

}  // namespace

TEST(Win32ResultTexts, DirectDrawConstantsGiveTheirTexts)
{
    const std::vector<std::pair<HRESULT, std::string>> rows = {
        {DD_OK, "The request completed successfully."},
        {DDERR_UNSUPPORTED, "Action not supported."},
        {DDERR_GENERIC, "Generic failure."},
        {DDERR_OUTOFMEMORY, "DirectDraw does not have enough memory to perform the operation."},
        {DDERR_INVALIDPARAMS, "One or more of the parameters passed to the function are incorrect."},
        {DDERR_INVALIDCAPS, "One or more of the caps bits passed to the callback are incorrect."},
        {DDERR_INVALIDMODE, "DirectDraw does not support the requested mode."},
        {DDERR_INVALIDPIXELFORMAT, "The pixel format was invalid as specified."},
        {DDERR_INVALIDRECT, "Rectangle provided was invalid."},
        {DDERR_LOCKEDSURFACES, "Operation could not be carried out because one or more surfaces are locked."},
        {DDERR_NOCOOPERATIVELEVELSET,
         "Create function called without DirectDraw object method SetCooperativeLevel being called."},
        {DDERR_NOCOLORKEY, "Surface does not currently have a color key"},
        {DDERR_NOEXCLUSIVEMODE,
         "Operation requires the application to have exclusive mode but the application does not have exclusive "
         "mode."},
        {DDERR_NOMIRRORHW, "Operation could not be carried out because there is no hardware present or available."},
        {DDERR_NOSTRETCHHW, "Operation could not be carried out because there is no hardware support for stretching."},
        {DDERR_OUTOFVIDEOMEMORY, "DirectDraw does not have enough memory to perform the operation."},
        {DDERR_OVERLAYCANTCLIP, "The hardware does not support clipped overlays."},
        {DDERR_COLORKEYNOTSET, "No src color key specified for this operation."},
        {DDERR_SURFACELOST,
         "Access to this surface is being refused because the surface memory is gone. The DirectDrawSurface object "
         "representing this surface should have Restore called on it."},
        {DDERR_TOOBIGHEIGHT, "Height requested by DirectDraw is too large."},
        {DDERR_TOOBIGWIDTH, "Width requested by DirectDraw is too large."},
        {DDERR_WASSTILLDRAWING,
         "Informs DirectDraw that the previous Blt which is transfering information to or from this Surface is "
         "incomplete."},
        {DDERR_PRIMARYSURFACEALREADYEXISTS, "This process already has created a primary surface."},
        {DDERR_BLTFASTCANTCLIP, " if a clipper object is attached to the source surface passed into a BltFast call."},
        {DDERR_NOTFLIPPABLE, "An attempt has been made to flip a surface that is not flippable."},
        {DDERR_NODC, "No DC was ever created for this surface."},
        {DDERR_UNSUPPORTEDMODE, "The display is currently in an unsupported mode"},
        {DDERR_DCALREADYCREATED,
         "A DC has already been returned for this surface. Only one DC can be retrieved per surface."},
    };
    for (const auto& [code, text] : rows) EXPECT_EQ(DDErrorString(code), text) << std::hex << code;
}

TEST(Win32ResultTexts, Direct3DConstantsReadAsTheirNames)
{
    const Named named[] = {
        NAMED(D3DERR_BADMAJORVERSION),
        NAMED(D3DERR_BADMINORVERSION),
        NAMED(D3DERR_INITFAILED),
        NAMED(D3DERR_DEVICEAGGREGATED),
        NAMED(D3DERR_EXECUTE_CREATE_FAILED),
        NAMED(D3DERR_EXECUTE_DESTROY_FAILED),
        NAMED(D3DERR_EXECUTE_LOCK_FAILED),
        NAMED(D3DERR_EXECUTE_UNLOCK_FAILED),
        NAMED(D3DERR_EXECUTE_LOCKED),
        NAMED(D3DERR_EXECUTE_NOT_LOCKED),
        NAMED(D3DERR_EXECUTE_FAILED),
        NAMED(D3DERR_EXECUTE_CLIPPED_FAILED),
        NAMED(D3DERR_TEXTURE_NO_SUPPORT),
        NAMED(D3DERR_TEXTURE_CREATE_FAILED),
        NAMED(D3DERR_TEXTURE_DESTROY_FAILED),
        NAMED(D3DERR_TEXTURE_LOCK_FAILED),
        NAMED(D3DERR_TEXTURE_UNLOCK_FAILED),
        NAMED(D3DERR_TEXTURE_LOAD_FAILED),
        NAMED(D3DERR_TEXTURE_SWAP_FAILED),
        NAMED(D3DERR_TEXTURE_NOT_LOCKED),
        NAMED(D3DERR_TEXTURE_GETSURF_FAILED),
        NAMED(D3DERR_MATRIX_CREATE_FAILED),
        NAMED(D3DERR_MATRIX_DESTROY_FAILED),
        NAMED(D3DERR_MATRIX_SETDATA_FAILED),
        NAMED(D3DERR_MATRIX_GETDATA_FAILED),
        NAMED(D3DERR_SETVIEWPORTDATA_FAILED),
        NAMED(D3DERR_INVALIDCURRENTVIEWPORT),
        NAMED(D3DERR_INVALIDPRIMITIVETYPE),
        NAMED(D3DERR_INVALIDVERTEXTYPE),
        NAMED(D3DERR_TEXTURE_BADSIZE),
        NAMED(D3DERR_INVALIDRAMPTEXTURE),
        NAMED(D3DERR_MATERIAL_CREATE_FAILED),
        NAMED(D3DERR_MATERIAL_DESTROY_FAILED),
        NAMED(D3DERR_MATERIAL_SETDATA_FAILED),
        NAMED(D3DERR_MATERIAL_GETDATA_FAILED),
        NAMED(D3DERR_INVALIDPALETTE),
        NAMED(D3DERR_ZBUFF_NEEDS_SYSTEMMEMORY),
        NAMED(D3DERR_ZBUFF_NEEDS_VIDEOMEMORY),
        NAMED(D3DERR_SURFACENOTINVIDMEM),
        NAMED(D3DERR_LIGHT_SET_FAILED),
        NAMED(D3DERR_LIGHTHASVIEWPORT),
        NAMED(D3DERR_LIGHTNOTINTHISVIEWPORT),
        NAMED(D3DERR_SCENE_IN_SCENE),
        NAMED(D3DERR_SCENE_NOT_IN_SCENE),
        NAMED(D3DERR_SCENE_BEGIN_FAILED),
        NAMED(D3DERR_SCENE_END_FAILED),
        NAMED(D3DERR_INBEGIN),
        NAMED(D3DERR_NOTINBEGIN),
        NAMED(D3DERR_NOVIEWPORTS),
        NAMED(D3DERR_VIEWPORTDATANOTSET),
        NAMED(D3DERR_VIEWPORTHASNODEVICE),
        NAMED(D3DERR_NOCURRENTVIEWPORT),
        NAMED(D3DERR_INVALIDVERTEXFORMAT),
        NAMED(D3DERR_COLORKEYATTACHED),
        NAMED(D3DERR_VERTEXBUFFEROPTIMIZED),
        NAMED(D3DERR_VBUF_CREATE_FAILED),
        NAMED(D3DERR_VERTEXBUFFERLOCKED),
        NAMED(D3DERR_ZBUFFER_NOTPRESENT),
        NAMED(D3DERR_STENCILBUFFER_NOTPRESENT),
        NAMED(D3DERR_WRONGTEXTUREFORMAT),
        NAMED(D3DERR_UNSUPPORTEDCOLOROPERATION),
        NAMED(D3DERR_UNSUPPORTEDCOLORARG),
        NAMED(D3DERR_UNSUPPORTEDALPHAOPERATION),
        NAMED(D3DERR_UNSUPPORTEDALPHAARG),
        NAMED(D3DERR_TOOMANYOPERATIONS),
        NAMED(D3DERR_CONFLICTINGTEXTUREFILTER),
        NAMED(D3DERR_UNSUPPORTEDFACTORVALUE),
        NAMED(D3DERR_CONFLICTINGRENDERSTATE),
        NAMED(D3DERR_UNSUPPORTEDTEXTUREFILTER),
        NAMED(D3DERR_TOOMANYPRIMITIVES),
        NAMED(D3DERR_INVALIDMATRIX),
        NAMED(D3DERR_TOOMANYVERTICES),
        NAMED(D3DERR_CONFLICTINGTEXTUREPALETTE),
    };
    for (const Named& row : named) EXPECT_EQ(D3DErrorString(row.Code), row.Name);
    // Two constants whose names differ from the text their code reads as.
    EXPECT_EQ(D3DErrorString(D3DERR_INVALID_DEVICE), "D3DERR_INITFAILED");
    EXPECT_EQ(D3DErrorString(D3DERR_TEXTURE_LOCKED), "D3DERR_TEXTURELOCKED");
    EXPECT_EQ(D3DErrorString(D3D_OK), "No error");
}

TEST(Win32ResultTexts, SoundAndInputConstantsHaveTexts)
{
    // Every listed DirectSound and DirectInput constant of the system's headers is known.
    const HRESULT sound[] = {DS_OK,
                             DSERR_ALLOCATED,
                             DSERR_CONTROLUNAVAIL,
                             DSERR_INVALIDPARAM,
                             DSERR_INVALIDCALL,
                             DSERR_GENERIC,
                             DSERR_PRIOLEVELNEEDED,
                             DSERR_OUTOFMEMORY,
                             DSERR_BADFORMAT,
                             DSERR_UNSUPPORTED,
                             DSERR_NODRIVER,
                             DSERR_ALREADYINITIALIZED,
                             DSERR_NOAGGREGATION,
                             DSERR_BUFFERLOST,
                             DSERR_OTHERAPPHASPRIO,
                             DSERR_UNINITIALIZED,
                             DSERR_NOINTERFACE};
    for (HRESULT code : sound) EXPECT_NE(DSErrorString(code), "Unrecognized Error") << std::hex << code;

    // Some of these constants are unsigned literals in the headers; 64 bits hold both kinds.
    const int64_t input[] = {DI_OK,
                             DI_NOEFFECT,
                             DI_POLLEDDEVICE,
                             DI_DOWNLOADSKIPPED,
                             DI_EFFECTRESTARTED,
                             DI_TRUNCATED,
                             DI_TRUNCATEDANDRESTARTED,
                             DIERR_OLDDIRECTINPUTVERSION,
                             DIERR_BETADIRECTINPUTVERSION,
                             DIERR_BADDRIVERVER,
                             DIERR_DEVICENOTREG,
                             DIERR_NOTFOUND,
                             DIERR_INVALIDPARAM,
                             DIERR_NOINTERFACE,
                             DIERR_GENERIC,
                             DIERR_OUTOFMEMORY,
                             DIERR_UNSUPPORTED,
                             DIERR_NOTINITIALIZED,
                             DIERR_ALREADYINITIALIZED,
                             DIERR_NOAGGREGATION,
                             DIERR_OTHERAPPHASPRIO,
                             DIERR_INPUTLOST,
                             DIERR_ACQUIRED,
                             DIERR_NOTACQUIRED,
                             DIERR_DEVICEFULL,
                             DIERR_MOREDATA,
                             DIERR_NOTDOWNLOADED,
                             DIERR_HASEFFECTS,
                             DIERR_NOTEXCLUSIVEACQUIRED,
                             DIERR_INCOMPLETEEFFECT,
                             DIERR_NOTBUFFERED,
                             DIERR_EFFECTPLAYING};
    for (int64_t code : input)
        EXPECT_EQ(DIErrorString(static_cast<int32_t>(code)).rfind("Unrecognized Error", 0), std::string::npos)
            << std::hex << code;
    EXPECT_EQ(DIErrorString(DI_TRUNCATEDANDRESTARTED), "Equal to DI_EFFECTRESTARTED | DI_TRUNCATED.");
}

TEST(Win32ResultTexts, TheAccentIsTheWindows1252Byte)
{
    EXPECT_EQ(AcuteAccent(), "\xB4");
    EXPECT_EQ(DSErrorString(E_OUTOFMEMORY),
              "The DirectSound subsystem could not allocate sufficient memory to complete the caller\xB4s request.");
}
