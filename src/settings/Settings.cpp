#include "settings/Settings.h"

#include <cstring>

#include "framework/Registry.h"

const char* const SettingsKey = "\\SOFTWARE\\Quillory\\Vellumine";

namespace {
constexpr const char* AllFormatsValue = "AllPictureFormats";

// Text of a string value up to its first zero. Absent or zero-length data is the empty
// text, whatever its type; any other non-string type is a failure (nothing).
std::optional<std::string> ReadText(TRegistry& registry, const char* name)
{
    const std::optional<TRegValue> value = registry.ReadValue(name);
    if (!value || value->Data.empty()) return std::string();
    if (value->Type != rvString && value->Type != rvExpandString) return std::nullopt;
    const auto* bytes = reinterpret_cast<const char*>(value->Data.data());
    return std::string(bytes, strnlen(bytes, value->Data.size()));
}

// A 32-bit integer stored as a 4-byte REG_DWORD; anything else is a failure.
std::optional<int32_t> ReadDword(TRegistry& registry, const char* name)
{
    const std::optional<TRegValue> value = registry.ReadValue(name);
    if (!value || value->Type != rvDword || value->Data.size() != 4) return std::nullopt;
    const uint32_t raw = static_cast<uint32_t>(value->Data[0]) | static_cast<uint32_t>(value->Data[1]) << 8 |
                         static_cast<uint32_t>(value->Data[2]) << 16 | static_cast<uint32_t>(value->Data[3]) << 24;
    return static_cast<int32_t>(raw);
}

// Closes the key on every way out, also when a write throws.
struct TKeyCloser {
    TRegistry& Registry;
    ~TKeyCloser() { Registry.CloseKey(); }
};
}  // namespace

TLoadedSettings LoadSettings(TRegistry& registry)
{
    TLoadedSettings loaded;
    loaded.Resolution = DefaultResolution;
    if (!registry.OpenKey(SettingsKey, true)) return loaded;
    TKeyCloser closer{registry};
    loaded.KeyOpened = true;
    // All values from one state of the store, not a mixture of two saves.
    registry.BeginUpdate();
    loaded.AllPictureFormats = ReadDword(registry, AllFormatsValue) == 1;

    loaded.ImagesPath = ReadText(registry, "ImagesPath");
    if (!loaded.ImagesPath) return loaded;

    const std::optional<int32_t> width = ReadDword(registry, "Res_Width");
    if (!width) return loaded;
    const std::optional<int32_t> height = ReadDword(registry, "Res_Height");
    if (!height) return loaded;
    const std::optional<int32_t> bits = ReadDword(registry, "Res_Bits");
    if (!bits) return loaded;

    // The stored resolution only counts once the speed has been read as well.
    loaded.Speed = ReadDword(registry, "Animate_Speed");
    if (!loaded.Speed) return loaded;
    loaded.Resolution = {*width, *height, *bits};
    loaded.ResolutionRead = true;
    return loaded;
}

TLoadedSettings LoadSettings()
{
    TRegistry registry;
    return LoadSettings(registry);
}

std::string ReadPictureFolder(TRegistry& registry)
{
    if (!registry.OpenKey(SettingsKey, true)) return {};
    TKeyCloser closer{registry};
    return ReadText(registry, "ImagesPath").value_or(std::string());
}

std::string ReadPictureFolder()
{
    TRegistry registry;
    return ReadPictureFolder(registry);
}

bool ReadAllPictureFormats(TRegistry& registry)
{
    if (!registry.OpenKey(SettingsKey, true)) return false;
    TKeyCloser closer{registry};
    return ReadDword(registry, AllFormatsValue) == 1;
}

bool ReadAllPictureFormats()
{
    TRegistry registry;
    return ReadAllPictureFormats(registry);
}

void SaveSettings(TRegistry& registry, const std::string& imagesPath, const std::optional<TResolution>& resolution,
                  int32_t speed, std::optional<bool> allPictureFormats)
{
    // Unlike the readers, which fall back on defaults, a save must not pass for done: the
    // user would lose the choices without a word.
    if (!registry.OpenKey(SettingsKey, true)) {
        const std::string& why = registry.OpenFailure();
        throw ERegistryException("Failed to save the settings: " +
                                 (why.empty() ? "cannot open the key " + std::string(SettingsKey) : why));
    }
    TKeyCloser closer{registry};
    // Stored as one, so that a load or a crash never finds half of one save and half of another.
    registry.BeginUpdate();
    try {
        registry.WriteString("ImagesPath", imagesPath);
        if (resolution) {
            registry.WriteInteger("Res_Width", resolution->Width);
            registry.WriteInteger("Res_Height", resolution->Height);
            registry.WriteInteger("Res_Bits", resolution->Bits);
        }
        registry.WriteInteger("Animate_Speed", speed);
        if (allPictureFormats && (*allPictureFormats || registry.ReadValue(AllFormatsValue)))
            registry.WriteInteger(AllFormatsValue, *allPictureFormats ? 1 : 0);
    } catch (const ERegistryException&) {
        // The values before the refused one are stored, as they would be one by one; the
        // refusal is what the caller hears of.
        try {
            registry.EndUpdate();
        } catch (const ERegistryException&) {
        }
        throw;
    }
    registry.EndUpdate();
}

void SaveSettings(const std::string& imagesPath, const std::optional<TResolution>& resolution, int32_t speed,
                  std::optional<bool> allPictureFormats)
{
    TRegistry registry;
    SaveSettings(registry, imagesPath, resolution, speed, allPictureFormats);
}
