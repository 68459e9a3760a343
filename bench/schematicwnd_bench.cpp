// The schematic window's repaint: from its cached picture against a window of the same size
// whose paint is a plain BitBlt of a bitmap (the goal: at most 1.3 times as long, the label being
// the only extra), and a repaint that renders the junction picture anew against a cached one.
// Headless, on the T junction world routed by the route service. Counters: "cached_us",
// "blit_us", "ratio" (cached over blit), "render_us" and "render_ratio" (render over cached).
#include "advisor/advicelist.h"
#include "junctionview/tests/junctionworld.h"
#include "junctionview/windows/schematicwnd.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/screendescwriter.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/files/modules.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/shell/resources.h"
#include "platform/window/paint.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;
constexpr RECT kWindowRect{0, 0, 240, 200};

double MicrosecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// A framework window whose paint blits a bitmap of its client size.
class BlitWindow {
public:
    BlitWindow() { ConnectMessageHandler(handle.map, WM_PAINT, this, &BlitWindow::OnPaint); }
    ~BlitWindow() {
        if (memory != nullptr) {
            SelectObject(memory, previous);
            DeleteObject(bitmap);
            DeleteDC(memory);
        }
    }
    BlitWindow(const BlitWindow&) = delete;
    BlitWindow& operator=(const BlitWindow&) = delete;

    void Create(HWND parent) {
        CreateWindowExW(0, WindowClassRegistry::ClassName(), u"",
                        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_BORDER, kWindowRect.left,
                        kWindowRect.top, kWindowRect.right, kWindowRect.bottom, parent, nullptr,
                        platform::ResourceInstance(), &handle);
    }
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return handlers; }

    void OnPaint(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(handle.window, &paint);
        RECT client{};
        GetClientRect(handle.window, &client);
        if (memory == nullptr) {
            memory = CreateCompatibleDC(dc);
            bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
            previous = SelectObject(memory, bitmap);
        }
        BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        EndPaint(handle.window, &paint);
        *result = 0;
        *handled = true;
    }

    WindowHandle handle;
    OwnerHandlerList handlers;
    HDC memory = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
};

AdvicePtr AdviceOfKind(std::int32_t kind, const RouteIteratorPtr& route) {
    AdviceList list;
    AdviceRecord record;
    record.manoeuvreCode = kind;
    record.route = route;
    record.distance = 1234;
    list.Append(record);
    return MakeAdvice(list, nullptr);
}

void SchematicRepaint(benchmark::State& state) {
    const auto world = junctionworld::RouteWorld(testdata::TJunctionScenario());
    if (!world) {
        state.SkipWithError("the junction world could not be routed");
        return;
    }
    testdata::TempDeviceRoot& root = junctionworld::WorldRoot();
    platform::SetScreenSize(240, 320);
    platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    (void)root.WriteFile(u"\\Windows\\LangEngCE.dll",
                         testdata::WriteResourceBundle(platform::ResourceBundle{}));
    HMODULE module = LoadLibraryW(u"LangEngCE.dll");
    platform::SetResourceInstance(module);
    testdata::ScreenDescWriter description;
    description.Section(u"Arrow").Size(480, 400).Rect(u"Distance", 120, 8, 360, 68);
    (void)root.WriteFile(AppPaths::GetScreenDescFilePath(), description.Build());
    WindowHandle page;
    CreateWindowExW(0, WindowClassRegistry::ClassName(), u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                    nullptr, nullptr, platform::ResourceInstance(), &page);
    platform::ScreenDriver driver;

    std::unique_ptr<SchematicWnd> window(static_cast<SchematicWnd*>(CreateSchematicWnd(nullptr)));
    window->Create(kWindowRect, page.window);
    window->SetRoute(world->result);
    MatchedPosition picture;
    picture.streetsNear = 1;
    window->SetPosition(picture);
    const RouteIteratorPtr route = world->At(world->IndexOf("SJ"));
    const AdvicePtr kinds[2] = {AdviceOfKind(4, route), AdviceOfKind(3, route)};
    window->SetAdvice(kinds[0]);
    driver.RunUntilIdle();
    BlitWindow blit;
    blit.Create(page.window);
    ShowWindow(blit.handle.window, SW_HIDE);
    driver.RunUntilIdle();

    constexpr int kRepaints = 200;
    const auto repaint = [&](HWND target) {
        InvalidateRect(target, nullptr, FALSE);
        UpdateWindow(target);
    };
    double cached = 0.0;
    double blitted = 0.0;
    double rendered = 0.0;
    for (auto _ : state) {
        // The schematic window and the plain window take turns on top.
        ShowWindow(blit.handle.window, SW_HIDE);
        driver.RunUntilIdle();
        auto start = Clock::now();
        for (int i = 0; i < kRepaints; ++i)
            repaint(window->GetHwnd());
        cached += MicrosecondsSince(start) / kRepaints;

        ShowWindow(blit.handle.window, SW_SHOW);
        driver.RunUntilIdle();
        start = Clock::now();
        for (int i = 0; i < kRepaints; ++i)
            repaint(blit.handle.window);
        blitted += MicrosecondsSince(start) / kRepaints;

        ShowWindow(blit.handle.window, SW_HIDE);
        driver.RunUntilIdle();
        start = Clock::now();
        for (int i = 0; i < kRepaints / 10; ++i) {
            window->SetAdvice(kinds[(i + 1) % 2]);
            UpdateWindow(window->GetHwnd());
        }
        rendered += MicrosecondsSince(start) / (kRepaints / 10);
        window->SetAdvice(kinds[0]);
        UpdateWindow(window->GetHwnd());
    }
    const auto runs = static_cast<double>(state.iterations());
    state.counters["cached_us"] = cached / runs;
    state.counters["blit_us"] = blitted / runs;
    state.counters["ratio"] = cached / blitted;
    state.counters["render_us"] = rendered / runs;
    state.counters["render_ratio"] = rendered / cached;

    window.reset();
    DestroyWindow(page.window);
    page.window = nullptr;
    platform::SetResourceInstance(nullptr);
    FreeLibrary(module);
}

} // namespace

BENCHMARK(SchematicRepaint)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK_MAIN();
