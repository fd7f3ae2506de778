#pragma once
// Plays a beep through the default audio output without waiting for it to end. Where
// there is no audio output the beep is skipped silently.

#include <QBuffer>
#include <QObject>
#include <memory>

class QAudioSink;

namespace pb {

class TonePlayer : public QObject {
    Q_OBJECT
public:
    explicit TonePlayer(QObject* parent = nullptr);
    ~TonePlayer() override;

    void play(int frequencyHz, int durationMs);

private:
    void stop();

    std::unique_ptr<QAudioSink> sink_;
    QBuffer buffer_;
};

}  // namespace pb
