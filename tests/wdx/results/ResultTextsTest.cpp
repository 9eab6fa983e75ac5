// The result texts are part of the program's messages, so every listed text is checked word for
// word, and each family's list of codes is checked to be exactly the listed one.
#include "core/Text.h"
#include "wdx/results/ResultTexts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

struct Expected {
    uint32_t Code;
    std::string Text;
};

using Family = std::function<std::string(int32_t)>;

int32_t Signed(uint32_t code) { return static_cast<int32_t>(code); }

void ExpectTexts(const Family& family, const std::vector<Expected>& rows)
{
    for (const Expected& row : rows) EXPECT_EQ(family(Signed(row.Code)), row.Text) << std::hex << "code 0x" << row.Code;
}

const std::string Unrecognized = "Unrecognized Error";

// The codes each family lists, written out independently of the tables under test.
std::set<uint32_t> DirectDrawCodes()
{
    std::set<uint32_t> codes = {
        0x00000000, 0x80004001, 0x80004005, 0x800401F0, 0x8007000E, 0x80070057, 0x88760005, 0x8876000A, 0x88760014,
        0x88760028, 0x88760037, 0x8876005A, 0x8876005F, 0x88760064, 0x8876006E, 0x88760078, 0x88760082, 0x88760091,
        0x88760096, 0x887600A0, 0x887600AA, 0x887600B4, 0x887600CD, 0x887600D2, 0x887600D4, 0x887600D7, 0x887600DC,
        0x887600E1, 0x887600E6, 0x887600F0, 0x887600FA, 0x887600FF, 0x88760104, 0x8876010E, 0x88760118, 0x88760122,
        0x88760136, 0x8876013C, 0x8876013D, 0x88760140, 0x8876014A, 0x8876014F, 0x88760154, 0x8876015E, 0x88760168,
        0x8876017C, 0x8876017E, 0x88760180, 0x88760183, 0x88760190, 0x8876019A, 0x887601A4, 0x887601AE, 0x887601B8,
        0x887601C2, 0x887601CC, 0x887601D6, 0x887601E0, 0x887601EA, 0x887601FE, 0x88760208, 0x88760209, 0x88760219,
        0x8876021C, 0x88760258, 0x88760259, 0x8876025A, 0x8876026C, 0x88760276, 0x88760280, 0x88760294, 0x887602A8,
        0x887602B2, 0x887602B3, 0x887602B7, 0x887602BB};
    for (uint32_t code = 0x88760230; code <= 0x88760250; ++code) codes.insert(code);
    return codes;
}

const std::vector<Expected> DirectDrawQuoted = {
    {0x00000000, "The request completed successfully."},
    {0x80004001, "Action not supported."},
    {0x80004005, "Generic failure."},
    {0x8007000E, "DirectDraw does not have enough memory to perform the operation."},
    {0x80070057, "One or more of the parameters passed to the function are incorrect."},
    {0x88760064, "One or more of the caps bits passed to the callback are incorrect."},
    {0x88760078, "DirectDraw does not support the requested mode."},
    {0x88760091, "The pixel format was invalid as specified."},
    {0x88760096, "Rectangle provided was invalid."},
    {0x887600A0, "Operation could not be carried out because one or more surfaces are locked."},
    {0x887600D4, "Create function called without DirectDraw object method SetCooperativeLevel being called."},
    {0x887600D7, "Surface does not currently have a color key"},
    {0x887600E1,
     "Operation requires the application to have exclusive mode but the application does not have exclusive mode."},
    {0x887600FA, "Operation could not be carried out because there is no hardware present or available."},
    {0x88760136, "Operation could not be carried out because there is no hardware support for stretching."},
    {0x8876017C, "DirectDraw does not have enough memory to perform the operation."},
    {0x8876017E, "The hardware does not support clipped overlays."},
    {0x88760190, "No src color key specified for this operation."},
    {0x887601C2,
     "Access to this surface is being refused because the surface memory is gone. The DirectDrawSurface object "
     "representing this surface should have Restore called on it."},
    {0x887601D6, "Height requested by DirectDraw is too large."},
    {0x887601EA, "Width requested by DirectDraw is too large."},
    {0x8876021C,
     "Informs DirectDraw that the previous Blt which is transfering information to or from this Surface is "
     "incomplete."},
    {0x88760234, "This process already has created a primary surface."},
    {0x8876023E, " if a clipper object is attached to the source surface passed into a BltFast call."},
    {0x88760246, "An attempt has been made to flip a surface that is not flippable."},
    {0x8876024A, "No DC was ever created for this surface."},
    {0x8876024E, "The display is currently in an unsupported mode"},
    {0x8876026C, "A DC has already been returned for this surface. Only one DC can be retrieved per surface."},
};

