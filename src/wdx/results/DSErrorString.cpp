// DirectSound result texts.
#include "core/Text.h"
#include "wdx/results/ResultTable.h"
#include "wdx/results/ResultTexts.h"

namespace {

using ResultTexts::Row;

constexpr uint32_t OutOfMemory = 0x8007000E;

constexpr Row Rows[] = {
    {0x00000000, "The request completed successfully."},
    {0x80004001, "The function called is not supported at this time."},
    {0x80004002, "The requested COM interface is not available."},
    {0x80004005, "An undetermined error occurred inside the DirectSound subsystem."},
    {0x80040110, "The object does not support aggregation."},
    // OutOfMemory is answered apart: its text holds a character whose bytes depend on the platform.
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
static_assert(ResultTexts::StrictlyAscending(Rows));

}  // namespace

std::string DSErrorString(int32_t code)
{
    const uint32_t key = static_cast<uint32_t>(code);
    if (key == OutOfMemory) {
        std::string text = "The DirectSound subsystem could not allocate sufficient memory to complete the caller";
        text += AcuteAccent();
        text += "s request.";
        return text;
    }
    const char* text = ResultTexts::Find(Rows, key);
    return text ? text : ResultTexts::Unrecognized;
}
