// The X-file reader against files made to exhaust it. A compressed file of 1.38 MB whose
// blocks inflate to about 1 GB must be refused quickly and without the memory it asks for:
// the time of a refusal (median of five), and the peak memory of a process that does
// nothing else. A file of 80,000 templates, each naming another as a member, must read in
// well under a second. Times are the process's processor time (user and system), as the
// machines this runs on are shared; wall-clock time is printed beside.
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "BenchSupport.h"
#include "SoftDxApi.h"
#include "support/XFileWriter.h"

using namespace xfiletest;

namespace {

constexpr double TargetMs = 200;
constexpr double TargetPeakMb = 64;
constexpr double TargetTemplatesMs = 1000;
constexpr std::size_t BombBytes = 1'380'000;
constexpr int TemplateCount = 80'000;

// Raw deflate of `plain`, with `history` as the window it may refer back into.
std::vector<uint8_t> Deflate(const std::vector<uint8_t>& plain, const std::vector<uint8_t>& history)
{
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    if (!history.empty()) deflateSetDictionary(&z, history.data(), uInt(history.size()));
    std::vector<uint8_t> packed(deflateBound(&z, uLong(plain.size())) + 64);
    z.next_in = const_cast<Bytef*>(plain.data());
    z.avail_in = uInt(plain.size());
    z.next_out = packed.data();
    z.avail_out = uInt(packed.size());
    deflate(&z, Z_FINISH);
    packed.resize(z.total_out);
    deflateEnd(&z);
    return packed;
}

// Little-endian, byte by byte (an insert of a short range sets off a false array-bounds
// warning of GCC 12 at -O3).
void Put(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int k = 0; k < bytes; ++k) out.push_back(uint8_t(value >> (8 * k)));
}

void PutBlock(std::vector<uint8_t>& out, std::size_t plain, const std::vector<uint8_t>& packed)
{
    Put(out, uint32_t(plain), 2);
    Put(out, uint32_t(packed.size() + 2), 2);
    Put(out, 'C' | 'K' << 8, 2);
    out.insert(out.end(), packed.begin(), packed.end());
}

// A compressed text file of blocks of 32 KB of spaces. Every block after the first deflates
// against the one before it to the same few dozen bytes, so each byte of the file stands for
// about 770 inflated ones; its declared total is the true one.
std::vector<uint8_t> Bomb(std::size_t bytes)
{
    const std::vector<uint8_t> spaces(32768, ' ');
    const std::vector<uint8_t> first = Deflate(spaces, {});
    const std::vector<uint8_t> next = Deflate(spaces, spaces);
    const std::size_t blocks = 1 + (bytes - 20 - first.size() - 6) / (next.size() + 6);
    std::vector<uint8_t> out = Header("tzip", 32);
    Put(out, uint32_t(16 + blocks * spaces.size()), 4);
    PutBlock(out, spaces.size(), first);
    for (std::size_t b = 1; b < blocks; ++b) PutBlock(out, spaces.size(), next);
    return out;
}

// Templates T0 to T(n-1), each of a number and (but T0) a member of the template at half its
// index, so that every definition looks up an earlier one; then one object of the last,
// whose data follows that chain down to T0.
std::string Name(int index)
{
    char name[16];
    std::snprintf(name, sizeof name, "T%d", index);
    return name;
}

std::vector<uint8_t> ManyTemplates(int count)
{
    XWriter w;
    for (int i = 0; i < count; ++i) {
        XGuid id;
        id.Data1 = uint32_t(i);
        id.Data2 = 0xB0B0;
        w.N("template").N(Name(i)).P("{").G(id).N("DWORD").N("a").P(";");
        if (i) w.N(Name(i / 2)).N("b").P(";");
        w.P("}");
    }
    w.N(Name(count - 1)).N("last").P("{");
    for (int i = count - 1;; i /= 2) {
        w.I(uint32_t(i)).P(";");
        if (i == 0) break;
    }
    w.P("}");
    return Compress(EncodeText(w.tokens));
}

