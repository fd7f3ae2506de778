#pragma once
// The controller's inputs and outputs as the DI/DO test and the identify step see them:
// eight input lamps, four output boxes, fewer of each on the older controller.

namespace pb {

// The colour of an input lamp shDI1..shDI8.
enum class InputLamp { White, Yellow };

class DidoView {
public:
    virtual ~DidoView() = default;
    // Every input and output shown (shDI5..8, lblDI5..8, chkDO3, chkDO4).
    virtual void showAllInputsAndOutputs() = 0;
    // Hides what the three-digit-ID controller lacks: inputs 5 and 6, output 4.
    virtual void hideInputsAndOutputsMissingOnKind4() = 0;
    // Output k (1..4) ticked to be switched on; read each cycle.
    virtual bool outputTicked(int k) const = 0;
    virtual void untickAllOutputs() = 0;
    // Input k (1..8).
    virtual void setInputLamp(int k, InputLamp colour) = 0;
    // Every input lamp white: no unit's inputs on show.
    virtual void clearInputLamps() {
        for (int k = 1; k <= 8; ++k) setInputLamp(k, InputLamp::White);
    }
};

}  // namespace pb
