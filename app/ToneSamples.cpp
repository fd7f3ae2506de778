#include "app/ToneSamples.h"

#include <QtMath>
#include <algorithm>

namespace pb {

QByteArray ToneSamples(int frequencyHz, int durationMs, int sampleRate) {
    if (frequencyHz <= 0 || durationMs <= 0 || sampleRate <= 0) return {};
    const qsizetype count = qsizetype(sampleRate) * durationMs / 1000;
    const qsizetype fade =
        std::min<qsizetype>(qsizetype(sampleRate) * kToneFadeMs / 1000, count / 2);
    QByteArray bytes(count * qsizetype(sizeof(qint16)), Qt::Uninitialized);
    auto* samples = reinterpret_cast<qint16*>(bytes.data());
    const double step = 2.0 * M_PI * frequencyHz / sampleRate;
    for (qsizetype i = 0; i < count; ++i) {
        double gain = 1.0;
        if (fade > 0) {
            const qsizetype fromEdge = std::min(i, count - 1 - i);
            if (fromEdge < fade) gain = double(fromEdge) / fade;
        }
        samples[i] = qint16(qRound(kToneAmplitude * gain * std::sin(step * double(i))));
    }
    return bytes;
}

}  // namespace pb
