// Parsing a large settings file: 10 MB of keys, each with a few values of every common form
// (strings, numbers, wrapped binary data), names spelled in mixed case, with comments and
// blank lines between. reg-parse-10mb-ms is the median time of a parse over a few rounds, in
// milliseconds; a parse that grew with the square of the keys would take minutes.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "framework/x11/LinuxRegFile.h"

namespace {
const double TargetMs = 500;
const size_t FileBytes = 10u << 20;
const int Rounds = 5;

std::string MakeFile(size_t& keys, size_t& values)
{
    std::string text = "Windows Registry Editor Version 5.00\n";
    keys = values = 0;
    char line[160];
    for (uint32_t k = 0; text.size() < FileBytes; ++k) {
        const uint32_t h = Hash(k);
        std::snprintf(line, sizeof line, "\n; group %u\n[HKEY_CURRENT_USER\\Software\\Bench\\Group%03u\\Key%08X]\n",
                      h % 7, h % 500, k);
        text += line;
        ++keys;
        std::snprintf(line, sizeof line, "\"Name%u\"=\"value %08x with some text\"\n", k, h);
        text += line;
        std::snprintf(line, sizeof line, "\"COUNT\"=dword:%08x\n", h);
        text += line;
        text +=
            "\"Data\"=hex:00,11,22,33,44,55,66,77,88,99,aa,bb,cc,dd,ee,ff,00,11,22,33,44,55,66,\\\n"
            "  77,88,99,aa,bb,cc,dd,ee,ff\n";
        std::snprintf(line, sizeof line, "\"count\"=dword:%08x\n", h ^ 0xFFu);  // replaces COUNT
        text += line;
        values += 3;
    }
    return text;
}
}  // namespace

int main()
{
    size_t keys = 0, values = 0;
    const std::string text = MakeFile(keys, values);
    std::printf("settings file: %zu bytes, %zu keys, %zu values\n", text.size(), keys, values);
    std::vector<double> times;
    for (int round = 0; round < Rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const TLinuxRegParse parse = ParseLinuxRegText(text);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        size_t found = 0;
        for (const TLinuxRegKey& key : parse.Model.Keys) found += key.Values.size();
        if (!parse.Ok || parse.Model.Keys.size() != keys || found != values) {
            std::printf("parse went wrong: line %d: %s; %zu keys, %zu values\n", parse.ErrorLine, parse.Error.c_str(),
                        parse.Model.Keys.size(), found);
            std::printf("reg-parse-10mb-ms: not measured (target < %.0f) FAIL\n", TargetMs);
            return 1;
        }
        std::printf("round %d: %.1f ms\n", round + 1, ms);
        times.push_back(ms);
    }
    const double median = Median(times);
    std::printf("reg-parse-10mb-ms: %.1f (target < %.0f) %s\n", median, TargetMs, median < TargetMs ? "PASS" : "FAIL");
    return median < TargetMs ? 0 : 1;
}
