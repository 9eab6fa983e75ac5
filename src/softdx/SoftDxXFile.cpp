// Implements: DirectXFileCreate; IDirectXFile (RegisterTemplates, CreateEnumObject from a
// file or from memory); IDirectXFileEnumObject (GetNextDataObject, GetDataObjectByName and
// ById over the objects read so far); IDirectXFileData (GetName, GetId, GetType, GetData
// whole or by member, GetNextObject); IDirectXFileDataReference (Resolve). Does not: saving
// (CreateSaveObject and the Add* calls answer E_NOTIMPL), resources, streams, URLs, or
// binary objects. No exception leaves a method: those that allocate answer a failed
// allocation with DXFILEERR_BADALLOC, and the others allocate nothing.
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <stdexcept>

#include "SoftDxUnknown.h"
#include "SoftDxXFileParse.h"

namespace softdx {

namespace {

using xfile::Document;
using xfile::Node;

class XFileData;

// A method's body, with a failed allocation (or a size past what a vector can hold) as
// DXFILEERR_BADALLOC: the caller is C-like code that cannot catch.
template <typename Body>
HRESULT Guarded(Body body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return DXFILEERR_BADALLOC;
}

HRESULT CopyName(const std::string& name, LPSTR buffer, LPDWORD size)
{
    if (!size) return DXFILEERR_BADVALUE;
    const DWORD needed = static_cast<DWORD>(name.size() + 1);
    if (!buffer) {
        *size = needed;
        return DXFILE_OK;
    }
    if (*size < needed) return DXFILEERR_BADVALUE;
    std::memcpy(buffer, name.c_str(), needed);
    *size = needed;
    return DXFILE_OK;
}

class XFileData final : public SoftDxUnknown<XFileData, IDirectXFileData> {
public:
    XFileData(std::shared_ptr<Document> document, const Node* node) : FDocument(std::move(document)), FNode(node) {}
    static bool Answers(REFIID riid) { return riid == IID_IDirectXFileData || riid == IID_IDirectXFileObject; }

