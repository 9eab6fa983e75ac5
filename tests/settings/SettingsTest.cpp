#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/Registry.h"
#include "support/RegistrySandbox.h"

namespace {
TRegValue Dword(uint32_t v)
{
    return {rvDword,
            {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
             static_cast<uint8_t>(v >> 24)}};
}

class SettingsStore : public ::testing::Test {
protected:
    RegistrySandbox Sandbox;

    // Stores values straight into the key, as a hand edit or an older version would.
    void Store(const std::vector<std::pair<std::string, TRegValue>>& values)
    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
        for (const auto& [name, value] : values) registry.WriteValue(name, value);
    }

    void StoreAll(const std::string& folder, int32_t w, int32_t h, int32_t bits, int32_t speed)
    {
        Store({{"ImagesPath", MakeStringValue(rvString, folder)},
               {"Res_Width", Dword(w)},
               {"Res_Height", Dword(h)},
               {"Res_Bits", Dword(bits)},
               {"Animate_Speed", Dword(speed)}});
    }

    void Remove(const std::string& name)
    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
        registry.DeleteValue(name);
    }

    std::optional<TRegValue> Stored(const std::string& name)
    {
        TRegistry registry;
        if (!registry.OpenKey(SettingsKey, false)) return std::nullopt;
        return registry.ReadValue(name);
    }
};

// Stands in for the registry to refuse a write or an open, and records what was written.
class ScriptedRegistry : public TRegistry {
public:
    std::string RefuseWriteOf;
    bool RefuseOpen = false;
    std::vector<std::string> Written;

    bool OpenKey(const std::string& key, bool canCreate) override
    {
        return !RefuseOpen && TRegistry::OpenKey(key, canCreate);
    }
    void WriteValue(const std::string& name, const TRegValue& value) override
    {
        if (name == RefuseWriteOf) throw ERegistryException("Failed to set data for '" + name + "'");
        Written.push_back(name);
        TRegistry::WriteValue(name, value);
    }
    void WriteString(const std::string& name, const std::string& text) override
    {
        WriteValue(name, MakeStringValue(rvString, text));
    }
    void WriteInteger(const std::string& name, int32_t value) override
    {
        WriteValue(name, Dword(static_cast<uint32_t>(value)));
    }
};
}  // namespace

TEST_F(SettingsStore, FirstRunCreatesTheEmptyKeyAndYieldsDefaults)
{
    ASSERT_FALSE(Stored("ImagesPath"));
    const TLoadedSettings loaded = LoadSettings();
    EXPECT_TRUE(loaded.KeyOpened);
    // An absent folder is the empty text, not a failure; the absent width then stops reading.
    ASSERT_TRUE(loaded.ImagesPath);
    EXPECT_EQ(*loaded.ImagesPath, "");
    EXPECT_FALSE(loaded.Speed);
    EXPECT_EQ(loaded.Resolution, DefaultResolution);
    EXPECT_FALSE(loaded.ResolutionRead);

    TRegistry registry;
    EXPECT_TRUE(registry.OpenKey(SettingsKey, false)) << "a reading mode creates the key too";
}

TEST_F(SettingsStore, CompleteKeyLoadsEveryValueUnchecked)
{
    StoreAll("/home/ann/Pictures", 1024, 768, 32, 250);
    TLoadedSettings loaded = LoadSettings();
    EXPECT_EQ(*loaded.ImagesPath, "/home/ann/Pictures");
    EXPECT_EQ(loaded.Resolution, (TResolution{1024, 768, 32}));
    EXPECT_TRUE(loaded.ResolutionRead);
    EXPECT_EQ(*loaded.Speed, 250) << "the show takes the stored speed without any check";

    StoreAll("", 640, 480, 16, 0);
    loaded = LoadSettings();
    EXPECT_EQ(*loaded.ImagesPath, "") << "an empty folder is no failure";
    EXPECT_EQ(loaded.Resolution, (TResolution{640, 480, 16}));
    EXPECT_EQ(*loaded.Speed, 0);

    StoreAll("x", 1, 2, 3, -7);
    EXPECT_EQ(*LoadSettings().Speed, -7);
}

