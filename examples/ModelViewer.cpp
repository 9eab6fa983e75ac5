// A model viewer of the component layer's own: an X-file model (or, without one, a lit and
// textured ellipsoid) turning slowly under a light in a window, until a key is pressed. With
// --dump it prints the loaded tree instead, for scripts and for checking a model.
//
//   ModelViewer [model.x] [--dump]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "ExampleSupport.h"
#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/WinApi.h"
#include "wdx/DirectXBinding.h"
#include "wdx/WDirect3DLight.h"
#include "wdx/WDirect3DTexture.h"
#include "wdx/WDirect3DxFile.h"
#include "wdx/WDirectInputDevice.h"
#include "wdx/WDirectObject.h"
#include "wdx/WDirectX.h"

namespace {
// A 64 x 64 chequered picture as a 24-bit BMP, the ellipsoid's texture, written into folder;
// empty when it cannot be written (the ellipsoid is then drawn untextured).
std::string WriteChequer(const std::filesystem::path& folder)
{
    if (folder.empty()) return {};
    const int size = 64, row = size * 3;
    auto le = [](std::string& out, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
    };
    std::string bmp = "BM";
    le(bmp, 54 + row * size, 4);
    le(bmp, 0, 4);
    le(bmp, 54, 4);
    le(bmp, 40, 4);
    le(bmp, size, 4);
    le(bmp, size, 4);
    le(bmp, 1, 2);
    le(bmp, 24, 2);
    for (int i = 0; i < 6; ++i) le(bmp, 0, 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) bmp += ((x / 8 + y / 8) % 2) ? std::string("\x30\x90\xF0", 3) : "\xF0\xF0\xF0";
    const std::filesystem::path path = folder / "ModelViewer-chequer.bmp";
    std::ofstream out(path, std::ios::binary);
    out << bmp;
    out.close();
    return out ? Utf8(path) : std::string();
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX out{};
    const auto* pa = reinterpret_cast<const float*>(&a);
    const auto* pb = reinterpret_cast<const float*>(&b);
    auto* po = reinterpret_cast<float*>(&out);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            for (int k = 0; k < 4; ++k) po[r * 4 + c] += pa[r * 4 + k] * pb[k * 4 + c];
    return out;
}

D3DMATRIX Identity()
{
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1;
    return m;
}

void Dump(const TCD3DFileObject* node, int depth)
{
    for (; node; node = node->Next.get()) {
        const std::string indent(static_cast<size_t>(depth) * 2, ' ');
        std::printf("%s%s\n", indent.c_str(), node->Name.c_str());
        for (int r = 0; r < 4; ++r) {
            const float* m = node->Matrix.data() + r * 4;
            std::printf("%s  matrix %g %g %g %g\n", indent.c_str(), m[0], m[1], m[2], m[3]);
        }
        if (node->HasGeometry) {
            std::printf("%s  vertices %d indices %d materials %d\n", indent.c_str(), node->VertexCount,
                        node->IndexCount, node->MaterialCount);
            for (int s = 0; s < node->MaterialCount; ++s) {
                const TD3DFileMaterial& material = node->Materials[static_cast<size_t>(s)];
                const D3DCOLORVALUE& d = material.Material.diffuse;
                std::printf("%s  material %d diffuse %g %g %g %g indices %d texture \"%s\"\n", indent.c_str(), s, d.r,
                            d.g, d.b, d.a, material.IndexCount, material.TextureName.c_str());
            }
        }
        Dump(node->Children.get(), depth + 1);
    }
}

class TViewerForm : public TForm {
public:
    TViewerForm(TComponent* owner, const std::string& model, const std::filesystem::path& scratch) : TForm(owner)
    {
        SetBounds(40, 40, 640, 480);
        Device = new TWDirectX(this);
        Device->DisableDirect3D = false;
        Device->DisableDirectInput = false;
        Device->UseZBuffer = true;
        Device->OnIdle = TIdleEvent::Of<&TViewerForm::Idle>(this);
        Device->SetIdleEnabled(true);
        Keyboard = new TWDirectInputKeyboard(this);
        Application->OnMessage = TMessageEvent::Of<&TViewerForm::EndOnKey>(this);
        if (model.empty()) {
            FTexture = WriteChequer(scratch);
            if (!FTexture.empty()) (new TWDirect3DTexture(this))->Image = FTexture;
            Mesh = new TWDirectObject(this);
            Mesh->SetObjectType(dxotEllipse);
            Mesh->SetSegmentsX(32);
            Mesh->SetSegmentsZ(16);
            Mesh->SetIndexed(true);
        } else {
            Model = new TWDirect3DxFile(this);
            Model->SetXFile(model);
        }
        auto* light = new TWDirect3DLight(this);
        light->SetDirectionX(-0.4f);
        light->SetDirectionY(-0.6f);
        light->SetDirectionZ(1);
        light->SetLightOn(true);
        // Full screen at the desktop's own size, the one mode every platform switches to; a
        // window where there is none.
        Device->SetBacksurfaces(1);
        Device->Loaded();
        const TVideoModeInfo desktop = Device->GetCurrentVideoMode();
        for (int i = 0; i < Device->VideoModeCount(); ++i) {
            const TVideoModeInfo mode = Device->GetVideoModeInfo(i);
            if (!mode.Windowed && mode.Width == desktop.Width && mode.Height == desktop.Height &&
                mode.Bits == desktop.Bits)
                Device->SetVideoMode(i);
        }
    }

