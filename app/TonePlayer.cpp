#include "app/TonePlayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <QTimer>

#include "app/ToneSamples.h"

namespace pb {

TonePlayer::TonePlayer(QObject* parent) : QObject(parent) {}

TonePlayer::~TonePlayer() {
    stop();
}

void TonePlayer::stop() {
    if (sink_) {
        sink_->disconnect(this);
        sink_->stop();
        sink_.reset();
    }
    buffer_.close();
}

void TonePlayer::play(int frequencyHz, int durationMs) {
    stop();  // a new beep cuts the one still sounding
    // Asked at every beep: an output may come or go while the program runs.
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return;

    QAudioFormat format;
    format.setSampleRate(kToneSampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) return;

    buffer_.setData(ToneSamples(frequencyHz, durationMs));
    if (!buffer_.open(QIODevice::ReadOnly)) return;
    sink_ = std::make_unique<QAudioSink>(device, format);
    QAudioSink* sink = sink_.get();
    connect(sink, &QAudioSink::stateChanged, this, [this, sink](QAudio::State state) {
        // Played to the end (idle) or failed (stopped with an error): release the output,
        // outside the sink's own signal, unless a newer beep has replaced it meanwhile.
        if (state == QAudio::IdleState ||
            (state == QAudio::StoppedState && sink->error() != QAudio::NoError))
            QTimer::singleShot(0, this, [this, sink] {
                if (sink_.get() == sink) stop();
            });
    });
    sink_->start(&buffer_);  // returns at once; the samples are pulled from the buffer
    if (sink_->error() != QAudio::NoError) stop();
}

}  // namespace pb
