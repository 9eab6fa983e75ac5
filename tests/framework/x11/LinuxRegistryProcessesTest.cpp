// The settings file shared by processes: writers killed at any moment leave a whole file
// behind, and writers running at once never lose each other's values.
#include "framework/Registry.h"
#include "framework/x11/LinuxRegFile.h"
#include "settings/Settings.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <tuple>

namespace fs = std::filesystem;

namespace {

const std::string FullKey = "HKEY_CURRENT_USER\\SOFTWARE\\Quillory\\Vellumine";

// The soak (scripts/soak) asks for more rounds than the quick run's with VELLUMINE_SOAK_SAVES.
int Rounds(int usual)
{
    const char* text = std::getenv("VELLUMINE_SOAK_SAVES");
    return text ? std::max(usual, std::atoi(text)) : usual;
}

// A value long enough that a torn write would show, and tied to its iteration and slot.
std::string Payload(long iteration, int slot)
{
    std::string text = Named("iteration ", iteration);
    text += Named(" slot ", slot);
    text.append(static_cast<size_t>(200 + iteration % 97), static_cast<char>('a' + iteration % 26));
    return text + "#end";
}

// The iteration that wrote this value, or nothing when it is no complete value of any.
std::optional<long> IterationOf(const TRegValue& value, int slot)
{
    if (value.Type != rvString || value.Data.empty() || value.Data.back() != 0) return std::nullopt;
    const std::string text(value.Data.begin(), value.Data.end() - 1);
    const long iteration = std::atol(text.c_str() + std::min<size_t>(text.size(), 10));
    if (Payload(iteration, slot) != text) return std::nullopt;
    return iteration;
}

class TConfigHome {
public:
    TConfigHome()
    {
        if (const char* previous = std::getenv("XDG_CONFIG_HOME")) FPrevious = previous;
        setenv("XDG_CONFIG_HOME", FTemp.Str().c_str(), 1);
    }
    ~TConfigHome()
    {
        if (FPrevious)
            setenv("XDG_CONFIG_HOME", FPrevious->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }
    fs::path Folder() const { return FTemp.Path() / "vellumine"; }

private:
    TempDir FTemp;
    std::optional<std::string> FPrevious;
};

// Runs body in a child process; the child never returns into the test framework.
pid_t Spawn(const std::function<bool()>& body)
{
    const pid_t pid = fork();
    if (pid == 0) {
        bool ok = false;
        try {
            ok = body();
        } catch (...) {
        }
        _exit(ok ? 0 : 1);
    }
    return pid;
}

int ExitCode(pid_t pid)
{
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A pipe the children block on until the parent closes it, so they start together.
class TStartGate {
public:
    TStartGate() { EXPECT_EQ(pipe(FEnds), 0); }
    ~TStartGate() { Open(); }
    void Wait()  // in a child
    {
        close(FEnds[1]);
        char c;
        while (read(FEnds[0], &c, 1) < 0 && errno == EINTR) {
        }
    }
    void Open()
    {
        for (int& fd : FEnds)
            if (fd >= 0) close(fd), fd = -1;
    }

private:
    int FEnds[2] = {-1, -1};
};

TLinuxRegModel LoadWhole()
{
    TLinuxRegLoad load = LoadLinuxRegFile(LinuxRegFilePath());
    EXPECT_EQ(load.State, TLinuxRegState::Ok) << load.Parse.ErrorLine << ": " << load.Parse.Error;
    return std::move(load.Parse.Model);
}

}  // namespace

TEST(LinuxRegistryProcesses, WriterKilledAtAnyMomentLeavesAWholeFile)
{
    TConfigHome home;
    const int Slots = 4;
    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
        for (int slot = 0; slot < Slots; ++slot) registry.WriteString(Named("V", slot), Payload(0, slot));
        registry.WriteInteger("Count", 0);
    }
    std::mt19937 random(20240611);
    long lastSeen = 0;
    const int Kills = Rounds(50);
    for (int round = 0; round < Kills; ++round) {
        // The child tells when it has saved once, so every kill lands inside the loop.
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const long start = (round + 1) * 1000000L;
        const pid_t child = Spawn([&] {
            close(ready[0]);
            TRegistry registry;
            if (!registry.OpenKey(SettingsKey, true)) return false;
            for (long i = start;; ++i) {
                for (int slot = 0; slot < Slots; ++slot) registry.WriteString(Named("V", slot), Payload(i, slot));
                registry.WriteInteger("Count", static_cast<int32_t>(i));
                if (i == start && write(ready[1], "r", 1) != 1) return false;
            }
        });
        ASSERT_GT(child, 0);
        close(ready[1]);
        char c;
        ASSERT_EQ(read(ready[0], &c, 1), 1) << "round " << round;
        close(ready[0]);
        usleep(static_cast<useconds_t>(random() % 8000));
        kill(child, SIGKILL);
        ASSERT_EQ(ExitCode(child), 128 + SIGKILL);

        const TLinuxRegModel model = LoadWhole();
        const TLinuxRegKey* key = model.FindKey(FullKey);
        ASSERT_NE(key, nullptr) << "round " << round;
        ASSERT_EQ(key->Values.size(), static_cast<size_t>(Slots + 1)) << "round " << round;
        // Slots are written in order, then the count: each holds a whole value, none is ahead
        // of the one before it, and all come from the same or the next iteration.
        std::vector<long> iterations;
        for (int slot = 0; slot < Slots; ++slot) {
            const TLinuxRegEntry* entry = TLinuxRegModel::FindValue(*key, Named("V", slot));
            ASSERT_NE(entry, nullptr);
            const std::optional<long> iteration = IterationOf(entry->Value, slot);
            ASSERT_TRUE(iteration.has_value()) << "round " << round << " slot " << slot;
            iterations.push_back(*iteration);
        }
        const TLinuxRegEntry* count = TLinuxRegModel::FindValue(*key, "Count");
        ASSERT_NE(count, nullptr);
        ASSERT_EQ(count->Value.Type, uint32_t(rvDword));
        ASSERT_EQ(count->Value.Data.size(), 4u);
        const long counted = count->Value.Data[0] | count->Value.Data[1] << 8 | count->Value.Data[2] << 16 |
                             long(count->Value.Data[3]) << 24;
        iterations.push_back(counted);
        for (size_t n = 1; n < iterations.size(); ++n)
            EXPECT_GE(iterations[n - 1], iterations[n]) << "round " << round << " slot " << n;
        EXPECT_LE(iterations.front() - iterations.back(), 1) << "round " << round;
        EXPECT_GE(counted, start) << "round " << round;  // the child's first save is there
        EXPECT_GT(counted, lastSeen);
        lastSeen = counted;
    }
    // A crash never makes the file look damaged, and the next writer clears what it left.
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(SettingsKey, false));
    registry.WriteInteger("Count", -1);
    for (const auto& entry : fs::directory_iterator(home.Folder())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "registry.reg" || name == "registry.reg.lock") << name;
    }
}