    TWDirectX* Device;
    TWDirectInputKeyboard* Keyboard;
    TWDirectObject* Mesh = nullptr;
    TWDirect3DxFile* Model = nullptr;

private:
    // The keyboard's state, read once a frame, misses a key pressed and let go between two
    // reads (a quick tap, a slow frame on a busy machine); the window's key message waits in
    // the queue however short the press.
    void EndOnKey(TMsg& message, bool&)
    {
        if (message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) Close();
    }

    void Idle(TObject*, bool& done)
    {
        done = false;
        if (EndRequested()) {
            Close();
            return;
        }
        if (!Device->Active() || !Device->D3DDevice()) return;
        Keyboard->ReadState();
        for (unsigned char key : Keyboard->State)
            if (key) {
                Close();
                return;
            }
        IDirect3DDevice7* d3d = Device->D3DDevice();
        const float turn = std::chrono::duration<float>(std::chrono::steady_clock::now() - FStart).count() * 0.6f;
        D3DMATRIX view = Identity(), projection{};
        // The eye stands back three times the model's reach from its origin.
        if (FReach == 0) FReach = Model && Model->Root() ? std::max(Reach(Model->Root()), 0.01f) : 1;
        view._43 = 3 * FReach;
        const float aspect = static_cast<float>(Device->OutputWidth()) / static_cast<float>(Device->OutputHeight());
        projection._11 = 1.8f / aspect;
        projection._22 = 1.8f;
        // Depth from a tenth of the distance to ten times it.
        const float nearZ = 0.3f * FReach, farZ = 30 * FReach;
        projection._33 = farZ / (farZ - nearZ);
        projection._34 = 1;
        projection._43 = -nearZ * farZ / (farZ - nearZ);
        d3d->SetTransform(D3DTRANSFORMSTATE_VIEW, &view);
        d3d->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
        d3d->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
        d3d->SetRenderState(D3DRENDERSTATE_ZENABLE, Device->ZBufferSurface() ? TRUE : FALSE);
        d3d->SetRenderState(D3DRENDERSTATE_AMBIENT, 0x00303030);
        d3d->Clear(0, nullptr, D3DCLEAR_TARGET | (Device->ZBufferSurface() ? D3DCLEAR_ZBUFFER : 0), 0xFF202840, 1, 0);
        D3DMATRIX spin = Identity();
        spin._11 = spin._33 = std::cos(turn);
        spin._13 = -std::sin(turn);
        spin._31 = std::sin(turn);
        if (d3d->BeginScene() == D3D_OK) {
            if (Mesh) {
                D3DMATRIX upright = Identity();  // the ellipsoid's poles on the screen's y axis
                upright._22 = upright._33 = 0;
                upright._23 = 1;
                upright._32 = -1;
                D3DMATRIX world = Multiply(upright, spin);
                d3d->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
                d3d->SetTexture(0, Surface(FTexture));
                Mesh->Draw();
            } else if (Model && Model->Root()) {
                DrawNode(d3d, Model->Root(), spin);
            }
            d3d->SetTexture(0, nullptr);
            d3d->EndScene();
        }
        TWDirectDrawBasicSurface* target = Device->RenderTarget();
        if (!Device->Back1() && target)  // in a window: the frame is copied onto the screen
            Device->Primary()->BltRect(Device->OutputRect(), target,
                                       Rect(0, 0, Device->ClientArea().Width(), Device->ClientArea().Height()));
        Device->Flip();
    }