std::vector<Expected> DirectSoundRows()
{
    return {
        {0x00000000, "The request completed successfully."},
        {0x80004001, "The function called is not supported at this time."},
        {0x80004002, "The requested COM interface is not available."},
        {0x80004005, "An undetermined error occurred inside the DirectSound subsystem."},
        {0x80040110, "The object does not support aggregation."},
        {0x8007000E, "The DirectSound subsystem could not allocate sufficient memory to complete the caller" +
                         std::string(AcuteAccent()) + "s request."},
        {0x80070057, "An invalid parameter was passed to the returning function."},
        {0x8878000A,
         "The request failed because resources, such as a priority level, were already in use by another caller."},
        {0x8878001E, "The control (volume, pan, and so forth) requested by the caller is not available."},
        {0x88780032, "This function is not valid for the current state of this object."},
        {0x88780046, "The caller does not have the priority level required for the function to succeed."},
        {0x88780064, "The specified wave format is not supported."},
        {0x88780078, "No sound driver is available for use."},
        {0x88780082, "The object is already initialized."},
        {0x88780096, "The buffer memory has been lost and must be restored."},
        {0x887800A0, "Another application has a higher priority level, preventing this call from succeeding."},
        {0x887800AA,
         "The IDirectSound::Initialize method has not been called or has not been called successfully before other "
         "methods were called."},
    };
}

const std::vector<Expected> DirectInputRows = {
    {0x00000000, "The operation completed successfully."},
    {0x00000001,
     "\"The operation had no effect.\" or \"The device buffer overflowed and some input was lost.\" or \"The device "
     "exists but is not currently attached.\" or \"The change in device properties had no effect.\""},
    {0x00000002,
     "The device is a polled device. As a result, device buffering will not collect any data and event notifications "
     "will not be signaled until the IDirectInputDevice2::Poll method is called."},
    {0x00000003,
     "The parameters of the effect were successfully updated, but the effect could not be downloaded because the "
     "associated device was not acquired in exclusive mode."},
    {0x00000004, "The effect was stopped, the parameters were updated, and the effect was restarted."},
    {0x00000008,
     "The parameters of the effect were successfully updated, but some of them were beyond the capabilities of the "
     "device and were truncated to the nearest supported value."},
    {0x0000000C, "Equal to DI_EFFECTRESTARTED | DI_TRUNCATED."},
    {0x80004001,
     "The function called is not supported at this time. This value is equal to the E_NOTIMPL standard COM return "
     "value."},
    {0x80004002,
     "The specified interface is not supported by the object. This value is equal to the E_NOINTERFACE standard COM "
     "return value."},
    {0x80004005,
     "An undetermined error occurred inside the DirectInput subsystem. This value is equal to the E_FAIL standard COM "
     "return value."},
    {0x80040110, "This object does not support aggregation."},
    {0x80040154,
     "The device or device instance is not registered with DirectInput. This value is equal to the "
     "REGDB_E_CLASSNOTREG standard COM return value."},
    {0x80040201, "The device is full."},
    {0x80040202, "Not all the requested information fitted into the buffer."},
    {0x80040203, "The effect is not downloaded."},
    {0x80040204, "The device cannot be reinitialized because there are still effects attached to it."},
    {0x80040205, "The operation cannot be performed unless the device is acquired in DISCL_EXCLUSIVE mode."},
    {0x80040206,
     "The effect could not be downloaded because essential information is missing. For example, no axes have been "
     "associated with the effect, or no type-specific information has been supplied."},
    {0x80040207, "The device is not buffered. Set the DIPROP_BUFFERSIZE property to enable buffering."},
    {0x80040208,
     "The parameters were updated in memory but were not downloaded to the device because the device does not "
     "support updating an effect while it is still playing."},
    {0x800405CC, "No more memory for effects of this kind (not documented)"},
    {0x80070002, "The requested object does not exist."},
    {0x80070005,
     "\"The device already has an event notification associated with it.\" or \"The specified property cannot be "
     "changed.\" or \"Another application has a higher priority level, preventing this call from succeeding. \""},
    {0x80070007, "Data is not yet available."},
    {0x8007000C, "The operation cannot be performed unless the device is acquired."},
    {0x8007000E,
     "The DirectInput subsystem could not allocate sufficient memory to complete the call. This value is equal to the "
     "E_OUTOFMEMORY standard COM return value."},
    {0x80070015, "This object has not been initialized."},
    {0x8007001E, "Access to the input device has been lost. It must be reacquired."},
    {0x80070057,
     "An invalid parameter was passed to the returning function, or the object was not in a state that permitted the "
     "function to be called. This value is equal to the E_INVALIDARG standard COM return value."},
    {0x80070077,
     "The object could not be created due to an incompatible driver version or mismatched or incomplete driver "
     "components."},
    {0x800700AA, "The operation cannot be performed while the device is acquired."},
    {0x8007047E, "The application requires a newer version of DirectInput."},
    {0x80070481, "The application was written for an unsupported prerelease version of DirectInput."},
    {0x800704DF, "This object is already initialized"},
};