TEST(LinuxRegistryProcesses, SimultaneousWritersLoseNoUpdate)
{
    TConfigHome home;
    const int Processes = 4, Updates = 200;
    TStartGate gate;
    std::vector<pid_t> children;
    for (int k = 0; k < Processes; ++k) {
        children.push_back(Spawn([&, k] {
            gate.Wait();
            TRegistry registry;
            if (!registry.OpenKey(SettingsKey, true)) return false;
            for (int i = 0; i < Updates; ++i) {
                registry.WriteInteger(Named("P", k), i);
                if (i % 20 == 0) registry.WriteString(Named("P", k) + Named("_", i), Payload(i, k));
            }
            return true;
        }));
        ASSERT_GT(children.back(), 0);
    }
    gate.Open();
    for (pid_t child : children) EXPECT_EQ(ExitCode(child), 0);

    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(SettingsKey, false));
    for (int k = 0; k < Processes; ++k) {
        const std::optional<TRegValue> last = registry.ReadValue(Named("P", k));
        ASSERT_TRUE(last.has_value()) << k;
        EXPECT_EQ(last->Data, (std::vector<uint8_t>{Updates - 1, 0, 0, 0})) << k;
        for (int i = 0; i < Updates; i += 20) {
            const std::optional<TRegValue> value = registry.ReadValue(Named("P", k) + Named("_", i));
            ASSERT_TRUE(value.has_value()) << k << " " << i;
            EXPECT_EQ(IterationOf(*value, k), i);
        }
    }
    EXPECT_EQ(LoadWhole().FindKey(FullKey)->Values.size(), size_t(Processes * (1 + Updates / 20)));
}

