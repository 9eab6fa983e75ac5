// The X-file reader on a model of 100,000 faces (a grid mesh with normals, texture
// coordinates and a material, in a frame): the text load against reading the same file's
// bytes and parsing its numbers with strtof, and the binary load in megabytes a second.
// The compressed loads are shown for information.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "support/XFileWriter.h"
#include "wdx/XFileTemplates.h"

using namespace xfiletest;

namespace {

constexpr int Cells = 224;  // 224 x 224 cells of two triangles: 100,352 faces
constexpr double Target = 1.5;

XWriter GridModel()
{
    const int side = Cells + 1;
    const int vertices = side * side;
    const int faces = Cells * Cells * 2;
    XWriter w;
    w.N("Frame").N("Grid").P("{").N("FrameTransformMatrix").P("{");
    for (int i = 0; i < 16; ++i) w.F(i % 5 == 0 ? 1.0 : 0.0).P(i == 15 ? ";;" : ",");
    w.P("}").N("Mesh").N("Surface").P("{").I(uint32_t(vertices)).P(";");
    for (int i = 0; i < vertices; ++i) {
        const double x = i % side, z = i / side;
        w.F(x * 0.125)
            .P(";")
            .F((Hash(uint32_t(i)) % 1000) * 0.001)
            .P(";")
            .F(z * 0.125)
            .P(i + 1 < vertices ? ";," : ";;");
    }
    w.I(uint32_t(faces)).P(";");
    for (int c = 0; c < Cells * Cells; ++c) {
        const uint32_t a = uint32_t(c / Cells * side + c % Cells);
        w.I(3).P(";").I(a).P(",").I(a + 1).P(",").I(a + uint32_t(side)).P(";,");
        w.I(3).P(";").I(a + 1).P(",").I(a + uint32_t(side) + 1).P(",").I(a + uint32_t(side));
        w.P(c + 1 < Cells * Cells ? ";," : ";;");
    }
    w.N("MeshNormals").P("{").I(uint32_t(vertices)).P(";");
    for (int i = 0; i < vertices; ++i) w.F(0).P(";").F(1).P(";").F(0).P(i + 1 < vertices ? ";," : ";;");
    w.I(0).P(";;}");
    w.N("MeshTextureCoords").P("{").I(uint32_t(vertices)).P(";");
    for (int i = 0; i < vertices; ++i)
        w.F((i % side) / double(Cells)).P(";").F((i / side) / double(Cells)).P(i + 1 < vertices ? ";," : ";;");
    w.P("}");
    w.N("MeshMaterialList").P("{").I(1).P(";").I(1).P(";").I(0).P(";;");
    w.N("Material").P("{").F(1).P(";").F(1).P(";").F(1).P(";").F(1).P(";;").F(0).P(";");
    w.F(0).P(";").F(0).P(";").F(0).P(";;").F(0).P(";").F(0).P(";").F(0).P(";;}");
    w.P("}").P("}").P("}");
    return w;
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void Walk(IDirectXFileData* data, std::size_t& bytes)
{
    DWORD size = 0;
    void* p = nullptr;
    if (data->GetData(nullptr, &size, &p) == DXFILE_OK) bytes += size;
    IDirectXFileObject* child = nullptr;
    while (data->GetNextObject(&child) == DXFILE_OK) {
        IDirectXFileData* inner = nullptr;
        if (child->QueryInterface(IID_IDirectXFileData, reinterpret_cast<void**>(&inner)) == DXFILE_OK) {
            Walk(inner, bytes);
            inner->Release();
        }
        child->Release();
    }
}

// One load as the component does it: a reader, the standard templates, every object's data.
// Returns the bytes of data handed out, 0 on any failure.
std::size_t Load(const std::string& path)
{
    IDirectXFile* file = nullptr;
    if (DirectXFileCreate(&file) != DXFILE_OK) return 0;
    std::size_t bytes = 0;
    IDirectXFileEnumObject* objects = nullptr;
    if (file->RegisterTemplates(const_cast<unsigned char*>(D3DRM_XTEMPLATES), DWORD(D3DRM_XTEMPLATE_BYTES)) ==
            DXFILE_OK &&
        file->CreateEnumObject(const_cast<char*>(path.c_str()), DXFILELOAD_FROMFILE, &objects) == DXFILE_OK) {
        IDirectXFileData* data = nullptr;
        HRESULT hr;
        while ((hr = objects->GetNextDataObject(&data)) == DXFILE_OK) {
            Walk(data, bytes);
            data->Release();
        }
        if (hr != DXFILEERR_NOMOREOBJECTS) bytes = 0;
        objects->Release();
    }
    file->Release();
    return bytes;
}

// The reference: the file's bytes read, and every number in them parsed with strtof.
double StrtofSum(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    text.push_back('\0');
    double sum = 0;
    const char* p = text.data() + 16;
    while (*p) {
        if ((*p >= '0' && *p <= '9') || *p == '-' || *p == '.') {
            char* end = nullptr;
            sum += std::strtof(p, &end);
            p = end > p ? end : p + 1;
        } else {
            ++p;
        }
    }
    return sum;
}

std::string Save(const std::string& name, const std::vector<uint8_t>& bytes)
{
    const std::string path = "/tmp/vellumine-xfile-bench-" + name + ".x";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

template <typename F>
double MedianTime(F&& run)
{
    std::vector<double> times;
    for (int round = 0; round < 7; ++round) {
        const auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(Seconds(start));
    }
    return Median(times);
}

}  // namespace

int main()
{
    const XWriter model = GridModel();
    const std::vector<uint8_t> text = EncodeText(model.tokens);
    const std::vector<uint8_t> binary = EncodeBinary(model.tokens);
    const std::string textPath = Save("txt", text);
    const std::string binPath = Save("bin", binary);
    const std::string tzipPath = Save("tzip", Compress(text));
    const std::string bzipPath = Save("bzip", Compress(binary));

    bool loaded = true;
    const auto timeLoad = [&](const std::string& path) {
        return MedianTime([&] { loaded = loaded && Load(path) > 0; });
    };
    volatile double sink = 0;
    const double reference = MedianTime([&] { sink = sink + StrtofSum(textPath); });
    const double textTime = timeLoad(textPath);
    const double binTime = timeLoad(binPath);
    const double tzipTime = timeLoad(tzipPath);
    const double bzipTime = timeLoad(bzipPath);
    for (const std::string& path : {textPath, binPath, tzipPath, bzipPath}) std::remove(path.c_str());

    std::printf("text %.1f MB: load %.1f ms, bytes and strtof %.1f ms\n", text.size() / 1e6, textTime * 1e3,
                reference * 1e3);
    std::printf("binary %.1f MB: load %.1f ms; tzip load %.1f ms; bzip load %.1f ms\n", binary.size() / 1e6,
                binTime * 1e3, tzipTime * 1e3, bzipTime * 1e3);
    if (!loaded) {
        std::printf("xfile-text-vs-strtof: not measured, a load failed (target <= %.1f) FAIL\n", Target);
        return 1;
    }
    const double ratio = textTime / reference;
    std::printf("xfile-text-vs-strtof: %.2f (target <= %.1f) %s\n", ratio, Target, ratio <= Target ? "PASS" : "FAIL");
    std::printf("xfile-bin-mbps: %.0f (target none, report only) PASS\n", binary.size() / 1e6 / binTime);
    return ratio <= Target ? 0 : 1;
}
