#pragma once
// A byte pipe to the controller: serial port or TCP socket. The link owns one while
// a test runs; tests may implement it over a buffer.

#include <QByteArray>
#include <QObject>
#include <QString>

#include "link/LinkError.h"
#include "link/OpenFailure.h"
#include "link/PortTuning.h"

namespace pb {

class Transport : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Transport() override = default;

    // Opens the device; false (with openError() and errorText()) when it cannot be used.
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Drops whatever arrived and was not read yet.
    virtual void discardInput() = 0;
    virtual bool write(const QByteArray& bytes) = 0;
    virtual QByteArray readAvailable() = 0;
    // Serial replies fail after a quiet spell; TCP replies after a limit from the send.
    virtual bool quietTimeRestartsOnEachByte() const = 0;

    QString errorText() const { return errorText_; }
    // Why the last open failed, as far as the device tells.
    OpenError openError() const { return openError_; }
    // The same with its facts (the holder of a busy port, the group that may open it);
    // None after a successful open.
    OpenFailure openFailure() const { return openFailure_; }
    // What a serial port asked of the kernel on its last open; nothing for others.
    virtual LowLatency lowLatency() const { return {}; }
    virtual bool rs485() const { return false; }

signals:
    void bytesArrived();
    // The device went away (peer closed, adapter pulled, I/O error).
    void failed();

protected:
    void setErrorText(const QString& text) { errorText_ = text; }
    void setOpenError(OpenError error, const QString& text) {
        openError_ = error;
        errorText_ = text;
    }
    // Sets the named error too; the text stays for the caller to set.
    void setOpenFailure(const OpenFailure& failure) {
        openFailure_ = failure;
        if (failure) openError_ = failure.reason;
    }

private:
    QString errorText_;
    OpenError openError_ = OpenError::Other;
    OpenFailure openFailure_;
};

}  // namespace pb
