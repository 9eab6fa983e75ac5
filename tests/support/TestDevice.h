#pragma once
// The device the component tests drive: a TWDirectX that keeps its log lines in memory, or
// logs into a file of its own beside the test program (removed with the device), that lets a
// test act on each line logged, and that keeps what a test wants to know of it as each stop
// begins. Its stops still stop it.
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "wdx/WDirectX.h"

enum class TTestLog {
    Memory,  // the lines stay in Lines; no file is written
    File,    // the device's own file, under a name of this device's own
};

// The text the device's StartAll raised, or "" when it did not raise.
inline std::string StartAllError(TWDirectX& device)
{
    try {
        device.StartAll();
    } catch (const EWDirectXError& e) {
        return e.Message();
    }
    return "";
}

// What the default device keeps of a stop: only that it came.
struct TStopSeen {
    static TStopSeen Of(const TWDirectX&) { return {}; }
};

// TStop::Of(device) makes what Stops keeps as each StopAll begins.
template <class TStop = TStopSeen>
class TTestDevice : public TWDirectX {
public:
    explicit TTestDevice(TComponent* owner = nullptr, TTestLog log = TTestLog::Memory) : TWDirectX(owner), FLog(log)
    {
        if (FLog == TTestLog::File)
            LogFile = "vellumine-test-device-" + std::to_string(std::random_device{}()) + ".log";
    }
    ~TTestDevice() override
    {
        if (FLog != TTestLog::File) return;
        // The device's own destruction must not write the file again once it is removed.
        LogType = dxlogNone;
        std::filesystem::remove(LogPath());
    }

    void StopAll() override
    {
        Stops.push_back(TStop::Of(*this));
        TWDirectX::StopAll();
    }
    void WriteLog(const std::string& text) override
    {
        if (FLog == TTestLog::File)
            TWDirectX::WriteLog(text);
        else
            Lines.push_back(text);
        if (OnLine) OnLine(text);
    }

    // Whether Lines hold these, in this order (others may come between).
    bool LogHoldsInOrder(const std::vector<std::string>& wanted) const
    {
        size_t at = 0;
        for (const std::string& line : Lines)
            if (at < wanted.size() && line == wanted[at]) ++at;
        return at == wanted.size();
    }

    // The log file's whole text.
    std::string LogText() const
    {
        std::ifstream in(LogPath(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // The log file's texts, without their date and time.
    std::vector<std::string> LogLines() const
    {
        const std::string text = LogText();
        std::vector<std::string> lines;
        for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
            const std::string line = text.substr(at, end - at);
            size_t start = line.find("TWDirect");
            if (start > 0 && start != std::string::npos && line[start - 1] == 'T') --start;
            lines.push_back(start == std::string::npos ? line : line.substr(start));
        }
        return lines;
    }
    void ClearLog() { std::filesystem::remove(LogPath()); }
    // How many of the log file's texts are this one.
    int Count(const std::string& line) const
    {
        int n = 0;
        for (const std::string& l : LogLines()) n += l == line;
        return n;
    }

    std::vector<TStop> Stops;
    std::vector<std::string> Lines;
    std::function<void(const std::string&)> OnLine;

private:
    TTestLog FLog;
};