std::vector<Expected> Direct3DRows()
{
    const std::vector<std::pair<uint32_t, std::string>> offsets = {
        {0x2BC, "D3DERR_BADMAJORVERSION"},
        {0x2BD, "D3DERR_BADMINORVERSION"},
        {0x2C1, "D3DERR_INITFAILED"},
        {0x2C2, "D3DERR_INITFAILED"},
        {0x2C3, "D3DERR_DEVICEAGGREGATED"},
        {0x2C6, "D3DERR_EXECUTE_CREATE_FAILED"},
        {0x2C7, "D3DERR_EXECUTE_DESTROY_FAILED"},
        {0x2C8, "D3DERR_EXECUTE_LOCK_FAILED"},
        {0x2C9, "D3DERR_EXECUTE_UNLOCK_FAILED"},
        {0x2CA, "D3DERR_EXECUTE_LOCKED"},
        {0x2CB, "D3DERR_EXECUTE_NOT_LOCKED"},
        {0x2CC, "D3DERR_EXECUTE_FAILED"},
        {0x2CD, "D3DERR_EXECUTE_CLIPPED_FAILED"},
        {0x2D0, "D3DERR_TEXTURE_NO_SUPPORT"},
        {0x2D1, "D3DERR_TEXTURE_CREATE_FAILED"},
        {0x2D2, "D3DERR_TEXTURE_DESTROY_FAILED"},
        {0x2D3, "D3DERR_TEXTURE_LOCK_FAILED"},
        {0x2D4, "D3DERR_TEXTURE_UNLOCK_FAILED"},
        {0x2D5, "D3DERR_TEXTURE_LOAD_FAILED"},
        {0x2D6, "D3DERR_TEXTURE_SWAP_FAILED"},
        {0x2D7, "D3DERR_TEXTURELOCKED"},
        {0x2D8, "D3DERR_TEXTURE_NOT_LOCKED"},
        {0x2D9, "D3DERR_TEXTURE_GETSURF_FAILED"},
        {0x2DA, "D3DERR_MATRIX_CREATE_FAILED"},
        {0x2DB, "D3DERR_MATRIX_DESTROY_FAILED"},
        {0x2DC, "D3DERR_MATRIX_SETDATA_FAILED"},
        {0x2DD, "D3DERR_MATRIX_GETDATA_FAILED"},
        {0x2DE, "D3DERR_SETVIEWPORTDATA_FAILED"},
        {0x2DF, "D3DERR_INVALIDCURRENTVIEWPORT"},
        {0x2E0, "D3DERR_INVALIDPRIMITIVETYPE"},
        {0x2E1, "D3DERR_INVALIDVERTEXTYPE"},
        {0x2E2, "D3DERR_TEXTURE_BADSIZE"},
        {0x2E3, "D3DERR_INVALIDRAMPTEXTURE"},
        {0x2E4, "D3DERR_MATERIAL_CREATE_FAILED"},
        {0x2E5, "D3DERR_MATERIAL_DESTROY_FAILED"},
        {0x2E6, "D3DERR_MATERIAL_SETDATA_FAILED"},
        {0x2E7, "D3DERR_MATERIAL_GETDATA_FAILED"},
        {0x2E8, "D3DERR_INVALIDPALETTE"},
        {0x2E9, "D3DERR_ZBUFF_NEEDS_SYSTEMMEMORY"},
        {0x2EA, "D3DERR_ZBUFF_NEEDS_VIDEOMEMORY"},
        {0x2EB, "D3DERR_SURFACENOTINVIDMEM"},
        {0x2EE, "D3DERR_LIGHT_SET_FAILED"},
        {0x2EF, "D3DERR_LIGHTHASVIEWPORT"},
        {0x2F0, "D3DERR_LIGHTNOTINTHISVIEWPORT"},
        {0x2F8, "D3DERR_SCENE_IN_SCENE"},
        {0x2F9, "D3DERR_SCENE_NOT_IN_SCENE"},
        {0x2FA, "D3DERR_SCENE_BEGIN_FAILED"},
        {0x2FB, "D3DERR_SCENE_END_FAILED"},
        {0x302, "D3DERR_INBEGIN"},
        {0x303, "D3DERR_NOTINBEGIN"},
        {0x304, "D3DERR_NOVIEWPORTS"},
        {0x305, "D3DERR_VIEWPORTDATANOTSET"},
        {0x306, "D3DERR_VIEWPORTHASNODEVICE"},
        {0x307, "D3DERR_NOCURRENTVIEWPORT"},
        {0x800, "D3DERR_INVALIDVERTEXFORMAT"},
        {0x802, "D3DERR_COLORKEYATTACHED"},
        {0x80C, "D3DERR_VERTEXBUFFEROPTIMIZED"},
        {0x80D, "D3DERR_VBUF_CREATE_FAILED"},
        {0x80E, "D3DERR_VERTEXBUFFERLOCKED"},
        {0x816, "D3DERR_ZBUFFER_NOTPRESENT"},
        {0x817, "D3DERR_STENCILBUFFER_NOTPRESENT"},
        {0x818, "D3DERR_WRONGTEXTUREFORMAT"},
        {0x819, "D3DERR_UNSUPPORTEDCOLOROPERATION"},
        {0x81A, "D3DERR_UNSUPPORTEDCOLORARG"},
        {0x81B, "D3DERR_UNSUPPORTEDALPHAOPERATION"},
        {0x81C, "D3DERR_UNSUPPORTEDALPHAARG"},
        {0x81D, "D3DERR_TOOMANYOPERATIONS"},
        {0x81E, "D3DERR_CONFLICTINGTEXTUREFILTER"},
        {0x81F, "D3DERR_UNSUPPORTEDFACTORVALUE"},
        {0x821, "D3DERR_CONFLICTINGRENDERSTATE"},
        {0x822, "D3DERR_UNSUPPORTEDTEXTUREFILTER"},
        {0x823, "D3DERR_TOOMANYPRIMITIVES"},
        {0x824, "D3DERR_INVALIDMATRIX"},
        {0x825, "D3DERR_TOOMANYVERTICES"},
        {0x826, "D3DERR_CONFLICTINGTEXTUREPALETTE"},
    };
    std::vector<Expected> rows = {{0x00000000, "No error"}};
    for (const auto& [offset, name] : offsets) rows.push_back({0x88760000 + offset, name});
    return rows;
}