std::string Save(const std::string& name, const std::vector<uint8_t>& bytes)
{
    const std::string path = "/tmp/vellumine-xfile-bomb-bench-" + std::to_string(getpid()) + "-" + name + ".x";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

// One load as a program does it; the count of top-level objects, or -1 when the reader
// refused the file at any step.
int Load(const std::string& path)
{
    IDirectXFile* file = nullptr;
    if (DirectXFileCreate(&file) != DXFILE_OK) return -1;
    IDirectXFileEnumObject* objects = nullptr;
    int count = -1;
    if (file->CreateEnumObject(const_cast<char*>(path.c_str()), DXFILELOAD_FROMFILE, &objects) == DXFILE_OK) {
        IDirectXFileData* data = nullptr;
        HRESULT hr;
        count = 0;
        while ((hr = objects->GetNextDataObject(&data)) == DXFILE_OK) {
            ++count;
            data->Release();
        }
        if (hr != DXFILEERR_NOMOREOBJECTS) count = -1;
        objects->Release();
    }
    file->Release();
    return count;
}

double ProcessMs()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The median processor and wall-clock milliseconds of `rounds` runs.
template <typename Run>
std::pair<double, double> Time(int rounds, Run run)
{
    std::vector<double> processor, wall;
    for (int round = 0; round < rounds; ++round) {
        const double before = ProcessMs();
        const auto start = std::chrono::steady_clock::now();
        run();
        wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        processor.push_back(ProcessMs() - before);
    }
    return {Median(processor), Median(wall)};
}

// The peak resident memory, in MB, of a process that loads the file once; -1 if it failed
// to run. `refused` says whether the reader refused the file there.
double PeakMb(const std::string& path, bool& refused)
{
    const pid_t pid = fork();
    if (pid == 0) _exit(Load(path) < 0 ? 0 : 1);
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status)) return -1;
    refused = WEXITSTATUS(status) == 0;
    return double(usage.ru_maxrss) / 1024.0;
}

const char* Verdict(bool pass) { return pass ? "PASS" : "FAIL"; }

}  // namespace

int main()
{
    const std::vector<uint8_t> bomb = Bomb(BombBytes);
    const std::string bombPath = Save("bomb", bomb);
    const std::string templatesPath = Save("templates", ManyTemplates(TemplateCount));

    bool refused = false;
    const double peak = PeakMb(bombPath, refused);
    const auto [bombMs, bombWallMs] = Time(5, [&] { refused = Load(bombPath) < 0 && refused; });
    bool templatesRead = true;
    const auto [templatesMs, templatesWallMs] =
        Time(3, [&] { templatesRead = Load(templatesPath) == 1 && templatesRead; });
    std::remove(bombPath.c_str());
    std::remove(templatesPath.c_str());

    std::printf("bomb: %.2f MB declaring %.2f GB inflated, %s; %.1f ms wall\n", bomb.size() / 1e6,
                (bomb[16] | bomb[17] << 8 | bomb[18] << 16 | uint32_t(bomb[19]) << 24) / 1e9,
                refused ? "refused" : "NOT refused", bombWallMs);
    std::printf("%d templates: %s; %.1f ms wall\n", TemplateCount,
                templatesRead ? "read with their object" : "NOT read", templatesWallMs);
    const bool bombFast = refused && bombMs <= TargetMs;
    const bool bombSmall = refused && peak >= 0 && peak <= TargetPeakMb;
    const bool templatesFast = templatesRead && templatesMs <= TargetTemplatesMs;
    std::printf("xfile-bomb-ms: %.1f (target <= %.0f) %s\n", bombMs, TargetMs, Verdict(bombFast));
    std::printf("xfile-bomb-peak-mb: %.1f (target <= %.0f) %s\n", peak, TargetPeakMb, Verdict(bombSmall));
    std::printf("xfile-templates-80k-ms: %.1f (target <= %.0f) %s\n", templatesMs, TargetTemplatesMs,
                Verdict(templatesFast));
    return bombFast && bombSmall && templatesFast ? 0 : 1;
}
