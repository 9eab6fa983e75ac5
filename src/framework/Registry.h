#pragma once
// Access to the current user's registry. On Windows this is the registry itself; on Linux a
// registry-shaped file of the user's own (see LinuxRegistry.cpp). Each TRegistry is one
// handle: OpenKey, reads and writes, CloseKey (also done by the destructor).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Exception.h"

// Value types, numbered as the platform numbers them (REG_SZ = 1 and so on).
enum TRegValueType : uint32_t {
    rvNone = 0,
    rvString = 1,
    rvExpandString = 2,
    rvBinary = 3,
    rvDword = 4,
    rvMultiString = 7,
    rvQword = 11,
};

struct TRegValue {
    uint32_t Type = rvNone;
    std::vector<uint8_t> Data;  // as stored; strings as UTF-8 text with their terminating zero
};

// Raised when the registry refuses a write; the message names the value.
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

// The reading and writing methods are virtual so that tests can stand a failing or
// recording registry in for the real one.
class TRegistry {
public:
    TRegistry();  // the root key is the current user's
    virtual ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // Opens a key: "\A\B" from the root, "A\B" relative to the open key (or to the root when
    // none is open), creating it when canCreate is set and it is missing. False when it can be
    // neither opened nor created; the key open before stays open then.
    virtual bool OpenKey(const std::string& key, bool canCreate);
    virtual void CloseKey();
    bool HasOpenKey() const;
    // Why the last OpenKey failed, naming what could not be opened and the system's reason;
    // empty after a success or when nothing more is known.
    const std::string& OpenFailure() const;

    // The value as stored, or nothing when it is absent or cannot be read.
    virtual std::optional<TRegValue> ReadValue(const std::string& name);

    // Writes replace a value of any type; a refused write raises ERegistryException
    // with "Failed to set data for '<name>'".
    virtual void WriteString(const std::string& name, const std::string& text);
    virtual void WriteExpandString(const std::string& name, const std::string& text);
    virtual void WriteInteger(const std::string& name, int32_t value);
    virtual void WriteValue(const std::string& name, const TRegValue& value);

    // Gathers the writes to the open key from BeginUpdate to EndUpdate, which stores them
    // together, so that a reader or a crash never finds half of them (on Linux one rewrite of
    // the settings file; the Windows registry stores each at once). Reads in between see one
    // state of the store and the gathered writes. EndUpdate raises as the first refused write
    // would; CloseKey and OpenKey drop writes not yet stored.
    void BeginUpdate();
    void EndUpdate();

    // Removes a value of the open key; false when it was absent or could not be removed.
    bool DeleteValue(const std::string& name);
    // Removes a key below the root with everything under it; false when nothing was removed.
    bool DeleteKey(const std::string& key);

    struct Impl;

private:
    std::unique_ptr<Impl> FImpl;
};

// A key path below the root: a leading backslash starts at the root, otherwise the path is
// relative to the open key (or the root when none is). Nothing for a path with an empty
// key name in it.
std::optional<std::string> ResolveRegistryKeyPath(const std::string& key, bool hasOpenKey, const std::string& openPath);

// The bytes of a string value as TRegValue holds it: the text and a terminating zero.
TRegValue MakeStringValue(uint32_t type, const std::string& text);