template <typename Rows>
std::set<uint32_t> CodesOf(const Rows& rows)
{
    std::set<uint32_t> codes;
    for (const Expected& row : rows) codes.insert(row.Code);
    return codes;
}

std::string Unlisted(uint32_t) { return Unrecognized; }

std::string DIUnlisted(uint32_t code)
{
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08X", code);
    return std::string("Unrecognized Error: $") + digits;
}

// Every code the family gives a text of its own, searched over the ranges where DirectX puts
// its results and a few values at the edges of the 32-bit range.
std::set<uint32_t> RecognizedCodes(const Family& family, const std::function<std::string(uint32_t)>& unlisted)
{
    const std::pair<uint32_t, uint32_t> ranges[] = {
        {0x00000000, 0x00001000}, {0x7FFFFF00, 0x80000100}, {0x80004000, 0x80004100}, {0x80040000, 0x80040800},
        {0x80070000, 0x80070800}, {0x88760000, 0x88761000}, {0x88780000, 0x88780400}, {0xFFFFFF00, 0xFFFFFFFF},
    };
    std::set<uint32_t> found;
    for (const auto& [first, last] : ranges)
        for (uint32_t code = first; code < last; ++code)
            if (family(Signed(code)) != unlisted(code)) found.insert(code);
    if (family(Signed(0xFFFFFFFF)) != unlisted(0xFFFFFFFF)) found.insert(0xFFFFFFFF);
    return found;
}

}  // namespace

