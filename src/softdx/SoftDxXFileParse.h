#pragma once
// The X-file reader's parser: the file header, the three encodings (text, binary, and either
// compressed in MSZIP blocks), the templates and the data objects, which it lays out in the
// binary form the reader's interfaces hand out. Every fault in a file ends in a DXFILEERR_*
// result; nothing is read past the bytes the file holds.
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "SoftDxApi.h"

namespace softdx::xfile {

// Names longer than this, and nesting deeper than this, are faults of the file: no real model
// needs them, and they bound the reader's memory and stack on damaged input.
inline constexpr std::size_t MaxNameLength = 255;
inline constexpr int MaxDepth = 64;

enum class Primitive { None, Word, Dword, Float, Double, Char, Uchar, Sword, Sdword, String };

struct Dimension {
    uint32_t fixed = 0;
    int member = -1;  // index of an earlier member holding the size, or -1 for a fixed size
};

struct Member {
    std::string name;
    Primitive primitive = Primitive::None;
    int structType = -1;  // template index when the member is a template
    bool isArray = false;
    std::vector<Dimension> dimensions;
};

struct Template {
    enum class Children { Closed, Open, Restricted };
    std::string name;
    GUID id{};
    std::vector<Member> members;
    Children children = Children::Closed;
    std::vector<std::string> allowedNames;
    std::vector<GUID> allowedIds;
};

using TemplateSet = std::deque<Template>;

struct Node;

struct Child {
    std::unique_ptr<Node> object;  // an object given in place, else a reference:
    std::string referenceName;
    std::optional<GUID> referenceId;
};

struct Node {
    std::string name;
    std::optional<GUID> id;
    int type = -1;
    std::vector<uint8_t> data;
    std::vector<std::pair<uint32_t, uint32_t>> memberSpans;  // offset, size of each member
    std::deque<std::string> strings;                         // what the data's string pointers point at
    std::vector<Child> children;
};

class Lexer;

// One file being read: its bytes, its templates (the registered ones and its own) and the
// data objects read so far.
class Document {
public:
    Document(std::vector<uint8_t> bytes, TemplateSet templates);
    ~Document();

    // Reads the header; DXFILE_OK or the header's fault.
    HRESULT Open();
    // The next top-level data object, templates on the way being added to the set;
    // DXFILEERR_NOMOREOBJECTS at the end. After a fault every later call gives it again.
    HRESULT Next(Node*& node);
    // Reads a file of templates only, adding them to the set.
    HRESULT ReadTemplatesOnly();

    const TemplateSet& Templates() const { return FTemplates; }
    TemplateSet TakeTemplates() { return std::move(FTemplates); }
    // A data object read so far, by name or id; null when there is none.
    const Node* Find(const std::string& name, const std::optional<GUID>& id) const;

private:
    HRESULT ReadTemplate();
    HRESULT ReadTemplateBody();
    HRESULT ReadObject(std::unique_ptr<Node>& node, int depth);
    HRESULT ReadMembers(Node& node, int type, int depth, bool topLevel);
    HRESULT ReadValue(Node& node, const Member& member);
    int FindTemplate(const std::string& name) const;

    std::vector<uint8_t> FBytes;
    TemplateSet FTemplates;
    std::unique_ptr<Lexer> FLexer;
    std::vector<std::unique_ptr<Node>> FObjects;
    void Index(const Node& node);

    HRESULT FFault = DXFILE_OK;
    // Elements of templates read so far. Templates of no members take no bytes, so only this
    // budget keeps arrays of them inside arrays of them from running for ever.
    std::size_t FSteps = 0;
    std::unordered_map<std::string, const Node*> FByName;
    std::unordered_map<std::string, const Node*> FById;
};

}  // namespace softdx::xfile