TEST_F(SettingsStore, FirstFailureStopsReadingAndResetsTheResolution)
{
    // A missing speed discards a complete stored resolution.
    Store({{"ImagesPath", MakeStringValue(rvString, "pics")},
           {"Res_Width", Dword(1280)},
           {"Res_Height", Dword(1024)},
           {"Res_Bits", Dword(32)}});
    TLoadedSettings loaded = LoadSettings();
    EXPECT_EQ(*loaded.ImagesPath, "pics");
    EXPECT_EQ(loaded.Resolution, DefaultResolution);
    EXPECT_FALSE(loaded.Speed);

    // A height of the wrong type stops reading before the speed, which keeps its default.
    StoreAll("pics", 1280, 1024, 32, 9);
    Store({{"Res_Height", TRegValue{rvBinary, {0, 4, 0, 0}}}});
    loaded = LoadSettings();
    EXPECT_EQ(loaded.Resolution, DefaultResolution);
    EXPECT_FALSE(loaded.Speed);

    // A DWORD must hold exactly four bytes.
    StoreAll("pics", 1280, 1024, 32, 9);
    Store({{"Res_Bits", TRegValue{rvDword, {16, 0}}}});
    loaded = LoadSettings();
    EXPECT_EQ(loaded.Resolution, DefaultResolution);
    EXPECT_FALSE(loaded.Speed);

    // A speed stored as text is a failure too.
    StoreAll("pics", 1280, 1024, 32, 9);
    Store({{"Animate_Speed", MakeStringValue(rvString, "9")}});
    loaded = LoadSettings();
    EXPECT_EQ(loaded.Resolution, DefaultResolution);
    EXPECT_FALSE(loaded.Speed);
    EXPECT_EQ(*loaded.ImagesPath, "pics");
}

TEST_F(SettingsStore, FolderTextRules)
{
    // Expandable strings are taken as they stand, not expanded.
    StoreAll("", 800, 600, 16, 5);
    Store({{"ImagesPath", MakeStringValue(rvExpandString, "%HOME%/Pictures")}});
    EXPECT_EQ(*LoadSettings().ImagesPath, "%HOME%/Pictures");

    // The text ends at its first zero.
    Store({{"ImagesPath", TRegValue{rvString, {'a', 'b', 0, 'c', 'd', 0}}}});
    EXPECT_EQ(*LoadSettings().ImagesPath, "ab");
    EXPECT_EQ(ReadPictureFolder(), "ab");

    // Zero-length data is the empty text whatever its type.
    Store({{"ImagesPath", TRegValue{rvBinary, {}}}});
    TLoadedSettings loaded = LoadSettings();
    EXPECT_EQ(*loaded.ImagesPath, "");
    EXPECT_EQ(*loaded.Speed, 5);

    // Any other type stops loading at once: folder unread, resolution and speed defaulted.
    Store({{"ImagesPath", Dword(3)}});
    loaded = LoadSettings();
    EXPECT_FALSE(loaded.ImagesPath);
    EXPECT_EQ(loaded.Resolution, DefaultResolution);
    EXPECT_FALSE(loaded.Speed);
    EXPECT_EQ(ReadPictureFolder(), "");
}

TEST_F(SettingsStore, SaveWritesAllFiveValuesInOrderWithTheirTypes)
{
    ScriptedRegistry registry;
    SaveSettings(registry, "/srv/photos", TResolution{1920, 1080, 32}, 42);
    EXPECT_EQ(registry.Written,
              (std::vector<std::string>{"ImagesPath", "Res_Width", "Res_Height", "Res_Bits", "Animate_Speed"}));
    EXPECT_FALSE(registry.HasOpenKey()) << "the key is closed after saving";

    const auto folder = Stored("ImagesPath");
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->Type, rvString);
    EXPECT_EQ(folder->Data, MakeStringValue(rvString, "/srv/photos").Data) << "stored with its terminating zero";
    EXPECT_EQ(Stored("Res_Width")->Data, Dword(1920).Data);
    EXPECT_EQ(Stored("Res_Bits")->Type, rvDword);

    const TLoadedSettings loaded = LoadSettings();
    EXPECT_EQ(*loaded.ImagesPath, "/srv/photos");
    EXPECT_EQ(loaded.Resolution, (TResolution{1920, 1080, 32}));
    EXPECT_EQ(*loaded.Speed, 42);
}

TEST_F(SettingsStore, SaveWithoutAResolutionKeepsTheStoredOne)
{
    StoreAll("old", 1024, 768, 16, 3);
    SaveSettings("new", std::nullopt, 7);
    const TLoadedSettings loaded = LoadSettings();
    EXPECT_EQ(*loaded.ImagesPath, "new");
    EXPECT_EQ(loaded.Resolution, (TResolution{1024, 768, 16}));
    EXPECT_EQ(*loaded.Speed, 7);
}

