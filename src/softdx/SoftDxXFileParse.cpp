// Implements: templates (members, arrays sized by numbers or by earlier members, nested
// templates, closed, open and restricted templates) and data objects with their data laid
// out as DirectX lays it out (packed little-endian members, strings as pointers), children
// and references. Does not: binary data objects of the format's rarely used inline kind.
#include "SoftDxXFileParse.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string_view>

#include "SoftDxXFileLexer.h"

namespace softdx::xfile {

namespace {

using Kind = Token::Kind;

struct PrimitiveName {
    const char* name;
    Primitive primitive;
};
constexpr PrimitiveName Primitives[] = {
    {"WORD", Primitive::Word},     {"DWORD", Primitive::Dword},  {"FLOAT", Primitive::Float},
    {"DOUBLE", Primitive::Double}, {"CHAR", Primitive::Char},    {"UCHAR", Primitive::Uchar},
    {"BYTE", Primitive::Uchar},    {"SWORD", Primitive::Sword},  {"SDWORD", Primitive::Sdword},
    {"STRING", Primitive::String}, {"LPSTR", Primitive::String}, {"CSTRING", Primitive::String},
    {"UNICODE", Primitive::String}};

Primitive FindPrimitive(std::string_view name)
{
    for (const PrimitiveName& p : Primitives)
        if (name == p.name) return p.primitive;
    return Primitive::None;
}

bool IsIntegral(Primitive p)
{
    return p == Primitive::Word || p == Primitive::Dword || p == Primitive::Char || p == Primitive::Uchar ||
           p == Primitive::Sword || p == Primitive::Sdword;
}

// The bytes a value takes in an object's data.
std::size_t DataBytes(Primitive p)
{
    switch (p) {
    case Primitive::Char:
    case Primitive::Uchar: return 1;
    case Primitive::Word:
    case Primitive::Sword: return 2;
    case Primitive::Double: return 8;
    case Primitive::String: return sizeof(const char*);
    default: return 4;
    }
}

bool IsPunct(const Token& t, char c) { return t.kind == Kind::Punct && t.punct == c; }

template <typename T>
void Append(std::vector<uint8_t>& data, T value)
{
    const std::size_t at = data.size();
    data.resize(at + sizeof(T));
    std::memcpy(data.data() + at, &value, sizeof(T));
}

// The same members in the same order make the same data; members' names do not change it.
bool SameLayout(const Template& a, const Template& b)
{
    const auto same = [](const Member& x, const Member& y) {
        if (x.primitive != y.primitive || x.structType != y.structType || x.isArray != y.isArray ||
            x.dimensions.size() != y.dimensions.size())
            return false;
        for (std::size_t i = 0; i < x.dimensions.size(); ++i)
            if (x.dimensions[i].fixed != y.dimensions[i].fixed || x.dimensions[i].member != y.dimensions[i].member)
                return false;
        return true;
    };
    return std::equal(a.members.begin(), a.members.end(), b.members.begin(), b.members.end(), same);
}

std::string IdKey(const GUID& id) { return std::string(reinterpret_cast<const char*>(&id), sizeof id); }

// What a failed allocation leaves: the object being read is lost, and with it the place in
// the file, so the document stays at this fault.
template <typename Read>
HRESULT Guarded(HRESULT& fault, Read read)
{
    try {
        return read();
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return fault = DXFILEERR_BADALLOC;
}

}  // namespace

std::size_t TemplateSet::GuidHash::operator()(const GUID& id) const
{
    return std::hash<std::string_view>()(std::string_view(reinterpret_cast<const char*>(&id), sizeof id));
}

int TemplateSet::Find(const std::string& name) const
{
    const auto found = FByName.find(name);
    return found == FByName.end() ? -1 : found->second;
}

const Template* TemplateSet::FindId(const GUID& id) const
{
    const auto found = FById.find(id);
    return found == FById.end() ? nullptr : &FList[static_cast<std::size_t>(found->second)];
}

void TemplateSet::Add(Template tpl)
{
    const int index = static_cast<int>(FList.size());
    FByName.emplace(tpl.name, index);
    FById.emplace(tpl.id, index);
    FList.push_back(std::move(tpl));
}

Document::Document(std::vector<uint8_t> bytes, TemplateSet templates, Limits limits)
    : FBytes(std::move(bytes)), FTemplates(std::move(templates)), FLimits(limits)
{
}

Document::~Document() = default;

HRESULT Document::Open()
{
    bool binary = false;
    int floatBytes = 4;
    const HRESULT hr = ReadHeader(FBytes, binary, floatBytes, FLimits.bodyBytes);
    if (hr != DXFILE_OK) return FFault = hr;
    FLexer = std::make_unique<Lexer>(FBytes.data(), FBytes.data() + FBytes.size(), binary, floatBytes);
    return DXFILE_OK;
}

HRESULT Document::Next(Node*& node)
{
    node = nullptr;
    return Guarded(FFault, [&] { return NextObject(node); });
}

HRESULT Document::NextObject(Node*& node)
{
    while (FFault == DXFILE_OK) {
        const Token& t = FLexer->Peek();
        if (t.kind == Kind::End) return DXFILEERR_NOMOREOBJECTS;
        if (t.kind == Kind::Name && t.text == "template") {
            FFault = ReadTemplate();
            continue;
        }
        std::unique_ptr<Node> object;
        FFault = ReadObject(object, 0);
        if (FFault != DXFILE_OK) break;
        // Kept before it is indexed, so that an index never points at an object lost to a
        // failed allocation.
        FObjects.push_back(std::move(object));
        node = FObjects.back().get();
        Index(*node);
        return DXFILE_OK;
    }
    return FFault;
}

HRESULT Document::ReadTemplatesOnly()
{
    return Guarded(FFault, [&] {
        while (FFault == DXFILE_OK) {
            const Token& t = FLexer->Peek();
            if (t.kind == Kind::End) return DXFILE_OK;
            if (t.kind != Kind::Name || t.text != "template") return FFault = DXFILEERR_PARSEERROR;
            FFault = ReadTemplate();
        }
        return FFault;
    });
}

const Node* Document::Find(const std::string& name, const std::optional<GUID>& id) const
{
    const auto& index = id ? FById : FByName;
    const auto found = index.find(id ? IdKey(*id) : name);
    return found == index.end() ? nullptr : found->second;
}

// Objects are found by the first of their name or id in file order.
void Document::Index(const Node& node)
{
    if (!node.name.empty()) FByName.emplace(node.name, &node);
    if (node.id) FById.emplace(IdKey(*node.id), &node);
    for (const Child& c : node.children)
        if (c.object) Index(*c.object);
}

HRESULT Document::ReadTemplate()
{
    Lexer& lex = *FLexer;
    lex.Next();  // "template"
    lex.KeepSeparators(true);
    const HRESULT hr = ReadTemplateBody();
    lex.KeepSeparators(false);
    return hr;
}

HRESULT Document::ReadTemplateBody()
{
    Lexer& lex = *FLexer;
    Template tpl;
    // The last member of each name that may size a later array, keyed by its text in the file.
    std::unordered_map<std::string_view, int> sizes;
    Token t = lex.Next();
    if (t.kind != Kind::Name || t.text.size() > MaxNameLength) return DXFILEERR_PARSEERROR;
    tpl.name = t.text;
    if (!Hold(sizeof(Template) + t.text.size())) return DXFILEERR_BADALLOC;
    if (!IsPunct(lex.Next(), '{')) return DXFILEERR_PARSEERROR;
    t = lex.Next();
    if (t.kind != Kind::Guid) return DXFILEERR_PARSEERROR;
    tpl.id = t.guid;
    for (;;) {
        t = lex.Next();
        if (IsPunct(t, ';') || IsPunct(t, ',')) continue;
        if (IsPunct(t, '}')) break;
        if (IsPunct(t, '[')) {
            if (IsPunct(lex.Peek(), '.')) {
                while (IsPunct(lex.Peek(), '.')) lex.Next();
                tpl.children = Template::Children::Open;
            } else {
                tpl.children = Template::Children::Restricted;
                while (lex.Peek().kind == Kind::Name || IsPunct(lex.Peek(), ',')) {
                    t = lex.Next();
                    if (t.kind != Kind::Name) continue;
                    if (t.text.size() > MaxNameLength || tpl.allowedNames.size() >= MaxRestrictions)
                        return DXFILEERR_PARSEERROR;
                    tpl.allowedNames.emplace_back(t.text);
                    if (lex.Peek().kind == Kind::Guid) tpl.allowedIds.push_back(lex.Next().guid);
                }
            }
            if (!IsPunct(lex.Next(), ']')) return DXFILEERR_PARSEERROR;
            while (IsPunct(lex.Peek(), ';')) lex.Next();
            if (!IsPunct(lex.Next(), '}')) return DXFILEERR_PARSEERROR;
            break;
        }
        if (t.kind != Kind::Name) return DXFILEERR_PARSEERROR;
        Member member;
        if (t.text == "array") {
            member.isArray = true;
            t = lex.Next();
            if (t.kind != Kind::Name) return DXFILEERR_PARSEERROR;
        }
        member.primitive = FindPrimitive(t.text);
        if (member.primitive == Primitive::None) {
            member.structType = FTemplates.Find(std::string(t.text));
            if (member.structType < 0) return DXFILEERR_NOTEMPLATE;
        }
        t = lex.Next();
        if (t.kind != Kind::Name || t.text.size() > MaxNameLength) return DXFILEERR_PARSEERROR;
        member.name = t.text;
        const std::string_view memberName = t.text;
        if (!Hold(sizeof(Member) + t.text.size())) return DXFILEERR_BADALLOC;
        while (member.isArray && IsPunct(lex.Peek(), '[')) {
            lex.Next();
            t = lex.Next();
            Dimension d;
            if (t.kind == Kind::Integer) {
                d.fixed = t.integer;
            } else if (t.kind == Kind::Name) {
                const auto found = sizes.find(t.text);
                if (found == sizes.end()) return DXFILEERR_PARSEERROR;
                d.member = found->second;
            } else {
                return DXFILEERR_PARSEERROR;
            }
            if (!IsPunct(lex.Next(), ']')) return DXFILEERR_PARSEERROR;
            if (!Hold(sizeof(Dimension))) return DXFILEERR_BADALLOC;
            member.dimensions.push_back(d);
        }
        if (member.isArray && member.dimensions.empty()) return DXFILEERR_PARSEERROR;
        if (!member.isArray && IsIntegral(member.primitive))
            sizes.insert_or_assign(memberName, static_cast<int>(tpl.members.size()));
        tpl.members.push_back(std::move(member));
    }
    tpl.readsNothing = std::all_of(tpl.members.begin(), tpl.members.end(), [&](const Member& m) {
        const bool none = std::any_of(m.dimensions.begin(), m.dimensions.end(),
                                      [](const Dimension& d) { return d.member < 0 && d.fixed == 0; });
        return none || (m.structType >= 0 && FTemplates[static_cast<std::size_t>(m.structType)].readsNothing);
    });
    // An id tells whoever reads an object how its data is laid out, so one id stands for one
    // name and one layout. A template that gives a known id to another name or other members
    // fails the file instead of being kept without the id: no valid file does that (the
    // standard set repeated under its own names still reads), and both this reader and the
    // component above it then report the fault rather than read a model with a part missing.
    // (So no two templates of the set share an id.)
    if (const Template* known = FTemplates.FindId(tpl.id))
        if (known->name != tpl.name || !SameLayout(*known, tpl)) return DXFILEERR_PARSEERROR;
    // A template already known keeps its first definition: files often repeat the standard
    // set, and objects read so far refer to the known one by index.
    if (FTemplates.Find(tpl.name) >= 0) return DXFILE_OK;
    if (FTemplates.size() >= FLimits.templates) return DXFILEERR_BADALLOC;
    FTemplates.Add(std::move(tpl));
    return DXFILE_OK;
}

HRESULT Document::ReadObject(std::unique_ptr<Node>& node, int depth)
{
    if (depth > MaxDepth) return DXFILEERR_PARSEERROR;
    Lexer& lex = *FLexer;
    Token t = lex.Next();
    if (t.kind != Kind::Name) return t.kind == Kind::End ? DXFILEERR_BADFILE : DXFILEERR_PARSEERROR;
    if (!CountObject() || !Hold(sizeof(Node))) return DXFILEERR_BADALLOC;
    node = std::make_unique<Node>();
    node->type = FTemplates.Find(std::string(t.text));
    if (node->type < 0) return DXFILEERR_NOTEMPLATE;
    t = lex.Next();
    if (t.kind == Kind::Name) {
        if (t.text.size() > MaxNameLength) return DXFILEERR_PARSEERROR;
        if (!Hold(t.text.size())) return DXFILEERR_BADALLOC;
        node->name = t.text;
        t = lex.Next();
    }
    if (!IsPunct(t, '{')) return DXFILEERR_PARSEERROR;
    if (lex.Peek().kind == Kind::Guid) node->id = lex.Next().guid;
    if (const HRESULT hr = ReadMembers(*node, node->type, depth, true); hr != DXFILE_OK) return hr;
    for (;;) {
        const Token& next = lex.Peek();
        if (IsPunct(next, '}')) {
            lex.Next();
            return DXFILE_OK;
        }
        if (!Hold(sizeof(Child))) return DXFILEERR_BADALLOC;
        Child child;
        if (IsPunct(next, '{')) {
            if (!CountObject()) return DXFILEERR_BADALLOC;
            lex.Next();
            bool named = false;
            if (lex.Peek().kind == Kind::Name) {
                t = lex.Next();
                if (t.text.size() > MaxNameLength) return DXFILEERR_PARSEERROR;
                if (!Hold(t.text.size())) return DXFILEERR_BADALLOC;
                child.referenceName = t.text;
                named = true;
            }
            if (lex.Peek().kind == Kind::Guid) child.referenceId = lex.Next().guid;
            if ((!named && !child.referenceId) || !IsPunct(lex.Next(), '}')) return DXFILEERR_PARSEERROR;
        } else if (next.kind == Kind::Name) {
            const Template& parent = FTemplates[static_cast<std::size_t>(node->type)];
            if (parent.children == Template::Children::Closed) return DXFILEERR_PARSEERROR;
            const int type = FTemplates.Find(std::string(next.text));
            if (type < 0) return DXFILEERR_NOTEMPLATE;
            if (parent.children == Template::Children::Restricted) {
                const Template& childType = FTemplates[static_cast<std::size_t>(type)];
                bool allowed = false;
                for (const std::string& name : parent.allowedNames) allowed = allowed || name == childType.name;
                for (const GUID& id : parent.allowedIds) allowed = allowed || id == childType.id;
                if (!allowed) return DXFILEERR_PARSEERROR;
            }
            if (const HRESULT hr = ReadObject(child.object, depth + 1); hr != DXFILE_OK) return hr;
        } else {
            return next.kind == Kind::End ? DXFILEERR_BADFILE : DXFILEERR_PARSEERROR;
        }
        node->children.push_back(std::move(child));
    }
}

HRESULT Document::ReadMembers(Node& node, int type, int depth, bool topLevel)
{
    if (depth > MaxDepth) return DXFILEERR_PARSEERROR;
    // The set is a deque and grows only between objects, so this reference stays good.
    const Template& tpl = FTemplates[static_cast<std::size_t>(type)];
    // The sizes that later arrays may use; on the stack for the common small templates, as
    // this runs once per vertex and face.
    uint32_t small[16] = {};
    std::vector<uint32_t> large(tpl.members.size() > 16 ? tpl.members.size() : 0, 0);
    uint32_t* values = large.empty() ? small : large.data();
    for (std::size_t m = 0; m < tpl.members.size(); ++m) {
        const Member& member = tpl.members[m];
        const std::size_t start = node.data.size();
        uint64_t count = 1;
        for (const Dimension& d : member.dimensions) {
            count *= d.member >= 0 ? values[static_cast<std::size_t>(d.member)] : d.fixed;
            // Every element takes at least one byte of the file, so a count beyond what is
            // left is a lie of the file, refused before anything is read or reserved.
            if (count > FLexer->Remaining()) return DXFILEERR_BADARRAYSIZE;
        }
        // Elements that read nothing are passed over, so that arrays of them inside arrays
        // of them cost no time; every element read from here on reads at least one token.
        if (member.structType >= 0 && FTemplates[static_cast<std::size_t>(member.structType)].readsNothing) count = 0;
        for (uint64_t i = 0; i < count; ++i) {
            if (member.structType >= 0) {
                if (++FSteps > 2 * FBytes.size() + 1024) return DXFILEERR_BADARRAYSIZE;
                if (const HRESULT hr = ReadMembers(node, member.structType, depth + 1, false); hr != DXFILE_OK)
                    return hr;
            } else {
                if (const HRESULT hr = ReadValue(node, member); hr != DXFILE_OK) return hr;
            }
        }
        if (!member.isArray && IsIntegral(member.primitive)) {
            const std::size_t size = node.data.size() - start;
            uint32_t v = 0;
            std::memcpy(&v, node.data.data() + start, size < 4 ? size : 4);
            values[m] = member.primitive == Primitive::Dword || member.primitive == Primitive::Sdword ? v
                        : size == 2                                                                   ? (v & 0xFFFF)
                                                                                                      : (v & 0xFF);
        }
        if (topLevel) {
            if (!Hold(sizeof(node.memberSpans[0]))) return DXFILEERR_BADALLOC;
            node.memberSpans.emplace_back(static_cast<uint32_t>(start),
                                          static_cast<uint32_t>(node.data.size() - start));
        }
    }
    return DXFILE_OK;
}

HRESULT Document::ReadValue(Node& node, const Member& member)
{
    const Token t = FLexer->Next();
    if (t.kind == Kind::End) return DXFILEERR_BADFILE;
    if (!Hold(DataBytes(member.primitive))) return DXFILEERR_BADALLOC;
    if (member.primitive == Primitive::String) {
        if (t.kind != Kind::String) return DXFILEERR_PARSEERROR;
        // The list's own block for the string, and the text where it is not short.
        if (!Hold(sizeof(std::string) + 2 * sizeof(void*) + t.text.size())) return DXFILEERR_BADALLOC;
        node.strings.emplace_front(t.text);
        Append(node.data, node.strings.front().c_str());
        return DXFILE_OK;
    }
    if (member.primitive == Primitive::Float || member.primitive == Primitive::Double) {
        if (t.kind != Kind::Float && t.kind != Kind::Integer) return DXFILEERR_PARSEERROR;
        if (member.primitive == Primitive::Float)
            Append(node.data, static_cast<float>(t.real));
        else
            Append(node.data, t.real);
        return DXFILE_OK;
    }
    if (t.kind != Kind::Integer) return DXFILEERR_PARSEERROR;
    switch (member.primitive) {
    case Primitive::Word:
    case Primitive::Sword: Append(node.data, static_cast<uint16_t>(t.integer)); break;
    case Primitive::Char:
    case Primitive::Uchar: Append(node.data, static_cast<uint8_t>(t.integer)); break;
    default: Append(node.data, t.integer); break;
    }
    return DXFILE_OK;
}

}  // namespace softdx::xfile
