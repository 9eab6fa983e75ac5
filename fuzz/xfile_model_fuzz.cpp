// Fuzz target: the whole model walk. The X-file component (TWDirect3DxFile) loads arbitrary
// bytes through the software DirectX's reader and builds its node tree, and every node's
// vertices, indices, materials and texture names are then read, so that a read past the data
// a reader hands out, or a pointer the file chose being followed, shows up under the
// sanitizers. No device: the component makes no textures without one.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "wdx/DirectXBinding.h"
#include "wdx/WDirect3DxFile.h"

namespace {

volatile float Sink;

void Touch(const TCD3DFileObject* node)
{
    // Children are walked by recursion, siblings by the loop, as the tree holds them.
    for (; node; node = node->Next.get()) {
        float sum = node->Matrix[15];
        for (const TD3DFileVertex& v : node->Vertices) sum += v.X + v.NY + v.TV;
        for (uint16_t i : node->Indices) sum += node->Vertices.at(i).Z;
        for (int m = 0; m < node->MaterialCount; ++m) {
            const TD3DFileMaterial& material = node->Materials[static_cast<std::size_t>(m)];
            sum += material.Material.power + static_cast<float>(material.TextureName.size() + material.IndexCount);
        }
        Sink = sum;
        Touch(node->Children.get());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const TDirectXLibraries directX;
    // The component reads models from files only.
    static const std::string path = "/tmp/xfile_model_fuzz." + std::to_string(getpid()) + ".x";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    const bool written = std::fwrite(data, 1, size, f) == size;
    std::fclose(f);
    if (!written) return 0;
    TWDirect3DxFile file(nullptr);
    file.AutoLoadResources = false;
    if (file.Load(path) == 0) Touch(file.Root());
    std::remove(path.c_str());
    return 0;
}
