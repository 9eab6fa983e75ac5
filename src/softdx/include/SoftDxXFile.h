#pragma once
// The X-file reader's interfaces, in DirectX's names and values: a reader made by
// DirectXFileCreate takes templates, then enumerates a file's data objects (from a file or
// from memory) and hands out their names, types, data and children. Saving is not offered.
// The template ids of the standard template set are declared beside that set in the
// component layer, since neither system header gives them.
#include "SoftDxDDrawErrors.h"
#include "SoftDxTypes.h"

typedef HINSTANCE HMODULE;

typedef DWORD DXFILEFORMAT;
#define DXFILEFORMAT_BINARY 0
#define DXFILEFORMAT_TEXT 1
#define DXFILEFORMAT_COMPRESSED 2

typedef DWORD DXFILELOADOPTIONS;
#define DXFILELOAD_FROMFILE 0x00
#define DXFILELOAD_FROMRESOURCE 0x01
#define DXFILELOAD_FROMMEMORY 0x02
#define DXFILELOAD_FROMSTREAM 0x04
#define DXFILELOAD_FROMURL 0x08

typedef struct _DXFILELOADRESOURCE {
    HMODULE hModule;
    LPCSTR lpName;
    LPCSTR lpType;
} DXFILELOADRESOURCE, *LPDXFILELOADRESOURCE;

typedef struct _DXFILELOADMEMORY {
    LPVOID lpMemory;
    DWORD dSize;
} DXFILELOADMEMORY, *LPDXFILELOADMEMORY;

struct IDirectXFile;
struct IDirectXFileEnumObject;
struct IDirectXFileSaveObject;
struct IDirectXFileObject;
struct IDirectXFileData;
struct IDirectXFileDataReference;
struct IDirectXFileBinary;
typedef IDirectXFile* LPDIRECTXFILE;
typedef IDirectXFileEnumObject* LPDIRECTXFILEENUMOBJECT;
typedef IDirectXFileSaveObject* LPDIRECTXFILESAVEOBJECT;
typedef IDirectXFileObject* LPDIRECTXFILEOBJECT;
typedef IDirectXFileData* LPDIRECTXFILEDATA;
typedef IDirectXFileDataReference* LPDIRECTXFILEDATAREFERENCE;
typedef IDirectXFileBinary* LPDIRECTXFILEBINARY;

struct IDirectXFile : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateEnumObject(LPVOID source, DXFILELOADOPTIONS options,
                                                       LPDIRECTXFILEENUMOBJECT* enumObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateSaveObject(LPCSTR fileName, DXFILEFORMAT format,
                                                       LPDIRECTXFILESAVEOBJECT* saveObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterTemplates(LPVOID data, DWORD size) = 0;
};

struct IDirectXFileEnumObject : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetNextDataObject(LPDIRECTXFILEDATA* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDataObjectById(REFGUID id, LPDIRECTXFILEDATA* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDataObjectByName(LPCSTR name, LPDIRECTXFILEDATA* data) = 0;
};

// Declared so that the interface exists by name; CreateSaveObject never hands one out.
struct IDirectXFileSaveObject : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SaveTemplates(DWORD count, const GUID** templates) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDataObject(REFGUID templateId, LPCSTR name, const GUID* id, DWORD size,
                                                       LPVOID data, LPDIRECTXFILEDATA* object) = 0;
    virtual HRESULT STDMETHODCALLTYPE SaveData(LPDIRECTXFILEDATA object) = 0;
};

struct IDirectXFileObject : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetName(LPSTR name, LPDWORD size) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetId(LPGUID id) = 0;
};

struct IDirectXFileData : public IDirectXFileObject {
    virtual HRESULT STDMETHODCALLTYPE GetData(LPCSTR member, DWORD* size, void** data) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetType(const GUID** type) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNextObject(LPDIRECTXFILEOBJECT* object) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddDataObject(LPDIRECTXFILEDATA object) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddDataReference(LPCSTR name, const GUID* id) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddBinaryObject(LPCSTR name, const GUID* id, LPCSTR mimeType, LPVOID data,
                                                      DWORD size) = 0;
};

