// The application's own files, each timed beside the plain mechanism under
// it, alternately in the same run; "x_plain" is our time over the plain one's:
//   - writing the settings file (every key) beside an atomic write of the same
//     bytes, and reading it beside reading its bytes;
//   - writing a preset file of 1,000 presets beside an atomic write of the same
//     bytes, and loading it beside reading its bytes;
//   - the text-table look-up of the application (text, font and colour of an
//     id, the text copied out) over every id of the program's own table, beside
//     a std::unordered_map<int, std::u16string> look-up and copy of the same
//     texts (goal: at most 2).
// Each result is checked once before timing.

#include <benchmark/benchmark.h>

#include "foundation/FPath.h"
#include "shell/app/AppFiles.h"
#include "shell/app/CAppSettings.h"
#include "shell/app/CLumitraApp.h"
#include "shell/app/CPresetList.h"
#include "shell/app/PresetFile.h"
#include "shell/app/PrivateProfile.h"
#include "support/TestSupport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::WideFromUtf8;

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "AppServicesBench: wrong result: %s\n", what);
    std::abort();
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Report(benchmark::State& state, double work, double plain)
{
    state.counters["plain_us"] = benchmark::Counter(1e6 * plain / static_cast<double>(state.iterations()));
    state.counters["x_plain"] = benchmark::Counter(plain > 0 ? work / plain : 0.0);
}

// Times work and plain in turn every iteration and reports their ratio.
template <class Work, class Plain>
void RunBeside(benchmark::State& state, Work&& work, Plain&& plain)
{
    double workSeconds = 0, plainSeconds = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        work();
        workSeconds += Seconds(start);
        start = Clock::now();
        plain();
        plainSeconds += Seconds(start);
    }
    Report(state, workSeconds, plainSeconds);
}

const testsupport::TempDir& Folder()
{
    static testsupport::TempDir dir;
    return dir;
}

FString PathOf(const char* name) { return WideFromUtf8((Folder().Path() / name).string()); }

const LOGFONTW kGuiFont{};

void BM_SettingsWrite(benchmark::State& state)
{
    CAppSettings settings;
    CPrivateProfile empty;
    settings.ReadFrom(empty, FString(u"Custom"), kGuiFont);
    settings.m_strThumbDir = FString(u"/home/user/Pictures/2024");
    const FString path = PathOf("TLumitra.ini");
    std::filesystem::remove(Folder().Path() / "TLumitra.ini");
    if (!settings.WriteFile(path))
        Fail("settings written");
    std::string bytes;
    ReadAppFile(path, bytes, CPrivateProfile::kMaxFileSize);
    const FString plainPath = PathOf("plain.ini");
    RunBeside(state, [&] { settings.WriteFile(path); }, [&] { WriteAppFileAtomically(plainPath, bytes); });
    state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_SettingsWrite)->Unit(benchmark::kMicrosecond);

void BM_SettingsRead(benchmark::State& state)
{
    const FString path = PathOf("TLumitra.ini");
    CAppSettings settings;
    if (!settings.ReadFile(path, FString(u"Custom"), kGuiFont) || settings.m_strThumbDir != u"/home/user/Pictures/2024")
        Fail("settings read");
    std::string bytes;
    RunBeside(state, [&] { settings.ReadFile(path, FString(u"Custom"), kGuiFont); }, [&] {
        ReadAppFile(path, bytes, CPrivateProfile::kMaxFileSize);
        benchmark::DoNotOptimize(bytes.data());
    });
}
BENCHMARK(BM_SettingsRead)->Unit(benchmark::kMicrosecond);

constexpr int kPresets = 1000;

CPresetList& Presets()
{
    static CPresetList list;
    if (list.GetCount() == 0) {
        for (int i = 0; i < kPresets; ++i) {
            CKVR_FilterData preset;
            preset.m_strName.Format("Preset %d", i);
            preset.m_nExposure = i % 400 - 200;
            preset.m_nCyan = i % 60;
            preset.m_nFillLight = i % 100;
            list.SavePreset(&preset, nullptr);
        }
    }
    return list;
}

void BM_PresetFileWrite(benchmark::State& state)
{
    CPresetList& list = Presets();
    const FString path = PathOf("KVR_Setting.xml");
    if (!list.SavePresetFile(path))
        Fail("presets written");
    std::string bytes;
    ReadAppFile(path, bytes, kMaxPresetFileSize);
    const FString plainPath = PathOf("plain.xml");
    RunBeside(state, [&] { list.SavePresetFile(path); }, [&] { WriteAppFileAtomically(plainPath, bytes); });
    state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_PresetFileWrite)->Unit(benchmark::kMillisecond);

void BM_PresetFileLoad(benchmark::State& state)
{
    const FString path = PathOf("KVR_Setting.xml");
    CPresetList list;
    if (!list.LoadPresetFile(path) || list.GetCount() != kPresets || !list.GetAt(7)->IsEqual(Presets().GetAt(7), 1))
        Fail("presets loaded");
    std::string bytes;
    RunBeside(state, [&] { list.LoadPresetFile(path); }, [&] {
        ReadAppFile(path, bytes, kMaxPresetFileSize);
        benchmark::DoNotOptimize(bytes.data());
    });
}
BENCHMARK(BM_PresetFileLoad)->Unit(benchmark::kMillisecond);

void BM_TextLookup(benchmark::State& state)
{
    static CLumitraApp app;
    const FString resources = WideFromUtf8(LUMITRA_SOURCE_DIR "/resources");
    if (!app.LoadStringTable(PathJoin(resources, FString(u"String.txt"))) ||
        !app.LoadFontTable(PathJoin(resources, FString(u"Font.txt"))))
        Fail("tables loaded");
    // The same texts in a plain map, and the ids in file order.
    std::unordered_map<int, std::u16string> map;
    std::vector<int> ids;
    for (int id = 0; id < 100000; ++id) {
        std::u16string text;
        if (app.GetString(id, text)) {
            map.emplace(id, text);
            ids.push_back(id);
        }
    }
    if (ids.size() < 500)
        Fail("the program's table");
    std::u16string text;
    CFont* font = nullptr;
    COLORREF colour = 0;
    RunBeside(
        state,
        [&] {
            for (const int id : ids) {
                app.GetString(id, text, &font, &colour);
                benchmark::DoNotOptimize(text.data());
            }
        },
        [&] {
            for (const int id : ids) {
                const auto found = map.find(id);
                if (found != map.end())
                    text = found->second;
                benchmark::DoNotOptimize(text.data());
            }
        });
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * ids.size()));
    state.counters["ids"] = static_cast<double>(ids.size());
}
BENCHMARK(BM_TextLookup)->Unit(benchmark::kMicrosecond);

} // namespace
