#pragma once
// TWDirectX, the device component a form holds to use DirectX: its settings, its log, and
// the error path through which the whole layer reports a failed call.
#include <cstdint>
#include <string>

#include "core/Exception.h"
#include "framework/Component.h"
#include "wdx/WDirectHeader.h"

// The exception every failure of the DirectX layer raises; its message is the error text.
class EWDirectXError : public Exception {
public:
    using Exception::Exception;
};

// Raised when the log file cannot be created, opened or written.
class EInOutError : public Exception {
public:
    using Exception::Exception;
};

class TWDirectX : public TComponent {
public:
    explicit TWDirectX(TComponent* owner);
    ~TWDirectX() override;

    // Log settings and the last error text.
    std::string LogFile = "Log.log";  // relative to the program's folder
    TdxLogging LogType = dxlogNone;
    bool ExceptionIgnore = false;
    std::string LastError;

    bool Active() const { return FActive; }
    uint8_t StartStage() const { return FStartStage; }

    // Appends one line, prefixed with the local date and time, to the program's folder +
    // LogFile, opening and closing the file for the line. Raises EInOutError on failure.
    void WriteLog(const std::string& text);
    // Message, a carriage return, then the text of result from the table of kind
    // (0 none, 1 DirectDraw, 2 DirectSound, 3 DirectInput, 4 Direct3D).
    std::string FormatError(int kind, const std::string& message, int32_t result) const;
    // Logs the error text, stops the device unless ExceptionIgnore, keeps the text in
    // LastError and raises EWDirectXError with it. Never returns.
    [[noreturn]] void RaiseError(int kind, const std::string& message, int32_t result);

    // Gives back everything the last start took. The device's start arrives with the
    // display device; until then there is never anything started to undo.
    virtual void StopAll();

    // The path WriteLog writes to.
    std::string LogPath() const;

private:
    bool FActive = false;
    uint8_t FStartStage = 0;
};
