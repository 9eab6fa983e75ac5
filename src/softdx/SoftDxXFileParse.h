#pragma once
// The X-file reader's parser: the file header, the three encodings (text, binary, and either
// compressed in MSZIP blocks), the templates and the data objects, which it lays out in the
// binary form the reader's interfaces hand out. Every fault in a file ends in a DXFILEERR_*
// result; nothing is read past the bytes the file holds.
#include <cstdint>
#include <deque>
#include <forward_list>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "SoftDxApi.h"

namespace softdx::xfile {

// Names longer than this, nesting deeper than this and restriction lists longer than this are
// faults of the file: no real model needs them, and they bound the reader's memory, stack and
// time on damaged input (a child is checked against its parent's whole list).
inline constexpr std::size_t MaxNameLength = 255;
inline constexpr int MaxDepth = 64;
inline constexpr std::size_t MaxRestrictions = 64;

// What one file may make the reader hold; past these it answers DXFILEERR_BADALLOC. A mesh
// the component shows has at most 65,536 vertices, about 10 MB as text with its normals and
// coordinates, and a model of twenty such fits these caps; real models have hundreds of
// objects and a few dozen templates. A compressed file may stand for a thousand times its
// size, so these, not the file's size, bound what a small file costs: about 1 GB at worst
// (the body, what its objects hold, and the slack of growing vectors).
// - A file, read whole, and the body a compressed file inflates to.
inline constexpr std::size_t MaxFileBytes = 256u << 20;
inline constexpr std::size_t MaxBodyBytes = 256u << 20;
// - Data objects and references, a few hundred bytes each for as little as three bytes of
//   text: about 50 MB at this count.
inline constexpr std::size_t MaxObjects = 250'000;
// - Templates, a few hundred bytes each.
inline constexpr std::size_t MaxTemplates = 100'000;
// - What the objects and templates hold: data, strings, members, names. A string of two
//   bytes of text, for one, holds about fifty.
inline constexpr std::size_t MaxHeldBytes = 256u << 20;

// The caps one document keeps to; tests make them small.
struct Limits {
    std::size_t bodyBytes = MaxBodyBytes;
    std::size_t objects = MaxObjects;
    std::size_t templates = MaxTemplates;
    std::size_t heldBytes = MaxHeldBytes;
};

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
    // Whether its data is always empty (no members, or only arrays of size 0 and of such
    // templates): reading one then reads nothing, however many the file asks for.
    bool readsNothing = false;
};

// The templates a reader or a file knows, found by name and by id without a scan: a file of
// many templates looks one up for every definition, member and object.
class TemplateSet {
public:
    std::size_t size() const { return FList.size(); }
    const Template& operator[](std::size_t index) const { return FList[index]; }
    // The index of the template of that name, or -1.
    int Find(const std::string& name) const;
    // The template of that id, or null.
    const Template* FindId(const GUID& id) const;
    void Add(Template tpl);

private:
    struct GuidHash {
        std::size_t operator()(const GUID& id) const;
    };
    // A deque, so that a template stays where it is while later ones are added.
    std::deque<Template> FList;
    std::unordered_map<std::string, int> FByName;
    std::unordered_map<GUID, int, GuidHash> FById;
};

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
    std::forward_list<std::string> strings;  // what the data's string pointers point at; no block when empty
    std::vector<Child> children;
};

class Lexer;

// One file being read: its bytes, its templates (the registered ones and its own) and the
// data objects read so far.
class Document {
public:
    Document(std::vector<uint8_t> bytes, TemplateSet templates, Limits limits = {});
    ~Document();

    // Reads the header; DXFILE_OK or the header's fault.
    HRESULT Open();
    // The next top-level data object, templates on the way being added to the set;
    // DXFILEERR_NOMOREOBJECTS at the end. After a fault every later call gives it again; a
    // failed allocation is such a fault (DXFILEERR_BADALLOC), never an exception.
    HRESULT Next(Node*& node);
    // Reads a file of templates only, adding them to the set; faults as Next.
    HRESULT ReadTemplatesOnly();

    const TemplateSet& Templates() const { return FTemplates; }
    TemplateSet TakeTemplates() { return std::move(FTemplates); }
    // A data object read so far, by name or id; null when there is none.
    const Node* Find(const std::string& name, const std::optional<GUID>& id) const;

private:
    HRESULT NextObject(Node*& node);
    HRESULT ReadTemplate();
    HRESULT ReadTemplateBody();
    HRESULT ReadObject(std::unique_ptr<Node>& node, int depth);
    HRESULT ReadMembers(Node& node, int type, int depth, bool topLevel);
    HRESULT ReadValue(Node& node, const Member& member);
    // Counts bytes the file makes the reader hold; false past the cap.
    bool Hold(std::size_t bytes)
    {
        FHeld += bytes;
        return FHeld <= FLimits.heldBytes;
    }
    // Counts one more object or reference; false past the cap.
    bool CountObject() { return ++FObjectCount <= FLimits.objects; }

    std::vector<uint8_t> FBytes;
    TemplateSet FTemplates;
    Limits FLimits;
    std::unique_ptr<Lexer> FLexer;
    std::vector<std::unique_ptr<Node>> FObjects;
    void Index(const Node& node);

    HRESULT FFault = DXFILE_OK;
    // Elements of templates read so far. Those that read nothing are passed over and every
    // other reads a token, so this bound is only a guard against a slip in that reasoning.
    std::size_t FSteps = 0;
    std::size_t FHeld = 0;
    std::size_t FObjectCount = 0;
    std::unordered_map<std::string, const Node*> FByName;
    std::unordered_map<std::string, const Node*> FById;
};

}  // namespace softdx::xfile