    HRESULT STDMETHODCALLTYPE GetName(LPSTR name, LPDWORD size) override { return CopyName(FNode->name, name, size); }
    HRESULT STDMETHODCALLTYPE GetId(LPGUID id) override
    {
        if (!id) return DXFILEERR_BADVALUE;
        *id = FNode->id ? *FNode->id : GUID{};
        return DXFILE_OK;
    }
    HRESULT STDMETHODCALLTYPE GetData(LPCSTR member, DWORD* size, void** data) override
    {
        if (!size || !data) return DXFILEERR_BADVALUE;
        const auto& bytes = FNode->data;
        if (!member) {
            *size = static_cast<DWORD>(bytes.size());
            *data = const_cast<uint8_t*>(bytes.data());
            return DXFILE_OK;
        }
        const auto& members = FDocument->Templates()[static_cast<std::size_t>(FNode->type)].members;
        for (std::size_t i = 0; i < members.size() && i < FNode->memberSpans.size(); ++i) {
            if (members[i].name != member) continue;
            *size = FNode->memberSpans[i].second;
            *data = const_cast<uint8_t*>(bytes.data()) + FNode->memberSpans[i].first;
            return DXFILE_OK;
        }
        return DXFILEERR_NOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetType(const GUID** type) override
    {
        if (!type) return DXFILEERR_BADVALUE;
        *type = &FDocument->Templates()[static_cast<std::size_t>(FNode->type)].id;
        return DXFILE_OK;
    }
    HRESULT STDMETHODCALLTYPE GetNextObject(LPDIRECTXFILEOBJECT* object) override;
    HRESULT STDMETHODCALLTYPE AddDataObject(LPDIRECTXFILEDATA) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddDataReference(LPCSTR, const GUID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddBinaryObject(LPCSTR, const GUID*, LPCSTR, LPVOID, DWORD) override { return E_NOTIMPL; }

private:
    friend class SoftDxUnknown<XFileData, IDirectXFileData>;
    ~XFileData() = default;
    std::shared_ptr<Document> FDocument;
    const Node* FNode;
    std::size_t FNextChild = 0;
};

class XFileReference final : public SoftDxUnknown<XFileReference, IDirectXFileDataReference> {
public:
    XFileReference(std::shared_ptr<Document> document, const xfile::Child* child)
        : FDocument(std::move(document)), FChild(child)
    {
    }
    static bool Answers(REFIID riid) { return riid == IID_IDirectXFileDataReference || riid == IID_IDirectXFileObject; }

    HRESULT STDMETHODCALLTYPE GetName(LPSTR name, LPDWORD size) override
    {
        return CopyName(FChild->referenceName, name, size);
    }
    HRESULT STDMETHODCALLTYPE GetId(LPGUID id) override
    {
        if (!id) return DXFILEERR_BADVALUE;
        *id = FChild->referenceId ? *FChild->referenceId : GUID{};
        return DXFILE_OK;
    }
    HRESULT STDMETHODCALLTYPE Resolve(LPDIRECTXFILEDATA* data) override
    {
        if (!data) return DXFILEERR_BADVALUE;
        *data = nullptr;
        return Guarded([&] {
            const Node* target = FDocument->Find(FChild->referenceName, FChild->referenceId);
            if (!target) return DXFILEERR_BADDATAREFERENCE;
            *data = new XFileData(FDocument, target);
            return DXFILE_OK;
        });
    }

private:
    friend class SoftDxUnknown<XFileReference, IDirectXFileDataReference>;
    ~XFileReference() = default;
    std::shared_ptr<Document> FDocument;
    const xfile::Child* FChild;
};

HRESULT XFileData::GetNextObject(LPDIRECTXFILEOBJECT* object)
{
    if (!object) return DXFILEERR_BADVALUE;
    *object = nullptr;
    if (FNextChild >= FNode->children.size()) return DXFILEERR_NOMOREOBJECTS;
    return Guarded([&] {
        const xfile::Child& child = FNode->children[FNextChild];
        if (child.object)
            *object = new XFileData(FDocument, child.object.get());
        else
            *object = new XFileReference(FDocument, &child);
        ++FNextChild;
        return DXFILE_OK;
    });
}

class XFileEnum final : public SoftDxUnknown<XFileEnum, IDirectXFileEnumObject> {
public:
    explicit XFileEnum(std::shared_ptr<Document> document) : FDocument(std::move(document)) {}
    static bool Answers(REFIID riid) { return riid == IID_IDirectXFileEnumObject; }

    HRESULT STDMETHODCALLTYPE GetNextDataObject(LPDIRECTXFILEDATA* data) override
    {
        if (!data) return DXFILEERR_BADVALUE;
        *data = nullptr;
        return Guarded([&] {
            Node* node = nullptr;
            const HRESULT hr = FDocument->Next(node);
            if (hr != DXFILE_OK) return hr;
            *data = new XFileData(FDocument, node);
            return DXFILE_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE GetDataObjectById(REFGUID id, LPDIRECTXFILEDATA* data) override
    {
        return Guarded([&] { return Found(FDocument->Find({}, id), data); });
    }
    HRESULT STDMETHODCALLTYPE GetDataObjectByName(LPCSTR name, LPDIRECTXFILEDATA* data) override
    {
        if (!name) return DXFILEERR_BADVALUE;
        return Guarded([&] { return Found(FDocument->Find(name, std::nullopt), data); });
    }

private:
    friend class SoftDxUnknown<XFileEnum, IDirectXFileEnumObject>;
    ~XFileEnum() = default;
    HRESULT Found(const Node* node, LPDIRECTXFILEDATA* data)
    {
        if (!data) return DXFILEERR_BADVALUE;
        *data = nullptr;
        if (node) *data = new XFileData(FDocument, node);
        return node ? DXFILE_OK : DXFILEERR_NOTFOUND;
    }
    std::shared_ptr<Document> FDocument;
};

class XFile final : public SoftDxUnknown<XFile, IDirectXFile> {
public:
    static bool Answers(REFIID riid) { return riid == IID_IDirectXFile; }

    HRESULT STDMETHODCALLTYPE CreateEnumObject(LPVOID source, DXFILELOADOPTIONS options,
                                               LPDIRECTXFILEENUMOBJECT* enumObject) override
    {
        if (!enumObject || !source) return DXFILEERR_BADVALUE;
        *enumObject = nullptr;
        return Guarded([&] { return Open(source, options, enumObject); });
    }
    HRESULT STDMETHODCALLTYPE CreateSaveObject(LPCSTR, DXFILEFORMAT, LPDIRECTXFILESAVEOBJECT* saveObject) override
    {
        if (saveObject) *saveObject = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RegisterTemplates(LPVOID data, DWORD size) override
    {
        if (!data) return DXFILEERR_BADVALUE;
        if (size > xfile::MaxFileBytes) return DXFILEERR_BADALLOC;
        return Guarded([&] {
            const auto* begin = static_cast<const uint8_t*>(data);
            // Read into a copy, so that a faulty set leaves the registered ones as they were.
            Document document(std::vector<uint8_t>(begin, begin + size), FTemplates);
            HRESULT hr = document.Open();
            if (hr == DXFILE_OK) hr = document.ReadTemplatesOnly();
            if (hr == DXFILE_OK) FTemplates = document.TakeTemplates();
            return hr;
        });
    }

private:
    friend class SoftDxUnknown<XFile, IDirectXFile>;
    ~XFile() = default;

    HRESULT Open(LPVOID source, DXFILELOADOPTIONS options, LPDIRECTXFILEENUMOBJECT* enumObject)
    {
        // A file is read whole, so its size is held to the reader's cap before it is read.
        std::vector<uint8_t> bytes;
        if (options == DXFILELOAD_FROMFILE) {
            std::ifstream in(static_cast<const char*>(source), std::ios::binary | std::ios::ate);
            if (!in) return DXFILEERR_FILENOTFOUND;
            const std::streamoff size = in.tellg();
            if (size < 0) return DXFILEERR_BADFILE;
            if (static_cast<uint64_t>(size) > xfile::MaxFileBytes) return DXFILEERR_BADALLOC;
            bytes.resize(static_cast<std::size_t>(size));
            in.seekg(0);
            if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return DXFILEERR_BADFILE;
        } else if (options == DXFILELOAD_FROMMEMORY) {
            const auto* memory = static_cast<const DXFILELOADMEMORY*>(source);
            if (!memory->lpMemory && memory->dSize) return DXFILEERR_BADVALUE;
            if (memory->dSize > xfile::MaxFileBytes) return DXFILEERR_BADALLOC;
            const auto* begin = static_cast<const uint8_t*>(memory->lpMemory);
            bytes.assign(begin, begin + memory->dSize);
        } else {
            return DXFILEERR_BADVALUE;
        }
        auto document = std::make_shared<Document>(std::move(bytes), FTemplates);
        if (const HRESULT hr = document->Open(); hr != DXFILE_OK) return hr;
        *enumObject = new XFileEnum(std::move(document));
        return DXFILE_OK;
    }

    xfile::TemplateSet FTemplates;
};

}  // namespace

}  // namespace softdx

STDAPI DirectXFileCreate(LPDIRECTXFILE* directXFile)
{
    if (!directXFile) return DXFILEERR_BADVALUE;
    *directXFile = nullptr;
    return softdx::Guarded([&] {
        *directXFile = new softdx::XFile();
        return DXFILE_OK;
    });
}
