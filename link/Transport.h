#pragma once
// A byte pipe to the controller: serial port or TCP socket. The link owns one while
// a test runs; tests may implement it over a buffer.

#include <QByteArray>
#include <QObject>
#include <QString>

#include "link/OpenFailure.h"

namespace pb {

class Transport : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Transport() override = default;

    // Opens the device; false (with errorText()) when it cannot be used.
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
    // Why the last open() failed, with its facts; None after a successful open.
    OpenFailure openFailure() const { return openFailure_; }

signals:
    void bytesArrived();
    // The device went away (peer closed, adapter pulled, I/O error).
    void failed();

protected:
    void setErrorText(const QString& text) { errorText_ = text; }
    void setOpenFailure(const OpenFailure& failure) { openFailure_ = failure; }

private:
    QString errorText_;
    OpenFailure openFailure_;
};

}  // namespace pb