struct IDirectXFileDataReference : public IDirectXFileObject {
    virtual HRESULT STDMETHODCALLTYPE Resolve(LPDIRECTXFILEDATA* data) = 0;
};

struct IDirectXFileBinary : public IDirectXFileObject {
    virtual HRESULT STDMETHODCALLTYPE GetSize(DWORD* size) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMimeType(LPCSTR* mimeType) = 0;
    virtual HRESULT STDMETHODCALLTYPE Read(LPVOID data, DWORD size, LPDWORD read) = 0;
};

STDAPI DirectXFileCreate(LPDIRECTXFILE* directXFile);

inline constexpr GUID CLSID_CDirectXFile = {
    0x4516EC43, 0x8F20, 0x11D0, {0x9B, 0x6D, 0x00, 0x00, 0xC0, 0x78, 0x1B, 0xC3}};
inline constexpr GUID IID_IDirectXFile = {0x3D82AB40, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
inline constexpr GUID IID_IDirectXFileEnumObject = {
    0x3D82AB41, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
inline constexpr GUID IID_IDirectXFileSaveObject = {
    0x3D82AB42, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
inline constexpr GUID IID_IDirectXFileObject = {
    0x3D82AB43, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
inline constexpr GUID IID_IDirectXFileData = {
    0x3D82AB44, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
inline constexpr GUID IID_IDirectXFileDataReference = {
    0x3D82AB45, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
inline constexpr GUID IID_IDirectXFileBinary = {
    0x3D82AB46, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
inline constexpr GUID TID_DXFILEHeader = {0x3D82AB43, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};

#define DXFILE_OK 0
#define DXFILEERR_BADOBJECT MAKE_DDHRESULT(850)
#define DXFILEERR_BADVALUE MAKE_DDHRESULT(851)
#define DXFILEERR_BADTYPE MAKE_DDHRESULT(852)
#define DXFILEERR_BADSTREAMHANDLE MAKE_DDHRESULT(853)
#define DXFILEERR_BADALLOC MAKE_DDHRESULT(854)
#define DXFILEERR_NOTFOUND MAKE_DDHRESULT(855)
#define DXFILEERR_NOTDONEYET MAKE_DDHRESULT(856)
#define DXFILEERR_FILENOTFOUND MAKE_DDHRESULT(857)
#define DXFILEERR_RESOURCENOTFOUND MAKE_DDHRESULT(858)
#define DXFILEERR_URLNOTFOUND MAKE_DDHRESULT(859)
#define DXFILEERR_BADRESOURCE MAKE_DDHRESULT(860)
#define DXFILEERR_BADFILETYPE MAKE_DDHRESULT(861)
#define DXFILEERR_BADFILEVERSION MAKE_DDHRESULT(862)
#define DXFILEERR_BADFILEFLOATSIZE MAKE_DDHRESULT(863)
#define DXFILEERR_BADFILECOMPRESSIONTYPE MAKE_DDHRESULT(864)
#define DXFILEERR_BADFILE MAKE_DDHRESULT(865)
#define DXFILEERR_PARSEERROR MAKE_DDHRESULT(866)
#define DXFILEERR_NOTEMPLATE MAKE_DDHRESULT(867)
#define DXFILEERR_BADARRAYSIZE MAKE_DDHRESULT(868)
#define DXFILEERR_BADDATAREFERENCE MAKE_DDHRESULT(869)
#define DXFILEERR_INTERNALERROR MAKE_DDHRESULT(870)
#define DXFILEERR_NOMOREOBJECTS MAKE_DDHRESULT(871)
#define DXFILEERR_BADINTRINSICS MAKE_DDHRESULT(872)
#define DXFILEERR_NOMORESTREAMHANDLES MAKE_DDHRESULT(873)
#define DXFILEERR_NOMOREDATA MAKE_DDHRESULT(874)
#define DXFILEERR_BADCACHEFILE MAKE_DDHRESULT(875)
#define DXFILEERR_NOINTERNET MAKE_DDHRESULT(876)
