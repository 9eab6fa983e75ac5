#pragma once
// TWDirect3DxFile: a model in the X-file format, read by the platform's X-file reader into a
// tree of TCD3DFileObject nodes when its device starts, and freed when it stops. Nothing in
// the layer draws the tree: it is the loaded model, ready for a caller.
#include <memory>
#include <string>

#include "framework/Component.h"
#include "framework/Events.h"
#include "wdx/D3DFileObject.h"
#include "wdx/DirectXApi.h"
#include "wdx/WDirectXTypes.h"

using TTextureFilenameEvent = TEvent<TObject*, std::string&>;

class TWDirect3DxFile : public TComponent, public TObject, public TWDirectXComponent {
public:
    explicit TWDirect3DxFile(TComponent* owner);
    ~TWDirect3DxFile() override;

    bool Active() const { return FActive; }
    const std::string& XFile() const { return FXFile; }
    void SetXFile(const std::string& name);  // an active component loads the new file at once
    TSomeEvent OnFileLoaded;
    TTextureFilenameEvent OnTextureFilename;  // may change a texture's name before it is kept
    bool AutoLoadResources = true;            // create each material's texture while loading

    // The loaded tree: "D3DFile_Root" and its children; null when stopped, or when the reader
    // failed part way through the file.
    TCD3DFileObject* Root() const { return FRoot.get(); }
    TWDirectX* Device() const { return FDevice; }

    // Reads the file into a new tree. Non-zero (E_FAIL) when no reader, the templates or the
    // file could not be had, E_OUTOFMEMORY when memory ran out (no tree then); zero otherwise,
    // also when the tree was dropped part way on a reader's fault. A mesh whose data is not
    // of its template's layout is left out.
    HRESULT Load(const std::string& path);

    TWDirectXComponentKind DirectXKind() const override { return dxkXFile; }
    void Start(TWDirectX* device) override;
    void Stop() override;

private:
    bool FindXFile(std::string& path) const;
    void Log(const std::string& line) const;
    bool ParseFrame(IDirectXFileData* object, TCD3DFileObject& parent);
    bool ParseMesh(IDirectXFileData* object, TCD3DFileObject& parent);
    bool ParseMaterialList(IDirectXFileData* list, TCD3DFileObject& node, int faceCount, const uint32_t* faces,
                           size_t faceWords);
    bool SetMaterial(TCD3DFileObject& node, int slot, IDirectXFileData* material, const D3DMATERIAL7& record);
    // Logs an object whose data does not have its template's layout; false, for the callers.
    bool Damaged(IDirectXFileData* object) const;

    TWDirectX* FDevice = nullptr;  // not owned
    bool FActive = false;
    std::string FXFile;
    std::unique_ptr<TCD3DFileObject> FRoot;
};
