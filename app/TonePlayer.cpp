#include "app/TonePlayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QLoggingCategory>
#include <QMediaDevices>
#include <QTimer>

#include "app/ToneSamples.h"

// Off by default: QT_LOGGING_RULES="panelbench.audio.debug=true".
Q_LOGGING_CATEGORY(lcAudio, "panelbench.audio", QtInfoMsg)

namespace pb {
namespace {

QtMessageHandler previousHandler = nullptr;

// Qt's PulseAudio backend warns on the default category when no sound server answers,
// which is the normal case on a bench PC without audio. Its lines are passed on in this
// program's audio category at debug level instead, so they are shown only on request.
void AudioBackendFilter(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(u"PulseAudioService:") || text.startsWith(u"QPulseAudio")) {
        if (!lcAudio().isDebugEnabled()) return;
        const QMessageLogContext audio(context.file, context.line, context.function,
                                       lcAudio().categoryName());
        previousHandler(QtDebugMsg, audio, text);
        return;
    }
    previousHandler(type, context, text);
}

// The audio backend starts on the first question about devices; the filter is in place
// before that, for the rest of the run.
QAudioDevice DefaultOutput() {
    static const bool filtered = [] {
        // Qt returns its default handler when none was installed, never null.
        previousHandler = qInstallMessageHandler(AudioBackendFilter);
        return true;
    }();
    Q_UNUSED(filtered);
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    static bool noted = false;
    if (device.isNull() && !noted) {
        noted = true;
        qCDebug(lcAudio) << "no audio output: beeps are skipped";
    }
    return device;
}

}  // namespace

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
    const QAudioDevice device = DefaultOutput();
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