    IDirectDrawSurface7* Surface(const std::string& name) const
    {
        const TSurfaceContainer* entry = name.empty() ? nullptr : Device->SurfaceEntryByName(name);
        return entry && entry->Surface ? entry->Surface->Surface() : nullptr;
    }

    void DrawNode(IDirect3DDevice7* d3d, const TCD3DFileObject* node, const D3DMATRIX& parent)
    {
        for (; node; node = node->Next.get()) {
            D3DMATRIX own;
            std::copy(node->Matrix.begin(), node->Matrix.end(), reinterpret_cast<float*>(&own));
            const D3DMATRIX world = Multiply(own, parent);
            if (node->HasGeometry && !node->Vertices.empty()) {
                d3d->SetTransform(D3DTRANSFORMSTATE_WORLD, const_cast<D3DMATRIX*>(&world));
                int first = 0;
                for (int s = 0; s < node->MaterialCount; ++s) {
                    const TD3DFileMaterial& slot = node->Materials[static_cast<size_t>(s)];
                    if (slot.IndexCount > 0) {
                        D3DMATERIAL7 material = slot.Material;
                        d3d->SetMaterial(&material);
                        d3d->SetTexture(0, Surface(slot.TextureName));
                        d3d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX,
                                                  const_cast<TD3DFileVertex*>(node->Vertices.data()),
                                                  static_cast<DWORD>(node->Vertices.size()),
                                                  const_cast<uint16_t*>(node->Indices.data()) + first,
                                                  static_cast<DWORD>(slot.IndexCount), 0);
                    }
                    first += slot.IndexCount;
                }
            }
            DrawNode(d3d, node->Children.get(), world);
        }
    }

    static float Reach(const TCD3DFileObject* node)
    {
        float reach = 0;
        for (; node; node = node->Next.get()) {
            for (const TD3DFileVertex& v : node->Vertices)
                reach = std::max(reach, std::sqrt(v.X * v.X + v.Y * v.Y + v.Z * v.Z));
            reach = std::max(reach, Reach(node->Children.get()));
        }
        return reach;
    }

    std::string FTexture;
    float FReach = 0;
    std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
};
}  // namespace

int main(int argc, char** argv)
{
    std::string model;
    bool dump = false;
    for (int i = 1; i < argc; ++i) (std::string(argv[i]) == "--dump" ? dump = true : (model = argv[i], false));
    const TDirectXLibraries directX;
    if (dump) {
        if (model.empty()) {
            std::fprintf(stderr, "ModelViewer: --dump needs a model\n");
            return 2;
        }
        TWDirect3DxFile file(nullptr);
        file.AutoLoadResources = false;
        if (file.Load(model) != 0 || !file.Root()) {
            std::fprintf(stderr, "ModelViewer: cannot read %s\n", model.c_str());
            return 1;
        }
        Dump(file.Root(), 0);
        return 0;
    }
    if (!ScreenOrSay("ModelViewer")) return 1;
    // SIGTERM and Ctrl+C end the viewer as a key does, so that its scratch folder goes too:
    // from before the folder is made, or one that came in between would leave it behind.
    EndOnSignals();
    // Outlives the forms, whose texture surface was loaded from it.
    std::optional<TScratchFolder> scratch;
    if (model.empty()) scratch.emplace("ModelViewer");
    Application->Initialize();
    auto* form = new TViewerForm(Application, model, scratch ? scratch->Path() : std::filesystem::path());
    form->Show();
    try {
        form->Device->StartAll();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "ModelViewer: %s\n", error.what());
        Application->FreeForms();
        return 1;
    }
    Application->Run();
    Application->FreeForms();  // while DirectX is still bound
    return 0;
}
