// The editor's drawing costs: a full background blit, one knob frame with
// source alpha, one value text through the glyph cache, and a repaint of the
// whole edit layout (background, every control's frame, the program name and
// a value text per knob), which must fit well inside one 40 ms redraw tick.
#include <benchmark/benchmark.h>

#include <memory>

#include "editor/PanelLayout.h"
#include "graphics/PixDraw.h"
#include "graphics/PixFont.h"
#include "graphics/PixSysBitmap.h"
#include "graphics/PngImage.h"

namespace {

struct Panel {
    PixSysBitmap target{1100, 512};
    std::unique_ptr<PixMemBitmap> background = LoadPngResource(kImageEditBackground);
    std::unique_ptr<PixMemBitmap> knob = LoadPngResource(kImageKnob);
    PixCachedFont verdana;
    PixCachedFont arial;

    Panel()
    {
        NativeFontRequest wanted;
        wanted.face = "Verdana";
        wanted.height = 12;
        verdana.AttachNativeFont(CreateNativeFont(wanted), kFontOwnsNative);
        verdana.SetTextColour(0xFFFFC040u);
        wanted.face = "Arial";
        wanted.height = 15;
        arial.AttachNativeFont(CreateNativeFont(wanted), kFontOwnsNative);
        arial.SetTextColour(0xA0FFFFFFu);
    }
};

Panel& SharedPanel()
{
    static Panel panel;
    return panel;
}

void BM_BlitBackground(benchmark::State& state)
{
    Panel& panel = SharedPanel();
    for (auto _ : state) {
        Blit(&panel.target, panel.background.get(), 0, 0, nullptr, 1.0f, kPixCopy);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BlitBackground);

void BM_BlitKnobFrameSourceAlpha(benchmark::State& state)
{
    Panel& panel = SharedPanel();
    const PixRect frame{0, 32 * 40, 32, 32 * 41};
    for (auto _ : state) {
        Blit(&panel.target, panel.knob.get(), 600, 108, &frame, 1.0f, kPixCopy | kPixSourceAlpha);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BlitKnobFrameSourceAlpha);

void BM_TextLineGlyphCache(benchmark::State& state)
{
    Panel& panel = SharedPanel();
    PixRect box{596, 120, 636, 132};
    for (auto _ : state) {
        panel.verdana.DrawString(&panel.target, "-1.00 dB", -1, box,
                                 kTextCentre | kTextSingleLine | kTextNoClip);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TextLineGlyphCache);

void BM_FullRepaintEditLayout(benchmark::State& state)
{
    Panel& panel = SharedPanel();
    std::unique_ptr<PixMemBitmap> strips[17];
    for (const PanelImage& image : PanelImages()) {
        strips[image.id - 100] = LoadPngResource(image.id);
    }
    for (auto _ : state) {
        Blit(&panel.target, panel.background.get(), 0, 0, nullptr, 1.0f, kPixCopy);
        int frame = 0;
        const std::span<const PanelControl> lists[] = {CommonPanelControls(), EditPanelLayout().controls};
        for (const std::span<const PanelControl> list : lists) {
            for (const PanelControl& control : list) {
                const PanelImage* image = FindPanelImage(control.image);
                if (image == nullptr) {
                    continue;
                }
                const int f = frame++ % image->frames;
                const PixRect source{0, f * image->FrameHeight(), image->width,
                                     (f + 1) * image->FrameHeight()};
                Blit(&panel.target, strips[image->id - 100].get(), control.x, control.y, &source, 1.0f,
                     kPixCopy | kPixSourceAlpha);
                if (control.kind == PanelControlKind::Knob) {
                    const PanelRect rect = ControlRect(control);
                    PixRect box{rect.left + 4, rect.top + 10, rect.right - 4, rect.bottom - 10};
                    panel.verdana.DrawString(&panel.target, "0.42", -1, box,
                                             kTextCentre | kTextSingleLine | kTextNoClip);
                }
            }
        }
        PixRect name{620, 32, 816, 48};
        panel.arial.DrawString(&panel.target, "Pipe Organ", -1, name,
                               kTextCentre | kTextSingleLine | kTextNoClip);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FullRepaintEditLayout)->Unit(benchmark::kMicrosecond);

}  // namespace