TEST(DDErrorString, GivesTheQuotedTextsWordForWord) { ExpectTexts(DDErrorString, DirectDrawQuoted); }

TEST(DDErrorString, ListsExactlyTheDirectDrawCodes)
{
    const std::set<uint32_t> listed = DirectDrawCodes();
    ASSERT_EQ(listed.size(), 109u);
    EXPECT_EQ(RecognizedCodes(DDErrorString, Unlisted), listed);
}

TEST(DDErrorString, DescribesEachCodeInOneDistinctSentence)
{
    // Only the two out-of-memory codes share a text; any other repeat would be a copied row.
    std::set<std::string> texts;
    for (uint32_t code : DirectDrawCodes()) {
        const std::string text = DDErrorString(Signed(code));
        EXPECT_GT(text.size(), 10u) << std::hex << code;
        if (code != 0x8876017C) {
            EXPECT_TRUE(texts.insert(text).second) << std::hex << code << ": " << text;
        }
    }
    EXPECT_EQ(DDErrorString(Signed(0x8876017C)), DDErrorString(Signed(0x8007000E)));
}

TEST(DSErrorString, GivesEveryListedTextWordForWord)
{
    ExpectTexts(DSErrorString, DirectSoundRows());
    EXPECT_EQ(RecognizedCodes(DSErrorString, Unlisted), CodesOf(DirectSoundRows()));
    EXPECT_EQ(DirectSoundRows().size(), 17u);
}

TEST(DSErrorString, PutsThePlatformsAcuteAccentIntoTheOutOfMemoryText)
{
    // One character: one byte in Windows-1252, or its two-byte UTF-8 form.
    const std::string_view accent = AcuteAccent();
    EXPECT_TRUE(accent == "\xB4" || accent == "\xC2\xB4") << accent;
    EXPECT_NE(DSErrorString(Signed(0x8007000E)).find(std::string("caller") + std::string(accent) + "s request."),
              std::string::npos);
}

TEST(DIErrorString, GivesEveryListedTextWordForWord)
{
    ExpectTexts(DIErrorString, DirectInputRows);
    EXPECT_EQ(DirectInputRows.size(), 34u);
    EXPECT_EQ(RecognizedCodes(DIErrorString, DIUnlisted), CodesOf(DirectInputRows));
}

