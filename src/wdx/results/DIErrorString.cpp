// DirectInput result texts, success codes included.
#include <cstdio>

#include "wdx/results/ResultTable.h"
#include "wdx/results/ResultTexts.h"

namespace {

using ResultTexts::Row;

constexpr Row Rows[] = {
    {0x00000000, "The operation completed successfully."},
    // S_FALSE carries four meanings in DirectInput, so its text quotes each of them.
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
    // E_ACCESSDENIED likewise stands for three DirectInput results.
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
static_assert(ResultTexts::StrictlyAscending(Rows));

}  // namespace

std::string DIErrorString(int32_t code)
{
    const uint32_t key = static_cast<uint32_t>(code);
    if (const char* text = ResultTexts::Find(Rows, key)) return text;
    // An unlisted code is shown as all eight upper-case hexadecimal digits, leading zeros
    // included, so every code reads at the same width.
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(key));
    return std::string("Unrecognized Error: $") + digits;
}
