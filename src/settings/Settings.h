#pragma once
// The settings of the whole program: one registry key of the current user with five values,
// and AllPictureFormats beside them, which only ever adds to what the five say.
// Nothing is cached: each mode reads once at its start, and only the dialog writes.
#include <cstdint>
#include <optional>
#include <string>

class TRegistry;

extern const char* const SettingsKey;  // "\SOFTWARE\Quillory\Vellumine"

struct TResolution {
    int32_t Width = 800;
    int32_t Height = 600;
    int32_t Bits = 16;
    bool operator==(const TResolution&) const = default;
};

// The resolution after any read failure, and when the key cannot be opened at all.
inline constexpr TResolution DefaultResolution{800, 600, 16};

// What one load produced. A setting that was never read is empty, and the reader keeps its
// own value for it (the folder it already had; speed 1 on the dialog's bar, 5 in the show).
struct TLoadedSettings {
    bool KeyOpened = false;
    std::optional<std::string> ImagesPath;
    std::optional<int32_t> Speed;  // as stored, unchecked
    TResolution Resolution;        // as stored, or DefaultResolution after any failure
    bool ResolutionRead = false;
    // Whether the show also takes the formats beyond JPEG: the REG_DWORD AllPictureFormats
    // is 1. Absent, 0 or unreadable: off. Read whatever became of the five.
    bool AllPictureFormats = false;
};

// Reads the five values in their order; the first failure stops reading, silently.
TLoadedSettings LoadSettings();
TLoadedSettings LoadSettings(TRegistry& registry);

// The picture folder alone, for the preview; empty when absent or unreadable.
std::string ReadPictureFolder();
std::string ReadPictureFolder(TRegistry& registry);
// AllPictureFormats alone, for the preview.
bool ReadAllPictureFormats();
bool ReadAllPictureFormats(TRegistry& registry);

// Writes all five values in their order. With no resolution (the mode list was empty) the
// stored resolution is kept. With allPictureFormats, AllPictureFormats is written after them:
// 1 when on; when off, 0 over a value already there, and nothing where there is none, so
// that a key that never had it stays as it was. A refused write raises ERegistryException; the values written
// before it stay written. When the key can be neither opened nor created nothing is written
// and ERegistryException says what could not be written and why.
void SaveSettings(const std::string& imagesPath, const std::optional<TResolution>& resolution, int32_t speed,
                  std::optional<bool> allPictureFormats = std::nullopt);
void SaveSettings(TRegistry& registry, const std::string& imagesPath, const std::optional<TResolution>& resolution,
                  int32_t speed, std::optional<bool> allPictureFormats = std::nullopt);