TEST(LinuxRegistryProcesses, TwoWritersOfOneKeyKeepBothSetsOfValues)
{
    TConfigHome home;
    const int Values = 100;
    TStartGate gate;
    const pid_t strings = Spawn([&] {
        gate.Wait();
        TRegistry registry;
        if (!registry.OpenKey(SettingsKey, true)) return false;
        for (int i = 0; i < Values; ++i) registry.WriteString(Named("S", i), Payload(i, 0));
        return true;
    });
    const pid_t numbers = Spawn([&] {
        gate.Wait();
        TRegistry registry;
        if (!registry.OpenKey(SettingsKey, true)) return false;
        for (int i = 0; i < Values; ++i) registry.WriteInteger(Named("N", i), i * 3);
        return true;
    });
    gate.Open();
    EXPECT_EQ(ExitCode(strings), 0);
    EXPECT_EQ(ExitCode(numbers), 0);

    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(SettingsKey, false));
    for (int i = 0; i < Values; ++i) {
        const std::optional<TRegValue> text = registry.ReadValue(Named("S", i));
        ASSERT_TRUE(text.has_value()) << i;
        EXPECT_EQ(IterationOf(*text, 0), i);
        const std::optional<TRegValue> number = registry.ReadValue(Named("N", i));
        ASSERT_TRUE(number.has_value()) << i;
        EXPECT_EQ(number->Type, uint32_t(rvDword));
        const int expected = i * 3;
        EXPECT_EQ(number->Data, (std::vector<uint8_t>{static_cast<uint8_t>(expected & 0xFF),
                                                      static_cast<uint8_t>(expected >> 8), 0, 0}));
    }
}

TEST(LinuxRegistryProcesses, ConcurrentSavesAreNeverLoadedMixed)
{
    TConfigHome home;
    struct TSave {
        std::string Folder;
        TResolution Resolution;
        int32_t Speed;
    };
    const TSave saves[] = {{"/pictures/large", {1024, 768, 32}, 3}, {"/pictures/small", {640, 480, 16}, 9}};
    const auto same = [](const TLoadedSettings& loaded, const TSave& save) {
        return loaded.ImagesPath == save.Folder && loaded.ResolutionRead &&
               std::tie(loaded.Resolution.Width, loaded.Resolution.Height, loaded.Resolution.Bits) ==
                   std::tie(save.Resolution.Width, save.Resolution.Height, save.Resolution.Bits) &&
               loaded.Speed == save.Speed;
    };
    SaveSettings(saves[0].Folder, saves[0].Resolution, saves[0].Speed);
    const int Saves = Rounds(150);
    TStartGate gate;
    std::vector<pid_t> children;
    for (const TSave& save : saves) {
        children.push_back(Spawn([&] {
            gate.Wait();
            for (int round = 0; round < Saves; ++round) SaveSettings(save.Folder, save.Resolution, save.Speed);
            return true;
        }));
        ASSERT_GT(children.back(), 0);
    }
    gate.Open();
    int loads = 0, mixed = 0;
    std::string example;
    std::vector<int> statuses(children.size(), -1);
    for (bool running = true; running; ++loads) {
        running = false;
        for (size_t k = 0; k < children.size(); ++k)
            if (statuses[k] == -1 && waitpid(children[k], &statuses[k], WNOHANG) != children[k]) running = true;
        const TLoadedSettings loaded = LoadSettings();
        if (same(loaded, saves[0]) || same(loaded, saves[1])) continue;
        if (!mixed++)
            example = loaded.ImagesPath.value_or("?") + " " + std::to_string(loaded.Resolution.Width) + " x " +
                      std::to_string(loaded.Resolution.Height) + " x " + std::to_string(loaded.Resolution.Bits) +
                      " speed " + std::to_string(loaded.Speed.value_or(-1));
    }
    for (int status : statuses) EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(mixed, 0) << "of " << loads << " loads, for instance " << example;
}
