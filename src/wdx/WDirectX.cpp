#include "wdx/WDirectX.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/Paths.h"
#include "framework/DateTime.h"
#include "wdx/results/ResultTexts.h"

TWDirectX::TWDirectX(TComponent* owner) : TComponent(owner) {}

TWDirectX::~TWDirectX() = default;

std::string TWDirectX::LogPath() const { return ProgramFolder() + LogFile; }

void TWDirectX::WriteLog(const std::string& text)
{
    const std::string path = LogPath();
    // Opened and closed for every line, so a crash loses nothing that was logged.
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (!file) throw EInOutError("Cannot open the log file " + path + ": " + std::strerror(errno));
    const std::string line = LocalDateTimeText() + " " + text + "\r\n";
    const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    const int savedErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed)
        throw EInOutError("Cannot write the log file " + path + ": " + std::strerror(written ? errno : savedErrno));
}

std::string TWDirectX::FormatError(int kind, const std::string& message, int32_t result) const
{
    return message + "\r" + ResultText(kind, result);
}

void TWDirectX::RaiseError(int kind, const std::string& message, int32_t result)
{
    const std::string text = FormatError(kind, message, result);
    if (LogType != dxlogNone) WriteLog(text);
    if (!ExceptionIgnore) StopAll();
    LastError = text;
    throw EWDirectXError(text);
}

void TWDirectX::StopAll()
{
    if (LogType == dxlogAll) WriteLog("TWDirectX.StopAll");
    FActive = false;
    FStartStage = 0;
    if (LogType == dxlogAll) WriteLog("TWDirectX.StopAll - Done");
}