TEST_F(SettingsStore, RefusedWriteNamesTheValueAndKeepsEarlierWrites)
{
    StoreAll("old", 640, 480, 16, 3);
    ScriptedRegistry registry;
    registry.RefuseWriteOf = "Res_Height";
    try {
        SaveSettings(registry, "new", TResolution{1024, 768, 32}, 9);
        FAIL() << "the refused write must raise";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.Message(), "Failed to set data for 'Res_Height'");
    }
    EXPECT_FALSE(registry.HasOpenKey()) << "the key is closed also when a write fails";
    EXPECT_EQ(registry.Written, (std::vector<std::string>{"ImagesPath", "Res_Width"}));
    EXPECT_EQ(Stored("Res_Width")->Data, Dword(1024).Data);
    EXPECT_EQ(Stored("Res_Height")->Data, Dword(480).Data) << "values after the refused one are untouched";
    EXPECT_EQ(Stored("Animate_Speed")->Data, Dword(3).Data);
}

TEST_F(SettingsStore, KeyThatCannotBeOpenedReadsDefaultsAndRefusesTheSave)
{
    StoreAll("kept", 1024, 768, 32, 8);
    ScriptedRegistry registry;
    registry.RefuseOpen = true;
    const TLoadedSettings loaded = LoadSettings(registry);
    EXPECT_FALSE(loaded.KeyOpened);
    EXPECT_FALSE(loaded.ImagesPath);
    EXPECT_FALSE(loaded.Speed);
    EXPECT_EQ(loaded.Resolution, DefaultResolution);
    EXPECT_EQ(ReadPictureFolder(registry), "");

    // A save must not pass for done: it says it could not write, and writes nothing.
    try {
        SaveSettings(registry, "lost", TResolution{640, 480, 16}, 1);
        FAIL() << "the save must raise";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.Message(), "Failed to save the settings: cannot open the key \\SOFTWARE\\Quillory\\Vellumine");
    }
    EXPECT_TRUE(registry.Written.empty());
    EXPECT_EQ(*LoadSettings().ImagesPath, "kept");
}

TEST_F(SettingsStore, AllPictureFormatsIsOnOnlyAsTheDwordOneAndNeverDisturbsTheFive)
{
    struct Case {
        const char* What;
        std::optional<TRegValue> Value;
        bool On;
    };
    const Case cases[] = {
        {"absent", std::nullopt, false},
        {"0", Dword(0), false},
        {"1", Dword(1), true},
        {"2", Dword(2), false},
        {"a string", MakeStringValue(rvString, "1"), false},
        {"a short DWORD", TRegValue{rvDword, {1, 0}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        StoreAll("/srv/photos", 1280, 720, 32, 9);
        if (c.Value)
            Store({{"AllPictureFormats", *c.Value}});
        else
            Remove("AllPictureFormats");
        const TLoadedSettings loaded = LoadSettings();
        EXPECT_EQ(loaded.AllPictureFormats, c.On);
        EXPECT_EQ(ReadAllPictureFormats(), c.On);
        EXPECT_TRUE(loaded.ResolutionRead);
        EXPECT_EQ(*loaded.Speed, 9);
    }
    // Read even where the five stop early.
    Store({{"ImagesPath", Dword(5)}, {"AllPictureFormats", Dword(1)}});
    EXPECT_TRUE(LoadSettings().AllPictureFormats);
}

TEST_F(SettingsStore, SavingAllPictureFormatsOffLeavesAKeyThatNeverHadItAsItWas)
{
    ScriptedRegistry registry;
    SaveSettings(registry, "/srv/photos", TResolution{1920, 1080, 32}, 42, false);
    EXPECT_EQ(registry.Written.size(), 5u) << "nothing beside the five";
    EXPECT_FALSE(Stored("AllPictureFormats"));

    SaveSettings(registry, "/srv/photos", TResolution{1920, 1080, 32}, 42, true);
    EXPECT_EQ(registry.Written.back(), "AllPictureFormats");
    EXPECT_EQ(Stored("AllPictureFormats")->Data, Dword(1).Data);
    EXPECT_TRUE(LoadSettings().AllPictureFormats);

    SaveSettings(registry, "/srv/photos", TResolution{1920, 1080, 32}, 42, false);
    EXPECT_EQ(Stored("AllPictureFormats")->Data, Dword(0).Data) << "an explicit value stays explicit";
    EXPECT_FALSE(LoadSettings().AllPictureFormats);

    // Without the argument (a caller that knows nothing of it) the value is left alone.
    Store({{"AllPictureFormats", Dword(1)}});
    SaveSettings("/srv/photos", std::nullopt, 42);
    EXPECT_TRUE(LoadSettings().AllPictureFormats);
}
