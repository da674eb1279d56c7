#pragma once

// The animated on-screen preview of the keyboard's lighting effects. Pure: it takes the few
// lighting settings an effect looks at and returns one frame of key colours per tick; it never
// talks to the keyboard or draws. The main window calls Tick from its preview timer (every
// 50 ms) and paints the key buttons from the frame.

#include "core/lighting/PreviewTables.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace brasslane {

// The lighting settings the preview follows.
struct PreviewInput {
    std::uint8_t effect = 0;    // effect type 1..20; any other value shows no preview
    bool colourful = false;     // the colourful flag; false = single colour
    std::uint8_t direction = 0; // the direction byte: 0xFF left / up / spread, 0x00 right / down / converge
    Rgb colour;                 // the single colour
};

enum class PreviewFrameKind : std::uint8_t {
    kColours,    // keys holds a colour for every preview key
    kCleared,    // clear the colour of every key button, buttons the preview does not know included
    kOwnColours, // per-key user mode: every key shows its own colour; keys is empty, apply nothing
    kSkipped,    // this effect's previous frame was still being made; keys is empty, apply nothing
};

struct PreviewFrame {
    PreviewFrameKind kind = PreviewFrameKind::kCleared;
    // Per key by PreviewIndex: the colour to show, or nullopt when the key's colour is cleared.
    std::array<std::optional<Rgb>, kPreviewKeyCount> keys{};

    std::optional<Rgb> operator[](PreviewKey key) const { return keys[PreviewIndex(key)]; }
};

// Seconds of a clock; effect 10 reseeds its random colours from it on every frame.
using PreviewSecondsClock = std::function<std::uint64_t()>;

class PreviewEngine {
public:
    // seed: where the random state of the animated patterns (effects 13 to 16) starts, and
    // where every reset puts it back; two engines with the same seed play the same frames.
    // clock: the seconds effect 10 reseeds from; empty means the wall clock. It must not throw.
    explicit PreviewEngine(std::uint64_t seed = 0, PreviewSecondsClock clock = {});
    ~PreviewEngine();
    PreviewEngine(const PreviewEngine&) = delete;
    PreviewEngine& operator=(const PreviewEngine&) = delete;

    // Makes the next frame of input.effect and advances that effect's animation by one step.
    // Each effect keeps its own phase and levels, so switching effects and back continues
    // where it stopped unless a reset was requested in between.
    // A call for an effect whose previous frame is still being made (a re-entrant call, e.g.
    // from the clock) returns kSkipped and changes nothing.
    // Single-threaded: Tick and RequestReset are meant for the thread that owns the engine.
    PreviewFrame Tick(const PreviewInput& input);

    // The next Tick first puts every phase, level and random state back to its start.
    // Called on every effect selection. A reset requested while a frame is being made waits
    // for the next outermost Tick.
    void RequestReset() { m_resetRequested = true; }

private:
    struct State;

    static constexpr std::size_t kEffectSlots = 21; // effects 1..20, slot 0 unused

    void ResetState();
    void MakeFrame(const PreviewInput& input, PreviewFrame& frame);

    std::uint64_t m_seed;
    PreviewSecondsClock m_clock;
    std::unique_ptr<State> m_state;
    std::array<bool, kEffectSlots> m_busy{};
    int m_framesRunning = 0;
    bool m_resetRequested = false;
};

} // namespace brasslane
