#pragma once
// The samples of a beep: a sine of the given frequency and length, 16-bit signed mono
// in the machine's byte order.

#include <QByteArray>

namespace pb {

constexpr int kToneSampleRate = 22050;
// Peak value of a sample; half of full scale keeps the beep from being harsh.
constexpr int kToneAmplitude = 16383;
// Length of the fade at each end, which keeps the speaker from clicking.
constexpr int kToneFadeMs = 5;

QByteArray ToneSamples(int frequencyHz, int durationMs, int sampleRate = kToneSampleRate);

}  // namespace pb