TEST(DIErrorString, ShowsAnUnlistedCodeAsEightUpperCaseHexDigits)
{
    EXPECT_EQ(DIErrorString(Signed(0x80070001)), "Unrecognized Error: $80070001");
    EXPECT_EQ(DIErrorString(Signed(0x8876ABCD)), "Unrecognized Error: $8876ABCD");
    EXPECT_EQ(DIErrorString(5), "Unrecognized Error: $00000005");
    EXPECT_EQ(DIErrorString(-1), "Unrecognized Error: $FFFFFFFF");
    EXPECT_EQ(DIErrorString(INT32_MIN), "Unrecognized Error: $80000000");
}

TEST(D3DErrorString, NamesEveryListedCode)
{
    const std::vector<Expected> rows = Direct3DRows();
    ASSERT_EQ(rows.size(), 76u);
    ExpectTexts(D3DErrorString, rows);
    EXPECT_EQ(RecognizedCodes(D3DErrorString, Unlisted), CodesOf(rows));
}

TEST(ResultTexts, SuccessHasATextInEveryFamily)
{
    EXPECT_EQ(DDErrorString(0), "The request completed successfully.");
    EXPECT_EQ(DSErrorString(0), "The request completed successfully.");
    EXPECT_EQ(DIErrorString(0), "The operation completed successfully.");
    EXPECT_EQ(D3DErrorString(0), "No error");
}

TEST(ResultTexts, OneCodeReadsAsEachFamilyDescribesIt)
{
    const int32_t invalidArg = Signed(0x80070057);
    const std::set<std::string> texts = {DDErrorString(invalidArg), DSErrorString(invalidArg),
                                         DIErrorString(invalidArg)};
    EXPECT_EQ(texts.size(), 3u);
    EXPECT_EQ(D3DErrorString(invalidArg), Unrecognized);
}

TEST(ResultTexts, AnotherFamilysCodeIsUnrecognized)
{
    const uint32_t noDriver = 0x88780078;  // DirectSound
    EXPECT_EQ(DDErrorString(Signed(noDriver)), Unrecognized);
    EXPECT_EQ(D3DErrorString(Signed(noDriver)), Unrecognized);
    EXPECT_EQ(DIErrorString(Signed(noDriver)), "Unrecognized Error: $88780078");

    const uint32_t badMajorVersion = 0x887602BC;  // Direct3D, beside DirectDraw's codes
    EXPECT_EQ(DDErrorString(Signed(badMajorVersion)), Unrecognized);
    EXPECT_EQ(DSErrorString(Signed(badMajorVersion)), Unrecognized);

    const uint32_t invalidPixelFormat = 0x88760091;  // DirectDraw
    EXPECT_EQ(D3DErrorString(Signed(invalidPixelFormat)), Unrecognized);
    EXPECT_EQ(DSErrorString(Signed(invalidPixelFormat)), Unrecognized);

    const uint32_t deviceFull = 0x80040201;  // DirectInput
    EXPECT_EQ(DDErrorString(Signed(deviceFull)), Unrecognized);
    EXPECT_EQ(DSErrorString(Signed(deviceFull)), Unrecognized);

    EXPECT_EQ(DDErrorString(Signed(0x88760001)), Unrecognized);
}

TEST(ResultText, PicksTheFamilyByItsNumber)
{
    // A code every family reads differently shows which function answered.
    const int32_t code = Signed(0x80004005);
    EXPECT_EQ(ResultText(0, code), "");
    EXPECT_EQ(ResultText(1, code), DDErrorString(code));
    EXPECT_EQ(ResultText(2, code), DSErrorString(code));
    EXPECT_EQ(ResultText(3, code), DIErrorString(code));
    EXPECT_EQ(ResultText(4, Signed(0x887602BC)), "D3DERR_BADMAJORVERSION");
    EXPECT_EQ(ResultText(1, 0), "The request completed successfully.");
    EXPECT_EQ(ResultText(0, 0), "");
    EXPECT_EQ(ResultText(5, code), "");
    EXPECT_EQ(ResultText(-1, code), "");
    EXPECT_EQ(ResultText(3, 7), "Unrecognized Error: $00000007");
}
